// mini.dll: one style, "просто mini - ничего лишнего": the total traffic and the online balance
// (without its currency unit) in dark red on a 156 x 75 skin whose black pixels are cut away.
// Every show lays the two labels out and gives them the "Arial" font; the tray text lists the
// balances.
#include "statswindows/common/SingleStyleApp.h"
#include "statswindows/mini/resource.h"

namespace {

using stats::LabelRole;

constexpr COLORREF kTextColour = 0x333399;
// Caption and description are one text.
constexpr char kCaption[] = "просто mini - ничего лишнего";

// Refresh order.
constexpr stats::LabelSpec kLabels[] = {
    {IDC_ALL, LabelRole::Value, "alltrafic", stats::kNoValue, kTextColour, true},
    {.id = IDC_SALDO_ONLINE, .role = LabelRole::Value, .key = "saldoonline", .defaultText = stats::kNoValue,
     .textColour = kTextColour, .rule = stats::TextRule::DropCurrency},
};

constexpr stats::LabelRect kLayout[] = {{IDC_ALL, 75, 27, 63, 20}, {IDC_SALDO_ONLINE, 75, 42, 63, 20}};

constexpr int kFontLabels[] = {IDC_ALL, IDC_SALDO_ONLINE};
constexpr stats::LabelFont kFonts[] = {{.height = 16, .weight = 0, .face = "Arial", .ids = kFontLabels}};

constexpr stats::SkinStyle kStyle = {
    .menu = {1, kCaption, kCaption, "mini\\mini.jpg"},
    .className = "CmyDlgStats2",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN,
    .keyColour = 0x000000,
    .labels = kLabels,
    .restColour = kTextColour,
    .placement = {"plugins\\mini\\mini.ini", 154, 100},
    .layout = kLayout,
    .fonts = kFonts,
    .layoutTime = stats::LayoutTime::EveryShow,
    .tray = stats::TrayText::Balances,
    .repaintOnClick = false,
};

stats::SingleStyleApp theApp({host::PluginKindStatsWindow, "MINI", "1.2", "Plug-in team", "Тарна Бродбенд", "tarna"},
                             kStyle);

}  // namespace
