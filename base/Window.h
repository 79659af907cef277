// A window of our own: the object is bound to its HWND from WM_NCCREATE until WM_NCDESTROY, and
// one OnMessage per class unpacks the parameters of the messages it knows and calls a virtual
// handler; everything else goes to Default. The binding lives in our window class's extra bytes,
// never in anybody's user data. Window procedures of this library stop every exception.
//
// Windows of this library belong to the module (DLL or EXE) that registered their class. When an
// object dies it destroys its window on the window's own thread; from any other thread it can
// only cut the window loose (the system's default procedure takes over), so that no message
// reaches this module's code after it is unloaded. The module's classes are unregistered when
// the module goes.
#pragma once
#ifdef _WIN32
#include <windows.h>

namespace kit {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND handle() const { return m_hwnd; }
    explicit operator bool() const { return m_hwnd != nullptr; }

    // CreateWindowEx with this object bound; a null className takes the library's default class.
    // Other class names must have been registered with RegisterWindowClass below.
    bool Create(const char* className, const char* windowName, DWORD style, const RECT& rect, HWND parent,
                UINT_PTR idOrMenu = 0, DWORD exStyle = 0);
    bool DestroyWindow();

    // Registers a class of this module whose procedure is this library's (lpfnWndProc, cbWndExtra
    // and hInstance are filled in); it is unregistered when the module unloads.
    static bool RegisterWindowClass(WNDCLASSEXA windowClass);
    static const char* DefaultClassName();  // registered on first use
    static HINSTANCE ModuleInstance();      // the module this library is linked into

protected:
    // The dispatcher of this class: a switch over the messages below, the rest to Default.
    // A subclass with messages of its own overrides it and hands the rest to its base.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    virtual bool OnCreate(const CREATESTRUCTA& create);  // false fails the creation
    virtual bool OnCommand(int id, int code, HWND control);  // false: not handled, Default runs
    virtual void OnTimer(UINT_PTR id);
    virtual bool OnPaint();  // false: not handled, Default runs
    virtual void OnDestroy();

    // The binding, for window procedures of this library (a dialog binds at WM_INITDIALOG).
    void Attach(HWND hwnd) { m_hwnd = hwnd; }
    void ForgetHandle() { m_hwnd = nullptr; }
    // Runs OnMessage without letting an exception out; `failed` is what a throwing handler returns.
    static LRESULT Dispatch(Window* self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
};

}  // namespace kit
#endif
