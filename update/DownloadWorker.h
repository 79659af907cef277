// The download worker: one background thread per update window that fetches the update's files
// into "_files/" inside "_update/" of the temporary folder while the window stays responsive. It
// reports only with WM_UPD_ messages sent to the window (UpdateMessages.h), so the window's
// handlers run on its own thread while the worker waits.
//
// Slow and dropping lines: each file's request (FileRequest.h) waits as long as a line may
// reasonably stay silent, asks for a cut body again from the bytes received, and fails only when
// no new byte of the file has come for the stall limit. A run in which any file to fetch was not
// fetched hands nothing over.
//
// Stopping: a thread is never killed (a thread ended inside the heap or inside a message send
// leaves its lock held and hangs the host). A stop sets the run's stop flag, closes the internet
// handles it holds (which returns a blocked call at once on Windows), and waits a short bounded
// time while handling the messages sent to the waiting thread, so a worker inside a report can
// finish it. A worker that is still blocked inside WinInet then (Wine's WinInet does not return
// from a blocked call when another thread closes the handle) is left to end by itself when its
// call returns: everything it touches belongs to its run (DownloadRun, shared by the thread and
// the wrapper) and to the module reference the thread holds, and from the stop on it sends
// nothing, makes no call on a handle the stop closed and touches no file (the stop closed the one
// it was writing, so that the next run can replace or delete it). When Stop returns, the worker
// sends nothing more.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/CriticalSection.h"
#include "base/String.h"
#include "base/Unique.h"
#include "update/FileRequest.h"
#include "update/UpdateEngine.h"
#include "update/UpdateMessages.h"

// A wrapper of one operating-system thread that runs a job. The thread and the wrapper share the
// job, so that a thread which a stop leaves to end by itself still owns everything it touches; the
// thread also holds a reference on the module that holds its code until it has ended.
class CWorkerThread {
public:
    static constexpr DWORD kNoThread = static_cast<DWORD>(-1);
    static constexpr DWORD kStoppedExitCode = 0xFFFFFFFF;  // a worker ended or left by a stop
    // How long a stop waits for an asked thread before it leaves the thread to end by itself.
    static constexpr DWORD kStopWaitMilliseconds = 1000;

    // The work of one thread.
    class Job {
    public:
        virtual ~Job() = default;
        virtual DWORD Run() = 0;
        // Makes the running Run return soon and send nothing more (the stop flag, handles closed).
        virtual void RequestStop() = 0;
        // True while Run is inside a report to a window; a stop does not give up on the thread then.
        virtual bool Reporting() const = 0;
    };

    CWorkerThread() = default;
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;
    virtual ~CWorkerThread();

    // False, doing nothing, while a thread is held; otherwise whether a thread was started.
    bool Start();
    // Not forced: waits up to 250 ms for the thread to end by itself. Then (or at once when
    // forced) asks it to stop and waits up to kStopWaitMilliseconds; a thread still blocked then is
    // left to end by itself. Returns its exit code (kStoppedExitCode for a thread left), or kNoThread.
    DWORD Stop(bool force);
    bool HasThread() const { return static_cast<bool>(m_thread); }

    // The worker threads of this process that have not ended, those left by a stop included.
    static long RunningThreads();

protected:
    // The job of the thread that Start is about to start.
    virtual std::shared_ptr<Job> MakeJob() = 0;
    // The thread did not end within the stop's wait and goes on alone with its job.
    virtual void OnLeft() {}

private:
    struct Launch;
    static DWORD WINAPI ThreadBody(void* launch);

    kit::UniqueHandle m_thread;
    DWORD m_threadId = 0;
    std::shared_ptr<Job> m_job;
};

// The worker's own downloading engine, with a WinInet session of its own.
class CUpdateDownloader {
public:
    using ConnectedStateFn = BOOL(WINAPI*)(LPDWORD flags, DWORD reserved);

    explicit CUpdateDownloader(ConnectedStateFn connectedState = ::InternetGetConnectedState,
                               const DownloadTimeouts& timeouts = {});
    ~CUpdateDownloader();
    CUpdateDownloader(const CUpdateDownloader&) = delete;
    CUpdateDownloader& operator=(const CUpdateDownloader&) = delete;

