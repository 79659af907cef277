// The statistics windows as a user sees them: the stand-in host takes the debug statistics list
// from ravo.dll, then shows every style of each statistics-window plug-in with it and saves a
// PNG screenshot of each window (outside the window's region transparent), and prints the tray
// summary it received.
//   windowdemo <ravo.dll> <folder for the PNG files> <plug-in.dll>...
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/DemoPictures.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UiDriver.h"

namespace {

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    return name.substr(0, name.find_last_of('.'));
}

// One screenshot per style; `suffix` names the host's option set.
void ShootStyles(hoststub::StandInHost& host, const std::string& dll, const std::string& folder,
                 const std::string& suffix) {
    hoststub::PluginModule plugin(dll);
    auto menu = plugin.Resolve<host::exports::GetWndStatsStyleMenu*>("GetWndStatsStyleMenu");
    auto show = plugin.Resolve<host::exports::ShowStatsData*>("ShowStatsData");
    std::vector<HWND> seen = hoststub::ThreadDialogs(host.uiThreadId());
    for (const auto& style : hoststub::WalkMenu<host::StyleMenuItem>(menu)) {
        host.ClearRecords();
        host.ShowStats(show, style.styleId, 600);
        HWND window = nullptr;
        for (HWND dialog : hoststub::ThreadDialogs(host.uiThreadId()))
            if (std::find(seen.begin(), seen.end(), dialog) == seen.end()) window = dialog;
        if (!window) {
            Print("  style " + std::to_string(style.styleId) + ": no window\n");
            continue;
        }
        seen.push_back(window);
        const std::string png =
            folder + "\\" + BaseName(dll) + "-" + std::to_string(style.styleId) + suffix + ".png";
        bool saved = false;
        host.RunOnUiThread([&] { saved = hoststub::SaveWindowPicture(window, png); });
        Print("  style " + std::to_string(style.styleId) + " \"" + hoststub::ToUtf8(style.caption) + "\": " +
              (saved ? png : "screenshot failed") + "\n");
        for (const std::string& tray : host.trayTexts()) {
            std::string shown = hoststub::ToUtf8(tray);
            for (std::size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 5) shown.replace(at, 1, "\n    ");
            Print("    tray text:\n    " + shown + "\n");
        }
    }
    host.RunOnUiThread([&] { plugin.Unload(); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: windowdemo <ravo.dll> <folder for PNG files> <plug-in.dll>...\n");
        return 2;
    }
    try {
        hoststub::StandInHost host;
        Print("ravo.dll debug statistics: result " + std::to_string(hoststub::LoadDebugStatistics(host, argv[1])) +
              "\n");
        const std::string folder = hoststub::WindowsPath(argv[2]);
        for (int i = 3; i < argc; ++i) {
            Print(BaseName(argv[i]) + ".dll, month view:\n");
            ShootStyles(host, argv[i], folder, "");
            // The day view with every alert option on and the user's limits.
            host.SetOption("dblclk", true);
            for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
                host.SetOption(option, true);
            host.SetUserLimit("sattraficlimituser", "500");
            host.SetUserLimit("ukrtraficlimituser", "1000");
            host.SetUserLimit("alltraficlimituser", "1500");
            host.SetUserLimit("saldolimituser", "10");
            Print(BaseName(argv[i]) + ".dll, day view with the alerts on:\n");
            ShootStyles(host, argv[i], folder, "-day-alerts");
            host.SetOption("dblclk", false);
            for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
                host.SetOption(option, false);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "windowdemo: %s\n", failure.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
