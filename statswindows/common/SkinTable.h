// What a skin of the statistics windows is: constants only. A plug-in is a table of styles; each
// style names its dialog, skin bitmap and key colour, the labels it fills (in refresh order) with
// their keys, defaults and colours, its alert colours, where it opens and whether it remembers
// that place, the label rectangles and fonts it applies when shown, and its tray text. One
// window class (SkinnedWindow) runs every style from its table.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <span>

#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"

namespace stats {

// How a refresh fills a label.
enum class LabelRole {
    // key = month key with its default; with "dblclk" on, then dayKey with dayDefault. The day
    // switch is asked right after the title (first of all in skins without a title).
    Title,
    // key (+ "_day" when daySuffix and "dblclk" is on) with defaultText.
    Value,
    // the empty text; when the host's option flagKey is on, the limit key with defaultText,
    // painted in the skin's alert colours while that option is on.
    Alert,
};

enum class TextRule {
    AsIs,
    DropCurrency,  // every "грн." removed from the value, the blanks around it kept
};

struct LabelSpec {
    int id;
    LabelRole role;
    const char* key;
    const char* defaultText;
    COLORREF textColour;  // alert labels: the colour without alert
    bool daySuffix = false;
    const char* flagKey = nullptr;      // Alert
    const char* dayKey = nullptr;       // Title
    const char* dayDefault = nullptr;   // Title
    const char* fallbackKey = nullptr;  // Value: asked when the first answer is exactly "нет"
    TextRule rule = TextRule::AsIs;
};

// A label's rectangle in client pixels; widthFromWindow: width = window width + width.
struct LabelRect {
    int id;
    int x, y, width, height;
    bool widthFromWindow = false;
};

// A font made from a LOGFONT that is zero but for these fields, and the labels that get it.
struct LabelFont {
    LONG height;
    LONG weight;
    const char* face;  // empty: no face name
    std::span<const int> ids;
    BYTE charSet = 0;
    BYTE outPrecision = 0;
    BYTE clipPrecision = 0;
    BYTE quality = 0;
    BYTE pitchAndFamily = 0;
};

// When ShowStatsData lays the labels out and sets their fonts.
enum class LayoutTime {
    Never,            // the template's rectangles and font
    EveryShow,        // on every ShowStatsData
    // once, at the window's first ShowStatsData, also when a tray request made the window: laid
    // out only when ShowStatsData itself made it, a window would keep the template's rectangles
    // (wider than such a skin) for good
    FirstShow,
};

enum class TrayText {
    TrafficClasses,  // title, SatEx, UkrEx, Общий, update time
    Balances,        // title, Трафик, Сальдо, Сальдо-online, update time
};

// Where a style's window opens: (screen width - offsetX, screen height - offsetY), replaced by
// the position saved in iniFile ("GLOBAL", "X", "Y") when the window shows there on some screen;
// no iniFile: always there, never saved. A window that is resized as it is placed gives its
// size there (width, height); 0: the size it was created with.
struct Placement {
    const char* iniFile;
    int offsetX;
    int offsetY;
    int width = 0;
    int height = 0;
};

struct SkinStyle {
    host::StyleMenuItem menu;
    const char* className;  // the run-time class name the style's window goes by
    int dialogId;
    int bitmapId;
    COLORREF keyColour;
    std::span<const LabelSpec> labels;  // refresh order
    COLORREF restColour;                // every static the labels do not list (captions)
    COLORREF alertTextColour = 0;  // both only where there are alert labels
    COLORREF alertBackColour = 0;
    Placement placement;
    std::span<const LabelRect> layout;  // in the order the labels are moved
    std::span<const LabelFont> fonts;   // in the order they are made and set
    LayoutTime layoutTime;
    TrayText tray;
    bool repaintOnClick;  // a left click also invalidates the window
};

// The caption of every statistics window, set on each ShowStatsData.
inline constexpr char kWindowCaption[] = "[ ravo ]";
// The default of a value the host does not know, and the answer that makes a fallback key count.
inline constexpr char kNoValue[] = "нет";

}  // namespace stats
#endif
