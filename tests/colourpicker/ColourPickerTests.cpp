// The colour picker under a real display: the button's size, the popup's geometry and tooltips,
// the forty colours and names of the grid against the documented table (the cells' tooltips,
// painted swatches and the colours they report and hand back), the notification sequences of a
// hover, a pick from the grid, a cancel with Escape and a click outside, the keyboard moves at
// the grid's edges and into the boxes, the colour dialog behind "More Colours...", what button
// and popup paint (read back from the screen), and that opening and closing the popup leaves no
// GDI object or window behind.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <colordlg.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/Window.h"
#include "statswindows/colourpicker/ColourPicker.h"
#include "statswindows/colourpicker/ColourTable.h"
#include "statswindows/colourpicker/PickerMessages.h"
#include "tests/support/GuiCounts.h"

namespace {

using guitest::Pump;

// The grid's forty colours and their names as the picker documents them, in cell order (eight
// to a row), spelled out here rather than taken from the picker's own table, so that a mistyped
// entry there fails. "Pale green " ends in a blank.
struct Documented {
    COLORREF colour;
    const char* name;
};
constexpr Documented kDocumented[] = {
    {0x000000, "Black"},         {0x002AA5, "Brown"},        {0x404000, "Dark Olive Green"}, {0x005500, "Dark Green"},
    {0x5E0000, "Dark Teal"},     {0x8B0000, "Dark blue"},    {0x82004B, "Indigo"},           {0x282828, "Dark grey"},
    {0x00008B, "Dark red"},      {0x2068FF, "Orange"},       {0x008B8B, "Dark yellow"},      {0x009300, "Green"},
    {0x8E8E38, "Teal"},          {0xFF0000, "Blue"},         {0xC07B7B, "Blue-grey"},        {0x666666, "Grey - 40"},
    {0x0000FF, "Red"},           {0x5BADFF, "Light orange"}, {0x32CD32, "Lime"},             {0x71B33C, "Sea green"},
    {0xD4FF7F, "Aqua"},          {0xC09E7D, "Light blue"},   {0x800080, "Violet"},           {0x7F7F7F, "Grey - 50"},
    {0xCBC0FF, "Pink"},          {0x00D7FF, "Gold"},         {0x00FFFF, "Yellow"},           {0x00FF00, "Bright green"},
    {0xD0E040, "Turquoise"},     {0xFFFFC0, "Skyblue"},      {0x480048, "Plum"},             {0xC0C0C0, "Light grey"},
    {0xE1E4FF, "Rose"},          {0x8CB4D2, "Tan"},          {0xE0FFFF, "Light yellow"},     {0x98FB98, "Pale green "},
    {0xEEEEAF, "Pale turquoise"}, {0x8B8368, "Pale blue"},   {0xFAE6E6, "Lavender"},         {0xFFFFFF, "White"},
};
constexpr int kCells = static_cast<int>(std::size(kDocumented));
static_assert(kCells == 40);

constexpr int kPickerId = 3004;
constexpr int kDialogButtonId = 3005;
constexpr COLORREF kTeal = 0x8E8E38;  // cell 12
constexpr COLORREF kRed = 0x0000FF;   // cell 16
constexpr COLORREF kOutsideTable = 0x123456;

struct Note {
    UINT message;
    COLORREF colour;
    LPARAM id;
    bool operator==(const Note&) const = default;
};

const char* MessageName(UINT message) {
    switch (message) {
    case WM_PICKER_SELCHANGE: return "SELCHANGE";
    case WM_PICKER_DROPDOWN: return "DROPDOWN";
    case WM_PICKER_CLOSEUP: return "CLOSEUP";
    case WM_PICKER_SELENDOK: return "SELENDOK";
    case WM_PICKER_SELENDCANCEL: return "SELENDCANCEL";
    default: return "?";
    }
}

std::string Describe(const std::vector<Note>& notes) {
    std::string text;
    for (const Note& n : notes) {
        char line[64];
        std::snprintf(line, sizeof line, "%s(0x%08lX, %ld) ", MessageName(n.message), n.colour, static_cast<long>(n.id));
        text += line;
    }
    return text;
}

// The picker's parent: passes its button's click and drawing on, and records the notifications.
class PickerParent : public kit::Window {
public:
    std::vector<Note> notes;
    std::function<void(const Note&)> onNote;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (ReflectToControl(message, wParam, lParam, result)) return result;
        if (message >= WM_PICKER_SELCHANGE && message <= WM_PICKER_SELENDCANCEL) {
            notes.push_back({message, static_cast<COLORREF>(wParam), lParam});
            if (onNote) onNote(notes.back());
            return TRUE;
        }
        return kit::Window::OnMessage(message, wParam, lParam);
    }
};

