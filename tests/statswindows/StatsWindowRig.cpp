#include "tests/statswindows/StatsWindowRig.h"

#include <algorithm>
#include <stdexcept>

#include "testing/host/UiDriver.h"
#include "tests/support/TestPaths.h"

namespace statstest {

std::string TolvanekDll() { return testsupport::BuildFile("plugins/tolvanek.dll"); }

namespace {

std::string FreshFolder() {
    char temp[MAX_PATH] = {}, name[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    ::GetTempFileNameA(temp, "swt", 0, name);
    ::DeleteFileA(name);
    ::CreateDirectoryA(name, nullptr);
    return name;
}

}  // namespace

WindowRig::WindowRig(const std::string& dll, const std::string& hostFolder) : plugin(dll) {
    if (!hostFolder.empty()) {
        for (std::size_t at = hostFolder.find('\\', 3); at != std::string::npos; at = hostFolder.find('\\', at + 1))
            ::CreateDirectoryA(hostFolder.substr(0, at).c_str(), nullptr);
        ::CreateDirectoryA(hostFolder.c_str(), nullptr);
    }
    host.SetHostFolder(hostFolder.empty() ? FreshFolder() : hostFolder);
    styleMenu = plugin.Resolve<host::exports::GetWndStatsStyleMenu*>("GetWndStatsStyleMenu");
    showData = plugin.Resolve<host::exports::ShowStatsData*>("ShowStatsData");
    showTray = plugin.Resolve<host::exports::ShowStatsDataTray*>("ShowStatsDataTray");
}

WindowRig::~WindowRig() {
    try {
        Unload();
    } catch (...) {
    }
}

void WindowRig::Unload() {
    if (!m_loaded) return;
    m_loaded = false;
    host.RunOnUiThread([this] { plugin.Unload(); });
}

std::vector<HWND> WindowRig::Dialogs() const {
    return hoststub::ThreadDialogs(host.uiThreadId());
}

int WindowRig::Show(int styleId, int hideDelaySeconds) { return Show(styleId, hideDelaySeconds, host.window()); }

int WindowRig::Show(int styleId, int hideDelaySeconds, HWND hostWindow) {
    const int result = host.ShowStats(showData, styleId, hideDelaySeconds, hostWindow);
    Discover(styleId);
    return result;
}

int WindowRig::ShowTray(int styleId) {
    const int result = host.ShowStats(showTray, styleId, 60);
    Discover(styleId);
    return result;
}

void WindowRig::Discover(int styleId) {
    for (HWND dialog : Dialogs()) {
        if (std::find(m_seen.begin(), m_seen.end(), dialog) != m_seen.end()) continue;
        m_seen.push_back(dialog);
        m_styles[styleId & 7] = dialog;
    }
}

std::string WindowRig::IniFile(const std::string& relative) const { return host.HostFolder() + "\\" + relative; }

COLORREF WindowRig::ClientPixel(HWND window, int x, int y) {
    COLORREF pixel = CLR_INVALID;
    host.RunOnUiThread([&] {
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC dc = ::GetDC(window);
        // Through a DIB: a plain GetPixel on a window DC reads what the driver has, not the surface.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 1;
        info.bmiHeader.biHeight = 1;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(memory, dib);
        ::BitBlt(memory, 0, 0, 1, 1, dc, x, y, SRCCOPY);
        ::GdiFlush();
        const DWORD value = *static_cast<const DWORD*>(bits);
        pixel = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
        ::DeleteObject(dib);
        ::ReleaseDC(window, dc);
    });
    return pixel;
}

std::string WindowRig::Text(HWND window, int id) const {
    char text[512] = {};
    ::GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

std::string CallText(UINT message, const std::string& key) {
    switch (message) {
    case host::WM_HOST_GET_VALUE: return "value:" + key;
    case host::WM_HOST_GET_FLAG: return "flag:" + key;
    case host::WM_HOST_TRAY_TEXT: return "tray";
    case host::WM_HOST_READ_INI_STRING: return "readini:" + key;
    case host::WM_HOST_WRITE_INI_STRING: return "writeini:" + key;
    case host::WM_HOST_READ_INI_INT: return "readint:" + key;
    case host::WM_HOST_WRITE_INI_INT: return "writeint:" + key;
    default: return "other:" + key;
    }
}

std::vector<std::string> WindowRig::TakeCalls() {
    std::vector<std::string> calls;
    for (const auto& call : host.windowCalls()) calls.push_back(CallText(call.message, call.key));
    host.ClearRecords();
    return calls;
}

int CornerCut(int y, int height) {
    const int fromEdge = y < height / 2 ? y : height - 1 - y;
    static const int cuts[] = {4, 2, 1, 1};
    return fromEdge < 4 ? cuts[fromEdge] : 0;
}

WindowRig::LabelPaint WindowRig::PaintOf(HWND window, int id) {
    LabelPaint paint{};
    host.RunOnUiThread([&] {
        HDC dc = ::CreateCompatibleDC(nullptr);
        ::SetTextColor(dc, kUnsetColour);
        ::SetBkColor(dc, kUnsetColour);
        ::SetBkMode(dc, OPAQUE);
        paint.brush = reinterpret_cast<HBRUSH>(::SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(::GetDlgItem(window, id))));
        paint.text = ::GetTextColor(dc);
        paint.back = ::GetBkColor(dc);
        paint.mode = ::GetBkMode(dc);
        ::DeleteDC(dc);
    });
    return paint;
}

}  // namespace statstest
