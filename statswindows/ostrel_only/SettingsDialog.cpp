// The style settings dialog: its modal run, the two colour buttons and the preview.
#include "statswindows/ostrel_only/SettingsDialog.h"

#include "statswindows/colourpicker/PickerMessages.h"
#include "statswindows/ostrel_only/resource.h"

CmySettingsEx::~CmySettingsEx() {
    // Destroyed here, while this class's OnDestroy is still there to run.
    if (handle()) DestroyWindow();
}

int CmySettingsEx::DoModal(HWND owner) {
    if (handle() || !CreateModeless(IDD_SETTINGS, owner)) return -1;
    // As the system's modal dialogs do: the owner takes no input until the dialog ends.
    const bool ownerEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerEnabled) ::EnableWindow(owner, FALSE);
    ::ShowWindow(handle(), SW_SHOW);
    m_running = true;
    m_result = IDCANCEL;
    MSG msg;
    while (m_running && handle()) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        if (!::IsDialogMessageA(handle(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_running = false;
    // The owner first, so that it is active again when the dialog goes.
    if (ownerEnabled) ::EnableWindow(owner, TRUE);
    if (handle()) DestroyWindow();
    return m_result;
}

LRESULT CmySettingsEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The colour buttons learn of their clicks and their drawing from us.
    LRESULT reflected = 0;
    if ((message == WM_COMMAND || message == WM_DRAWITEM) && ReflectToControl(message, wParam, lParam, reflected))
        return TRUE;
    switch (message) {
    case WM_PICKER_SELENDOK:
        OnColourChosen();
        return TRUE;
    case WM_PICKER_SELENDCANCEL:
    case WM_PICKER_SELCHANGE:
    case WM_PICKER_CLOSEUP:
    case WM_PICKER_DROPDOWN:
        return TRUE;
    default:
        return kit::Dialog::OnMessage(message, wParam, lParam);
    }
}

bool CmySettingsEx::OnInitDialog() {
    kit::Dialog::OnInitDialog();
    textPicker.Attach(handle(), IDC_TEXT_COLOUR);
    backPicker.Attach(handle(), IDC_BACK_COLOUR);
    ::CheckDlgButton(handle(), IDC_AUTOHIDE, BST_UNCHECKED);
    if (m_settings) {
        autoHide = m_settings->autoHide;
        textColour = m_settings->textColour;
        backColour = m_settings->backColour;
    }
    if (autoHide) ::CheckDlgButton(handle(), IDC_AUTOHIDE, BST_CHECKED);
    textPicker.SetColour(textColour);
    backPicker.SetColour(backColour);
    return true;
}

void CmySettingsEx::OnColourChosen() {
    textColour = textPicker.GetColour();
    backColour = backPicker.GetColour();
    ::InvalidateRect(Item(IDC_PREVIEW), nullptr, TRUE);
}

HBRUSH CmySettingsEx::OnCtlColor(HDC dc, HWND control, int kind) {
    HBRUSH base = kit::Dialog::OnCtlColor(dc, control, kind);
    if (kind != CTLCOLOR_STATIC || control != Item(IDC_PREVIEW)) return base;
    const COLORREF back = PaintColour(backColour, kDefaultBackColour);
    ::SetTextColor(dc, PaintColour(textColour, kDefaultTextColour));
    ::SetBkColor(dc, back);
    if (!m_previewBrush || m_previewBrushColour != back) {
        m_previewBrush.reset(::CreateSolidBrush(back));
        m_previewBrushColour = back;
    }
    return m_previewBrush.get();
}

void CmySettingsEx::OnOK() {
    autoHide = ::IsDlgButtonChecked(handle(), IDC_AUTOHIDE) == BST_CHECKED;
    if (m_settings) {
        m_settings->autoHide = autoHide;
        m_settings->textColour = textColour;
        m_settings->backColour = backColour;
    }
    End(IDOK);
}

void CmySettingsEx::OnCancel() { End(IDCANCEL); }

void CmySettingsEx::End(int result) {
    // The loop of DoModal ends after this message; it gives the owner back and destroys us.
    m_result = result;
    m_running = false;
}

void CmySettingsEx::OnDestroy() {
    textPicker.Detach();
    backPicker.Detach();
    m_previewBrush.reset();
}
