// The updater's one window (dialog 102) and the whole of its work. The dialog shows its texts,
// waits 3 s (timer 1), then runs the update once from that timer message: it reads the hand-over
// keys of the update list, waits until the host program is closed (the message box's loop is
// the only one meanwhile), copies the downloaded tree into the program folder or starts the
// downloaded program, starts the follow-up command, logs, and closes 3 s later (timer 2).
#pragma once
#include <windows.h>

#include <string>

#include "base/Unique.h"
#include "base/Dialog.h"

namespace updater {

constexpr int kDialogId = 102;
constexpr int kIconId = 128;
constexpr int kProgressId = 1000;
constexpr int kStatusId = 1001;
constexpr UINT_PTR kStartTimer = 1;
constexpr UINT_PTR kCloseTimer = 2;
constexpr UINT kTimerMs = 3000;
// Appended to a program file's name for the copy that replaces it at the next restart.
constexpr char kStagedSuffix[] = ".new";
// A virus scanner or the search indexer often holds a fresh copy open for a moment, and the rename
// over the program's file then fails as if that file were in use: it is tried this many times,
// this far apart, before the replacement waits for the restart.
constexpr int kRenameAttempts = 10;
constexpr DWORD kRenamePauseMs = 200;

// The calls of the copy that a test must be able to see fail: scheduling a replacement for the
// next restart needs rights that a user may not have, a copy can stop half way (a full disk), and
// Windows refuses a rename over a read-only file where Wine does not.
// A test whose program file stays in use shortens the pause between the renames.
struct SystemCalls {
    BOOL(WINAPI* moveFileEx)(LPCSTR existing, LPCSTR replacement, DWORD flags) = ::MoveFileExA;  // the schedule
    BOOL(WINAPI* copyFile)(LPCSTR existing, LPCSTR copy, BOOL failIfExists) = ::CopyFileA;
    DWORD renamePauseMs = kRenamePauseMs;
    BOOL(WINAPI* rename)(LPCSTR existing, LPCSTR replacement, DWORD flags) = ::MoveFileExA;  // the rename now
};
const SystemCalls& RealSystemCalls();

// [section] key of the list file, as the list format keeps texts: at most 254 characters, a
// missing key or file reads as `fallback`. `tooLong`, when given, tells that the value had more.
std::string ReadIniString(const std::string& file, const char* section, const char* key, const char* fallback,
                          bool* tooLong = nullptr);

class CUpdaterDlg : public kit::Dialog {
public:
    explicit CUpdaterDlg(const SystemCalls& calls = RealSystemCalls());
    ~CUpdaterDlg() override;

    INT_PTR DoModal();      // returns when timer 2 has closed the dialog
    bool CreateModeless();  // the same window without its own loop, for a caller that has one

    // The steps, in the order RunUpdate takes them.
    void RunUpdate();
    void WaitForHostExit();
    void CopyTree(const std::string& source, const std::string& destination);
    void WriteLog(const std::string& text);

    bool succeeded() const { return m_success; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnLButtonDown(UINT keys, POINT client) override;
    bool OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:

    std::string Read(const char* key, bool* tooLong = nullptr) const;  // [general] of the list
    std::string Title() const;
    void SetTitle(const std::string& title);
    void SetStatus(const char* text, bool redraw);
    void SetProgressRange(int high);
    void SetProgressPos(int position);
    void Fail(const std::string& logLine);  // success := 0, and the line goes to the log
    // Replaces the program file `to` by `from`: a copy beside it renamed over it now (tried again
    // for a while when either is held), or, while `to` stays in use, at the next restart (with a
    // log line that names it). False when the file is replaced neither way; no copy is then left
    // beside it, and `to` keeps its old bytes.
    bool InstallFile(const std::string& from, const std::string& to);

    const SystemCalls& m_calls;
    kit::UniqueIcon m_icon;
    HWND m_progress = nullptr;  // child controls: views of the dialog's own windows
    HWND m_status = nullptr;
    std::string m_iniPath;
    // Held to the program's end: the update plug-in leaves the list's folder alone meanwhile.
    kit::UniqueHandle m_handOverMark;
    bool m_hostFound = false;
    bool m_success = true;
};

}  // namespace updater
