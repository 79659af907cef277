// tolvanek's two windows in the stand-in host: what the host receives for one refresh, the
// statics the window has, the label texts and defaults, every static's colours as its
// WM_CTLCOLORSTATIC sets them, the alert colours on the screen, the region of each style, hiding
// by timer and by right click, refresh by double click, the tray summary, and the positions kept
// in the styles' ini files through the host.
#include <doctest/doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/statswindows/StatsWindowRig.h"
#include "tests/support/TestPaths.h"

using namespace statstest;
using testsupport::HexBytes;

namespace {

constexpr int kTitle = 9003, kDate = 9057, kSat = 9012, kSatOut = 9014, kSatAlert = 9017, kUkr = 9023,
              kUkrOut = 9029, kUkrAlert = 9024, kAll = 9041, kAllOut = 9047, kAllAlert = 9042, kSaldo = 9039,
              kSaldoAlert = 9043, kSaldoOnline = 9055;

const int kScreenX = ::GetSystemMetrics(SM_CXSCREEN);
const int kScreenY = ::GetSystemMetrics(SM_CYSCREEN);

// One refresh with the day switch off and no alert option on: 22 messages.
std::vector<std::string> RefreshCalls(const std::string& day = "", std::vector<std::string> alerts = {}) {
    std::vector<std::string> calls = {"value:pagetitle", "flag:dblclk"};
    if (!day.empty()) calls.push_back("value:pagetitle_day");
    calls.push_back("value:updatetime");
    for (const char* key : {"sattrafic", "sattraficoutlimit", "ukrtrafic", "ukrtraficoutlimit", "alltrafic",
                            "alltraficoutlimit"})
        calls.push_back("value:" + std::string(key) + day);
    const char* flags[][2] = {{"sattitlealert", "sattraficlimituser"},
                              {"ukrtitlealert", "ukrtraficlimituser"},
                              {"alltitlealert", "alltraficlimituser"},
                              {"saldotitlealert", "saldolimituser"}};
    for (const auto& flag : flags) {
        calls.push_back("flag:" + std::string(flag[0]));
        for (const std::string& on : alerts)
            if (on == flag[0]) calls.push_back("value:" + std::string(flag[1]));
    }
    for (const char* key : {"value:saldo", "value:saldoonline", "flag:dblclk"}) calls.push_back(key);
    for (const char* key : {"pagetitle", "sattrafic", "ukrtrafic", "alltrafic"})
        calls.push_back("value:" + std::string(key) + day);
    calls.push_back("value:updatetime");
    calls.push_back("tray");
    return calls;
}

void Hide(HWND window) { ::SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(5, 5)); }

void DoubleClick(HWND window) { ::SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20)); }

RECT ChildRect(HWND window, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool WaitVisible(HWND window, bool visible, DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 20) {
        if ((::IsWindowVisible(window) != FALSE) == visible) return true;
        if (waited >= milliseconds) return false;
        ::Sleep(20);
    }
}

// The calls without the alert options that the alert labels ask while they paint: a visible
// window paints whenever its thread is idle, so those can come at any point of a sequence (for
// sequences that ask no alert option themselves).
std::vector<std::string> WithoutPaintQueries(const std::vector<std::string>& calls) {
    std::vector<std::string> rest;
    for (const std::string& call : calls)
        if (call.rfind("flag:", 0) != 0 || call.find("titlealert") == std::string::npos) rest.push_back(call);
    return rest;
}

