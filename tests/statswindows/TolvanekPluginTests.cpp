// tolvanek.dll as the host sees it without showing anything: exports and module name, plug-in
// information, the style menu byte for byte, the version resource, the plug-in folder the build
// assembles, the two skin pictures, and show requests for styles it does not offer.
#include <doctest/doctest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/PluginChecks.h"
#include "tests/support/TestPaths.h"

using namespace statstest;
using testsupport::HexBytes;

TEST_CASE("tolvanek.dll exports its four entry points by name and ordinal, under the module name ostrel") {
    hoststub::PluginModule plugin(TolvanekDll());
    std::set<std::pair<std::string, unsigned>> exports;
    for (const auto& entry : plugin.Exports()) exports.insert({entry.name, entry.ordinal});
    CHECK(exports == std::set<std::pair<std::string, unsigned>>{{"GetPluginInfo", 1},
                                                                {"GetWndStatsStyleMenu", 2},
                                                                {"ShowStatsData", 3},
                                                                {"ShowStatsDataTray", 4}});
    CHECK(plugin.ExportModuleName() == "ostrel.dll");
    const char* names[] = {"GetPluginInfo", "GetWndStatsStyleMenu", "ShowStatsData", "ShowStatsDataTray"};
    for (unsigned ordinal = 1; ordinal <= 4; ++ordinal)
        CHECK(reinterpret_cast<void*>(plugin.FindOrdinal(ordinal)) ==
              reinterpret_cast<void*>(plugin.Find(names[ordinal - 1])));
    testsupport::CheckCallerRemovesArguments(
        plugin, {{"GetPluginInfo", 2}, {"GetWndStatsStyleMenu", 2}, {"ShowStatsData", 2}, {"ShowStatsDataTray", 2}});
}

TEST_CASE("GetPluginInfo: a statistics window named tolvanek 1.5 for the provider tarna") {
    hoststub::PluginModule plugin(TolvanekDll());
    const host::PluginInfo info = testsupport::StablePluginInfo(plugin);
    CHECK(info.kind == 4);
    CHECK(std::string(info.name) == "tolvanek");
    CHECK(std::string(info.version) == "1.5");
    CHECK(std::string(info.author) == "Plug-in team");
    CHECK(HexBytes(info.providerTitle) == HexBytes("\xD2\xE0\xF0\xED\xE0 \xC1\xF0\xEE\xE4\xE1\xE5\xED\xE4"));
    CHECK(std::string(info.providerId) == "tarna");
}

TEST_CASE("GetWndStatsStyleMenu walks the two styles with their texts byte for byte, then ends") {
    WindowRig rig(TolvanekDll());
    const auto items = hoststub::WalkMenu<host::StyleMenuItem>(rig.styleMenu);
    REQUIRE(items.size() == 2);
    struct Expected {
        int id;
        const char* caption;
        const char* description;
        const char* preview;
    } expected[] = {
        {1, "\xE9\xE5\xEB\xEB\xEE\xF3",
         "\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xF2 \xE8\xF2\xEE\xE3\xEE\xE2\xFB\xE5 \xE7\xED\xE0\xF7\xE5\xED\xE8\xFF "
         "\xEF\xEE Sat, Ukr, All, \xD1\xE0\xEB\xFC\xE4\xEE \xE8 \xD1\xE0\xEB\xFC\xE4\xEE-online\n"
         "\xCA\xEE\xF0\xF0\xE5\xEA\xF2\xED\xEE \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xF2\xF1\xFF \xEF\xF0\xE8 "
         "\xF0\xE0\xE7\xEC\xE5\xF0\xE5 \xF8\xF0\xE8\xF4\xF2\xE0 \xD1\xF2\xE0\xED\xE4\xE0\xF0\xF2\xED\xFB\xE9 "
         "(\xCD\xEE\xF0\xEC\xE0\xEB\xFC\xED\xFB\xE9 90dpi) \xE2 \xF1\xE8\xF1\xF2\xE5\xEC\xE5",
         "tolvanek\\tolvanek.jpg"},
        {2, "MacOS",
         "\xC4\xEB\xFF \xEF\xEE\xEA\xEB\xEE\xED\xED\xE8\xEA\xEE\xE2 \xEE\xF4\xEE\xF0\xEC\xEB\xE5\xED\xE8\xFF \xE2 "
         "\xF1\xF2\xE8\xEB\xE5 MacOS :)\n"
         "\xCA\xEE\xF0\xF0\xE5\xEA\xF2\xED\xEE \xEE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xF2\xF1\xFF \xEF\xF0\xE8 "
         "\xF0\xE0\xE7\xEC\xE5\xF0\xE5 \xF8\xF0\xE8\xF4\xF2\xE0 \xD1\xF2\xE0\xED\xE4\xE0\xF0\xF2\xED\xFB\xE9 "
         "(\xCD\xEE\xF0\xEC\xE0\xEB\xFC\xED\xFB\xE9 90dpi)\xE2 \xF1\xE8\xF1\xF2\xE5\xEC\xE5",
         "tolvanek\\tolvanek2.jpg"},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        CAPTURE(i);
        CHECK(items[i].styleId == expected[i].id);
        CHECK(HexBytes(items[i].caption) == HexBytes(expected[i].caption));
        CHECK(HexBytes(items[i].description) == HexBytes(expected[i].description));
        CHECK(std::string(items[i].previewPath) == expected[i].preview);
    }
    testsupport::CheckMenuEnds(rig.styleMenu, {2, 3, -1, 100});
}

