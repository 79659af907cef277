// ostrel_only.dll against the stand-in host under a real display: what it tells the host, the
// window it shows (size, place, texts, colours read back from the screen), the host messages of a
// show in order, the position written on every show, the style settings read through the host's
// ini messages, the context menu and the settings dialog driven by their ids, the ini writes after
// OK and after Cancel, unload, and no GDI or window growth over repeated dialogs and popups.
#include <doctest/doctest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UiDriver.h"
#include "tests/support/GuiCounts.h"
#include "tests/support/PluginChecks.h"
#include "tests/support/TestPaths.h"

namespace {

constexpr int kValueLabel = 3001;
constexpr int kAutoHideBox = 3002;
constexpr int kTextColourButton = 3004;
constexpr int kBackColourButton = 3005;
constexpr int kPreview = 3006;
constexpr UINT kStyleSettingsCommand = 40666;
constexpr UINT kHideCommand = 40667;
constexpr char kIniFile[] = "plugins\\only\\only.ini";
constexpr char kSettingsTitle[] = "Настройки стиля";

using hoststub::StandInHost;

struct FoundWindow {
    HWND found = nullptr;
};

// The plug-in's window among the thread's windows, visible or not: the dialog with the value label.
BOOL CALLBACK FindValueWindow(HWND hwnd, LPARAM param) {
    if (hoststub::ClassNameOf(hwnd) == "#32770" && ::GetDlgItem(hwnd, kValueLabel) &&
        !::GetDlgItem(hwnd, kAutoHideBox)) {
        reinterpret_cast<FoundWindow*>(param)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct OnlyRig {
    StandInHost host;
    hoststub::PluginModule plugin{testsupport::BuildFile("statswindows/ostrel_only/ostrel_only.dll")};
    StandInHost::ShowStatsFn show = plugin.Resolve<StandInHost::ShowStatsFn>("ShowStatsData");
    StandInHost::ShowStatsFn tray = plugin.Resolve<StandInHost::ShowStatsFn>("ShowStatsDataTray");

    OnlyRig() {
        host.SetValue("pagetitle", "Март");
        host.SetValue("pagetitle_day", "Сегодня");
        host.SetValue("alltrafic", "123,45");
        host.SetValue("alltrafic_day", "6,78");
        host.SetValue("saldo", "10,00 грн.");
        host.SetValue("saldoonline", "9,00");
        host.SetValue("updatetime", "12.03 10:00");
    }
    ~OnlyRig() {
        // The host unloads its plug-ins on its user-interface thread.
        host.RunOnUiThread([&] { plugin.Unload(); });
    }

    int Show(int style = 1, int hideDelay = 30) { return host.ShowStats(show, style, hideDelay); }
    int Tray(int style = 1) { return host.ShowStats(tray, style, 30); }

    HWND Window() const {
        FoundWindow found;
        ::EnumThreadWindows(host.uiThreadId(), &FindValueWindow, reinterpret_cast<LPARAM>(&found));
        return found.found;
    }

    std::string IniPath() const { return host.HostFolder() + "\\" + kIniFile; }
    std::string Ini(const char* key) const {
        char text[256] = {};
        ::GetPrivateProfileStringA("GLOBAL", key, "<missing>", text, sizeof text, IniPath().c_str());
        return text;
    }
    void SetIni(const char* key, const char* value) {
        // The host makes the plug-in's folder when it first writes; here the test writes first.
        std::string folder = host.HostFolder() + "\\plugins";
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::CreateDirectoryA((folder + "\\only").c_str(), nullptr);
        ::WritePrivateProfileStringA("GLOBAL", key, value, IniPath().c_str());
    }

    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const auto& call : host.windowCalls()) {
            const char* kind = "?";
            switch (call.message) {
            case host::WM_HOST_GET_VALUE: kind = "value"; break;
            case host::WM_HOST_GET_FLAG: kind = "flag"; break;
            case host::WM_HOST_TRAY_TEXT: kind = "tray"; break;
            case host::WM_HOST_READ_INI_STRING: kind = "read"; break;
            case host::WM_HOST_WRITE_INI_STRING: kind = "write"; break;
            case host::WM_HOST_READ_INI_INT: kind = "readint"; break;
            case host::WM_HOST_WRITE_INI_INT: kind = "writeint"; break;
            default: break;
            }
            if (!call.iniFile.empty() && call.iniFile != kIniFile) kind = "wrong ini file";
            calls.push_back(std::string(kind) + (call.message == host::WM_HOST_TRAY_TEXT ? "" : " " + call.key));
        }
        return calls;
    }

    // Under X the activation that follows a closed dialog can arrive late and close the next menu
    // at once or before it has taken its keys: it then chooses nothing, and the keys posted to its
    // window go with it. So while neither the menu nor the dialog is there and the window is still
    // enabled (no modal dialog on the way), the menu is asked for again.
    HWND OpenSettings() {
        const DWORD ui = host.uiThreadId();
        const HWND window = Window();
        REQUIRE(window != nullptr);
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (attempt > 0) MESSAGE("the context menu closed without a choice; asked for again");
            ::PostMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(600, 500));
            bool chosen = false;
            const DWORD start = ::GetTickCount();
            while (::GetTickCount() - start < hoststub::kUiWaitMs) {
                const HWND menu = hoststub::WaitForPopupMenu(ui, 0);
                if (menu && !chosen) chosen = hoststub::ChooseMenuCommand(menu, kStyleSettingsCommand);
                if (const HWND dialog = hoststub::WaitForDialog(ui, kSettingsTitle, 100)) return dialog;
                const bool settled = ::GetTickCount() - start > 3000;
                if (settled && !menu && ::IsWindowEnabled(window)) break;
            }
        }
        FAIL("no settings dialog");
        return nullptr;
    }

    void CloseSettings(HWND dialog, int button) {
        hoststub::PressDialogButton(dialog, button);
        REQUIRE(hoststub::WaitUntilGone(dialog));
        host.DrainPosted();
    }

    // Opens a colour button's popup and picks the cell `cell` of the grid with the keyboard: from
    // no selection, Right goes to the custom box, then the default box, then cell 0 (so a `cell`
    // of -1 picks the default box).
    void PickColour(HWND dialog, int button, int cell) {
        ::SendMessageA(::GetDlgItem(dialog, button), BM_CLICK, 0, 0);
        const HWND popup = hoststub::WaitForWindowClass(host.uiThreadId(), "ColourGridPopup");
        REQUIRE(popup != nullptr);
        for (int i = 0; i < 3 + cell; ++i) ::PostMessageA(popup, WM_KEYDOWN, VK_RIGHT, 0);
        ::PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
        REQUIRE(hoststub::WaitUntilGone(popup));
        host.DrainPosted();
    }
};

