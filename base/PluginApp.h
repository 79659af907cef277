// The application object of a plug-in: one global object per DLL, initialised when the DLL is
// loaded and finished when it is unloaded (PluginMain.cpp drives both from DllMain), and the
// guard that keeps every export from letting an exception reach the host.
//
// Two roads out. FreeLibrary: ExitInstance runs, then the global destructors. The process ends:
// the other threads are gone already and the loader lock is held, so destroying windows or
// closing WinInet handles (which may wait for those threads) is unsafe and useless; ExitInstance
// does not run, AbandonInstance lets go of the owners that the object's destructor would release
// (and may still tell a host window of the exiting thread, whose windows live on, what an unload
// would have told it), the window owners of this library (kit::Window, kit::Dialog,
// kit::UniqueWindow) let their windows go without destroying them, the window classes stay
// registered, and the destructors find nothing left to release. The system reclaims all of it.
#pragma once
#ifdef _WIN32
#include <windows.h>

namespace kit {

class PluginApp {
public:
    PluginApp();
    PluginApp(const PluginApp&) = delete;
    PluginApp& operator=(const PluginApp&) = delete;
    virtual ~PluginApp();

    virtual bool InitInstance() { return true; }
    virtual void ExitInstance() {}
    // The process ends: release nothing; drop every owner that a destructor would release.
    // Runs on the thread that ends the process, with the loader lock held.
    virtual void AbandonInstance() {}

    static PluginApp* Current() { return s_current; }
    HMODULE Module() const { return m_module; }

    // Called by the DLL entry point.
    static bool OnProcessAttach(HMODULE module);
    static void OnProcessDetach(bool processExit);
    // True from the detach of a process that ends: the code that runs after it releases nothing.
    static bool ProcessExiting() { return s_processExiting; }

private:
    HMODULE m_module = nullptr;
    static PluginApp* s_current;
    static bool s_processExiting;
};

// Runs `body` and swallows whatever it throws; exports return their defaults then.
template <class Body>
void GuardExport(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

template <class Result, class Body>
Result GuardExport(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

}  // namespace kit
#endif
