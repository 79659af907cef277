#include "tests/support/GuiCounts.h"

#include <winternl.h>

#include <cstdint>

#include "base/Gdi.h"
#include "base/Unique.h"

namespace guitest {

namespace {

// One entry of the GDI handle table as Wine lays it out (the same in both widths).
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;  // 0: a free entry
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

constexpr int kGdiHandleCount = 0x10000;

const GdiHandleEntry* GdiHandleTable() {
    const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    constexpr std::size_t kOffset = sizeof(void*) == 4 ? 0x94 : 0xF8;  // GdiSharedHandleTable
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + kOffset);
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    ::EnumChildWindows(hwnd, &CountChild, count);
    return TRUE;
}

}  // namespace

int GdiObjectCount() {
    ::GdiFlush();
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(counted);
    const GdiHandleEntry* table = GdiHandleTable();
    if (!table) return -1;
    int used = 0;
    for (int i = 0; i < kGdiHandleCount; ++i)
        if (table[i].type) ++used;
    return used;
}

int ThreadWindowCount(DWORD thread) {
    int count = 0;
    ::EnumThreadWindows(thread, &CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

int UserObjectCount(DWORD thread) {
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<int>(counted);
    return ThreadWindowCount(thread);
}

void Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    }
}

ClientPixels::ClientPixels(HWND hwnd) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    m_width = client.right;
    m_height = client.bottom;
    if (m_width <= 0 || m_height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    kit::WindowDC source(hwnd);
    kit::UniqueBitmap section(::CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    kit::UniqueMemoryDC memory(::CreateCompatibleDC(source.get()));
    if (!section || !memory || !bits) return;
    {
        kit::SelectGuard select(memory.get(), section.get());
        ::BitBlt(memory.get(), 0, 0, m_width, m_height, source.get(), 0, 0, SRCCOPY);
        ::GdiFlush();
    }
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    m_pixels.resize(static_cast<std::size_t>(m_width) * m_height);
    for (std::size_t i = 0; i < m_pixels.size(); ++i) {
        const std::uint32_t p = pixels[i];  // 0x00RRGGBB in a DIB
        m_pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
}

COLORREF ClientPixels::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || m_pixels.empty()) return 0xFFFFFFFF;
    return m_pixels[static_cast<std::size_t>(y) * m_width + x];
}

}  // namespace guitest