// The colours a control shows, read back from the screen once its paint has happened.
std::set<COLORREF> ColoursOf(StandInHost& host, HWND control) {
    host.DrainPosted();
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    host.DrainPosted();
    const guitest::ClientPixels pixels(control);
    std::set<COLORREF> colours;
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) colours.insert(pixels.at(x, y));
    return colours;
}

COLORREF PixelAt(StandInHost& host, HWND control, int x, int y) {
    host.DrainPosted();
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    host.DrainPosted();
    return guitest::ClientPixels(control).at(x, y);
}

std::string TextOf(HWND window) { return hoststub::WindowText(window); }

}  // namespace

TEST_CASE("ostrel_only tells the host its name, version and one style, and exports by ordinal") {
    OnlyRig rig;
    CHECK(rig.plugin.ExportModuleName() == "ostrel_only.dll");
    const char* names[] = {"GetPluginInfo", "GetWndStatsStyleMenu", "ShowStatsData", "ShowStatsDataTray"};
    for (unsigned ordinal = 1; ordinal <= 4; ++ordinal) {
        CAPTURE(ordinal);
        CHECK(reinterpret_cast<void*>(rig.plugin.FindOrdinal(ordinal)) == reinterpret_cast<void*>(rig.plugin.Find(names[ordinal - 1])));
        CHECK(reinterpret_cast<void*>(rig.plugin.Find(names[ordinal - 1])) != nullptr);
    }
    const host::PluginInfo info = testsupport::StablePluginInfo(rig.plugin);
    CHECK(info.kind == 4);
    CHECK(std::string(info.name) == "only");
    CHECK(std::string(info.version) == "1.3");
    CHECK(std::string(info.author) == "Plug-in team");
    CHECK(testsupport::HexBytes(info.providerTitle) == testsupport::HexBytes("\xD2\xE0\xF0\xED\xE0 \xC1\xF0\xEE\xE4\xE1\xE5\xED\xE4"));
    CHECK(std::string(info.providerId) == "tarna");

    auto menu = rig.plugin.Resolve<StandInHost::StyleMenuFn>("GetWndStatsStyleMenu");
    const auto styles = hoststub::WalkMenu<host::StyleMenuItem>(menu);
    REQUIRE(styles.size() == 1);
    CHECK(styles[0].styleId == 1);
    CHECK(std::string(styles[0].caption) == "Только Трафик");
    CHECK(std::string(styles[0].description) ==
          "Отображает значение по трафику. Присутствует дополнительное меню настроек стиля.");
    CHECK(std::string(styles[0].previewPath) == "only\\only.jpg");
    testsupport::CheckMenuEnds(menu, {1, 2, -1});
    testsupport::CheckCallerRemovesArguments(rig.plugin, {{"GetPluginInfo", 2},
                                                          {"GetWndStatsStyleMenu", 2},
                                                          {"ShowStatsData", 2},
                                                          {"ShowStatsDataTray", 2}});

    // The version resource, read as the host reads it.
    const std::string path = testsupport::BuildFile("statswindows/ostrel_only/ostrel_only.dll");
    const std::string windowsPath = hoststub::WindowsPath(path);
    DWORD ignored = 0;
    std::vector<char> block(::GetFileVersionInfoSizeA(windowsPath.c_str(), &ignored));
    REQUIRE(!block.empty());
    REQUIRE(::GetFileVersionInfoA(windowsPath.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    REQUIRE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    CHECK(fixed->dwFileVersionMS == 0x00010003);
    CHECK(fixed->dwFileVersionLS == 0);
    CHECK(fixed->dwProductVersionMS == 0x00010003);
    for (const auto& [key, value] : {std::pair<const char*, const char*>{"FileDescription", "Statistics window for ravo"},
                                     {"ProductName", "Statistics window for ravo"},
                                     {"InternalName", "ostrel_only.dll"},
                                     {"FileVersion", "1.3.0.0"},
                                     {"ProductVersion", "1.3.0.0"}}) {
        CAPTURE(key);
        char* text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\041904e3\\") + key;
        REQUIRE(::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &size));
        CHECK(std::string(text) == value);
    }
}

TEST_CASE("a style other than 1 does nothing in either show export, and reports 1") {
    OnlyRig rig;
    for (int style : {0, 2, -1}) {
        CAPTURE(style);
        CHECK(rig.Show(style) == 1);
        CHECK(rig.Tray(style) == 1);
    }
    CHECK(rig.Window() == nullptr);
    CHECK(rig.host.windowCalls().empty());
}

TEST_CASE("the first show: the window, its place and texts, and the host messages in order") {
    OnlyRig rig;
    CHECK(rig.Show(1, 30) == 1);
    const HWND window = rig.Window();
    REQUIRE(window != nullptr);
    CHECK(::IsWindowVisible(window));
    CHECK((::GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    CHECK(::GetForegroundWindow() != window);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    CHECK(rect.left == screenWidth - 70);
    CHECK(rect.top == screenHeight - 30);
    CHECK(rect.right - rect.left == 70);
    CHECK(rect.bottom - rect.top == 22);
    CHECK(TextOf(window) == "123,45");  // the caption follows the value
    const HWND label = ::GetDlgItem(window, kValueLabel);
    CHECK(TextOf(label) == "123,45");
    RECT labelRect{};
    ::GetWindowRect(label, &labelRect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&labelRect), 2);
    CHECK(labelRect.left == 1);
    CHECK(labelRect.top == 1);

    // The value font.
    LOGFONTA font{};
    REQUIRE(::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(label, WM_GETFONT, 0, 0)), sizeof font, &font));
    CHECK(std::string(font.lfFaceName) == "Arial Black");
    CHECK(font.lfHeight == 14);
    CHECK(font.lfWeight == 500);

    const std::vector<std::string> expected = {
        "read X", "read Y", "write X", "write Y", "read AUTOHIDE", "readint COLORTEXT", "readint COLORBG",
        "flag dblclk", "value alltrafic", "value alltrafic", "flag dblclk", "value pagetitle", "value alltrafic",
        "value saldo", "value saldoonline", "value updatetime", "tray"};
    CHECK(rig.Calls() == expected);
    const std::vector<std::string> trays = rig.host.trayTexts();
    REQUIRE(trays.size() == 1);
    CHECK(testsupport::HexBytes(trays[0]) ==
          testsupport::HexBytes("Март\n\nТрафик........... 123,45\nСальдо........... 10,00 грн.\n"
                                "Сальдо-online.... 9,00\n\n12.03 10:00"));
    CHECK(rig.Ini("X") == std::to_string(screenWidth - 70));
    CHECK(rig.Ini("Y") == std::to_string(screenHeight - 30));
}

