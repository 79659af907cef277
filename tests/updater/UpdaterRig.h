// What the updater tests share: a sandbox of folders per case (temporary folder with "_update",
// program folder, current directory with its log folder, a folder that must stay untouched), the
// update list written as bytes, a run of the real updater.exe watched from outside (its dialog's
// status and title, its message box), the fake host program, snapshots of whole folder trees,
// the system's list of replacements scheduled for the next restart, and an owner of a registry key.
#pragma once
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Unique.h"

namespace updatertest {

std::string UpdaterExe();
std::string FakeHostExe();

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Close(Handle key) { ::RegCloseKey(key); }
};
using UniqueKey = kit::Unique<RegistryKeyTraits>;

// Every file and folder below a folder: relative path ('\' separated) to content; folders end
// with '\' and have no content; a file that cannot be read (in use) has a marker text instead.
using Tree = std::map<std::string, std::string>;
Tree Snapshot(const std::string& folder);
// The differences as readable lines ("+ path", "- path", "~ path"), empty when equal.
std::string Differences(const Tree& expected, const Tree& actual);

void WriteBytes(const std::string& path, const std::string& bytes);  // creates the folders above it
void MakeFolders(const std::string& path);
void RemoveTree(const std::string& path);
std::string Lower(std::string text);  // ANSI code page, as the updater lower-cases

// Where the updater logs today when it runs in `currentDirectory`: <it>\logs\<year>_<month> and
// in it <year>-<month>-<day>.txt.
std::string UpdaterLogFolder(const std::string& currentDirectory);
std::string UpdaterLogFile(const std::string& currentDirectory);

// A unique lower-case folder below the build tree, emptied first; every path in it holds `tag`.
// The temporary folder is "temp" and the program folder "program" unless named (relative to the
// sandbox, cp1251; a user's may hold a blank or Cyrillic letters).
class Sandbox {
public:
    explicit Sandbox(const std::string& name, const std::string& tempFolder = "temp",
                     const std::string& programFolder = "program");

    std::string tag;      // "<name>-<process id>"
    std::string root;     // ...\sandbox\<tag>
    std::string temp;     // root\<tempFolder>: the temporary folder of the hand-over
    std::string update;   // temp\_update, where updater.exe and the list live
    std::string files;    // update\_files: the downloaded tree
    std::string program;  // root\<programFolder>: the program folder
    std::string cwd;      // root\cwd: the current directory of the updater
    std::string outside;  // root\outside: a folder nobody may write to

    std::string At(const std::string& relative) const { return root + "\\" + relative; }
    std::string ListPath() const { return update + "/_updlist.ini"; }  // as the plug-in writes it
    std::string LogFolder() const { return UpdaterLogFolder(cwd); }
    std::string LogFile() const { return UpdaterLogFile(cwd); }
    void MakeLogFolder() const { MakeFolders(LogFolder()); }

    // The list file: a version line and [general] with these keys (values as bytes).
    void WriteList(const std::vector<std::pair<std::string, std::string>>& general) const;
    void InstallUpdater() const;  // copies the built updater.exe into `update`
    // The update plug-in's command line: program path unquoted, the list between the markers.
    std::string HandOverCommandLine() const;
};

// The texts of a log file in order, each without its time prefix. A line of more than 3
// characters without a well-formed "[HH:MM:SS] " prefix, or a line of 3 or fewer with one, is
// returned as "!" followed by the raw line.
std::vector<std::string> LogTexts(const std::string& path);

// The real updater.exe, started from outside and watched through its windows.
class UpdaterRun {
public:
    UpdaterRun(const std::string& commandLine, const std::string& currentDirectory);
    explicit UpdaterRun(DWORD processId);  // one that another program started
    ~UpdaterRun();  // ends a run that is still going
    UpdaterRun(const UpdaterRun&) = delete;
    UpdaterRun& operator=(const UpdaterRun&) = delete;

    // Notes the dialog's status and title when they change. A read that the dialog does not
    // answer within `answerMs` (its thread is busy: the updater does its work on it) is no text
    // at all and is not noted, nor is an empty text: every status and title the updater sets has
    // text.
    void Poll(DWORD answerMs = 200);
    bool Exited(DWORD waitMs = 0);
    DWORD exitCode() const { return m_exitCode; }
    HWND Dialog();             // the dialog with the progress bar and the status label, or null
    HWND FindBox() const;      // a message box of this process, or null
    DWORD processId() const { return m_processId; }

    std::vector<std::string> statuses;  // every status text seen, in order, without repeats
    std::vector<std::string> titles;

private:
    kit::UniqueHandle m_process;
    DWORD m_processId = 0;
    DWORD m_exitCode = STILL_ACTIVE;
    HWND m_dialog = nullptr;
};

// Waits (polling every run) until each has exited or the time is up; false on time-out.
bool WaitAll(const std::vector<UpdaterRun*>& runs, DWORD timeoutMs);

// The text of a window of another process, or nothing when its thread did not answer within
// `answerMs` (busy, or the window is gone): a read that failed is not an empty text.
std::optional<std::string> TryWindowText(HWND hwnd, DWORD answerMs);
// The text of a window that is expected to answer (a dialog or message box in its loop): asks again
// until it answers, for up to 20 s; empty when it never does.
std::string WindowText(HWND hwnd);

// A visible dialog or message box (class "#32770") of the process that has a control `id`
// (0xFFFF: a message box's text), or null. `processId` 0: any process.
HWND FindDialogOf(DWORD processId, int id);
// Waits up to `timeoutMs` for such a window other than `notThis`.
HWND WaitForDialogOf(DWORD processId, int id, DWORD timeoutMs, HWND notThis = nullptr);
std::string ProcessImage(DWORD processId);  // the full path of its program, or empty

// The fake host program, started from `exePath` (a copy in a sandbox) as
// "<exe> <mode> <event> <arguments>" in `currentDirectory` (empty: the test's), running until Stop.
class FakeHost {
public:
    explicit FakeHost(const std::string& exePath, const std::string& mode = "wait", const std::string& arguments = "",
                      const std::string& currentDirectory = "");
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;
    void Stop();  // returns once the process has ended
    DWORD processId() const { return m_processId; }
    bool Running() const { return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
    // The "pendrake" mode: has the host call a run procedure again (`quiet`: the quiet check, else
    // the menu's); the event returned is set once that call has returned.
    kit::UniqueHandle RunAgain(bool quiet) const;

private:
    std::string m_eventName;
    kit::UniqueHandle m_event;
    kit::UniqueHandle m_process;
    DWORD m_processId = 0;
    DWORD m_threadId = 0;
};

// The system's replacements for the next restart (source, destination, ...) as its registry keeps
// them.
std::vector<std::string> PendingRenames();

// The replacements that a case scheduled below its sandbox, taken out of the system's list again
// when the case ends, whatever it did meanwhile (and at the start: a sandbox name can come again). Cases run side by side in one prefix, so only
// the entries of this sandbox are looked at and removed.
class PendingRenamesGuard {
public:
    explicit PendingRenamesGuard(std::string root) : m_root(std::move(root)) { RemoveMine(); }
    ~PendingRenamesGuard() { RemoveMine(); }
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;
    // (source, destination, ...) of every pair that names a path below the sandbox.
    std::vector<std::string> Mine() const;

private:
    bool IsMine(const std::string& source, const std::string& destination) const;
    void RemoveMine() const;
    std::string m_root;
};

}  // namespace updatertest
