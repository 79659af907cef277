// A window of our own: the object is bound to its HWND from WM_NCCREATE until WM_NCDESTROY, and
// one OnMessage per class unpacks the parameters of the messages it knows and calls a virtual
// handler; everything else goes to Default. The binding lives in our window class's extra bytes,
// never in anybody's user data. Window procedures of this library stop every exception.
//
// Windows of this library belong to the module (DLL or EXE) that registered their class, and a
// window is destroyed on its own thread: DestroyWindow called on another thread sends the window
// a private message and waits while the window's thread destroys it. A dying object destroys its
// window the same way; a class whose OnDestroy must run destroys its window in its own destructor,
// since by the time the base destructor runs only Window's handlers are left.
// One road remains: when the window's thread does not take that message (it has ended, is blocked,
// or is stuck waiting for the loader lock that a thread unloading this module holds), the dying
// object cuts its window loose: the system's default procedure takes over and the binding is
// cleared, so no message reaches this module's code after it is unloaded, and the window lives on
// until its thread or its parent destroys it (WindowTests: "a window whose thread does not answer
// is cut loose"). The owner must not let an object die while its thread is inside one of its
// handlers. The module's classes are unregistered when the module goes. When the process ends
// (see PluginApp), nothing is destroyed or unregistered: the loader lock is held, and the system
// takes the windows with the process. DestroyWindow and the destructors then only cut the windows
// loose, so that nothing of this module's, object or code, is reached from them again.
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
    // On the window's own thread, or handed to that thread (see above); false when not destroyed.
    // When the process ends the window is cut loose instead (see above).
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
    void CutLoose();

    HWND m_hwnd = nullptr;
    bool m_unanswered = false;  // the window's thread let a destroy request time out
};

}  // namespace kit
#endif
