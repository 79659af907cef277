// A double click refreshes a shown statistics window in place. The labels of the skinned windows
// are transparent (the skin shows through them), so a new text is only right on the screen when
// the skin is painted again behind it. For every style of the six plug-ins this compares, pixel
// for pixel, the window after a double click that changed its texts with a clean repaint of the
// same window and data, both read once every pending paint has run. On a mismatch both pictures
// are saved as PNG files in the working directory (or in STATSWINDOW_PICTURES when that is set,
// which also saves them when they match).
#include <doctest/doctest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Unique.h"
#include "testing/host/DemoPictures.h"
#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/GuiCounts.h"
#include "tests/support/TestPaths.h"

using namespace statstest;

namespace {

struct Skin {
    const char* name;  // also the pictures' file names
    const char* dll;   // below the build tree
    int styleId;
    int totalLabel;  // the label that shows "alltrafic"
};

const Skin kSkins[] = {
    {"tolvanek-1", "plugins/tolvanek.dll", 1, 9041}, {"tolvanek-2", "plugins/tolvanek.dll", 2, 9041},
    {"zol", "plugins/zol.dll", 1, 9041},             {"morvik", "plugins/morvik.dll", 1, 9041},
    {"selvane", "plugins/selvane.dll", 1, 9041},     {"mini", "plugins/mini.dll", 1, 9041},
    {"ostrel_only", "plugins/ostrel_only.dll", 1, 3001},
};

constexpr char kMonthFigure[] = "123456.78";
constexpr char kDayFigure[] = "7";

// Figures that differ between the month and the day in every traffic key, so the day switch
// changes the text of each traffic label and of the title; the balances are the same in both.
void FeedFigures(hoststub::StandInHost& host) {
    for (const char* key : {"sattrafic", "sattraficoutlimit", "ukrtrafic", "ukrtraficoutlimit", "alltrafic",
                            "alltraficoutlimit"}) {
        host.SetValue(key, kMonthFigure);
        host.SetValue(std::string(key) + "_day", kDayFigure);
    }
    host.SetValue("pagetitle", "\xE7\xE0 \xEC\xE5\xF1\xFF\xF6");   // "за месяц"
    host.SetValue("pagetitle_day", "\xE7\xE0 \xE4\xE5\xED\xFC");  // "за день"
    host.SetValue("updatetime", "10.12.2026 12:00");
    host.SetValue("tariffplanlimit", "2000");
    for (const char* key : {"saldo", "saldoonline", "vptvsaldo", "rentdecodersaldo", "rentmodemsaldo"})
        host.SetValue(key, "-12.34");
}

// The client area as the screen shows it: only the pixels inside the window's region and on the
// screen count, the rest is never seen.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    std::vector<bool> seen;
};

// Read on the window's thread, after every paint that was pending has run: the queue is pumped
// until it stays empty (WM_PAINT comes out last), then whatever is still invalid is painted now.
Picture Settled(WindowRig& rig, HWND window) {
    Picture picture;
    rig.host.RunOnUiThread([&] {
        guitest::Pump();
        ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        const guitest::ClientPixels client(window);
        picture.width = client.width();
        picture.height = client.height();
        RECT frame{};
        ::GetWindowRect(window, &frame);
        kit::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
        const bool shaped = region && ::GetWindowRgn(window, region.get()) != ERROR;
        const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                POINT at{x, y};
                ::ClientToScreen(window, &at);
                const bool onScreen = at.x >= 0 && at.y >= 0 && at.x < screenWidth && at.y < screenHeight;
                picture.seen.push_back(onScreen &&
                                       (!shaped || ::PtInRegion(region.get(), at.x - frame.left, at.y - frame.top)));
                picture.pixels.push_back(client.at(x, y));
            }
    });
    return picture;
}

// The same window painted from scratch: the skin (or background) first, then every label.
Picture CleanRepaint(WindowRig& rig, HWND window) {
    rig.host.RunOnUiThread(
        [&] { ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); });
    return Settled(rig, window);
}

// How many seen pixels differ; a picture of another size differs everywhere.
int Differing(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) return a.width * a.height + b.width * b.height;
    int count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        if ((a.seen[i] || b.seen[i]) && a.pixels[i] != b.pixels[i]) ++count;
    return count;
}

void Save(const Picture& picture, const std::string& path) {
    std::vector<std::uint32_t> argb;
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const COLORREF c = picture.pixels[i];
        argb.push_back(picture.seen[i] ? 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c) : 0u);
    }
    CHECK(hoststub::WritePng(path, picture.width, picture.height, argb));
}

// Both pictures of a case, for a person to look at.
void SavePair(const Picture& refreshed, const Picture& clean, const std::string& name, bool always) {
    const char* folder = std::getenv("STATSWINDOW_PICTURES");
    if (!folder && !always) return;
    const std::string base = (folder ? std::string(folder) + "\\" : std::string()) + name;
    Save(refreshed, base + "-double-click.png");
    Save(clean, base + "-clean.png");
}

void DoubleClick(WindowRig& rig, HWND window) {
    rig.host.RunOnUiThread([&] { ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10)); });
}

}  // namespace

TEST_CASE("a double click that changes the texts leaves the window as a clean repaint paints it, in every style") {
    for (const Skin& skin : kSkins) {
        const std::string name = skin.name;
        CAPTURE(name);
        WindowRig rig(testsupport::BuildFile(skin.dll));
        FeedFigures(rig.host);
        REQUIRE(rig.Show(skin.styleId) == 1);
        const HWND window = rig.Window(skin.styleId);
        REQUIRE(window != nullptr);
        REQUIRE(::IsWindowVisible(window));
        Picture shown = Settled(rig, window);
        REQUIRE(shown.width > 0);
        // The show itself repaints: the comparison holds where nothing is wrong.
        CHECK(Differing(shown, CleanRepaint(rig, window)) == 0);

        // To the day's figures and back to the month's: either way every traffic text changes.
        for (const bool day : {true, false}) {
            CAPTURE(day);
            rig.host.SetOption("dblclk", day);
            DoubleClick(rig, window);
            CHECK(rig.Text(window, skin.totalLabel) == (day ? kDayFigure : kMonthFigure));
            const Picture refreshed = Settled(rig, window);
            CHECK(Differing(refreshed, shown) > 0);  // the new texts are on the screen
            const Picture clean = CleanRepaint(rig, window);
            const int differing = Differing(refreshed, clean);
            CHECK_MESSAGE(differing == 0, differing << " pixels differ from a clean repaint");
            SavePair(refreshed, clean, name + (day ? "-day" : "-month"), differing != 0);
            shown = clean;
        }
    }
}
