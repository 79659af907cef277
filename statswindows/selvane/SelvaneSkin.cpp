// selvane.dll: one style, "Интернет+ТВ+Модем+Декодер", morvik's window on a 246 x 139 skin of its
// own: the total traffic and the online balance (without its currency unit) in dark red, the
// television balance ("atvsaldo" where the host has no "vptvsaldo"), the decoder and the modem
// rent in dark grey. Every show lays the labels out and gives them the "Arial" font; the tray
// text lists the balances.
#include "statswindows/common/SingleStyleApp.h"
#include "statswindows/selvane/resource.h"

namespace {

using stats::LabelRole;
using stats::LabelSpec;

constexpr COLORREF kMainColour = 0x333399;
constexpr COLORREF kRentColour = 0x333333;

// Refresh order.
constexpr LabelSpec kLabels[] = {
    {IDC_ALL, LabelRole::Value, "alltrafic", stats::kNoValue, kMainColour, true},
    {.id = IDC_SALDO, .role = LabelRole::Value, .key = "saldoonline", .defaultText = stats::kNoValue,
     .textColour = kMainColour, .rule = stats::TextRule::DropCurrency},
    {.id = IDC_TV, .role = LabelRole::Value, .key = "vptvsaldo", .defaultText = stats::kNoValue,
     .textColour = kRentColour, .fallbackKey = "atvsaldo"},
    {IDC_DECODER, LabelRole::Value, "rentdecodersaldo", stats::kNoValue, kRentColour},
    {IDC_MODEM, LabelRole::Value, "rentmodemsaldo", stats::kNoValue, kRentColour},
};

// Client pixels, in the order the labels are moved.
constexpr stats::LabelRect kLayout[] = {
    {IDC_ALL, 156, 17, 57, 20},  {IDC_SALDO, 156, 32, 57, 20},    {IDC_TV, 156, 63, 58, 20},
    {IDC_MODEM, 35, 109, 70, 20}, {IDC_DECODER, 160, 109, 70, 20},
};

constexpr int kFontLabels[] = {IDC_ALL, IDC_SALDO, IDC_TV, IDC_DECODER, IDC_MODEM};
constexpr stats::LabelFont kFonts[] = {{.height = 16, .weight = 0, .face = "Arial", .ids = kFontLabels}};

constexpr stats::SkinStyle kStyle = {
    .menu = {1, "Интернет+ТВ+Модем+Декодер",
             "Отображает баланс по Интернет, Цифровое ТВ, Аренда модема и Аренда декодера", "selvane\\selvane.jpg"},
    .className = "CmyDlgStats2",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN,
    .keyColour = 0x000000,
    .labels = kLabels,
    .restColour = kMainColour,
    .placement = {"plugins\\selvane\\selvane.ini", 250, 147},
    .layout = kLayout,
    .fonts = kFonts,
    .layoutTime = stats::LayoutTime::EveryShow,
    .tray = stats::TrayText::Balances,
    .repaintOnClick = false,
};

stats::SingleStyleApp theApp({host::PluginKindStatsWindow, "SELVANE", "1.4", "Plug-in team", "Тарна Бродбенд", "tarna"},
                             kStyle);

}  // namespace