    UpdateResult CheckConnection();                                                // 0, 1 or 2
    // 0 only when every file to fetch was fetched; 2 when a file could not be opened (the loop goes
    // on), 4 when a download failed (it ends there), 8 when cancelled or stopped, 3 when the folder
    // of the files could not be emptied (nothing is fetched then).
    UpdateResult DownloadAll(const kit::String& baseUrl, const UpdateFileList& list);
    bool DownloadToFile(FileRequest& source, const char* path, int* size, const char* name);
    FileRequest OpenUrl(kit::String& url);
    void Log(const char* text);
    int CountNewFiles() const;
    double GetNewFilesSize() const;

    void SetTargetWindow(HWND window) { m_target = window; }
    kit::String GetParam(const char* name);

    bool IsCancelled() const { return m_signals.Cancelled(); }
    // The user's cancel (another thread): the run ends with 8 at its next test; the open handles
    // are closed so that a blocked call returns.
    void Cancel() { m_signals.Cancel(); }
    // The stop (another thread): no report and no file step from now on, the open handles closed.
    void Stop() { m_signals.Stop(); }
    bool IsStopped() const { return m_signals.Stopped(); }
    void ResetStop() { m_signals.ClearStop(); }  // before a new run, while no run uses this
    // True while a report is on its way to the window (see Send).
    bool Reporting() const { return m_reporting.load() != 0; }

    // Sends one report to the target window unless the worker was stopped. A stop that has seen
    // no report on its way after setting the flag knows that none will follow.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool Halted() const { return m_signals.Halted(); }

    RunSignals m_signals;  // the cancel and stop flags, the run's open handles
    HWND m_target = nullptr;
    UniqueInternet m_session;
    kit::String m_tempFolder;
    UpdateFileList m_files;
    std::atomic<int> m_reporting{0};
    ConnectedStateFn m_connectedState;
    DownloadTimeouts m_timeouts;
};

// One run of the worker: what its thread works on and owns. The run's downloader is the window's
// (its session serves every run) until a stop leaves a thread, which then keeps it.
class DownloadRun final : public CWorkerThread::Job {
public:
    DownloadRun(std::shared_ptr<CUpdateDownloader> downloader, const UpdateFileList& files, HWND owner)
        : m_downloader(std::move(downloader)), m_files(files), m_owner(owner) {}

    DWORD Run() override;
    void RequestStop() override { m_downloader->Stop(); }
    bool Reporting() const override { return m_downloader->Reporting(); }
    bool IsFinished() const { return m_finished.load() != 0; }

private:
    std::shared_ptr<CUpdateDownloader> m_downloader;
    UpdateFileList m_files;
    HWND m_owner;
    std::atomic<std::uint8_t> m_finished{0};
};

class CDownloadThread final : public CWorkerThread, public IDownloadWorker {
public:
    explicit CDownloadThread(CUpdateDownloader::ConnectedStateFn connectedState = ::InternetGetConnectedState,
                             const DownloadTimeouts& timeouts = {});
    ~CDownloadThread() override;

    // IDownloadWorker, for the engine.
    DWORD StopAndNotify(bool force) override;
    void SetFileList(const UpdateFileList& list) override;
    void SetOwnerWindow(HWND owner) override { m_owner = owner; }
    bool Start() override;

    // The window's Update/Cancel button while a download runs: the first press asks the worker to
    // cancel; a second one stops it at once and reports WM_UPD_WORKER_DONE (0).
    void Cancel();
    bool IsFinished() const { return m_run && m_run->IsFinished(); }
    HWND GetOwnerWindow() const { return m_owner; }

protected:
    std::shared_ptr<Job> MakeJob() override;
    void OnLeft() override;

private:
    CUpdateDownloader::ConnectedStateFn m_connectedState;
    DownloadTimeouts m_timeouts;
    std::shared_ptr<CUpdateDownloader> m_downloader;
    UpdateFileList m_files;
    HWND m_owner = nullptr;
    std::shared_ptr<DownloadRun> m_run;  // the last run started
};
