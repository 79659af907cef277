// A host process for the two roads out of a plug-in: it makes a host window, has brasko.dll create
// its action window as that window's child, and then either unloads the plug-in (FreeLibrary) or,
// with ravo.dll in the middle of a statistics request on another thread, ends the process. It
// prints what it sees; a WM_PARENTNOTIFY for the action window's destruction shows whether the
// plug-in destroyed its window.
//   exit_probe unload <brasko.dll>
//   exit_probe exit <brasko.dll> <ravo.dll>
#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "hostapi/ExportTypes.h"
#include "testing/host/HostStrings.h"

namespace {

constexpr int kUnloadedCode = 21;
constexpr int kExitCode = 37;
constexpr int kFailedCode = 3;

void Say(const char* line) {
    DWORD written = 0;  // straight to the handle: also safe while the loader lock is held
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PARENTNOTIFY && LOWORD(wParam) == WM_DESTROY) Say("action window destroyed\n");
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeHostWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HostProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "ExitProbeHost";
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
}

template <class Fn>
Fn* Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The action window, created by the plug-in's first call on a limit (no limit line, no action).
bool MakeActionWindow(HMODULE brasko, HWND host) {
    auto* run = Export<host::exports::RunExternalFunction>(brasko, "RunExternalFunction");
    if (!run) return false;
    host::ExternalCall call{host, 0, 0, nullptr};
    run(&call);
    return ::FindWindowExA(host, nullptr, nullptr, "WallAction") != nullptr;
}

struct Request {
    host::exports::GetOneStats* getOneStats;
    host::StatsRequest record;
};

DWORD WINAPI RequestMain(void* param) {
    auto* request = static_cast<Request*>(param);
    int result = 0;
    request->getOneStats(&request->record, &result);
    Say("the request returned\n");  // never: the server stays silent
    return 0;
}

int EndWithSessionOpen(const char* ravoPath) {
    HMODULE ravo = ::LoadLibraryA(ravoPath);
    if (!ravo) return kFailedCode;
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return kFailedCode;
    // A server that accepts the connection (the system does, from its backlog) and never answers.
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener == INVALID_SOCKET || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return kFailedCode;

    char base[64];
    ::wsprintfA(base, "http://127.0.0.1:%u/ktvinet", static_cast<unsigned>(ntohs(address.sin_port)));
    static hoststub::HostString url(base);
    static Request request{Export<host::exports::GetOneStats>(ravo, "GetOneStats"), {}};
    if (!request.getOneStats) return kFailedCode;
    request.record.hostWindow = nullptr;  // this thread, the host window's, will not pump
    request.record.serverBaseUrl = url.object();
    request.record.directConnection = 1;
    request.record.serverIndex = 0;
    if (!::CreateThread(nullptr, 0, &RequestMain, &request, 0, nullptr)) return kFailedCode;

    fd_set pending;
    FD_ZERO(&pending);
    FD_SET(listener, &pending);
    timeval wait{10, 0};
    if (::select(0, &pending, nullptr, nullptr, &wait) != 1) return kFailedCode;
    SOCKET connection = ::accept(listener, nullptr, nullptr);
    char first[16];
    if (connection == INVALID_SOCKET || ::recv(connection, first, sizeof first, 0) <= 0) return kFailedCode;
    Say("session open\n");  // the request has been sent; its thread waits for the answer
    ::ExitProcess(kExitCode);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return kFailedCode;
    const std::string mode = argv[1];
    HWND host = MakeHostWindow();
    HMODULE brasko = ::LoadLibraryA(argv[2]);
    if (!host || !brasko || !MakeActionWindow(brasko, host)) return kFailedCode;
    Say("action window made\n");
    if (mode == "unload") {
        ::FreeLibrary(brasko);
        Say("unloaded\n");
        return kUnloadedCode;
    }
    if (mode == "exit" && argc >= 4) return EndWithSessionOpen(argv[3]);
    return kFailedCode;
}
