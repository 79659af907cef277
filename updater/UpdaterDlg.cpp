// The updater's dialog: start-up, the command line, the timers, the minimised icon and dragging
// by the client area. The update itself is in UpdateSequence.cpp.
#include "updater/UpdaterDlg.h"

#include <commctrl.h>

#include <cstdlib>

#include "updater/UpdaterText.h"

namespace updater {

namespace {

class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_paint)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(m_hwnd, &m_paint); }
    HDC dc() const { return m_dc; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

}  // namespace

const SystemCalls& RealSystemCalls() {
    static const SystemCalls calls{&::MoveFileExA};
    return calls;
}

CUpdaterDlg::CUpdaterDlg(const SystemCalls& calls)
    : m_calls(calls),
      m_icon(static_cast<HICON>(
          ::LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(kIconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE))) {}

CUpdaterDlg::~CUpdaterDlg() = default;

INT_PTR CUpdaterDlg::DoModal() {
    return ::DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(kDialogId), nullptr, &CUpdaterDlg::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CUpdaterDlg::CreateModeless() {
    return ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(kDialogId), nullptr, &CUpdaterDlg::DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

// The object rides in the dialog's own user slot from WM_INITDIALOG to WM_NCDESTROY; the few
// messages before WM_INITDIALOG (WM_SETFONT among them) get the default.
INT_PTR CALLBACK CUpdaterDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CUpdaterDlg*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self && message == WM_INITDIALOG) {
        self = reinterpret_cast<CUpdaterDlg*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->Attach(hwnd);
    }
    if (!self) return FALSE;
    const INT_PTR result = Dispatch(self, message, wParam, lParam, message == WM_INITDIALOG ? TRUE : FALSE);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->ForgetHandle();
    }
    return result;
}

LRESULT CUpdaterDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:  // one of the messages whose dialog-procedure result is the answer itself
        return reinterpret_cast<LRESULT>(m_icon.get());
    case WM_LBUTTONDOWN:
        // The whole client area drags the window.
        ::SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        return FALSE;
    default:
        return kit::Window::OnMessage(message, wParam, lParam);
    }
}

// A dialog procedure's "not handled": the dialog manager's default runs.
LRESULT CUpdaterDlg::Default(UINT, WPARAM, LPARAM) { return FALSE; }

BOOL CUpdaterDlg::OnInitDialog() {
    m_progress = ::GetDlgItem(handle(), kProgressId);
    m_status = ::GetDlgItem(handle(), kStatusId);
    ::SendMessageA(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.get()));
    ::SendMessageA(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.get()));
    m_success = true;
    m_iniPath = IniPathFromArguments(__argc, __argv);
    SetTitle("Обновление ");
    SetStatus("подготовка к обновлению", false);
    ::SetTimer(handle(), kStartTimer, kTimerMs, nullptr);
    return TRUE;
}

// Esc (IDCANCEL) and Enter (IDOK) reach the dialog as commands; neither may end the updater
// before or while it works: only timer 2 closes it.
bool CUpdaterDlg::OnCommand(int id, int, HWND) { return id == IDOK || id == IDCANCEL; }

bool CUpdaterDlg::OnPaint() {
    if (!::IsIconic(handle())) return false;
    PaintScope paint(handle());
    ::SendMessageA(handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
    RECT client{};
    ::GetClientRect(handle(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    if (m_icon) ::DrawIcon(paint.dc(), x, y, m_icon.get());
    return true;
}

void CUpdaterDlg::OnTimer(UINT_PTR id) {
    if (id == kStartTimer) {
        ::KillTimer(handle(), kStartTimer);
        RunUpdate();
    } else if (id == kCloseTimer) {
        ::KillTimer(handle(), kCloseTimer);
        ::EndDialog(handle(), IDOK);
    }
}

std::string CUpdaterDlg::Title() const {
    char title[512] = "";
    ::GetWindowTextA(handle(), title, sizeof title);
    return title;
}

void CUpdaterDlg::SetTitle(const std::string& title) { ::SetWindowTextA(handle(), title.c_str()); }

void CUpdaterDlg::SetStatus(const char* text, bool redraw) {
    if (redraw) ::ShowWindow(m_status, SW_HIDE);
    ::SetWindowTextA(m_status, text);
    if (redraw) ::ShowWindow(m_status, SW_SHOW);
}

void CUpdaterDlg::SetProgressRange(int high) { ::SendMessageA(m_progress, PBM_SETRANGE, 0, MAKELPARAM(0, high)); }

void CUpdaterDlg::SetProgressPos(int position) { ::SendMessageA(m_progress, PBM_SETPOS, position, 0); }

}  // namespace updater
