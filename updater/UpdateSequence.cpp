// The updater's main sequence: the hand-over keys of the update list, the wait for the host
// program, the copy of the downloaded tree (or the start of the downloaded program), the
// follow-up command, the log and the close.
//
// The copy writes only below the program folder: every name of the downloaded tree is joined as
// one plain part, and a path that would not fit the ANSI calls is refused rather than cut. Each
// file is first copied beside the program's file (its name plus ".new") and then renamed over it:
// a copy that fails half way (a full disk) leaves the old file whole, and the rename on one volume
// is all or nothing. A file that cannot be replaced now (it stays in use for a few tries of the
// rename, which a scanner's brief hold on the fresh copy does not) is replaced by that copy at
// the next restart: a rename at the restart cannot cross volumes, and the downloaded tree may be
// emptied by the plug-in's next run before the restart. A copy that cannot be made, or a schedule
// that is refused, counts as a failed file.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <ctime>

#include "updater/ProcessScan.h"
#include "updater/UpdaterDlg.h"
#include "updater/UpdaterText.h"

namespace updater {

namespace {

constexpr char kGeneral[] = "general";
constexpr std::size_t kIniTextMax = 254;  // what a 255-character buffer keeps

std::string Format(const char* format, const std::string& a, const std::string& b = {}) {
    const int size = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str());
    if (size <= 0) return format;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, a.c_str(), b.c_str());
    text.resize(static_cast<std::size_t>(size));
    return text;
}

std::string WithSeparator(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    return folder;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The temporary folder when the list names none: two levels above the updater's own program,
// which runs from "_update" below it.
std::string FolderTwoAboveProgram() {
    char path[MAX_PATH + 1] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ParentFolder(ParentFolder(std::string(path, length)));
}

bool IsInUse(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED; }

// Starts the program at `path`, shown normally, in the updater's current directory. The path is
// the application name and, quoted, the whole command line: a path with a blank can then never
// start a program that stands at its first blank, as an unquoted command line would.
bool StartProgram(const std::string& path) {
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started))
        return false;
    const kit::UniqueHandle process(started.hProcess);
    const kit::UniqueHandle thread(started.hThread);
    return true;
}

std::string TooLongLine(const char* key) { return Format("ошибка: слишком длинное значение %s", key); }

}  // namespace

std::string ReadIniString(const std::string& file, const char* section, const char* key, const char* fallback,
                          bool* tooLong) {
    // A larger buffer than the format's, so that a longer value is seen instead of cut silently.
    char buffer[1024] = "";
    const DWORD length = ::GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, file.c_str());
    std::string text(buffer, length);
    if (tooLong) *tooLong = text.size() > kIniTextMax;
    if (text.size() > kIniTextMax) text.resize(kIniTextMax);
    return text;
}

std::string CUpdaterDlg::Read(const char* key, bool* tooLong) const {
    return ReadIniString(m_iniPath, kGeneral, key, "", tooLong);
}

void CUpdaterDlg::Fail(const std::string& logLine) {
    m_success = false;
    WriteLog(logLine);
}

void CUpdaterDlg::RunUpdate() {
    if (m_iniPath.size() < 5) {
        SetStatus("завершение работы", false);
        ::SetTimer(handle(), kCloseTimer, kTimerMs, nullptr);
        return;
    }
    SetProgressRange(3);
    SetProgressPos(1);
    bool tempTooLong = false;
    bool pathTooLong = false;
    std::string tempPath = Read("temppath", &tempTooLong);
    if (tempPath.empty()) tempPath = FolderTwoAboveProgram();
    const std::string programFolder = Read("path", &pathTooLong);
    const std::string source = tempPath + "\\_update\\_files";
    SetProgressRange(2);
    const std::string title = Read("title");
    if (title.size() > 2) SetTitle(Format("Обновление %s", title));
    // Every key is read before the wait: what is installed is what was handed over, whatever
    // happens to the list while the host stays open.
    bool execTooLong = false;
    const std::string exec = LowerCase(Read("exec", &execTooLong));
    bool afterTooLong = false;
    const std::string execAfter = LowerCase(Read("execafter", &afterTooLong));

    WaitForHostExit();

    if (execTooLong) {
        Fail(TooLongLine("exec"));
    } else if (exec.size() <= 5) {
        SetStatus("выполнение копирования", true);
        // A cut or missing folder gives the copy no sound source or destination: nothing is copied.
        if (tempTooLong) {
            Fail(TooLongLine("temppath"));
        } else if (pathTooLong) {
            Fail(TooLongLine("path"));
        } else if (programFolder.empty()) {
            Fail("ошибка при копировании: не указана папка программы");
        } else {
            CopyTree(source, programFolder);
            WriteLog("копирование завершено");
        }
    } else {
        SetProgressPos(2);
        SetStatus("запуск программы", true);
        if (!StartProgram(exec)) Fail(Format("ошибка при запуске %s", exec));
    }
    SetStatus(m_success ? "обновление завершено" : "обновление завершено с ошибкой", true);

    if (afterTooLong)
        WriteLog(TooLongLine("execafter"));
    else if (execAfter.size() > 5)
        ::WinExec(execAfter.c_str(), SW_SHOWNORMAL);  // a follow-up that fails changes nothing
    SetProgressPos(3);
    WriteLog("обновление завершено");  // whatever the outcome
    ::SetTimer(handle(), kCloseTimer, kTimerMs, nullptr);
}

