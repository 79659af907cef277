// The Brasko stand-in: a separate program with the Brasko main window (class "TBraskoMainForm",
// title "Brasko") that records every message it receives and answers the plug-in's commands by
// the script in the shared memory, plus two decoys that must never be addressed.
//   braskostandin <name of the shared memory> <process id of the test>
// It ends when the test closes its control window, or when the test's process ends.
#include <windows.h>

#include <cstdlib>

#include "action/BraskoProtocol.h"
#include "base/Unique.h"
#include "base/Window.h"
#include "testing/brasko/BraskoShared.h"

using namespace brasko;
using namespace braskostub;

namespace {

constexpr char kDecoyClass[] = "TBraskoOtherForm";
constexpr char kControlClass[] = "KitBraskoStandInControl";

Shared* g_shared = nullptr;

std::uint32_t HandleValue(HWND hwnd) { return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hwnd)); }

// A null reply address has no window to answer (a post to null would land in our own queue).
void Post(HWND target, UINT message, WPARAM wParam) {
    if (target) ::PostMessageA(target, message, wParam, kReplyNoiseLParam);
}

class RecordingWindow : public kit::Window {
public:
    explicit RecordingWindow(WindowRole role) : m_role(role) {}

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (!g_shared->ready) return kit::Window::OnMessage(message, wParam, lParam);
        const LONG index = g_shared->count;
        if (index < kMaxRecords)
            g_shared->records[index] = {m_role, message, static_cast<std::uint32_t>(wParam),
                                        static_cast<std::uint32_t>(lParam)};
        if (m_role == WindowRole::Main) Answer(message, reinterpret_cast<HWND>(wParam));
        // Published after the reply is posted: whoever sees the record finds the reply queued.
        if (index < kMaxRecords) ::InterlockedIncrement(&g_shared->count);
        return kit::Window::OnMessage(message, wParam, lParam);
    }

private:
    static void Answer(UINT message, HWND replyTo) {
        const Script& script = g_shared->script;
        switch (message) {
        case WM_BRASKO_QUERY_STATE:
            if (script.state >= 0) Post(replyTo, WM_BRASKO_STATE, static_cast<WPARAM>(script.state));
            break;
        case WM_BRASKO_WORLD_OFF:
            if (script.confirmWorldOff) Post(replyTo, WM_BRASKO_WORLD_OFF_DONE, kReplyNoiseWParam);
            break;
        case WM_BRASKO_SEGMENT_ON:
            if (script.confirmSegmentOn) Post(replyTo, WM_BRASKO_SEGMENT_ON_DONE, kReplyNoiseWParam);
            break;
        default:
            break;
        }
    }

    WindowRole m_role;
};

class ControlWindow : public kit::Window {
protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_STANDIN_DRAIN:
            ::InterlockedExchange(&g_shared->drained, static_cast<LONG>(wParam));
            return 0;
        case WM_STANDIN_POST_TO:
            Post(reinterpret_cast<HWND>(lParam), static_cast<UINT>(wParam), kReplyNoiseWParam);
            return 0;
        default:
            return kit::Window::OnMessage(message, wParam, lParam);
        }
    }
    void OnDestroy() override { ::PostQuitMessage(0); }
};

bool Register(const char* name) {
    WNDCLASSEXA windowClass{};
    windowClass.lpszClassName = name;
    return kit::Window::RegisterWindowClass(windowClass);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    kit::UniqueHandle test(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10))));
    if (!test) return 2;
    kit::UniqueHandle mapping(::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, argv[1]));
    if (!mapping) return 3;
    kit::UniqueMappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
    if (!view) return 3;
    g_shared = static_cast<Shared*>(view.get());
    if (!Register(kMainWindowClass) || !Register(kDecoyClass) || !Register(kControlClass)) return 4;

    // The main window first: later top-level windows lie above it, so a lookup by class or by
    // title alone would find a decoy.
    RecordingWindow main(WindowRole::Main);
    RecordingWindow titleDecoy(WindowRole::TitleDecoy);
    RecordingWindow classDecoy(WindowRole::ClassDecoy);
    ControlWindow control;
    const RECT rect{0, 0, 300, 200};
    if (!main.Create(kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, rect, nullptr) ||
        !titleDecoy.Create(kMainWindowClass, "Brasko 2", WS_OVERLAPPEDWINDOW, rect, nullptr) ||
        !classDecoy.Create(kDecoyClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW, rect, nullptr) ||
        !control.Create(kControlClass, "Brasko stand-in control", WS_OVERLAPPEDWINDOW, rect, nullptr))
        return 5;
    g_shared->windows[static_cast<int>(WindowRole::Main)] = HandleValue(main.handle());
    g_shared->windows[static_cast<int>(WindowRole::TitleDecoy)] = HandleValue(titleDecoy.handle());
    g_shared->windows[static_cast<int>(WindowRole::ClassDecoy)] = HandleValue(classDecoy.handle());
    g_shared->control = HandleValue(control.handle());
    ::InterlockedExchange(&g_shared->ready, 1);

    for (;;) {
        const HANDLE waitFor = test.get();
        if (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        bool quit = false;
        while (!quit && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            quit = msg.message == WM_QUIT;
            if (!quit) ::DispatchMessageA(&msg);
        }
        if (quit) break;
    }
    ::InterlockedExchange(&g_shared->ready, 0);  // what the windows get while they close is not recorded
    return 0;
}
