// What crosses the boundary between the host program and our plug-ins: the records that exports
// fill or read, the host messages, and the key/value list of the statistics. Every record is a
// plain layout of 32-bit fields; the checks below pin each size and offset (and, in the
// 64-bit twin build that exists only for testing, the natural 64-bit layout of the same records).
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/String.h"
#include "base/StringArray.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace host {

#ifdef _WIN32
using WindowHandle = HWND;
#else
using WindowHandle = void*;
#endif

enum PluginKind : std::int32_t {
    PluginKindProvider = 1,
    PluginKindAction = 3,
    PluginKindStatsWindow = 4,
};

struct PluginInfo {
    std::int32_t kind;
    const char* name;
    const char* version;
    const char* author;
    const char* providerTitle;
    const char* providerId;
};

struct ServerMenuItem {
    std::int32_t id;
    const char* text;
};

struct StatsRequest {
    WindowHandle hostWindow;
    kit::String* contractCode;
    kit::String* password;
    kit::String* serverBaseUrl;
    std::uint8_t useProxy;
    std::uint8_t directConnection;
    std::uint8_t padding[2];
    kit::String* spareText;
    kit::String* proxyName;
    kit::String* proxyPassword;
    std::uint32_t spareValue;
    std::int32_t serverIndex;
};

enum StatsResult : std::int32_t {
    StatsNotRecognised = 0,
    StatsDelivered = 1,
    StatsServiceErrorPage = 5,
    StatsHttpFailure = 6,
    StatsInvalidCertificateAuthority = 8,
    StatsNoConnection = 9,
    StatsLoginRefused = 10,
};

// The action plug-in: the actions it offers, the limits the host reports, its menu rows, and the
// record of one call on a reached limit.
enum ActionId : std::int32_t {
    ActionWorldOff = 1,
    ActionSegmentOn = 2,
    ActionWorldOffAndSegmentOn = 3,
};

enum LimitKind : std::int32_t {
    LimitForeignTraffic = 1,
    LimitUkrainianTraffic = 2,
    LimitTotalTraffic = 3,
    LimitBalance = 4,
};

struct ActionMenuItem {
    std::int32_t actionId;
    const char* caption;
};

struct ExternalCall {
    WindowHandle hostWindow;  // log target; only the first call's is used
    std::int32_t limitKind;
    std::int32_t actionId;
    kit::String* text;  // the host's string, given with the limit
};

// Two parallel arrays of equal length: keys[i] belongs to values[i].
struct StatsValueList {
    kit::StringArray keys;
    kit::StringArray values;
};

// Host messages: WM_APP plus a small number, always sent synchronously to the host window.
enum HostMessage : std::uint32_t {
    WM_HOST_LOG_LINE = 0x8002,          // wParam: kit::String* line
    WM_HOST_STATS_LIST = 0x8003,        // wParam: StatsValueList*
    WM_HOST_USER_ERROR = 0x8005,        // wParam: kit::String* text for the user
    WM_HOST_TRAY_TEXT = 0x8007,         // wParam: kit::String* tray summary
    WM_HOST_GET_VALUE = 0x8008,         // wParam: kit::String* key, lParam: kit::String* out
    WM_HOST_GET_FLAG = 0x8009,          // wParam: kit::String* option, lParam: byte out
    WM_HOST_READ_INI_STRING = 0x8019,   // wParam: HostIniRequest*, lParam: kit::String* out
    WM_HOST_WRITE_INI_STRING = 0x801A,  // wParam: HostIniRequest*
    WM_HOST_READ_INI_INT = 0x801B,      // wParam: HostIniIntRequest*, lParam: int* out
    WM_HOST_WRITE_INI_INT = 0x801C,     // wParam: HostIniIntRequest*
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PluginInfo) == 24);
static_assert(offsetof(PluginInfo, kind) == 0 && offsetof(PluginInfo, name) == 4 &&
              offsetof(PluginInfo, version) == 8 && offsetof(PluginInfo, author) == 12 &&
              offsetof(PluginInfo, providerTitle) == 16 && offsetof(PluginInfo, providerId) == 20);
