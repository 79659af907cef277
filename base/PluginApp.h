// The application object of a plug-in: one global object per DLL, initialised when the DLL is
// loaded and finished when it is unloaded (PluginMain.cpp drives both from DllMain), and the
// guard that keeps every export from letting an exception reach the host.
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

    static PluginApp* Current() { return s_current; }
    HMODULE Module() const { return m_module; }

    // Called by the DLL entry point.
    static bool OnProcessAttach(HMODULE module);
    static void OnProcessDetach();

private:
    HMODULE m_module = nullptr;
    static PluginApp* s_current;
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