TEST_CASE("with the day flag the label, the caption and the tray text use today's keys") {
    OnlyRig rig;
    rig.host.SetOption("dblclk", true);
    rig.Show();
    const HWND window = rig.Window();
    REQUIRE(window != nullptr);
    CHECK(TextOf(window) == "6,78");
    CHECK(TextOf(::GetDlgItem(window, kValueLabel)) == "6,78");
    const std::vector<std::string> calls = rig.Calls();
    const std::vector<std::string> tail(calls.end() - 10, calls.end());
    CHECK(tail == std::vector<std::string>{"flag dblclk", "value alltrafic_day", "value alltrafic_day", "flag dblclk",
                                           "value pagetitle_day", "value alltrafic_day", "value saldo",
                                           "value saldoonline", "value updatetime", "tray"});
    CHECK(testsupport::HexBytes(rig.host.trayTexts().back()) ==
          testsupport::HexBytes("Сегодня\n\nТрафик........... 6,78\nСальдо........... 10,00 грн.\n"
                                "Сальдо-online.... 9,00\n\n12.03 10:00"));
}

TEST_CASE("every show writes the window's current place; a saved place is taken when it is above 1") {
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    SUBCASE("the position is written on every show, also unmoved") {
        OnlyRig rig;
        rig.Show();
        const HWND window = rig.Window();
        REQUIRE(window != nullptr);
        rig.host.ClearRecords();
        rig.Show();
        std::vector<std::string> calls = rig.Calls();
        REQUIRE(calls.size() >= 2);
        CHECK(std::vector<std::string>(calls.begin(), calls.begin() + 2) == std::vector<std::string>{"write X", "write Y"});
        ::SetWindowPos(window, nullptr, 333, 444, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        rig.Show();
        CHECK(rig.Ini("X") == "333");
        CHECK(rig.Ini("Y") == "444");
        RECT rect{};
        ::GetWindowRect(window, &rect);
        CHECK(rect.left == 333);  // a later show does not move it
    }
    SUBCASE("saved places, and a window destroyed in between is made anew") {
        struct Case {
            const char* x;
            const char* y;
            int expectX;
            int expectY;
        } cases[] = {
            {"1", "300", screenWidth - 70, 300},
            {"-5", "0", screenWidth - 70, screenHeight - 30},
            {"12abc", " 40", 12, 40},
            {"", "abc", screenWidth - 70, screenHeight - 30},
            {"2", "2", 2, 2},
        };
        OnlyRig rig;
        for (const Case& c : cases) {
            CAPTURE(c.x);
            CAPTURE(c.y);
            if (const HWND old = rig.Window()) rig.host.RunOnUiThread([&] { ::DestroyWindow(old); });
            REQUIRE(rig.Window() == nullptr);
            rig.SetIni("X", c.x);
            rig.SetIni("Y", c.y);
            CHECK(rig.Show() == 1);
            const HWND window = rig.Window();
            REQUIRE(window != nullptr);
            RECT rect{};
            ::GetWindowRect(window, &rect);
            CHECK(rect.left == c.expectX);
            CHECK(rect.top == c.expectY);
            CHECK(TextOf(::GetDlgItem(window, kValueLabel)) == "123,45");
        }
    }
}

TEST_CASE("the tray request before any show makes the window hidden at its place and sends the summary") {
    OnlyRig rig;
    rig.SetIni("X", "400");
    rig.SetIni("Y", "500");
    CHECK(rig.Tray() == 1);
    const HWND window = rig.Window();
    REQUIRE(window != nullptr);
    CHECK_FALSE(::IsWindowVisible(window));
    RECT rect{};
    ::GetWindowRect(window, &rect);
    CHECK(rect.left == 400);
    CHECK(rect.top == 500);
    CHECK(rect.right - rect.left == 70);
    CHECK(rig.Calls() == std::vector<std::string>{"read X", "read Y", "flag dblclk", "value pagetitle",
                                                   "value alltrafic", "value saldo", "value saldoonline",
                                                   "value updatetime", "tray"});
    CHECK(rig.host.trayTexts().size() == 1);
}

TEST_CASE("AUTOHIDE is on only for the text 1: then the window hides after the delay") {
    struct Case {
        const char* text;
        bool hides;
    } cases[] = {{"1", true}, {"01", false}, {"0", false}, {"", false}, {"1.0", false}};
    for (const Case& c : cases) {
        const std::string text = c.text;
        CAPTURE(text);
        OnlyRig rig;
        rig.SetIni("AUTOHIDE", c.text);
        rig.Show(1, 0);
        const HWND window = rig.Window();
        REQUIRE(window != nullptr);
        rig.host.PumpFor(300);
        rig.host.DrainPosted();
        CHECK(::IsWindowVisible(window) == !c.hides);
    }
}

// A left click on the window: the system drags it until the button comes up, so the release
// waits in the queue before the click is sent. Both from the window's own thread: posted from
// another thread, the release could be taken from the queue before the click arrives.
void ClickWindow(StandInHost& host, HWND window) {
    host.RunOnUiThread([&] {
        ::PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(20, 10));
        ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    });
}

