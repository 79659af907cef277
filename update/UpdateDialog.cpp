// The update window (see UpdateDialog.h).
#include "update/UpdateDialog.h"

#include <commctrl.h>

#include <string>

#include "update/UpdateLog.h"
#include "update/UpdateWindowIds.h"
#include "update/portable/FormatText.h"
#include "update/portable/SizeText.h"

namespace {

constexpr UINT_PTR kPageTimer = 1;
constexpr UINT kPageTimerMilliseconds = 3000;
constexpr int kPaneGapPixels = 30;  // between the pane and the progress bar
constexpr UINT kNarrowCodePage = 1251;

const char kCaption[] = "Обновление %s";
const char kUpdate[] = "Обновление";
const char kCancel[] = "Отменить";
const char kSettings[] = "Настройки";
const char kExit[] = "Выход";
const char kFoundFiles[] = "обнаружено %i новых файлов (%s)";
const char kNotAllLoaded[] = "не удалось загрузить все файлы\nобновление остановлено";
const char kNotDone[] = "обновление не выполнено";
const char kHandOver[] = "Файлы загружены.\nСейчас будет выполнена финальная стадия обновления.";

// The module that holds the window's code stays mapped for the rest of the process once a window
// has been made: when the host lets the plug-in go during a download, a worker thread holds the
// last reference, and the window's thread may be inside the dialog procedure as that reference
// goes. Pinned, the host's FreeLibrary no longer unloads the plug-in; its windows go on until
// they are closed, and the process's end reclaims the rest.
void PinOwnModule() {
    static bool pinned = false;
    if (pinned) return;
    HMODULE module = nullptr;
    pinned = ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                  reinterpret_cast<LPCSTR>(&PinOwnModule), &module) != FALSE;
}

std::wstring Widen(const char* text) {
    int length = ::MultiByteToWideChar(kNarrowCodePage, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0) ::MultiByteToWideChar(kNarrowCodePage, 0, text, -1, out.data(), length);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

CUpdateDlg::CUpdateDlg(const UpdateWindowCalls& calls)
    : m_worker(new CDownloadThread(calls.connectedState, calls.timeouts)),
      m_engine(std::unique_ptr<IDownloadWorker>(m_worker), calls.engine),
      m_calls(calls) {}

CUpdateDlg::~CUpdateDlg() {
    // The worker stops while this object is whole: reports it sends meanwhile are handled here.
    m_worker->Stop(false);
    if (handle() && ::GetWindowThreadProcessId(handle(), nullptr) == ::GetCurrentThreadId()) DestroyWindow();
}

void CUpdateDlg::Abandon() {
    for (HWND window : {m_pane.handle(), handle()}) {
        if (!window || !::IsWindow(window)) continue;
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
    }
    if (handle()) ::ShowWindowAsync(handle(), SW_HIDE);
}

bool CUpdateDlg::Create(int templateId, HWND parent, const UpdateStartInfo* info) {
    if (!info) return false;
    m_baseUrl = info->baseUrl ? info->baseUrl : "";
    m_programFolder = info->programFolder ? info->programFolder : "";
    m_tempFolder = info->tempFolder ? info->tempFolder : "";
    m_versionFile = info->versionFile ? info->versionFile : "";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);  // the template's progress bar
    PinOwnModule();
    return CreateModeless(templateId, parent);
}

void CUpdateDlg::Show(int id, bool visible) const { ::ShowWindow(Item(id), visible ? SW_SHOW : SW_HIDE); }

void CUpdateDlg::Enable(int id, bool enabled) const { ::EnableWindow(Item(id), enabled ? TRUE : FALSE); }

void CUpdateDlg::SetCaption(const char* title) { ::SetWindowTextA(handle(), FormatText(kCaption, title)); }

