// updater.exe: the program that the update plug-in writes into "_update" below the temporary
// folder and starts with the update list's path on its command line. One program object, one
// modal dialog; the program ends when the dialog does.
//
// The program's own folder is the user's temporary folder, where any program of the user can put
// a DLL, and the updater may run elevated: it imports only DLLs that the loader never looks for
// there (the system's known DLLs, and comctl32 bound by the manifest to the side-by-side store),
// and before anything else it takes that folder out of the search of every later load.
#include <windows.h>
#include <commctrl.h>

#include "updater/UpdaterDlg.h"

namespace {

// Later loads (those the system makes on the program's behalf among them) search the system folder
// only. The call exists from Windows 8, and on Windows 7 with its loader update: found at run time.
void LoadLibrariesFromSystemOnly() {
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");  // always loaded: no reference to own
    auto* setDefault = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

class CUpdaterApp {
public:
    int Run() {
        LoadLibrariesFromSystemOnly();
        ::InitCommonControls();
        updater::CUpdaterDlg dialog;
        dialog.DoModal();
        return 0;
    }
};

CUpdaterApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
