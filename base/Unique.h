// Owners for Windows handles: one template over the close function, one alias per handle kind.
// A member's type tells whether it frees something; non-owning handles stay raw.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <utility>

#include "base/PluginApp.h"

namespace kit {

// Traits: `Handle` type, `Empty()` (the value that owns nothing) and `Close(Handle)`.
template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle handle) : m_handle(handle) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : m_handle(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::Empty(); }
    Handle release() { return std::exchange(m_handle, Traits::Empty()); }
    void reset(Handle handle = Traits::Empty()) {
        Handle old = std::exchange(m_handle, handle);
        if (old != Traits::Empty()) Traits::Close(old);
    }
    Handle* put() {  // for out-parameters of create calls
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Traits::Empty();
};

template <class H, auto CloseFn>
struct NullTraits {
    using Handle = H;
    static Handle Empty() { return nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};

template <auto CloseFn>
struct InvalidTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseFn(h); }
};

namespace detail {
inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void UnloadModule(HMODULE h) { ::FreeLibrary(h); }
// A window outlives its owner when the process ends: the system takes it then (see PluginApp).
inline void DestroyWindowHandle(HWND h) {
    if (!PluginApp::ProcessExiting()) ::DestroyWindow(h);
}
inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void DestroyMenuHandle(HMENU h) { ::DestroyMenu(h); }
inline void CloseFindHandle(HANDLE h) { ::FindClose(h); }
inline void UnmapView(void* view) { ::UnmapViewOfFile(view); }
}  // namespace detail

using UniqueHandle = Unique<NullTraits<HANDLE, detail::CloseKernelHandle>>;  // null when empty
using UniqueFile = Unique<InvalidTraits<detail::CloseKernelHandle>>;         // INVALID_HANDLE_VALUE when empty
using UniqueFind = Unique<InvalidTraits<detail::CloseFindHandle>>;
using UniqueModule = Unique<NullTraits<HMODULE, detail::UnloadModule>>;
using UniqueWindow = Unique<NullTraits<HWND, detail::DestroyWindowHandle>>;
using UniqueMenu = Unique<NullTraits<HMENU, detail::DestroyMenuHandle>>;
using UniqueIcon = Unique<NullTraits<HICON, detail::DestroyIconHandle>>;
using UniqueMappedView = Unique<NullTraits<void*, detail::UnmapView>>;  // a MapViewOfFile view
template <class Gdi>
using UniqueGdi = Unique<NullTraits<Gdi, detail::DeleteGdiObject>>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueRegion = UniqueGdi<HRGN>;
using UniquePen = UniqueGdi<HPEN>;

// Selects an object into a device context and puts the previous object back when the scope ends.
// SelectObject returns the previous object only for pens, brushes, fonts and bitmaps: for a
// region it returns the complexity of the new clip region (the region is copied, nothing is
// replaced), and on failure NULL or HGDI_ERROR. Only a real previous object is put back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc) {
        const bool region = ::GetObjectType(object) == OBJ_REGION;
        const HGDIOBJ previous = ::SelectObject(dc, object);
        if (!region && previous != nullptr && previous != HGDI_ERROR) m_old = previous;
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }

    // Whether a previous object was replaced and will be put back.
    explicit operator bool() const { return m_old != nullptr; }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

}  // namespace kit
#endif