void CUpdaterDlg::WaitForHostExit() {
    const std::string name = Read("name");
    const std::string killProcess = LowerCase(Read("killprocess"));
    m_hostFound = FindProcessByPath(killProcess);
    while (m_hostFound) {
        m_hostFound = false;
        const std::string text = Format(
            "Для выполнения обновления необходимо закрыть программу %s.\nЗакройте ее самостоятельно и нажмите ОК", name);
        // A box that cannot be shown must not turn the wait into a busy loop.
        if (!::MessageBoxA(handle(), text.c_str(), Title().c_str(), MB_ICONEXCLAMATION | MB_OK)) ::Sleep(1000);
        m_hostFound = FindProcessByPath(killProcess);
    }
    m_hostFound = false;
}

void CUpdaterDlg::CopyTree(const std::string& sourceFolder, const std::string& destinationFolder) {
    ::CreateDirectoryA(destinationFolder.c_str(), nullptr);  // an existing folder is fine
    if (!IsFolder(destinationFolder)) {
        // Nothing below it could be copied, nor scheduled for a restart.
        Fail(Format("ошибка при копировании %s в %s", sourceFolder, destinationFolder));
        return;
    }
    const std::string source = WithSeparator(sourceFolder);
    const std::string destination = WithSeparator(destinationFolder);

    WIN32_FIND_DATAA entry{};
    kit::UniqueFind find(::FindFirstFileA((source + "*.*").c_str(), &entry));
    if (!find) {
        // A folder always lists at least "." and "..": anything but "no such file" is a source
        // that cannot be read, such as a missing download folder.
        if (::GetLastError() != ERROR_FILE_NOT_FOUND)
            Fail(Format("ошибка при копировании %s в %s", sourceFolder, destinationFolder));
        return;
    }
    do {
        const std::string name = entry.cFileName;
        const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder && (name == "." || name == "..")) continue;
        const std::string from = source + name;
        const std::string to = destination + name;
        if (!IsSafeEntryName(name)) {
            Fail(Format("ошибка при копировании: недопустимое имя %s", from));
            continue;
        }
        if (from.size() >= MAX_PATH || to.size() >= MAX_PATH) {
            Fail(Format("ошибка при копировании %s в %s", from, to));
            continue;
        }
        if (folder) {
            CopyTree(from, to);
            continue;
        }
        const bool installed = InstallFile(from, to);
        const LRESULT position = ::SendMessageA(m_progress, PBM_GETPOS, 0, 0);
        SetProgressPos(static_cast<int>(position) + 1);
        if (!installed) Fail(Format("ошибка при копировании %s в %s", from, to));
    } while (::FindNextFileA(find.get(), &entry));
    if (::GetLastError() != ERROR_NO_MORE_FILES) Fail(Format("ошибка при копировании %s в %s", sourceFolder, destinationFolder));
}

bool CUpdaterDlg::InstallFile(const std::string& from, const std::string& to) {
    const std::string staged = to + kStagedSuffix;
    if (staged.size() >= MAX_PATH) return false;
    // An earlier update's copy that still waits for its restart is overwritten by the newer one.
    if (!m_calls.copyFile(from.c_str(), staged.c_str(), FALSE)) {
        // What a failed copy left there may be cut short; a scheduled move would install it.
        ::DeleteFileA(staged.c_str());
        return false;
    }
    // Windows refuses a rename over a read-only file with ERROR_ACCESS_DENIED, as if it were in
    // use: the attribute goes first, as installers do, and comes back if the file stays old.
    const DWORD attributes = ::GetFileAttributesA(to.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
                          !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (readOnly) {
        const DWORD writable = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
        ::SetFileAttributesA(to.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL);
    }
    // The copy's name goes with the rename: a move that an earlier update scheduled finds nothing.
    // A file in use (a running program, a loaded library, or the copy itself held by a scanner)
    // refuses the rename with one of these; after the last try the copy replaces it at the
    // restart. That needs MOVEFILE_REPLACE_EXISTING, or the scheduled move would fail on the old
    // file that is still there.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1;; ++attempt) {
        if (m_calls.rename(staged.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        error = ::GetLastError();
        if (!IsInUse(error) || attempt == kRenameAttempts) break;
        ::Sleep(m_calls.renamePauseMs);
    }
    if (IsInUse(error) &&
        m_calls.moveFileEx(staged.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
        WriteLog(Format("файл %s будет заменен при следующей перезагрузке", to));
        return true;
    }
    ::DeleteFileA(staged.c_str());  // nothing will ever take it
    if (readOnly) ::SetFileAttributesA(to.c_str(), attributes);
    return false;
}

void CUpdaterDlg::WriteLog(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) return;
    // Relative to the current directory, inherited from the host program; the folder is never
    // created here, so without it nothing is written.
    char path[64] = "";
    char prefix[32] = "";
    if (!std::strftime(path, sizeof path, "logs\\%Y_%m\\%Y-%m-%d.txt", local) ||
        !std::strftime(prefix, sizeof prefix, "[%H:%M:%S] ", local))
        return;
    kit::UniqueFile file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
    std::string line = text.size() > 3 ? prefix + text : text;
    line += "\r\n";
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace updater
