// The window base class: when the object is bound and unbound, what its dispatcher unpacks, that
// no exception leaves a window procedure, what becomes of a window whose object dies, and that
// no owner destroys its window when the process ends.
#include <doctest/doctest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/PluginApp.h"
#include "base/Unique.h"
#include "base/Window.h"

namespace {

constexpr UINT WM_TEST_THROW = WM_APP + 1;

class ProbeWindow : public kit::Window {
public:
    std::vector<UINT> seen;
    bool acceptCreate = true;
    bool throwInCreate = false;
    std::string createdName;
    int commandId = -1, commandCode = -1;
    HWND commandControl = nullptr;
    UINT_PTR timerId = 0;
    int destroyed = 0;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == WM_TEST_THROW) throw std::runtime_error("handler failed");
        return kit::Window::OnMessage(message, wParam, lParam);
    }
    bool OnCreate(const CREATESTRUCTA& create) override {
        if (throwInCreate) throw std::runtime_error("create failed");
        createdName = create.lpszName ? create.lpszName : "";
        return acceptCreate;
    }
    bool OnCommand(int id, int code, HWND control) override {
        commandId = id;
        commandCode = code;
        commandControl = control;
        return true;
    }
    void OnTimer(UINT_PTR id) override { timerId = id; }
    void OnDestroy() override { ++destroyed; }
};

const RECT kRect{0, 0, 100, 50};

// A message sequence as text, one hex number each, so a failed comparison shows both sequences.
std::string Sequence(const std::vector<UINT>& messages) {
    std::string text;
    char number[16];
    for (UINT message : messages) {
        ::wsprintfA(number, "%04X ", message);
        text += number;
    }
    return text;
}

DWORD WINAPI CreateOnThisThread(void* param) {
    auto* probe = static_cast<ProbeWindow*>(param);
    return probe->Create(nullptr, "other thread", WS_OVERLAPPEDWINDOW, kRect, nullptr) ? 0 : 1;
}

// Where a window's OnDestroy ran, kept outside the object that dies.
struct DestroyRecord {
    int destroyed = 0;
    DWORD thread = 0;
};

// Records its OnDestroy outside itself, so that the record outlives the object.
class RecordingWindow : public ProbeWindow {
public:
    explicit RecordingWindow(DestroyRecord& record) : m_record(record) {}

protected:
    void OnDestroy() override {
        ++m_record.destroyed;
        m_record.thread = ::GetCurrentThreadId();
    }

private:
    DestroyRecord& m_record;
};

// Destroys its window in its own destructor, as a class whose OnDestroy matters must.
class SelfDestroyingWindow : public RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    ~SelfDestroyingWindow() override { DestroyWindow(); }
};

// The end of the process, as a plug-in's entry point announces it, for the length of a scope.
class ProcessEnding {
public:
    explicit ProcessEnding(bool ending) { kit::PluginApp::OnProcessDetach(ending); }
    ProcessEnding(const ProcessEnding&) = delete;
    ProcessEnding& operator=(const ProcessEnding&) = delete;
    ~ProcessEnding() { kit::PluginApp::OnProcessDetach(false); }
};

