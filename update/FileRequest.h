// One file's request of the download worker: the GET that is sent again while the server stays
// silent, the body that is asked for again from the bytes received when it is cut (a time-out, a
// reset or an abort of the connection, an end before its announced length or, without one, before
// the list's size of the file), and the check that what follows is the rest of the same file
// (If-Range with the first answer's validator, the partial answer's start and total); anything
// else brings the file again from its first byte. A request for the rest that finds the line down
// (no connection can be made, the name does not resolve) is sent again too. A file fails when no
// new byte of it has come for the stall limit, or when a cut is answered with another version of
// it once more after a few such restarts.
//
// The run's stop comes from another thread and closes the run's internet handles; the system may
// then hand a closed handle's value to the next open, also one of another run. So a request makes
// no call on a handle that the stop has closed, discards what a call that returned after the stop
// brought, and touches the file only while the run is not stopped (RunSignals::FileStep).
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/CriticalSection.h"
#include "base/Unique.h"
#include "update/portable/ResumeRules.h"

// How long the worker's connections wait for a silent server (connect, send and receive
// time-outs), and how long a file may go without a new byte before it fails. Tests shorten them.
struct DownloadTimeouts {
    DWORD silenceMilliseconds = 10000;
    DWORD stallLimitMilliseconds = 30000;
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
    // Runs `call` with the set locked while `handle` is still open in it, so that no stop closes
    // it meanwhile: for the calls that do not wait on the network. False, without the call, once
    // the handle is gone.
    bool With(HINTERNET handle, const std::function<void()>& call);
    // Whether `handle` is still open in it: asked before a call that waits on the network (which
    // cannot hold the lock while it waits).
    bool Holds(HINTERNET handle);

private:
    bool HoldsLocked(HINTERNET handle) const;

    kit::CriticalSection m_lock;
    HINTERNET m_handles[4] = {};
    bool m_closed = false;
};

// What a run's requests watch, and what its cancel and stop set from another thread.
class RunSignals {
public:
    RunSignals();
    RunSignals(const RunSignals&) = delete;
    RunSignals& operator=(const RunSignals&) = delete;

    bool Cancelled() const { return m_cancel.load() != 0; }
    bool Stopped() const { return m_stop.load() != 0; }
    bool Halted() const { return Cancelled() || Stopped(); }

    // The user's cancel: the open handles are closed, so that a blocked call returns (on Windows).
    void Cancel();
    // The stop: once it has returned, no file step runs any more; the open handles and the file
    // being written are closed, so that a thread it leaves holds nothing that the next run needs.
    void Stop();
    void ClearCancel();  // when a run begins, on its thread
    void ClearStop();    // before a new run, while no run uses the signals

    // Runs one step on the run's files (make, write, truncate, delete) unless the run is stopped;
    // false when it did not run or failed.
    bool FileStep(const std::function<bool()>& step);
    // The file being written (null: none); the stop closes it. Called inside a file step.
    void HoldFile(kit::UniqueFile* file) { m_heldFile = file; }
    // Waits `milliseconds` unless the run is cancelled or stopped meanwhile; false then.
    bool Pause(DWORD milliseconds);

    InternetHandleSet& Handles() { return m_handles; }

private:
    std::atomic<std::uint8_t> m_cancel{0};
    std::atomic<std::uint8_t> m_stop{0};
    kit::CriticalSection m_fileLock;
    kit::UniqueFile* m_heldFile = nullptr;  // under m_fileLock
    kit::UniqueHandle m_wake;  // set by a cancel or a stop: ends a pause
    InternetHandleSet m_handles;
};

// An open URL of the worker: the request handle to read from and, for HTTP, its connection with
// what it takes to ask for the body again, and the identity of the body being saved.
class FileRequest {
public:
    using Report = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

    FileRequest() = default;
    FileRequest(FileRequest&& other) noexcept;
    FileRequest& operator=(FileRequest&& other) noexcept;
    FileRequest(const FileRequest&) = delete;
    FileRequest& operator=(const FileRequest&) = delete;
    ~FileRequest() { Close(); }

    // Opens the canonical `url` on `session`. HTTP and HTTPS go through a connection of our own so
    // that its time-outs hold (Wine's WinInet ignores them on the session and has none by
    // default), and a request that stays unanswered is sent again until the stall limit; other
    // schemes are opened as they are. Empty when it cannot be opened or the run was halted.
    static FileRequest Open(HINTERNET session, const char* url, RunSignals& signals, const DownloadTimeouts& timeouts);

    explicit operator bool() const { return m_request != nullptr; }
    // Saves the body to `path` as CBodyDownload::SaveTo does, resuming it when it is cut; the
    // progress goes out through `report`.
    bool SaveTo(const char* path, int* size, const char* name, const Report& report);
    void Close();

private:
    class Body;
    enum class Resumed { Rest, Whole, No };

    FileRequest(RunSignals* signals, const DownloadTimeouts& timeouts, HINTERNET connection, HINTERNET request,
                std::string object, DWORD flags);
    // Whether the failed call counts as a cut line: a time-out, or a connection reset or aborted;
    // once the body has begun, also a connection that cannot be made for the moment.
    static bool IsCut(DWORD error, bool bodyBegun);
    bool Stalled(ULONGLONG lastProgress) const;
    // Sends a GET for the object with `headers`, again while the line is cut (a silent server, a
    // reset; after `bodyBegun`, a line that is down), the run goes on and a new byte has come
    // within the stall limit; the request, or null.
    HINTERNET SendRequest(const char* headers, ULONGLONG lastProgress, bool bodyBegun);
    // The identity and status of the answer in `request`; false when the stop took the handle.
    bool ReadAnswer(HINTERNET request, DWORD* status, std::string* contentRange, BodyIdentity* identity);
    // Asks for the body from `offset` on, first waiting a moment when `pauseFirst` (a cut that came
    // at once with nothing new since the last request).
    Resumed Resume(long long offset, bool pauseFirst, ULONGLONG lastProgress);
    // The moment a request waits before it is sent again after a cut that came at once.
    DWORD RetryPause() const;

    RunSignals* m_signals = nullptr;
    DownloadTimeouts m_timeouts;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
    std::string m_object;
    DWORD m_flags = 0;
    BodyIdentity m_body;          // of the answer that brought the body from its first byte
    bool m_bodyChanged = false;   // the last restart brought another version of the file
};
