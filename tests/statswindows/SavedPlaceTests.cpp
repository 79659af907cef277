// A saved place that no screen shows: every plug-in that reads its window's place from an ini file
// (both tolvanek styles, morvik, selvane, mini, ostrel_only) opens the window at its default place
// when the window would meet no monitor's work area there, and keeps every place where some of it
// shows, also one that hangs over the screen's edge. The place the window then has is what the
// plug-in writes back (at unload, or ostrel_only on every show). And a host whose folder has a
// Cyrillic name, as a Russian Windows user's program folder has: the place is saved and read back.
#include <doctest/doctest.h>

#include <windows.h>

#include <string>

#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/TestPaths.h"

using namespace statstest;

namespace {

struct Plugin {
    const char* name;
    const char* dll;  // below the build tree
    int styleId;
    const char* iniFile;
    int offsetX, offsetY;  // default place: (screen width - offsetX, screen height - offsetY)
};

const Plugin kPlugins[] = {
    {"tolvanek-1", "plugins/tolvanek.dll", 1, "plugins\\tolvanek2\\tolvanek2.ini", 275, 200},
    {"tolvanek-2", "plugins/tolvanek.dll", 2, "plugins\\tolvanek\\tolvanek.ini", 275, 200},
    {"morvik", "plugins/morvik.dll", 1, "plugins\\morvik\\morvik.ini", 350, 147},
    {"selvane", "plugins/selvane.dll", 1, "plugins\\selvane\\selvane.ini", 250, 147},
    {"mini", "plugins/mini.dll", 1, "plugins\\mini\\mini.ini", 154, 100},
    {"ostrel_only", "plugins/ostrel_only.dll", 1, "plugins\\only\\only.ini", 70, 30},
};

RECT PrimaryWorkArea() {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoA(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

void WriteIni(WindowRig& rig, const Plugin& plugin, const std::string& x, const std::string& y) {
    const std::string relative = plugin.iniFile;
    for (std::size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
        ::CreateDirectoryA(rig.IniFile(relative.substr(0, at)).c_str(), nullptr);
    const std::string path = rig.IniFile(relative);
    if (!x.empty()) ::WritePrivateProfileStringA("GLOBAL", "X", x.c_str(), path.c_str());
    if (!y.empty()) ::WritePrivateProfileStringA("GLOBAL", "Y", y.c_str(), path.c_str());
}

std::string IniValue(const std::string& path, const char* key) {
    char text[64] = {};
    ::GetPrivateProfileStringA("GLOBAL", key, "(none)", text, sizeof text, path.c_str());
    return text;
}

}  // namespace

TEST_CASE("a saved place where no screen shows the window gives the default place; one on the screen is kept") {
    const int screenX = ::GetSystemMetrics(SM_CXSCREEN), screenY = ::GetSystemMetrics(SM_CYSCREEN);
    const RECT work = PrimaryWorkArea();
    // The far places below must lie beyond every monitor of the test display.
    REQUIRE(::GetSystemMetrics(SM_CMONITORS) == 1);
    REQUIRE(work.right < 5000);
    REQUIRE(work.bottom < 5000);
    const std::string right = std::to_string(work.right), bottom = std::to_string(work.bottom);

    struct Case {
        std::string x, y;  // empty: not in the ini file
        bool kept;         // false: both coordinates default
        int expectX = 0, expectY = 0;
    } cases[] = {
        {"5000", "5000", false},
        {"5000", "300", false},  // only one coordinate away: both go
        {"300", "5000", false},
        {"5000", "", false},                 // a default y does not bring a far x back
        {"1", "5000", false},                // nor a default x a far y
        {right, "300", false},               // just beyond the right edge: nothing of it shows
        {"300", bottom, false},              // just below the bottom
        {"2147483647", "2147483647", false}, // the farthest a saved number goes
        {"300", "200", true, 300, 200},
        {std::to_string(work.right - 1), "300", true, work.right - 1, 300},  // one column shows
        {std::to_string(work.right - 20), std::to_string(work.bottom - 10), true, work.right - 20,
         work.bottom - 10},  // hangs over the corner
        {"2", "2", true, 2, 2},
    };
    for (const Plugin& plugin : kPlugins) {
        CAPTURE(plugin.name);
        const int defaultX = screenX - plugin.offsetX, defaultY = screenY - plugin.offsetY;
        for (const Case& c : cases) {
            CAPTURE(c.x);
            CAPTURE(c.y);
            WindowRig rig(testsupport::BuildFile(plugin.dll));
            WriteIni(rig, plugin, c.x, c.y);
            rig.Show(plugin.styleId);
            const HWND window = rig.Window(plugin.styleId);
            REQUIRE(window != nullptr);
            RECT rect{};
            ::GetWindowRect(window, &rect);
            CHECK(rect.left == (c.kept ? c.expectX : defaultX));
            CHECK(rect.top == (c.kept ? c.expectY : defaultY));
            // What is written back is where the window is, not the far place it was given.
            rig.Unload();
            const std::string ini = rig.IniFile(plugin.iniFile);
            CHECK(IniValue(ini, "X") == std::to_string(rect.left));
            CHECK(IniValue(ini, "Y") == std::to_string(rect.top));
        }
        // A tray request that makes the window places it the same way.
        WindowRig rig(testsupport::BuildFile(plugin.dll));
        WriteIni(rig, plugin, "5000", "5000");
        rig.ShowTray(plugin.styleId);
        const HWND window = rig.Window(plugin.styleId);
        REQUIRE(window != nullptr);
        RECT rect{};
        ::GetWindowRect(window, &rect);
        CHECK(rect.left == defaultX);
        CHECK(rect.top == defaultY);
    }
}

TEST_CASE("a host whose settings are in a folder with a Cyrillic name: the place is saved there and read back") {
    // A program folder as a Russian user names it (the literal is cp1251), below the temporary folder.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "Программы-" + std::to_string(::GetCurrentProcessId()) + "\\Тарна";
    for (const Plugin& plugin : kPlugins) {
        const std::string name = plugin.name;
        CAPTURE(name);
        {
            WindowRig rig(testsupport::BuildFile(plugin.dll), folder);
            WriteIni(rig, plugin, "310", "210");
            rig.Show(plugin.styleId);
            const HWND window = rig.Window(plugin.styleId);
            REQUIRE(window != nullptr);
            RECT rect{};
            ::GetWindowRect(window, &rect);
            CHECK(rect.left == 310);
            CHECK(rect.top == 210);
            // The user moves the window, the statistics come once more and the host unloads the
            // plug-in: the new place is saved (at unload, or by ostrel_only at the show).
            ::SetWindowPos(window, nullptr, 330, 230, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            rig.Show(plugin.styleId);
            rig.Unload();
            const std::string ini = rig.IniFile(plugin.iniFile);
            CHECK(IniValue(ini, "X") == "330");
            CHECK(IniValue(ini, "Y") == "230");
        }
        // The next start of the host opens the window where it was left.
        WindowRig rig(testsupport::BuildFile(plugin.dll), folder);
        rig.Show(plugin.styleId);
        const HWND window = rig.Window(plugin.styleId);
        REQUIRE(window != nullptr);
        RECT rect{};
        ::GetWindowRect(window, &rect);
        CHECK(rect.left == 330);
        CHECK(rect.top == 230);
    }
}
