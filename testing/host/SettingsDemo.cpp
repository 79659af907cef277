// The style settings of ostrel_only as a user sees them: the stand-in host takes ravo.dll's debug
// statistics, shows the ostrel_only window, opens its context menu's "settings" entry, opens the
// text colour button's popup with a cell under the selection, and saves a PNG of the screen around
// dialog and popup; then it picks that colour, confirms the dialog and saves the window in its new
// colours.
//   settingsdemo <ravo.dll> <folder for the PNG files> <ostrel_only.dll>
#include <windows.h>

#include <cstdio>
#include <string>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/DemoPictures.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UiDriver.h"

namespace {

constexpr int kValueLabel = 3001;
constexpr int kTextColourButton = 3004;
constexpr UINT kStyleSettingsCommand = 40666;
constexpr char kSettingsTitle[] = "Настройки стиля";
constexpr int kRedCell = 16;

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

RECT WindowRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

BOOL CALLBACK FindValueWindow(HWND hwnd, LPARAM found) {
    if (hoststub::ClassNameOf(hwnd) == "#32770" && ::GetDlgItem(hwnd, kValueLabel)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

int Fail(const std::string& what) {
    Print("settings demo: " + what + "\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: settingsdemo <ravo.dll> <folder for PNG files> <ostrel_only.dll>\n");
        return 2;
    }
    const std::string folder = hoststub::WindowsPath(argv[2]);
    hoststub::StandInHost host;
    hoststub::LoadDebugStatistics(host, argv[1]);
    hoststub::PluginModule plugin(argv[3]);
    auto show = plugin.Resolve<host::exports::ShowStatsData*>("ShowStatsData");
    host.ShowStats(show, 1, 600);
    HWND window = nullptr;
    ::EnumThreadWindows(host.uiThreadId(), &FindValueWindow, reinterpret_cast<LPARAM>(&window));
    if (!window) return Fail("no window");

    ::PostMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(600, 500));
    const HWND menu = hoststub::WaitForPopupMenu(host.uiThreadId());
    if (!menu || !hoststub::ChooseMenuCommand(menu, kStyleSettingsCommand)) return Fail("no context menu");
    const HWND dialog = hoststub::WaitForDialog(host.uiThreadId(), kSettingsTitle);
    if (!dialog) return Fail("no settings dialog");

    ::SendMessageA(::GetDlgItem(dialog, kTextColourButton), BM_CLICK, 0, 0);
    const HWND popup = hoststub::WaitForWindowClass(host.uiThreadId(), "ColourGridPopup");
    if (!popup) return Fail("no colour popup");
    // From no selection Right goes to the custom box, the default box, then cell 0.
    for (int i = 0; i < 3 + kRedCell; ++i) ::PostMessageA(popup, WM_KEYDOWN, VK_RIGHT, 0);
    host.DrainPosted();
    ::Sleep(300);

    RECT both{};
    const RECT dialogRect = WindowRect(dialog), popupRect = WindowRect(popup);
    ::UnionRect(&both, &dialogRect, &popupRect);
    const std::string dialogShot = folder + "\\ostrel_only-settings.png";
    Print(std::string("settings dialog with the colour popup open: ") +
          (hoststub::SaveScreenPicture(hoststub::AroundOnScreen(both, 8), dialogShot) ? dialogShot : "screenshot failed") + "\n");

    ::PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
    hoststub::WaitUntilGone(popup);
    hoststub::PressDialogButton(dialog, IDOK);
    hoststub::WaitUntilGone(dialog);
    host.DrainPosted();
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    host.DrainPosted();
    ::Sleep(300);
    const std::string windowShot = folder + "\\ostrel_only-red-text.png";
    Print(std::string("the window with the red text chosen: ") +
          (hoststub::SaveScreenPicture(WindowRect(window), windowShot) ? windowShot : "screenshot failed") + "\n");

    host.RunOnUiThread([&] { plugin.Unload(); });
    return 0;
}
