// One file's request of the download worker (see FileRequest.h).
#include "update/FileRequest.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/ServerSilence.h"
#include "update/BodyDownload.h"
#include "update/UrlOpen.h"

namespace {

// How long a request that the line cut at once (not after the server's silence) waits before it
// is sent again, so that a line that keeps dropping is not asked as fast as it drops.
constexpr DWORD kRetryPauseMilliseconds = 1000;
// How many times a cut file may start again from its first byte because the server brought
// another version of it: a server that names a new version in every answer (mirrors with their
// own ETags, a stamp in each answer) would otherwise restart it for ever, each time with progress.
constexpr int kVersionRestarts = 3;
constexpr DWORD kHeaderCapacity = 1024;

// A header of the answer as text, or empty when it has none (or one too long to be a validator).
std::string HeaderText(HINTERNET request, DWORD header) {
    char text[kHeaderCapacity] = {};
    DWORD length = sizeof text - 1;
    if (!::HttpQueryInfoA(request, header, text, &length, nullptr)) return {};
    return std::string(text, std::min<DWORD>(length, sizeof text - 1));
}

}  // namespace

// --- InternetHandleSet --------------------------------------------------------------------------

bool InternetHandleSet::Add(HINTERNET handle) {
    if (!handle) return false;
    kit::Lock lock(m_lock);
    if (!m_closed) {
        for (HINTERNET& slot : m_handles) {
            if (!slot) {
                slot = handle;
                return true;
            }
        }
    }
    ::InternetCloseHandle(handle);
    return false;
}

void InternetHandleSet::Close(HINTERNET handle) {
    if (!handle) return;
    kit::Lock lock(m_lock);
    for (HINTERNET& slot : m_handles) {
        if (slot == handle) {
            slot = nullptr;
            ::InternetCloseHandle(handle);
            return;
        }
    }
}

void InternetHandleSet::CloseAll() {
    kit::Lock lock(m_lock);
    m_closed = true;
    for (HINTERNET& slot : m_handles) {
        if (slot) ::InternetCloseHandle(std::exchange(slot, nullptr));
    }
}

void InternetHandleSet::Reopen() {
    kit::Lock lock(m_lock);
    m_closed = false;
}

bool InternetHandleSet::HoldsLocked(HINTERNET handle) const {
    if (!handle || m_closed) return false;
    return std::find(std::begin(m_handles), std::end(m_handles), handle) != std::end(m_handles);
}

bool InternetHandleSet::With(HINTERNET handle, const std::function<void()>& call) {
    kit::Lock lock(m_lock);
    if (!HoldsLocked(handle)) return false;
    call();
    return true;
}

bool InternetHandleSet::Holds(HINTERNET handle) {
    kit::Lock lock(m_lock);
    return HoldsLocked(handle);
}

// --- RunSignals ---------------------------------------------------------------------------------

