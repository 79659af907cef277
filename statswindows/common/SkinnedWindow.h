// The skinned statistics window: one class for every style of the skinned plug-ins, run from the
// style's table. A dialog shaped and painted by its skin bitmap, whose transparent labels show
// the values pulled from the host; alert labels take the skin's alert colours while the host's
// option is on; timer 1 hides it, a left click drags it, a double click refreshes and repaints
// it, a right click hides it.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <vector>

#include "base/Dialog.h"
#include "base/Unique.h"
#include "statswindows/common/SkinTable.h"
#include "statswindows/common/StatsWindow.h"

namespace stats {

class SkinnedWindow : public StatsWindow {
public:
    explicit SkinnedWindow(const SkinStyle& style);
    ~SkinnedWindow() override;

    const SkinStyle& style() const { return m_style; }
    const char* className() const { return m_style.className; }

    void RefreshStats() override;
    kit::String BuildTrayText() override;

    static constexpr UINT_PTR kHideTimer = 1;

protected:
    bool OnInitDialog() override;
    bool OnPaint() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, int kind) override;
    void OnTimer(UINT_PTR id) override;
    void OnContextMenu(HWND window, POINT screen) override;
    void OnLButtonDown(UINT keys, POINT client) override;
    void OnLButtonDblClk(UINT keys, POINT client) override;
    void BeforeShow(bool created) override;

private:
    void ApplySkinRegion();
    void ApplyLayout();
    void SetLabelFonts();
    void StartHideTimer();
    const LabelSpec* LabelOf(HWND control) const;

    const SkinStyle& m_style;
    std::vector<kit::Static> m_labels;  // parallel to m_style.labels
    kit::UniqueBitmap m_skin;
    SIZE m_skinSize{};
    kit::UniqueBrush m_alertBrush;    // made at the first alert
    std::vector<kit::UniqueFont> m_fonts;  // parallel to m_style.fonts
    bool m_laidOut = false;
};

}  // namespace stats
#endif
