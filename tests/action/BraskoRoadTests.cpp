// brasko.dll between the stand-in host and the Brasko stand-in: the three roads, the limit lines,
// and the edges of the protocol, each checked by the host's log and by what Brasko received.
#include <doctest/doctest.h>

#include "action/BraskoProtocol.h"
#include "tests/action/ActionRig.h"
#include "tests/support/TestPaths.h"

using namespace actiontest;
using namespace brasko;

namespace {

constexpr char kText[] = "500 \xCC\xC1";  // "500 МБ"

enum class Pause { None, Second };

// One call of an action with the script Brasko answers it by, and what must follow.
struct Step {
    const char* what;
    int state;  // -1: the query stays unanswered
    bool confirmWorldOff;
    bool confirmSegmentOn;
    std::vector<UINT> commands;  // what the Brasko main window receives, in order
    std::vector<std::string> lines;  // what the host's log gains, in order
    Pause pause;
};

std::vector<std::string> LinesSince(const ActionRig& rig, std::size_t from) {
    const std::vector<std::string> all = rig.host.logLines();
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

// Runs `action` (no limit) once per step.
void RunSteps(ActionRig& rig, int action, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        const std::string what = step.what;
        CAPTURE(what);
        rig.brasko->SetScript(step.state, step.confirmWorldOff, step.confirmSegmentOn);
        const std::size_t records = rig.recordCount();
        const std::size_t lines = rig.host.logLines().size();
        const DWORD start = ::GetTickCount();
        rig.Run(0, action);
        rig.Settle();
        const DWORD elapsed = ::GetTickCount() - start;
        CHECK(rig.receivedSince(records) == ExpectedCommands(step.commands, rig.actionWindow()));
        CHECK(LogText(LinesSince(rig, lines)) == LogText(step.lines));
        // The pause alone takes a second: a step without it must take less than that, however
        // loaded the machine is; the lower bound proves the pause.
        if (step.pause == Pause::Second) CHECK(elapsed >= 900);
        else CHECK(elapsed < 1000);
    }
    CHECK(rig.decoysUntouched());
}

}  // namespace

TEST_CASE("action 1 asks for the state; states 0 and 2 switch the world off, after a pause") {
    ActionRig rig;
    RunSteps(rig, host::ActionWorldOff, {
        {"state 1", 1, true, true, {WM_BRASKO_QUERY_STATE}, {}, Pause::None},
        {"state 3", 3, true, true, {WM_BRASKO_QUERY_STATE}, {}, Pause::None},
        {"no answer", -1, true, true, {WM_BRASKO_QUERY_STATE}, {}, Pause::None},
        {"state 2, no confirmation", 2, false, false, {WM_BRASKO_QUERY_STATE, WM_BRASKO_WORLD_OFF},
         {kAttemptWorldOff}, Pause::Second},
        {"state 0, confirmed", 0, true, false, {WM_BRASKO_QUERY_STATE, WM_BRASKO_WORLD_OFF},
         {kAttemptWorldOff, kWorldOffDone}, Pause::Second},
        {"state 0 once the world is off", 0, true, false, {WM_BRASKO_QUERY_STATE}, {}, Pause::Second},
        {"state 1 once the world is off", 1, true, false, {WM_BRASKO_QUERY_STATE}, {}, Pause::None},
    });
}

TEST_CASE("action 2 activates the segment until Brasko confirms it") {
    ActionRig rig;
    RunSteps(rig, host::ActionSegmentOn, {
        {"no confirmation", 0, true, false, {WM_BRASKO_SEGMENT_ON}, {kAttemptSegmentOn}, Pause::None},
        {"confirmed", 0, false, true, {WM_BRASKO_SEGMENT_ON}, {kAttemptSegmentOn, kSegmentOnDone}, Pause::None},
        {"once active", 0, true, true, {}, {}, Pause::None},
    });
}

