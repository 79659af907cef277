#include "tests/statswindows/SkinTables.h"

#include <stdexcept>

#include "tests/support/TestPaths.h"

namespace statstest {

namespace {

// cp1251 bytes, spelled out so that the test does not share the plug-ins' conversion.
constexpr char kFiveCaption[] = "\xC8\xED\xF2\xE5\xF0\xED\xE5\xF2+\xD2\xC2+\xCC\xEE\xE4\xE5\xEC+\xC4\xE5\xEA\xEE\xE4\xE5\xF0";
constexpr char kFiveDescription[] =
    "\xCE\xF2\xEE\xE1\xF0\xE0\xE6\xE0\xE5\xF2 \xE1\xE0\xEB\xE0\xED\xF1 \xEF\xEE \xC8\xED\xF2\xE5\xF0\xED\xE5\xF2, "
    "\xD6\xE8\xF4\xF0\xEE\xE2\xEE\xE5 \xD2\xC2, \xC0\xF0\xE5\xED\xE4\xE0 \xEC\xEE\xE4\xE5\xEC\xE0 \xE8 "
    "\xC0\xF0\xE5\xED\xE4\xE0 \xE4\xE5\xEA\xEE\xE4\xE5\xF0\xE0";
constexpr char kMiniCaption[] = "\xEF\xF0\xEE\xF1\xF2\xEE mini - \xED\xE8\xF7\xE5\xE3\xEE \xEB\xE8\xF8\xED\xE5\xE3\xEE";

// The refresh of morvik and selvane: the labels (the balance label's key differs), then the
// tray text's requests. `day` is "" or "_day"; `fallback` adds the read of "atvsaldo".
std::vector<std::string> FiveLabelRefresh(const char* balanceKey, const std::string& day, bool fallback) {
    std::vector<std::string> calls = {"flag:dblclk", "value:alltrafic" + day, std::string("value:") + balanceKey,
                                      "value:vptvsaldo"};
    if (fallback) calls.push_back("value:atvsaldo");
    for (const char* call : {"value:rentdecodersaldo", "value:rentmodemsaldo"}) calls.push_back(call);
    const std::vector<std::string> tray = {"flag:dblclk",  "value:pagetitle" + day, "value:alltrafic" + day,
                                           "value:saldo",  "value:saldoonline",     "value:updatetime",
                                           "tray"};
    calls.insert(calls.end(), tray.begin(), tray.end());
    return calls;
}

std::vector<SkinRow> MakeRows() {
    const std::vector<LabelLook> fiveLooks[2] = {
        {{9041, 0x000000, "Arial Black", 12, 500}, {9055, 0x000000, "Arial Black", 12, 500},
         {9056, 0x000000, "Arial Black", 12, 500}, {9057, 0x000000, "Arial Black", 12, 500},
         {9058, 0x000000, "Arial Black", 12, 500}},
        {{9041, 0x333399, "Arial", 16, 0}, {9055, 0x333399, "Arial", 16, 0}, {9056, 0x333333, "Arial", 16, 0},
         {9057, 0x333333, "Arial", 16, 0}, {9058, 0x333333, "Arial", 16, 0}},
    };
    // zol's font A (alerts) and B (title, date): no face, DEFAULT_CHARSET, OUT_TT_ONLY_PRECIS,
    // PROOF_QUALITY, VARIABLE_PITCH | FF_SWISS.
    const auto zolFont = [](int id, COLORREF colour, LONG height) {
        return LabelLook{id, colour, "", height, 0, 1, 7, 2, 0x22};
    };
    return {
        {"morvik", "MORVIK", "1.4", kFiveCaption, kFiveDescription, "morvik\\morvik.jpg", 9007, 350, 120, 24,
         0xFAF9F9, 350, 147, "plugins\\morvik\\morvik.ini", true,
         {{9041, 0, 88, 91, 20}, {9055, 0, 103, 91, 20}, {9056, 91, 97, 81, 20}, {9058, 172, 97, 91, 20},
          {9057, 256, 97, 91, 20}},
         fiveLooks[0], 9055, "saldo", FiveLabelRefresh("saldo", "", false), FiveLabelRefresh("saldo", "_day", true),
         true},
        {"selvane", "SELVANE", "1.4", kFiveCaption, kFiveDescription, "selvane\\selvane.jpg", 9010, 246, 139, 8,
         0x000000, 250, 147, "plugins\\selvane\\selvane.ini", true,
         {{9041, 156, 17, 57, 20}, {9055, 156, 32, 57, 20}, {9056, 156, 63, 58, 20}, {9058, 35, 109, 70, 20},
          {9057, 160, 109, 70, 20}},
         fiveLooks[1], 9055, "saldoonline", FiveLabelRefresh("saldoonline", "", false),
         FiveLabelRefresh("saldoonline", "_day", true), true},
        {"mini", "MINI", "1.2", kMiniCaption, kMiniCaption, "mini\\mini.jpg", 9010, 156, 75, 8, 0x000000, 154, 100,
         "plugins\\mini\\mini.ini", true, {{9041, 75, 27, 63, 20}, {9055, 75, 42, 63, 20}},
         {{9041, 0x333399, "Arial", 16, 0}, {9055, 0x333399, "Arial", 16, 0}}, 9055, "saldoonline",
         {"flag:dblclk", "value:alltrafic", "value:saldoonline", "flag:dblclk", "value:pagetitle", "value:alltrafic",
          "value:saldo", "value:saldoonline", "value:updatetime", "tray"},
         {"flag:dblclk", "value:alltrafic_day", "value:saldoonline", "flag:dblclk", "value:pagetitle_day",
          "value:alltrafic_day", "value:saldo", "value:saldoonline", "value:updatetime", "tray"},
         true},
        {"zol", "ZOL", "1.2", "\xEC\xE8\xED\xE8\xEC\xE0\xEB\xE8\xF1\xF2",
         "\xEC\xE0\xEA\xF1\xE8\xEC\xE0\xEB\xFC\xED\xEE \xEF\xF0\xEE\xF1\xF2\xEE\xE9 \xE8 "
         "\xED\xE5\xE7\xE0\xF2\xE5\xE9\xEB\xE8\xE2\xFB\xE9 \xF1\xF2\xE8\xEB\xFC \xE4\xEB\xFF "
         "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE5\xE9 \xF1\xEC\xE5\xF8\xE0\xED\xEA\xE8",
         "zol\\zol.jpg", 9006, 103, 195, 24, 0xFAF9F9, 103, 222, nullptr, false,
         {{9003, 0, 19, 0, 10, true}, {9041, 0, 50, 0, 20, true}, {9044, 0, 90, 0, 20, true},
          {9047, 0, 126, 0, 15, true}, {9042, 20, 140, -40, 11, true}, {9055, 0, 165, 0, 15, true},
          {9043, 20, 183, -40, 11, true}},
         {zolFont(9003, 0x1E1E1E, 10), zolFont(9057, 0x1E1E1E, 10), {9044, 0x3D3D3D, nullptr},
          {9041, 0x515151, nullptr}, {9047, 0x515151, nullptr}, zolFont(9042, 0x3D3D3D, 11),
          zolFont(9043, 0x3D3D3D, 11), {9055, 0x515151, nullptr}},
         0, nullptr,
         {"value:pagetitle", "flag:dblclk", "value:updatetime", "value:tariffplanlimit", "value:alltrafic",
          "value:alltraficoutlimit", "flag:alltitlealert", "flag:saldotitlealert", "value:saldoonline", "flag:dblclk",
          "value:pagetitle", "value:sattrafic", "value:ukrtrafic", "value:alltrafic", "value:updatetime", "tray"},
         {"value:pagetitle", "flag:dblclk", "value:pagetitle_day", "value:updatetime", "value:tariffplanlimit",
          "value:alltrafic_day", "value:alltraficoutlimit_day", "flag:alltitlealert", "value:alltraficlimituser",
          "flag:saldotitlealert", "value:saldolimituser", "value:saldoonline", "flag:dblclk", "value:pagetitle_day",
          "value:sattrafic_day", "value:ukrtrafic_day", "value:alltrafic_day", "value:updatetime", "tray"},
         false},
    };
}

}  // namespace

const std::vector<SkinRow>& SkinRows() {
    static const std::vector<SkinRow> rows = MakeRows();
    return rows;
}

const SkinRow& SkinNamed(const std::string& name) {
    for (const SkinRow& row : SkinRows())
        if (name == row.name) return row;
    throw std::invalid_argument("no skin " + name);
}

std::string SkinDll(const SkinRow& row) { return testsupport::BuildFile(std::string("plugins/") + row.name + ".dll"); }

}  // namespace statstest
