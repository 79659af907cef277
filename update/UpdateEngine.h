// The non-visual half of the update window: it holds the update's file list, its own WinInet
// session and the two folders of the update, and runs on the window's thread: the full check when
// the window is created (banner, connection checks, list fetch and parse), the start of the
// download worker, the extraction of the embedded updater program and the hand-over to it. Every
// report goes to the target window as a WM_UPD_ message (UpdateMessages.h).
//
// The Win32 calls whose outcome a test must choose (program start, connection state) and the module
// that carries the embedded files go through UpdateSystemCalls; everything else is real.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <memory>

#include "base/String.h"
#include "base/Unique.h"
#include "update/UpdateMessages.h"
#include "update/UrlOpen.h"

// Resource type and ids of the files the plug-in carries.
constexpr char kFileResourceType[] = "FILES";
constexpr int kUpdaterResourceId = 4012;  // the complete updater program
constexpr int kGifResourceId = 4013;      // a 16 by 16 image, carried and not used

// The product name and version of the check's banner, and the agent of the plug-in's sessions.
constexpr char kUpdateAgent[] = "Pendrake";
constexpr char kUpdateVersion[] = "1.0.0.2";

// What the engine needs of its download worker (CDownloadThread implements it). The engine owns
// the worker; destroying it stops a thread that still runs.
class IDownloadWorker {
public:
    virtual ~IDownloadWorker() = default;
    // Stops the thread (at once when forced) and sends WM_UPD_WORKER_DONE (0, 0) to the owner
    // window, when one is assigned; returns the thread's exit code, or -1 when none was held.
    virtual DWORD StopAndNotify(bool force) = 0;
    virtual void SetFileList(const UpdateFileList& list) = 0;  // the worker's own copy
    virtual void SetOwnerWindow(HWND owner) = 0;
    virtual bool Start() = 0;  // false while a thread is held
};

// Seams for tests; the defaults are the system's calls and the module that holds this code.
struct UpdateSystemCalls {
    BOOL(WINAPI* shellExecuteEx)(SHELLEXECUTEINFOA* info) = ::ShellExecuteExA;  // the updater's start
    BOOL(WINAPI* internetGetConnectedState)(LPDWORD flags, DWORD reserved) = ::InternetGetConnectedState;
    // The status query of the downloads; an answer without an HTTP status makes it fail.
    BOOL(WINAPI* httpQueryInfo)(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length,
                                LPDWORD index) = ::HttpQueryInfoA;
    HMODULE resourceModule = nullptr;  // null: the module that holds the engine (the plug-in)
    // The connect, send and receive time-outs of the list fetches; 0: the download worker's silence.
    DWORD listSilenceMilliseconds = 0;
};

class CUpdateEngine {
public:
    explicit CUpdateEngine(std::unique_ptr<IDownloadWorker> worker = nullptr, const UpdateSystemCalls& calls = {});
    virtual ~CUpdateEngine();
    CUpdateEngine(const CUpdateEngine&) = delete;
    CUpdateEngine& operator=(const CUpdateEngine&) = delete;

    // Set by the window during its initialisation, before any operation below runs.
    void SetTargetWindow(HWND window) { m_target = window; }
    HWND GetTargetWindow() const { return m_target; }

    // The full check: folders from the window's parameters, banner, connection, list fetch and parse.
    UpdateResult RunUpdateCheck();
    // Fetches baseUrl + "updlist.txt" into TEMPPATH + "_update/_updlist.ini": 0, 2 or 4.
    UpdateResult FetchUpdateList(const kit::String& baseUrl);
    // Reads the saved list: sends the window parameters, fills the file list; 0 or 6.
    UpdateResult ParseUpdateList();

    // Canonicalises `url` (replaced by its canonical form) and opens it on the engine's session,
    // with the list fetches' time-outs.
    OpenedUrl OpenUrl(kit::String& url);
    // Copies what `source` gives into a new file at `path`; *size: in the expected size, out the
    // bytes written. Does not close `source`. No message of its own on failure.
    bool DownloadToFile(HINTERNET source, const char* path, int* size, const char* name);

    void Log(const char* text);     // WM_UPD_LOG
    void Status(const char* text);  // WM_UPD_STATUS

    static COLORREF ParseColor(const char* text);
    int CountNewFiles() const;        // entries with action 0
    double GetNewFilesSize() const;   // their filesize, summed

    // Starts the worker over a copy of the file list; returns true.
    bool StartDownload();
    IDownloadWorker* GetWorker() const { return m_worker.get(); }

    UpdateResult ExtractUpdater();  // 10 or 11
    kit::String GetExecPath(const kit::String& tempFolder) const;
    // Writes the hand-over keys and starts the updater: 0 or 12. The "_update" folder stays marked
    // from before the start until the updater ends (updater/HandOverMark.h).
    UpdateResult StartUpdater();

    const UpdateFileList& GetFileList() const { return m_files; }
    const kit::String& GetProgramFolder() const { return PATH; }
    const kit::String& GetTempFolder() const { return TEMPPATH; }
    HINTERNET GetSession() const { return m_session.get(); }

private:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
    kit::String GetParam(const char* name) const;
    void SetParam(const UpdateParam& param) const;
    kit::String ListFilePath() const;

    UpdateFileList m_files;
    HWND m_target = nullptr;
    std::unique_ptr<IDownloadWorker> m_worker;
    UniqueInternet m_session;
    kit::String PATH;      // the program folder
    kit::String TEMPPATH;  // the temporary folder, ending with a backslash
    UpdateSystemCalls m_calls;
};

// The file version of a file's version resource: "a.b.c.d", "a.b" when the low half is 0, or empty.
kit::String GetFileVersionText(const char* path);

// The quick check of the run procedures: true when the first line of baseUrl + "updlist.txt" is
// a newer version than the version resource of versionFile.
bool QuickUpdateCheck(const UpdateStartInfo* info);

// Profile (INI) reads with a buffer of 255 characters.
kit::String ReadIniString(const char* file, const char* section, const char* key, const char* defaultText);
int ReadIniInt(const char* file, const char* section, const char* key, int defaultValue);

// Writes the FILES resource `id` of `module` (null: the plug-in's own) to `target`: 10 or 11.
UpdateResult ExtractFileResource(const char* target, int id, HMODULE module = nullptr);

// Removes a folder with everything in it (read-only files included); a trailing separator is
// accepted. True when the folder itself was removed; stops at the first entry it cannot delete.
bool DeleteFolderTree(const char* folder);

// The application's message box (caption "pendrake"); returns the answer.
int ShowMessage(const char* text, UINT style);

// The module that holds this code: the plug-in, or a test program that links the engine.
HMODULE UpdateOwnModule();