struct Rig {
    PickerParent parent;
    CColourPicker picker;

    explicit Rig(POINT at = {300, 300}) {
        REQUIRE(parent.Create(nullptr, "picker test", WS_POPUP | WS_VISIBLE, RECT{at.x, at.y, at.x + 200, at.y + 60},
                              nullptr));
        REQUIRE(picker.Create(parent.handle(), RECT{10, 10, 90, 30}, kPickerId));
        Pump();
    }

    CColourGridPopup& Open() {
        ::SendMessageA(picker.handle(), BM_CLICK, 0, 0);
        Pump();
        REQUIRE(picker.Popup() != nullptr);
        return *picker.Popup();
    }

    HWND popupWindow() const { return picker.Popup() ? picker.Popup()->handle() : nullptr; }

    POINT EntryCentre(int entry) const {
        const RECT r = picker.Popup()->EntryRect(entry);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    void Hover(int entry) {
        const POINT at = EntryCentre(entry);
        ::SendMessageA(popupWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    }

    void Key(UINT key) {
        ::PostMessageA(popupWindow(), WM_KEYDOWN, key, 1);
        Pump();
    }

    // The next button release, at a point given in the popup's client coordinates (the popup
    // holds the capture, so a release anywhere reaches it).
    void ReleaseAt(POINT client) {
        POINT screen = client;
        ::ClientToScreen(popupWindow(), &screen);
        ::SetCursorPos(screen.x, screen.y);
        ::PostMessageA(popupWindow(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
        Pump();
    }
};

Note N(UINT message, COLORREF colour, LPARAM id = kPickerId) { return Note{message, colour, id}; }

#define CHECK_NOTES(rig, ...)                                             \
    do {                                                                  \
        const std::vector<Note> expected{__VA_ARGS__};                    \
        INFO("received: " << Describe((rig).parent.notes));               \
        INFO("expected: " << Describe(expected));                         \
        CHECK((rig).parent.notes == expected);                            \
    } while (0)

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

RECT ScreenRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// The colour dialog runs its own modal loop on this thread; a timer inside that loop plays the
// user: it finds the dialog the popup owns, optionally deactivates the application first, types
// a colour or not, and presses OK or Cancel.
struct DialogPlayer {
    HWND popup = nullptr;
    bool pressOk = false;
    bool deactivateFirst = false;
    bool sawDialog = false;
    bool childVisible = false;
    CColourGridPopup* popupObject = nullptr;
    HWND clickFirst = nullptr;  // a button clicked while the dialog is open
};
DialogPlayer g_player;

struct DialogFinder {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK FindOwnedDialog(HWND hwnd, LPARAM param) {
    auto* finder = reinterpret_cast<DialogFinder*>(param);
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    if (std::string(name) == "#32770" && ::GetWindow(hwnd, GW_OWNER) == finder->owner && ::IsWindowVisible(hwnd)) {
        finder->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK PlayColourDialog(HWND, UINT, UINT_PTR id, DWORD) {
    DialogFinder finder{g_player.popup};
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwnedDialog, reinterpret_cast<LPARAM>(&finder));
    const HWND dialog = finder.found;
    if (!dialog) return;
    ::KillTimer(nullptr, id);
    g_player.sawDialog = true;
    g_player.childVisible = g_player.popupObject->childWindowVisible;
    if (g_player.clickFirst) ::SendMessageA(g_player.clickFirst, BM_CLICK, 0, 0);
    if (g_player.deactivateFirst) ::SendMessageA(g_player.popup, WM_ACTIVATEAPP, FALSE, 0);
    if (g_player.pressOk) {
        ::SetDlgItemInt(dialog, COLOR_RED, 0x12, FALSE);
        ::SetDlgItemInt(dialog, COLOR_GREEN, 0x34, FALSE);
        ::SetDlgItemInt(dialog, COLOR_BLUE, 0x56, FALSE);
    }
    ::PostMessageA(dialog, WM_COMMAND, g_player.pressOk ? IDOK : IDCANCEL, 0);
}

}  // namespace

TEST_CASE("the picker makes its button owner-drawn and sizes it to the arrow, created or taken over") {
    const int edgeX = ::GetSystemMetrics(SM_CXEDGE), edgeY = ::GetSystemMetrics(SM_CYEDGE);
    const int side = std::max(std::max(::GetSystemMetrics(SM_CXHTHUMB), 5 * edgeX),
                              std::max(::GetSystemMetrics(SM_CYVTHUMB), 5 * edgeY));
    Rig rig;
    CColourPicker taken;
    const HWND button = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 100, 12, 20, 40,
                                          rig.parent.handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDialogButtonId)), nullptr, nullptr);
    REQUIRE(taken.Attach(rig.parent.handle(), kDialogButtonId));

    struct Case {
        CColourPicker* picker;
        POINT topLeft;
        int width;
    } cases[] = {{&rig.picker, {10, 10}, 80}, {&taken, {100, 12}, 2 * (side + edgeX)}};
    for (const Case& c : cases) {
        const HWND hwnd = c.picker->handle();
        CHECK((::GetWindowLongPtrA(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW);
        RECT r = ScreenRect(hwnd);
        ::MapWindowPoints(nullptr, rig.parent.handle(), reinterpret_cast<POINT*>(&r), 2);
        CHECK(r.left == c.topLeft.x);
        CHECK(r.top == c.topLeft.y);
        CHECK(Width(r) == c.width);
        CHECK(Height(r) == side + 2 * edgeY);
        const RECT arrow = c.picker->arrowRect;
        CHECK(arrow.right == c.width - edgeX);
        CHECK(arrow.left == c.width - edgeX - side);
        CHECK(arrow.top == edgeY);
        CHECK(arrow.bottom == Height(r) - edgeY);
    }
    taken.Detach();
    CHECK(::IsWindow(button));  // a taken-over button stays with its parent
    rig.picker.Detach();
}

TEST_CASE("the popup opens below the button, marks the colour it opened with and names every cell") {
    struct Case {
        COLORREF colour;
        const char* defaultText;
        const char* customText;
        int chosen;
    } cases[] = {
        {kTeal, "Automatic", "More Colours...", 12},
        {0x000000, "Automatic", "More Colours...", 0},
        {0xFFFFFF, "Automatic", "More Colours...", 39},
        {kOutsideTable, "Automatic", "More Colours...", CColourGridPopup::kCustomBox},
        {kAutomaticColour, "Automatic", "More Colours...", CColourGridPopup::kDefaultBox},
        {kAutomaticColour, "", "More Colours...", CColourGridPopup::kCustomBox},
        {kOutsideTable, "Automatic", "", CColourGridPopup::kNoEntry},
    };
    for (const Case& c : cases) {
        CAPTURE(c.colour);
        const std::string defaultText = c.defaultText, customText = c.customText;
        CAPTURE(defaultText);
        CAPTURE(customText);
        Rig rig;
        rig.picker.defaultText = c.defaultText;
        rig.picker.customText = c.customText;
        rig.picker.SetColour(c.colour);
        CColourGridPopup& popup = rig.Open();
        CHECK(rig.picker.popupActive);
        CHECK(popup.chosenSel == c.chosen);
        CHECK(popup.currentSel == CColourGridPopup::kNoEntry);
        CHECK(::GetCapture() == popup.handle());
        CHECK(rig.parent.notes == std::vector<Note>{N(WM_PICKER_DROPDOWN, c.colour)});

        const RECT button = ScreenRect(rig.picker.handle());
        const RECT window = ScreenRect(popup.handle());
        CHECK(window.left == button.left);
        CHECK(window.top == button.bottom);
        CHECK(window.left == popup.windowRect.left);
        CHECK(Width(window) == Width(popup.windowRect));
        CHECK(Height(window) == Height(popup.windowRect));
        const int m = popup.margin, box = popup.boxSize;
        CHECK(box == 18);
        CHECK(Width(window) >= 8 * box + 2 * m);
        // The grid below the default box, the custom box below the grid.
        const RECT first = popup.EntryRect(0), last = popup.EntryRect(39);
        CHECK(first.left == m);
        CHECK(first.top == (*c.defaultText ? popup.defaultRect.bottom + m : m));
        CHECK(last.right == 8 * box + m);
        CHECK(last.bottom == first.top + 5 * box);
        if (*c.customText) CHECK(popup.customRect.top >= last.bottom);

        const HWND tip = popup.toolTipWindow();
        REQUIRE(tip != nullptr);
        REQUIRE(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0) == kCells);
        for (int i = 0; i < kCells; ++i) {
            char text[80] = {};
            TTTOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V2_SIZE;
            tool.lpszText = text;
            REQUIRE(::SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
            CHECK(std::string(text) == std::string(kDocumented[i].name));
            CHECK(tool.uId == 1);
            const RECT cell = popup.EntryRect(i);
            CHECK(::EqualRect(&tool.rect, &cell) != FALSE);
        }
        rig.Key(VK_ESCAPE);
    }
}

TEST_CASE("each of the forty cells is found from, reports and hands back its documented colour") {
    for (int i = 0; i < kCells; ++i) {
        CAPTURE(i);
        CAPTURE(kDocumented[i].name);
        const COLORREF colour = kDocumented[i].colour;
        Rig rig;
        rig.picker.SetColour(colour);
        CColourGridPopup& popup = rig.Open();
        CHECK(popup.colourCount == kCells);
        CHECK(popup.chosenSel == i);  // opened on the colour, the popup marks its cell
        rig.Hover(i);
        rig.Key(VK_RETURN);
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, colour), N(WM_PICKER_SELCHANGE, colour), N(WM_PICKER_CLOSEUP, colour),
                    N(WM_PICKER_SELENDOK, colour));
        CHECK(rig.picker.GetColour() == colour);
    }
}

TEST_CASE("near the screen's edges the popup moves left, and opens above its button at the bottom") {
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    Rig rig(POINT{screenWidth - 100, screenHeight - 40});
    CColourGridPopup& popup = rig.Open();
    const RECT button = ScreenRect(rig.picker.handle());
    const RECT window = ScreenRect(popup.handle());
    CHECK(window.right == screenWidth);
    CHECK(window.bottom == button.top);
    CHECK(::EqualRect(&window, &popup.windowRect) != FALSE);
    // The release decides by the moved rectangle: inside it is an OK.
    rig.Hover(16);
    rig.ReleaseAt(rig.EntryCentre(16));
    CHECK(rig.picker.GetColour() == kRed);
}

TEST_CASE("notification sequences: hover, pick from the grid, Escape, a click outside, Enter at once") {
    SUBCASE("hovering reports each change; the button's colour stays unless it tracks the selection") {
        for (bool track : {false, true}) {
            CAPTURE(track);
            Rig rig;
            rig.picker.trackSelection = track;
            rig.picker.SetColour(kTeal);
            rig.Open();
            rig.Hover(5);
            rig.Hover(5);  // no change, no report
            rig.Hover(CColourGridPopup::kDefaultBox);
            rig.Hover(CColourGridPopup::kCustomBox);
            CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, 0x8B0000),
                        N(WM_PICKER_SELCHANGE, kAutomaticColour), N(WM_PICKER_SELCHANGE, kTeal));
            CHECK(rig.picker.Popup()->currentSel == CColourGridPopup::kCustomBox);
            CHECK(rig.picker.GetColour() == kTeal);  // the custom box reports the opening colour
            rig.Hover(20);
            CHECK(rig.picker.GetColour() == (track ? 0xD4FF7F : kTeal));
            CHECK(rig.picker.popupActive);
            rig.Key(VK_ESCAPE);
        }
    }
    SUBCASE("the pointer left of or above the grid (the capture brings it) selects nothing") {
        Rig rig;
        rig.picker.defaultText = "";
        rig.picker.SetColour(kTeal);
        CColourGridPopup& popup = rig.Open();
        for (POINT at : {POINT{-5, 30}, POINT{-25, 30}, POINT{-25, -30}, POINT{30, -5}, POINT{30, -40}}) {
            CAPTURE(at.x);
            CAPTURE(at.y);
            ::SendMessageA(popup.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
            CHECK(popup.currentSel == CColourGridPopup::kNoEntry);
        }
        rig.Hover(9);
        CHECK(popup.currentSel == 9);
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kDocumented[9].colour));
        rig.Key(VK_ESCAPE);
    }
    SUBCASE("a release over a cell picks it") {
        Rig rig;
        rig.picker.SetColour(kTeal);
        rig.Open();
        rig.Hover(16);
        rig.ReleaseAt(rig.EntryCentre(16));
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kRed), N(WM_PICKER_CLOSEUP, kRed),
                    N(WM_PICKER_SELENDOK, kRed));
        CHECK(rig.picker.Popup() == nullptr);
        CHECK_FALSE(rig.picker.popupActive);
        CHECK(rig.picker.GetColour() == kRed);
        CHECK(::GetCapture() == nullptr);
    }
    SUBCASE("Escape cancels with the opening colour") {
        Rig rig;
        rig.picker.SetColour(kTeal);
        const HWND popup = rig.Open().handle();
        rig.Hover(16);
        rig.Key(VK_ESCAPE);
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kRed), N(WM_PICKER_CLOSEUP, kTeal),
                    N(WM_PICKER_SELENDCANCEL, kTeal));
        CHECK_FALSE(::IsWindow(popup));
        CHECK(rig.picker.GetColour() == kTeal);
        CHECK_FALSE(rig.picker.popupActive);
    }
    SUBCASE("a release outside the popup cancels") {
        Rig rig;
        rig.picker.SetColour(kTeal);
        rig.Open();
        rig.Hover(16);
        rig.ReleaseAt(POINT{-30, -30});
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kRed), N(WM_PICKER_CLOSEUP, kTeal),
                    N(WM_PICKER_SELENDCANCEL, kTeal));
        CHECK(rig.picker.GetColour() == kTeal);
    }
    SUBCASE("Enter or Space at once confirm the opening colour; Automatic confirms 0xFF000000") {
        for (UINT key : {VK_RETURN, VK_SPACE}) {
            Rig rig;
            rig.picker.SetColour(kOutsideTable);
            rig.Open();
            rig.Key(key);
            CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kOutsideTable), N(WM_PICKER_CLOSEUP, kOutsideTable),
                        N(WM_PICKER_SELENDOK, kOutsideTable));
        }
        Rig rig;
        rig.picker.SetColour(kTeal);
        rig.Open();
        rig.Hover(CColourGridPopup::kDefaultBox);
        rig.Key(VK_RETURN);
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kAutomaticColour),
                    N(WM_PICKER_CLOSEUP, kAutomaticColour), N(WM_PICKER_SELENDOK, kAutomaticColour));
        CHECK(rig.picker.GetColour() == kAutomaticColour);
    }
    SUBCASE("the notifications carry the id of the button that sent them") {
        Rig rig;
        ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, 100, 10, 40, 20, rig.parent.handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDialogButtonId)), nullptr, nullptr);
        CColourPicker second;
        REQUIRE(second.Attach(rig.parent.handle(), kDialogButtonId));
        second.SetColour(kRed);
        ::SendMessageA(second.handle(), BM_CLICK, 0, 0);
        Pump();
        REQUIRE(second.Popup() != nullptr);
        ::PostMessageA(second.Popup()->handle(), WM_KEYDOWN, VK_RETURN, 1);
        Pump();
        CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kRed, kDialogButtonId), N(WM_PICKER_CLOSEUP, kRed, kDialogButtonId),
                    N(WM_PICKER_SELENDOK, kRed, kDialogButtonId));
    }
}

