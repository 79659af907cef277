// The forty named colours of the colour picker's grid, in grid order (eight to a row), and the
// value that stands for the automatic (default) colour.
#pragma once
#include <windows.h>

constexpr COLORREF kAutomaticColour = 0xFF000000;

struct NamedColour {
    COLORREF colour;
    const char* name;
};

constexpr int kColourCount = 40;
extern const NamedColour kPickerColours[kColourCount];