bool CUpdateDlg::OnInitDialog() {
    m_progress = Item(IDC_UPDATE_PROGRESS);
    m_settings = Item(IDC_UPDATE_SETTINGS);
    m_updateButton = Item(IDC_UPDATE_BUTTON);
    m_status = Item(IDC_UPDATE_STATUS);
    m_exit = Item(IDC_UPDATE_EXIT);

    m_params = std::make_unique<CUpdateParamStore>();
    m_params->SetDefaults();

    SetCaption("");
    ::SendMessageA(m_progress, PBM_SETPOS, 0, 0);
    ::SetWindowTextA(m_status, FormatText(kCaption, ""));

    ::SetWindowTextA(m_updateButton, kUpdate);
    ::SetWindowTextA(m_settings, kSettings);
    ::ShowWindow(m_settings, SW_HIDE);
    ::SetWindowTextA(m_exit, kExit);

    m_engine.SetTargetWindow(handle());
    m_params->Set(kParamUrl, m_baseUrl, 0, 0, 0.0);
    m_params->Set(kParamPath, m_programFolder, 0, 0, 0.0);
    m_params->Set(kParamTempPath, m_tempFolder, 0, 0, 0.0);

    m_engine.RunUpdateCheck();  // its reports arrive here as WM_UPD_ messages; the result changes nothing

    ::SendMessageA(m_progress, PBM_SETPOS, 0, 0);
    m_background = static_cast<COLORREF>(m_params->GetNumber2(kParamBgColor));
    m_text = static_cast<COLORREF>(m_params->GetNumber2(kParamTextColor));
    SetCaption(m_params->GetText(kParamTitle));
    ::SetWindowTextA(m_status, FormatText(kFoundFiles, m_engine.CountNewFiles(),
                                          FormatSize(m_engine.GetNewFilesSize()).c_str()));
    ::ShowWindow(m_progress, SW_HIDE);
    ::ShowWindow(m_status, SW_SHOW);

    RECT pane;
    ::GetClientRect(handle(), &pane);
    RECT progress;
    ::GetWindowRect(m_progress, &progress);
    ::MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&progress), 2);
    pane.bottom = progress.top - kPaneGapPixels;
    m_pane.Create(pane, handle(), WS_CHILD, 0);

    HTMLayoutLoadFile(m_pane.handle(), Widen(m_params->GetText(kParamWebText)).c_str());
    ::SetTimer(handle(), kPageTimer, kPageTimerMilliseconds, nullptr);
    return true;
}

bool CUpdateDlg::OnCommand(int id, int, HWND) {
    switch (id) {
    case IDC_UPDATE_BUTTON:
        OnUpdateButton();
        return true;
    case IDC_UPDATE_EXIT:
        OnOK();
        return true;
    case IDC_UPDATE_SETTINGS:
        return true;
    default:
        return false;  // IDOK and IDCANCEL: the dialog's defaults
    }
}

void CUpdateDlg::OnTimer(UINT_PTR) {
    ::KillTimer(handle(), kPageTimer);
    m_pane.CheckPage();
}

void CUpdateDlg::OnUpdateButton() {
    m_pane.CheckPage();
    if (m_busy == 1 && !m_worker->IsFinished()) {
        m_worker->Cancel();
        return;
    }
    if (m_busy == 1) {
        m_busy = 0;
        ::SetWindowTextA(m_updateButton, kUpdate);
        ::EnableWindow(m_updateButton, FALSE);
        ::EnableWindow(m_exit, TRUE);
        ::ShowWindow(m_progress, SW_HIDE);
        ::ShowWindow(m_status, SW_SHOW);
        return;
    }
    m_busy = 1;
    ::ShowWindow(m_status, SW_HIDE);
    ::ShowWindow(m_progress, SW_SHOW);
    m_engine.StartDownload();
    ::SetWindowTextA(m_updateButton, kCancel);
    ::EnableWindow(m_exit, FALSE);
}

void CUpdateDlg::OnWorkerDone(WPARAM result) {
    m_busy = 0;
    ::SetWindowTextA(m_status, result == UpdateNotDownloaded ? kNotAllLoaded : kNotDone);
    ::ShowWindow(m_status, SW_SHOW);
    ::ShowWindow(m_progress, SW_HIDE);
    ::SetWindowTextA(m_updateButton, kUpdate);
    ::EnableWindow(m_updateButton, FALSE);
    ::EnableWindow(m_exit, TRUE);
    ::InvalidateRect(handle(), nullptr, TRUE);
}

