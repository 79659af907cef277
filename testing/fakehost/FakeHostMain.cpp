// A stand-in for the host program and for the programs the updater starts, for the updater tests.
//   fakehost wait <event name>     runs until the test sets the named event (at most two minutes,
//                                  so that a failed test leaves nothing behind)
//   fakehost record <file> [...]   writes its own command line to <file> and ends
//   fakehost pendrake <event name> <plug-in> <temporary folder> <base URL> <program folder> <version file>
//                                  a host of the update plug-in: runs GetPluginRunProcUpdate with
//                                  that request, then its message loop until the event is set; a
//                                  thread message kRunAgain runs a run procedure again (wParam 1:
//                                  the quiet check, 0: the menu's), and "<event name>.ran" is set
//                                  once it has returned
//   fakehost [anything else]       a program the updater starts by its path (no arguments), or one
//                                  that must never run: writes "<its own path>.ran" and ends
// The tests copy it into their folders, so that its path holds the text the updater waits for.
#include <windows.h>

#include <cstring>
#include <string>

#include "base/Unique.h"
#include "update/PendrakeExports.h"

namespace {

constexpr DWORD kLongestWaitMs = 120000;
constexpr UINT kRunAgain = WM_APP + 1;  // the tests post it to the main thread

int Wait(const char* eventName) {
    kit::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, eventName));
    if (!event) return 3;
    return ::WaitForSingleObject(event.get(), kLongestWaitMs) == WAIT_OBJECT_0 ? 0 : 4;
}

int Record(const char* path) {
    kit::UniqueFile file(
        ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    const char* commandLine = ::GetCommandLineA();
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(std::strlen(commandLine));
    return ::WriteFile(file.get(), commandLine, length, &written, nullptr) && written == length ? 0 : 4;
}

// "<its own path>.ran": its command line, its current directory and how it was asked to show its
// window ("show <n>", or "show default" without STARTF_USESHOWWINDOW), one line each. Written under
// another name and renamed, so that a reader never sees half of it.
int RecordStart() {
    char self[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (!length || length >= MAX_PATH) return 3;
    char directory[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, directory);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    std::string text = std::string(::GetCommandLineA()) + "\r\n" + directory + "\r\nshow " +
                       ((startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(startup.wShowWindow) : "default") +
                       "\r\n";
    const std::string ran = std::string(self) + ".ran";
    const std::string part = ran + ".part";
    {
        kit::UniqueFile file(::CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size())
            return 4;
    }
    return ::MoveFileExA(part.c_str(), ran.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 5;
}

// The plug-in's question box runs inside the call; its update window is modeless and lives on in
// this loop, as in the host program's.
int HostPlugin(char** argv) {
    kit::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
    if (!event) return 3;
    ::SetEnvironmentVariableA("TMP", argv[4]);
    ::SetEnvironmentVariableA("TEMP", argv[4]);
    kit::UniqueModule plugin(::LoadLibraryExA(argv[3], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!plugin) return 4;
    auto* run = reinterpret_cast<host::exports::GetPluginRunProcUpdate*>(
        reinterpret_cast<void*>(::GetProcAddress(plugin.get(), "GetPluginRunProcUpdate")));
    auto* check = reinterpret_cast<host::exports::GetPluginRunProcUpdateCheck*>(
        reinterpret_cast<void*>(::GetProcAddress(plugin.get(), "GetPluginRunProcUpdateCheck")));
    if (!run || !check) return 5;
    host::UpdateRequest request{argv[5], argv[6], argv[7]};
    run(&request);
    const std::string ranName = std::string(argv[2]) + ".ran";
    const HANDLE waitFor = event.get();
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < kLongestWaitMs) {
        if (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, kLongestWaitMs, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!msg.hwnd && msg.message == kRunAgain) {
                (msg.wParam ? check : run)(&request);
                kit::UniqueHandle ran(::OpenEventA(EVENT_MODIFY_STATE, FALSE, ranName.c_str()));
                if (ran) ::SetEvent(ran.get());
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "wait") == 0) return Wait(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "record") == 0) return Record(argv[2]);
    if (argc >= 8 && std::strcmp(argv[1], "pendrake") == 0) return HostPlugin(argv);
    return RecordStart();
}
