// The entry point of every plug-in DLL: it hands load and unload to the plug-in's application
// object. Compiled into each plug-in (a DllMain inside a static library would not be linked).
#include <windows.h>

#include "base/PluginApp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        return kit::PluginApp::OnProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        kit::PluginApp::OnProcessDetach();
        return TRUE;
    default:
        return TRUE;
    }
}
