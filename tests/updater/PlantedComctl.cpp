// A DLL that stands in for one that another program of the user put beside updater.exe under the
// name comctl32.dll: it exports what the updater imports from comctl32 and, once loaded, leaves
// "<its own path>.loaded" as the trace that its code ran in the updater's process.
#include <windows.h>

#include <string>

#include "base/Unique.h"

namespace {

void LeaveTrace(HINSTANCE self) {
    char path[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(self, path, MAX_PATH);
    if (!length || length >= MAX_PATH) return;
    const kit::UniqueFile trace(::CreateFileA((std::string(path, length) + ".loaded").c_str(), GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

// Takes no arguments, so the stdcall import and this cdecl definition agree on the stack.
extern "C" void InitCommonControls() {}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveTrace(self);
    return TRUE;
}