TEST_CASE("action 3 posts both commands until both are confirmed, also when only one is") {
    ActionRig rig;
    const std::vector<UINT> both{WM_BRASKO_WORLD_OFF, WM_BRASKO_SEGMENT_ON};
    RunSteps(rig, host::ActionWorldOffAndSegmentOn, {
        {"no confirmation", 0, false, false, both, {kAttemptBoth}, Pause::None},
        {"world confirmed", 0, true, false, both, {kAttemptBoth, kWorldOffDone}, Pause::None},
        {"world off, segment confirmed", 0, true, true, both, {kAttemptBoth, kWorldOffDone, kSegmentOnDone},
         Pause::None},
        {"both done", 0, true, true, {}, {}, Pause::None},
    });
    // Action 2 is suppressed by the same flag; action 1 still asks.
    RunSteps(rig, host::ActionSegmentOn, {{"segment already active", 0, true, true, {}, {}, Pause::None}});
    RunSteps(rig, host::ActionWorldOff, {{"world already off", 3, true, true, {WM_BRASKO_QUERY_STATE}, {}, Pause::None}});
}

TEST_CASE("the hidden window is made once, on the first call, as an invisible 1x1 child of the host window") {
    ActionRig rig;
    CHECK(rig.actionWindow() == nullptr);
    rig.Run(0, 0);
    const HWND window = rig.actionWindow();
    REQUIRE(window != nullptr);
    CHECK(::GetParent(window) == rig.host.window());
    CHECK(static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE)) == WS_CHILD);
    CHECK(::GetWindowLongA(window, GWL_ID) == 0);
    CHECK_FALSE(::IsWindowVisible(window));
    RECT rect{};
    ::GetWindowRect(window, &rect);
    CHECK(rect.right - rect.left == 1);
    CHECK(rect.bottom - rect.top == 1);
    CHECK(::GetWindowThreadProcessId(window, nullptr) == rig.host.uiThreadId());
    rig.Run(1, 3, kText);
    rig.Settle();
    CHECK(rig.actionWindow() == window);
    CHECK(::FindWindowExA(rig.host.window(), window, nullptr, nullptr) == nullptr);
}

TEST_CASE("each kind of limit is logged once, text appended; kinds 0 and 5 and actions 0 and 4 do nothing") {
    ActionRig rig;
    struct Call {
        int kind;
        int action;
        std::string text;
        std::vector<std::string> lines;
        std::vector<UINT> commands;
    };
    const std::string line1 = std::string(kLimitLines[0]) + kText;
    const Call calls[] = {
        {1, 0, kText, {line1}, {}},
        {1, 2, kText, {kAttemptSegmentOn}, {WM_BRASKO_SEGMENT_ON}},  // no second line, the action runs
        {2, 2, "", {kLimitLines[1], kAttemptSegmentOn}, {WM_BRASKO_SEGMENT_ON}},  // the bare literal, blank kept
        {0, 0, kText, {}, {}},
        {5, 4, kText, {}, {}},
        {3, 4, "x", {std::string(kLimitLines[2]) + "x"}, {}},
        {4, 0, kText, {std::string(kLimitLines[3]) + kText}, {}},
        {4, 0, "y", {}, {}},
        {3, 0, "y", {}, {}},
        {2, 0, "y", {}, {}},
        {1, 0, "y", {}, {}},
    };
    for (const Call& call : calls) {
        CAPTURE(call.kind);
        CAPTURE(call.action);
        const std::size_t records = rig.recordCount();
        const std::size_t lines = rig.host.logLines().size();
        rig.Run(call.kind, call.action, call.text);
        rig.Settle();
        CHECK(LogText(LinesSince(rig, lines)) == LogText(call.lines));
        CHECK(rig.receivedSince(records) == ExpectedCommands(call.commands, rig.actionWindow()));
    }
    CHECK(testsupport::HexBytes(line1) ==
          testsupport::HexBytes("::: \xC4\xEE\xF1\xF2\xE8\xE3\xED\xF3\xF2 \xEB\xE8\xEC\xE8\xF2 \xEF\xEE "
                                "\xE7\xE0\xF0\xF3\xE1\xE5\xE6\xED\xEE\xEC\xF3 \xF2\xF0\xE0\xF4\xE8\xEA\xF3 500 \xCC\xC1"));
}

TEST_CASE("a later call's host window is ignored: the lines go to the first call's host window") {
    ActionRig rig;
    hoststub::StandInHost other;
    rig.Run(1, 2, kText);
    rig.RunWith(other.window(), 2, 2, kText);
    rig.Settle();
    CHECK(LogText(rig.host.logLines()) == LogText({std::string(kLimitLines[0]) + kText, kAttemptSegmentOn,
                                                   std::string(kLimitLines[1]) + kText, kAttemptSegmentOn}));
    CHECK(other.logLines().empty());
    CHECK(::FindWindowExA(other.window(), nullptr, nullptr, "WallAction") == nullptr);
}

