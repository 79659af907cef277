// The download worker (see DownloadWorker.h).
#include "update/DownloadWorker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "update/BodyDownload.h"
#include "update/portable/FormatText.h"
#include "update/portable/SizeText.h"
#include "update/portable/UpdateListRules.h"

namespace {

constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_NEED_FILE;
static_assert(kOpenUrlFlags == 0x80000C10);
constexpr DWORD kCanonicalCapacity = 1024;
constexpr DWORD kPoliteWaitMilliseconds = 250;  // ten times 25 ms

bool IsTimeout(DWORD error) { return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT; }

// How much longer a stop waits for a worker that is inside a report to a window of another thread.
constexpr DWORD kReportWaitMilliseconds = 4000;

std::atomic<long> g_runningThreads{0};

// Waits for `thread` to end, handling the messages that other threads send to this one meanwhile
// (a worker inside SendMessage to a window of this thread finishes its call). INFINITE waits
// until the thread has ended. When `job` is given, the wait goes on past `milliseconds` (up to
// kReportWaitMilliseconds more) while the job is inside a report.
bool WaitHandlingSentMessages(HANDLE thread, DWORD milliseconds, const CWorkerThread::Job* job = nullptr) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        DWORD remaining = INFINITE;
        if (milliseconds != INFINITE) {
            const ULONGLONG waited = ::GetTickCount64() - start;
            if (waited >= milliseconds) {
                const bool reporting = job && job->Reporting() && waited < milliseconds + kReportWaitMilliseconds;
                if (!reporting) return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
                remaining = 10;
            } else {
                remaining = static_cast<DWORD>(milliseconds - waited);
            }
        }
        DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent ones
            continue;
        }
        if (woke == WAIT_FAILED) return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    }
}

}  // namespace

// --- CWorkerThread ------------------------------------------------------------------------------

struct CWorkerThread::Launch {
    std::shared_ptr<Job> job;
    HMODULE module;
};

// A subclass stops its thread in its own destructor; what is left here is a thread that has
// ended, or none.
CWorkerThread::~CWorkerThread() = default;

long CWorkerThread::RunningThreads() { return g_runningThreads.load(); }

// The thread holds a reference on the module that holds its code, so that the module stays while
// the thread runs: a host that unloads the plug-in meanwhile does not pull the code away, and the
// plug-in's unload never has to wait for the thread inside the loader's lock (which the thread
// needs to end). The job goes before the module reference: its destructors are code of the module.
DWORD WINAPI CWorkerThread::ThreadBody(void* launch) {
    std::unique_ptr<Launch> start(static_cast<Launch*>(launch));
    const HMODULE module = start->module;
    const DWORD exitCode = start->job->Run();
    start.reset();
    g_runningThreads.fetch_sub(1);
    if (module) ::FreeLibraryAndExitThread(module, exitCode);
    return exitCode;
}

bool CWorkerThread::Start() {
    if (m_thread) return false;
    std::unique_ptr<Launch> launch;
    try {
        launch.reset(new Launch{MakeJob(), nullptr});
    } catch (...) {
        return false;
    }
    if (!launch->job) return false;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&CWorkerThread::ThreadBody),
                         &launch->module);
    m_job = launch->job;
    const HMODULE module = launch->module;
    g_runningThreads.fetch_add(1);
    m_thread.reset(::CreateThread(nullptr, 0, &CWorkerThread::ThreadBody, launch.get(), 0, &m_threadId));
    if (!m_thread) {
        g_runningThreads.fetch_sub(1);
        m_job.reset();
        launch.reset();
        if (module) ::FreeLibrary(module);
        return false;
    }
    (void)launch.release();  // the thread's now
    return true;
}

DWORD CWorkerThread::Stop(bool force) {
    if (!m_thread) return kNoThread;
    if (m_threadId == ::GetCurrentThreadId()) return kNoThread;  // a worker cannot wait for itself
    bool ended = !force && WaitHandlingSentMessages(m_thread.get(), kPoliteWaitMilliseconds);
    if (!ended) {
        m_job->RequestStop();
        ended = WaitHandlingSentMessages(m_thread.get(), kStopWaitMilliseconds, m_job.get());
    }
    DWORD exitCode = kStoppedExitCode;
    if (ended) ::GetExitCodeThread(m_thread.get(), &exitCode);
    m_thread.reset();
    m_job.reset();
    if (!ended) OnLeft();
    return exitCode;
}

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

