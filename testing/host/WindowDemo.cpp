// The statistics windows as a user sees them: the stand-in host takes the debug statistics list
// from ravo.dll, then shows every style of each statistics-window plug-in with it and saves a
// PNG screenshot of each window (outside the window's region transparent), and prints the tray
// summary it received.
//   windowdemo <ravo.dll> <folder for the PNG files> <plug-in.dll>...
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"

namespace {

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

// PNG with stored (uncompressed) deflate blocks: enough for screenshots, no library needed.
class PngWriter {
public:
    static bool Write(const std::string& path, int width, int height, const std::vector<std::uint32_t>& argb) {
        std::string raw;
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
        std::string png("\x89PNG\r\n\x1A\n", 8);
        std::string header;
        Big(header, width);
        Big(header, height);
        header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA
        Chunk(png, "IHDR", header);
        Chunk(png, "IDAT", Zlib(raw));
        Chunk(png, "IEND", "");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
        const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
        return std::fclose(file) == 0 && written;
    }

private:
    static void Big(std::string& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
    }
    static std::uint32_t Crc(const std::string& data) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return crc ^ 0xFFFFFFFFu;
    }
    static void Chunk(std::string& png, const char* type, const std::string& data) {
        Big(png, static_cast<std::uint32_t>(data.size()));
        const std::string body = std::string(type, 4) + data;
        png += body;
        Big(png, Crc(body));
    }
    static std::string Zlib(const std::string& raw) {
        std::string out("\x78\x01", 2);
        std::size_t at = 0;
        do {
            const std::size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
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
        Big(out, (b << 16) | a);
        return out;
    }
};

// The window as it is on the screen, read from its own surface after a full repaint.
bool Screenshot(HWND window, const std::string& path) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = ::GetWindowDC(window);
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, dib);
    ::BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::GdiFlush();
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const bool shaped = ::GetWindowRgn(window, region) != ERROR;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const auto* source = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const bool inside = !shaped || ::PtInRegion(region, x, y);
            pixels[i] = inside ? (source[i] | 0xFF000000u) : 0u;
        }
    ::DeleteObject(region);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(dib);
    ::ReleaseDC(window, dc);
    return PngWriter::Write(path, width, height, pixels);
}

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM found) {
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    if (std::string(name) == "#32770") reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Dialogs(DWORD thread) {
    std::vector<HWND> found;
    ::EnumThreadWindows(thread, &CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    return name.substr(0, name.find_last_of('.'));
}

void LoadDebugStatistics(hoststub::StandInHost& host, const std::string& ravo) {
    hoststub::PluginModule provider(ravo);
    auto getOneStats = provider.Resolve<host::exports::GetOneStats*>("GetOneStats");
    hoststub::HostString empty;
    host::StatsRequest request{};
    request.hostWindow = host.window();
    request.contractCode = request.password = request.serverBaseUrl = empty.object();
    request.spareText = request.proxyName = request.proxyPassword = empty.object();
    request.directConnection = 1;
    request.serverIndex = 3;  // the debug item: the fixed statistics, without the network
    int result = 0;
    host.RunOnUiThread([&] { getOneStats(&request, &result); });
    Print("ravo.dll debug statistics: result " + std::to_string(result) + "\n");
}

// One screenshot per style; `suffix` names the host's option set.
void ShootStyles(hoststub::StandInHost& host, const std::string& dll, const std::string& folder,
                 const std::string& suffix) {
    hoststub::PluginModule plugin(dll);
    auto menu = plugin.Resolve<host::exports::GetWndStatsStyleMenu*>("GetWndStatsStyleMenu");
    auto show = plugin.Resolve<host::exports::ShowStatsData*>("ShowStatsData");
    std::vector<HWND> seen = Dialogs(host.uiThreadId());
    for (const auto& style : hoststub::WalkMenu<host::StyleMenuItem>(menu)) {
        host.ClearRecords();
        host.ShowStats(show, style.styleId, 600);
        HWND window = nullptr;
        for (HWND dialog : Dialogs(host.uiThreadId()))
            if (std::find(seen.begin(), seen.end(), dialog) == seen.end()) window = dialog;
        if (!window) {
            Print("  style " + std::to_string(style.styleId) + ": no window\n");
            continue;
        }
        seen.push_back(window);
        const std::string png =
            folder + "\\" + BaseName(dll) + "-" + std::to_string(style.styleId) + suffix + ".png";
        bool saved = false;
        host.RunOnUiThread([&] { saved = Screenshot(window, png); });
        Print("  style " + std::to_string(style.styleId) + " \"" + hoststub::ToUtf8(style.caption) + "\": " +
              (saved ? png : "screenshot failed") + "\n");
        for (const std::string& tray : host.trayTexts()) {
            std::string shown = hoststub::ToUtf8(tray);
            for (std::size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 5) shown.replace(at, 1, "\n    ");
            Print("    tray text:\n    " + shown + "\n");
        }
    }
    host.RunOnUiThread([&] { plugin.Unload(); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: windowdemo <ravo.dll> <folder for PNG files> <plug-in.dll>...\n");
        return 2;
    }
    try {
        hoststub::StandInHost host;
        LoadDebugStatistics(host, argv[1]);
        const std::string folder = hoststub::WindowsPath(argv[2]);
        for (int i = 3; i < argc; ++i) {
            Print(BaseName(argv[i]) + ".dll, month view:\n");
            ShootStyles(host, argv[i], folder, "");
            // The day view with every alert option on and the user's limits.
            host.SetOption("dblclk", true);
            for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
                host.SetOption(option, true);
            host.SetUserLimit("sattraficlimituser", "500");
            host.SetUserLimit("ukrtraficlimituser", "1000");
            host.SetUserLimit("alltraficlimituser", "1500");
            host.SetUserLimit("saldolimituser", "10");
            Print(BaseName(argv[i]) + ".dll, day view with the alerts on:\n");
            ShootStyles(host, argv[i], folder, "-day-alerts");
            host.SetOption("dblclk", false);
            for (const char* option : {"sattitlealert", "ukrtitlealert", "alltitlealert", "saldotitlealert"})
                host.SetOption(option, false);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "windowdemo: %s\n", failure.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
