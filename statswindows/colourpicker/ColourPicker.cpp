// The colour picker button: taking over the button, its size, the popup on a click, the
// notifications to the parent, and the drawing of swatch, arrow, focus and disabled state.
#include "statswindows/colourpicker/ColourPicker.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "statswindows/colourpicker/ColourTable.h"
#include "statswindows/colourpicker/PickerMessages.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x43504B52;  // one hook per button

int Width(const RECT& r) { return r.right - r.left; }

}  // namespace

bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND control = nullptr;
    if (message == WM_COMMAND) {
        control = reinterpret_cast<HWND>(lParam);  // null for menus and accelerators
    } else if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType != ODT_MENU) control = item->hwndItem;
    }
    if (!control || !::IsWindow(control)) return false;
    if (!::SendMessageA(control, kReflectBase + message, wParam, lParam)) return false;
    result = message == WM_DRAWITEM ? TRUE : 0;
    return true;
}

CColourPicker::CColourPicker()
    : backColour(::GetSysColor(COLOR_BTNFACE)), textColour(::GetSysColor(COLOR_BTNTEXT)) {}

CColourPicker::~CColourPicker() {
    m_popup.reset();
    Unhook();
}

bool CColourPicker::Hook(HWND button) {
    if (m_button || !button) return false;
    if (!::SetWindowSubclass(button, &CColourPicker::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_button = button;
    return true;
}

void CColourPicker::Unhook() {
    if (m_button) ::RemoveWindowSubclass(m_button, &CColourPicker::SubclassProc, kSubclassId);
    m_button = nullptr;
}

bool CColourPicker::Attach(HWND button) {
    if (!Hook(button)) return false;
    const LONG_PTR style = ::GetWindowLongPtrA(button, GWL_STYLE);
    ::SetWindowLongPtrA(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    SetWindowSize();
    return true;
}

bool CColourPicker::Create(HWND parent, const RECT& rect, int id, const char* text) {
    if (m_button) return false;
    kit::UniqueWindow button(::CreateWindowExA(0, "BUTTON", text ? text : "",
                                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_OWNERDRAW,
                                               rect.left, rect.top, Width(rect), rect.bottom - rect.top, parent,
                                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                               kit::Window::ModuleInstance(), nullptr));
    if (!button || !Hook(button.get())) return false;
    m_ownButton = std::move(button);
    SetWindowSize();
    return true;
}

void CColourPicker::Detach() {
    m_popup.reset();
    Unhook();
    m_ownButton.reset();
}

COLORREF CColourPicker::GetColour() const { return selectionMode == 1 ? textColour : backColour; }

void CColourPicker::SetColour(COLORREF colour) {
    (selectionMode == 1 ? textColour : backColour) = colour;
    if (m_button) ::RedrawWindow(m_button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

CColourGridPopup* CColourPicker::Popup() const { return m_popup && m_popup->handle() ? m_popup.get() : nullptr; }

void CColourPicker::SetWindowSize() {
    // A square arrow as large as a scroll bar's thumb, and a button just high enough for it.
    const int edgeX = ::GetSystemMetrics(SM_CXEDGE), edgeY = ::GetSystemMetrics(SM_CYEDGE);
    const int arrowWidth = std::max(::GetSystemMetrics(SM_CXHTHUMB), 5 * edgeX);
    const int arrowHeight = std::max(::GetSystemMetrics(SM_CYVTHUMB), 5 * edgeY);
    const int side = std::max(arrowWidth, arrowHeight);

    RECT rect{};
    ::GetWindowRect(m_button, &rect);
    if (const HWND parent = ::GetParent(m_button)) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    const int width = std::max(Width(rect), 2 * (side + edgeX));
    const int height = side + 2 * edgeY;
    ::MoveWindow(m_button, rect.left, rect.top, width, height, TRUE);

    RECT client{};
    ::GetClientRect(m_button, &client);
    arrowRect = RECT{client.right - side - edgeX, client.top + edgeY, client.right - edgeX, client.bottom - edgeY};
}

LRESULT CALLBACK CColourPicker::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
    auto* picker = reinterpret_cast<CColourPicker*>(self);
    if (message == WM_NCDESTROY) {
        // The button goes before its picker (with its dialog): the picker forgets it.
        picker->m_popup.reset();
        picker->Unhook();
        picker->m_ownButton.release();
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    try {
        bool handled = false;
        const LRESULT result = picker->OnMessage(message, wParam, lParam, handled);
        if (handled) return result;
    } catch (...) {
        return 0;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CColourPicker::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
    case kReflectBase + WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) break;
        OnClicked();
        return TRUE;
    case kReflectBase + WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_PICKER_SELENDOK:
        popupActive = false;
        SetColour(static_cast<COLORREF>(wParam));
        NotifyParent(WM_PICKER_CLOSEUP, static_cast<COLORREF>(wParam));
        NotifyParent(WM_PICKER_SELENDOK, static_cast<COLORREF>(wParam));
        return TRUE;
    case WM_PICKER_SELENDCANCEL:
        popupActive = false;
        SetColour(static_cast<COLORREF>(wParam));
        NotifyParent(WM_PICKER_CLOSEUP, static_cast<COLORREF>(wParam));
        NotifyParent(WM_PICKER_SELENDCANCEL, static_cast<COLORREF>(wParam));
        return TRUE;
    case WM_PICKER_SELCHANGE:
        if (trackSelection) SetColour(static_cast<COLORREF>(wParam));
        NotifyParent(WM_PICKER_SELCHANGE, static_cast<COLORREF>(wParam));
        return TRUE;
    default:
        break;
    }
    handled = false;
    return 0;
}

void CColourPicker::OnClicked() {
    // A popup of this button that is still open (its colour dialog running) stays the only one.
    if (Popup()) return;
    popupActive = true;
    RECT rect{};
    ::GetWindowRect(m_button, &rect);
    m_popup = std::make_unique<CColourGridPopup>(GetColour(), this, defaultText, customText);
    if (!m_popup->Open(POINT{rect.left, rect.bottom})) m_popup.reset();
    NotifyParent(WM_PICKER_DROPDOWN, GetColour());
}

void CColourPicker::NotifyParent(UINT message, COLORREF colour) {
    if (!m_button) return;
    if (const HWND parent = ::GetParent(m_button))
        ::SendMessageA(parent, message, colour, static_cast<LPARAM>(::GetDlgCtrlID(m_button)));
}

void CColourPicker::DrawItem(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    UINT state = item.itemState;
    if (popupActive) state |= ODS_SELECTED;
    const bool disabled = (state & ODS_DISABLED) != 0;

    RECT arrow = arrowRect;
    ::DrawFrameControl(dc, &arrow, DFC_SCROLL,
                       DFCS_SCROLLDOWN | ((state & ODS_SELECTED) ? DFCS_PUSHED : 0) | (disabled ? DFCS_INACTIVE : 0));

    RECT rect = item.rcItem;
    ::DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT);
    ::InflateRect(&rect, -::GetSystemMetrics(SM_CXEDGE), -::GetSystemMetrics(SM_CYEDGE));
    rect.right -= Width(arrowRect);

    if (disabled || backColour == kAutomaticColour) {
        ::FillRect(dc, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    } else {
        kit::UniqueBrush swatch(::CreateSolidBrush(backColour));
        ::FillRect(dc, &rect, swatch.get());
    }

    char text[256] = {};
    const int length = ::GetWindowTextA(m_button, text, sizeof text);
    if (length > 0) {
        const HGDIOBJ buttonFont = reinterpret_cast<HGDIOBJ>(::SendMessageA(m_button, WM_GETFONT, 0, 0));
        kit::SelectGuard selectFont(dc, buttonFont ? buttonFont : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        constexpr UINT kFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
        if (disabled) {
            RECT shifted = rect;
            ::OffsetRect(&shifted, 1, 1);
            ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
            ::DrawTextA(dc, text, length, &shifted, kFormat);
            ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
            ::DrawTextA(dc, text, length, &rect, kFormat);
        } else {
            ::SetTextColor(dc, textColour == kAutomaticColour ? RGB(0, 0, 0) : textColour);
            ::DrawTextA(dc, text, length, &rect, kFormat);
        }
    }

    if (state & ODS_FOCUS) {
        ::InflateRect(&rect, -1, -1);
        ::DrawFocusRect(dc, &rect);
    }
}
