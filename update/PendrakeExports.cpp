// pendrake.dll's exports: the menu entry and the run procedures. Every export runs on the host's
// calling thread and lets no exception out.
#include "update/PendrakeExports.h"

#include <vector>

#include "update/PendrakeApp.h"
#include "update/UpdateWindowIds.h"
#include "updater/HandOverMark.h"

CUpdatePluginApp theApp;

namespace {

const char kMenuText[] = "Проверить обновление программы";
const char kQuestion[] = "Обнаружен пакет обновления программы.\nЖелаете выполнить обновление сейчас?";
const char kUpToDate[] = "Вы используете актуальную версию";
const char kTitle[] = "Обновление";
constexpr DWORD kTempCapacity = 65534;

// Fills a host-owned string through the manager named in its own header, as an assignment of
// the host's class library does; a string of our manager is simply assigned.
void WriteOutString(kit::String* target, const char* text) {
    if (target) *target = text;
}

}  // namespace

// The plug-in goes on the thread that gave its last reference back. Once an update window has
// been made the module is pinned (UpdateDialog.cpp) and a FreeLibrary never brings this here; the
// road off the window's thread stays for a module that could not be pinned: the window is cut
// loose and hidden by its own thread, and the objects are left, since none of their destructors
// may run off that thread.
void CUpdatePluginApp::ExitInstance() {
    if (currentWindow && currentWindow->handle() &&
        ::GetWindowThreadProcessId(currentWindow->handle(), nullptr) != ::GetCurrentThreadId()) {
        currentWindow->Abandon();
        (void)currentWindow.release();
        return;
    }
    currentWindow.reset();
}

void CUpdatePluginApp::RunUpdate(const host::UpdateRequest& request, bool quiet) {
    if (currentWindow && currentWindow->IsBusy()) return;
    std::vector<char> temp(kTempCapacity + 1, '\0');
    ::GetTempPathA(kTempCapacity, temp.data());
    // A hand-over is final: while its updater runs, nothing here may touch the update folder.
    if (handover::IsMarked(std::string(temp.data()) + UpdateList::kUpdateFolder)) return;
    const UpdateStartInfo info{request.baseUrl, request.programFolder, temp.data(), request.versionFile};
    if (QuickUpdateCheck(&info)) {
        if (::MessageBoxA(::GetDesktopWindow(), kQuestion, kTitle, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
        currentWindow.reset();
        currentWindow = std::make_unique<CUpdateDlg>();
        if (currentWindow->Create(IDD_UPDATE, nullptr, &info)) ::ShowWindow(currentWindow->handle(), SW_SHOW);
    } else if (!quiet) {
        ::MessageBoxA(::GetDesktopWindow(), kUpToDate, kTitle, MB_OK | MB_ICONINFORMATION);
    }
}

extern "C" void __cdecl GetPluginMenu(std::uint32_t, host::PluginMenuItem* item, int* cursor) {
    kit::GuardExport([&] {
        if (!cursor) return;
        if (*cursor != 0 || !item) {
            *cursor = 0;
            return;
        }
        item->commandId = host::kPluginMenuCommandId;
        item->flags = host::kPluginMenuFlags;
        item->reserved = 0;
        WriteOutString(item->caption, kMenuText);
        WriteOutString(item->hint, kMenuText);
        *cursor = 1;
    });
}

extern "C" void __cdecl GetPluginRunProcUpdate(host::UpdateRequest* request) {
    kit::GuardExport([&] {
        if (request) theApp.RunUpdate(*request, false);
    });
}

extern "C" void __cdecl GetPluginRunProcUpdateCheck(host::UpdateRequest* request) {
    kit::GuardExport([&] {
        if (request) theApp.RunUpdate(*request, true);
    });
}

extern "C" void __cdecl GetPluginRunProc(unsigned int, std::uintptr_t request, long, unsigned long* result) {
    GetPluginRunProcUpdate(reinterpret_cast<host::UpdateRequest*>(request));
    if (result) *result = 0;
}

HOST_CHECK_EXPORT(GetPluginMenu);
HOST_CHECK_EXPORT(GetPluginRunProcUpdate);
HOST_CHECK_EXPORT(GetPluginRunProcUpdateCheck);
HOST_CHECK_EXPORT(GetPluginRunProc);
