// The download worker: one background thread per update window that fetches the update's files
// into "_files/" inside "_update/" of the temporary folder while the window stays responsive. It
// reports only with WM_UPD_ messages sent to the window (UpdateMessages.h), so the window's
// handlers run on its own thread while the worker waits.
//
// Stopping: a thread is never killed (a thread ended inside the heap or inside a message send
// leaves its lock held and hangs the host). A stop sets the worker's stop flag, closes the
// internet handles it holds, and waits while handling the messages sent to the waiting thread, so
// a worker inside a report can finish it. The worker tests the flag before every report and after
// every blocking call, and its connections have short receive time-outs (Wine's WinInet does not
// return from a blocked read when another thread closes the handle). When Stop returns, the worker
// runs no more and sends nothing more.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "base/CriticalSection.h"
#include "base/String.h"
#include "base/Unique.h"
#include "update/UpdateEngine.h"
#include "update/UpdateMessages.h"

// A wrapper of one operating-system thread that runs the virtual Run.
class CWorkerThread {
public:
    static constexpr DWORD kNoThread = static_cast<DWORD>(-1);
    static constexpr DWORD kStoppedExitCode = 0xFFFFFFFF;  // a worker ended by a forced stop

    CWorkerThread() = default;
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;
    virtual ~CWorkerThread();

    // False, doing nothing, while a thread is held; otherwise whether a thread was started.
    bool Start();
    // Not forced: waits up to 250 ms for the thread to end by itself. Then (or at once when
    // forced) asks it to stop and waits until it has ended. Returns its exit code, or kNoThread.
    DWORD Stop(bool force);
    bool HasThread() const { return static_cast<bool>(m_thread); }

protected:
    virtual DWORD Run() = 0;
    // Makes the running Run return soon and send nothing more (the stop flag, handles closed).
    virtual void RequestStop() = 0;

private:
    static DWORD WINAPI ThreadBody(void* self);

    kit::UniqueHandle m_thread;
    DWORD m_threadId = 0;
    HMODULE m_module = nullptr;  // handed to the starting thread
};

// The internet handles that a run opens, registered so that a stop from another thread can close
// them. Each handle is closed exactly once: by its user, or by the stop.
class InternetHandleSet {
public:
    // Registers `handle`; when a stop came first it is closed at once and false returned.
    bool Add(HINTERNET handle);
    void Close(HINTERNET handle);  // by the user: closes it unless the stop already did
    void CloseAll();               // by the stop; later Adds close at once
    void Reopen();                 // before a new run

private:
    kit::CriticalSection m_lock;
    HINTERNET m_handles[4] = {};
    bool m_closed = false;
};

// An open URL of the downloader: the request handle to read from and, for HTTP, its connection
// with what it takes to ask for the rest of the body again.
class DownloadSource {
public:
    DownloadSource() = default;
    DownloadSource(InternetHandleSet* set, HINTERNET connection, HINTERNET request, std::string object = {},
                   DWORD flags = 0);
    DownloadSource(DownloadSource&& other) noexcept;
    DownloadSource& operator=(DownloadSource&& other) noexcept;
    DownloadSource(const DownloadSource&) = delete;
    DownloadSource& operator=(const DownloadSource&) = delete;
    ~DownloadSource() { Close(); }

    HINTERNET get() const { return m_request; }
    HINTERNET connection() const { return m_connection; }
    const std::string& object() const { return m_object; }
    DWORD flags() const { return m_flags; }
    explicit operator bool() const { return m_request != nullptr; }
    void ReplaceRequest(HINTERNET request);  // closes the old request
    void Close();

private:
    InternetHandleSet* m_set = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
    std::string m_object;
    DWORD m_flags = 0;
};

// The worker's own downloading engine, with a WinInet session of its own.
class CUpdateDownloader {
public:
    using ConnectedStateFn = BOOL(WINAPI*)(LPDWORD flags, DWORD reserved);
    // The receive time-out of the downloader's connections, which bounds how long a stop waits
    // for a blocked call; and how long a file may stay silent in all before it fails. Wine's
    // WinInet drops the connection when a read times out, so a download that stalls longer than
    // one time-out asks for the rest of the file again (an HTTP range from the bytes received).
    static constexpr DWORD kPollMilliseconds = 500;
    static constexpr DWORD kStallLimitMilliseconds = 30000;

    explicit CUpdateDownloader(ConnectedStateFn connectedState = ::InternetGetConnectedState);
    ~CUpdateDownloader();
    CUpdateDownloader(const CUpdateDownloader&) = delete;
    CUpdateDownloader& operator=(const CUpdateDownloader&) = delete;

    UpdateResult CheckConnection();                                                // 0, 1 or 2
    UpdateResult DownloadAll(const kit::String& baseUrl, const UpdateFileList& list);  // 0, 2, 4 or 8
    bool DownloadToFile(DownloadSource& source, const char* path, int* size, const char* name);
    DownloadSource OpenUrl(kit::String& url);
    void Log(const char* text);
    int CountNewFiles() const;
    double GetNewFilesSize() const;

    void SetTargetWindow(HWND window) { m_target = window; }
    kit::String GetParam(const char* name);

    bool IsCancelled() const { return m_cancel.load() != 0; }
    void SetCancelled() { m_cancel.store(1); }
    // The forced stop (another thread): no report from now on, the open handles closed.
    void Stop();
    bool IsStopped() const { return m_stop.load() != 0; }
    void ResetStop();  // before a new run, on the starting thread

    // Sends one report to the target window unless the worker was stopped.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool Halted() const { return IsCancelled() || IsStopped(); }
    // Sends a GET for `object` on `connection`, again while it times out and the worker goes on
    // (each time-out adds to *stalled); the request handle, or null.
    HINTERNET SendRequest(HINTERNET connection, const std::string& object, DWORD flags, const char* headers,
                          DWORD* stalled);
    // Asks for the body from `offset` on; true when the answer is that part (206 from `offset`).
    bool ResumeFrom(DownloadSource& source, long long offset, DWORD* stalled);

    std::atomic<std::uint8_t> m_cancel{0};
    HWND m_target = nullptr;
    UniqueInternet m_session;
    kit::String m_tempFolder;
    UpdateFileList m_files;
    std::atomic<std::uint8_t> m_stop{0};
    InternetHandleSet m_handles;
    ConnectedStateFn m_connectedState;
};

class CDownloadThread final : public CWorkerThread, public IDownloadWorker {
public:
    explicit CDownloadThread(CUpdateDownloader::ConnectedStateFn connectedState = ::InternetGetConnectedState);
    ~CDownloadThread() override;

    // IDownloadWorker, for the engine.
    DWORD StopAndNotify(bool force) override;
    void SetFileList(const UpdateFileList& list) override;
    void SetOwnerWindow(HWND owner) override { m_owner = owner; }
    bool Start() override;

    // The window's Update/Cancel button while a download runs: the first press asks the worker to
    // cancel; a second one stops it at once and reports WM_UPD_WORKER_DONE (0).
    void Cancel();
    bool IsFinished() const { return m_finished.load() != 0; }
    HWND GetOwnerWindow() const { return m_owner; }
    CUpdateDownloader& Downloader() { return m_downloader; }

protected:
    DWORD Run() override;
    void RequestStop() override { m_downloader.Stop(); }

private:
    CUpdateDownloader m_downloader;
    UpdateFileList m_files;
    HWND m_owner = nullptr;
    std::atomic<std::uint8_t> m_finished{0};
};