TEST_CASE("keyboard moves at the grid's edges and into the boxes") {
    constexpr int D = CColourGridPopup::kDefaultBox, C = CColourGridPopup::kCustomBox, X = CColourGridPopup::kNoEntry;
    struct Case {
        const char* defaultText;
        const char* customText;
        int from;  // X: no selection yet
        UINT key;
        int to;
    } cases[] = {
        // With both boxes.
        {"Automatic", "More Colours...", X, VK_DOWN, C},
        {"Automatic", "More Colours...", X, VK_UP, D},
        {"Automatic", "More Colours...", X, VK_RIGHT, C},
        {"Automatic", "More Colours...", X, VK_LEFT, D},
        {"Automatic", "More Colours...", D, VK_DOWN, 0},
        {"Automatic", "More Colours...", D, VK_RIGHT, 0},
        {"Automatic", "More Colours...", D, VK_UP, C},
        {"Automatic", "More Colours...", D, VK_LEFT, C},
        {"Automatic", "More Colours...", C, VK_DOWN, D},
        {"Automatic", "More Colours...", C, VK_RIGHT, D},
        {"Automatic", "More Colours...", C, VK_UP, 39},
        {"Automatic", "More Colours...", C, VK_LEFT, 39},
        {"Automatic", "More Colours...", 3, VK_DOWN, 11},
        {"Automatic", "More Colours...", 11, VK_UP, 3},
        {"Automatic", "More Colours...", 5, VK_UP, D},
        {"Automatic", "More Colours...", 35, VK_DOWN, C},
        {"Automatic", "More Colours...", 7, VK_RIGHT, 8},
        {"Automatic", "More Colours...", 8, VK_LEFT, 7},
        {"Automatic", "More Colours...", 39, VK_RIGHT, C},
        {"Automatic", "More Colours...", 0, VK_LEFT, D},
        // Without boxes the grid wraps onto itself.
        {"", "", 0, VK_LEFT, 39},
        {"", "", 0, VK_UP, 39},
        {"", "", 39, VK_RIGHT, 0},
        {"", "", 36, VK_DOWN, 0},
        {"", "", X, VK_DOWN, 0},
        // With one box.
        {"Automatic", "", 39, VK_RIGHT, D},
        {"Automatic", "", D, VK_UP, 39},
        {"", "More Colours...", 2, VK_UP, C},
        {"", "More Colours...", C, VK_DOWN, 0},
        {"", "More Colours...", 0, VK_LEFT, C},
    };
    for (const Case& c : cases) {
        const std::string defaultText = c.defaultText, customText = c.customText;
        CAPTURE(defaultText);
        CAPTURE(customText);
        CAPTURE(c.from);
        CAPTURE(c.key);
        Rig rig;
        rig.picker.defaultText = c.defaultText;
        rig.picker.customText = c.customText;
        rig.picker.SetColour(kOutsideTable);
        CColourGridPopup& popup = rig.Open();
        if (c.from != X) rig.Hover(c.from);
        REQUIRE(popup.currentSel == c.from);
        rig.parent.notes.clear();
        rig.Key(c.key);
        CHECK(popup.currentSel == c.to);
        const COLORREF reported = c.to == D ? kAutomaticColour : c.to == C ? kOutsideTable : kDocumented[c.to].colour;
        CHECK(rig.parent.notes == std::vector<Note>{N(WM_PICKER_SELCHANGE, reported)});
        rig.Key(VK_ESCAPE);
    }
}

