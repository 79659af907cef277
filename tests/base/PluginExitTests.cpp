// The two roads out of a plug-in, seen from a host process of its own (exit_probe): FreeLibrary
// runs the plug-in's exit work (its windows are destroyed, the statistics windows' positions
// saved), and the end of the process skips it: with windows alive (brasko.dll's action window,
// the statistics windows of tolvanek.dll shown with the host's statistics, pendrake.dll's update
// window open) and a statistics request waiting for a silent server, the process ends promptly
// with its exit code, and not one window is destroyed by the plug-ins' code.
#include <doctest/doctest.h>
#include <windows.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "base/Unique.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr int kUnloadedCode = 21;
constexpr int kExitCode = 37;

struct Outcome {
    bool ended = false;
    DWORD exitCode = 0;
    DWORD endTick = 0;
    std::string output;
};

Outcome RunProbe(const std::string& arguments, DWORD limitMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    REQUIRE(::CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    kit::UniqueHandle reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION started{};
    std::string command = testsupport::BuildFile("tests/base/exit_probe.exe");
    command.insert(command.begin(), '"');
    command.append("\" ").append(arguments);
    REQUIRE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started));
    kit::UniqueHandle process(started.hProcess), thread(started.hThread);
    writer.reset();  // the probe holds the only write end now: the pipe ends with the process

    Outcome outcome;
    outcome.ended = ::WaitForSingleObject(process.get(), limitMs) == WAIT_OBJECT_0;
    outcome.endTick = ::GetTickCount();
    if (!outcome.ended) ::TerminateProcess(process.get(), 99);
    ::GetExitCodeProcess(process.get(), &outcome.exitCode);
    char buffer[512];
    DWORD got = 0;
    while (::ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got) outcome.output.append(buffer, got);
    return outcome;
}

// A file of the build tree as one argument.
std::string Quoted(const std::string& relative) {
    std::string quoted(1, '"');
    quoted.append(testsupport::BuildFile(relative)).push_back('"');
    return quoted;
}

// The probe's arguments, separated by blanks.
std::string Arguments(std::initializer_list<std::string> parts) {
    std::string joined;
    for (const std::string& part : parts) {
        if (!joined.empty()) joined.push_back(' ');
        joined.append(part);
    }
    return joined;
}

// The probe's line "exit() at <tick>" taken out of its output: the tick when it called exit().
bool TakeExitTick(std::string& output, DWORD* tick) {
    const std::string prefix = "exit() at ";
    const std::size_t at = output.find(prefix);
    if (at == std::string::npos) return false;
    const std::size_t end = output.find('\n', at);
    if (end == std::string::npos) return false;
    *tick = static_cast<DWORD>(std::strtoul(output.c_str() + at + prefix.size(), nullptr, 10));
    output.erase(at, end + 1 - at);
    return true;
}

}  // namespace

TEST_CASE("FreeLibrary with the window alive: the plug-in destroys its window before it goes") {
    const Outcome outcome = RunProbe(Arguments({"unload", Quoted("action/brasko.dll")}), 20000);
    REQUIRE(outcome.ended);
    CHECK(outcome.exitCode == kUnloadedCode);
    CHECK(outcome.output == "action window made\naction window destroyed\nunloaded\n");
}

TEST_CASE("the process ends with a window alive and a session open: promptly, with its code, destroying nothing") {
    const DWORD start = ::GetTickCount();
    const Outcome outcome =
        RunProbe(Arguments({"exit", Quoted("action/brasko.dll"), Quoted("provider/ravo.dll")}), 20000);
    REQUIRE(outcome.ended);
    CHECK(::GetTickCount() - start < 10000);
    CHECK(outcome.exitCode == kExitCode);
    CHECK(outcome.output == "action window made\nsession open\n");
}

