// morvik.dll: one style, "Интернет+ТВ+Модем+Декодер". Five black labels on a 350 x 120 skin: the
// total traffic, the balance without its currency unit, the television balance (the older key
// "atvsaldo" where the host has no "vptvsaldo"), the decoder and the modem rent. Every show lays
// the labels out and gives them the "Arial Black" font; the tray text lists the balances.
#include "statswindows/common/SingleStyleApp.h"
#include "statswindows/morvik/resource.h"

namespace {

using stats::LabelRole;
using stats::LabelSpec;

constexpr COLORREF kTextColour = 0x000000;

// Refresh order.
constexpr LabelSpec kLabels[] = {
    {IDC_ALL, LabelRole::Value, "alltrafic", stats::kNoValue, kTextColour, true},
    {.id = IDC_SALDO, .role = LabelRole::Value, .key = "saldo", .defaultText = stats::kNoValue,
     .textColour = kTextColour, .rule = stats::TextRule::DropCurrency},
    {.id = IDC_TV, .role = LabelRole::Value, .key = "vptvsaldo", .defaultText = stats::kNoValue,
     .textColour = kTextColour, .fallbackKey = "atvsaldo"},
    {IDC_DECODER, LabelRole::Value, "rentdecodersaldo", stats::kNoValue, kTextColour},
    {IDC_MODEM, LabelRole::Value, "rentmodemsaldo", stats::kNoValue, kTextColour},
};

// Client pixels, in the order the labels are moved.
constexpr stats::LabelRect kLayout[] = {
    {IDC_ALL, 0, 88, 91, 20},   {IDC_SALDO, 0, 103, 91, 20},    {IDC_TV, 91, 97, 81, 20},
    {IDC_MODEM, 172, 97, 91, 20}, {IDC_DECODER, 256, 97, 91, 20},
};

constexpr int kFontLabels[] = {IDC_ALL, IDC_SALDO, IDC_TV, IDC_DECODER, IDC_MODEM};
constexpr stats::LabelFont kFonts[] = {{.height = 12, .weight = 500, .face = "Arial Black", .ids = kFontLabels}};

constexpr stats::SkinStyle kStyle = {
    .menu = {1, "Интернет+ТВ+Модем+Декодер",
             "Отображает баланс по Интернет, Цифровое ТВ, Аренда модема и Аренда декодера", "morvik\\morvik.jpg"},
    .className = "CmyDlgStats2",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN,
    .keyColour = 0xFAF9F9,
    .labels = kLabels,
    .restColour = kTextColour,
    .placement = {"plugins\\morvik\\morvik.ini", 350, 147},
    .layout = kLayout,
    .fonts = kFonts,
    .layoutTime = stats::LayoutTime::EveryShow,
    .tray = stats::TrayText::Balances,
    .repaintOnClick = false,
};

stats::SingleStyleApp theApp({host::PluginKindStatsWindow, "MORVIK", "1.4", "Plug-in team", "Тарна Бродбенд", "tarna"},
                             kStyle);

}  // namespace
