// The updater's dialog in this process: the tree copy with a replacement that must wait for the
// next restart (a copy beside the program's file, scheduled to replace it), accepted or refused
// (the refusal needs rights no test machine lacks, so the call is replaced), or without a place for
// that copy; two updates in a row through the system's own schedule; a fresh copy that a scanner
// holds for a moment; a read-only program file, which Windows refuses to rename over; a copy that
// stops half way; and the log's line format and its missing folder.
// The cases whose program file stays in use shorten the pause between the tries of the rename.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TestPaths.h"
#include "tests/updater/UpdaterRig.h"
#include "tests/updater/UpdaterTexts.h"
#include "updater/UpdaterDlg.h"

using namespace updatertest;

namespace {

struct MoveCall {
    std::string from, to;
    DWORD flags;
};
std::vector<MoveCall> g_moves;
BOOL g_moveResult = TRUE;

BOOL WINAPI RecordingMoveFileEx(LPCSTR from, LPCSTR to, DWORD flags) {
    g_moves.push_back({from, to, flags});
    if (!g_moveResult) ::SetLastError(ERROR_ACCESS_DENIED);
    return g_moveResult;
}

constexpr DWORD kQuickRenamePauseMs = 1;
const updater::SystemCalls kRecordingCalls{&RecordingMoveFileEx, ::CopyFileA, kQuickRenamePauseMs};

// The system's own schedule, with the short pause.
updater::SystemCalls RealScheduleQuickRetries() {
    updater::SystemCalls calls = updater::RealSystemCalls();
    calls.renamePauseMs = kQuickRenamePauseMs;
    return calls;
}

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& folder) {
        char old[MAX_PATH] = "";
        ::GetCurrentDirectoryA(MAX_PATH, old);
        m_old = old;
        REQUIRE(::SetCurrentDirectoryA(folder.c_str()));
    }
    ~CurrentDirectory() { ::SetCurrentDirectoryA(m_old.c_str()); }

private:
    std::string m_old;
};

// The dialog without its timers: the test calls the steps itself.
class Dialog {
public:
    explicit Dialog(const updater::SystemCalls& calls = kRecordingCalls) : dlg(calls) {
        ::InitCommonControls();
        REQUIRE(dlg.CreateModeless());
        ::KillTimer(dlg.handle(), updater::kStartTimer);
    }
    ~Dialog() { dlg.DestroyWindow(); }
    int Position() const {
        return static_cast<int>(::SendDlgItemMessageA(dlg.handle(), updater::kProgressId, PBM_GETPOS, 0, 0));
    }
    updater::CUpdaterDlg dlg;
};

