// The update checks against a server that accepts the connection and never answers, and against
// one that answers only after two seconds, with the WinInet spy in place of this program's WinInet
// imports: the quick check and the engine's list fetches give up on the silent one as on any
// unreachable server (no newer version; the list cannot be opened), and still read the slow one at
// their real time-outs, which go on each request's connection.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UpdateHostCalls.h"
#include "tests/httpclient/WinInetSpy.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"
#include "tests/update/UpdateTestRig.h"
#include "update/UpdateEngine.h"

using namespace updatetest;
using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;

namespace {

// http://127.0.0.1:<port>/silent/update/newer/: the request is read, no answer ever comes.
std::string SilentUrl() { return Services::Get().HttpUrl("/silent/update/newer/"); }
// The "newer" variant, answered two seconds after each request.
std::string SlowUrl() { return Services::Get().HttpUrl("/delay/2000/update/newer/"); }

using OptionValues = std::vector<std::pair<DWORD, DWORD>>;

// The options set on each handle the spy saw created, one entry per creation in call order (a
// closed handle's value may come back for a later one).
std::vector<std::pair<WinInetCall, OptionValues>> OptionsByCreation(const WinInetSpy& spy) {
    std::vector<std::pair<WinInetCall, OptionValues>> created;
    std::vector<std::pair<HINTERNET, size_t>> live;  // handle, index into `created`
    for (const auto& call : spy.Calls()) {
        if (call.result) {
            created.push_back({call.call, {}});
            live.emplace_back(call.result, created.size() - 1);
        } else if (call.call == WinInetCall::InternetSetOption) {
            const DWORD value = testsupport::OptionDword(call);
            for (auto it = live.rbegin(); it != live.rend(); ++it) {
                if (it->first == call.handle) {
                    created[it->second].second.emplace_back(call.number, value);
                    break;
                }
            }
        }
    }
    return created;
}

// The session got the connect time-out `sessionConnect` (0: none), every connection the connect
// time-out `connect` and the send and receive time-outs of `silence`, and no request a time-out of
// its own; returns how many connections there were.
size_t CheckTimeouts(const WinInetSpy& spy, DWORD sessionConnect, DWORD connect, DWORD silence) {
    size_t connections = 0;
    for (const auto& [kind, options] : OptionsByCreation(spy)) {
        CAPTURE(testsupport::WinInetCallName(kind));
        if (kind == WinInetCall::InternetOpen)
            CHECK(options == (sessionConnect ? OptionValues{{INTERNET_OPTION_CONNECT_TIMEOUT, sessionConnect}} : OptionValues{}));
        if (kind == WinInetCall::InternetConnect) {
            ++connections;
            CHECK(options == OptionValues{{INTERNET_OPTION_CONNECT_TIMEOUT, connect},
                                          {INTERNET_OPTION_SEND_TIMEOUT, silence},
                                          {INTERNET_OPTION_RECEIVE_TIMEOUT, silence}});
        }
        if (kind == WinInetCall::HttpOpenRequest) CHECK(options.empty());
    }
    return connections;
}

UpdateStartInfo StartInfo(const std::string& baseUrl, const std::string& versionFile) {
    return UpdateStartInfo{baseUrl.c_str(), "C:\\", "C:\\", versionFile.c_str()};
}

BOOL WINAPI Connected(LPDWORD flags, DWORD) {
    *flags = INTERNET_CONNECTION_LAN;
    return TRUE;
}

// An engine whose list fetches wait `silence` ms (0: the real time-out) over a fresh tree.
struct EngineRig {
    EngineRig(const std::string& name, const std::string& baseUrl, DWORD silence)
        : tree(name), engine(nullptr, Calls(silence)) {
        window.params = {{"URL", baseUrl}, {"PATH", tree.program}, {"TEMPPATH", tree.temp}};
        engine.SetTargetWindow(window.handle());
    }
    static UpdateSystemCalls Calls(DWORD silence) {
        UpdateSystemCalls calls;
        calls.internetGetConnectedState = Connected;
        calls.listSilenceMilliseconds = silence;
        return calls;
    }
    std::string ListFile() const { return tree.temp + "_update\\_updlist.ini"; }

