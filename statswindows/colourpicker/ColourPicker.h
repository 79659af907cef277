// The colour picker button: an owner-drawn push button that shows its colour as a swatch with a
// drop-down arrow and opens the colour grid popup on a click. It passes the popup's reports on to
// its parent window with the five WM_PICKER_* notifications (lParam: the button's control id).
//
// It takes over an existing button (a dialog's, with Attach) or creates one (Create), and hooks
// the button's window procedure. Its click and its drawing reach it only when the parent passes
// them on with ReflectToControl (PickerMessages.h).
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/Unique.h"
#include "statswindows/colourpicker/ColourGridPopup.h"

class CColourPicker {
public:
    CColourPicker();
    ~CColourPicker();
    CColourPicker(const CColourPicker&) = delete;
    CColourPicker& operator=(const CColourPicker&) = delete;

    // Takes over a button: makes it owner-drawn and sizes it to the swatch and arrow.
    bool Attach(HWND button);
    bool Attach(HWND dialog, int id) { return Attach(::GetDlgItem(dialog, id)); }
    // Creates a button of its own, a child of `parent`, and sizes it the same way.
    bool Create(HWND parent, const RECT& rect, int id, const char* text = "");
    // Gives the button back (it stays owner-drawn); a button of its own is destroyed.
    void Detach();

    HWND handle() const { return m_button; }

    // The text colour when selectionMode is 1, else the background colour. Setting it redraws
    // the button at once.
    COLORREF GetColour() const;
    void SetColour(COLORREF colour);

    // The open popup, or null.
    CColourGridPopup* Popup() const;

    bool popupActive = false;     // the popup is open (the arrow is drawn pushed)
    bool trackSelection = false;  // hovering in the popup changes the colour at once
    COLORREF backColour;
    COLORREF textColour;
    int selectionMode = 2;  // 1: the text colour, 2: the background colour
    RECT arrowRect{};       // client coordinates
    std::string defaultText = "Automatic";
    std::string customText = "More Colours...";

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    bool Hook(HWND button);
    void Unhook();
    void SetWindowSize();
    void OnClicked();
    void DrawItem(const DRAWITEMSTRUCT& item);
    void NotifyParent(UINT message, COLORREF colour);

    HWND m_button = nullptr;
    kit::UniqueWindow m_ownButton;  // set when Create made the button
    std::unique_ptr<CColourGridPopup> m_popup;
};
