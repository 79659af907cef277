// The records of the statistics-window plug-ins at the host boundary: the style menu row, the
// show request, and the two ini requests that travel with the host's ini messages. Plain layouts
// of 32-bit fields in the shipped build; the checks pin sizes and offsets.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/String.h"
#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"

namespace host {

struct StyleMenuItem {
    std::int32_t styleId;     // 1-based, in menu order
    const char* caption;
    const char* description;  // may hold line feeds
    const char* previewPath;  // relative to the host's plug-in folder; only the host opens it
};

struct ShowStatsRequest {
    WindowHandle hostWindow;
    std::int32_t hideDelaySeconds;
    std::int32_t styleId;
};

// wParam of WM_HOST_READ_INI_STRING / WM_HOST_WRITE_INI_STRING; each field holds its own
// reference to the sender's text for the length of one send.
struct HostIniRequest {
    kit::String iniFile;  // relative to the host program, e.g. "plugins\tolvanek\tolvanek.ini"
    kit::String section;
    kit::String key;
    kit::String value;  // read: the default; write: the text to store
};

// wParam of WM_HOST_READ_INI_INT / WM_HOST_WRITE_INI_INT.
struct HostIniIntRequest {
    kit::String iniFile;
    kit::String section;
    kit::String key;
    std::int32_t value;  // read: the default; write: the value to store
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(StyleMenuItem) == 16);
static_assert(offsetof(StyleMenuItem, styleId) == 0 && offsetof(StyleMenuItem, caption) == 4 &&
              offsetof(StyleMenuItem, description) == 8 && offsetof(StyleMenuItem, previewPath) == 12);
static_assert(sizeof(ShowStatsRequest) == 12);
static_assert(offsetof(ShowStatsRequest, hostWindow) == 0 && offsetof(ShowStatsRequest, hideDelaySeconds) == 4 &&
              offsetof(ShowStatsRequest, styleId) == 8);
static_assert(sizeof(HostIniRequest) == 16);
static_assert(offsetof(HostIniRequest, iniFile) == 0 && offsetof(HostIniRequest, section) == 4 &&
              offsetof(HostIniRequest, key) == 8 && offsetof(HostIniRequest, value) == 12);
static_assert(sizeof(HostIniIntRequest) == 16);
static_assert(offsetof(HostIniIntRequest, iniFile) == 0 && offsetof(HostIniIntRequest, section) == 4 &&
              offsetof(HostIniIntRequest, key) == 8 && offsetof(HostIniIntRequest, value) == 12);
#elif defined(_WIN64)
// The 64-bit twin build (tests only): the natural layout of the same records.
static_assert(sizeof(StyleMenuItem) == 32 && offsetof(StyleMenuItem, caption) == 8);
static_assert(sizeof(ShowStatsRequest) == 16 && offsetof(ShowStatsRequest, hideDelaySeconds) == 8);
static_assert(sizeof(HostIniRequest) == 32 && offsetof(HostIniRequest, value) == 24);
static_assert(sizeof(HostIniIntRequest) == 32 && offsetof(HostIniIntRequest, value) == 24);
#endif
#pragma GCC diagnostic pop

#ifdef _WIN32
// The statistics-window exports besides GetPluginInfo, called as the host calls them (cdecl).
namespace exports {
using GetWndStatsStyleMenu = void __cdecl(StyleMenuItem* item, int* cursor);
using ShowStatsData = void __cdecl(ShowStatsRequest* request, int* result);
using ShowStatsDataTray = void __cdecl(ShowStatsRequest* request, int* result);
}  // namespace exports
#endif

}  // namespace host
