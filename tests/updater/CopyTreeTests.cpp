// The updater's dialog in this process: the tree copy with a replacement that must wait for the
// next restart, accepted or refused (the refusal needs rights no test machine lacks, so the call
// is replaced), and the log's line format and its missing folder.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

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

const updater::SystemCalls kRecordingCalls{&RecordingMoveFileEx};

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
    Dialog() {
        ::InitCommonControls();
        REQUIRE(dlg.CreateModeless());
        ::KillTimer(dlg.handle(), updater::kStartTimer);
    }
    ~Dialog() { dlg.DestroyWindow(); }
    int Position() const {
        return static_cast<int>(::SendDlgItemMessageA(dlg.handle(), updater::kProgressId, PBM_GETPOS, 0, 0));
    }
    updater::CUpdaterDlg dlg{kRecordingCalls};
};

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
        {
            kit::UniqueFile inUse(::CreateFileA((box.program + "\\inuse.dll").c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
            REQUIRE(inUse);
            dialog.dlg.CopyTree(box.files, box.program);
        }

        REQUIRE(g_moves.size() == 1);
        CHECK(g_moves[0].from == box.files + "\\inuse.dll");
        CHECK(g_moves[0].to == box.program + "\\inuse.dll");
        CHECK(g_moves[0].flags == (MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
        CHECK(dialog.Position() == 3);  // one step per file, copied or not
        CHECK(dialog.dlg.succeeded() == static_cast<bool>(accepted));
        const std::vector<std::string> expectedLog =
            accepted ? std::vector<std::string>{}
                     : std::vector<std::string>{std::string(kCopyError) + box.files + "\\inuse.dll" + kInto +
                                                box.program + "\\inuse.dll"};
        CHECK(LogTexts(box.LogFile()) == expectedLog);

        Tree expected = sourceBefore;
        expected["inuse.dll"] = "old library";  // still the old one until the restart
        CHECK(Differences(expected, Snapshot(box.program)) == "");
        CHECK(Differences(sourceBefore, Snapshot(box.files)) == "");  // the source stays in place
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