// --- DownloadSource -----------------------------------------------------------------------------

DownloadSource::DownloadSource(InternetHandleSet* set, HINTERNET connection, HINTERNET request, std::string object,
                               DWORD flags)
    : m_set(set), m_connection(connection), m_request(request), m_object(std::move(object)), m_flags(flags) {}

DownloadSource::DownloadSource(DownloadSource&& other) noexcept
    : m_set(other.m_set),
      m_connection(std::exchange(other.m_connection, nullptr)),
      m_request(std::exchange(other.m_request, nullptr)),
      m_object(std::move(other.m_object)),
      m_flags(other.m_flags) {}

DownloadSource& DownloadSource::operator=(DownloadSource&& other) noexcept {
    if (this != &other) {
        Close();
        m_set = other.m_set;
        m_connection = std::exchange(other.m_connection, nullptr);
        m_request = std::exchange(other.m_request, nullptr);
        m_object = std::move(other.m_object);
        m_flags = other.m_flags;
    }
    return *this;
}

void DownloadSource::ReplaceRequest(HINTERNET request) {
    if (m_set) m_set->Close(m_request);
    m_request = request;
}

void DownloadSource::Close() {
    if (!m_set) return;
    m_set->Close(std::exchange(m_request, nullptr));
    m_set->Close(std::exchange(m_connection, nullptr));
}

// --- CUpdateDownloader --------------------------------------------------------------------------

CUpdateDownloader::CUpdateDownloader(ConnectedStateFn connectedState, const DownloadTimeouts& timeouts)
    : m_session(::InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
      m_connectedState(connectedState),
      m_timeouts(timeouts) {}

CUpdateDownloader::~CUpdateDownloader() = default;

void CUpdateDownloader::Cancel() {
    m_cancel.store(1);
    m_handles.CloseAll();
}

void CUpdateDownloader::Stop() {
    m_stop.store(1);
    m_handles.CloseAll();
}

void CUpdateDownloader::ResetStop() {
    m_stop.store(0);
    m_handles.Reopen();
}

// The count goes up before the stop flag is read, and a stop sets the flag before it reads the
// count (both sequentially consistent): a stop that sees no report on its way sees none later.
LRESULT CUpdateDownloader::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    m_reporting.fetch_add(1);
    const LRESULT answer = IsStopped() ? 0 : ::SendMessageA(m_target, message, wParam, lParam);
    m_reporting.fetch_sub(1);
    return answer;
}

kit::String CUpdateDownloader::GetParam(const char* name) {
    kit::String key(name);
    kit::String value;
    Send(WM_UPD_GET_PARAM, UpdPointerParam(&key), UpdPointerLParam(&value));
    return value;
}

void CUpdateDownloader::Log(const char* text) {
    kit::String line(text);
    Send(WM_UPD_LOG, UpdPointerParam(&line), 0);
}

int CUpdateDownloader::CountNewFiles() const { return ::CountNewFiles(m_files); }

double CUpdateDownloader::GetNewFilesSize() const { return ::GetNewFilesSize(m_files); }

UpdateResult CUpdateDownloader::CheckConnection() {
    m_cancel.store(0);
    kit::String url = GetParam(kParamUrl);
    m_tempFolder = GetParam(kParamTempPath);
    DWORD flags = 0;
    if (!m_session || !m_connectedState(&flags, 0)) {
        Log("ERROR InternetConnectFailure");
        return UpdateNoConnection;
    }
    kit::String listUrl = url + UpdateList::kServerFile;
    DownloadSource source = OpenUrl(listUrl);
    if (!source) {
        if (Halted()) return UpdateCancelled;  // the open was cut short by the user or a stop
        Log("ERROR NoConnect");
        return UpdateUrlNotOpened;
    }
    return UpdateDone;
}