// The captions of template 102 with their texts (cp1251 bytes): the statics no label lists.
struct Caption {
    int id;
    const char* text;
};
constexpr Caption kCaptions[] = {
    {9007, "SatEx \xF2\xF0\xE0\xF4\xE8\xEA"},
    {9009, "SatEx \xF2\xF0\xE0\xF4\xE8\xEA \xE7\xE0 \xEB\xE8\xEC\xE8\xF2\xEE\xEC"},
    {9022, "UkrEx \xF2\xF0\xE0\xF4\xE8\xEA"},
    {9028, "UkrEx \xF2\xF0\xE0\xF4\xE8\xEA \xE7\xE0 \xEB\xE8\xEC\xE8\xF2\xEE\xEC"},
    {9040, "\xC2\xE5\xF1\xFC \xF2\xF0\xE0\xF4\xE8\xEA"},
    {9046, "\xC2\xE5\xF1\xFC \xF2\xF0\xE0\xF4\xE8\xEA \xE7\xE0 \xEB\xE8\xEC\xE8\xF2\xEE\xEC"},
    {9037, "\xD1\xE0\xEB\xFC\xE4\xEE"},
    {9038, "\xD1\xE0\xEB\xFC\xE4\xEE online"},
};

// The ids of the window's child controls, in the order the window holds them; every one must be
// a transparent static.
std::vector<int> StaticIds(HWND window) {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        CAPTURE(id);
        char name[32] = {};
        ::GetClassNameA(child, name, sizeof name);
        CHECK(std::string(name) == "Static");
        CHECK((::GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0);
        ids.push_back(id);
    }
    return ids;
}

void CheckCaptions(const WindowRig& rig, HWND window) {
    for (const Caption& caption : kCaptions) {
        CAPTURE(caption.id);
        CHECK(HexBytes(rig.Text(window, caption.id)) == HexBytes(caption.text));
    }
}

using LabelPaint = WindowRig::LabelPaint;
constexpr COLORREF kUnset = WindowRig::kUnsetColour;

COLORREF SkinPixel(HMODULE module, int bitmapId, int x, int y) {
    HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageA(module, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const COLORREF pixel = ::GetPixel(memory, x, y);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(bitmap);
    return pixel;
}

}  // namespace

