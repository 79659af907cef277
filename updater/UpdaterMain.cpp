// updater.exe: the program that the update plug-in writes into "_update" below the temporary
// folder and starts with the update list's path on its command line. One program object, one
// modal dialog; the program ends when the dialog does.
#include <windows.h>
#include <commctrl.h>

#include "updater/UpdaterDlg.h"

namespace {

class CUpdaterApp {
public:
    int Run() {
        ::InitCommonControls();
        updater::CUpdaterDlg dialog;
        dialog.DoModal();
        return 0;
    }
};

CUpdaterApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return theApp.Run(); }