TEST_CASE("the colour dialog behind More Colours: OK gives its colour, Cancel ends as a cancel") {
    struct Case {
        bool pressOk;
        bool deactivateFirst;
        bool clickFirst;
    } cases[] = {{false, false, false}, {true, false, false}, {true, true, false}, {false, false, true}};
    for (const Case& c : cases) {
        CAPTURE(c.pressOk);
        CAPTURE(c.deactivateFirst);
        CAPTURE(c.clickFirst);
        Rig rig;
        rig.picker.SetColour(kTeal);
        CColourGridPopup& popup = rig.Open();
        rig.Hover(CColourGridPopup::kCustomBox);
        g_player = DialogPlayer{popup.handle(), c.pressOk, c.deactivateFirst, false, false, &popup,
                                c.clickFirst ? rig.picker.handle() : nullptr};
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &PlayColourDialog);
        rig.Key(VK_RETURN);  // returns once the colour dialog has closed
        ::KillTimer(nullptr, timer);
        CHECK(g_player.sawDialog);
        CHECK(g_player.childVisible);
        const COLORREF chosen = RGB(0x12, 0x34, 0x56);
        if (!c.pressOk) {
            // A click on the button while its colour dialog is open opens no second popup.
            CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kTeal), N(WM_PICKER_CLOSEUP, kTeal),
                        N(WM_PICKER_SELENDCANCEL, kTeal));
            CHECK(rig.picker.GetColour() == kTeal);
        } else if (!c.deactivateFirst) {
            CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kTeal), N(WM_PICKER_CLOSEUP, chosen),
                        N(WM_PICKER_SELENDOK, chosen));
            CHECK(rig.picker.GetColour() == chosen);
        } else {
            // Deactivated while the dialog is open: a cancel goes out at once, the popup stays
            // until the dialog closes, and then the dialog's choice follows.
            CHECK_NOTES(rig, N(WM_PICKER_DROPDOWN, kTeal), N(WM_PICKER_SELCHANGE, kTeal), N(WM_PICKER_CLOSEUP, kTeal),
                        N(WM_PICKER_SELENDCANCEL, kTeal), N(WM_PICKER_CLOSEUP, chosen), N(WM_PICKER_SELENDOK, chosen));
        }
        CHECK(rig.picker.Popup() == nullptr);
    }
}

