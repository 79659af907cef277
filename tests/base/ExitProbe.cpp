// A host process for the two roads out of a plug-in: FreeLibrary, which runs the plug-in's exit
// work, and the end of the process, which must skip it. It loads plug-ins as a host does, brings
// them to a state with windows (and, for ravo.dll, a statistics request) alive, takes one road and
// prints what it sees. Two detectors tell whether the plug-in destroyed its windows: the host
// window's WM_PARENTNOTIFY for brasko.dll's action window, and a CBT hook on the thread of the
// windows that prints every HCBT_DESTROYWND from the moment the road is taken.
//   exit_probe unload <brasko.dll>
//   exit_probe exit <brasko.dll> <ravo.dll>
//   exit_probe stats unload|exit <statistics-window dll>
//   exit_probe stats moved|host-gone|other-thread <statistics-window dll>
//   exit_probe update unload|exit <pendrake.dll> <program folder, without a final separator>
// The stats and update roads run the plug-in on the stand-in host's user-interface thread, as the
// host does, and take the road there: exit() is called on the thread whose windows the plug-in
// made. The three further stats roads end the process with ExitProcess and print every host
// message that thread's windows receive from then on: "moved" after moving each window to a place
// of its own (style s to x = 200 + 37 s, y = 100 + 23 s), "host-gone" after destroying the host
// window, "other-thread" from the main thread, while the user-interface thread waits for messages.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/StandInHost.h"
#include "tests/update_window/UpdateServer.h"
#include "update/PendrakeExports.h"

