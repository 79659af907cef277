// zol.dll: one style, "минималист": a narrow column on a 103 x 195 skin with the period's title,
// the total traffic, the tariff's limit, the traffic over it, the online balance and two alert
// labels (traffic and balance). It always opens at the same place and remembers no position.
// Its first show lays the labels out across the window's width and gives the title and alerts
// fonts of their own, once; the tray text lists the traffic classes.
#include "statswindows/common/SingleStyleApp.h"
#include "statswindows/zol/resource.h"

namespace {

using stats::LabelRole;
using stats::LabelSpec;

constexpr COLORREF kTitleColour = 0x1E1E1E;
constexpr COLORREF kValueColour = 0x515151;
constexpr COLORREF kRestColour = 0x3D3D3D;

// Refresh order; the date label stays hidden, it only holds the update time.
constexpr LabelSpec kLabels[] = {
    {.id = IDC_TITLE, .role = LabelRole::Title, .key = "pagetitle", .defaultText = "итоги по трафику",
     .textColour = kTitleColour, .dayKey = "pagetitle_day", .dayDefault = "итоги за этот день"},
    {IDC_DATE, LabelRole::Value, "updatetime", "    ", kTitleColour},
    {IDC_LIMIT, LabelRole::Value, "tariffplanlimit", "нет данных", kRestColour},
    {IDC_ALL, LabelRole::Value, "alltrafic", stats::kNoValue, kValueColour, true},
    {IDC_ALL_OUT, LabelRole::Value, "alltraficoutlimit", stats::kNoValue, kValueColour, true},
    {.id = IDC_ALL_ALERT, .role = LabelRole::Alert, .key = "alltraficlimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "alltitlealert"},
    {.id = IDC_SALDO_ALERT, .role = LabelRole::Alert, .key = "saldolimituser", .defaultText = "",
     .textColour = kRestColour, .flagKey = "saldotitlealert"},
    {IDC_SALDO_ONLINE, LabelRole::Value, "saldoonline", stats::kNoValue, kValueColour},
};

// Client pixels, in the order the labels are moved; the widths are the window's (less 40 for
// the alerts).
constexpr stats::LabelRect kLayout[] = {
    {IDC_TITLE, 0, 19, 0, 10, true},        {IDC_ALL, 0, 50, 0, 20, true},
    {IDC_LIMIT, 0, 90, 0, 20, true},        {IDC_ALL_OUT, 0, 126, 0, 15, true},
    {IDC_ALL_ALERT, 20, 140, -40, 11, true}, {IDC_SALDO_ONLINE, 0, 165, 0, 15, true},
    {IDC_SALDO_ALERT, 20, 183, -40, 11, true},
};

// Font A for the alerts, then font B for the date and title; the other labels keep the
// template's font.
constexpr int kAlertLabels[] = {IDC_ALL_ALERT, IDC_SALDO_ALERT};
constexpr int kTitleLabels[] = {IDC_DATE, IDC_TITLE};
constexpr stats::LabelFont kFonts[] = {
    {.height = 11, .weight = 0, .face = nullptr, .ids = kAlertLabels, .charSet = DEFAULT_CHARSET,
     .outPrecision = OUT_TT_ONLY_PRECIS, .clipPrecision = CLIP_DEFAULT_PRECIS, .quality = PROOF_QUALITY,
     .pitchAndFamily = VARIABLE_PITCH | FF_SWISS},
    {.height = 10, .weight = 0, .face = nullptr, .ids = kTitleLabels, .charSet = DEFAULT_CHARSET,
     .outPrecision = OUT_TT_ONLY_PRECIS, .clipPrecision = CLIP_DEFAULT_PRECIS, .quality = PROOF_QUALITY,
     .pitchAndFamily = VARIABLE_PITCH | FF_SWISS},
};

constexpr stats::SkinStyle kStyle = {
    .menu = {1, "минималист", "максимально простой и незатейливый стиль для пользователей смешанки", "zol\\zol.jpg"},
    .className = "CmyDlgStats2",
    .dialogId = IDD_STATS,
    .bitmapId = IDB_SKIN,
    .keyColour = 0xFAF9F9,
    .labels = kLabels,
    .restColour = kRestColour,
    .alertTextColour = 0x3B424B,
    .alertBackColour = 0xADDBF3,
    .placement = {nullptr, 103, 222},  // no ini file: always there, never saved
    .layout = kLayout,
    .fonts = kFonts,
    .layoutTime = stats::LayoutTime::FirstShow,
    .tray = stats::TrayText::TrafficClasses,
    .repaintOnClick = false,
};

stats::SingleStyleApp theApp({host::PluginKindStatsWindow, "ZOL", "1.2", "Plug-in team", "Тарна Бродбенд", "tarna"},
                             kStyle);

}  // namespace