// HTTP and HTTPS go through a connection of our own so that its time-outs hold (Wine's WinInet
// ignores them on the session and has none by default); a request that stays unanswered is sent
// again while the worker is neither cancelled nor stopped, up to the stall limit. Other schemes
// are opened as they are.
DownloadSource CUpdateDownloader::OpenUrl(kit::String& url) {
    char canonical[kCanonicalCapacity];
    DWORD length = kCanonicalCapacity;
    // A URL whose canonical form does not fit counts as one that cannot be opened.
    if (!::InternetCanonicalizeUrlA(url, canonical, &length, ICU_BROWSER_MODE)) return {};
    url = canonical;
    if (!m_session || IsStopped()) return {};

    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    char user[256] = {}, password[256] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUserName = user;
    parts.dwUserNameLength = sizeof user;
    parts.lpszPassword = password;
    parts.dwPasswordLength = sizeof password;
    parts.dwUrlPathLength = 1;  // pointers into `canonical`
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlA(canonical, 0, 0, &parts)) return {};
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        HINTERNET handle = ::InternetOpenUrlA(m_session.get(), canonical, nullptr, 0, kOpenUrlFlags, 0);
        if (!m_handles.Add(handle)) return {};
        return DownloadSource(&m_handles, nullptr, handle);
    }
    std::string object;
    if (parts.lpszUrlPath) object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object.assign(1, '/');

    HINTERNET connection = ::InternetConnectA(m_session.get(), host, parts.nPort, *user ? user : nullptr,
                                              *password ? password : nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!m_handles.Add(connection)) return {};
    DWORD timeout = m_timeouts.silenceMilliseconds;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(connection, option, &timeout, sizeof timeout);

    DWORD flags = kOpenUrlFlags;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    HINTERNET request = SendRequest(connection, object, flags, nullptr, ::GetTickCount64());
    if (!request) {
        m_handles.Close(connection);
        return {};
    }
    return DownloadSource(&m_handles, connection, request, object, flags);
}

bool CUpdateDownloader::TimedOut(DWORD error, ULONGLONG startedAt) const {
    if (IsTimeout(error)) return true;
    return error == ERROR_INTERNET_CONNECTION_ABORTED &&
           ::GetTickCount64() - startedAt >= m_timeouts.silenceMilliseconds / 2;
}

bool CUpdateDownloader::Stalled(ULONGLONG lastProgress) const {
    return ::GetTickCount64() - lastProgress >= m_timeouts.stallLimitMilliseconds;
}

HINTERNET CUpdateDownloader::SendRequest(HINTERNET connection, const std::string& object, DWORD flags,
                                         const char* headers, ULONGLONG lastProgress) {
    static const char* kAccept[] = {"*/*", nullptr};
    for (;;) {
        const ULONGLONG sentAt = ::GetTickCount64();
        HINTERNET request = ::HttpOpenRequestA(connection, "GET", object.c_str(), nullptr, nullptr, kAccept, flags, 0);
        if (!m_handles.Add(request)) return nullptr;
        if (::HttpSendRequestA(request, headers, headers ? static_cast<DWORD>(-1) : 0, nullptr, 0)) return request;
        const DWORD error = ::GetLastError();
        m_handles.Close(request);
        if (Halted() || !TimedOut(error, sentAt) || Stalled(lastProgress)) return nullptr;
    }
}

CUpdateDownloader::Resumed CUpdateDownloader::ResumeFrom(DownloadSource& source, long long offset,
                                                         ULONGLONG lastProgress) {
    if (!source.connection()) return Resumed::No;
    char headers[64];
    // (msvcrt's printf knows no %lld: the offset of a file below 4 GB as unsigned long)
    const unsigned long from = static_cast<unsigned long>(offset);
    std::snprintf(headers, sizeof headers, "Range: bytes=%lu-\r\n", from);
    HINTERNET request = SendRequest(source.connection(), source.object(), source.flags(), headers, lastProgress);
    if (!request) return Resumed::No;
    source.ReplaceRequest(request);
    const DWORD status = HttpStatusOf(&::HttpQueryInfoA, request);
    if (status == 200) return Resumed::Whole;
    char range[128] = {};
    DWORD length = sizeof range;
    char expected[48];
    std::snprintf(expected, sizeof expected, "bytes %lu-", from);
    return status == 206 && ::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_RANGE, range, &length, nullptr) &&
                   std::strncmp(range, expected, std::strlen(expected)) == 0
               ? Resumed::Rest
               : Resumed::No;
}

