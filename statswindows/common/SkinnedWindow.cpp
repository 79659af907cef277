#include "statswindows/common/SkinnedWindow.h"

#include <cstring>

#include "base/Gdi.h"

namespace stats {

SkinnedWindow::SkinnedWindow(const SkinStyle& style)
    : StatsWindow(style.dialogId, style.placement), m_style(style), m_labels(style.labels.size()),
      m_fonts(style.fonts.size()) {}

// The window goes before the brush and fonts its labels may still use.
SkinnedWindow::~SkinnedWindow() { DestroyWindow(); }

bool SkinnedWindow::OnInitDialog() {
    for (std::size_t i = 0; i < m_labels.size(); ++i) m_labels[i].Attach(Item(m_style.labels[i].id));
    ApplySkinRegion();
    return true;
}

void SkinnedWindow::ApplySkinRegion() {
    m_skin = kit::LoadBitmapResource(ModuleInstance(), m_style.bitmapId, &m_skinSize);
    // Without its bitmap the window keeps the template's shape and size.
    if (m_skin) {
        const kit::WindowDC windowDc(handle());
        const kit::UniqueMemoryDC memory(::CreateCompatibleDC(windowDc.get()));
        const kit::SelectGuard selected(memory.get(), m_skin.get());
        kit::UniqueRegion region =
            kit::RegionFromBitmap(memory.get(), m_skinSize.cx, m_skinSize.cy, m_style.keyColour);
        // From here the region is the window's.
        if (region && ::SetWindowRgn(handle(), region.get(), TRUE)) region.release();
        const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2 - m_skinSize.cx / 2;
        const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2 - m_skinSize.cy / 2;
        ::SetWindowPos(handle(), HWND_TOPMOST, x, y, m_skinSize.cx, m_skinSize.cy, 0);
    }
    ::ShowWindow(handle(), SW_SHOWNORMAL);
}

bool SkinnedWindow::OnPaint() {
    const kit::PaintDC paint(handle());
    if (m_skin) {
        const kit::UniqueMemoryDC memory(::CreateCompatibleDC(nullptr));
        const kit::SelectGuard selected(memory.get(), m_skin.get());
        ::BitBlt(paint.get(), 0, 0, m_skinSize.cx, m_skinSize.cy, memory.get(), 0, 0, SRCCOPY);
    }
    return true;
}

const LabelSpec* SkinnedWindow::LabelOf(HWND control) const {
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        if (m_labels[i].handle() == control) return &m_style.labels[i];
    return nullptr;
}

HBRUSH SkinnedWindow::OnCtlColor(HDC dc, HWND control, int kind) {
    if (kind != CTLCOLOR_STATIC) return nullptr;
    const LabelSpec* label = LabelOf(control);
    COLORREF colour = label ? label->textColour : m_style.restColour;
    // The option is asked on every paint of an alert label, not remembered from the refresh.
    const bool alert = label && label->role == LabelRole::Alert && GetHostFlag(label->flagKey);
    if (alert) colour = m_style.alertTextColour;
    ::SetTextColor(dc, colour);
    ::SetBkMode(dc, TRANSPARENT);
    if (!alert) return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    ::SetBkColor(dc, m_style.alertBackColour);
    if (!m_alertBrush) m_alertBrush.reset(::CreateSolidBrush(m_style.alertBackColour));
    return m_alertBrush.get();
}

void SkinnedWindow::StartHideTimer() {
    // The delay is taken as the host gives it; the product wraps like the unsigned timer value.
    ::SetTimer(handle(), kHideTimer, static_cast<UINT>(hideDelaySeconds) * 1000u, nullptr);
}

void SkinnedWindow::OnTimer(UINT_PTR id) {
    if (id != kHideTimer) return;
    ::ShowWindow(handle(), SW_HIDE);
    ::KillTimer(handle(), kHideTimer);
}

void SkinnedWindow::OnContextMenu(HWND, POINT) { OnOK(); }

void SkinnedWindow::OnLButtonDown(UINT, POINT) {
    StartHideTimer();
    // The window has no caption: its whole client area drags it.
    ::SendMessageA(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    if (m_style.repaintOnClick) ::InvalidateRect(handle(), nullptr, TRUE);
}

void SkinnedWindow::OnLButtonDblClk(UINT, POINT) {
    RefreshStats();
    // The labels are transparent: a new text is drawn right only over the skin painted again
    // behind it, so the whole window repaints with erasing, as a show does.
    ::InvalidateRect(handle(), nullptr, TRUE);
}

void SkinnedWindow::BeforeShow(bool) {
    if (m_style.layoutTime == LayoutTime::EveryShow || (m_style.layoutTime == LayoutTime::FirstShow && !m_laidOut)) {
        ApplyLayout();
        SetLabelFonts();
        m_laidOut = true;
    }
}

void SkinnedWindow::ApplyLayout() {
    RECT window{};
    ::GetWindowRect(handle(), &window);
    const int width = window.right - window.left;
    for (const LabelRect& rect : m_style.layout)
        kit::Static(Item(rect.id)).MoveWindow(rect.x, rect.y, rect.widthFromWindow ? width + rect.width : rect.width,
                                              rect.height, true);
}

void SkinnedWindow::SetLabelFonts() {
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        const LabelFont& wanted = m_style.fonts[i];
        LOGFONTA font{};
        font.lfHeight = wanted.height;
        font.lfWeight = wanted.weight;
        font.lfCharSet = wanted.charSet;
        font.lfOutPrecision = wanted.outPrecision;
        font.lfClipPrecision = wanted.clipPrecision;
        font.lfQuality = wanted.quality;
        font.lfPitchAndFamily = wanted.pitchAndFamily;
        if (wanted.face) std::strncpy(font.lfFaceName, wanted.face, LF_FACESIZE - 1);
        kit::UniqueFont made(::CreateFontIndirectA(&font));
        for (int id : wanted.ids) kit::Static(Item(id)).SetFont(made.get(), true);
        m_fonts[i] = std::move(made);  // the font the labels used before goes now
    }
}

void SkinnedWindow::RefreshStats() {
    ::KillTimer(handle(), kHideTimer);
    kit::String day;
    bool hasTitle = false;
    for (const LabelSpec& label : m_style.labels) hasTitle = hasTitle || label.role == LabelRole::Title;
    if (!hasTitle) day = DaySuffix(*this);
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        const LabelSpec& label = m_style.labels[i];
        const kit::Static& shown = m_labels[i];
        switch (label.role) {
        case LabelRole::Title:
            shown.SetWindowText(GetHostValue(label.key, label.defaultText));
            day = DaySuffix(*this);
            if (!day.IsEmpty()) shown.SetWindowText(GetHostValue(label.dayKey, label.dayDefault));
            break;
        case LabelRole::Value: {
            kit::String text = GetHostValue(label.daySuffix ? label.key + day : kit::String(label.key), label.defaultText);
            if (label.fallbackKey && text == kNoValue) text = GetHostValue(label.fallbackKey, label.defaultText);
            if (label.rule == TextRule::DropCurrency) text = DropCurrency(text);
            shown.SetWindowText(text);
            break;
        }
        case LabelRole::Alert:
            shown.SetWindowText("");
            if (GetHostFlag(label.flagKey)) shown.SetWindowText(GetHostValue(label.key, label.defaultText));
            break;
        }
    }
    SendTrayText(BuildTrayText());
    StartHideTimer();
}

kit::String SkinnedWindow::BuildTrayText() { return ComposeTrayText(*this, m_style.tray); }

}  // namespace stats
