// The two roads out of a plug-in, seen from a host process of its own (exit_probe): FreeLibrary
// runs the plug-in's exit work (its window, a child of the host window, is destroyed), and the
// end of the process skips it: with the window alive and a statistics request waiting for a
// silent server, the process ends promptly with its exit code and destroys nothing.
#include <doctest/doctest.h>
#include <windows.h>

#include <string>

#include "base/Unique.h"
#include "tests/support/TestPaths.h"

namespace {

struct Outcome {
    bool ended = false;
    DWORD exitCode = 0;
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
    std::string command = "\"" + testsupport::BuildFile("tests/base/exit_probe.exe") + "\" " + arguments;
    REQUIRE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started));
    kit::UniqueHandle process(started.hProcess), thread(started.hThread);
    writer.reset();  // the probe holds the only write end now: the pipe ends with the process

    Outcome outcome;
    outcome.ended = ::WaitForSingleObject(process.get(), limitMs) == WAIT_OBJECT_0;
    if (!outcome.ended) ::TerminateProcess(process.get(), 99);
    ::GetExitCodeProcess(process.get(), &outcome.exitCode);
    char buffer[512];
    DWORD got = 0;
    while (::ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got) outcome.output.append(buffer, got);
    return outcome;
}

std::string Quoted(const std::string& relative) { return "\"" + testsupport::BuildFile(relative) + "\""; }

}  // namespace

TEST_CASE("FreeLibrary with the window alive: the plug-in destroys its window before it goes") {
    const Outcome outcome = RunProbe("unload " + Quoted("action/brasko.dll"), 20000);
    REQUIRE(outcome.ended);
    CHECK(outcome.exitCode == 21);
    CHECK(outcome.output == "action window made\naction window destroyed\nunloaded\n");
}

TEST_CASE("the process ends with a window alive and a session open: promptly, with its code, destroying nothing") {
    const DWORD start = ::GetTickCount();
    const Outcome outcome = RunProbe("exit " + Quoted("action/brasko.dll") + " " + Quoted("provider/ravo.dll"), 20000);
    REQUIRE(outcome.ended);
    CHECK(::GetTickCount() - start < 10000);
    CHECK(outcome.exitCode == 37);
    CHECK(outcome.output == "action window made\nsession open\n");
}
