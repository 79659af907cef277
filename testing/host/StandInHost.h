// The stand-in for the host program: a host window on a user-interface thread of its own that
// answers the host messages the way the real host is expected to, and records what it received.
// Tests and the demo run plug-in exports on that thread (RunOnUiThread), as the real host does,
// so messages a plug-in sends or posts arrive exactly as they would in the host.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/CriticalSection.h"
#include "base/Unique.h"

namespace host {
struct ExternalCall;
struct ShowStatsRequest;
struct StyleMenuItem;
}

namespace hoststub {

using StatsPairs = std::vector<std::pair<std::string, std::string>>;

class StandInHost {
public:
    StandInHost();
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    HWND window() const { return m_window; }
    DWORD uiThreadId() const { return m_threadId; }

    // Runs `work` on the host's user-interface thread and waits for it; rethrows what it throws.
    void RunOnUiThread(const std::function<void()>& work);
    // Lets the user-interface thread's message loop run for a while (posted replies arrive).
    void PumpFor(DWORD milliseconds);
    // Returns once the user-interface thread has handled every message posted to it before the
    // call (posted messages of one thread come out in the order they went in).
    void DrainPosted();

    // The action plug-in's call on a reached limit, made as the host makes it: on the
    // user-interface thread, with the limit's text in a host string that lives for the call.
    using RunExternalFn = void (*)(host::ExternalCall*);
    void CallExternalFunction(RunExternalFn run, int limitKind, int actionId, const std::string& text,
                              HWND hostWindow);

    // A host that calls a plug-in again from inside its handlers: `hook` runs on the user-interface
    // thread after the host has answered each host message (0x8002 to 0x801C), with that message.
    // An empty hook ends it.
    void SetMessageHook(std::function<void(UINT message)> hook);
    // The two ways a handler calls again: at once, or from a timer of its thread while it pumps
    // messages. Returns once `call` has run; false when the timer never came.
    enum class Nesting { Direct, FromTimer };
    static bool CallNested(Nesting nesting, const std::function<void()>& call);

    // What the host received (copies, kept by the host as the real one would).
    std::vector<std::string> logLines() const;
    std::vector<std::string> userErrors() const;
    std::vector<StatsPairs> statsLists() const;
    void ClearRecords();

    // The current statistics, from which WM_HOST_GET_VALUE is answered.
    void SetValue(const std::string& key, const std::string& value);

    // The statistics windows' side. Every statistics-window message the host answered, in order:
    // the message, the key it named (value, option or ini key; the text for WM_HOST_TRAY_TEXT)
    // and, for the ini messages, the ini file.
    struct WindowCall {
        UINT message;
        std::string key;
        std::string iniFile;
    };
    std::vector<WindowCall> windowCalls() const;
    std::vector<std::string> trayTexts() const;
    // The host's own options ("dblclk", the four alert options) and user limits
    // ("sattraficlimituser" and the three others), which no statistics list carries.
    void SetOption(const std::string& option, bool on);
    void SetUserLimit(const std::string& key, const std::string& value);
    // The folder below which the ini messages resolve their relative paths (made on first
    // write); a fresh folder in the temporary folder until set.
    void SetHostFolder(const std::string& folder);
    std::string HostFolder() const;

    // The statistics-window exports, called on the user-interface thread as the host calls them.
    using StyleMenuFn = void (*)(host::StyleMenuItem*, int*);
    using ShowStatsFn = void (*)(host::ShowStatsRequest*, int*);
    int ShowStats(ShowStatsFn show, int styleId, int hideDelaySeconds, HWND hostWindow);
    int ShowStats(ShowStatsFn show, int styleId, int hideDelaySeconds) {
        return ShowStats(show, styleId, hideDelaySeconds, m_window);
    }

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void RunMessageHook(UINT message);

    HWND m_window = nullptr;
    DWORD m_threadId = 0;
    kit::UniqueHandle m_thread;
    kit::UniqueHandle m_ready;
    mutable kit::CriticalSection m_lock;
    std::vector<std::string> m_log;
    std::vector<std::string> m_errors;
    std::vector<StatsPairs> m_lists;
    std::map<std::string, std::string> m_values;
    std::vector<WindowCall> m_windowCalls;
    std::vector<std::string> m_trays;
    std::map<std::string, bool> m_options;
    std::map<std::string, std::string> m_userLimits;
    mutable std::string m_hostFolder;
    std::function<void(UINT)> m_messageHook;

    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::string IniPath(const std::string& relative) const;
};

}  // namespace hoststub