TEST_CASE("painting read back from the screen: cells, the marked cell, the swatch, disabled and focus") {
    Rig rig;
    rig.picker.SetColour(kTeal);
    CColourGridPopup& popup = rig.Open();
    ::UpdateWindow(popup.handle());
    {
        guitest::ClientPixels pixels(popup.handle());
        for (int i = 0; i < kCells; ++i) {
            CAPTURE(i);
            const POINT centre = rig.EntryCentre(i);
            CHECK(pixels.at(centre.x, centre.y) == kDocumented[i].colour);
            // Between the cell's edge and its swatch: the highlight only for the chosen cell.
            const RECT r = popup.EntryRect(i);
            CHECK(pixels.at(r.left + 2, r.top + 2) == ::GetSysColor(i == 12 ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE));
            // The swatch's outline.
            CHECK(pixels.at(r.left + popup.margin + 1, centre.y) == ::GetSysColor(COLOR_BTNSHADOW));
        }
        // The raised edge around the popup.
        CHECK(pixels.at(pixels.width() - 1, pixels.height() - 1) == ::GetSysColor(COLOR_3DDKSHADOW));
    }
    // The hovered cell gets a raised inner edge: its top-left pixel turns to the highlight.
    const RECT hovered = popup.EntryRect(20);
    CHECK(guitest::ClientPixels(popup.handle()).at(hovered.left, hovered.top) == ::GetSysColor(COLOR_BTNFACE));
    rig.Hover(20);
    CHECK(guitest::ClientPixels(popup.handle()).at(hovered.left, hovered.top) == ::GetSysColor(COLOR_BTNHIGHLIGHT));
    rig.Key(VK_ESCAPE);

    const HWND button = rig.picker.handle();
    RECT client{};
    ::GetClientRect(button, &client);
    const int swatchX = (client.right - Width(rig.picker.arrowRect)) / 2, swatchY = client.bottom / 2;
    const auto swatch = [&] {
        ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return guitest::ClientPixels(button).at(swatchX, swatchY);
    };
    CHECK(swatch() == kTeal);
    rig.picker.SetColour(kRed);
    CHECK(guitest::ClientPixels(button).at(swatchX, swatchY) == kRed);  // redrawn at once
    rig.picker.SetColour(kAutomaticColour);
    CHECK(swatch() == ::GetSysColor(COLOR_BTNFACE));
    rig.picker.SetColour(kRed);
    ::EnableWindow(button, FALSE);
    CHECK(swatch() == ::GetSysColor(COLOR_BTNFACE));
    ::EnableWindow(button, TRUE);
    CHECK(swatch() == kRed);

    // The arrow: a scroll-bar button face, not the swatch.
    const RECT arrow = rig.picker.arrowRect;
    CHECK(guitest::ClientPixels(button).at(arrow.left + 2, arrow.top + 2) == ::GetSysColor(COLOR_BTNFACE));

    // The focus rectangle runs one pixel inside the swatch.
    const int edgeX = ::GetSystemMetrics(SM_CXEDGE), edgeY = ::GetSystemMetrics(SM_CYEDGE);
    const int focusY = edgeY + 1;
    int changed = 0;
    const guitest::ClientPixels unfocused(button);
    ::SetFocus(button);
    ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const guitest::ClientPixels focused(button);
    for (int x = edgeX + 1; x < arrow.left - 1; ++x) changed += focused.at(x, focusY) != unfocused.at(x, focusY);
    CHECK(changed > 0);
    CHECK(focused.at(swatchX, swatchY) == kRed);
}

