// The style settings of the value window: its colours and whether it hides by itself. Kept in the
// style's ini file through the host; the window holds them while it exists.
#pragma once
#include <windows.h>

struct StyleSettings {
    COLORREF textColour;
    COLORREF backColour;
    bool autoHide;
};

constexpr COLORREF kDefaultTextColour = 0x414141;
constexpr COLORREF kDefaultBackColour = 0xD8DCE9;

// The colour to paint with: the picker's automatic colour (0xFF000000) is no colour GDI knows,
// so the window's default stands in for it.
constexpr COLORREF PaintColour(COLORREF colour, COLORREF automatic) {
    return (colour & 0xFF000000) == 0xFF000000 ? automatic : colour;
}