namespace {

constexpr int kUnloadedCode = 21;
constexpr int kExitCode = 37;
constexpr int kFailedCode = 3;

void Say(const char* line) {
    DWORD written = 0;  // straight to the handle: also safe while the loader lock is held
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

// A CBT hook of the calling thread, removed when the scope ends. exit() ends no scope: a watch
// set before it stays in place while the process ends.
class ThreadCbtHook {
public:
    explicit ThreadCbtHook(HOOKPROC proc) : m_hook(::SetWindowsHookExA(WH_CBT, proc, nullptr, ::GetCurrentThreadId())) {}
    ThreadCbtHook(const ThreadCbtHook&) = delete;
    ThreadCbtHook& operator=(const ThreadCbtHook&) = delete;
    ~ThreadCbtHook() {
        if (m_hook) ::UnhookWindowsHookEx(m_hook);
    }
    explicit operator bool() const { return m_hook != nullptr; }

private:
    HHOOK m_hook;
};

// The destroy watch: every window destroyed on the hooked thread.
LRESULT CALLBACK WatchDestroys(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_DESTROYWND) {
        char name[64] = "";
        ::GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
        char line[96];
        ::wsprintfA(line, "destroyed %s\n", name);
        Say(line);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
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

int ActionRoads(const std::string& mode, int argc, char** argv) {
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

struct ShownWindows {
    HINSTANCE module;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectShown(HWND hwnd, LPARAM param) {
    auto* shown = reinterpret_cast<ShownWindows*>(param);
    if (::IsWindowVisible(hwnd) && reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)) == shown->module)
        shown->windows.push_back(hwnd);
    return TRUE;
}

// The visible top-level windows of this thread that belong to `module`.
std::vector<HWND> ShownWindowsList(HMODULE module) {
    ShownWindows shown{module, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectShown, reinterpret_cast<LPARAM>(&shown));
    return shown.windows;
}

int ShownWindowsOf(HMODULE module) { return static_cast<int>(ShownWindowsList(module).size()); }

// The host messages watch: every host message that a window of the hooked thread receives once
// armed, an ini string write as "written <ini file> <section> <key>=<value>", any other as its number.
bool g_watchHostMessages = false;

LRESULT CALLBACK WatchHostMessages(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_watchHostMessages && sent->message >= host::WM_HOST_LOG_LINE &&
        sent->message <= host::WM_HOST_WRITE_INI_INT) {
        std::string line;
        if (sent->message == host::WM_HOST_WRITE_INI_STRING) {
            const auto* request = reinterpret_cast<const host::HostIniRequest*>(sent->wParam);
            line = "written " + hoststub::ReadBoundaryString(&request->iniFile) + " " +
                   hoststub::ReadBoundaryString(&request->section) + " " + hoststub::ReadBoundaryString(&request->key) +
                   "=" + hoststub::ReadBoundaryString(&request->value) + "\n";
        } else {
            char number[48];
            ::wsprintfA(number, "host message 0x%X\n", sent->message);
            line = number;
        }
        Say(line.c_str());
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void SayExitTick() {
    char line[48];
    ::wsprintfA(line, "exit() at %lu\n", ::GetTickCount());
    Say(line);
}

// The roads that end the process with ExitProcess, without FreeLibrary (see the top). They do
// not come back.
int EndProcessRoad(hoststub::StandInHost& host, const std::string& road, const std::vector<HWND>& styleWindows) {
    bool watching = false;
    auto end = [&] {
        // Both set on the user-interface thread and never removed: they stay while the process ends.
        const ThreadCbtHook destroys(&WatchDestroys);
        watching = destroys && ::SetWindowsHookExA(WH_CALLWNDPROC, &WatchHostMessages, nullptr,
                                                   ::GetCurrentThreadId()) != nullptr;
        if (!watching) return;
        g_watchHostMessages = true;
        SayExitTick();
        ::ExitProcess(kExitCode);
    };
    if (road == "other-thread") {
        host.RunOnUiThread([&] { watching = ::SetWindowsHookExA(WH_CALLWNDPROC, &WatchHostMessages, nullptr,
                                                                ::GetCurrentThreadId()) != nullptr; });
        if (!watching) return kFailedCode;
        g_watchHostMessages = true;
        SayExitTick();
        ::ExitProcess(kExitCode);
    }
    host.RunOnUiThread([&] {
        if (road == "moved") {
            for (std::size_t i = 0; i < styleWindows.size(); ++i) {
                const int style = static_cast<int>(i) + 1;
                ::SetWindowPos(styleWindows[i], nullptr, 200 + 37 * style, 100 + 23 * style, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        } else if (road == "host-gone") {
            if (!::DestroyWindow(host.window())) return;
        } else {
            return;
        }
        end();
    });
    return kFailedCode;
}

// Takes the road on the host's user-interface thread, where the plug-in's windows are. The exit
// road does not come back: exit() ends the process from that thread, and the main thread, which
// waits for it, ends with it.
int TakeRoad(hoststub::StandInHost& host, bool exitRoad, HMODULE plugin) {
    bool watching = false;
    host.RunOnUiThread([&] {
        const ThreadCbtHook watch(&WatchDestroys);
        watching = static_cast<bool>(watch);
        if (!watching) return;
        if (exitRoad) {
            SayExitTick();
            std::exit(kExitCode);
        }
        ::FreeLibrary(plugin);
    });
    if (!watching) return kFailedCode;
    Say("unloaded\n");
    return kUnloadedCode;
}

// Every style of a statistics-window plug-in shown with the host's statistics.
int StatsRoad(const std::string& road, const char* dll) {
    hoststub::StandInHost host;
    host.SetValue("pagetitle", "итоги по трафику");
    host.SetValue("updatetime", "01.02 10:00");
    host.SetValue("alltrafic", "1234.5 MB");
    host.SetValue("saldoonline", "12.50 грн.");
    HMODULE plugin = nullptr;
    std::vector<HWND> styleWindows;  // in style order
    host.RunOnUiThread([&] {
        plugin = ::LoadLibraryA(dll);
        if (!plugin) return;
        auto* menu = Export<host::exports::GetWndStatsStyleMenu>(plugin, "GetWndStatsStyleMenu");
        auto* show = Export<host::exports::ShowStatsData>(plugin, "ShowStatsData");
        if (!menu || !show) return;
        host::StyleMenuItem item{};
        int cursor = 0;
        for (int style = 1;; ++style) {
            menu(&item, &cursor);
            if (cursor == 0) break;
            host::ShowStatsRequest request{host.window(), 60, style};
            int result = 0;
            show(&request, &result);
            for (HWND window : ShownWindowsList(plugin))
                if (std::find(styleWindows.begin(), styleWindows.end(), window) == styleWindows.end())
                    styleWindows.push_back(window);
        }
    });
    const int shown = static_cast<int>(styleWindows.size());
    if (!plugin || shown == 0) return kFailedCode;
    char line[64];
    ::wsprintfA(line, "statistics windows shown: %d\n", shown);
    Say(line);
    if (road != "unload" && road != "exit") return EndProcessRoad(host, road, styleWindows);
    const int code = TakeRoad(host, road == "exit", plugin);
    int saved = 0;
    for (const auto& call : host.windowCalls()) saved += call.message == host::WM_HOST_WRITE_INI_STRING;
    ::wsprintfA(line, "position values saved: %d\n", saved);
    Say(line);
    return code;
}

// The question box of the run procedure, answered with OK as it opens; the window then replaces it.
LRESULT CALLBACK AnswerQuestion(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        char name[16] = "";
        ::GetClassNameA(box, name, sizeof name);
        if (std::strcmp(name, "#32770") == 0 && ::GetDlgItem(box, IDOK) && ::GetDlgItem(box, 0xFFFF))
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The update plug-in with its update window open: a local update folder whose list is newer than
// the installed version, the run procedure called and its question answered.
int UpdateRoad(bool exitRoad, const char* dll, const std::string& programFolder) {
    hoststub::StandInHost host;
    updatetest::UpdateServer server;
    server.Set("/upd/updlist.txt",
               updatetest::Route{200, "9999.0\r\n[general]\r\ncountfiles=1\r\ntitle=Выход\r\n[file1]\r\nname=new.bin\r\n"
                                      "version=1.0.0.3\r\nlink=files/\r\nfilesize=5000\r\n"});
    const std::string baseUrl = server.FolderUrl("upd");
    char versionFile[MAX_PATH] = "";
    ::GetSystemDirectoryA(versionFile, MAX_PATH);
    ::lstrcatA(versionFile, "\\kernel32.dll");
    HMODULE plugin = nullptr;
    int shown = 0;
    host.RunOnUiThread([&] {
        plugin = ::LoadLibraryA(dll);
        auto* run = plugin ? Export<host::exports::GetPluginRunProcUpdate>(plugin, "GetPluginRunProcUpdate") : nullptr;
        if (!run) return;
        {
            const ThreadCbtHook answer(&AnswerQuestion);
            host::UpdateRequest request{baseUrl.c_str(), programFolder.c_str(), versionFile};
            run(&request);
        }
        shown = ShownWindowsOf(plugin);
    });
    if (!plugin || shown != 1) return kFailedCode;
    Say("update window shown\n");
    return TakeRoad(host, exitRoad, plugin);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return kFailedCode;
    const std::string mode = argv[1];
    if (mode == "unload" || mode == "exit") return ActionRoads(mode, argc, argv);
    const std::string road = argv[2];
    if (mode == "stats" && argc >= 4) return StatsRoad(road, argv[3]);
    if (road != "unload" && road != "exit") return kFailedCode;
    if (mode == "update" && argc >= 5) return UpdateRoad(road == "exit", argv[3], std::string(argv[4]) + "\\");
    return kFailedCode;
}