TEST_CASE("without Brasko nothing is posted and nothing but limit lines is logged; Brasko is looked up afresh") {
    ActionRig rig(ActionRig::Brasko::Absent);
    const DWORD start = ::GetTickCount();
    for (int action : {1, 2, 3}) rig.Run(0, action);
    rig.Run(4, 2, kText);
    rig.Settle();
    CHECK(::GetTickCount() - start < 1000);  // less than one pause: none happened
    CHECK(LogText(rig.host.logLines()) == LogText({std::string(kLimitLines[3]) + kText}));

    rig.brasko = std::make_unique<braskostub::BraskoProgram>(BraskoStandInExe());
    rig.brasko->SetScript(-1, false, true);
    rig.host.ClearRecords();
    rig.Run(0, 2);
    rig.Settle();
    CHECK(rig.receivedSince(0) == ExpectedCommands({WM_BRASKO_SEGMENT_ON}, rig.actionWindow()));
    CHECK(LogText(rig.host.logLines()) == LogText({kAttemptSegmentOn, kSegmentOnDone}));
}

TEST_CASE("deactivation is logged and clears no flag") {
    ActionRig rig;
    RunSteps(rig, host::ActionWorldOffAndSegmentOn, {
        {"both confirmed", 0, true, true, {WM_BRASKO_WORLD_OFF, WM_BRASKO_SEGMENT_ON},
         {kAttemptBoth, kWorldOffDone, kSegmentOnDone}, Pause::None},
    });
    rig.host.ClearRecords();
    rig.brasko->PostFromBrasko(WM_BRASKO_DEACTIVATED, rig.actionWindow());
    rig.Settle();
    CHECK(LogText(rig.host.logLines()) == LogText({kDeactivated}));
    RunSteps(rig, host::ActionWorldOffAndSegmentOn, {{"after deactivation", 0, true, true, {}, {}, Pause::None}});
    RunSteps(rig, host::ActionSegmentOn, {{"after deactivation", 0, true, true, {}, {}, Pause::None}});
}

TEST_CASE("confirmations that no command asked for still set their flags") {
    ActionRig fresh;
    fresh.Run(0, 0);  // makes the window, posts nothing
    fresh.brasko->PostFromBrasko(WM_BRASKO_WORLD_OFF_DONE, fresh.actionWindow());
    fresh.Settle();
    CHECK(LogText(fresh.host.logLines()) == LogText({kWorldOffDone}));
    RunSteps(fresh, host::ActionWorldOffAndSegmentOn, {
        {"world confirmed unprompted", 0, false, false, {WM_BRASKO_WORLD_OFF, WM_BRASKO_SEGMENT_ON}, {kAttemptBoth},
         Pause::None},
    });
    fresh.brasko->PostFromBrasko(WM_BRASKO_SEGMENT_ON_DONE, fresh.actionWindow());
    fresh.Settle();
    CHECK(LogText(fresh.host.logLines()).find(LogText({kSegmentOnDone})) != std::string::npos);
    RunSteps(fresh, host::ActionWorldOffAndSegmentOn, {{"both set unprompted", 0, true, true, {}, {}, Pause::None}});
    RunSteps(fresh, host::ActionSegmentOn, {{"both set unprompted", 0, true, true, {}, {}, Pause::None}});
}

TEST_CASE("a null host window on the first call: no window, no log for good, commands with a null reply address") {
    ActionRig rig;
    rig.brasko->SetScript(-1, true, true);
    rig.RunWith(nullptr, 1, 2, kText);
    rig.Run(2, 3, kText);
    rig.Settle();
    CHECK(rig.actionWindow() == nullptr);
    CHECK(rig.host.logLines().empty());
    CHECK(rig.receivedSince(0) == ExpectedCommands({WM_BRASKO_SEGMENT_ON, WM_BRASKO_WORLD_OFF, WM_BRASKO_SEGMENT_ON}, nullptr));
    for (const auto& record : rig.brasko->Received(braskostub::WindowRole::Main)) CHECK(record.wParam == 0);
}
