// The statistics-window test rig: a stand-in host with an ini folder of its own, a statistics
// window plug-in loaded as the host loads it (and unloaded on the host's thread, where its
// windows live), the exports, and what a test reads back from the windows and the screen.
#pragma once
#include <windows.h>

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "statswindows/common/StatsProtocol.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"

// A failed comparison of call lists shows both lists, one entry a line.
template <>
struct doctest::StringMaker<std::vector<std::string>> {
    static doctest::String convert(const std::vector<std::string>& rows) {
        std::string text = "{";
        for (const auto& row : rows) text += "\n    " + row;
        return (text + " }").c_str();
    }
};

namespace statstest {

std::string TolvanekDll();

class WindowRig {
public:
    // The host keeps its settings in `hostFolder` (made if missing), or else in a fresh folder.
    explicit WindowRig(const std::string& dll, const std::string& hostFolder = "");
    ~WindowRig();

    hoststub::StandInHost host;
    hoststub::PluginModule plugin;
    host::exports::GetWndStatsStyleMenu* styleMenu;
    host::exports::ShowStatsData* showData;
    host::exports::ShowStatsDataTray* showTray;

    // The show requests; a dialog that appears with a request is taken as that style's window.
    int Show(int styleId, int hideDelaySeconds = 60);
    int Show(int styleId, int hideDelaySeconds, HWND hostWindow);
    int ShowTray(int styleId);
    HWND Window(int styleId) const { return m_styles[styleId & 7]; }
    void Unload();  // on the host's thread, as the host unloads
    std::string IniFile(const std::string& relative) const;  // a path below the host folder

    // Paints the window and its labels now and reads one pixel of the client area back.
    COLORREF ClientPixel(HWND window, int x, int y);
    std::string Text(HWND window, int id) const;
    // What the window's WM_CTLCOLORSTATIC does to a label's DC, on the host's thread.
    struct LabelPaint {
        COLORREF text;
        COLORREF back;
        int mode;
        HBRUSH brush;
    };
    // The DC comes with kUnsetColour as its text and background colours and an opaque mode, so
    // that what the window does not set reads back as it was.
    static constexpr COLORREF kUnsetColour = 0x123456;
    LabelPaint PaintOf(HWND window, int id);
    // The host calls of the statistics windows as "message:key" lines, then cleared.
    std::vector<std::string> TakeCalls();

private:
    std::vector<HWND> Dialogs() const;
    void Discover(int styleId);
    std::vector<HWND> m_seen;
    HWND m_styles[8] = {};
    bool m_loaded = true;
};

std::string CallText(UINT message, const std::string& key);

// How many pixels the MacOS skin's rounded corners cut at each end of row y (0 between).
int CornerCut(int y, int height);

}  // namespace statstest
