// What the four skins do with particular values and places: the balance label without "грн."
// (every one, the blanks kept, the tray text untouched), the television balance's fallback key,
// the label layout of a window that a tray request created, the positions kept through real ini
// files, and zol's fixed place and alert colours read from the screen.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "tests/statswindows/SkinTables.h"
#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/TestPaths.h"

using namespace statstest;
using testsupport::HexBytes;

namespace {

const int kScreenX = ::GetSystemMetrics(SM_CXSCREEN);
const int kScreenY = ::GetSystemMetrics(SM_CYSCREEN);
const std::string kNo = "\xED\xE5\xF2";
const std::string kUnit = "\xE3\xF0\xED.";

RECT ScreenRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

// A label's rectangle in the window's client pixels.
RECT LabelRect(HWND window, int id) {
    RECT rect = ScreenRect(::GetDlgItem(window, id));
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The template's rectangle of a label in pixels, as the dialog's font maps dialog units.
RECT TemplateRect(HWND window, int x, int y, int width, int height) {
    RECT rect{x, y, x + width, y + height};
    ::MapDialogRect(window, &rect);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void Ini(const std::string& path, const char* key, const char* value) {
    if (value) ::WritePrivateProfileStringA("GLOBAL", key, value, path.c_str());
}

std::string IniValue(const std::string& path, const char* key) {
    char text[64] = {};
    ::GetPrivateProfileStringA("GLOBAL", key, "(none)", text, sizeof text, path.c_str());
    return text;
}

// The ini file of a skin below the rig's host folder, with its folders made.
std::string PrepareIni(WindowRig& rig, const SkinRow& row) {
    const std::string relative = row.iniFile;
    for (std::size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
        ::CreateDirectoryA(rig.IniFile(relative.substr(0, at)).c_str(), nullptr);
    return rig.IniFile(relative);
}

}  // namespace

TEST_CASE("the balance label loses every \"грн.\" and keeps the blanks around it; the tray text keeps the unit") {
    struct Case {
        std::string host;
        std::string shown;
    } cases[] = {
        {"125.40 " + kUnit, "125.40 "},
        {"-3.10" + kUnit + " / 7 " + kUnit, "-3.10 / 7 "},
        {kUnit, ""},  // a value that is only the unit leaves an empty label, not the default
        {kUnit + kUnit, ""},
        {"12 \xE3\xF0\xED", "12 \xE3\xF0\xED"},  // without its dot it is not the unit
        {"\xC3\xD0\xCD. 5", "\xC3\xD0\xCD. 5"},  // nor in capitals
        {"", kNo},
    };
    for (const SkinRow& row : SkinRows()) {
        if (!row.balanceLabel) continue;
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        for (const Case& c : cases) {
            CAPTURE(HexBytes(c.host));
            rig.host.SetValue(row.balanceKey, c.host);
            rig.host.SetValue("saldo", c.host);
            rig.Show(1);
            CHECK(HexBytes(rig.Text(rig.Window(1), row.balanceLabel)) == HexBytes(c.shown));
            const auto trays = rig.host.trayTexts();
            REQUIRE(!trays.empty());
            const std::string shownInTray = c.host.empty() ? kNo : c.host;
            CHECK(trays.back().find("\xD1\xE0\xEB\xFC\xE4\xEE........... " + shownInTray + "\n") != std::string::npos);
            rig.host.ClearRecords();
        }
        // The other balance stays out of the label: morvik shows "saldo", the others "saldoonline".
        rig.host.SetValue("saldo", "1.00");
        rig.host.SetValue("saldoonline", "2.00");
        rig.Show(1);
        CHECK(rig.Text(rig.Window(1), row.balanceLabel) == (row.balanceKey == std::string("saldo") ? "1.00" : "2.00"));
    }
}

TEST_CASE("the television balance: \"vptvsaldo\", and \"atvsaldo\" only where the first answer is exactly \"нет\"") {
    struct Case {
        const char* name;
        std::string vptv;
        std::string atv;
        std::string shown;
        bool atvAsked;
    } cases[] = {
        {"present", "15.00", "99", "15.00", false},
        {"missing, the older key present", "", "7.50", "7.50", true},
        {"both missing", "", "", kNo, true},
        {"the host itself answers \"нет\"", kNo, "8.00", "8.00", true},
        {"\"нет\" with a trailing blank counts as a value", kNo + " ", "8.00", kNo + " ", false},
        {"another letter case counts as a value", "\xCD\xC5\xD2", "8.00", "\xCD\xC5\xD2", false},
    };
    for (const char* name : {"morvik", "selvane"}) {
        const SkinRow& row = SkinNamed(name);
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        for (const Case& c : cases) {
            CAPTURE(c.name);
            rig.host.SetValue("vptvsaldo", c.vptv);
            rig.host.SetValue("atvsaldo", c.atv);
            rig.TakeCalls();
            rig.Show(1);
            CHECK(HexBytes(rig.Text(rig.Window(1), 9056)) == HexBytes(c.shown));
            bool asked = false;
            for (const std::string& call : rig.TakeCalls()) asked = asked || call == "value:atvsaldo";
            CHECK(asked == c.atvAsked);
        }
    }
}

TEST_CASE("a window made by a tray request keeps the template's layout until the first show lays it out") {
    for (const SkinRow& row : SkinRows()) {
        CAPTURE(row.name);
        WindowRig rig(SkinDll(row));
        rig.host.SetValue("alltrafic", "5 GB");
        CHECK(rig.ShowTray(1) == 1);
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        CHECK(::IsWindowVisible(window));
        // The template's texts, font and rectangles (zol's traffic label is its third row).
        CHECK(rig.Text(window, 9041) == "0");
        CHECK(rig.Text(window, 9055) == "0.00");
        const auto dialogFont = ::SendMessageA(window, WM_GETFONT, 0, 0);
        CHECK(::SendMessageA(::GetDlgItem(window, 9041), WM_GETFONT, 0, 0) == dialogFont);
        const bool zol = row.name == "zol";
        CHECK(SameRect(LabelRect(window, 9041), zol ? TemplateRect(window, 0, 33, 105, 8) : TemplateRect(window, 0, 5, 21, 8)));
        // A skin that keeps a place stores the host window while reading it, so the summary goes
        // out; zol stores none on a tray request, so nothing is sent.
        CHECK(rig.host.trayTexts().size() == (row.iniFile ? 1u : 0u));

        // The first show lays out every skin, zol included, though it did not make the window.
        rig.Show(1);
        CHECK(rig.Text(window, 9041) == "5 GB");
        const LabelPlace& first = row.places[0];
        RECT shown = LabelRect(window, first.id);
        CHECK(shown.left == first.x);
        CHECK(shown.top == first.y);
        CHECK(::SendMessageA(::GetDlgItem(window, row.looks[0].id), WM_GETFONT, 0, 0) != dialogFont);
        CHECK(rig.host.trayTexts().size() == (row.iniFile ? 2u : 1u));

        // Later shows lay the labels out again only where the skin does so on every show.
        rig.host.RunOnUiThread([&] { ::MoveWindow(::GetDlgItem(window, first.id), 1, 2, 30, 10, TRUE); });
        rig.Show(1);
        shown = LabelRect(window, first.id);
        CHECK((shown.left == first.x && shown.top == first.y) == row.layoutOnEveryShow);
    }
}

TEST_CASE("a saved place above 1 is where the window opens, each coordinate on its own; unload saves it again") {
    struct Case {
        const char* x;
        const char* y;
        int expectX;  // -1: the default
        int expectY;
    } cases[] = {
        {nullptr, nullptr, -1, -1}, {"300", "200", 300, 200}, {"1", "0", -1, -1},
        {"-5", "12abc", -1, 12},    {"", "x", -1, -1},         {"2", "400", 2, 400},
    };
    for (const SkinRow& row : SkinRows()) {
        if (!row.iniFile) continue;
        CAPTURE(row.name);
        for (const Case& c : cases) {
            CAPTURE(c.x ? c.x : "(none)");
            CAPTURE(c.y ? c.y : "(none)");
            WindowRig rig(SkinDll(row));
            const std::string ini = PrepareIni(rig, row);
            Ini(ini, "X", c.x);
            Ini(ini, "Y", c.y);
            rig.Show(1);
            const RECT rect = ScreenRect(rig.Window(1));
            CHECK(rect.left == (c.expectX < 0 ? kScreenX - row.offsetX : c.expectX));
            CHECK(rect.top == (c.expectY < 0 ? kScreenY - row.offsetY : c.expectY));
            for (const auto& call : rig.host.windowCalls())
                if (call.message == host::WM_HOST_READ_INI_STRING) CHECK(call.iniFile == row.iniFile);
        }
        std::string folder;
        {
            WindowRig rig(SkinDll(row));
            folder = rig.host.HostFolder();
            rig.Show(1);
            rig.host.RunOnUiThread([&] {
                ::SetWindowPos(rig.Window(1), nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            });
            rig.Unload();
            const std::string ini = rig.IniFile(row.iniFile);
            CHECK(IniValue(ini, "X") == "123");
            CHECK(IniValue(ini, "Y") == "77");
        }
        WindowRig again(SkinDll(row));
        again.host.SetHostFolder(folder);
        again.Show(1);
        const RECT rect = ScreenRect(again.Window(1));
        CHECK(rect.left == 123);
        CHECK(rect.top == 77);
    }
}

TEST_CASE("zol opens at its fixed place every time, reads and writes no ini file, and saves nothing at unload") {
    const SkinRow& row = SkinNamed("zol");
    std::string folder;
    {
        WindowRig rig(SkinDll(row));
        folder = rig.host.HostFolder();
        rig.Show(1);
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        RECT rect = ScreenRect(window);
        CHECK(rect.left == kScreenX - 103);
        CHECK(rect.top == kScreenY - 222);
        // Dragged elsewhere, then unloaded.
        rig.host.RunOnUiThread([&] {
            ::SetWindowPos(window, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        });
        rig.Show(1);
        rect = ScreenRect(window);
        CHECK(rect.left == 40);  // a show does not move a window that exists
        rig.Unload();
        for (const auto& call : rig.host.windowCalls()) {
            CAPTURE(call.key);
            CHECK(call.message != host::WM_HOST_READ_INI_STRING);
            CHECK(call.message != host::WM_HOST_WRITE_INI_STRING);
            CHECK(call.message != host::WM_HOST_READ_INI_INT);
            CHECK(call.message != host::WM_HOST_WRITE_INI_INT);
        }
    }
    WindowRig again(SkinDll(row));
    again.host.SetHostFolder(folder);
    again.Show(1);
    const RECT rect = ScreenRect(again.Window(1));
    CHECK(rect.left == kScreenX - 103);
    CHECK(rect.top == kScreenY - 222);
}

TEST_CASE("zol's alert labels: the user's limit on 0xADDBF3 while the option is on, the skin otherwise") {
    const SkinRow& row = SkinNamed("zol");
    WindowRig rig(SkinDll(row));
    rig.host.SetUserLimit("alltraficlimituser", "500 MB");
    rig.host.SetUserLimit("saldolimituser", "10.00");
    rig.host.SetOption("alltitlealert", true);
    rig.Show(1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    const RECT traffic = LabelRect(window, 9042);
    const RECT balance = LabelRect(window, 9043);
    const auto inside = [](const RECT& r) { return POINT{r.left + 1, r.top + 1}; };
    CHECK(rig.Text(window, 9042) == "500 MB");
    CHECK(rig.Text(window, 9043) == "");  // its option is off: empty, whatever the limit
    CHECK(rig.ClientPixel(window, inside(traffic).x, inside(traffic).y) == 0xADDBF3);
    // Off: the skin shows through (the bitmap sits at the client origin: zol has no border).
    const COLORREF skinAtBalance = rig.ClientPixel(window, inside(balance).x, inside(balance).y);
    CHECK(skinAtBalance != 0xADDBF3);

    // Turned on between refreshes: the next paint colours the label; its text waits for a refresh.
    rig.host.SetOption("saldotitlealert", true);
    CHECK(rig.ClientPixel(window, inside(balance).x, inside(balance).y) == 0xADDBF3);
    CHECK(rig.Text(window, 9043) == "");
    rig.Show(1);
    CHECK(rig.Text(window, 9043) == "10.00");
    // On without a known limit: an empty label on the alert background.
    rig.host.SetUserLimit("alltraficlimituser", "");
    rig.Show(1);
    CHECK(rig.Text(window, 9042) == "");
    CHECK(rig.ClientPixel(window, inside(traffic).x, inside(traffic).y) == 0xADDBF3);
    rig.host.SetOption("alltitlealert", false);
    CHECK(rig.ClientPixel(window, inside(traffic).x, inside(traffic).y) != 0xADDBF3);
}