RunSignals::RunSignals() : m_wake(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

void RunSignals::Cancel() {
    m_cancel.store(1);
    if (m_wake) ::SetEvent(m_wake.get());
    m_handles.CloseAll();
}

// The flag is set under the file lock: a file step that runs now ends before the stop returns,
// and none begins after it; the file that the run holds open is closed with it.
void RunSignals::Stop() {
    {
        kit::Lock lock(m_fileLock);
        m_stop.store(1);
        if (m_heldFile) std::exchange(m_heldFile, nullptr)->reset();
    }
    if (m_wake) ::SetEvent(m_wake.get());
    m_handles.CloseAll();
}

void RunSignals::ClearCancel() {
    m_cancel.store(0);
    if (m_wake && !Stopped()) ::ResetEvent(m_wake.get());
}

void RunSignals::ClearStop() {
    m_stop.store(0);
    m_handles.Reopen();
    if (m_wake && !Cancelled()) ::ResetEvent(m_wake.get());
}

bool RunSignals::FileStep(const std::function<bool()>& step) {
    kit::Lock lock(m_fileLock);
    if (Stopped()) return false;
    return step();
}

bool RunSignals::Pause(DWORD milliseconds) {
    if (Halted()) return false;
    if (m_wake) {
        ::WaitForSingleObject(m_wake.get(), milliseconds);
    } else {
        ::Sleep(milliseconds);
    }
    return !Halted();
}

// --- FileRequest --------------------------------------------------------------------------------

FileRequest::FileRequest(RunSignals* signals, const DownloadTimeouts& timeouts, HINTERNET connection,
                         HINTERNET request, std::string object, DWORD flags)
    : m_signals(signals),
      m_timeouts(timeouts),
      m_connection(connection),
      m_request(request),
      m_object(std::move(object)),
      m_flags(flags) {}

FileRequest::FileRequest(FileRequest&& other) noexcept
    : m_signals(other.m_signals),
      m_timeouts(other.m_timeouts),
      m_connection(std::exchange(other.m_connection, nullptr)),
      m_request(std::exchange(other.m_request, nullptr)),
      m_object(std::move(other.m_object)),
      m_flags(other.m_flags),
      m_body(std::move(other.m_body)),
      m_bodyChanged(other.m_bodyChanged) {}

FileRequest& FileRequest::operator=(FileRequest&& other) noexcept {
    if (this != &other) {
        Close();
        m_signals = other.m_signals;
        m_timeouts = other.m_timeouts;
        m_connection = std::exchange(other.m_connection, nullptr);
        m_request = std::exchange(other.m_request, nullptr);
        m_object = std::move(other.m_object);
        m_flags = other.m_flags;
        m_body = std::move(other.m_body);
        m_bodyChanged = other.m_bodyChanged;
    }
    return *this;
}

void FileRequest::Close() {
    if (!m_signals) return;
    m_signals->Handles().Close(std::exchange(m_request, nullptr));
    m_signals->Handles().Close(std::exchange(m_connection, nullptr));
}

FileRequest FileRequest::Open(HINTERNET session, const char* url, RunSignals& signals, const DownloadTimeouts& timeouts) {
    if (!session || signals.Stopped()) return {};
    HttpUrlParts parts;
    const UrlKind kind = SplitHttpUrl(url, &parts);
    if (kind == UrlKind::Invalid) return {};
    InternetHandleSet& handles = signals.Handles();
    if (kind == UrlKind::Other) {
        HINTERNET handle = ::InternetOpenUrlA(session, url, nullptr, 0, kOpenUrlFlags, 0);
        if (!handles.Add(handle)) return {};
        FileRequest opened(&signals, timeouts, nullptr, handle, {}, 0);
        if (signals.Stopped()) return {};  // opened after the stop: not ours to use
        return opened;
    }
    HINTERNET connection = ConnectHttp(session, parts, 0);
    if (!handles.Add(connection)) return {};
    DWORD flags = kOpenUrlFlags;
    if (parts.secure) flags |= INTERNET_FLAG_SECURE;
    FileRequest opened(&signals, timeouts, connection, nullptr, std::move(parts.object), flags);
    const bool timed = handles.With(connection, [&] {
        DWORD timeout = timeouts.silenceMilliseconds;
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
            ::InternetSetOptionA(connection, option, &timeout, sizeof timeout);
    });
    if (!timed) return {};
    HINTERNET request = opened.SendRequest(nullptr, ::GetTickCount64(), false);
    if (!request) return {};
    opened.m_request = request;
    DWORD status = 0;
    std::string range;
    if (!opened.ReadAnswer(request, &status, &range, &opened.m_body)) return {};
    return opened;
}

// Windows reports a reset or an abort of the connection as 12031 or 12030; Wine passes on the
// socket's own error (10054, 10053) when the peer is a real one.
bool FileRequest::IsCut(DWORD error, bool bodyBegun) {
    switch (error) {
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case WSAECONNABORTED:
    case WSAECONNRESET:
        return true;
    // A line that is down for a moment (a Wi-Fi that reconnects, a server that restarts): only
    // once the file has begun to come is it worth waiting for.
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_DISCONNECTED:
        return bodyBegun;
    default:
        return false;
    }
}

DWORD FileRequest::RetryPause() const { return std::min(kRetryPauseMilliseconds, m_timeouts.silenceMilliseconds / 2); }

bool FileRequest::Stalled(ULONGLONG lastProgress) const {
    return ::GetTickCount64() - lastProgress >= m_timeouts.stallLimitMilliseconds;
}

HINTERNET FileRequest::SendRequest(const char* headers, ULONGLONG lastProgress, bool bodyBegun) {
    static const char* kAccept[] = {"*/*", nullptr};
    InternetHandleSet& handles = m_signals->Handles();
    for (;;) {
        const ULONGLONG sentAt = ::GetTickCount64();
        HINTERNET request = nullptr;
        const bool opened = handles.With(m_connection, [&] {
            request = ::HttpOpenRequestA(m_connection, "GET", m_object.c_str(), nullptr, nullptr, kAccept, m_flags, 0);
        });
        if (!opened || !handles.Add(request)) return nullptr;
        const bool sent = handles.Holds(request) &&
                          ::HttpSendRequestA(request, headers, headers ? static_cast<DWORD>(-1) : 0, nullptr, 0);
        const DWORD error = sent ? 0 : ::GetLastError();
        if (sent && !m_signals->Stopped()) return request;
        handles.Close(request);  // an answer that came after the stop is not used
        if (m_signals->Halted() || !IsCut(error, bodyBegun) || Stalled(lastProgress)) return nullptr;
        // Cut at once rather than after the server's silence: a moment before the next try.
        const bool atOnce = !kit::EndedBySilence(error, ::GetTickCount64() - sentAt, m_timeouts.silenceMilliseconds);
        if (atOnce && !m_signals->Pause(RetryPause()))
            return nullptr;
    }
}

bool FileRequest::ReadAnswer(HINTERNET request, DWORD* status, std::string* contentRange, BodyIdentity* identity) {
    const bool read = m_signals->Handles().With(request, [&] {
        *status = HttpStatusOf(&::HttpQueryInfoA, request);
        identity->length = ContentLengthOf(&::HttpQueryInfoA, request);
        identity->etag = HeaderText(request, HTTP_QUERY_ETAG);
        identity->lastModified = HeaderText(request, HTTP_QUERY_LAST_MODIFIED);
        *contentRange = HeaderText(request, HTTP_QUERY_CONTENT_RANGE);
    });
    return read && !m_signals->Stopped();
}

FileRequest::Resumed FileRequest::Resume(long long offset, bool pauseFirst, ULONGLONG lastProgress) {
    if (!m_connection) return Resumed::No;  // another protocol: nothing to ask again
    if (pauseFirst && !m_signals->Pause(RetryPause()))
        return Resumed::No;
    // Without a validator the rest could belong to another version: the whole file again then.
    const std::string validator = offset > 0 ? IfRangeValidator(m_body) : std::string();
    for (bool ranged = !validator.empty();; ranged = false) {
        const std::string headers = ranged ? "Range: bytes=" + std::to_string(offset) + "-\r\nIf-Range: " + validator + "\r\n"
                                           : std::string();
        HINTERNET request = SendRequest(ranged ? headers.c_str() : nullptr, lastProgress, true);
        if (!request) return Resumed::No;
        m_signals->Handles().Close(m_request);
        m_request = request;
        DWORD status = 0;
        std::string range;
        BodyIdentity answer;
        if (!ReadAnswer(request, &status, &range, &answer)) return Resumed::No;
        const ResumeAnswer verdict =
            ranged ? JudgeResumeAnswer(m_body, offset, status, range.empty() ? nullptr : range.c_str(), answer)
                   : (status == 200 ? ResumeAnswer::Whole : ResumeAnswer::Again);
        if (verdict == ResumeAnswer::Rest) return Resumed::Rest;
        if (verdict == ResumeAnswer::Whole) {
            m_bodyChanged = answer.etag != m_body.etag || answer.lastModified != m_body.lastModified;
            m_body = std::move(answer);
            return Resumed::Whole;
        }
        if (!ranged) return Resumed::No;  // the whole file asked for, and not given
    }
}

// The worker's body: a read cut by the line asks for the rest (Wine drops the connection at a
// time-out), until no new byte has come for the stall limit; bytes received again after a restart
// of the same file are no progress, so that a server which keeps sending the same first bytes
// still reaches the limit. A restart with another version counts its bytes anew, a few times only;
// a cut answered with yet another version then fails the file. A stop ends it at once, a cancel
// after the chunk at hand, and either leaves the partial file where it is.
class FileRequest::Body final : public CBodyDownload {
public:
    Body(FileRequest& request, const FileRequest::Report& report) : m_request(request), m_report(report) {}

private:
    void Report(UINT message, WPARAM wParam, LPARAM lParam) override { m_report(message, wParam, lParam); }
    bool FileStep(const std::function<bool()>& step) override { return m_request.m_signals->FileStep(step); }
    void HoldFile(kit::UniqueFile* file) override { m_request.m_signals->HoldFile(file); }
    HINTERNET RestartedAnswer() override { return m_request.m_request; }
    bool AbandonAfterWrite() override { return m_request.m_signals->Halted(); }

    ReadResult ReadChunk(char* chunk, DWORD capacity, DWORD* read, long long received) override {
        RunSignals& signals = *m_request.m_signals;
        for (;;) {
            *read = 0;
            const ULONGLONG readAt = ::GetTickCount64();
            const HINTERNET handle = m_request.m_request;
            const bool ok = signals.Handles().Holds(handle) && ::InternetReadFile(handle, chunk, capacity, read) != FALSE;
            const DWORD error = ok ? 0 : ::GetLastError();
            if (signals.Stopped()) return ReadResult::Abandoned;  // nothing of it is used
            if (ok && *read > 0) {
                if (received + *read > m_highWater) {
                    m_highWater = received + *read;
                    m_lastProgress = ::GetTickCount64();
                    m_progressSinceRequest = true;
                }
                return ReadResult::Data;
            }
            const long long length = LengthToReach();
            const bool cut = ok ? length >= 0 && received < length : IsCut(error, true);
            if (signals.Cancelled()) return ReadResult::Abandoned;
            if (cut && !m_request.Stalled(m_lastProgress)) {
                // A cut that did not wait for the line, with nothing new since the last request:
                // not asked again at once.
                const bool waited =
                    !ok && kit::EndedBySilence(error, ::GetTickCount64() - readAt, m_request.m_timeouts.silenceMilliseconds);
                const Resumed resumed = m_request.Resume(received, !waited && !m_progressSinceRequest, m_lastProgress);
                m_progressSinceRequest = false;
                if (resumed == Resumed::Rest) continue;
                if (resumed == Resumed::Whole) {
                    if (m_request.m_bodyChanged) {
                        if (++m_versionRestarts > kVersionRestarts) return ReadResult::Failed;
                        m_highWater = 0;  // another version: all its bytes are new
                    }
                    return ReadResult::Restarted;
                }
                if (signals.Halted()) return ReadResult::Abandoned;
            }
            // The end of the body (a short one fails in SaveTo), or a read that failed for good.
            return ok ? ReadResult::Data : ReadResult::Failed;
        }
    }

    FileRequest& m_request;
    const FileRequest::Report& m_report;
    ULONGLONG m_lastProgress = ::GetTickCount64();
    long long m_highWater = 0;
    bool m_progressSinceRequest = true;
    int m_versionRestarts = 0;
};

bool FileRequest::SaveTo(const char* path, int* size, const char* name, const Report& report) {
    if (!m_signals || m_signals->Halted()) return false;
    Body body(*this, report);
    return body.SaveTo(m_request, &::HttpQueryInfoA, path, size, name);
}