// Copies the downloaded tree while the program's file `name` is open without sharing.
void CopyWithFileInUse(Dialog& dialog, const Sandbox& box, const std::string& name) {
    kit::UniqueFile inUse(
        ::CreateFileA((box.program + "\\" + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    REQUIRE(inUse);
    dialog.dlg.CopyTree(box.files, box.program);
}

}  // namespace

TEST_CASE("a file in use is scheduled to replace the old one at the restart; a refusal fails that file alone") {
    for (const BOOL accepted : {TRUE, FALSE}) {
        CAPTURE(accepted);
        Sandbox box(accepted ? "delayed" : "refused");
        box.MakeLogFolder();
        WriteBytes(box.files + "\\a.txt", "new a");
        WriteBytes(box.files + "\\sub\\b.txt", std::string("new b\0with a zero", 17));
        WriteBytes(box.files + "\\inuse.dll", "new library");
        WriteBytes(box.program + "\\inuse.dll", "old library");
        const Tree sourceBefore = Snapshot(box.files);

        g_moves.clear();
        g_moveResult = accepted;
        CurrentDirectory inCwd(box.cwd);
        Dialog dialog;
        CopyWithFileInUse(dialog, box, "inuse.dll");

        // The scheduled source is a copy beside the program's file, on its volume, and out of
        // reach of whatever empties the downloaded tree before the restart.
        REQUIRE(g_moves.size() == 1);
        CHECK(g_moves[0].from == box.program + "\\inuse.dll.new");
        CHECK(g_moves[0].to == box.program + "\\inuse.dll");
        CHECK(g_moves[0].flags == (MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
        CHECK(dialog.Position() == 3);  // one step per file, copied or not
        CHECK(dialog.dlg.succeeded() == static_cast<bool>(accepted));
        const std::vector<std::string> expectedLog =
            accepted ? std::vector<std::string>{ReplacedAtRestart(box.program + "\\inuse.dll")}
                     : std::vector<std::string>{std::string(kCopyError) + box.files + "\\inuse.dll" + kInto +
                                                box.program + "\\inuse.dll"};
        CHECK(LogTexts(box.LogFile()) == expectedLog);

        Tree expected = sourceBefore;
        expected["inuse.dll"] = "old library";  // still the old one until the restart
        if (accepted) expected["inuse.dll.new"] = "new library";  // a refused schedule leaves no copy
        CHECK(Differences(expected, Snapshot(box.program)) == "");
        CHECK(Differences(sourceBefore, Snapshot(box.files)) == "");  // the source stays in place
    }
}

TEST_CASE("the copy beside a file in use replaces an earlier one; where it cannot be made, the file fails unscheduled") {
    struct Case {
        const char* name;
        // What stands in the way of the copy, and a handle that holds it there during the copy.
        std::function<kit::UniqueFile(const std::string& staged)> prepare;
        bool copies;
    };
    const Case cases[] = {
        // An earlier copy that waits for its restart is replaced by the newer one.
        {"an old copy",
         [](const std::string& staged) {
             WriteBytes(staged, "older copy");
             return kit::UniqueFile();
         },
         true},
        {"a folder of that name",
         [](const std::string& staged) {
             MakeFolders(staged);
             return kit::UniqueFile();
         },
         false},
        {"an old copy in use",
         [](const std::string& staged) {
             WriteBytes(staged, "older copy");
             kit::UniqueFile held(
                 ::CreateFileA(staged.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             REQUIRE(held);
             return held;
         },
         false},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        Sandbox box(std::string("staged-") + std::to_string(&c - cases));
        box.MakeLogFolder();
        WriteBytes(box.files + "\\inuse.dll", "new library");
        WriteBytes(box.program + "\\inuse.dll", "old library");
        kit::UniqueFile held = c.prepare(box.program + "\\inuse.dll.new");
        Tree programBefore = Snapshot(box.program);
        if (held) programBefore["inuse.dll.new"] = "older copy";

        g_moves.clear();
        g_moveResult = TRUE;
        CurrentDirectory inCwd(box.cwd);
        Dialog dialog;
        CopyWithFileInUse(dialog, box, "inuse.dll");
        held.reset();

        CHECK(dialog.dlg.succeeded() == c.copies);
        CHECK(g_moves.size() == (c.copies ? 1u : 0u));
        Tree expected = programBefore;
        if (c.copies) expected["inuse.dll.new"] = "new library";
        CHECK(Differences(expected, Snapshot(box.program)) == "");
        const std::vector<std::string> expectedLog =
            c.copies ? std::vector<std::string>{ReplacedAtRestart(box.program + "\\inuse.dll")}
                     : std::vector<std::string>{std::string(kCopyError) + box.files + "\\inuse.dll" + kInto +
                                                box.program + "\\inuse.dll"};
        CHECK(LogTexts(box.LogFile()) == expectedLog);
    }
}

TEST_CASE("two updates in a row, the first with the file in use and the second with it free: the second one stays") {
    Sandbox box("twice");
    box.MakeLogFolder();
    const PendingRenamesGuard pending(box.root);
    WriteBytes(box.program + "\\inuse.dll", "old library");
    CurrentDirectory inCwd(box.cwd);
    const updater::SystemCalls calls = RealScheduleQuickRetries();
    {
        // The system's own schedule, which keeps the move for the restart.
        Dialog first(calls);
        WriteBytes(box.files + "\\inuse.dll", "first update");
        CopyWithFileInUse(first, box, "inuse.dll");
        CHECK(first.dlg.succeeded());
    }
    REQUIRE(pending.Mine() == std::vector<std::string>{"\\??\\" + box.program + "\\inuse.dll.new",
                                                        "!\\??\\" + box.program + "\\inuse.dll"});
    CHECK(testsupport::ReadFile(box.program + "\\inuse.dll.new") == "first update");

    Dialog second(calls);
    WriteBytes(box.files + "\\inuse.dll", "second update");
    second.dlg.CopyTree(box.files, box.program);
    CHECK(second.dlg.succeeded());
    CHECK(Differences({{"inuse.dll", "second update"}}, Snapshot(box.program)) == "");
    // The first update's move is still listed, but it finds nothing to move: the restart leaves
    // the second update in place.
    const std::vector<std::string> scheduled = pending.Mine();
    for (std::size_t i = 0; i < scheduled.size(); i += 2) {
        CAPTURE(scheduled[i]);
        CHECK(::GetFileAttributesA(scheduled[i].substr(4).c_str()) == INVALID_FILE_ATTRIBUTES);
    }
    CHECK(LogTexts(box.LogFile()) == std::vector<std::string>{ReplacedAtRestart(box.program + "\\inuse.dll")});
}

namespace {

// A virus scanner: it opens each fresh copy as soon as it is written, without delete sharing (so
// the copy cannot be renamed meanwhile), and lets go of it after kScanHoldMs.
constexpr DWORD kScanHoldMs = 500;

struct Scan {
    std::string staged;
    kit::UniqueHandle opened;  // set once the scanner holds the copy, or has failed to
    kit::UniqueHandle thread;
    bool held = false;
    bool stagedAtRelease = false;  // the copy was still there when the scanner let go
};
Scan g_scan;

DWORD WINAPI HoldLikeAScanner(void*) {
    kit::UniqueFile file(::CreateFileA(g_scan.staged.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    g_scan.held = static_cast<bool>(file);
    ::SetEvent(g_scan.opened.get());
    if (!file) return 1;
    ::Sleep(kScanHoldMs);
    g_scan.stagedAtRelease = ::GetFileAttributesA(g_scan.staged.c_str()) != INVALID_FILE_ATTRIBUTES;
    return 0;
}

// CopyFileA, then the scanner takes the copy; returns once it holds it.
BOOL WINAPI CopyThenScan(LPCSTR existing, LPCSTR copy, BOOL failIfExists) {
    if (!::CopyFileA(existing, copy, failIfExists)) return FALSE;
    g_scan.staged = copy;
    g_scan.opened.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    g_scan.thread.reset(::CreateThread(nullptr, 0, &HoldLikeAScanner, nullptr, 0, nullptr));
    REQUIRE(g_scan.thread);
    REQUIRE(::WaitForSingleObject(g_scan.opened.get(), 30000) == WAIT_OBJECT_0);
    return TRUE;
}

}  // namespace

TEST_CASE("a fresh copy that a scanner holds for a moment is renamed over the program's file, nothing scheduled") {
    // The real pause between the tries of the rename.
    const updater::SystemCalls scanned{&RecordingMoveFileEx, &CopyThenScan};
    for (const bool oldFile : {true, false}) {
        CAPTURE(oldFile);
        Sandbox box(oldFile ? "scanned-replace" : "scanned-new");
        box.MakeLogFolder();
        WriteBytes(box.files + "\\app.exe", "new program");
        if (oldFile) WriteBytes(box.program + "\\app.exe", "old program");

        g_moves.clear();
        g_scan = Scan();
        CurrentDirectory inCwd(box.cwd);
        Dialog dialog(scanned);
        dialog.dlg.CopyTree(box.files, box.program);
        REQUIRE(g_scan.thread);
        REQUIRE(::WaitForSingleObject(g_scan.thread.get(), 30000) == WAIT_OBJECT_0);

        // The scanner did stand in the way: its hold outlasted the first tries of the rename.
        CHECK(g_scan.held);
        CHECK(g_scan.stagedAtRelease);
        CHECK(dialog.dlg.succeeded());
        CHECK(g_moves.empty());
        CHECK(Differences({{"app.exe", "new program"}}, Snapshot(box.program)) == "");
        CHECK(LogTexts(box.LogFile()).empty());
    }
}

namespace {

// The rename as Windows does it: a read-only destination refuses it, as a file in use does.
BOOL WINAPI RenameAsWindows(LPCSTR from, LPCSTR to, DWORD flags) {
    const DWORD attributes = ::GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return ::MoveFileExA(from, to, flags);
}

}  // namespace

TEST_CASE("a read-only program file is replaced at once, nothing scheduled; one that stays old stays read-only") {
    struct Case {
        const char* name;
        DWORD attributes;  // of the program's file
        bool inUse;        // and the restart's schedule is refused
    };
    const Case cases[] = {
        {"read-only", FILE_ATTRIBUTE_READONLY, false},
        {"read-only and hidden", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false},
        {"read-only and in use", FILE_ATTRIBUTE_READONLY, true},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        Sandbox box(std::string("readonly-") + std::to_string(&c - cases));
        box.MakeLogFolder();
        WriteBytes(box.files + "\\app.exe", "new program");
        WriteBytes(box.program + "\\app.exe", "old program");
        const std::string file = box.program + "\\app.exe";
        REQUIRE(::SetFileAttributesA(file.c_str(), c.attributes));

        g_moves.clear();
        g_moveResult = FALSE;
        CurrentDirectory inCwd(box.cwd);
        updater::SystemCalls calls = kRecordingCalls;
        calls.rename = &RenameAsWindows;
        Dialog dialog(calls);
        if (c.inUse)
            CopyWithFileInUse(dialog, box, "app.exe");
        else
            dialog.dlg.CopyTree(box.files, box.program);

        CHECK(dialog.dlg.succeeded() == !c.inUse);
        CHECK(g_moves.size() == (c.inUse ? 1u : 0u));  // only a file in use waits for the restart
        CHECK(Differences({{"app.exe", c.inUse ? "old program" : "new program"}}, Snapshot(box.program)) == "");
        const DWORD after = ::GetFileAttributesA(file.c_str());
        CHECK(((after & FILE_ATTRIBUTE_READONLY) != 0) == c.inUse);
        if (!c.inUse) CHECK(LogTexts(box.LogFile()).empty());
        ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

namespace {

// A copy that stops half way with a full disk: it has written the first half of the source.
BOOL WINAPI HalfCopy(LPCSTR existing, LPCSTR copy, BOOL) {
    const std::string bytes = testsupport::ReadFile(existing);
    WriteBytes(copy, bytes.substr(0, bytes.size() / 2));
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

}  // namespace

TEST_CASE("a copy that fails half way leaves the program's file whole and no copy beside it") {
    const updater::SystemCalls halfCopy{&RecordingMoveFileEx, &HalfCopy};
    // Free or in use; with or without an earlier update's copy that waits for the restart.
    for (const bool inUse : {false, true}) {
        for (const bool olderCopy : {false, true}) {
            CAPTURE(inUse);
            CAPTURE(olderCopy);
            Sandbox box(std::string("halfway-") + (inUse ? "inuse" : "free") + (olderCopy ? "-older" : ""));
            box.MakeLogFolder();
            WriteBytes(box.files + "\\app.exe", std::string(5000, 'n'));
            WriteBytes(box.program + "\\app.exe", "old program");
            if (olderCopy) WriteBytes(box.program + "\\app.exe.new", "an earlier update");
            g_moves.clear();
            CurrentDirectory inCwd(box.cwd);
            Dialog dialog(halfCopy);
            if (inUse)
                CopyWithFileInUse(dialog, box, "app.exe");
            else
                dialog.dlg.CopyTree(box.files, box.program);

            CHECK_FALSE(dialog.dlg.succeeded());
            CHECK(g_moves.empty());
            // A cut copy left beside it would be installed by the earlier update's scheduled move.
            CHECK(Differences({{"app.exe", "old program"}}, Snapshot(box.program)) == "");
            CHECK(LogTexts(box.LogFile()) == std::vector<std::string>{std::string(kCopyError) + box.files +
                                                                       "\\app.exe" + kInto + box.program + "\\app.exe"});
        }
    }
}

TEST_CASE("the copy fails loudly where the downloaded tree is missing or the destination cannot be a folder") {
    Sandbox box("nofolder");
    box.MakeLogFolder();
    WriteBytes(box.files + "\\sub\\b.txt", "new b");
    WriteBytes(box.program + "\\sub", "a file where the folder should be");
    CurrentDirectory inCwd(box.cwd);
    Dialog dialog;
    g_moves.clear();
    dialog.dlg.CopyTree(box.files, box.program);
    CHECK_FALSE(dialog.dlg.succeeded());
    CHECK(g_moves.empty());  // nothing scheduled into a folder that does not exist
    dialog.dlg.CopyTree(box.root + "\\missing", box.program);
    const std::vector<std::string> expected{
        std::string(kCopyError) + box.files + "\\sub" + kInto + box.program + "\\sub",
        std::string(kCopyError) + box.root + "\\missing" + kInto + box.program,
    };
    CHECK(LogTexts(box.LogFile()) == expected);
    CHECK(testsupport::ReadFile(box.program + "\\sub") == "a file where the folder should be");
}

TEST_CASE("log lines: a time prefix above 3 characters, appended to the day's file, nothing without the folder") {
    Sandbox box("log");
    CurrentDirectory inCwd(box.cwd);
    Dialog dialog;
    dialog.dlg.WriteLog("abcd");  // no folder yet: dropped, and no folder is made
    CHECK(Snapshot(box.cwd).empty());

    box.MakeLogFolder();
    dialog.dlg.WriteLog("abc");
    dialog.dlg.WriteLog("abcd");
    dialog.dlg.WriteLog(kDone);
    CHECK(LogTexts(box.LogFile()) == std::vector<std::string>{"abc", "abcd", kDone});
    const std::string data = testsupport::ReadFile(box.LogFile());
    CHECK(data.substr(0, 5) == "abc\r\n");
    CHECK(data.size() == 5 + (11 + 4 + 2) + (11 + std::string(kDone).size() + 2));
}