bool CUpdateDownloader::DownloadToFile(DownloadSource& source, const char* path, int* size, const char* name) {
    // The worker's download: a read that times out asks for the rest of the body again (Wine drops
    // the connection then) until no new byte has come for the stall limit; bytes received again
    // after a restart are no progress. A stop ends it at once, a cancel after the chunk at hand,
    // and either leaves the partial file where it is.
    class Download final : public CBodyDownload {
    public:
        Download(CUpdateDownloader& worker, DownloadSource& source) : m_worker(worker), m_source(source) {}

    private:
        void Report(UINT message, WPARAM wParam, LPARAM lParam) override { m_worker.Send(message, wParam, lParam); }
        ReadResult ReadChunk(char* chunk, DWORD capacity, DWORD* read, long long received) override {
            for (;;) {
                *read = 0;
                const ULONGLONG readAt = ::GetTickCount64();
                const bool ok = ::InternetReadFile(m_source.get(), chunk, capacity, read) != FALSE;
                const DWORD error = ok ? 0 : ::GetLastError();
                if (m_worker.IsStopped()) return ReadResult::Abandoned;
                if (!ok && !m_worker.IsCancelled() && m_worker.TimedOut(error, readAt) &&
                    !m_worker.Stalled(m_lastProgress)) {
                    switch (m_worker.ResumeFrom(m_source, received, m_lastProgress)) {
                    case Resumed::Rest:
                        continue;
                    case Resumed::Whole:
                        return ReadResult::Restarted;
                    case Resumed::No:
                        break;
                    }
                    if (m_worker.IsStopped()) return ReadResult::Abandoned;
                }
                if (!ok) return m_worker.IsCancelled() ? ReadResult::Abandoned : ReadResult::Failed;
                if (received + *read > m_highWater) {
                    m_highWater = received + *read;
                    m_lastProgress = ::GetTickCount64();
                }
                return ReadResult::Data;
            }
        }
        HINTERNET RestartedAnswer() override { return m_source.get(); }
        bool AbandonAfterWrite() override { return m_worker.Halted(); }

        CUpdateDownloader& m_worker;
        DownloadSource& m_source;
        ULONGLONG m_lastProgress = ::GetTickCount64();
        long long m_highWater = 0;
    };
    if (Halted()) return false;
    Download download(*this, source);
    return download.SaveTo(source.get(), &::HttpQueryInfoA, path, size, name);
}