TEST_CASE("opening and closing the popup many times leaves no GDI object and no window behind") {
    REQUIRE(guitest::ProveCounters() == "");
    Rig rig;
    rig.picker.SetColour(kTeal);
    // One round first: the system's own lazily made objects (fonts, brushes) are counted after it.
    rig.Open();
    rig.Key(VK_ESCAPE);
    Pump();
    const int gdiBefore = guitest::GdiObjectCount();
    const int windowsBefore = guitest::UserObjectCount();
    REQUIRE(gdiBefore > 0);
    for (int round = 0; round < 30; ++round) {
        CColourGridPopup& popup = rig.Open();
        ::UpdateWindow(popup.handle());
        rig.Hover(round % kCells);
        rig.Hover(CColourGridPopup::kDefaultBox);
        if (round % 3 == 0)
            rig.Key(VK_ESCAPE);
        else if (round % 3 == 1)
            rig.ReleaseAt(rig.EntryCentre(round % kCells));
        else
            rig.Key(VK_RETURN);
        ::RedrawWindow(rig.picker.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    Pump();
    MESSAGE("GDI objects before " << gdiBefore << ", after 30 popups " << guitest::GdiObjectCount());
    CHECK(guitest::GdiObjectCount() == gdiBefore);
    CHECK(guitest::UserObjectCount() == windowsBefore);
}
