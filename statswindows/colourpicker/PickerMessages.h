// The colour picker's notifications, and how a parent hands the picker the notifications that
// Windows sends the parent about its button.
//
// The popup reports to the picker button, and the button to its parent, with SendMessage. Every
// colour is a COLORREF; kAutomaticColour (0xFF000000) is the automatic colour. From the button,
// lParam is the button's control id.
#pragma once
#include <windows.h>

enum PickerMessage : UINT {
    WM_PICKER_SELCHANGE = WM_USER + 1001,     // wParam: the colour under selection
    WM_PICKER_DROPDOWN = WM_USER + 1002,      // wParam: the button's colour, after the popup opened
    WM_PICKER_CLOSEUP = WM_USER + 1003,       // wParam: the colour, before SELENDOK or SELENDCANCEL
    WM_PICKER_SELENDOK = WM_USER + 1004,      // wParam: the chosen colour
    WM_PICKER_SELENDCANCEL = WM_USER + 1005,  // wParam: the colour the popup was opened with
};
static_assert(WM_PICKER_SELCHANGE == 0x7E9 && WM_PICKER_SELENDCANCEL == 0x7ED);

// An owner-drawn control learns of its clicks and its drawing from messages sent to its parent.
// A parent that hosts such controls passes those on with ReflectToControl from its window or dialog
// procedure: the control receives the same message at kReflectBase + message, and answers nonzero
// when it handled it. True means handled; `result` is then what the parent's procedure returns.
constexpr UINT kReflectBase = WM_USER + 0x1C00;  // the usual base of reflected messages (OCM__BASE)
bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
