// The process scan of the updater's wait (see ProcessScan.h).
#include "updater/ProcessScan.h"

#include <psapi.h>

#include <vector>

#include "base/Unique.h"

namespace updater {

namespace {

// The main module's path: the module list of a process opened for reading, or, when that is
// refused (a process of higher rights, or of the other word size), the image name, which asks
// only for the limited query right.
std::string ProcessPath(DWORD process) {
    char path[MAX_PATH + 1] = "";
    kit::UniqueHandle handle(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process));
    if (handle) {
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (::EnumProcessModules(handle.get(), &module, sizeof module, &needed) &&
            ::GetModuleFileNameExA(handle.get(), module, path, MAX_PATH) > 0)
            return path;
    }
    handle.reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    if (!handle) return {};
    DWORD size = MAX_PATH;
    if (!::QueryFullProcessImageNameA(handle.get(), 0, path, &size)) return {};
    return std::string(path, size);
}

}  // namespace

std::string LowerCase(std::string text) {
    if (!text.empty()) ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

bool MatchProcessPath(DWORD process, const std::string& text, DWORD skip) {
    if (process == skip) return false;
    const std::string path = ProcessPath(process);
    return !path.empty() && LowerCase(path).find(text) != std::string::npos;
}

bool FindProcessByPath(const std::string& text) {
    if (text.size() < 3) return false;
    // A full buffer may have cut the list short: grow it until the list fits.
    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!::EnumProcesses(ids.data(), capacity, &bytes)) return false;
        if (bytes < capacity || ids.size() >= 65536) break;
        ids.resize(ids.size() * 2);
    }
    if (bytes < sizeof(DWORD)) return false;
    const DWORD self = ::GetCurrentProcessId();
    const std::size_t count = bytes / sizeof(DWORD);
    for (std::size_t i = 0; i < count; ++i)
        if (MatchProcessPath(ids[i], text, self)) return true;
    return false;
}

}  // namespace updater