TEST_CASE("one refresh asks the host in a fixed order: 22 messages, one more with the day switch and per alert option") {
    struct Case {
        const char* name;
        bool day;
        std::vector<std::string> alerts;
    } cases[] = {
        {"day switch off, no alert", false, {}},
        {"day switch on", true, {}},
        {"foreign alert", false, {"sattitlealert"}},
        {"domestic alert", false, {"ukrtitlealert"}},
        {"total alert", false, {"alltitlealert"}},
        {"balance alert", false, {"saldotitlealert"}},
        {"everything on", true, {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"}},
    };
    WindowRig rig(TolvanekDll());
    rig.Show(1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    for (const Case& c : cases) {
        CAPTURE(c.name);
        rig.host.SetOption("dblclk", c.day);
        for (const char* flag : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"}) {
            bool on = false;
            for (const std::string& a : c.alerts) on = on || a == flag;
            rig.host.SetOption(flag, on);
        }
        // Hidden, the labels do not paint while they are filled, and no alert paint asks in between.
        Hide(window);
        rig.TakeCalls();
        DoubleClick(window);
        const std::vector<std::string> calls = rig.TakeCalls();
        CHECK(calls == RefreshCalls(c.day ? "_day" : "", c.alerts));
        CHECK(calls.size() == 22 + (c.day ? 1 : 0) + c.alerts.size());
    }
}

TEST_CASE("the first ShowStatsData creates the window, reads its position, and then refreshes once") {
    WindowRig rig(TolvanekDll());
    rig.Show(2);
    const auto recorded = rig.host.windowCalls();
    const std::vector<std::string> calls = rig.TakeCalls();
    std::vector<std::string> expected = {"readini:X", "readini:Y"};
    for (const std::string& call : RefreshCalls()) expected.push_back(call);
    // The window is visible while it refills: each alert label that repaints asks its option once
    // more in between. Apart from those, the calls are the refresh's.
    std::vector<std::string> rest;
    std::size_t next = 0;
    for (const std::string& call : calls) {
        if (next < expected.size() && call == expected[next])
            ++next;
        else
            rest.push_back(call);
    }
    CHECK(next == expected.size());
    for (const std::string& extra : rest) {
        CAPTURE(extra);
        CHECK(extra.find("titlealert") != std::string::npos);
    }
    for (const auto& call : recorded)
        if (call.message == host::WM_HOST_READ_INI_STRING) CHECK(call.iniFile == "plugins\\tolvanek\\tolvanek.ini");
}

TEST_CASE("labels show the host's values, and their defaults where the host has none") {
    WindowRig rig(TolvanekDll());
    rig.Show(1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    CHECK(rig.Text(window, kTitle) == "\xE8\xF2\xEE\xE3\xE8 \xEF\xEE \xF2\xF0\xE0\xF4\xE8\xEA\xF3");
    CHECK(rig.Text(window, kDate) == "    ");
    for (int id : {kSat, kSatOut, kUkr, kUkrOut, kAll, kAllOut, kSaldo, kSaldoOnline}) {
        CAPTURE(id);
        CHECK(rig.Text(window, id) == "\xED\xE5\xF2");
    }
    for (int id : {kSatAlert, kUkrAlert, kAllAlert, kSaldoAlert}) CHECK(rig.Text(window, id) == "");
    // The window has the template's 22 statics and no other control; the captions keep their
    // template texts.
    std::vector<int> ids = StaticIds(window);
    std::sort(ids.begin(), ids.end());
    CHECK(ids == std::vector<int>{9003, 9007, 9009, 9012, 9014, 9017, 9022, 9023, 9024, 9028, 9029,
                                  9037, 9038, 9039, 9040, 9041, 9042, 9043, 9046, 9047, 9055, 9057});
    CheckCaptions(rig, window);

    rig.host.SetOption("dblclk", true);
    rig.Show(1);
    CHECK(rig.Text(window, kTitle) == "\xE8\xF2\xEE\xE3\xE8 \xE7\xE0 \xFD\xF2\xEE\xF2 \xE4\xE5\xED\xFC");

    struct Value {
        const char* key;
        const char* value;
    } values[] = {{"pagetitle", "month"}, {"pagetitle_day", "today"}, {"updatetime", "10.12.2026 12:00"},
                  {"sattrafic", "1 MB"},  {"sattrafic_day", "11"},    {"sattraficoutlimit_day", "12"},
                  {"ukrtrafic_day", "13"}, {"ukrtraficoutlimit_day", ""}, {"alltrafic_day", " "},
                  {"alltraficoutlimit_day", "16"}, {"saldo", "125.40"}, {"saldo_day", "wrong"},
                  {"saldoonline", "120.00"}};
    for (const Value& v : values) rig.host.SetValue(v.key, v.value);
    rig.Show(1);
    struct Shown {
        int id;
        const char* text;
    } shown[] = {{kTitle, "today"}, {kDate, "10.12.2026 12:00"}, {kSat, "11"}, {kSatOut, "12"}, {kUkr, "13"},
                 // an empty answer keeps the default; a single blank replaces it
                 {kUkrOut, "\xED\xE5\xF2"}, {kAll, " "}, {kAllOut, "16"}, {kSaldo, "125.40"},
                 {kSaldoOnline, "120.00"}};
    for (const Shown& s : shown) {
        CAPTURE(s.id);
        CHECK(rig.Text(window, s.id) == s.text);
    }
    CheckCaptions(rig, window);
    char caption[64] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    CHECK(std::string(caption) == "[ ravo ]");
}

TEST_CASE("alert labels: the user's limit on the alert background while the option is on, the skin otherwise") {
    struct Style {
        int id;
        int bitmap;
        COLORREF alertBack;
    } styles[] = {{1, 9004, 0x4831F7}, {2, 9005, 0xF4AB3C}};
    for (const Style& style : styles) {
        CAPTURE(style.id);
        WindowRig rig(TolvanekDll());
        for (const char* flag : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
            rig.host.SetOption(flag, true);
        rig.Show(style.id);
        const HWND window = rig.Window(style.id);
        REQUIRE(window != nullptr);
        for (int id : {kSatAlert, kUkrAlert, kAllAlert, kSaldoAlert}) {
            CAPTURE(id);
            CHECK(rig.Text(window, id) == "");  // no limits known: empty boxes
            const RECT r = ChildRect(window, id);
            CHECK(rig.ClientPixel(window, r.left + 2, (r.top + r.bottom) / 2) == style.alertBack);
        }
        // Off: the skin shows through the label.
        rig.host.SetOption("ukrtitlealert", false);
        rig.host.SetUserLimit("ukrtraficlimituser", "700");
        rig.Show(style.id);
        const RECT r = ChildRect(window, kUkrAlert);
        // Near the label's left edge, which lies inside the window whatever the font's width.
        const int x = r.left + 2, y = (r.top + r.bottom) / 2;
        CHECK(rig.Text(window, kUkrAlert) == "");
        CHECK(rig.ClientPixel(window, x, y) == SkinPixel(rig.plugin.handle(), style.bitmap, x, y));
        // Turned on between refreshes: the next paint colours it, the text waits for the refresh.
        rig.host.SetOption("ukrtitlealert", true);
        CHECK(rig.ClientPixel(window, r.left + 1, r.top + 1) == style.alertBack);
        CHECK(rig.Text(window, kUkrAlert) == "");
        DoubleClick(window);
        CHECK(rig.Text(window, kUkrAlert) == "700");
    }
}

TEST_CASE("every static's colours from WM_CTLCOLORSTATIC: title and date, values, captions, alerts off and on, per style") {
    struct Style {
        int id;
        COLORREF titleAndDate, value, rest, alertText, alertBack;
    } styles[] = {
        {1, 0x828282, 0x515151, 0x3D3D3D, 0x00DFED, 0x4831F7},
        {2, 0xD9EAE3, 0x515151, 0x3D3D3D, 0xFAFAFA, 0xF4AB3C},
    };
    const std::vector<int> titleAndDate = {kTitle, kDate};
    const std::vector<int> values = {kSat, kSatOut, kUkr, kUkrOut, kAll, kAllOut, kSaldo, kSaldoOnline};
    const std::vector<int> alerts = {kSatAlert, kUkrAlert, kAllAlert, kSaldoAlert};
    const auto among = [](const std::vector<int>& list, int id) { return std::find(list.begin(), list.end(), id) != list.end(); };
    for (const Style& style : styles) {
        CAPTURE(style.id);
        WindowRig rig(TolvanekDll());
        rig.Show(style.id);
        const HWND window = rig.Window(style.id);
        REQUIRE(window != nullptr);
        // Every static the window has; those no label lists are the captions, in the rest colour.
        const std::vector<int> ids = StaticIds(window);
        REQUIRE(ids.size() == 22);
        const auto ordinary = [&](int id) {
            return among(titleAndDate, id) ? style.titleAndDate : among(values, id) ? style.value : style.rest;
        };
        for (int id : ids) {
            CAPTURE(id);
            const LabelPaint paint = rig.PaintOf(window, id);
            CHECK(paint.text == ordinary(id));
            CHECK(paint.mode == TRANSPARENT);
            CHECK(paint.back == kUnset);
            CHECK(paint.brush == static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
        }
        // With its option on, an alert label paints in the alert colours on a solid brush of the
        // alert background, the same brush each time; the other statics keep their colours.
        for (const char* flag : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
            rig.host.SetOption(flag, true);
        HBRUSH alertBrush = nullptr;
        for (int id : ids) {
            CAPTURE(id);
            const LabelPaint paint = rig.PaintOf(window, id);
            CHECK(paint.mode == TRANSPARENT);
            if (!among(alerts, id)) {
                CHECK(paint.text == ordinary(id));
                CHECK(paint.brush == static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
                continue;
            }
            CHECK(paint.text == style.alertText);
            CHECK(paint.back == style.alertBack);
            LOGBRUSH brush{};
            REQUIRE(::GetObjectA(paint.brush, sizeof brush, &brush) == sizeof brush);
            CHECK(brush.lbStyle == BS_SOLID);
            CHECK(brush.lbColor == style.alertBack);
            if (!alertBrush) alertBrush = paint.brush;
            CHECK(paint.brush == alertBrush);
        }
    }
}

TEST_CASE("each style gets its own window of the skin's size, style 1 a full rectangle, style 2 rounded corners") {
    WindowRig rig(TolvanekDll());
    rig.Show(1);
    const HWND yellow = rig.Window(1);
    rig.Show(2);
    const HWND mac = rig.Window(2);
    REQUIRE(yellow != nullptr);
    REQUIRE(mac != nullptr);
    CHECK(yellow != mac);
    for (HWND window : {yellow, mac}) {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        // Both open at the same default place, with the bitmap's size.
        CHECK(rect.left == kScreenX - 275);
        CHECK(rect.top == kScreenY - 200);
        CHECK(rect.right - rect.left == 272);
        CHECK(rect.bottom - rect.top == 184);
        CHECK(::IsWindowVisible(window));
        CHECK((::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    }
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    REQUIRE(::GetWindowRgn(yellow, region) != ERROR);
    HRGN full = ::CreateRectRgn(0, 0, 272, 184);
    CHECK(::EqualRgn(region, full));
    REQUIRE(::GetWindowRgn(mac, region) != ERROR);
    int wrong = 0;
    for (int y = 0; y < 184; ++y) {
        const int cut = CornerCut(y, 184);
        for (int x = 0; x < 272; ++x) {
            const bool inside = x >= cut && x < 272 - cut;
            if ((::PtInRegion(region, x, y) != FALSE) != inside) ++wrong;
        }
    }
    CHECK(wrong == 0);
    ::DeleteObject(full);
    ::DeleteObject(region);
}

TEST_CASE("timer 1 hides the window after hideDelaySeconds; a right click hides it at once; both keep it") {
    SUBCASE("a delay of 0 hides at the first tick") {
        WindowRig rig(TolvanekDll());
        rig.Show(1, 0);
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        CHECK(WaitVisible(window, false, 3000));
        CHECK(::IsWindow(window));
    }
    SUBCASE("a delay of 1 second") {
        WindowRig rig(TolvanekDll());
        rig.Show(2, 1);
        const HWND window = rig.Window(2);
        REQUIRE(window != nullptr);
        ::Sleep(400);
        CHECK(::IsWindowVisible(window));
        CHECK(WaitVisible(window, false, 3000));
        // The next show brings it back, where it was.
        rig.Show(2, 60);
        CHECK(::IsWindowVisible(window));
    }
    SUBCASE("a left click and a second show each start the countdown again, and neither moves the window") {
        WindowRig rig(TolvanekDll());
        rig.Show(1, 2);
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        RECT before{};
        ::GetWindowRect(window, &before);
        ::Sleep(1300);
        // The click drags the window until the button comes up: on the window's own thread the
        // release waits in the queue for the drag's message loop.
        rig.host.RunOnUiThread([&] {
            ::PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
            ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
        });
        ::Sleep(1300);
        CHECK(::IsWindowVisible(window));
        rig.Show(1, 2);
        ::Sleep(1300);
        CHECK(::IsWindowVisible(window));
        CHECK(WaitVisible(window, false, 3000));
        RECT after{};
        ::GetWindowRect(window, &after);
        CHECK(after.left == before.left);
        CHECK(after.top == before.top);
    }
    SUBCASE("a right click") {
        WindowRig rig(TolvanekDll());
        rig.Show(1, 60);
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        Hide(window);
        CHECK_FALSE(::IsWindowVisible(window));
        CHECK(::IsWindow(window));
        rig.Show(1, 60);
        CHECK(::IsWindowVisible(window));
    }
}

TEST_CASE("a double click refills the labels and sends the tray summary again") {
    WindowRig rig(TolvanekDll());
    rig.host.SetValue("alltrafic", "100");
    rig.Show(1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    CHECK(rig.Text(window, kAll) == "100");
    rig.host.SetValue("alltrafic", "200");
    rig.TakeCalls();
    DoubleClick(window);
    CHECK(rig.Text(window, kAll) == "200");
    CHECK(rig.host.trayTexts().size() == 1);
}

TEST_CASE("the tray summary: the traffic classes in the host's bytes, \"нет\" for every unknown key") {
    SUBCASE("values known") {
        WindowRig rig(TolvanekDll());
        rig.host.SetValue("pagetitle", "\xC8\xF2\xEE\xE3\xE8");
        rig.host.SetValue("sattrafic", "1.5 MB");
        rig.host.SetValue("ukrtrafic", "2 GB");
        rig.host.SetValue("alltrafic", "3");
        rig.host.SetValue("updatetime", "10.12.2026 12:00");
        CHECK(rig.ShowTray(1) == 1);
        const auto trays = rig.host.trayTexts();
        REQUIRE(trays.size() == 1);
        CHECK(HexBytes(trays[0]) == HexBytes("\xC8\xF2\xEE\xE3\xE8\n\nSatEx....... 1.5 MB\nUkrEx....... 2 GB\n"
                                             "\xCE\xE1\xF9\xE8\xE9..... 3\n\n10.12.2026 12:00"));
        // Created by the tray request: shown with the template's texts, no hide timer.
        const HWND window = rig.Window(1);
        REQUIRE(window != nullptr);
        CHECK(::IsWindowVisible(window));
        CHECK(rig.Text(window, kSat) == "0");
        CHECK(rig.Text(window, kSaldo) == "0.00");
        ::Sleep(1200);
        CHECK(::IsWindowVisible(window));
    }
    SUBCASE("nothing known, and the day switch on") {
        WindowRig rig(TolvanekDll());
        rig.host.SetOption("dblclk", true);
        rig.host.SetValue("sattrafic", "month figure");
        rig.ShowTray(2);
        const auto trays = rig.host.trayTexts();
        // The window that the request made is visible, and its alert labels may paint meanwhile.
        const auto calls = WithoutPaintQueries(rig.TakeCalls());
        CHECK(calls == std::vector<std::string>{"readini:X", "readini:Y", "flag:dblclk", "value:pagetitle_day",
                                                "value:sattrafic_day", "value:ukrtrafic_day", "value:alltrafic_day",
                                                "value:updatetime", "tray"});
        REQUIRE(trays.size() == 1);
        CHECK(HexBytes(trays[0]) == HexBytes("\xED\xE5\xF2\n\nSatEx....... \xED\xE5\xF2\nUkrEx....... \xED\xE5\xF2\n"
                                             "\xCE\xE1\xF9\xE8\xE9..... \xED\xE5\xF2\n\n"));
    }
}

namespace {

void WriteIni(const std::string& path, const char* key, const char* value) {
    if (value) ::WritePrivateProfileStringA("GLOBAL", key, value, path.c_str());
}

}  // namespace

TEST_CASE("a saved coordinate above 1 replaces the default, each on its own; anything else keeps it") {
    struct Case {
        const char* x;
        const char* y;
        int expectX;
        int expectY;
    } cases[] = {
        {nullptr, nullptr, kScreenX - 275, kScreenY - 200},
        {"0", "0", kScreenX - 275, kScreenY - 200},
        {"1", "300", kScreenX - 275, 300},
        {"-5", "12abc", kScreenX - 275, 12},
        {"", "abc", kScreenX - 275, kScreenY - 200},
        {"300", "2", 300, 2},
    };
    for (const Case& c : cases) {
        CAPTURE(c.x ? c.x : "(none)");
        CAPTURE(c.y ? c.y : "(none)");
        WindowRig rig(TolvanekDll());
        const std::string folder = rig.IniFile("plugins");
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::CreateDirectoryA(rig.IniFile("plugins\\tolvanek2").c_str(), nullptr);
        const std::string ini = rig.IniFile("plugins\\tolvanek2\\tolvanek2.ini");
        WriteIni(ini, "X", c.x);
        WriteIni(ini, "Y", c.y);
        rig.Show(1);
        RECT rect{};
        ::GetWindowRect(rig.Window(1), &rect);
        CHECK(rect.left == c.expectX);
        CHECK(rect.top == c.expectY);
    }
}

TEST_CASE("at unload each window saves its place through the host, style 2 first, and opens there next time") {
    std::string folder;
    {
        WindowRig rig(TolvanekDll());
        folder = rig.host.HostFolder();
        rig.Show(1);
        rig.Show(2);
        const HWND yellow = rig.Window(1), mac = rig.Window(2);
        rig.host.RunOnUiThread([&] {
            ::SetWindowPos(yellow, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ::SetWindowPos(mac, nullptr, 200, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        });
        rig.TakeCalls();
        rig.Unload();
        std::vector<std::string> saved;
        for (const auto& call : rig.host.windowCalls())
            saved.push_back(CallText(call.message, call.key) + " " + call.iniFile);
        CHECK(saved == std::vector<std::string>{"writeini:X plugins\\tolvanek\\tolvanek.ini",
                                                "writeini:Y plugins\\tolvanek\\tolvanek.ini",
                                                "writeini:X plugins\\tolvanek2\\tolvanek2.ini",
                                                "writeini:Y plugins\\tolvanek2\\tolvanek2.ini"});
        CHECK(::IsWindow(yellow) == FALSE);
        CHECK(::IsWindow(mac) == FALSE);
        char text[32] = {};
        ::GetPrivateProfileStringA("GLOBAL", "X", "", text, sizeof text, rig.IniFile("plugins\\tolvanek\\tolvanek.ini").c_str());
        CHECK(std::string(text) == "200");
        ::GetPrivateProfileStringA("GLOBAL", "Y", "", text, sizeof text, rig.IniFile("plugins\\tolvanek2\\tolvanek2.ini").c_str());
        CHECK(std::string(text) == "50");
    }
    WindowRig again(TolvanekDll());
    again.host.SetHostFolder(folder);
    again.Show(2);
    RECT rect{};
    ::GetWindowRect(again.Window(2), &rect);
    CHECK(rect.left == 200);
    CHECK(rect.top == 60);
}

TEST_CASE("without a host window the labels show their defaults and nothing is sent, not even the position at unload") {
    WindowRig rig(TolvanekDll());
    CHECK(rig.Show(1, 60, nullptr) == 1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    CHECK(rect.left == kScreenX - 275);
    CHECK(rig.Text(window, kSat) == "\xED\xE5\xF2");
    CHECK(rig.Text(window, kTitle) == "\xE8\xF2\xEE\xE3\xE8 \xEF\xEE \xF2\xF0\xE0\xF4\xE8\xEA\xF3");
    rig.Unload();
    CHECK(rig.host.windowCalls().empty());
}

TEST_CASE("the host window of the last ShowStatsData receives everything after it, the position save at unload too") {
    WindowRig rig(TolvanekDll());
    rig.Show(1);
    const HWND window = rig.Window(1);
    REQUIRE(window != nullptr);
    // A second host window on the host's thread that answers nothing.
    HWND other = nullptr;
    rig.host.RunOnUiThread([&] { other = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); });
    REQUIRE(other != nullptr);
    rig.host.SetValue("alltrafic", "100");
    rig.TakeCalls();
    rig.Show(1, 60, other);
    CHECK(rig.Text(window, kAll) == "\xED\xE5\xF2");  // the other window knows no value
    DoubleClick(window);
    rig.ShowTray(1);
    rig.Unload();
    CHECK(rig.host.windowCalls().empty());
    rig.host.RunOnUiThread([&] { ::DestroyWindow(other); });
}