TEST_CASE("a left click starts the hide countdown again, but only with auto-hide on") {
    SUBCASE("auto-hide off: a click starts no timer") {
        OnlyRig rig;
        rig.Show(1, 0);
        const HWND window = rig.Window();
        REQUIRE(window != nullptr);
        ClickWindow(rig.host, window);
        rig.host.PumpFor(300);
        rig.host.DrainPosted();
        CHECK(::IsWindowVisible(window));
    }
    SUBCASE("auto-hide on: the countdown starts again at the click") {
        OnlyRig rig;
        rig.SetIni("AUTOHIDE", "1");
        rig.Show(1, 2);
        const HWND window = rig.Window();
        REQUIRE(window != nullptr);
        ::Sleep(1300);
        ClickWindow(rig.host, window);
        ::Sleep(1300);
        CHECK(::IsWindowVisible(window));
        const DWORD start = ::GetTickCount();
        while (::IsWindowVisible(window) && ::GetTickCount() - start < 3000) ::Sleep(20);
        CHECK_FALSE(::IsWindowVisible(window));
    }
}

TEST_CASE("the label shows the value in the colours of COLORTEXT and COLORBG, read from the screen") {
    struct Case {
        const char* text;
        const char* back;
        COLORREF textColour;
        COLORREF backColour;
    } cases[] = {{nullptr, nullptr, 0x414141, 0xD8DCE9}, {"255", "65280", 0x0000FF, 0x00FF00}};
    for (const Case& c : cases) {
        CAPTURE(c.textColour);
        OnlyRig rig;
        rig.host.SetValue("alltrafic", "88888");
        if (c.text) rig.SetIni("COLORTEXT", c.text);
        if (c.back) rig.SetIni("COLORBG", c.back);
        rig.Show();
        const HWND label = ::GetDlgItem(rig.Window(), kValueLabel);
        const std::set<COLORREF> colours = ColoursOf(rig.host, label);
        CHECK(PixelAt(rig.host, label, 1, 1) == c.backColour);
        CHECK(colours.count(c.textColour) == 1);
    }
}

