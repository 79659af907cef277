// The engine's file side on real files: version resources of the fixture DLLs, the removal of a
// folder tree, the carried FILES resource, the profile reads, and the hand-over to the updater
// with the program start in a seam, and once through the real shell.
#include <doctest/doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestPaths.h"
#include "tests/update/UpdateTestRig.h"
#include "update/UpdateEngine.h"
#include "updater/HandOverMark.h"

using namespace updatetest;

TEST_CASE("GetFileVersionText on files with and without a version resource") {
    struct Case {
        std::string path;
        const char* expected;
    };
    TestTree tree("version-text");
    WriteBytes(tree.program + "plain.txt", "no resources here");
    const Case cases[] = {
        {FixtureDll("ver_1_0_0_2"), "1.0.0.2"},
        {FixtureDll("ver_1_0_0_3"), "1.0.0.3"},
        {FixtureDll("ver_2_5_0_0"), "2.5"},
        {FixtureDll("ver_40000_2_65535_7"), "40000.2.65535.7"},
        {FixtureDll("ver_0_0_0_0"), ""},
        {FixtureDll("noversion"), ""},
        {tree.program + "plain.txt", ""},
        {tree.program + "missing.dll", ""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        CHECK(GetFileVersionText(c.path.c_str()) == c.expected);
    }
}

TEST_CASE("DeleteFolderTree removes read-only files and subfolders, then the folder") {
    TestTree tree("delete-tree");
    const std::string folder = tree.temp + "_update\\_files";
    WriteBytes(folder + "\\app.exe", "app");
    WriteBytes(folder + "\\sub\\deep\\tool.dll", "tool");
    WriteBytes(folder + "\\sub\\readonly.txt", "locked");
    REQUIRE(::SetFileAttributesA((folder + "\\sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    SUBCASE("with the worker's trailing separator") {
        CHECK(DeleteFolderTree((tree.temp + "_update/_files/").c_str()));
        CHECK(tree.List() == std::vector<std::string>{"program/", "temp/", "temp/_update/"});
    }
    SUBCASE("a folder that does not exist") {
        CHECK_FALSE(DeleteFolderTree((tree.temp + "missing\\").c_str()));
        CHECK_FALSE(DeleteFolderTree((folder + "\\app.exe\\").c_str()));
    }
    SUBCASE("an entry that cannot be deleted stops the walk and keeps the folder") {
        kit::UniqueFile held(::CreateFileA((folder + "\\app.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        REQUIRE(held);
        CHECK_FALSE(DeleteFolderTree(folder.c_str()));
        CHECK(Exists(folder + "\\app.exe"));
        held.reset();
        CHECK(DeleteFolderTree(folder.c_str()));
        CHECK_FALSE(Exists(folder));
    }
}

TEST_CASE("ExtractFileResource writes a carried file byte for byte; a missing id creates no file") {
    TestTree tree("extract");
    const std::string target = tree.temp + "updater.exe";
    const std::string carried = testsupport::ReadFile(testsupport::SourceFile("tests/update/fixtures/stub.c"));

    WriteBytes(target, std::string("an older copy that is longer than the carried file ... ").append(4000, 'x'));
    CHECK(ExtractFileResource(target.c_str(), kUpdaterResourceId) == UpdaterWritten);
    CHECK(testsupport::ReadFile(target) == carried);

    const std::string other = tree.temp + "other.exe";
    CHECK(ExtractFileResource(other.c_str(), 4999) == UpdaterNotWritten);
    CHECK_FALSE(Exists(other));
    CHECK(ExtractFileResource((tree.temp + "missing\\updater.exe").c_str(), kUpdaterResourceId) == UpdaterNotWritten);
    // Another module is looked at only when named.
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    CHECK(ExtractFileResource(other.c_str(), kUpdaterResourceId, kernel) == UpdaterNotWritten);
}

TEST_CASE("ReadIniString keeps at most 254 characters; missing keys give the defaults") {
    TestTree tree("ini");
    const std::string file = tree.temp + "list.ini";
    WriteBytes(file, std::string("1.0.0.3\r\n[general]\r\ntitle=").append(300, 't').append("\r\ncountfiles=7\r\n"));
    CHECK(ReadIniString(file.c_str(), "general", "title", "").str() == std::string(254, 't'));
    CHECK(ReadIniString(file.c_str(), "GENERAL", "missing", "").str().empty());
    CHECK(ReadIniInt(file.c_str(), "General", "CountFiles", 0) == 7);
    CHECK(ReadIniInt(file.c_str(), "general", "missing", -3) == -3);
}

namespace {

// What the engine handed to the shell for one start.
struct ShellStart {
    std::string file, parameters, directory;
    bool verb;  // one was named: the program would not start as its manifest asks
    int show;
    ULONG mask;
    HWND owner;
    bool marked;  // the updater's folder was marked as the start began
};
std::vector<ShellStart> g_starts;
BOOL g_startResult = FALSE;
DWORD g_startError = 0;

std::string Text(const char* text) { return text ? text : "(null)"; }

BOOL WINAPI RecordingShellExecuteEx(SHELLEXECUTEINFOA* start) {
    REQUIRE(start->cbSize == sizeof(SHELLEXECUTEINFOA));
    const std::string file = Text(start->lpFile);
    g_starts.push_back({file, Text(start->lpParameters), Text(start->lpDirectory), start->lpVerb != nullptr,
                        start->nShow, start->fMask, start->hwnd,
                        handover::IsMarked(file.substr(0, file.find_last_of("\\/")))});
    if (!g_startResult) ::SetLastError(g_startError);
    return g_startResult;
}

std::string CurrentDirectory() {
    char folder[MAX_PATH + 1] = "";
    ::GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

BOOL WINAPI Connected(LPDWORD flags, DWORD) {
    *flags = INTERNET_CONNECTION_LAN;
    return TRUE;
}

// An engine whose folders come from the window's parameters; the check itself stops at once at a
// refused port, after the folders are taken.
struct HandOver {
    explicit HandOver(const TestTree& tree) : engine(nullptr, Calls()) {
        window.params = {{"URL", "http://127.0.0.1:1/none/"}, {"PATH", tree.program}, {"TEMPPATH", tree.temp}};
        engine.SetTargetWindow(window.handle());
        engine.RunUpdateCheck();
        g_starts.clear();
    }
    static UpdateSystemCalls Calls() {
        UpdateSystemCalls calls;
        calls.shellExecuteEx = RecordingShellExecuteEx;
        calls.internetGetConnectedState = Connected;
        return calls;
    }
    RecordingWindow window;
    CUpdateEngine engine;
};

}  // namespace

TEST_CASE("StartUpdater: path and exec in the list, the shell's start of the updater, and its outcome") {
    for (const char* name : {"start-updater", "start updater with blanks"}) {
        CAPTURE(name);
        TestTree tree(name);
        HandOver rig(tree);
        const std::string list = tree.temp + "/_update/_updlist.ini";
        WriteBytes(tree.temp + "_update\\_updlist.ini", "1.0.0.3\r\n[general]\r\ncountfiles=0\r\n");

        g_startResult = TRUE;
        CHECK(rig.engine.StartUpdater() == UpdateDone);
        REQUIRE(g_starts.size() == 1);
        const ShellStart& start = g_starts[0];
        // The program on its own, whole with its blanks; the list between the markers in the one
        // quoted argument; the log's folder as the current one; the prompt owned by the window.
        CHECK(start.file == tree.temp + "_update/updater.exe");
        CHECK(start.parameters == "\"<file>" + tree.temp + "_update/_updlist.ini</file>\"");
        CHECK(start.directory == CurrentDirectory());
        CHECK_FALSE(start.verb);
        CHECK(start.show == SW_SHOWNORMAL);
        CHECK(start.owner == rig.window.handle());
        CHECK((start.mask & SEE_MASK_FLAG_NO_UI) != 0);  // the window reports a failure, the shell does not
        // Marked before the updater runs; without a process to wait for, the plug-in lets go at once.
        CHECK(start.marked);
        CHECK_FALSE(handover::IsMarked(tree.temp + "_update"));
        CHECK(ReadIniString(list.c_str(), "general", "path", "?").str() == tree.program);
        CHECK(ReadIniString(list.c_str(), "general", "exec", "?").str().empty());
        CHECK(testsupport::ReadFile(tree.temp + "_update\\_updlist.ini").rfind("1.0.0.3\r\n", 0) == 0);
    }
}

TEST_CASE("StartUpdater: every start the shell refuses is 12, a declined consent prompt among them") {
    TestTree tree("start-updater-refused");
    HandOver rig(tree);
    WriteBytes(tree.temp + "_update\\_updlist.ini", "1.0.0.3\r\n[general]\r\ncountfiles=0\r\n");
    constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, which the headers lack
    for (DWORD error : {DWORD{ERROR_CANCELLED}, kElevationRequired, DWORD{ERROR_FILE_NOT_FOUND},
                        DWORD{ERROR_ACCESS_DENIED}, DWORD{0}}) {
        CAPTURE(error);
        g_starts.clear();
        g_startResult = FALSE;
        g_startError = error;
        CHECK(rig.engine.StartUpdater() == UpdaterNotStarted);
        CHECK(g_starts.size() == 1);
        CHECK_FALSE(handover::IsMarked(tree.temp + "_update"));  // a start that failed leaves no mark
    }
}

TEST_CASE("StartUpdater through the real shell: an updater that is not there is 12, without a box of the shell") {
    TestTree tree("start-updater-missing");
    RecordingWindow window;
    window.params = {{"URL", "http://127.0.0.1:1/none/"}, {"PATH", tree.program}, {"TEMPPATH", tree.temp}};
    UpdateSystemCalls calls = HandOver::Calls();
    calls.shellExecuteEx = UpdateSystemCalls().shellExecuteEx;
    CUpdateEngine engine(nullptr, calls);
    engine.SetTargetWindow(window.handle());
    engine.RunUpdateCheck();
    WriteBytes(tree.temp + "_update\\_updlist.ini", "1.0.0.3\r\n[general]\r\ncountfiles=0\r\n");
    // A box would wait here for an answer that never comes.
    CHECK(engine.StartUpdater() == UpdaterNotStarted);
}

TEST_CASE("StartUpdater does not start the updater when the list cannot take the hand-over keys") {
    TestTree tree("start-updater-no-list");
    HandOver rig(tree);
    // No "_update" folder: the keys cannot be written, so the updater would find no program folder.
    g_startResult = TRUE;
    CHECK(rig.engine.StartUpdater() == UpdaterNotStarted);
    CHECK(g_starts.empty());
}

TEST_CASE("ExtractUpdater writes the carried updater into the update folder") {
    TestTree tree("extract-updater");
    HandOver rig(tree);
    CHECK(rig.engine.ExtractUpdater() == UpdaterNotWritten);  // no "_update" folder yet
    ::CreateDirectoryA((tree.temp + "_update").c_str(), nullptr);
    CHECK(rig.engine.ExtractUpdater() == UpdaterWritten);
    CHECK(testsupport::ReadFile(tree.temp + "_update\\updater.exe") ==
          testsupport::ReadFile(testsupport::SourceFile("tests/update/fixtures/stub.c")));
}
