// morvik, selvane, mini and zol in the stand-in host, each check run over the four rows of
// SkinTables: plug-in information and the style menu byte for byte, the skin resource and the
// preview in the plug-in folder, the window's size and region against its bitmap, the labels'
// rectangles, fonts and colours read back from the windows after a show, the host messages of
// one refresh, the tray text's bytes, and show requests for a style the plug-ins do not offer.
#include <doctest/doctest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/statswindows/SkinTables.h"
#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/PluginChecks.h"
#include "tests/support/TestPaths.h"

using namespace statstest;
using testsupport::HexBytes;

namespace {

const int kScreenX = ::GetSystemMetrics(SM_CXSCREEN);
const int kScreenY = ::GetSystemMetrics(SM_CYSCREEN);

// The bitmap resource as the system converts it, read back top-down as COLORREFs.
struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Picture ReadPicture(HMODULE module, int id) {
    Picture picture;
    HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    REQUIRE(bitmap != nullptr);
    BITMAP info{};
    ::GetObjectA(bitmap, sizeof info, &info);
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> bgrx(static_cast<std::size_t>(info.bmWidth * info.bmHeight));
    HDC screen = ::GetDC(nullptr);
    CHECK(::GetDIBits(screen, bitmap, 0, info.bmHeight, bgrx.data(), &format, DIB_RGB_COLORS) == info.bmHeight);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(bitmap);
    for (DWORD v : bgrx) picture.pixels.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    return picture;
}

RECT PlaceOf(HWND window, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ::ScreenToClient(window, &corners[0]);
    ::ScreenToClient(window, &corners[1]);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA font{};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
    // A deleted font (one the window let go while a label still used it) reads back nothing.
    CHECK(::GetObjectA(handle, sizeof font, &font) == sizeof font);
    return font;
}

using Paint = WindowRig::LabelPaint;

void HideByRightClick(HWND window) { ::SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), 0); }

void Refresh(HWND window) { ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10)); }

// Shows style 1 and returns its window, which must exist.
HWND ShowWindowOf(WindowRig& rig) {
    CHECK(rig.Show(1) == 1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    return window;
}

int WindowWidth(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

}  // namespace

TEST_CASE("plug-in information and the one style of the menu, byte for byte; the exports leave the stack to the caller") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        const host::PluginInfo info = testsupport::StablePluginInfo(rig.plugin);
        CHECK(info.kind == 4);
        CHECK(std::string(info.name) == row.infoName);
        CHECK(std::string(info.version) == row.version);
        CHECK(std::string(info.author) == "Plug-in team");
        CHECK(HexBytes(info.providerTitle) == HexBytes("\xD2\xE0\xF0\xED\xE0 \xC1\xF0\xEE\xE4\xE1\xE5\xED\xE4"));
        CHECK(std::string(info.providerId) == "tarna");

        const auto items = hoststub::WalkMenu<host::StyleMenuItem>(rig.styleMenu);
        REQUIRE(items.size() == 1);
        CHECK(items[0].styleId == 1);
        CHECK(HexBytes(items[0].caption) == HexBytes(row.caption));
        CHECK(HexBytes(items[0].description) == HexBytes(row.description));
        CHECK(std::string(items[0].previewPath) == row.preview);
        // mini's caption and description are one text.
        if (row.caption == row.description) CHECK(items[0].caption == items[0].description);
        // Past the end, or before it: the cursor goes to 0 and the item stays as it was.
        for (int start : {1, 2, -1}) {
            host::StyleMenuItem item;
            std::memset(&item, 0xEF, sizeof item);
            int cursor = start;
            rig.styleMenu(&item, &cursor);
            CHECK(cursor == 0);
            CHECK(item.styleId == static_cast<int>(0xEFEFEFEF));
        }
        testsupport::CheckCallerRemovesArguments(
            rig.plugin, {{"GetPluginInfo", 2}, {"GetWndStatsStyleMenu", 2}, {"ShowStatsData", 2}, {"ShowStatsDataTray", 2}});
    }
}

TEST_CASE("the skin resource has its size and pixel format, and the plug-in folder holds the preview as a JPEG of that size") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        hoststub::PluginModule plugin(SkinDll(row));
        HRSRC found = ::FindResourceA(plugin.handle(), MAKEINTRESOURCEA(row.bitmapId), reinterpret_cast<LPCSTR>(RT_BITMAP));
        REQUIRE(found != nullptr);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(plugin.handle(), found)));
        CHECK(header->biWidth == row.width);
        CHECK(header->biHeight == row.height);
        CHECK(header->biBitCount == row.bitsPerPixel);
        CHECK(header->biCompression == BI_RGB);
        const int stride = (row.width * row.bitsPerPixel / 8 + 3) / 4 * 4;
        const int palette = row.bitsPerPixel == 8 ? 256 * 4 : 0;
        CHECK(::SizeofResource(plugin.handle(), found) == static_cast<DWORD>(40 + palette + stride * row.height));

        std::string preview = row.preview;
        for (char& c : preview)
            if (c == '\\') c = '/';
        const std::string jpeg = testsupport::ReadFile(testsupport::BuildFile("plugins/" + preview));
        REQUIRE(jpeg.size() > 500);
        CHECK(jpeg.compare(0, 3, "\xFF\xD8\xFF") == 0);
        CHECK(jpeg.compare(jpeg.size() - 2, 2, "\xFF\xD9") == 0);
        // The frame header (SOF0) carries the picture's size: height, then width, big-endian.
        const std::size_t frame = jpeg.find("\xFF\xC0");
        REQUIRE(frame != std::string::npos);
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(jpeg[frame + at]); };
        CHECK(byte(5) * 256 + byte(6) == row.height);
        CHECK(byte(7) * 256 + byte(8) == row.width);
    }
}