static_assert(sizeof(ServerMenuItem) == 8);
static_assert(offsetof(ServerMenuItem, id) == 0 && offsetof(ServerMenuItem, text) == 4);
static_assert(sizeof(StatsRequest) == 40);
static_assert(offsetof(StatsRequest, hostWindow) == 0 && offsetof(StatsRequest, contractCode) == 4 &&
              offsetof(StatsRequest, password) == 8 && offsetof(StatsRequest, serverBaseUrl) == 12 &&
              offsetof(StatsRequest, useProxy) == 16 && offsetof(StatsRequest, directConnection) == 17 &&
              offsetof(StatsRequest, spareText) == 20 && offsetof(StatsRequest, proxyName) == 24 &&
              offsetof(StatsRequest, proxyPassword) == 28 && offsetof(StatsRequest, spareValue) == 32 &&
              offsetof(StatsRequest, serverIndex) == 36);
static_assert(sizeof(ActionMenuItem) == 8);
static_assert(offsetof(ActionMenuItem, actionId) == 0 && offsetof(ActionMenuItem, caption) == 4);
static_assert(sizeof(ExternalCall) == 16);
static_assert(offsetof(ExternalCall, hostWindow) == 0 && offsetof(ExternalCall, limitKind) == 4 &&
              offsetof(ExternalCall, actionId) == 8 && offsetof(ExternalCall, text) == 12);
static_assert(sizeof(StatsValueList) == 40);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(StatsValueList, keys) == 0 && offsetof(StatsValueList, values) == 20);
#pragma GCC diagnostic pop
#elif defined(_WIN64)
// The 64-bit twin build (tests only): the natural layout that a 64-bit host built with the same
// class library would see, pointer-sized fields aligned to eight bytes.
static_assert(sizeof(PluginInfo) == 48);
static_assert(offsetof(PluginInfo, kind) == 0 && offsetof(PluginInfo, name) == 8 &&
              offsetof(PluginInfo, version) == 16 && offsetof(PluginInfo, author) == 24 &&
              offsetof(PluginInfo, providerTitle) == 32 && offsetof(PluginInfo, providerId) == 40);
static_assert(sizeof(ServerMenuItem) == 16);
static_assert(offsetof(ServerMenuItem, id) == 0 && offsetof(ServerMenuItem, text) == 8);
static_assert(sizeof(StatsRequest) == 72);
static_assert(offsetof(StatsRequest, hostWindow) == 0 && offsetof(StatsRequest, contractCode) == 8 &&
              offsetof(StatsRequest, password) == 16 && offsetof(StatsRequest, serverBaseUrl) == 24 &&
              offsetof(StatsRequest, useProxy) == 32 && offsetof(StatsRequest, directConnection) == 33 &&
              offsetof(StatsRequest, spareText) == 40 && offsetof(StatsRequest, proxyName) == 48 &&
              offsetof(StatsRequest, proxyPassword) == 56 && offsetof(StatsRequest, spareValue) == 64 &&
              offsetof(StatsRequest, serverIndex) == 68);
static_assert(sizeof(ActionMenuItem) == 16);
static_assert(offsetof(ActionMenuItem, actionId) == 0 && offsetof(ActionMenuItem, caption) == 8);
static_assert(sizeof(ExternalCall) == 24);
static_assert(offsetof(ExternalCall, hostWindow) == 0 && offsetof(ExternalCall, limitKind) == 8 &&
              offsetof(ExternalCall, actionId) == 12 && offsetof(ExternalCall, text) == 16);
static_assert(sizeof(StatsValueList) == 64);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(StatsValueList, keys) == 0 && offsetof(StatsValueList, values) == 32);
#pragma GCC diagnostic pop
#endif

}  // namespace host
