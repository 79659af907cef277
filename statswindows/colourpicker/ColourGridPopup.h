// The drop-down of the colour picker: a popup with the grid of named colours, an "Automatic" box
// above it and a "More Colours..." box below it that opens the system colour dialog. It reports
// the colour under selection and the final choice to its picker button, holds the mouse capture
// while it is open (the next button release decides), and destroys its window when the choice is
// made. The picker button owns the object.
#pragma once
#include <windows.h>

#include <string>

#include "base/Unique.h"
#include "base/Window.h"
#include "statswindows/colourpicker/PickerGdi.h"

class CColourPicker;

class CColourGridPopup : public kit::Window {
public:
    // Entries besides the cells 0 .. colourCount - 1.
    static constexpr int kNoEntry = -1;
    static constexpr int kCustomBox = -2;
    static constexpr int kDefaultBox = -3;

    CColourGridPopup(COLORREF colour, CColourPicker* parent, const std::string& defaultText,
                     const std::string& customText);
    ~CColourGridPopup() override = default;

    // Creates the visible window with its top-left corner at `at` (screen), sized to its contents;
    // false when the window cannot be created.
    bool Open(POINT at);

    // The rectangle of an entry in client coordinates (empty for kNoEntry).
    RECT EntryRect(int entry) const;
    HWND toolTipWindow() const { return toolTip.get(); }

    const int colourCount;
    const int columnCount = 8;
    const int rowCount;
    const int margin;
    const int boxSize;
    int currentSel = kNoEntry;
    int chosenSel = kNoEntry;
    const std::string defaultText;
    const std::string customText;
    RECT customRect{};
    RECT defaultRect{};
    RECT windowRect{};  // screen coordinates
    const COLORREF initialColour;
    COLORREF colour;
    bool childWindowVisible = false;  // the colour dialog is open

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnPaint() override;
    void OnDestroy() override;

private:
    void SetWindowSize();
    void CreateToolTips();
    int FindEntry(COLORREF value) const;
    void ChangeSelection(int entry);
    void EndSelection(UINT message);
    void OnMouseMove(int x, int y);
    bool OnKeyDown(UINT key);  // true when the key ended the selection
    void RowAndColumn(int entry, int& row, int& column) const;
    int EntryAt(int row, int column) const;
    bool IsEntry(int entry) const;
    void DrawEntry(HDC dc, int entry) const;
    void DrawCell(HDC dc, int cell) const;
    void DrawTextBox(HDC dc, int entry) const;
    void RedrawEntry(int entry) const;
    void RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam);

    CColourPicker* const parent;
    kit::UniqueFont font;
    picker::UniquePalette palette;
    kit::UniqueWindow toolTip;
};
