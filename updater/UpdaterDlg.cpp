// The updater's dialog: start-up, the command line, the timers, the minimised icon and dragging
// by the client area. The update itself is in UpdateSequence.cpp.
#include "updater/UpdaterDlg.h"

#include <commctrl.h>

#include <cstdlib>

#include "base/Gdi.h"
#include "updater/HandOverMark.h"
#include "updater/UpdaterText.h"

namespace updater {

const SystemCalls& RealSystemCalls() {
    static const SystemCalls calls;
    return calls;
}

CUpdaterDlg::CUpdaterDlg(const SystemCalls& calls)
    : m_calls(calls),
      m_icon(static_cast<HICON>(
          ::LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(kIconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE))) {}

CUpdaterDlg::~CUpdaterDlg() = default;

INT_PTR CUpdaterDlg::DoModal() { return kit::Dialog::DoModal(kDialogId); }

bool CUpdaterDlg::CreateModeless() { return kit::Dialog::CreateModeless(kDialogId); }

LRESULT CUpdaterDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // One of the messages whose dialog-procedure result is the answer itself.
    if (message == WM_QUERYDRAGICON) return reinterpret_cast<LRESULT>(m_icon.get());
    return kit::Dialog::OnMessage(message, wParam, lParam);
}

// The whole client area drags the window.
void CUpdaterDlg::OnLButtonDown(UINT, POINT client) {
    ::SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(client.x, client.y));
}

bool CUpdaterDlg::OnInitDialog() {
    m_progress = ::GetDlgItem(handle(), kProgressId);
    m_status = ::GetDlgItem(handle(), kStatusId);
    ::SendMessageA(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.get()));
    ::SendMessageA(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.get()));
    m_success = true;
    m_iniPath = IniPathFromArguments(__argc, __argv);
    if (!m_iniPath.empty()) m_handOverMark = handover::TakeMark(ParentFolder(m_iniPath));
    SetTitle("Обновление ");
    SetStatus("подготовка к обновлению", false);
    ::SetTimer(handle(), kStartTimer, kTimerMs, nullptr);
    return true;
}

// Esc (IDCANCEL) and Enter (IDOK) reach the dialog as commands; neither may end the updater
// before or while it works: only timer 2 closes it.
bool CUpdaterDlg::OnCommand(int id, int, HWND) { return id == IDOK || id == IDCANCEL; }

bool CUpdaterDlg::OnPaint() {
    if (!::IsIconic(handle())) return false;
    kit::PaintDC paint(handle());
    ::SendMessageA(handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get()), 0);
    RECT client{};
    ::GetClientRect(handle(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    if (m_icon) ::DrawIcon(paint.get(), x, y, m_icon.get());
    return true;
}

void CUpdaterDlg::OnTimer(UINT_PTR id) {
    if (id == kStartTimer) {
        ::KillTimer(handle(), kStartTimer);
        RunUpdate();
    } else if (id == kCloseTimer) {
        ::KillTimer(handle(), kCloseTimer);
        EndDialog(IDOK);
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
