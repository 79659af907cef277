// The download worker (see DownloadWorker.h).
#include "update/DownloadWorker.h"

#include <utility>

#include "update/portable/FormatText.h"
#include "update/portable/SizeText.h"
#include "update/portable/UpdateListRules.h"

namespace {

constexpr DWORD kCanonicalCapacity = 1024;
constexpr DWORD kPoliteWaitMilliseconds = 250;  // ten times 25 ms

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

// --- CUpdateDownloader --------------------------------------------------------------------------

CUpdateDownloader::CUpdateDownloader(ConnectedStateFn connectedState, const DownloadTimeouts& timeouts)
    : m_session(::InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
      m_connectedState(connectedState),
      m_timeouts(timeouts) {}

CUpdateDownloader::~CUpdateDownloader() = default;

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
    m_signals.ClearCancel();
    kit::String url = GetParam(kParamUrl);
    m_tempFolder = GetParam(kParamTempPath);
    DWORD flags = 0;
    if (!m_session || !m_connectedState(&flags, 0)) {
        Log("ERROR InternetConnectFailure");
        return UpdateNoConnection;
    }
    kit::String listUrl = url + UpdateList::kServerFile;
    FileRequest source = OpenUrl(listUrl);
    if (!source) {
        if (Halted()) return UpdateCancelled;  // the open was cut short by the user or a stop
        Log("ERROR NoConnect");
        return UpdateUrlNotOpened;
    }
    return UpdateDone;
}

// A URL whose canonical form does not fit counts as one that cannot be opened.
FileRequest CUpdateDownloader::OpenUrl(kit::String& url) {
    char canonical[kCanonicalCapacity];
    DWORD length = kCanonicalCapacity;
    if (!::InternetCanonicalizeUrlA(url, canonical, &length, ICU_BROWSER_MODE)) return {};
    url = canonical;
    return FileRequest::Open(m_session.get(), canonical, m_signals, m_timeouts);
}

bool CUpdateDownloader::DownloadToFile(FileRequest& source, const char* path, int* size, const char* name) {
    if (Halted()) return false;
    return source.SaveTo(path, size, name,
                         [this](UINT message, WPARAM wParam, LPARAM lParam) { Send(message, wParam, lParam); });
}

UpdateResult CUpdateDownloader::DownloadAll(const kit::String& baseUrl, const UpdateFileList& list) {
    if (Halted()) return UpdateCancelled;
    m_files = list;
    const size_t count = m_files.size();

    kit::String announce = FormatText("загрузка %i файлов (размер %s)", CountNewFiles(), FormatSize(GetNewFilesSize()).c_str());
    Send(WM_UPD_FILES_RANGE, 0, static_cast<LPARAM>(CountNewFiles()));
    Log(announce);

    // Files of an earlier update that stay in the folder (one held open by a scanner cannot be
    // deleted) would be handed over with this one: a folder that cannot be emptied ends the run.
    // DeleteFolderTree fails for a folder that is not there too.
    const kit::String folder = m_tempFolder + UpdateList::kUpdateFolder + UpdateList::kFilesFolder;
    const bool emptied = m_signals.FileStep([&] {
        if (!DeleteFolderTree(folder) && ::GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES) return false;
        return ::CreateDirectoryA(folder, nullptr) != FALSE;
    });
    if (Halted()) return UpdateCancelled;
    if (!emptied) return UpdateFolderNotEmptied;

    int done = 0;
    std::uint32_t total = 0;
    UpdateResult result = UpdateNotDownloaded;
    bool missing = false;  // a file to fetch that could not be opened
    for (size_t i = 0; i < count; ++i) {
        const UpdateFileEntry entry = m_files[i];
        if (!entry.selected || entry.action != 0) continue;
        const kit::String shown = entry.localpath + entry.name;
        kit::String url = baseUrl + entry.url;
        FileRequest source = OpenUrl(url);
        if (Halted()) return UpdateCancelled;  // an open cut short is no missing file
        if (!source) {
            result = UpdateUrlNotOpened;
            missing = true;
            Log(FormatText("ОШИБКА Файл не найден %s", shown.c_str()));
            continue;
        }
        m_signals.FileStep([&] { return ::CreateDirectoryA(folder + entry.localpath, nullptr) != FALSE; });
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
    // An update without one of its files is no update: nothing is handed over then.
    if (result == UpdateDone && missing) return UpdateUrlNotOpened;
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
