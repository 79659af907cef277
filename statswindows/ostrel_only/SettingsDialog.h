// The style settings dialog of the value window (template 3001): two colour buttons, the
// auto-hide box and a preview label in the chosen colours. It edits the StyleSettings of the
// window that owns it, and only on OK. It runs modally on its owner's thread, with its own loop.
#pragma once
#include <windows.h>

#include <memory>

#include "base/Dialog.h"
#include "base/Unique.h"
#include "statswindows/colourpicker/ColourPicker.h"
#include "statswindows/ostrel_only/StyleSettings.h"

class CmySettingsEx : public kit::Dialog {
public:
    // `settings` is where the window keeps its settings (empty while the window does not exist).
    explicit CmySettingsEx(const std::unique_ptr<StyleSettings>& settings) : m_settings(settings) {}
    ~CmySettingsEx() override;

    // Shows the dialog with `owner` disabled and returns IDOK or IDCANCEL once it has ended
    // (-1 when it could not be made).
    int DoModal(HWND owner);

    CColourPicker textPicker;  // 3004
    CColourPicker backPicker;  // 3005
    COLORREF textColour = kDefaultTextColour;
    COLORREF backColour = kDefaultBackColour;
    bool autoHide = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, int kind) override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void OnColourChosen();
    void End(int result);

    const std::unique_ptr<StyleSettings>& m_settings;
    bool m_running = false;
    int m_result = IDCANCEL;
    kit::UniqueBrush m_previewBrush;
    COLORREF m_previewBrushColour = 0;
};
