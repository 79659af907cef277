// The value window of ostrel_only: its show, refresh and tray text, its settings through the
// host's ini messages, the label's colours, the hide timer, dragging and the context menu.
#include "statswindows/ostrel_only/OnlyWindow.h"

#include "statswindows/common/SkinTable.h"
#include "statswindows/ostrel_only/resource.h"

namespace {

constexpr char kIniFile[] = "plugins\\only\\only.ini";
constexpr char kSection[] = "GLOBAL";
constexpr int kWidth = 70;
constexpr int kHeight = 22;
constexpr UINT_PTR kHideTimer = 1;

}  // namespace

CmyDlgStats1::CmyDlgStats1() : StatsWindow(IDD_STATS, stats::Placement{kIniFile, kWidth, 30, kWidth, kHeight}) {}

CmyDlgStats1::~CmyDlgStats1() {
    // Destroyed here, while this class's OnDestroy is still there to run.
    if (handle()) DestroyWindow();
}

bool CmyDlgStats1::OnInitDialog() {
    StatsWindow::OnInitDialog();
    valueLabel.Attach(Item(IDC_VALUE));
    // Until the first ShowStatsData reads them (a tray request can make the window first).
    settings = std::make_unique<StyleSettings>(StyleSettings{kDefaultTextColour, kDefaultBackColour, false});
    return true;
}

void CmyDlgStats1::OnDestroy() {
    ::KillTimer(handle(), kHideTimer);
    settings.reset();
    valueLabel.Attach(nullptr);
    m_labelBrush.reset();
    m_valueFont.reset();
    StatsWindow::OnDestroy();
}

void CmyDlgStats1::MoveToStart(int x, int y) {
    ::SetWindowPos(handle(), HWND_TOPMOST, x, y, kWidth, kHeight, SWP_NOACTIVATE);
}

void CmyDlgStats1::ShowStatsData(const host::ShowStatsRequest& request) {
    if (!EnsureCreated(request.hostWindow)) return;
    RECT rect{};
    ::GetWindowRect(handle(), &rect);
    ::MapWindowPoints(nullptr, handle(), reinterpret_cast<POINT*>(&rect), 2);
    // Through the host window stored so far: the creating request's or the previous one's.
    SaveWindowPos();
    valueLabel.MoveWindow(1, 1, rect.right, rect.bottom, true);
    LoadStyleSettings(request.hostWindow);
    hostWindow = request.hostWindow;
    hideDelaySeconds = request.hideDelaySeconds;
    ::SetWindowTextA(handle(), stats::kWindowCaption);
    RefreshStats();
    ::InvalidateRect(handle(), nullptr, TRUE);
    ::ShowWindow(handle(), SW_SHOWNOACTIVATE);
}

void CmyDlgStats1::LoadStyleSettings(HWND host) {
    LOGFONTA logFont{};
    logFont.lfHeight = 14;
    logFont.lfWeight = 500;
    lstrcpynA(logFont.lfFaceName, "Arial Black", LF_FACESIZE);
    kit::UniqueFont font(::CreateFontIndirectA(&logFont));
    valueLabel.SetFont(font.get(), true);
    m_valueFont = std::move(font);  // the label no longer uses the one made before

    hostWindow = host;
    if (!settings) return;
    settings->autoHide = false;
    settings->autoHide = ReadHostIniString(kIniFile, kSection, "AUTOHIDE", "0") == "1";
    settings->textColour =
        static_cast<COLORREF>(ReadHostIniInt(kIniFile, kSection, "COLORTEXT", static_cast<int>(kDefaultTextColour)));
    settings->backColour =
        static_cast<COLORREF>(ReadHostIniInt(kIniFile, kSection, "COLORBG", static_cast<int>(kDefaultBackColour)));
}

void CmyDlgStats1::RestartHideTimer() {
    ::KillTimer(handle(), kHideTimer);
    if (settings && settings->autoHide)
        ::SetTimer(handle(), kHideTimer, static_cast<UINT>(hideDelaySeconds) * 1000u, nullptr);
}

void CmyDlgStats1::RefreshStats() {
    ::KillTimer(handle(), kHideTimer);
    const kit::String key = "alltrafic" + stats::DaySuffix(*this);
    valueLabel.SetWindowText(GetHostValue(key, stats::kNoValue));
    // The caption follows the value (the "[ ravo ]" of the show lasts only until here).
    ::SetWindowTextA(handle(), GetHostValue(key, stats::kNoValue));
    SendTrayText(BuildTrayText());
    RestartHideTimer();
}

kit::String CmyDlgStats1::BuildTrayText() { return stats::ComposeTrayText(*this, stats::TrayText::Balances); }

HBRUSH CmyDlgStats1::OnCtlColor(HDC dc, HWND control, int kind) {
    HBRUSH base = StatsWindow::OnCtlColor(dc, control, kind);
    if (kind != CTLCOLOR_STATIC || !settings) return base;
    const COLORREF back = PaintColour(settings->backColour, kDefaultBackColour);
    ::SetTextColor(dc, PaintColour(settings->textColour, kDefaultTextColour));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetBkColor(dc, back);
    if (!m_labelBrush || m_labelBrushColour != back) {
        m_labelBrush.reset(::CreateSolidBrush(back));
        m_labelBrushColour = back;
    }
    return m_labelBrush.get();
}

void CmyDlgStats1::OnLButtonDown(UINT, POINT) {
    RestartHideTimer();
    // The window has no caption: all of it drags it, until the button is released.
    ::SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void CmyDlgStats1::OnLButtonDblClk(UINT, POINT) { RefreshStats(); }

void CmyDlgStats1::OnTimer(UINT_PTR id) {
    if (id != kHideTimer) return;
    ::ShowWindow(handle(), SW_HIDE);
    ::KillTimer(handle(), kHideTimer);
}

void CmyDlgStats1::OnContextMenu(HWND, POINT) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ShowStyleMenu(cursor);
}

void CmyDlgStats1::ShowStyleMenu(POINT screen) {
    kit::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::InsertMenuA(menu.get(), 0, MF_BYPOSITION | MF_STRING, ID_STYLE_SETTINGS, "Настроки стиля...");
    ::InsertMenuA(menu.get(), 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    ::InsertMenuA(menu.get(), 2, MF_BYPOSITION | MF_STRING, ID_HIDE_WINDOW, "Спрятать окно");
    const int command = static_cast<int>(::TrackPopupMenu(
        menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_VCENTERALIGN, screen.x, screen.y, 0, handle(), nullptr));
    menu.reset();
    if (command == ID_STYLE_SETTINGS)
        EditStyleSettings();
    else if (command == ID_HIDE_WINDOW)
        OnOK();  // hides the window; the hide timer runs on
}

void CmyDlgStats1::EditStyleSettings() {
    settingsDialog.DoModal(handle());  // after Cancel the unchanged values are written again
    if (!handle() || !settings) return;
    ::InvalidateRect(valueLabel.handle(), nullptr, TRUE);
    WriteHostIniString(kIniFile, kSection, "AUTOHIDE", settings->autoHide ? "1" : "");
    WriteHostIniInt(kIniFile, kSection, "COLORTEXT", static_cast<int>(settings->textColour));
    WriteHostIniInt(kIniFile, kSection, "COLORBG", static_cast<int>(settings->backColour));
    RestartHideTimer();
}
