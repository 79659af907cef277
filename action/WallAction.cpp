// The hidden action window and its protocol with the Brasko program.
#include "action/WallAction.h"

#include "action/BraskoProtocol.h"
#include "hostapi/HostProtocol.h"

using namespace brasko;

namespace {

constexpr char kAttemptWorldOff[] = "-> Brasko : Попытка выключить мир";
constexpr char kAttemptBoth[] = "-> Brasko : Попытка выключить мир и активировать сегмент";
constexpr char kAttemptSegmentOn[] = "-> Brasko : Попытка активировать сегмент";
constexpr char kWorldOffDone[] = "::: Brasko : Выключение \"мира\" выполненно";
constexpr char kSegmentOnDone[] = "::: Brasko : Активирование сегмента выполненно";
constexpr char kDeactivated[] = "Деактивирование Brasko выполненно";

constexpr DWORD kStatePauseMs = 1000;

}  // namespace

void CWallAction::SendLogLine(kit::String line) {
    if (!hostWindow) return;
    ::SendMessageA(hostWindow, host::WM_HOST_LOG_LINE, reinterpret_cast<WPARAM>(&line), 0);
}

void CWallAction::Command(const char* attempt, std::initializer_list<UINT> commands) {
    HWND brasko = ::FindWindowA(kMainWindowClass, kMainWindowTitle);
    if (!brasko) return;
    if (attempt) SendLogLine(attempt);
    for (UINT command : commands) ::PostMessageA(brasko, command, reinterpret_cast<WPARAM>(handle()), 0);
}

void CWallAction::RequestWorldOff() { Command(nullptr, {WM_BRASKO_QUERY_STATE}); }

void CWallAction::ActivateSegment() {
    if (!segmentActive) Command(kAttemptSegmentOn, {WM_BRASKO_SEGMENT_ON});
}

void CWallAction::SwitchWorldOffAndSegmentOn() {
    if (!(worldOff && segmentActive)) Command(kAttemptBoth, {WM_BRASKO_WORLD_OFF, WM_BRASKO_SEGMENT_ON});
}

void CWallAction::SwitchWorldOff() {
    if (!worldOff) Command(kAttemptWorldOff, {WM_BRASKO_WORLD_OFF});
}

LRESULT CWallAction::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_BRASKO_STATE:
        return OnStateReply(wParam, lParam);
    case WM_BRASKO_WORLD_OFF_DONE:
        return OnWorldOffDone(wParam, lParam);
    case WM_BRASKO_SEGMENT_ON_DONE:
        return OnSegmentOnDone(wParam, lParam);
    case WM_BRASKO_DEACTIVATED:
        return OnDeactivated(wParam, lParam);
    default:
        return kit::Window::OnMessage(message, wParam, lParam);
    }
}

LRESULT CWallAction::OnStateReply(WPARAM state, LPARAM) {
    if (state == BraskoStateWorldOffDue || state == BraskoStateWorldOffDueToo) {
        SwitchWorldOff();
        ::Sleep(kStatePauseMs);  // also when nothing was posted
    }
    return 0;
}

LRESULT CWallAction::OnWorldOffDone(WPARAM, LPARAM) {
    worldOff = true;
    SendLogLine(kWorldOffDone);
    return 0;
}

LRESULT CWallAction::OnSegmentOnDone(WPARAM, LPARAM) {
    segmentActive = true;
    SendLogLine(kSegmentOnDone);
    return 0;
}

LRESULT CWallAction::OnDeactivated(WPARAM, LPARAM) {
    SendLogLine(kDeactivated);
    return 0;
}
