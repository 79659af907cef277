// The update engine (see UpdateEngine.h): the full check, the list fetch and parse, the worker's
// start and the hand-over to the updater.
#include "update/UpdateEngine.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "update/BodyDownload.h"
#include "update/DownloadWorker.h"
#include "update/portable/FormatText.h"
#include "update/portable/UpdateListRules.h"
#include "updater/HandOverMark.h"

namespace {

constexpr DWORD kCanonicalCapacity = 1024;

// The profile functions as the reader of the saved list file.
class ProfileReader final : public IUpdateListReader {
public:
    explicit ProfileReader(const kit::String& file) : m_file(file) {}
    kit::String ReadText(const char* section, const char* key) override {
        return ReadIniString(m_file, section, key, "");
    }
    int ReadNumber(const char* section, const char* key, int defaultValue) override {
        return ReadIniInt(m_file, section, key, defaultValue);
    }

private:
    kit::String m_file;
};

// The section names of a profile file; the buffer grows until the whole list fits.
std::vector<std::string> ProfileSectionNames(const char* file) {
    std::vector<char> buffer(4096);
    for (;;) {
        DWORD length = ::GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), file);
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 26)) {
            std::vector<std::string> names;
            for (const char* name = buffer.data(); name < buffer.data() + length && *name; name += std::strlen(name) + 1) {
                names.emplace_back(name);
            }
            return names;
        }
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace

CUpdateEngine::CUpdateEngine(std::unique_ptr<IDownloadWorker> worker, const UpdateSystemCalls& calls)
    : m_worker(std::move(worker)),
      m_session(::InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
      m_calls(calls) {}

// The worker goes first: a thread that still runs is stopped before the session and the texts go.
CUpdateEngine::~CUpdateEngine() { m_worker.reset(); }

LRESULT CUpdateEngine::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_target, message, wParam, lParam);
}

kit::String CUpdateEngine::GetParam(const char* name) const {
    kit::String key(name);
    kit::String value;
    Send(WM_UPD_GET_PARAM, UpdPointerParam(&key), UpdPointerLParam(&value));
    return value;
}

void CUpdateEngine::SetParam(const UpdateParam& param) const {
    Send(WM_UPD_SET_PARAM, UpdPointerParam(&param), 0);
}

void CUpdateEngine::Log(const char* text) {
    kit::String line(text);
    Send(WM_UPD_LOG, UpdPointerParam(&line), 0);
}

void CUpdateEngine::Status(const char* text) {
    kit::String status(text);
    Send(WM_UPD_STATUS, UpdPointerParam(&status), 0);
}

kit::String CUpdateEngine::ListFilePath() const { return UpdateListFile(TEMPPATH); }

UpdateResult CUpdateEngine::RunUpdateCheck() {
    kit::String baseUrl = GetParam(kParamUrl);
    PATH = GetParam(kParamPath);
    TEMPPATH = GetParam(kParamTempPath);

    Log(" ");
    Log("******************************");
    Log(FormatText("      %s %s", kUpdateAgent, kUpdateVersion));
    Log("******************************");

    DWORD flags = 0;
    if (!m_session || !m_calls.internetGetConnectedState(&flags, 0)) {
        Log("ERROR InternetConnectFailure");
        return UpdateNoConnection;
    }
    kit::String listUrl = baseUrl + UpdateList::kServerFile;
    if (!OpenUrl(listUrl)) {
        Log("ERROR NoConnect");
        return UpdateUrlNotOpened;
    }
    UpdateResult result = FetchUpdateList(baseUrl);
    if (result == UpdateDone) result = ParseUpdateList();
    return result;
}

