// PNG pictures for the demo programs, and the debug statistics they show.
#include "testing/host/DemoPictures.h"

#include <algorithm>
#include <cstdio>

#include "base/Gdi.h"
#include "base/Unique.h"
#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"

namespace hoststub {
namespace {

void PutBig(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBig(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBig(png, Crc32(body));
}

// A zlib stream of stored blocks, at most 65535 bytes each, with its Adler-32.
std::string StoredZlib(const std::string& raw) {
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
        out += static_cast<char>(at + n == raw.size() ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(raw, at, n);
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig(out, (b << 16) | a);
    return out;
}

// The pixels of `source` in `area` (of `dc`'s coordinates), as top-down 32-bit rows.
std::vector<std::uint32_t> ReadPixels(HDC source, int left, int top, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    kit::UniqueBitmap dib(::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    kit::UniqueMemoryDC memory(::CreateCompatibleDC(source));
    std::vector<std::uint32_t> pixels;
    if (!dib || !memory || !bits) return pixels;
    {
        kit::SelectGuard select(memory.get(), dib.get());
        ::BitBlt(memory.get(), 0, 0, width, height, source, left, top, SRCCOPY);
        ::GdiFlush();
    }
    const auto* from = static_cast<const std::uint32_t*>(bits);
    pixels.assign(from, from + static_cast<std::size_t>(width) * height);
    for (auto& p : pixels) p |= 0xFF000000u;
    return pixels;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& argb) {
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 4 * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
            raw += static_cast<char>((p >> 16) & 0xFF);
            raw += static_cast<char>((p >> 8) & 0xFF);
            raw += static_cast<char>(p & 0xFF);
            raw += static_cast<char>((p >> 24) & 0xFF);
        }
    }
    std::string header;
    PutBig(header, static_cast<std::uint32_t>(width));
    PutBig(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits a sample, RGBA
    std::string png("\x89PNG\r\n\x1A\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", "");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

bool SaveWindowPicture(HWND window, const std::string& path) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC dc = ::GetWindowDC(window);  // the whole window, frame included; released right below
    if (!dc) return false;
    std::vector<std::uint32_t> pixels = ReadPixels(dc, 0, 0, width, height);
    ::ReleaseDC(window, dc);
    if (pixels.empty()) return false;
    kit::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
    if (region && ::GetWindowRgn(window, region.get()) != ERROR) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (!::PtInRegion(region.get(), x, y)) pixels[static_cast<std::size_t>(y) * width + x] = 0;
    }
    return WritePng(path, width, height, pixels);
}

bool SaveScreenPicture(const RECT& area, const std::string& path) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    kit::WindowDC screen(nullptr);
    const std::vector<std::uint32_t> pixels = ReadPixels(screen.get(), area.left, area.top, width, height);
    return !pixels.empty() && WritePng(path, width, height, pixels);
}

RECT AroundOnScreen(const RECT& rect, int border) {
    const LONG screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    return RECT{std::max<LONG>(0, rect.left - border), std::max<LONG>(0, rect.top - border),
                std::min<LONG>(screenWidth, rect.right + border), std::min<LONG>(screenHeight, rect.bottom + border)};
}

int LoadDebugStatistics(StandInHost& host, const std::string& ravo) {
    PluginModule provider(ravo);
    auto getOneStats = provider.Resolve<host::exports::GetOneStats*>("GetOneStats");
    HostString empty;
    host::StatsRequest request{};
    request.hostWindow = host.window();
    request.contractCode = request.password = request.serverBaseUrl = empty.object();
    request.spareText = request.proxyName = request.proxyPassword = empty.object();
    request.directConnection = 1;
    request.serverIndex = 3;  // the debug item: the fixed statistics, without the network
    int result = 0;
    host.RunOnUiThread([&] { getOneStats(&request, &result); });
    return result;
}

}  // namespace hoststub
