#include "testing/host/UiDriver.h"

namespace hoststub {

namespace {

struct Search {
    const std::function<bool(HWND)>* match;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (::IsWindowVisible(hwnd) && (*search->match)(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM found) {
    if (ClassNameOf(hwnd) == "#32770") reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

constexpr UINT kGetMenu = 0x01E1;  // MN_GETHMENU

}  // namespace

std::string ClassNameOf(HWND window) {
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> ThreadDialogs(DWORD thread) {
    std::vector<HWND> found;
    ::EnumThreadWindows(thread, &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string WindowText(HWND window) {
    if (!window) return {};
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HWND WaitForThreadWindow(DWORD thread, const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        Search search{&match};
        ::EnumThreadWindows(thread, &Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (::GetTickCount() - start > timeoutMs) return nullptr;
        ::Sleep(10);
    }
}

HWND WaitForPopupMenu(DWORD thread, DWORD timeoutMs) { return WaitForWindowClass(thread, "#32768", timeoutMs); }

HWND WaitForWindowClass(DWORD thread, const std::string& className, DWORD timeoutMs) {
    return WaitForThreadWindow(thread, [&](HWND hwnd) { return ClassNameOf(hwnd) == className; }, timeoutMs);
}

HWND WaitForDialog(DWORD thread, const std::string& title, DWORD timeoutMs) {
    return WaitForThreadWindow(
        thread, [&](HWND hwnd) { return ClassNameOf(hwnd) == "#32770" && WindowText(hwnd) == title; }, timeoutMs);
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::IsWindow(window) && ::IsWindowVisible(window)) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(10);
    }
    return true;
}

HMENU MenuOfWindow(HWND menuWindow) {
    return reinterpret_cast<HMENU>(::SendMessageA(menuWindow, kGetMenu, 0, 0));
}

bool ChooseMenuCommand(HWND menuWindow, UINT id) {
    const HMENU menu = MenuOfWindow(menuWindow);
    if (!menu) return false;
    int downs = 0;
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
        if (!::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) return false;
        if ((info.fType & MFT_SEPARATOR) || (info.fState & MFS_DISABLED)) continue;
        ++downs;
        if (info.wID != id) continue;
        for (int i = 0; i < downs; ++i) ::PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
        return true;
    }
    return false;
}

void PressDialogButton(HWND dialog, int id) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

}  // namespace hoststub