TEST_CASE("show requests for a style tolvanek does not offer do nothing and report 1") {
    WindowRig rig(TolvanekDll());
    for (int style : {0, 3, -1, 1000}) {
        CAPTURE(style);
        CHECK(rig.Show(style) == 1);
        CHECK(rig.ShowTray(style) == 1);
    }
    CHECK(rig.Window(1) == nullptr);
    CHECK(rig.TakeCalls().empty());
    // Null arguments are not a request either.
    int result = 0;
    rig.host.RunOnUiThread([&] { rig.showData(nullptr, &result); });
    CHECK(result == 1);
}

namespace {

std::string VersionOf(const std::string& path, VS_FIXEDFILEINFO* fixed) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (!size || !::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return "(none)";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info) return "(none)";
    *fixed = *info;
    return "ok";
}

}  // namespace

TEST_CASE("the version resource says 1.5.0.0, and the build lays out the plug-in folder with both previews") {
    VS_FIXEDFILEINFO fixed{};
    REQUIRE(VersionOf(TolvanekDll(), &fixed) == "ok");
    CHECK(fixed.dwFileVersionMS == 0x00010005u);
    CHECK(fixed.dwFileVersionLS == 0u);
    CHECK(fixed.dwProductVersionMS == 0x00010005u);
    CHECK(fixed.dwProductVersionLS == 0u);
    for (const char* preview : {"plugins/tolvanek/tolvanek.jpg", "plugins/tolvanek/tolvanek2.jpg"}) {
        CAPTURE(preview);
        const std::string jpeg = testsupport::ReadFile(testsupport::BuildFile(preview));
        REQUIRE(jpeg.size() > 1000);
        CHECK(jpeg.compare(0, 3, "\xFF\xD8\xFF") == 0);
        CHECK(jpeg.compare(jpeg.size() - 2, 2, "\xFF\xD9") == 0);
    }
}

namespace {

// A skin resource as the plug-in ships it: header, palette, rows bottom-up.
struct Skin {
    std::string bytes;
    const BITMAPINFOHEADER& header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data()); }
    COLORREF Pixel(int x, int y) const {
        const auto* palette = reinterpret_cast<const RGBQUAD*>(bytes.data() + 40);
        const auto* rows = reinterpret_cast<const unsigned char*>(bytes.data() + 40 + 1024);
        const RGBQUAD& c = palette[rows[(header().biHeight - 1 - y) * 272 + x]];
        return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
};

Skin LoadSkin(HMODULE module, int id) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    REQUIRE(found != nullptr);
    const DWORD size = ::SizeofResource(module, found);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    return Skin{std::string(data, size)};
}

}  // namespace

TEST_CASE("the skins: 272 x 184, 8 bits with a palette, 51112 bytes; style 1 has no key pixel, style 2 white corners only") {
    hoststub::PluginModule plugin(TolvanekDll());
    const Skin yellow = LoadSkin(plugin.handle(), 9004);
    const Skin mac = LoadSkin(plugin.handle(), 9005);
    for (const Skin* skin : {&yellow, &mac}) {
        CHECK(skin->bytes.size() == 51112);
        CHECK(skin->header().biWidth == 272);
        CHECK(skin->header().biHeight == 184);
        CHECK(skin->header().biBitCount == 8);
        CHECK(skin->header().biCompression == BI_RGB);
    }
    int yellowKeys = 0, misplacedWhite = 0, missingWhite = 0;
    for (int y = 0; y < 184; ++y) {
        const int cut = CornerCut(y, 184);
        for (int x = 0; x < 272; ++x) {
            if (yellow.Pixel(x, y) == 0xFAF9F9) ++yellowKeys;
            const bool corner = x < cut || x >= 272 - cut;
            const bool white = mac.Pixel(x, y) == 0xFFFFFF;
            if (white && !corner) ++misplacedWhite;
            if (!white && corner) ++missingWhite;
        }
    }
    CHECK(yellowKeys == 0);
    CHECK(misplacedWhite == 0);
    CHECK(missingWhite == 0);
}
