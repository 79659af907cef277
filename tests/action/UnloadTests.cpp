// brasko.dll leaves nothing of its code behind when it is unloaded: its hidden window, a child of
// the host window, is destroyed on the host's thread whichever thread unloads the plug-in (or is
// cut loose from its code when that thread does not answer), so neither Brasko's late replies
// nor the host window's destruction run code that is gone, and a later load starts afresh.
#include <doctest/doctest.h>

#include "action/BraskoProtocol.h"
#include "tests/action/ActionRig.h"

using namespace actiontest;
using namespace brasko;

namespace {

constexpr char kText[] = "1 \xC3\xC1";  // "1 ГБ"

enum class Unload { OnUiThread, OnOtherThread, WhileUiThreadBlocked, AfterHostDestroyed };

// Keeps the host's user-interface thread inside a call (taking no message) until released.
class UiThreadBlock {
public:
    explicit UiThreadBlock(hoststub::StandInHost& host) : m_host(host) {
        m_thread.reset(::CreateThread(nullptr, 0, &UiThreadBlock::Main, this, 0, nullptr));
        REQUIRE(m_thread);
        REQUIRE(::WaitForSingleObject(m_inside.get(), 10000) == WAIT_OBJECT_0);
    }
    ~UiThreadBlock() { Release(); }
    void Release() {
        ::SetEvent(m_release.get());
        ::WaitForSingleObject(m_thread.get(), 10000);
    }

private:
    static DWORD WINAPI Main(void* param) {
        auto* self = static_cast<UiThreadBlock*>(param);
        self->m_host.RunOnUiThread([self] {
            ::SetEvent(self->m_inside.get());
            ::WaitForSingleObject(self->m_release.get(), 30000);
        });
        return 0;
    }

    hoststub::StandInHost& m_host;
    kit::UniqueHandle m_inside{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_thread;
};

}  // namespace

TEST_CASE("load, use, unload, destroy the host, load again") {
    braskostub::BraskoProgram brasko(BraskoStandInExe());
    brasko.SetScript(-1, false, true);
    const struct {
        const char* what;
        Unload unload;
    } cycles[] = {
        {"unloaded on the window's thread", Unload::OnUiThread},
        {"unloaded on another thread", Unload::OnOtherThread},
        {"unloaded on another thread while the host's thread does not answer", Unload::WhileUiThreadBlocked},
        {"host window destroyed before the unload", Unload::AfterHostDestroyed},
    };
    for (const auto& cycle : cycles) {
        const std::string what = cycle.what;
        CAPTURE(what);
        auto host = std::make_unique<hoststub::StandInHost>();
        std::optional<hoststub::PluginModule> plugin;
        if (cycle.unload == Unload::OnUiThread) host->RunOnUiThread([&] { plugin.emplace(BraskoDll()); });
        else plugin.emplace(BraskoDll());
        auto run = plugin->Resolve<RunExternalFn>("RunExternalFunction");

        host->CallExternalFunction(run, 1, 2, kText, host->window());
        brasko.Drain();
        host->DrainPosted();
        const HWND window = ::FindWindowExA(host->window(), nullptr, nullptr, "WallAction");
        REQUIRE(window != nullptr);
        CHECK(host->logLines().size() == 3);  // limit, attempt, confirmation

        switch (cycle.unload) {
        case Unload::OnUiThread:
            host->RunOnUiThread([&] { plugin.reset(); });
            CHECK_FALSE(::IsWindow(window));
            break;
        case Unload::OnOtherThread:
            plugin.reset();  // the destruction is handed to the host's thread
            CHECK_FALSE(::IsWindow(window));
            break;
        case Unload::WhileUiThreadBlocked: {
            UiThreadBlock block(*host);
            plugin.reset();  // waits in vain for the host's thread, then cuts the window loose
            block.Release();
        }
            // The window stays until the host window goes, answered by the system's default.
            CHECK(::IsWindow(window));
            CHECK(::SendMessageA(window, WM_BRASKO_SEGMENT_ON_DONE, 0, 0) == 0);
            {
                // Loaded again while that window lives on: the new window is a working one.
                hoststub::PluginModule again(BraskoDll());
                host->CallExternalFunction(again.Resolve<RunExternalFn>("RunExternalFunction"), 1, 2, kText,
                                           host->window());
                brasko.Drain();
                host->DrainPosted();
                CHECK(host->logLines().size() == 6);
                HWND second = nullptr;
                for (HWND child = nullptr; (child = ::FindWindowExA(host->window(), child, nullptr, "WallAction"));)
                    if (child != window) second = child;
                CHECK(second != nullptr);
                host->RunOnUiThread([&] { again.Unload(); });
                CHECK_FALSE(::IsWindow(second));
            }
            CHECK(host->logLines().size() == 6);
            break;
        case Unload::AfterHostDestroyed:
            host.reset();
            CHECK_FALSE(::IsWindow(window));
            plugin.reset();
            break;
        }
        CHECK(::GetModuleHandleA("brasko.dll") == nullptr);

        if (host) {
            // A late reply to the old window, then the host window's destruction with its children.
            brasko.PostFromBrasko(WM_BRASKO_SEGMENT_ON_DONE, window);
            brasko.Drain();
            host->DrainPosted();
            CHECK(host->logLines().size() == (cycle.unload == Unload::WhileUiThreadBlocked ? 6u : 3u));
            host.reset();
        }
        CHECK_FALSE(::IsWindow(window));

        // A new load on a new host starts with no window and no flags.
        hoststub::StandInHost next;
        hoststub::PluginModule again(BraskoDll());
        next.CallExternalFunction(again.Resolve<RunExternalFn>("RunExternalFunction"), 1, 2, kText, next.window());
        brasko.Drain();
        next.DrainPosted();
        CHECK(LogText(next.logLines()) ==
              LogText({std::string(kLimitLines[0]) + kText, kAttemptSegmentOn, kSegmentOnDone}));
        next.RunOnUiThread([&] { again.Unload(); });
    }
    CHECK(brasko.Received(braskostub::WindowRole::TitleDecoy).empty());
}
