// A host that calls RunExternalFunction again from inside its handler of the plug-in's log line,
// at once or from a timer while the handler pumps messages: the host goes on, and each limit kind
// is still logged once, whichever of the two calls reaches it first.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "testing/host/HostStrings.h"
#include "tests/action/ActionRig.h"

using namespace actiontest;
using Nesting = hoststub::StandInHost::Nesting;

namespace {

// The line a limit kind writes with `text`.
std::string LimitLine(int limitKind, const std::string& text) { return kLimitLines[limitKind - 1] + text; }

}  // namespace

TEST_CASE("a call from inside the host's log handler: the host goes on, each limit kind is logged once") {
    struct Case {
        const char* name;
        bool firstCall;  // the outer call is the plug-in's first (it makes the action window)
        int nestedKind;
        std::vector<std::string> log;  // after the outer call
    };
    const Case cases[] = {
        {"the same kind, on the first call", true, 1, {LimitLine(1, "outer")}},
        {"the same kind, on a later call", false, 1, {LimitLine(1, "outer")}},
        {"another kind", false, 2, {LimitLine(1, "outer"), LimitLine(2, "nested")}},
    };
    for (const Case& c : cases) {
        for (Nesting nesting : {Nesting::Direct, Nesting::FromTimer}) {
            CAPTURE(c.name);
            CAPTURE(nesting == Nesting::Direct ? "direct" : "from a timer");
            ActionRig rig(ActionRig::Brasko::Absent);
            if (!c.firstCall) rig.Run(0, 0);
            auto run = rig.plugin->Resolve<RunExternalFn>("RunExternalFunction");
            const HWND hostWindow = rig.host.window();
            bool armed = true, ran = false;
            rig.host.SetMessageHook([&](UINT message) {
                if (message != host::WM_HOST_LOG_LINE || !armed) return;
                armed = false;
                ran = hoststub::StandInHost::CallNested(nesting, [&] {
                    hoststub::HostString text("nested");
                    host::ExternalCall call{hostWindow, c.nestedKind, 0, text.object()};
                    run(&call);
                });
            });
            rig.Run(1, 0, "outer");
            rig.host.SetMessageHook(nullptr);
            CHECK(ran);
            CHECK(LogText(rig.host.logLines()) == LogText(c.log));
            // Neither kind is told again, by either road.
            rig.Run(1, 0, "again");
            rig.Run(c.nestedKind, 0, "again");
            CHECK(LogText(rig.host.logLines()) == LogText(c.log));
            CHECK(rig.actionWindow() != nullptr);
        }
    }
}
