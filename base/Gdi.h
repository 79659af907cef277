// GDI owners beyond the object owners of Unique.h: memory device contexts, the paint context of
// WM_PAINT and a window's context, each released by the call that matches how it was got; and
// the window region cut out of a skin bitmap.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "base/Unique.h"

namespace kit {

namespace detail {
inline void DeleteMemoryDc(HDC dc) { ::DeleteDC(dc); }
}  // namespace detail

using UniqueMemoryDC = Unique<NullTraits<HDC, detail::DeleteMemoryDc>>;  // CreateCompatibleDC

// BeginPaint ... EndPaint.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::BeginPaint(hwnd, &m_paint)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { ::EndPaint(m_hwnd, &m_paint); }
    HDC get() const { return m_dc; }
    const PAINTSTRUCT& paint() const { return m_paint; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// GetDC ... ReleaseDC (a null window: the screen).
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (m_dc) ::ReleaseDC(m_hwnd, m_dc);
    }
    HDC get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// The union of one rectangle per run of pixels whose colour differs from `key`, row by row, read
// with GetPixel from `dc` (a memory context holding the bitmap) and compared as exact COLORREFs.
// A bitmap without a key pixel gives the full width x height rectangle; an all-key one an empty
// region. Null only when a region cannot be made.
UniqueRegion RegionFromBitmap(HDC dc, int width, int height, COLORREF key);

// A bitmap resource of `module` as a device-dependent bitmap; its size comes back in `size`.
UniqueBitmap LoadBitmapResource(HINSTANCE module, int id, SIZE* size);

}  // namespace kit
#endif
