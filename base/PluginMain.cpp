// The entry point of every plug-in DLL: it hands load and unload to the plug-in's application
// object. Compiled into each plug-in (a DllMain inside a static library would not be linked).
// At DLL_PROCESS_DETACH a non-null `reserved` means that the process ends (FreeLibrary passes
// null); PluginApp takes another road then.
#include <windows.h>

#include "base/PluginApp.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(instance);
        return kit::PluginApp::OnProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        kit::PluginApp::OnProcessDetach(reserved != nullptr);
        return TRUE;
    default:
        return TRUE;
    }
}