UpdateResult CUpdateDownloader::DownloadAll(const kit::String& baseUrl, const UpdateFileList& list) {
    if (Halted()) return UpdateCancelled;
    m_files = list;
    const size_t count = m_files.size();

    kit::String announce = FormatText("загрузка %i файлов (размер %s)", CountNewFiles(), FormatSize(GetNewFilesSize()).c_str());
    Send(WM_UPD_FILES_RANGE, 0, static_cast<LPARAM>(CountNewFiles()));
    Log(announce);

    kit::String folder = m_tempFolder + UpdateList::kUpdateFolder + UpdateList::kFilesFolder;
    DeleteFolderTree(folder);
    ::CreateDirectoryA(folder, nullptr);

    int done = 0;
    std::uint32_t total = 0;
    UpdateResult result = UpdateNotDownloaded;
    for (size_t i = 0; i < count; ++i) {
        const UpdateFileEntry entry = m_files[i];
        if (!entry.selected || entry.action != 0) continue;
        const kit::String shown = entry.localpath + entry.name;
        kit::String url = baseUrl + entry.url;
        DownloadSource source = OpenUrl(url);
        if (Halted()) return UpdateCancelled;  // an open cut short is no missing file
        if (!source) {
            result = UpdateUrlNotOpened;
            Log(FormatText("ОШИБКА Файл не найден %s", shown.c_str()));
            continue;
        }
        ::CreateDirectoryA(folder + entry.localpath, nullptr);
        int size = entry.filesize;
        const bool ok = DownloadToFile(source, folder + entry.localpath + entry.name, &size, entry.name);
        source.Close();
        if (Halted()) return UpdateCancelled;
        if (!ok) {
            Log(FormatText("ОШИБКА Невозможна загрузка файла %s", shown.c_str()));
            result = UpdateNotDownloaded;
            break;
        }
        Log(FormatText("загружен %s (%s)", shown.c_str(), FormatSize(size).c_str()));
        ++done;
        total += static_cast<std::uint32_t>(size);
        result = UpdateDone;
        Send(WM_UPD_FILES_POS, static_cast<WPARAM>(done), 0);
    }
    kit::String summary = FormatText("всего загружено %i файлов (%s)", done, FormatSize(total).c_str());
    Send(WM_UPD_STATUS, UpdPointerParam(&summary), 0);
    Log(summary);
    return result;
}

// --- DownloadRun and CDownloadThread -----------------------------------------------------------

DWORD DownloadRun::Run() {
    m_finished.store(0);
    CUpdateDownloader& downloader = *m_downloader;
    downloader.SetTargetWindow(m_owner);
    UpdateResult result = UpdateDone;
    try {
        result = downloader.CheckConnection();
        if (result == UpdateDone) {
            kit::String baseUrl = downloader.GetParam(kParamUrl);
            result = downloader.DownloadAll(baseUrl, m_files);
        }
    } catch (...) {
        m_finished.store(1);
        downloader.Send(WM_UPD_WORKER_DONE, 0, 0);
        return downloader.IsStopped() ? CWorkerThread::kStoppedExitCode : 0;
    }
    m_finished.store(1);
    if (downloader.IsStopped()) return CWorkerThread::kStoppedExitCode;
    if (result == UpdateDone) {
        downloader.Send(WM_UPD_ALL_LOADED, 0, 0);
    } else {
        downloader.Send(WM_UPD_WORKER_DONE, static_cast<WPARAM>(result), 0);
    }
    return 0;
}

CDownloadThread::CDownloadThread(CUpdateDownloader::ConnectedStateFn connectedState, const DownloadTimeouts& timeouts)
    : m_connectedState(connectedState),
      m_timeouts(timeouts),
      m_downloader(std::make_shared<CUpdateDownloader>(connectedState, timeouts)) {}

CDownloadThread::~CDownloadThread() { CWorkerThread::Stop(false); }

std::shared_ptr<CWorkerThread::Job> CDownloadThread::MakeJob() {
    if (!m_downloader) m_downloader = std::make_shared<CUpdateDownloader>(m_connectedState, m_timeouts);
    m_downloader->ResetStop();  // a new run after a stop whose thread ended
    m_run = std::make_shared<DownloadRun>(m_downloader, m_files, m_owner);
    return m_run;
}

// The thread that was left keeps its run and the downloader with it; the next run gets a
// downloader (and session) of its own.
void CDownloadThread::OnLeft() {
    m_downloader.reset();
    m_run.reset();
}

bool CDownloadThread::Start() { return CWorkerThread::Start(); }

void CDownloadThread::SetFileList(const UpdateFileList& list) { m_files = list; }

DWORD CDownloadThread::StopAndNotify(bool force) {
    DWORD exitCode = CWorkerThread::Stop(force);
    if (m_owner) ::SendMessageA(m_owner, WM_UPD_WORKER_DONE, 0, 0);
    return exitCode;
}

void CDownloadThread::Cancel() {
    if (m_downloader && !m_downloader->IsCancelled()) {
        m_downloader->Cancel();
        return;
    }
    CWorkerThread::Stop(true);
    if (m_owner) ::SendMessageA(m_owner, WM_UPD_WORKER_DONE, 0, 0);
}
