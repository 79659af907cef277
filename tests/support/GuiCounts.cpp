// The counters and pixels of GuiCounts.h.
#include "tests/support/GuiCounts.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <sstream>

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

template <class Fn>
Fn NtdllFunction(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

// The PEB through the process's basic information (not through the TEB, whose intrinsic reads
// memory that the compiler takes for an array of length 0).
const unsigned char* ProcessEnvironmentBlock() {
    using QueryProcess = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = NtdllFunction<QueryProcess>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(::GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return nullptr;
    return reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
}

const GdiHandleEntry* GdiHandleTable() {
    const unsigned char* peb = ProcessEnvironmentBlock();
    if (!peb) return nullptr;
    constexpr std::size_t kOffset = sizeof(void*) == 4 ? 0x94 : 0xF8;  // GdiSharedHandleTable
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + kOffset);
}

// The system's handle list (information class 16) as the system lays it out: a count, then one
// entry per handle of every process; the process id is kept in 16 bits.
struct SystemHandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectTypeIndex;
    UCHAR handleAttributes;
    USHORT handleValue;
    PVOID object;
    ULONG grantedAccess;
};
static_assert(sizeof(SystemHandleEntry) == (sizeof(void*) == 4 ? 16 : 24));
struct SystemHandleList {
    ULONG count;
    SystemHandleEntry entries[1];
};
constexpr int kSystemHandleInformation = 16;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

// This process's entries of the system's handle list, or -1 when it cannot be read.
int ListedHandleCount() {
    using QuerySystem = NTSTATUS(WINAPI*)(int, PVOID, ULONG, PULONG);
    static const auto query = NtdllFunction<QuerySystem>("NtQuerySystemInformation");
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; attempt < 12; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) return -1;
        const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
        const DWORD process = ::GetCurrentProcessId();
        if (process > 0xFFFF) return -1;  // the list's 16 bits cannot tell this process from others
        const auto self = static_cast<USHORT>(process);
        int own = 0;
        for (ULONG i = 0; i < list->count; ++i)
            if (list->entries[i].processId == self) ++own;
        return own;
    }
    return -1;
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

// The message-only windows of `thread` with their descendants: EnumThreadWindows does not list
// them (they are children of the message window, not of the desktop); FindWindowEx under
// HWND_MESSAGE does.
int MessageOnlyWindowCount(DWORD thread) {
    int count = 0;
    for (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (::GetWindowThreadProcessId(window, nullptr) == thread) CountTopLevel(window, reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

}  // namespace

int KernelHandleCount() {
    const int listed = ListedHandleCount();
    if (listed > 0) return listed;
    DWORD counted = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &counted) && counted > 0) return static_cast<int>(counted);
    return -1;
}

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
    return count + MessageOnlyWindowCount(thread);
}

int UserObjectCount(DWORD thread) {
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<int>(counted);
    return ThreadWindowCount(thread);
}

std::vector<int> ObjectCounts() { return {KernelHandleCount(), GdiObjectCount(), UserObjectCount()}; }

std::string CountsText(const std::vector<int>& counts) {
    std::ostringstream text;
    const char* names[] = {"kernel handles", "GDI objects", "USER objects"};
    for (std::size_t i = 0; i < counts.size() && i < 3; ++i) text << (i ? ", " : "") << counts[i] << " " << names[i];
    return text.str();
}

std::string ProveCounters(int count) {
    std::ostringstream failures;
    auto prove = [&](const char* what, int before, int made, int after) {
        // At least that many up and down again: a thread of the process may make or close one
        // of its own meanwhile, and the first window of a thread brings the system's own.
        if (before < 0 || made < before + count || after > made - count)
            failures << what << ": " << before << " before, " << made << " with " << count << " made, " << after
                     << " after they went; ";
    };
    {
        const int before = KernelHandleCount();
        std::vector<kit::UniqueHandle> events;
        for (int i = 0; i < count; ++i) events.emplace_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        const int made = KernelHandleCount();
        events.clear();
        prove("kernel handles", before, made, KernelHandleCount());
    }
    {
        // Bitmaps: Windows keeps deleted solid brushes, pens and regions in a cache of the
        // process, so that their count need not fall; bitmaps are not cached.
        const int before = GdiObjectCount();
        std::vector<kit::UniqueBitmap> bitmaps;
        for (int i = 0; i < count; ++i) bitmaps.emplace_back(::CreateBitmap(1, 1, 1, 1, nullptr));
        const int made = GdiObjectCount();
        bitmaps.clear();
        prove("GDI objects", before, made, GdiObjectCount());
    }
    {
        // A top-level window, a message-only one and children of both: every kind the count
        // walks. Children go first.
        const int before = UserObjectCount();
        std::vector<kit::UniqueWindow> windows;
        auto make = [&](DWORD style, HWND parent) {
            windows.emplace_back(::CreateWindowExA(0, "STATIC", "", style, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr));
            return windows.back().get();
        };
        HWND parents[2] = {};
        for (int i = 0; i < count; ++i) {
            if (i == 0)
                parents[0] = make(WS_POPUP, nullptr);
            else if (i == 1)
                parents[1] = make(0, HWND_MESSAGE);
            else
                make(WS_CHILD, parents[i % 2]);
        }
        const int made = UserObjectCount();
        while (!windows.empty()) windows.pop_back();
        prove("USER objects", before, made, UserObjectCount());
    }
    return failures.str();
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
