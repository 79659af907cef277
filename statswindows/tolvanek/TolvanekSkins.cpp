// tolvanek.dll: two styles of one skin layout, "йеллоу" and "MacOS". They share the template,
// labels, keys and defaults, and differ in skin bitmap, key colour, title and alert colours and
// ini file. Style 1's ini file is "tolvanek2.ini" and style 2's "tolvanek.ini" (the preview names
// go the other way): stored positions live under these names.
#include "statswindows/common/SkinnedWindow.h"
#include "statswindows/common/StatsWindowApp.h"
#include "statswindows/tolvanek/resource.h"

namespace {

using stats::LabelRole;
using stats::LabelSpec;

constexpr char kMonthTitle[] = "итоги по трафику";
constexpr char kDayTitle[] = "итоги за этот день";
constexpr char kNoDate[] = "    ";
constexpr COLORREF kValueColour = 0x515151;
constexpr COLORREF kRestColour = 0x3D3D3D;

// The labels of one style, in refresh order; the title and date colour is the style's.
template <COLORREF TitleColour>
constexpr LabelSpec kLabels[] = {
    {.id = IDC_TITLE, .role = LabelRole::Title, .key = "pagetitle", .defaultText = kMonthTitle,
     .textColour = TitleColour, .dayKey = "pagetitle_day", .dayDefault = kDayTitle},
    {.id = IDC_DATE, .role = LabelRole::Value, .key = "updatetime", .defaultText = kNoDate, .textColour = TitleColour},
    {IDC_SAT, LabelRole::Value, "sattrafic", stats::kNoValue, kValueColour, true},
    {IDC_SAT_OUT, LabelRole::Value, "sattraficoutlimit", stats::kNoValue, kValueColour, true},
    {IDC_UKR, LabelRole::Value, "ukrtrafic", stats::kNoValue, kValueColour, true},
    {IDC_UKR_OUT, LabelRole::Value, "ukrtraficoutlimit", stats::kNoValue, kValueColour, true},
    {IDC_ALL, LabelRole::Value, "alltrafic", stats::kNoValue, kValueColour, true},
    {IDC_ALL_OUT, LabelRole::Value, "alltraficoutlimit", stats::kNoValue, kValueColour, true},
    {.id = IDC_SAT_ALERT, .role = LabelRole::Alert, .key = "sattraficlimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "sattitlealert"},
    {.id = IDC_UKR_ALERT, .role = LabelRole::Alert, .key = "ukrtraficlimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "ukrtitlealert"},
    {.id = IDC_ALL_ALERT, .role = LabelRole::Alert, .key = "alltraficlimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "alltitlealert"},
    {.id = IDC_SALDO_ALERT, .role = LabelRole::Alert, .key = "saldolimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "saldotitlealert"},
    {IDC_SALDO, LabelRole::Value, "saldo", stats::kNoValue, kValueColour},
    {IDC_SALDO_ONLINE, LabelRole::Value, "saldoonline", stats::kNoValue, kValueColour},
};

constexpr host::StyleMenuItem kYellowMenu = {
    1, "йеллоу",
    "Отображает итоговые значения по Sat, Ukr, All, Сальдо и Сальдо-online\n"
    "Корректно отображается при размере шрифта Стандартный (Нормальный 90dpi) в системе",
    "tolvanek\\tolvanek.jpg"};
constexpr host::StyleMenuItem kMacMenu = {
    2, "MacOS",
    "Для поклонников оформления в стиле MacOS :)\n"
    "Корректно отображается при размере шрифта Стандартный (Нормальный 90dpi)в системе",
    "tolvanek\\tolvanek2.jpg"};

constexpr stats::SkinStyle kYellowStyle = {
    .menu = kYellowMenu,
    .className = "CmyDlgStats2",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN_YELLOW,
    .keyColour = 0xFAF9F9,
    .labels = kLabels<0x828282>,
    .restColour = kRestColour,
    .alertTextColour = 0x00DFED,
    .alertBackColour = 0x4831F7,
    .placement = {"plugins\\tolvanek2\\tolvanek2.ini", 275, 200},
    .layout = {},
    .fonts = {},
    .layoutTime = stats::LayoutTime::Never,
    .tray = stats::TrayText::TrafficClasses,
    .repaintOnClick = true,
};

constexpr stats::SkinStyle kMacStyle = {
    .menu = kMacMenu,
    .className = "CmyDlgStats1",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN_MACOS,
    .keyColour = 0xFFFFFF,
    .labels = kLabels<0xD9EAE3>,
    .restColour = kRestColour,
    .alertTextColour = 0xFAFAFA,
    .alertBackColour = 0xF4AB3C,
    .placement = {"plugins\\tolvanek\\tolvanek.ini", 275, 200},
    .layout = {},
    .fonts = {},
    .layoutTime = stats::LayoutTime::Never,
    .tray = stats::TrayText::TrafficClasses,
    .repaintOnClick = true,
};

constexpr const host::StyleMenuItem* kStyles[] = {&kYellowStyle.menu, &kMacStyle.menu};

constexpr stats::PluginTable kPlugin = {
    {host::PluginKindStatsWindow, "tolvanek", "1.5", "Plug-in team", "Тарна Бродбенд", "tarna"},
    kStyles,
};

// Style 1's window, then style 2's; at unload style 2's is saved and destroyed first.
class CStatsWindowApp : public stats::StatsWindowApp {
public:
    CStatsWindowApp() : StatsWindowApp(kPlugin, {&m_yellow, &m_mac}, {&m_mac, &m_yellow}) {}

private:
    stats::SkinnedWindow m_yellow{kYellowStyle};  // CmyDlgStats2
    stats::SkinnedWindow m_mac{kMacStyle};        // CmyDlgStats1
};

CStatsWindowApp theApp;

}  // namespace