TEST_CASE("the window takes the bitmap's size, and its region is exactly the pixels that are not the key colour") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        const HWND window = ShowWindowOf(rig);
        const Picture picture = ReadPicture(rig.plugin.handle(), row.bitmapId);
        REQUIRE(picture.width == row.width);
        REQUIRE(picture.height == row.height);
        RECT rect{};
        ::GetWindowRect(window, &rect);
        CHECK(rect.right - rect.left == row.width);
        CHECK(rect.bottom - rect.top == row.height);
        CHECK((::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        REQUIRE(::GetWindowRgn(window, region) != ERROR);
        int keys = 0, wrong = 0;
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x) {
                const bool key = picture.At(x, y) == row.key;
                keys += key;
                if ((::PtInRegion(region, x, y) != FALSE) == key) ++wrong;
            }
        ::DeleteObject(region);
        CHECK(wrong == 0);
        CHECK(keys > 0);  // every skin has its corners cut
    }
}

TEST_CASE("after a show the labels stand at their rectangles with their fonts and colours") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        const HWND window = ShowWindowOf(rig);
        // Twice: a font made again on the second show must still be alive in the labels.
        for (int show = 0; show < 2; ++show) {
            CAPTURE(show);
            if (show) rig.Show(1);
            const int width = WindowWidth(window);
            for (const LabelPlace& place : row.places) {
                CAPTURE(place.id);
                const RECT r = PlaceOf(window, place.id);
                const int expectedWidth = place.fullWidth ? width + place.width : place.width;
                CHECK(r.left == place.x);
                CHECK(r.top == place.y);
                CHECK(r.right - r.left == expectedWidth);
                CHECK(r.bottom - r.top == place.height);
            }
            const LOGFONTA dialogFont = FontOf(window);
            for (const LabelLook& look : row.looks) {
                CAPTURE(look.id);
                const LOGFONTA font = FontOf(::GetDlgItem(window, look.id));
                if (!look.face) {
                    CHECK(std::string(font.lfFaceName) == dialogFont.lfFaceName);
                    CHECK(font.lfHeight == dialogFont.lfHeight);
                } else {
                    CHECK(std::string(font.lfFaceName) == look.face);
                    CHECK(font.lfHeight == look.height);
                    CHECK(font.lfWeight == look.weight);
                    CHECK(font.lfWidth == 0);
                    CHECK(font.lfItalic == 0);
                    CHECK(font.lfCharSet == look.charSet);
                    CHECK(font.lfOutPrecision == look.outPrecision);
                    CHECK(font.lfClipPrecision == 0);
                    CHECK(font.lfQuality == look.quality);
                    CHECK(font.lfPitchAndFamily == look.pitchAndFamily);
                }
                const Paint paint = rig.PaintOf(window, look.id);
                CHECK(paint.text == look.colour);
                CHECK(paint.mode == TRANSPARENT);
                CHECK(paint.brush == static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
            }
        }
        char caption[32] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        CHECK(std::string(caption) == "[ ravo ]");
        if (row.name != "zol") continue;
        // zol's alert labels while their option is on: its own alert pair, on a solid brush.
        for (const char* option : {"alltitlealert", "saldotitlealert"}) rig.host.SetOption(option, true);
        for (int id : {9042, 9043}) {
            CAPTURE(id);
            const Paint paint = rig.PaintOf(window, id);
            CHECK(paint.text == 0x3B424B);
            CHECK(paint.back == 0xADDBF3);
            LOGBRUSH brush{};
            REQUIRE(::GetObjectA(paint.brush, sizeof brush, &brush) == sizeof brush);
            CHECK(brush.lbStyle == BS_SOLID);
            CHECK(brush.lbColor == 0xADDBF3);
        }
    }
}

TEST_CASE("one refresh asks the host in the skin's order, with the day keys, the fallback key and the alert limits") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        rig.host.SetValue("vptvsaldo", "10.00");
        const HWND window = ShowWindowOf(rig);
        // Hidden, no label paints (and no alert label asks its option) while the labels refill.
        HideByRightClick(window);
        rig.TakeCalls();
        Refresh(window);
        CHECK(rig.TakeCalls() == row.refresh);

        rig.host.SetValue("vptvsaldo", "");
        rig.host.SetOption("dblclk", true);
        for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
            rig.host.SetOption(option, true);
        Refresh(window);
        CHECK(rig.TakeCalls() == row.refreshDayFallbackAlerts);
        CHECK(rig.host.trayTexts().empty());  // TakeCalls cleared them with the calls
    }
}

