#include "statswindows/common/StatsWindow.h"

#include <climits>
#include <cstdio>

#include "statswindows/common/RemoveEvery.h"

namespace stats {

namespace {

constexpr char kSection[] = "GLOBAL";
constexpr char kDaySuffix[] = "_day";

struct WorkAreaSearch {
    RECT rect;
    bool met;
};

BOOL CALLBACK CheckWorkArea(HMONITOR monitor, HDC, RECT*, LPARAM param) {
    auto& search = *reinterpret_cast<WorkAreaSearch*>(param);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT common{};
    if (::GetMonitorInfoA(monitor, &info) && ::IntersectRect(&common, &search.rect, &info.rcWork)) {
        search.met = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool StatsWindow::EnsureCreated(HWND host, bool* created) {
    if (created) *created = false;
    if (handle()) return true;
    if (!CreateModeless(m_dialogId, nullptr) || !handle()) return false;
    if (created) *created = true;
    int x = ::GetSystemMetrics(SM_CXSCREEN) - m_placement.offsetX;
    int y = ::GetSystemMetrics(SM_CYSCREEN) - m_placement.offsetY;
    if (m_placement.iniFile) LoadWindowPos(&x, &y, host);
    MoveToStart(x, y);
    return true;
}

void StatsWindow::MoveToStart(int x, int y) {
    ::SetWindowPos(handle(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
}

void StatsWindow::ShowStatsData(const host::ShowStatsRequest& request) {
    bool created = false;
    if (!EnsureCreated(request.hostWindow, &created)) return;
    BeforeShow(created);
    hostWindow = request.hostWindow;
    hideDelaySeconds = request.hideDelaySeconds;
    ::SetWindowTextA(handle(), kWindowCaption);
    RefreshStats();
    ::InvalidateRect(handle(), nullptr, TRUE);
    ::ShowWindow(handle(), SW_SHOWNOACTIVATE);
}

void StatsWindow::ShowStatsDataTray(const host::ShowStatsRequest& request) {
    if (!EnsureCreated(request.hostWindow)) return;
    SendTrayText(BuildTrayText());
}

void StatsWindow::Unload() {
    // A window the system has already taken (its thread ended first) has no place to save.
    if (!handle() || !::IsWindow(handle())) return;
    SaveAtUnload();
    DestroyWindow();
}

void StatsWindow::SaveAtUnload() {
    if (m_placement.iniFile) SaveWindowPos();
}

void StatsWindow::SaveAtProcessExit() {
    if (!handle() || !::IsWindow(handle())) return;
    // A message sent to a window of this thread runs its procedure right here; one of another
    // thread waits for that thread.
    if (!hostWindow || !::IsWindow(hostWindow) ||
        ::GetWindowThreadProcessId(hostWindow, nullptr) != ::GetCurrentThreadId())
        return;
    SaveAtUnload();
}

void StatsWindow::LoadWindowPos(int* x, int* y, HWND host) {
    hostWindow = host;
    int placeX = *x, placeY = *y;
    const int savedX = LeadingInteger(ReadHostIniString(m_placement.iniFile, kSection, "X", "0"));
    if (savedX > 1) placeX = savedX;
    const int savedY = LeadingInteger(ReadHostIniString(m_placement.iniFile, kSection, "Y", "0"));
    if (savedY > 1) placeY = savedY;
    // A place saved on a monitor that is gone, or on a screen since made smaller, would open the
    // window out of sight, with nothing to drag it back by.
    RECT rect{};
    ::GetWindowRect(handle(), &rect);
    const LONG width = m_placement.width ? m_placement.width : rect.right - rect.left;
    const LONG height = m_placement.height ? m_placement.height : rect.bottom - rect.top;
    // In 64 bits, so that a saved place near INT_MAX gives a far rectangle, not a wrapped one.
    const long long right = static_cast<long long>(placeX) + width;
    const long long bottom = static_cast<long long>(placeY) + height;
    const RECT placed{placeX, placeY, static_cast<LONG>(right > LONG_MAX ? LONG_MAX : right),
                      static_cast<LONG>(bottom > LONG_MAX ? LONG_MAX : bottom)};
    if (!MeetsWorkArea(placed)) return;
    *x = placeX;
    *y = placeY;
}

void StatsWindow::SaveWindowPos() {
    RECT rect{};
    ::GetWindowRect(handle(), &rect);
    char number[16];
    std::snprintf(number, sizeof number, "%i", static_cast<int>(rect.left));
    WriteHostIniString(m_placement.iniFile, kSection, "X", number);
    std::snprintf(number, sizeof number, "%i", static_cast<int>(rect.top));
    WriteHostIniString(m_placement.iniFile, kSection, "Y", number);
}

kit::String DaySuffix(const HostClient& client) {
    return client.GetHostFlag("dblclk") ? kit::String(kDaySuffix) : kit::String();
}

kit::String ComposeTrayText(const HostClient& client, TrayText variant) {
    const kit::String day = DaySuffix(client);
    kit::String text = client.GetHostValue("pagetitle" + day, kNoValue);
    if (variant == TrayText::TrafficClasses) {
        text += "\n\nSatEx....... ";
        text += client.GetHostValue("sattrafic" + day, kNoValue);
        text += "\nUkrEx....... ";
        text += client.GetHostValue("ukrtrafic" + day, kNoValue);
        text += "\nОбщий..... ";
        text += client.GetHostValue("alltrafic" + day, kNoValue);
    } else {
        text += "\n\nТрафик........... ";
        text += client.GetHostValue("alltrafic" + day, kNoValue);
        text += "\nСальдо........... ";
        text += client.GetHostValue("saldo", kNoValue);
        text += "\nСальдо-online.... ";
        text += client.GetHostValue("saldoonline", kNoValue);
    }
    text += "\n\n";
    text += client.GetHostValue("updatetime", "");
    return text;
}

kit::String DropCurrency(const kit::String& text) {
    // Matched per character of the process's code page, as the host's texts are written in it.
    return RemoveEvery(text, "грн.", [](unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; });
}

bool MeetsWorkArea(const RECT& rect) {
    // No monitor under the rectangle at all: the usual case of a screen that is gone.
    if (!::MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) return false;
    // Every monitor, not only the one MonitorFromRect names (the one the rectangle overlaps
    // most): the rectangle may lie on that one's taskbar and still reach another's work area.
    WorkAreaSearch search{rect, false};
    ::EnumDisplayMonitors(nullptr, nullptr, &CheckWorkArea, reinterpret_cast<LPARAM>(&search));
    return search.met;
}

int LeadingInteger(const char* text) {
    if (!text) return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    // Saturated where atoi's result would be undefined.
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value <= 2147483648LL) value = value * 10 + (*text - '0');
    if (negative) value = -value;
    if (value > 2147483647LL) return 2147483647;
    if (value < -2147483647LL - 1) return -2147483647 - 1;
    return static_cast<int>(value);
}

}  // namespace stats
