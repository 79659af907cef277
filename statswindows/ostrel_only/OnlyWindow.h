// The value window of ostrel_only: a small plain dialog (template 3000) that shows the total
// traffic in the colours of its style settings. It runs on the statistics-window skeleton with
// its own order of a show (the position is saved on every show, the settings read again), a
// context menu with the settings dialog and "hide", and no position saved at unload.
#pragma once
#include <windows.h>

#include <memory>

#include "base/Dialog.h"
#include "base/String.h"
#include "base/Unique.h"
#include "statswindows/common/StatsWindow.h"
#include "statswindows/ostrel_only/SettingsDialog.h"
#include "statswindows/ostrel_only/StyleSettings.h"

class CmyDlgStats1 : public stats::StatsWindow {
public:
    CmyDlgStats1();
    ~CmyDlgStats1() override;

    void ShowStatsData(const host::ShowStatsRequest& request) override;
    void RefreshStats() override;
    kit::String BuildTrayText() override;

    void LoadStyleSettings(HWND host);
    void ShowStyleMenu(POINT screen);
    void EditStyleSettings();

    kit::Static valueLabel;
    std::unique_ptr<StyleSettings> settings;  // exists exactly as long as the window
    CmySettingsEx settingsDialog{settings};

protected:
    void MoveToStart(int x, int y) override;
    void SaveAtUnload() override {}  // the place is saved on every show, not as the window goes
    bool OnInitDialog() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, int kind) override;
    void OnLButtonDown(UINT keys, POINT client) override;
    void OnLButtonDblClk(UINT keys, POINT client) override;
    void OnTimer(UINT_PTR id) override;
    void OnContextMenu(HWND window, POINT screen) override;
    void OnDestroy() override;

private:
    void RestartHideTimer();

    kit::UniqueFont m_valueFont;
    kit::UniqueBrush m_labelBrush;
    COLORREF m_labelBrushColour = 0;
};