TEST_CASE("the context menu: its entries by position, and hiding the window") {
    OnlyRig rig;
    rig.Show();
    const HWND window = rig.Window();
    REQUIRE(window != nullptr);
    ::PostMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(600, 500));
    const HWND menuWindow = hoststub::WaitForPopupMenu(rig.host.uiThreadId());
    REQUIRE(menuWindow != nullptr);
    const HMENU menu = hoststub::MenuOfWindow(menuWindow);
    REQUIRE(::GetMenuItemCount(menu) == 3);
    char text[64] = {};
    ::GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    CHECK(std::string(text) == "Настроки стиля...");
    CHECK(::GetMenuItemID(menu, 0) == kStyleSettingsCommand);
    CHECK((::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR) != 0);
    ::GetMenuStringA(menu, 2, text, sizeof text, MF_BYPOSITION);
    CHECK(std::string(text) == "Спрятать окно");
    CHECK(::GetMenuItemID(menu, 2) == kHideCommand);
    REQUIRE(hoststub::ChooseMenuCommand(menuWindow, kHideCommand));
    REQUIRE(hoststub::WaitUntilGone(menuWindow));
    rig.host.DrainPosted();
    CHECK_FALSE(::IsWindowVisible(window));
    CHECK(::IsWindow(window));
    rig.Show();
    CHECK(::IsWindowVisible(window));
}

