// The updater tests' rig (see UpdaterRig.h).
#include "tests/updater/UpdaterRig.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "tests/support/TestPaths.h"

namespace updatertest {

namespace {

constexpr char kUnreadable[] = "<unreadable: in use>";
constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingValue[] = "PendingFileRenameOperations";

void Walk(const std::string& folder, const std::string& prefix, Tree& tree) {
    WIN32_FIND_DATAA entry{};
    kit::UniqueFind find(::FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!find) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[prefix + name + "\\"] = "";
            Walk(folder + "\\" + name, prefix + name + "\\", tree);
        } else {
            try {
                tree[prefix + name] = testsupport::ReadFile(folder + "\\" + name);
            } catch (const std::exception&) {
                tree[prefix + name] = kUnreadable;
            }
        }
    } while (::FindNextFileA(find.get(), &entry));
}

std::string Today(const char* format) {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    std::strftime(text, sizeof text, format, std::localtime(&now));
    return text;
}

bool WellFormedPrefix(const std::string& line) {
    if (line.size() < 11 || line[0] != '[' || line[3] != ':' || line[6] != ':' || line[9] != ']' || line[10] != ' ')
        return false;
    for (int i : {1, 2, 4, 5, 7, 8})
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

struct FindContext {
    DWORD processId;
    int id;
    HWND notThis;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM parameter) {
    auto* context = reinterpret_cast<FindContext*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    char className[64] = "";
    ::GetClassNameA(hwnd, className, sizeof className);
    if ((context->processId && owner != context->processId) || std::string(className) != "#32770" ||
        hwnd == context->notThis || !::IsWindowVisible(hwnd) || !::GetDlgItem(hwnd, context->id))
        return TRUE;
    context->found = hwnd;
    return FALSE;
}

}  // namespace

std::string UpdaterExe() { return testsupport::BuildFile("updater/updater.exe"); }
std::string FakeHostExe() { return testsupport::BuildFile("testing/fakehost/fakehost.exe"); }

Tree Snapshot(const std::string& folder) {
    Tree tree;
    Walk(folder, "", tree);
    return tree;
}

std::string Differences(const Tree& expected, const Tree& actual) {
    std::string lines;
    for (const auto& [path, content] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end())
            lines += "- " + path + "\n";
        else if (it->second != content)
            lines += "~ " + path + "\n";
    }
    for (const auto& [path, content] : actual)
        if (!expected.count(path)) lines += "+ " + path + "\n";
    return lines;
}

void MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryA(path.c_str(), nullptr);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    MakeFolders(path.substr(0, path.find_last_of('\\')));
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry{};
    kit::UniqueFind find(::FindFirstFileA((path + "\\*").c_str(), &entry));
    if (find) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string below = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(below);
            } else {
                ::SetFileAttributesA(below.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(below.c_str());
            }
        } while (::FindNextFileA(find.get(), &entry));
    }
    find.reset();
    ::RemoveDirectoryA(path.c_str());
}