TEST_CASE("the tray text: its variant in the host's bytes, the day keys with the switch on, \"нет\" for unknown keys") {
    const std::string no = "\xED\xE5\xF2";
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        struct Value {
            const char* key;
            const char* value;
        } values[] = {{"pagetitle", "\xC8\xF2\xEE\xE3\xE8"}, {"pagetitle_day", "day"}, {"alltrafic", "3 GB"},
                      {"alltrafic_day", "30 MB"},           {"sattrafic", "1"},       {"ukrtrafic", "2"},
                      {"saldo", "125.40 \xE3\xF0\xED."},    {"saldoonline", "120.00 \xE3\xF0\xED."},
                      {"updatetime", "10.12.2026 12:00"}};
        for (const Value& v : values) rig.host.SetValue(v.key, v.value);
        rig.Show(1);
        rig.host.SetOption("dblclk", true);
        rig.Show(1);
        const auto trays = rig.host.trayTexts();
        REQUIRE(trays.size() == 2);
        std::string month, day;
        if (row.balanceTray) {
            // The unit stays in the tray text, whatever the label shows.
            const std::string balances = "\n\xD1\xE0\xEB\xFC\xE4\xEE........... 125.40 \xE3\xF0\xED."
                                         "\n\xD1\xE0\xEB\xFC\xE4\xEE-online.... 120.00 \xE3\xF0\xED."
                                         "\n\n10.12.2026 12:00";
            month = "\xC8\xF2\xEE\xE3\xE8\n\n\xD2\xF0\xE0\xF4\xE8\xEA........... 3 GB" + balances;
            day = "day\n\n\xD2\xF0\xE0\xF4\xE8\xEA........... 30 MB" + balances;
        } else {
            month = "\xC8\xF2\xEE\xE3\xE8\n\nSatEx....... 1\nUkrEx....... 2\n\xCE\xE1\xF9\xE8\xE9..... 3 GB"
                    "\n\n10.12.2026 12:00";
            day = "day\n\nSatEx....... " + no + "\nUkrEx....... " + no + "\n\xCE\xE1\xF9\xE8\xE9..... 30 MB"
                  "\n\n10.12.2026 12:00";
        }
        CHECK(HexBytes(trays[0]) == HexBytes(month));
        CHECK(HexBytes(trays[1]) == HexBytes(day));
    }
}

TEST_CASE("a host that knows nothing: the labels show their defaults and the tray text ends in two line feeds") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        const HWND window = ShowWindowOf(rig);
        const auto trays = rig.host.trayTexts();
        REQUIRE(trays.size() == 1);
        const std::string no = "\xED\xE5\xF2";
        const std::string expected =
            row.balanceTray
                ? no + "\n\n\xD2\xF0\xE0\xF4\xE8\xEA........... " + no + "\n\xD1\xE0\xEB\xFC\xE4\xEE........... " + no +
                      "\n\xD1\xE0\xEB\xFC\xE4\xEE-online.... " + no + "\n\n"
                : no + "\n\nSatEx....... " + no + "\nUkrEx....... " + no + "\n\xCE\xE1\xF9\xE8\xE9..... " + no + "\n\n";
        CHECK(HexBytes(trays[0]) == HexBytes(expected));
        for (int id : {9041, 9055}) CHECK(rig.Text(window, id) == no);
        if (row.name == std::string("zol")) {
            CHECK(rig.Text(window, 9003) == "\xE8\xF2\xEE\xE3\xE8 \xEF\xEE \xF2\xF0\xE0\xF4\xE8\xEA\xF3");
            CHECK(rig.Text(window, 9057) == "    ");
            CHECK(rig.Text(window, 9044) == "\xED\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5");
            CHECK(rig.Text(window, 9047) == no);
            CHECK(rig.Text(window, 9042) == "");
            CHECK(rig.Text(window, 9043) == "");
            CHECK_FALSE(::IsWindowVisible(::GetDlgItem(window, 9057)));
            rig.host.SetOption("dblclk", true);
            rig.Show(1);
            CHECK(rig.Text(window, 9003) == "\xE8\xF2\xEE\xE3\xE8 \xE7\xE0 \xFD\xF2\xEE\xF2 \xE4\xE5\xED\xFC");
        } else if (row.places.size() == 5) {
            for (int id : {9056, 9057, 9058}) CHECK(rig.Text(window, id) == no);
        }
    }
}

TEST_CASE("show requests for any style but 1 do nothing and report 1") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        for (int style : {0, 2, -1}) {
            CAPTURE(style);
            CHECK(rig.Show(style) == 1);
            CHECK(rig.ShowTray(style) == 1);
        }
        for (int style : {0, 2}) CHECK(rig.Window(style) == nullptr);
        CHECK(rig.TakeCalls().empty());
    }
}