OpenedUrl CUpdateEngine::OpenUrl(kit::String& url) {
    char canonical[kCanonicalCapacity];
    DWORD length = kCanonicalCapacity;
    // A URL whose canonical form does not fit counts as one that cannot be opened.
    if (!::InternetCanonicalizeUrlA(url, canonical, &length, ICU_BROWSER_MODE)) return OpenedUrl();
    const DWORD silence = m_calls.listSilenceMilliseconds ? m_calls.listSilenceMilliseconds
                                                          : DownloadTimeouts{}.silenceMilliseconds;
    // The worker's time-outs: it waits as long for a connection as for a silent server.
    OpenedUrl opened = OpenUrlWithTimeouts(m_session.get(), canonical, kOpenUrlFlags, 0, silence, silence);
    url = canonical;
    return opened;
}

UpdateResult CUpdateEngine::FetchUpdateList(const kit::String& baseUrl) {
    kit::String listUrl = baseUrl + UpdateList::kServerFile;
    OpenedUrl source = OpenUrl(listUrl);
    if (!source) return UpdateUrlNotOpened;
    kit::String folder = TEMPPATH + UpdateList::kUpdateFolder;
    ::CreateDirectoryA(folder, nullptr);
    kit::String file = folder + UpdateList::kLocalFile;
    ::DeleteFileA(file);
    Log("проверка обновления");
    int size = 0;
    bool loaded = DownloadToFile(source.get(), file, &size, "");
    source = OpenedUrl();
    if (loaded) return UpdateDone;
    Log("ERROR Updatelist not found");
    return UpdateNotDownloaded;
}

bool CUpdateEngine::DownloadToFile(HINTERNET source, const char* path, int* size, const char* name) {
    // The engine's download: plain reads, reports through the engine's window.
    class Download final : public CBodyDownload {
    public:
        Download(CUpdateEngine& engine, HINTERNET source) : m_engine(engine), m_source(source) {}

    private:
        void Report(UINT message, WPARAM wParam, LPARAM lParam) override { m_engine.Send(message, wParam, lParam); }
        ReadResult ReadChunk(char* chunk, DWORD capacity, DWORD* read, long long) override {
            return ::InternetReadFile(m_source, chunk, capacity, read) ? ReadResult::Data : ReadResult::Failed;
        }
        CUpdateEngine& m_engine;
        HINTERNET m_source;
    };
    int unknown = 0;
    Download download(*this, source);
    return download.SaveTo(source, m_calls.httpQueryInfo, path, size ? size : &unknown, name);
}

UpdateResult CUpdateEngine::ParseUpdateList() {
    using namespace UpdateList;
    kit::String file = ListFilePath();
    int countfiles = ReadIniInt(file, kGeneral, kCountFiles, 0);
    if (countfiles < 1) {
        Log("Update not required");
        return UpdateNotRequired;
    }
    Status("обработка данных обновления");

    struct ColourKey {
        const char* key;
        const char* param;
    };
    static const ColourKey kColours[] = {
        {kBgColor, kParamBgColor}, {kSubColor, kParamSubColor}, {kSubColor2, kParamSubColor2}, {kTextColor, kParamTextColor}};
    for (const ColourKey& colour : kColours) {
        kit::String text = ReadIniString(file, kGeneral, colour.key, "");
        if (text.GetLength() > 3) {
            UpdateParam param;
            param.name = colour.param;
            param.number2 = static_cast<int>(ParseColor(text));
            SetParam(param);
        }
    }
    struct TextKey {
        const char* key;
        const char* param;
    };
    static const TextKey kTexts[] = {{kTitle, kParamTitle}, {kWebText, kParamWebText}};
    for (const TextKey& entry : kTexts) {
        kit::String text = ReadIniString(file, kGeneral, entry.key, "");
        if (text.GetLength() > 1) {
            UpdateParam param;
            param.name = entry.param;
            param.text = text;
            SetParam(param);
        }
    }
    Log("обработка данных обновления");

    UpdateResult result = UpdateNotRequired;
    ProfileReader reader(file);
    InstalledVersionFn installed = [this](const kit::String& localpath, const kit::String& name) {
        return GetFileVersionText(PATH + "/" + localpath + name);
    };
    for (int index : FileSectionIndices(ProfileSectionNames(file), countfiles)) {
        UpdateFileEntry entry;
        FileSectionVerdict verdict = ReadFileSection(reader, index, installed, entry);
        if (verdict == FileSectionVerdict::Unsafe) {
            Log(FormatText("ERROR Unsafe path in section %s: %s%s", FileSectionName(index).c_str(),
                           entry.localpath.c_str(), entry.name.c_str()));
            continue;
        }
        if (verdict != FileSectionVerdict::Kept) continue;
        m_files.push_back(entry);
        result = UpdateDone;
    }
    Status("");
    return result;
}

