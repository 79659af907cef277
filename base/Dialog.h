// A dialog of our own, modeless or modal, made from a DIALOGEX template of this module: the object is bound
// at WM_INITDIALOG (the dialog's own user data slot, which is ours) and unbound at WM_NCDESTROY;
// one OnMessage unpacks the messages below and calls typed handlers; everything else goes to the
// system's dialog processing (the procedure returns FALSE). No exception leaves the procedure.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "base/Window.h"

namespace kit {

class Dialog : public Window {
public:
    Dialog() = default;
    ~Dialog() override;

    // CreateDialogParam from template `templateId` of this module; OnInitDialog runs inside.
    bool CreateModeless(int templateId, HWND parent = nullptr);
    // DialogBoxParam from the same kind of template: returns the result given to EndDialog.
    INT_PTR DoModal(int templateId, HWND parent = nullptr);

    HWND Item(int id) const { return ::GetDlgItem(handle(), id); }
    bool SetItemText(int id, const char* text) const { return ::SetDlgItemTextA(handle(), id, text) != FALSE; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) override;  // FALSE: the system's processing

    virtual bool OnInitDialog();  // the result is WM_INITDIALOG's (TRUE: default focus)
    // kind: CTLCOLOR_MSGBOX .. CTLCOLOR_STATIC. A null brush leaves the message to the system.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, int kind);
    virtual void OnContextMenu(HWND window, POINT screen);
    virtual void OnLButtonDown(UINT keys, POINT client);
    virtual void OnLButtonDblClk(UINT keys, POINT client);
    virtual void OnOK();      // IDOK: ends (for a modeless dialog: hides) the dialog
    virtual void OnCancel();  // IDCANCEL: the same
    // A modal dialog ends its loop with `result`; a modeless one "ended" is hidden: it lives on
    // until DestroyWindow.
    void EndDialog(int result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool m_modal = false;
};

// A static control of a dialog: a view of the child window, which its dialog destroys.
class Static {
public:
    Static() = default;
    explicit Static(HWND hwnd) : m_hwnd(hwnd) {}
    HWND handle() const { return m_hwnd; }
    void Attach(HWND hwnd) { m_hwnd = hwnd; }
    bool SetWindowText(const char* text) const { return ::SetWindowTextA(m_hwnd, text) != FALSE; }
    bool MoveWindow(int x, int y, int width, int height, bool repaint = true) const {
        return ::MoveWindow(m_hwnd, x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
    }
    void SetFont(HFONT font, bool redraw = true) const {
        ::SendMessageA(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
    }

private:
    HWND m_hwnd = nullptr;
};

}  // namespace kit
#endif
