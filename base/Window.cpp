// The window base class: the module's window classes, the binding of objects to their windows,
// and the dispatch of messages to virtual handlers.
#include "base/Window.h"

#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "base/PluginApp.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // the linker's symbol for this module's own base

namespace kit {

namespace {

constexpr int kBindingSlot = 0;  // offset of the object pointer in our classes' extra bytes

// How long a thread that destroys another thread's window waits for that thread to take it.
constexpr UINT kDestroyWaitMs = 2000;

// Sent to a window of ours to have its own thread destroy it; registered, so no class's own
// message numbers can collide with it.
UINT DestroyMessage() {
    static const UINT message = ::RegisterWindowMessageA("kit.Window.DestroyOnOwnThread");
    return message;
}

struct ClassRegistry {
    CriticalSection lock;
    std::vector<std::string> names;
    std::string defaultName;

    // Windows does not unregister a DLL's classes when it unloads, and a later load would find our
    // old procedure in them: they go with the module. When the process ends they go with it.
    ~ClassRegistry() {
        if (PluginApp::ProcessExiting()) return;
        for (const std::string& name : names) ::UnregisterClassA(name.c_str(), Window::ModuleInstance());
    }
};

ClassRegistry& Registry() {
    static ClassRegistry registry;
    return registry;
}

Window* BoundObject(HWND hwnd) { return reinterpret_cast<Window*>(::GetWindowLongPtrA(hwnd, kBindingSlot)); }

}  // namespace

HINSTANCE Window::ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool Window::RegisterWindowClass(WNDCLASSEXA windowClass) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Window::WindowProc;
    windowClass.cbWndExtra = sizeof(Window*);
    windowClass.hInstance = ModuleInstance();
    if (!windowClass.hCursor) windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    ClassRegistry& registry = Registry();
    Lock lock(registry.lock);
    // A class left by an earlier load of this module without windows goes first; one that still
    // has a window cannot go, and the registration fails with ERROR_CLASS_ALREADY_EXISTS.
    ::UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
    // The bookkeeping first: a class registered but not written down would never be unregistered.
    registry.names.emplace_back(windowClass.lpszClassName);
    if (!::RegisterClassExA(&windowClass)) {
        registry.names.pop_back();  // keeps the registration's last error
        return false;
    }
    return true;
}

const char* Window::DefaultClassName() {
    ClassRegistry& registry = Registry();
    Lock lock(registry.lock);
    if (!registry.defaultName.empty()) return registry.defaultName.c_str();
    // A name whose class an earlier load of this module left behind with a window alive is taken:
    // the next free one serves.
    for (int attempt = 0; attempt < 32; ++attempt) {
        char name[32] = "KitWindow";
        if (attempt) ::wsprintfA(name, "KitWindow.%d", attempt);
        std::string candidate(name);  // the only allocation, before anything is registered
        WNDCLASSEXA windowClass{};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpszClassName = candidate.c_str();
        if (RegisterWindowClass(windowClass)) {
            registry.defaultName.swap(candidate);
            return registry.defaultName.c_str();
        }
        if (::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) break;
    }
    return nullptr;
}

// The subclass is gone already: the window's last messages reach Window::OnMessage.
Window::~Window() {
    if (!m_hwnd) return;
    if (!::IsWindow(m_hwnd)) {
        m_hwnd = nullptr;
        return;
    }
    if (!m_unanswered && !PluginApp::ProcessExiting()) DestroyWindow();
    if (m_hwnd) CutLoose();
}

// Sets no style and sends no message: also safe at the end of the process.
void Window::CutLoose() {
    ::SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcA));
    ::SetWindowLongPtrA(m_hwnd, kBindingSlot, 0);
    m_hwnd = nullptr;
}

bool Window::Create(const char* className, const char* windowName, DWORD style, const RECT& rect, HWND parent,
                    UINT_PTR idOrMenu, DWORD exStyle) {
    if (m_hwnd) return false;
    const char* name = className ? className : DefaultClassName();
    if (!name) return false;
    // The handle is bound at WM_NCCREATE, long before CreateWindowEx returns.
    return ::CreateWindowExA(exStyle, name, windowName, style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu), ModuleInstance(),
                             this) != nullptr;
}

// ::DestroyWindow works only on the window's own thread; anywhere else it fails.
bool Window::DestroyWindow() {
    if (!m_hwnd) return false;
    if (PluginApp::ProcessExiting()) {  // the system's now, see PluginApp
        if (::IsWindow(m_hwnd)) CutLoose();
        m_hwnd = nullptr;
        return false;
    }
    if (::GetWindowThreadProcessId(m_hwnd, nullptr) == ::GetCurrentThreadId()) return ::DestroyWindow(m_hwnd) != FALSE;
    DWORD_PTR destroyed = 0;
    if (!::SendMessageTimeoutA(m_hwnd, DestroyMessage(), 0, 0, SMTO_ABORTIFHUNG, kDestroyWaitMs, &destroyed)) {
        m_unanswered = ::IsWindow(m_hwnd) != FALSE;  // the thread did not take it: not asked again
        return false;
    }
    return destroyed != 0;
}

LRESULT Window::Dispatch(Window* self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed) {
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return failed;
    }
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = BoundObject(hwnd);
    if (!self && message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self) {
            ::SetWindowLongPtrA(hwnd, kBindingSlot, reinterpret_cast<LONG_PTR>(self));
            self->Attach(hwnd);
        }
    }
    // Before WM_NCCREATE (WM_GETMINMAXINFO of a top-level window comes first) there is no object.
    if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == DestroyMessage() && message != 0) return ::DestroyWindow(hwnd) ? 1 : 0;
    const LRESULT failed = message == WM_NCCREATE ? FALSE : message == WM_CREATE ? -1 : 0;
    const LRESULT result = Dispatch(self, message, wParam, lParam, failed);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, kBindingSlot, 0);
        self->ForgetHandle();
    }
    return result;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(*reinterpret_cast<const CREATESTRUCTA*>(lParam)) ? 0 : -1;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
        break;
    case WM_TIMER:
        if (lParam) break;  // a timer with a callback: the default procedure calls it
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        if (OnPaint()) return 0;
        break;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(m_hwnd, message, wParam, lParam);
}

bool Window::OnCreate(const CREATESTRUCTA&) { return true; }
bool Window::OnCommand(int, int, HWND) { return false; }
void Window::OnTimer(UINT_PTR) {}
bool Window::OnPaint() { return false; }
void Window::OnDestroy() {}

}  // namespace kit
