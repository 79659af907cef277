#include "statswindows/common/StatsWindow.h"

#include <cstdio>

#include "statswindows/common/RemoveEvery.h"

namespace stats {

namespace {

constexpr char kSection[] = "GLOBAL";
constexpr char kDaySuffix[] = "_day";

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
    if (m_placement.iniFile) SaveWindowPos();
    DestroyWindow();
}

void StatsWindow::LoadWindowPos(int* x, int* y, HWND host) {
    hostWindow = host;
    const int savedX = LeadingInteger(ReadHostIniString(m_placement.iniFile, kSection, "X", "0"));
    if (savedX > 1) *x = savedX;
    const int savedY = LeadingInteger(ReadHostIniString(m_placement.iniFile, kSection, "Y", "0"));
    if (savedY > 1) *y = savedY;
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
