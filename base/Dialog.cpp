// The dialog base class: binding, dispatch to typed handlers, and a clean end.
#include "base/Dialog.h"

#include <windowsx.h>

#include "base/PluginApp.h"

namespace kit {

namespace {

Dialog* BoundDialog(HWND hwnd) { return reinterpret_cast<Dialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER)); }

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

Dialog::~Dialog() {
    const HWND hwnd = handle();
    if (!hwnd || !::IsWindow(hwnd)) return;
    // Destroyed here, while this class's handlers are still ours to run; on another thread, and
    // when the process ends, the window only loses its object (Window's destructor then cuts it
    // loose).
    if (!PluginApp::ProcessExiting() && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId())
        DestroyWindow();
    else
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
}

bool Dialog::CreateModeless(int templateId, HWND parent) {
    if (handle()) return false;
    return ::CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent, &Dialog::DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::DoModal(int templateId, HWND parent) {
    if (handle()) return -1;
    m_modal = true;
    const INT_PTR result = ::DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent,
                                             &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = BoundDialog(hwnd);
    if (!self && message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        if (self) {
            ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            self->Attach(hwnd);
        }
    }
    // Messages before WM_INITDIALOG (WM_SETFONT among them) find no object.
    if (!self) return FALSE;
    const LRESULT result = Dispatch(self, message, wParam, lParam, message == WM_INITDIALOG ? TRUE : FALSE);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->ForgetHandle();
    }
    return static_cast<INT_PTR>(result);
}

LRESULT Dialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        break;
    }
    case WM_TIMER:
        if (lParam) break;
        OnTimer(wParam);
        break;  // and the default processing
    case WM_PAINT:
        if (OnPaint()) return TRUE;
        break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The one group of messages whose dialog procedure result is the answer itself.
        if (HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                      static_cast<int>(message - WM_CTLCOLORMSGBOX)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(reinterpret_cast<HWND>(wParam), PointOf(lParam));
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), PointOf(lParam));
        break;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), PointOf(lParam));
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

LRESULT Dialog::Default(UINT, WPARAM, LPARAM) { return FALSE; }

bool Dialog::OnInitDialog() { return true; }
HBRUSH Dialog::OnCtlColor(HDC, HWND, int) { return nullptr; }
void Dialog::OnContextMenu(HWND, POINT) {}
void Dialog::OnLButtonDown(UINT, POINT) {}
void Dialog::OnLButtonDblClk(UINT, POINT) {}
void Dialog::OnOK() { EndDialog(IDOK); }
void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::EndDialog(int result) {
    if (!handle()) return;
    if (m_modal)
        ::EndDialog(handle(), result);
    else
        ::ShowWindow(handle(), SW_HIDE);
}

}  // namespace kit