COLORREF CUpdateEngine::ParseColor(const char* text) { return static_cast<COLORREF>(ParseColorText(text)); }

int CUpdateEngine::CountNewFiles() const { return ::CountNewFiles(m_files); }

double CUpdateEngine::GetNewFilesSize() const { return ::GetNewFilesSize(m_files); }

bool CUpdateEngine::StartDownload() {
    if (!m_worker) return false;
    m_worker->StopAndNotify(true);
    m_worker->SetFileList(m_files);
    m_worker->SetOwnerWindow(m_target);
    m_worker->Start();
    return true;
}

UpdateResult CUpdateEngine::ExtractUpdater() {
    kit::String target = TEMPPATH + UpdateList::kUpdateFolder + UpdateList::kUpdaterFile;
    return ExtractFileResource(target, kUpdaterResourceId, m_calls.resourceModule);
}

kit::String CUpdateEngine::GetExecPath(const kit::String& tempFolder) const { return ::GetExecPath(m_files, tempFolder); }

UpdateResult CUpdateEngine::StartUpdater() {
    using namespace UpdateList;
    kit::String list = ListFilePath();
    // The updater takes "path" and "exec" from the list: without them it must not start.
    if (!::WritePrivateProfileStringA(kGeneral, kPath, PATH, list)) return UpdaterNotStarted;
    if (!::WritePrivateProfileStringA(kGeneral, kExec, GetExecPath(TEMPPATH), list)) return UpdaterNotStarted;
    // The updater declares an execution level, and such a program starts only through the shell
    // (CreateProcess refuses one that needs elevation); a declined consent prompt fails the call.
    // The program path goes apart from its argument, so a blank in the temporary folder cannot
    // make another program of its first part. An elevated program starts in the system folder
    // unless it is given one: it gets ours, where its log belongs.
    kit::String program = TEMPPATH + kUpdateFolder + kUpdaterFile;
    kit::String argument = UpdaterArgument(TEMPPATH);
    char directory[MAX_PATH + 1] = "";
    const DWORD length = ::GetCurrentDirectoryA(sizeof directory, directory);
    SHELLEXECUTEINFOA start{};
    start.cbSize = sizeof start;
    // No box of the shell's own: the window reports the failure. The start is complete on return.
    start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    start.hwnd = m_target;
    start.lpFile = program;
    start.lpParameters = argument;
    start.lpDirectory = length > 0 && length < sizeof directory ? directory : nullptr;
    start.nShow = SW_SHOWNORMAL;
    // Marked before the start: a run procedure between the start and the updater's own hold on
    // the mark must already find the folder taken.
    const kit::UniqueHandle mark = handover::MakeMark((TEMPPATH + kUpdateFolder).str());
    start.fMask |= SEE_MASK_NOCLOSEPROCESS;
    if (!m_calls.shellExecuteEx(&start)) return UpdaterNotStarted;
    const kit::UniqueHandle process(start.hProcess);
    if (mark && process) {
        const HANDLE taken[] = {mark.get(), process.get()};
        ::WaitForMultipleObjects(2, taken, FALSE, handover::kMarkTakenWaitMs);
    }
    return UpdateDone;
}