std::string Lower(std::string text) {
    if (!text.empty()) ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

Sandbox::Sandbox(const std::string& name, const std::string& tempFolder, const std::string& programFolder)
    : tag(name + "-" + std::to_string(::GetCurrentProcessId())) {
    root = testsupport::BuildFile("tests/updater/sandbox/" + tag);
    RemoveTree(root);
    temp = root + "\\" + tempFolder;
    update = temp + "\\_update";
    files = update + "\\_files";
    program = root + "\\" + programFolder;
    cwd = root + "\\cwd";
    outside = root + "\\outside";
    for (const std::string* folder : {&files, &program, &cwd, &outside}) MakeFolders(*folder);
    WriteBytes(outside + "\\readme.txt", "outside, never written\r\n");
}

std::string UpdaterLogFolder(const std::string& currentDirectory) {
    return currentDirectory + "\\logs\\" + Today("%Y_%m");
}

std::string UpdaterLogFile(const std::string& currentDirectory) {
    return UpdaterLogFolder(currentDirectory) + "\\" + Today("%Y-%m-%d") + ".txt";
}

void Sandbox::WriteList(const std::vector<std::pair<std::string, std::string>>& general) const {
    std::string text = "1.0.0.3\r\n[general]\r\ncountfiles=1\r\n";
    for (const auto& [key, value] : general) text += key + "=" + value + "\r\n";
    text += "[file1]\r\nname=readme.txt\r\nversion=1.0.0.3\r\n";
    WriteBytes(update + "\\_updlist.ini", text);
}

void Sandbox::InstallUpdater() const {
    if (!::CopyFileA(UpdaterExe().c_str(), (update + "\\updater.exe").c_str(), FALSE))
        throw std::runtime_error("cannot copy updater.exe into " + update);
}

std::string Sandbox::HandOverCommandLine() const {
    return temp + "\\_update/updater.exe \"<file>" + temp + "\\_update/_updlist.ini</file>\"";
}

std::vector<std::string> LogTexts(const std::string& path) {
    std::vector<std::string> texts;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return texts;
    const std::string data = testsupport::ReadFile(path);
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find("\r\n", start);
        if (end == std::string::npos) {
            texts.push_back("!" + data.substr(start));  // a line without its line end
            break;
        }
        const std::string line = data.substr(start, end - start);
        if (WellFormedPrefix(line) && line.size() > 14)
            texts.push_back(line.substr(11));
        else if (line.size() <= 3)
            texts.push_back(line);
        else
            texts.push_back("!" + line);
        start = end + 2;
    }
    return texts;
}

UpdaterRun::UpdaterRun(const std::string& commandLine, const std::string& currentDirectory) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, currentDirectory.c_str(),
                          &startup, &process))
        throw std::runtime_error("cannot start " + commandLine + " (error " + std::to_string(::GetLastError()) + ")");
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
    m_processId = process.dwProcessId;
}

UpdaterRun::UpdaterRun(DWORD processId)
    : m_process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId)),
      m_processId(processId) {
    if (!m_process) throw std::runtime_error("cannot open the updater's process " + std::to_string(processId));
}

UpdaterRun::~UpdaterRun() {
    if (!Exited()) {
        ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), 5000);
    }
}

bool UpdaterRun::Exited(DWORD waitMs) {
    if (m_exitCode != STILL_ACTIVE) return true;
    if (::WaitForSingleObject(m_process.get(), waitMs) != WAIT_OBJECT_0) return false;
    ::GetExitCodeProcess(m_process.get(), &m_exitCode);
    if (m_exitCode == STILL_ACTIVE) m_exitCode = 0;  // 259 itself; never our programs' code
    return true;
}

HWND UpdaterRun::Dialog() {
    if (m_dialog && ::IsWindow(m_dialog)) return m_dialog;
    m_dialog = FindDialogOf(m_processId, 1001);  // the status label
    return m_dialog;
}

HWND UpdaterRun::FindBox() const { return FindDialogOf(m_processId, 0xFFFF); }

void UpdaterRun::Poll(DWORD answerMs) {
    HWND dialog = Dialog();
    if (!dialog) return;
    const std::optional<std::string> status = TryWindowText(::GetDlgItem(dialog, 1001), answerMs);
    const std::optional<std::string> title = TryWindowText(dialog, answerMs);
    if (!::IsWindow(dialog)) return;  // what was read may be a closing window's nothing
    auto note = [](std::vector<std::string>& seen, const std::optional<std::string>& text) {
        if (text && !text->empty() && (seen.empty() || seen.back() != *text)) seen.push_back(*text);
    };
    note(statuses, status);
    note(titles, title);
}

bool WaitAll(const std::vector<UpdaterRun*>& runs, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        bool all = true;
        for (UpdaterRun* run : runs) {
            if (run->Exited()) continue;
            run->Poll();
            all = false;
        }
        if (all) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
}

std::optional<std::string> TryWindowText(HWND hwnd, DWORD answerMs) {
    if (!hwnd) return std::nullopt;
    char text[1024] = "";
    DWORD_PTR length = 0;
    // Fails, rather than wait for ever, when the window's thread does not take the message in time
    // or has taken none for a while (SMTO_ABORTIFHUNG).
    if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                               answerMs, &length))
        return std::nullopt;
    return std::string(text, length);
}

