// The window base class: when the object is bound and unbound, what its dispatcher unpacks, that
// no exception leaves a window procedure, and what becomes of a window whose object dies.
#include <doctest/doctest.h>

#include <stdexcept>
#include <vector>

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

DWORD WINAPI CreateOnThisThread(void* param) {
    auto* probe = static_cast<ProbeWindow*>(param);
    return probe->Create(nullptr, "other thread", WS_OVERLAPPEDWINDOW, kRect, nullptr) ? 0 : 1;
}

// Makes a window on its own thread and pumps until released.
struct Keeper {
    ProbeWindow* probe = nullptr;
    kit::UniqueHandle made{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

DWORD WINAPI KeeperMain(void* param) {
    auto* keeper = static_cast<Keeper*>(param);
    keeper->probe->Create(nullptr, "kept", WS_OVERLAPPEDWINDOW, kRect, nullptr);
    ::SetEvent(keeper->made.get());
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
    REQUIRE_FALSE(probe.seen.empty());
    CHECK(probe.seen.front() == WM_NCCREATE);  // WM_GETMINMAXINFO, before it, went to the default
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
    CHECK(probe.seen.back() == WM_NCDESTROY);
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
        REQUIRE_FALSE(refused.seen.empty());
        CHECK(refused.seen.back() == WM_NCDESTROY);
    }
}

TEST_CASE("a dying object destroys its window on the window's thread, and cuts it loose elsewhere") {
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

    // Another thread's live window: the object goes, the window stays with the default procedure.
    Keeper keeper;
    keeper.probe = new ProbeWindow;
    kit::UniqueHandle keeperThread(::CreateThread(nullptr, 0, &KeeperMain, &keeper, 0, nullptr));
    ::WaitForSingleObject(keeper.made.get(), INFINITE);
    const HWND loose = keeper.probe->handle();
    REQUIRE(loose != nullptr);
    delete keeper.probe;
    CHECK(::IsWindow(loose));
    CHECK(::GetWindowLongPtrA(loose, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
    CHECK(::SendMessageA(loose, WM_TEST_THROW, 0, 0) == 0);  // answered by the keeper's default procedure
    ::SetEvent(keeper.release.get());
    ::WaitForSingleObject(keeperThread.get(), INFINITE);
}
