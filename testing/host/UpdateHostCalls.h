// What the stand-in host does with the update plug-in: walks its menu export with strings of its
// own (the plug-in writes into them through the out-string protocol), and calls its run
// procedures on the host's user-interface thread with an UpdateRequest whose texts it owns.
// A run procedure may show message boxes and the update window on that thread; tests answer them
// from another thread (see DialogDriver below).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/Unique.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UiDriver.h"
#include "update/PendrakeExports.h"

namespace hoststub {

struct PluginMenuRow {
    int commandId = 0;
    int flags = 0;
    int reserved = 0;
    std::string caption;
    std::string hint;
};

// The menu cursor protocol over GetPluginMenu; the host's strings are released afterwards.
std::vector<PluginMenuRow> WalkPluginMenu(host::exports::GetPluginMenu* menu);

struct UpdateRequestTexts {
    std::string baseUrl;
    std::string programFolder;
    std::string versionFile;
};

// Calls `run` with a request of these texts on the host's user-interface thread and waits.
void CallRunProcedure(StandInHost& host, host::exports::GetPluginRunProcUpdate* run, const UpdateRequestTexts& texts);
// The same through GetPluginRunProc / the decorated alias; returns what it wrote to its result.
unsigned long CallRunProc(StandInHost& host, host::exports::GetPluginRunProc* run, const UpdateRequestTexts& texts);

// Answers another thread's dialogs and message boxes by control id, from a thread of its own.
class DialogDriver {
public:
    // The first visible dialog (class #32770) of `thread` whose caption is `title`, waited for.
    static HWND WaitForDialog(DWORD thread, const std::string& title, DWORD timeoutMs = 10000) {
        return hoststub::WaitForDialog(thread, title, timeoutMs);
    }
    // Sends BM_CLICK to the button `id` of `dialog` (the click runs on the dialog's thread).
    static void Click(HWND dialog, int id);
    static std::string Text(HWND window) { return WindowText(window); }
    static std::string ItemText(HWND dialog, int id) { return Text(::GetDlgItem(dialog, id)); }

    // Starts a thread that waits for the dialog `title` of `thread`, records its message text
    // (control 0xFFFF) and presses `button`.
    DialogDriver(DWORD thread, std::string title, int button, DWORD timeoutMs = 10000);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    // Waits for the thread; true when the dialog came and was answered.
    bool Answered();
    const std::string& MessageText() const { return m_text; }

private:
    static DWORD WINAPI Body(void* self);
    DWORD m_thread;
    std::string m_title;
    int m_button;
    DWORD m_timeout;
    std::string m_text;
    bool m_answered = false;
    kit::UniqueHandle m_worker;
};

}  // namespace hoststub
