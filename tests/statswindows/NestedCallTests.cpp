// A host that shows a statistics window again from inside its handler of every host message the
// window sends (value, option, tray text, ini reads and writes), at once or from a timer while
// the handler pumps messages: the host goes on, both calls report 1, and the window ends as a
// show without nesting leaves it: the same texts, the same tray summary, and only live fonts on
// its labels.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/TestPaths.h"

using namespace statstest;
using Nesting = hoststub::StandInHost::Nesting;

namespace {

void SetStatistics(hoststub::StandInHost& host) {
    for (const char* key : {"pagetitle", "updatetime", "sattrafic", "sattraficoutlimit", "ukrtrafic",
                            "ukrtraficoutlimit", "alltrafic", "alltraficoutlimit", "saldo", "saldoonline",
                            "tariffplanlimit"})
        host.SetValue(key, std::string(key) + " 12");
    // Every alert on: their labels ask the host while they paint.
    for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
        host.SetOption(option, true);
    for (const char* limit : {"sattraficlimituser", "ukrtraficlimituser", "alltraficlimituser", "saldolimituser"})
        host.SetUserLimit(limit, std::string(limit) + " 3");
}

// What a show leaves: the window's caption and texts, each label with whether its font lives.
struct Shown {
    std::vector<std::string> texts;
    std::vector<std::string> trays;
    int deadFonts = 0;
    bool visible = false;
};

BOOL CALLBACK ReadLabel(HWND label, LPARAM param) {
    auto* shown = reinterpret_cast<Shown*>(param);
    char text[256] = {};
    ::GetWindowTextA(label, text, sizeof text);
    shown->texts.push_back(std::to_string(::GetDlgCtrlID(label)) + ": " + text);
    const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageA(label, WM_GETFONT, 0, 0));
    if (font && ::GetObjectType(font) != OBJ_FONT) ++shown->deadFonts;
    return TRUE;
}

Shown ReadShown(WindowRig& rig, HWND window) {
    Shown shown;
    rig.host.RunOnUiThread([&] {
        char caption[256] = {};
        ::GetWindowTextA(window, caption, sizeof caption);
        shown.texts.push_back(std::string("caption: ") + caption);
        ::EnumChildWindows(window, &ReadLabel, reinterpret_cast<LPARAM>(&shown));
        shown.visible = ::IsWindowVisible(window) != FALSE;
    });
    shown.trays = rig.host.trayTexts();
    return shown;
}

struct Row {
    const char* dll;
    int style;
    bool trayFirst;  // the window is made by ShowStatsDataTray, then shown by ShowStatsData
};

// The row's outer calls; with `nesting`, each host message they send shows the window again
// (ShowStatsData, then ShowStatsDataTray) unless a nested call is already under way.
Shown RunRow(const Row& row, const Nesting* nesting, int* nestedCalls) {
    WindowRig rig(testsupport::BuildFile(std::string("plugins/") + row.dll + ".dll"));
    SetStatistics(rig.host);
    auto* showData = rig.showData;
    auto* showTray = rig.showTray;
    const HWND hostWindow = rig.host.window();
    bool nested = false, allOne = true;
    int calls = 0;
    if (nesting) {
        rig.host.SetMessageHook([&](UINT) {
            if (nested) return;
            nested = true;
            const bool ran = hoststub::StandInHost::CallNested(*nesting, [&] {
                host::ShowStatsRequest request{hostWindow, 60, row.style};
                int shown = 0, tray = 0;
                showData(&request, &shown);
                showTray(&request, &tray);
                allOne = allOne && shown == 1 && tray == 1;
            });
            calls += ran ? 1 : 0;
            nested = false;
        });
    }
    if (row.trayFirst) CHECK(rig.ShowTray(row.style) == 1);
    CHECK(rig.Show(row.style) == 1);
    rig.host.SetMessageHook(nullptr);
    CHECK(allOne);
    *nestedCalls = calls;
    REQUIRE(rig.Window(row.style) != nullptr);
    // The last summary is the one a show without nesting sends last.
    rig.host.ClearRecords();
    CHECK(rig.ShowTray(row.style) == 1);
    return ReadShown(rig, rig.Window(row.style));
}

}  // namespace

TEST_CASE("a host that shows the window again from inside each of its handlers: the outer show ends as without") {
    const Row rows[] = {
        {"tolvanek", 1, false}, {"tolvanek", 2, true}, {"zol", 1, false},
        {"mini", 1, false},     {"morvik", 1, true},   {"ostrel_only", 1, false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.dll);
        CAPTURE(row.style);
        CAPTURE(row.trayFirst);
        int calls = 0;
        const Shown plain = RunRow(row, nullptr, &calls);
        CHECK(plain.deadFonts == 0);
        for (Nesting nesting : {Nesting::Direct, Nesting::FromTimer}) {
            CAPTURE(nesting == Nesting::Direct ? "direct" : "from a timer");
            const Shown shown = RunRow(row, &nesting, &calls);
            CHECK(calls > 3);
            CHECK(shown.texts == plain.texts);
            CHECK(shown.trays == plain.trays);
            CHECK(shown.visible == plain.visible);
            CHECK(shown.deadFonts == 0);
        }
    }
}
