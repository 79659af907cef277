// Driving another thread's menus and dialogs the way a user would, by their ids: wait for the
// menu or dialog the thread opens, choose a menu command by its id (the keys that reach it), press
// a dialog's buttons by posting their commands. For tests of plug-in windows that run on the
// stand-in host's user-interface thread.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hoststub {

// How long a driver waits for a window by default: generous, since the first window of a fresh
// prefix on a loaded machine can take seconds (fonts are found then); a window that comes returns
// at once.
constexpr DWORD kUiWaitMs = 15000;

// The first visible top-level window of `thread` for which `match` is true, waited for up to
// `timeoutMs`; null when none came.
HWND WaitForThreadWindow(DWORD thread, const std::function<bool(HWND)>& match, DWORD timeoutMs = kUiWaitMs);
HWND WaitForPopupMenu(DWORD thread, DWORD timeoutMs = kUiWaitMs);
HWND WaitForDialog(DWORD thread, const std::string& title, DWORD timeoutMs = kUiWaitMs);
HWND WaitForWindowClass(DWORD thread, const std::string& className, DWORD timeoutMs = kUiWaitMs);
bool WaitUntilGone(HWND window, DWORD timeoutMs = kUiWaitMs);

// Every top-level dialog (class #32770) of `thread`, shown or not, in the system's order.
std::vector<HWND> ThreadDialogs(DWORD thread);

std::string ClassNameOf(HWND window);
std::string WindowText(HWND window);

// The menu that an open popup menu window shows.
HMENU MenuOfWindow(HWND menuWindow);
// Chooses the command `id` of the open popup menu: a Down key per selectable item up to it, then
// Enter. False when the menu has no such command.
bool ChooseMenuCommand(HWND menuWindow, UINT id);

// Posts a dialog button's click command to its dialog.
void PressDialogButton(HWND dialog, int id);

}  // namespace hoststub
