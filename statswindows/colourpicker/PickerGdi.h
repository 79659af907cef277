// The palette owner and palette selection the colour picker paints with (the device contexts
// are base/Gdi.h's).
#pragma once
#include <windows.h>

#include "base/Unique.h"

namespace picker {

namespace detail {
inline void DeletePalette(HPALETTE palette) { ::DeleteObject(palette); }
}  // namespace detail

using UniquePalette = kit::Unique<kit::NullTraits<HPALETTE, detail::DeletePalette>>;

// Selects and realises a palette on a palette device; the previous palette goes back at the end.
class PaletteGuard {
public:
    PaletteGuard(HDC dc, HPALETTE palette) : m_dc(dc) {
        if (palette && (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE)) {
            m_old = ::SelectPalette(dc, palette, FALSE);
            ::RealizePalette(dc);
        }
    }
    PaletteGuard(const PaletteGuard&) = delete;
    PaletteGuard& operator=(const PaletteGuard&) = delete;
    ~PaletteGuard() {
        if (m_old) ::SelectPalette(m_dc, m_old, FALSE);
    }

private:
    HDC m_dc;
    HPALETTE m_old = nullptr;
};

}  // namespace picker