    TestTree tree;
    RecordingWindow window;
    CUpdateEngine engine;
};

BOOL CALLBACK CountVisibleDialog(HWND window, LPARAM counter) {
    char name[16] = "";
    ::GetClassNameA(window, name, sizeof name);
    if (::IsWindowVisible(window) && std::strcmp(name, "#32770") == 0) ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

// The visible dialogs and message boxes (class #32770) of `thread`.
int VisibleDialogs(DWORD thread) {
    int count = 0;
    ::EnumThreadWindows(thread, CountVisibleDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

TEST_CASE("the quick check finds no newer version on a silent server, and reads a slow one, at its real time-outs") {
    const std::string installed = FixtureDll("ver_1_0_0_2");  // the lists say 1.0.0.3
    struct Case {
        const char* name;
        std::string url;
        bool newer;
    };
    for (const Case& c : {Case{"silent", SilentUrl(), false}, Case{"slow", SlowUrl(), true}}) {
        CAPTURE(c.name);
        WinInetSpy spy;
        const UpdateStartInfo info = StartInfo(c.url, installed);
        CHECK(QuickUpdateCheck(&info) == c.newer);
        // The session and the connection wait 3 s for the connection; the connection 5 s for each
        // step after it.
        CHECK(spy.Count(WinInetCall::InternetOpen) == 1);
        CHECK(CheckTimeouts(spy, 3000, 3000, 5000) == 1);
        const auto sends = spy.CallsOf(WinInetCall::HttpSendRequest);
        REQUIRE(sends.size() == 1);
        CHECK(sends[0].ok == c.newer);
        CHECK(spy.OpenHandles().empty());
    }
}

TEST_CASE("the window's check on a silent server ends as for a list that cannot be opened") {
    WinInetSpy spy;
    EngineRig rig("silent-check", SilentUrl(), 1500);
    CHECK(rig.engine.RunUpdateCheck() == UpdateUrlNotOpened);
    const std::vector<std::string> logs = rig.window.Logs();
    REQUIRE(!logs.empty());
    CHECK(logs.back() == "ERROR NoConnect");
    CHECK_FALSE(Exists(rig.ListFile()));
    CHECK(rig.engine.GetFileList().empty());
    CHECK(CheckTimeouts(spy, 0, 1500, 1500) == 1);  // the test open; the fetch never starts
    CHECK(spy.OpenHandles() == std::vector<HINTERNET>{rig.engine.GetSession()});  // only the engine's own
}

TEST_CASE("a list fetch from a silent server leaves the saved list as it was") {
    EngineRig rig("silent-fetch", UpdateUrl("newer"), 1500);
    REQUIRE(rig.engine.RunUpdateCheck() == UpdateDone);
    const std::string saved = testsupport::ReadFile(rig.ListFile());
    WinInetSpy spy;
    CHECK(rig.engine.FetchUpdateList(SilentUrl().c_str()) == UpdateUrlNotOpened);
    CHECK(testsupport::ReadFile(rig.ListFile()) == saved);
    CHECK(CheckTimeouts(spy, 0, 1500, 1500) == 1);
    CHECK(spy.OpenHandles().empty());
}

TEST_CASE("the window's check reads a slow server at the real time-outs of the download worker's silence") {
    WinInetSpy spy;
    EngineRig rig("slow-check", SlowUrl(), 0);
    CHECK(rig.engine.RunUpdateCheck() == UpdateDone);
    CHECK(!rig.engine.GetFileList().empty());
    CHECK(CheckTimeouts(spy, 0, 10000, 10000) == 2);  // the test open and the fetch
    CHECK(spy.OpenHandles() == std::vector<HINTERNET>{rig.engine.GetSession()});
}

TEST_CASE("the plug-in's quiet check on a silent server returns without a box and without a window") {
    hoststub::StandInHost host;
    std::unique_ptr<hoststub::PluginModule> plugin;
    host.RunOnUiThread([&] { plugin = std::make_unique<hoststub::PluginModule>(testsupport::BuildFile("update/pendrake.dll")); });
    REQUIRE(plugin);
    auto* check = reinterpret_cast<host::exports::GetPluginRunProcUpdateCheck*>(
        reinterpret_cast<void*>(plugin->Find("GetPluginRunProcUpdateCheck")));
    REQUIRE(reinterpret_cast<void*>(check) != nullptr);
    // A box would hold the call until the test's time limit; a window would be left behind.
    hoststub::CallRunProcedure(host, check, {SilentUrl(), "C:\\", FixtureDll("ver_1_0_0_2")});
    CHECK(VisibleDialogs(host.uiThreadId()) == 0);
    host.RunOnUiThread([&] { plugin.reset(); });
}