std::string WindowText(HWND hwnd) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (std::optional<std::string> text = TryWindowText(hwnd, 1000)) return *text;
        if (!::IsWindow(hwnd) || ::GetTickCount() - start > 20000) return {};
        ::Sleep(20);
    }
}

HWND FindDialogOf(DWORD processId, int id) { return WaitForDialogOf(processId, id, 0); }

HWND WaitForDialogOf(DWORD processId, int id, DWORD timeoutMs, HWND notThis) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        FindContext context{processId, id, notThis, nullptr};
        ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&context));
        if (context.found || ::GetTickCount() - start >= timeoutMs) return context.found;
        ::Sleep(20);
    }
}

std::string ProcessImage(DWORD processId) {
    kit::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    if (!process || !::QueryFullProcessImageNameA(process.get(), 0, path, &size)) return {};
    return std::string(path, size);
}

FakeHost::FakeHost(const std::string& exePath, const std::string& mode, const std::string& arguments,
                   const std::string& currentDirectory) {
    static LONG instances = 0;
    m_eventName = "updatertest.host." + std::to_string(::GetCurrentProcessId()) + "." +
                  std::to_string(::InterlockedIncrement(&instances));
    m_event.reset(::CreateEventA(nullptr, TRUE, FALSE, m_eventName.c_str()));
    if (!m_event) throw std::runtime_error("event for the fake host");
    std::string line =
        "\"" + exePath + "\" " + mode + " " + m_eventName + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(exePath.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process))
        throw std::runtime_error("cannot start " + exePath);
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
    m_processId = process.dwProcessId;
    m_threadId = process.dwThreadId;
}

FakeHost::~FakeHost() { Stop(); }

kit::UniqueHandle FakeHost::RunAgain(bool quiet) const {
    constexpr UINT kRunAgain = WM_APP + 1;  // testing/fakehost's
    kit::UniqueHandle ran(::CreateEventA(nullptr, FALSE, FALSE, (m_eventName + ".ran").c_str()));
    if (!ran || !::PostThreadMessageA(m_threadId, kRunAgain, quiet ? 1 : 0, 0))
        throw std::runtime_error("cannot ask the fake host to run again");
    return ran;
}

void FakeHost::Stop() {
    if (!m_process) return;
    ::SetEvent(m_event.get());
    if (::WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(m_process.get(), 1);
    m_process.reset();
}

std::vector<std::string> PendingRenames() {
    std::vector<std::string> entries;
    UniqueKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return entries;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), kPendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return entries;
    std::string data(size, '\0');
    if (::RegQueryValueExA(key.get(), kPendingValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return entries;
    data.resize(size);
    // REG_MULTI_SZ: texts ended by a zero each; an empty text may stand for an empty destination.
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t end = data.find('\0', start);
        if (end == std::string::npos) break;
        entries.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    while (!entries.empty() && entries.back().empty() && entries.size() % 2) entries.pop_back();  // list end
    return entries;
}

bool PendingRenamesGuard::IsMine(const std::string& source, const std::string& destination) const {
    const std::string root = Lower(m_root + "\\");
    return Lower(source).find(root) != std::string::npos || Lower(destination).find(root) != std::string::npos;
}

std::vector<std::string> PendingRenamesGuard::Mine() const {
    const std::vector<std::string> entries = PendingRenames();
    std::vector<std::string> mine;
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2)
        if (IsMine(entries[i], entries[i + 1])) mine.insert(mine.end(), {entries[i], entries[i + 1]});
    return mine;
}

void PendingRenamesGuard::RemoveMine() const {
    const std::vector<std::string> entries = PendingRenames();
    std::string data;
    bool removed = false;
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (IsMine(entries[i], entries[i + 1])) {
            removed = true;
            continue;
        }
        data += entries[i] + '\0' + entries[i + 1] + '\0';
    }
    if (!removed) return;
    UniqueKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (data.empty()) {
        ::RegDeleteValueA(key.get(), kPendingValue);
        return;
    }
    data += '\0';
    ::RegSetValueExA(key.get(), kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
}

}  // namespace updatertest