void CUpdateDlg::OnAllLoaded() {
    ::SetWindowTextA(m_updateButton, kUpdate);
    ::EnableWindow(m_updateButton, FALSE);
    UpdateResult result = m_engine.ExtractUpdater();
    if (result == UpdaterWritten) {
        ShowMessage(kHandOver, MB_ICONINFORMATION);
        result = m_engine.StartUpdater();
        if (result == UpdateDone) {
            m_busy = 0;
            OnOK();
            return;
        }
    }
    // The hand-over failed: only Exit is left. The busy flag is cleared too, so that a later run
    // procedure can replace this window.
    m_busy = 0;
    ::EnableWindow(m_exit, TRUE);
    ::InvalidateRect(handle(), nullptr, TRUE);
}

void CUpdateDlg::OnStatusText(const kit::String& text) {
    ::SetWindowTextA(m_status, text);
    RECT area;
    ::GetWindowRect(m_status, &area);
    ::MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&area), 2);
    ::InvalidateRect(handle(), &area, TRUE);
}

void CUpdateDlg::OnSetColor(const kit::String& text, LPARAM which) {
    COLORREF colour = CUpdateEngine::ParseColor(text);
    if (which == 0) m_background = colour;
    if (which == 3) m_text = colour;
    ::ShowWindow(handle(), SW_HIDE);
    ::ShowWindow(handle(), SW_SHOWNORMAL);
}

void CUpdateDlg::OnLogLine(const kit::String& text) {
    // Without the store (after OnOK) the program folder is unknown: the line is dropped rather
    // than written below the current folder.
    if (!m_params) return;
    SYSTEMTIME now;
    m_calls.now(&now);
    WriteUpdateLog(m_params->GetText(kParamPath), text, now);
}

HBRUSH CUpdateDlg::OnCtlColor(HDC dc, HWND, int) {
    ::SetTextColor(dc, m_text);
    ::SetBkMode(dc, TRANSPARENT);
    if (!m_brush || m_brushColour != m_background) {
        m_brush.reset(::CreateSolidBrush(m_background));
        m_brushColour = m_background;
    }
    return m_brush.get();
}

void CUpdateDlg::OnLButtonDown(UINT, POINT) {
    // The whole client area drags the window.
    ::SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void CUpdateDlg::OnOK() {
    m_params.reset();
    kit::Dialog::OnOK();
}

LRESULT CUpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_UPD_FILES_RANGE:
        ::SendMessageA(m_progress, PBM_SETRANGE, 0, MAKELPARAM(LOWORD(wParam), LOWORD(lParam)));
        return 0;
    case WM_UPD_FILES_POS:
        ::SendMessageA(m_progress, PBM_SETPOS, wParam, 0);
        return 0;
    case WM_UPD_STATUS:
        if (wParam) OnStatusText(*UpdParamPointer<const kit::String>(wParam));
        return 0;
    case WM_UPD_SET_COLOR:
        if (wParam) OnSetColor(*UpdParamPointer<const kit::String>(wParam), lParam);
        return 0;
    case WM_UPD_ALL_LOADED:
        OnAllLoaded();
        return 0;
    case WM_UPD_WORKER_DONE:
        OnWorkerDone(wParam);
        return 0;
    case WM_UPD_LOG:
        if (wParam) OnLogLine(*UpdParamPointer<const kit::String>(wParam));
        return 0;
    case WM_UPD_SET_PARAM:
        if (wParam && m_params) m_params->SetFrom(*UpdParamPointer<const UpdateParam>(wParam));
        return 0;
    case WM_UPD_GET_PARAM:
        if (wParam && lParam) {
            *UpdLParamPointer<kit::String>(lParam) =
                m_params ? m_params->GetText(*UpdParamPointer<const kit::String>(wParam)) : kit::String();
        }
        return 0;
    default:
        return kit::Dialog::OnMessage(message, wParam, lParam);
    }
}