// Makes a window on its own thread and pumps until released; with pumpFirst false it waits for
// `pump` without taking any message first.
struct Keeper {
    ProbeWindow* probe = nullptr;
    bool pumpFirst = true;
    DWORD threadId = 0;
    kit::UniqueHandle made{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle pump{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

DWORD WINAPI KeeperMain(void* param) {
    auto* keeper = static_cast<Keeper*>(param);
    keeper->probe->Create(nullptr, "kept", WS_OVERLAPPEDWINDOW, kRect, nullptr);
    ::SetEvent(keeper->made.get());
    if (!keeper->pumpFirst) ::WaitForSingleObject(keeper->pump.get(), INFINITE);
    const HANDLE release = keeper->release.get();
    while (::MsgWaitForMultipleObjects(1, &release, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

TEST_CASE("the object is bound from WM_NCCREATE to WM_NCDESTROY, without touching user data") {
    ProbeWindow probe;
    REQUIRE(probe.Create(nullptr, "probe", WS_OVERLAPPEDWINDOW, kRect, nullptr));
    const HWND hwnd = probe.handle();
    REQUIRE(hwnd != nullptr);
    CHECK(probe.createdName == "probe");
    char title[32] = {};
    ::GetWindowTextA(hwnd, title, sizeof title);
    CHECK(std::string(title) == "probe");  // WM_NCCREATE reached the default procedure too
    CHECK(::GetWindowLongPtrA(hwnd, GWLP_USERDATA) == 0);

    ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(42, 7), reinterpret_cast<LPARAM>(hwnd));
    CHECK(probe.commandId == 42);
    CHECK(probe.commandCode == 7);
    CHECK(probe.commandControl == hwnd);
    ::SendMessageA(hwnd, WM_TIMER, 9, 0);
    CHECK(probe.timerId == 9);

    CHECK(probe.DestroyWindow());
    CHECK(probe.destroyed == 1);
    CHECK(probe.handle() == nullptr);
    // Everything the object saw, in order: nothing before WM_NCCREATE (WM_GETMINMAXINFO of a
    // top-level window comes first and goes to the default), nothing after WM_NCDESTROY.
    const std::vector<UINT> expected = {
        WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE,      // CreateWindowEx
        WM_GETTEXT,                                 // GetWindowTextA
        WM_COMMAND,  WM_TIMER,                      // the two sent above
        WM_DESTROY,  WM_NCDESTROY,                  // DestroyWindow
    };
    CHECK(Sequence(probe.seen) == Sequence(expected));
    CHECK_FALSE(::IsWindow(hwnd));
    CHECK_FALSE(probe.DestroyWindow());
}

TEST_CASE("no exception leaves a window procedure; a failing OnCreate fails the creation") {
    ProbeWindow probe;
    REQUIRE(probe.Create(nullptr, "probe", WS_OVERLAPPEDWINDOW, kRect, nullptr));
    CHECK(::SendMessageA(probe.handle(), WM_TEST_THROW, 0, 0) == 0);
    CHECK(::IsWindow(probe.handle()));

    for (bool throws : {false, true}) {
        CAPTURE(throws);
        ProbeWindow refused;
        refused.acceptCreate = false;
        refused.throwInCreate = throws;
        CHECK_FALSE(refused.Create(nullptr, "refused", WS_OVERLAPPEDWINDOW, kRect, nullptr));
        CHECK(refused.handle() == nullptr);
        // A refused creation ends at once: no WM_DESTROY, the binding goes at WM_NCDESTROY.
        CHECK(Sequence(refused.seen) == Sequence({WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_NCDESTROY}));
        CHECK(refused.destroyed == 0);
    }
}

TEST_CASE("a dying object destroys its window on the window's own thread") {
    HWND child = nullptr;
    ProbeWindow parent;
    REQUIRE(parent.Create(nullptr, "parent", WS_OVERLAPPEDWINDOW, kRect, nullptr));
    {
        ProbeWindow probe;
        REQUIRE(probe.Create(nullptr, "child", WS_CHILD, RECT{0, 0, 1, 1}, parent.handle()));
        child = probe.handle();
    }
    CHECK_FALSE(::IsWindow(child));

    // A window made on a thread that is gone by now: destroyed with its thread, nothing to do.
    auto* probe = new ProbeWindow;
    kit::UniqueHandle thread(::CreateThread(nullptr, 0, &CreateOnThisThread, probe, 0, nullptr));
    ::WaitForSingleObject(thread.get(), INFINITE);
    delete probe;

    // Another thread's window whose thread pumps: the destruction is handed to that thread, and a
    // class that destroys its window in its own destructor still sees its OnDestroy run.
    Keeper keeper;
    DestroyRecord record;
    keeper.probe = new SelfDestroyingWindow(record);
    kit::UniqueHandle keeperThread(::CreateThread(nullptr, 0, &KeeperMain, &keeper, 0, &keeper.threadId));
    ::WaitForSingleObject(keeper.made.get(), INFINITE);
    const HWND handed = keeper.probe->handle();
    REQUIRE(handed != nullptr);
    delete keeper.probe;
    CHECK_FALSE(::IsWindow(handed));
    CHECK(record.destroyed == 1);
    CHECK(record.thread == keeper.threadId);
    ::SetEvent(keeper.release.get());
    ::WaitForSingleObject(keeperThread.get(), INFINITE);
}

// The one road where a window outlives its object: its thread does not take the destroy message
// in time (here it waits without pumping; in a plug-in it may wait for the loader lock that the
// unloading thread holds). The window is cut loose: the default procedure answers it from then on,
// also the late destroy message, and it goes with its thread.
TEST_CASE("a window whose thread does not answer is cut loose") {
    Keeper keeper;
    keeper.pumpFirst = false;
    keeper.probe = new ProbeWindow;
    kit::UniqueHandle keeperThread(::CreateThread(nullptr, 0, &KeeperMain, &keeper, 0, &keeper.threadId));
    ::WaitForSingleObject(keeper.made.get(), INFINITE);
    const HWND loose = keeper.probe->handle();
    REQUIRE(loose != nullptr);
    delete keeper.probe;  // waits for the keeper in vain, then cuts the window loose
    CHECK(::IsWindow(loose));
    CHECK(::GetWindowLongPtrA(loose, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
    CHECK(::GetWindowLongPtrA(loose, 0) == 0);  // no binding left
    ::SetEvent(keeper.pump.get());              // the keeper pumps again: the late message goes to the default
    CHECK(::SendMessageA(loose, WM_TEST_THROW, 0, 0) == 0);
    CHECK(::IsWindow(loose));
    ::SetEvent(keeper.release.get());
    ::WaitForSingleObject(keeperThread.get(), INFINITE);
    CHECK_FALSE(::IsWindow(loose));
}

// A plug-in's global owners die at DLL_PROCESS_DETACH also when the process ends, under the
// loader lock: then no road of an owner destroys its window. A window of ours is cut loose
// instead (no message reaches its object or our procedure again); the system takes them all.
// Each road runs once before the end as the contrast, where it does destroy the window.
TEST_CASE("when the process ends, no owner destroys its window") {
    struct Left {
        HWND window = nullptr;
        DestroyRecord record;
        bool ours = true;  // a window of this library's class, bound to an object
        bool recorded = true;  // its OnDestroy runs when it is destroyed before the end
    };
    using Road = void (*)(bool ending, Left& left);
    const struct {
        std::string name;
        Road road;
    } roads[] = {
        {"the object dies",
         [](bool ending, Left& left) {
             // The base destroys the window, when only Window's handlers are left.
             left.recorded = false;
             auto* probe = new RecordingWindow(left.record);
             REQUIRE(probe->Create(nullptr, "dies", WS_OVERLAPPEDWINDOW, kRect, nullptr));
             left.window = probe->handle();
             ProcessEnding end(ending);
             delete probe;
         }},
        {"the object dies through a destructor that destroys its window",
         [](bool ending, Left& left) {
             auto* probe = new SelfDestroyingWindow(left.record);
             REQUIRE(probe->Create(nullptr, "dies", WS_OVERLAPPEDWINDOW, kRect, nullptr));
             left.window = probe->handle();
             ProcessEnding end(ending);
             delete probe;
         }},
        {"DestroyWindow of a living object",
         [](bool ending, Left& left) {
             RecordingWindow probe(left.record);
             REQUIRE(probe.Create(nullptr, "lives", WS_OVERLAPPEDWINDOW, kRect, nullptr));
             left.window = probe.handle();
             ProcessEnding end(ending);
             CHECK(probe.DestroyWindow() == !ending);
             CHECK(probe.handle() == nullptr);  // the object has let go either way
             CHECK_FALSE(probe.DestroyWindow());
         }},
        {"a UniqueWindow reset",
         [](bool ending, Left& left) {
             left.ours = false;
             kit::UniqueWindow owner(::CreateWindowExA(0, "STATIC", "owned", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                       nullptr, nullptr));
             REQUIRE(owner);
             left.window = owner.get();
             ProcessEnding end(ending);
             owner.reset();
         }},
    };
    for (const auto& road : roads) {
        CAPTURE(road.name);
        for (bool ending : {false, true}) {
            CAPTURE(ending);
            Left left;
            road.road(ending, left);
            CHECK_FALSE(kit::PluginApp::ProcessExiting());
            CHECK(::IsWindow(left.window) == (ending ? TRUE : FALSE));
            if (left.recorded && left.ours) CHECK(left.record.destroyed == (ending ? 0 : 1));
            if (!ending) continue;
            if (left.ours) {
                CHECK(::GetWindowLongPtrA(left.window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
                CHECK(::GetWindowLongPtrA(left.window, 0) == 0);  // no binding left
            }
            ::DestroyWindow(left.window);  // in place of the system
            CHECK(left.record.destroyed == 0);
        }
    }
}
