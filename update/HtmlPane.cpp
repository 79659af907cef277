// The HTML pane: every message goes to the HTML engine first; what it leaves goes on to our
// dispatcher and the default procedure.
#include "update/HtmlPane.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

constexpr UINT kNarrowCodePage = 1251;  // every narrow text of the plug-in

// Holds one element reference; a handle whose use fails counts as none.
class ElementReference {
public:
    explicit ElementReference(HELEMENT element)
        : m_element(element && HTMLayout_UseElement(element) == HTML_DOM_OK ? element : nullptr) {}
    ElementReference(const ElementReference&) = delete;
    ElementReference& operator=(const ElementReference&) = delete;
    ~ElementReference() {
        if (m_element) HTMLayout_UnuseElement(m_element);
    }
    HELEMENT get() const { return m_element; }

private:
    HELEMENT m_element;
};

BOOL CALLBACK KeepFirst(HELEMENT element, void* finder) {
    *static_cast<HELEMENT*>(finder) = element;
    return TRUE;  // the first match ends the enumeration
}

std::string ToNarrow(const WCHAR* text) {
    if (!text || !*text) return {};
    int length = ::WideCharToMultiByte(kNarrowCodePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return {};
    std::string out(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(kNarrowCodePage, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

}  // namespace

bool CHtmlPane::PreCreateWindow() {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXA windowClass{};
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kClassName;
    registered = RegisterWindowClass(windowClass);
    return registered;
}

bool CHtmlPane::Create(const RECT& rect, HWND parent, DWORD style, UINT id) {
    if (!PreCreateWindow()) return false;
    return kit::Window::Create(kClassName, nullptr, style & ~WS_BORDER, rect, parent, id);
}

LRESULT CHtmlPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    BOOL handled = FALSE;
    LRESULT result = HTMLayoutProcND(handle(), message, wParam, lParam, &handled);
    if (handled) return result;
    return kit::Window::OnMessage(message, wParam, lParam);
}

bool CHtmlPane::OnCreate(const CREATESTRUCTA&) {
    HTMLayoutSetCallback(handle(), &CHtmlPane::OnNotify, this);
    LoadDefaultPage();
    return true;
}

LRESULT CALLBACK CHtmlPane::OnNotify(UINT, WPARAM, LPARAM lParam, void*) {
    // The pane offers no behaviours: an attach request (0xB07) finds nothing to attach, and the
    // record stays as the engine filled it.
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->code == HTML_NOTIFY_ATTACH_BEHAVIOR) {
        const auto* attach = reinterpret_cast<const HtmlAttachBehavior*>(lParam);
        (void)attach->behaviorName;  // looked up in an empty list of behaviours
    }
    return 0;
}

void CHtmlPane::LoadDefaultPage() {
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (LoadHtmlResource(kDefaultPage, &data, &size)) HTMLayoutLoadHtml(handle(), data, size);
}

bool CHtmlPane::LoadHtmlResource(const char* name, const BYTE** data, DWORD* size) {
    HMODULE module = ModuleInstance();
    HRSRC found = ::FindResourceA(module, name, MAKEINTRESOURCEA(23));  // RT_HTML
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    if (!loaded) return false;
    const void* locked = ::LockResource(loaded);
    DWORD bytes = ::SizeofResource(module, found);
    if (!locked || bytes == 0) return false;
    *data = static_cast<const BYTE*>(locked);  // belongs to the module, never freed
    *size = bytes;
    return true;
}

HELEMENT CHtmlPane::FindFirst(HELEMENT root, const char* format, ...) {
    char selector[2048];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(selector, sizeof selector, format, arguments);
    va_end(arguments);
    HELEMENT found = nullptr;
    HTMLayoutSelectElements(root, selector, &KeepFirst, &found);
    return found;
}

bool CHtmlPane::CheckPage() {
    HELEMENT rootHandle = nullptr;
    HTMLayoutGetRootElement(handle(), &rootHandle);
    ElementReference root(rootHandle);
    ElementReference body(root.get() ? FindFirst(root.get(), "body") : nullptr);
    WCHAR* wide = nullptr;
    if (body.get()) HTMLayoutGetElementInnerText16(body.get(), &wide);
    const std::string text = ToNarrow(wide);  // read at once: the engine owns it
    if (text.find("404") != std::string::npos || text.find("Not Found") != std::string::npos) LoadDefaultPage();
    ::ShowWindow(handle(), SW_SHOW);
    return true;
}