TEST_CASE("the settings dialog: its state from the settings, the preview, and the ini writes") {
    SUBCASE("OK writes the chosen values and the label repaints in them") {
        OnlyRig rig;
        rig.SetIni("COLORTEXT", "4276545");
        rig.SetIni("COLORBG", "16777215");
        rig.Show();
        const HWND window = rig.Window();
        const HWND dialog = rig.OpenSettings();
        CHECK(::GetWindow(dialog, GW_OWNER) == window);
        CHECK_FALSE(::IsWindowEnabled(window));
        CHECK(::IsDlgButtonChecked(dialog, kAutoHideBox) == BST_UNCHECKED);
        CHECK(TextOf(::GetDlgItem(dialog, kPreview)) == "12345,67");
        const HWND preview = ::GetDlgItem(dialog, kPreview);
        CHECK(PixelAt(rig.host, preview, 1, 1) == 0xFFFFFF);
        CHECK(ColoursOf(rig.host, preview).count(0x414141) == 1);
        CHECK((::GetWindowLongPtrA(::GetDlgItem(dialog, kTextColourButton), GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW);

        rig.PickColour(dialog, kTextColourButton, 16);  // red
        rig.PickColour(dialog, kBackColourButton, 27);  // bright green
        CHECK(PixelAt(rig.host, preview, 1, 1) == 0x00FF00);
        CHECK(ColoursOf(rig.host, preview).count(0x0000FF) == 1);
        ::SendMessageA(::GetDlgItem(dialog, kAutoHideBox), BM_CLICK, 0, 0);
        rig.host.ClearRecords();
        rig.CloseSettings(dialog, IDOK);
        CHECK(::IsWindowEnabled(window));
        CHECK(rig.Calls() == std::vector<std::string>{"write AUTOHIDE", "writeint COLORTEXT", "writeint COLORBG"});
        CHECK(rig.Ini("AUTOHIDE") == "1");
        CHECK(rig.Ini("COLORTEXT") == "255");
        CHECK(rig.Ini("COLORBG") == "65280");
        const HWND label = ::GetDlgItem(window, kValueLabel);
        CHECK(PixelAt(rig.host, label, 1, 1) == 0x00FF00);
        CHECK(ColoursOf(rig.host, label).count(0x0000FF) == 1);

        // The next show reads them back; auto-hide is on now.
        rig.host.ClearRecords();
        rig.Show(1, 0);
        rig.host.PumpFor(300);
        rig.host.DrainPosted();
        CHECK_FALSE(::IsWindowVisible(window));
    }
    SUBCASE("Cancel writes the unchanged values again") {
        OnlyRig rig;
        rig.SetIni("AUTOHIDE", "1");
        rig.SetIni("COLORTEXT", "1193046");
        rig.Show();
        const HWND dialog = rig.OpenSettings();
        CHECK(::IsDlgButtonChecked(dialog, kAutoHideBox) == BST_CHECKED);
        rig.PickColour(dialog, kTextColourButton, 0);
        ::SendMessageA(::GetDlgItem(dialog, kAutoHideBox), BM_CLICK, 0, 0);
        rig.host.ClearRecords();
        rig.CloseSettings(dialog, IDCANCEL);
        CHECK(rig.Calls() == std::vector<std::string>{"write AUTOHIDE", "writeint COLORTEXT", "writeint COLORBG"});
        CHECK(rig.Ini("AUTOHIDE") == "1");
        CHECK(rig.Ini("COLORTEXT") == "1193046");
        CHECK(rig.Ini("COLORBG") == std::to_string(0xD8DCE9));
    }
    SUBCASE("Automatic is stored as chosen and painted in the window's default colours") {
        OnlyRig rig;
        rig.SetIni("COLORTEXT", "255");
        rig.SetIni("COLORBG", "65280");
        rig.Show();
        const HWND window = rig.Window();
        const HWND dialog = rig.OpenSettings();
        rig.PickColour(dialog, kTextColourButton, -1);  // the default box, "Automatic"
        rig.PickColour(dialog, kBackColourButton, -1);
        const HWND preview = ::GetDlgItem(dialog, kPreview);
        CHECK(PixelAt(rig.host, preview, 1, 1) == 0xD8DCE9);
        CHECK(ColoursOf(rig.host, preview).count(0x414141) == 1);
        rig.CloseSettings(dialog, IDOK);
        CHECK(rig.Ini("COLORTEXT") == std::to_string(static_cast<int>(0xFF000000)));
        CHECK(rig.Ini("COLORBG") == std::to_string(static_cast<int>(0xFF000000)));
        const HWND label = ::GetDlgItem(window, kValueLabel);
        CHECK(PixelAt(rig.host, label, 1, 1) == 0xD8DCE9);
        CHECK(ColoursOf(rig.host, label).count(0x414141) == 1);
    }
    SUBCASE("auto-hide switched off is written as the empty text") {
        OnlyRig rig;
        rig.SetIni("AUTOHIDE", "1");
        rig.Show();
        const HWND dialog = rig.OpenSettings();
        ::SendMessageA(::GetDlgItem(dialog, kAutoHideBox), BM_CLICK, 0, 0);
        rig.CloseSettings(dialog, IDOK);
        CHECK(rig.Ini("AUTOHIDE") == "");
    }
}

TEST_CASE("unloading destroys the window and writes nothing") {
    auto rig = std::make_unique<OnlyRig>();
    rig->Show();
    const HWND window = rig->Window();
    REQUIRE(window != nullptr);
    rig->host.ClearRecords();
    rig->host.RunOnUiThread([&] { rig->plugin.Unload(); });
    CHECK_FALSE(::IsWindow(window));
    CHECK(rig->host.windowCalls().empty());
}

// The process's GDI objects and the user-interface thread's windows, counted on that thread
// between two of its messages once its queue (paints included) has run dry, and counted again
// until two readings agree. Wine paints with regions that live for one message: counted from
// another thread while the user-interface thread works, such a region is in the count or not by
// chance.
std::vector<int> SettledCounts(StandInHost& host) {
    const DWORD ui = host.uiThreadId();
    const DWORD start = ::GetTickCount();
    std::vector<int> last;
    for (;;) {
        std::vector<int> now;
        host.RunOnUiThread([&] {
            guitest::Pump(2);
            now = {guitest::GdiObjectCount(), guitest::UserObjectCount(ui)};
        });
        if (now == last || ::GetTickCount() - start > 20000) return now;
        last = now;
        ::Sleep(100);
    }
}

TEST_CASE("repeated settings dialogs and popups leave no GDI object and no window behind") {
    OnlyRig rig;
    rig.Show();
    std::string proof;  // on the user-interface thread, whose windows the check counts
    rig.host.RunOnUiThread([&] { proof = guitest::ProveCounters(); });
    REQUIRE(proof == "");
    const auto round = [&] {
        const HWND dialog = rig.OpenSettings();
        rig.PickColour(dialog, kTextColourButton, 5);
        rig.PickColour(dialog, kBackColourButton, 30);
        rig.CloseSettings(dialog, IDCANCEL);
    };
    // The system makes some objects of its own lazily: besides what the first dialog brings,
    // display DCs (each with a region and a bitmap) that come with the first or the second
    // round, as the paints of the closing and opening windows happen to overlap. The warm-up
    // goes on until a round leaves the counts where the round before left them.
    round();
    std::vector<int> before = SettledCounts(rig.host);
    for (int warmUp = 0; warmUp < 5; ++warmUp) {
        round();
        const std::vector<int> now = SettledCounts(rig.host);
        if (now == before) break;
        before = now;
    }
    std::vector<std::vector<int>> after;  // after 10 and after 20 dialogs: a leak grows with them
    for (int i = 1; i <= 20; ++i) {
        round();
        if (i % 10 == 0) after.push_back(SettledCounts(rig.host));
    }
    MESSAGE("GDI objects and windows: " << before[0] << " and " << before[1] << " before, " << after[0][0] << " and "
                                        << after[0][1] << " after 10 dialogs with 20 popups, " << after[1][0] << " and "
                                        << after[1][1] << " after 20");
    CHECK(after[0] == before);
    CHECK(after[1] == before);
}