// Both roads for each plug-in with windows open on the host's user-interface thread; the probe
// prints every window destroyed on that thread once the road is taken ("destroyed <class>").
TEST_CASE("windows open on the host's thread: FreeLibrary destroys them, the end of the process leaves them") {
    const std::string programFolder = "tests/base/exit-program";  // the update log goes there
    ::CreateDirectoryA(testsupport::BuildFile(programFolder).c_str(), nullptr);
    struct Case {
        std::string name;
        std::string mode;
        std::string files;     // the probe's arguments after the road
        std::string shown;     // the probe's line once the windows are up
        std::string unloaded;  // what FreeLibrary brings after it
    };
    const Case cases[] = {
        {"tolvanek.dll, both styles shown", "stats", Quoted("plugins/tolvanek.dll"), "statistics windows shown: 2\n",
         "destroyed #32770\ndestroyed #32770\nunloaded\nposition values saved: 4\n"},
        // The first update window pins pendrake.dll: a FreeLibrary leaves it and its window.
        {"pendrake.dll, the update window open", "update",
         Arguments({Quoted("update/pendrake.dll"), Quoted(programFolder)}), "update window shown\n", "unloaded\n"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        for (const char* road : {"unload", "exit"}) {
            CAPTURE(road);
            Outcome outcome = RunProbe(Arguments({c.mode, road, c.files}), 60000);
            REQUIRE(outcome.ended);
            if (std::string(road) == "unload") {
                CHECK(outcome.exitCode == kUnloadedCode);
                CHECK(outcome.output == c.shown + c.unloaded);
                continue;
            }
            DWORD exitTick = 0;
            REQUIRE(TakeExitTick(outcome.output, &exitTick));
            CHECK(outcome.exitCode == kExitCode);
            CHECK(outcome.endTick - exitTick < 10000);
            CHECK(outcome.output == c.shown);  // no window destroyed after exit()
        }
    }
}

// The end of the process with the statistics windows shown and moved by the user: each window's
// place reaches the host as at unload (X, then Y, window by window in the plug-in's exit order),
// sent to the host window while it still lives on the exiting thread; with the host window gone,
// or the process ended from another thread, nothing is sent. The process ends promptly, with its
// code, and no window is destroyed.
TEST_CASE("the process ends with statistics windows moved: their places reach a living host window on its thread") {
    // The probe moves style s to (200 + 37 s, 100 + 23 s).
    auto written = [](const std::string& iniFile, int style) {
        return "written plugins\\" + iniFile + " GLOBAL X=" + std::to_string(200 + 37 * style) +
               "\nwritten plugins\\" + iniFile + " GLOBAL Y=" + std::to_string(100 + 23 * style) + "\n";
    };
    struct Case {
        std::string dll;
        int styles;
        std::string moved;  // what the "moved" road receives
    };
    const Case cases[] = {
        {"tolvanek", 2, written("tolvanek\\tolvanek.ini", 2) + written("tolvanek2\\tolvanek2.ini", 1)},
        {"morvik", 1, written("morvik\\morvik.ini", 1)},
        {"selvane", 1, written("selvane\\selvane.ini", 1)},
        {"mini", 1, written("mini\\mini.ini", 1)},
    };
    for (const Case& c : cases) {
        // The roads that send nothing run on the first plug-in alone: the four share that code.
        const bool first = &c == &cases[0];
        for (const std::string road : {"moved", "host-gone", "other-thread"}) {
            if (road != "moved" && !first) continue;
            CAPTURE(c.dll);
            CAPTURE(road);
            Outcome outcome = RunProbe(Arguments({"stats", road, Quoted("plugins/" + c.dll + ".dll")}), 60000);
            REQUIRE(outcome.ended);
            DWORD exitTick = 0;
            REQUIRE(TakeExitTick(outcome.output, &exitTick));
            CHECK(outcome.exitCode == kExitCode);
            CHECK(outcome.endTick - exitTick < 10000);
            const std::string shown = "statistics windows shown: " + std::to_string(c.styles) + "\n";
            CHECK(outcome.output == shown + (road == "moved" ? c.moved : ""));
        }
    }
}
