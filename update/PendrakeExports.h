// What crosses the boundary between the host program and pendrake.dll: the menu record whose two
// texts are host-owned boundary strings, the request record of the run procedures, and the
// exports' types with their calling convention. The plug-in sends nothing to the host window.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "base/String.h"

namespace host {

// The host's menu entry for the plug-in; caption and hint are the host's strings, which
// GetPluginMenu fills through the out-string protocol.
struct PluginMenuItem {
    std::int32_t commandId;  // 35336
    std::int32_t flags;      // 8
    std::int32_t reserved;   // 0
    kit::String* caption;
    kit::String* hint;
};

// The request of the run procedures: three zero-terminated cp1251 texts owned by the host.
struct UpdateRequest {
    const char* baseUrl;        // the update folder's URL, ending with "/"
    const char* programFolder;  // ending with a path separator
    const char* versionFile;    // its version resource is the installed version
};

#ifndef _WIN64  // the 32-bit boundary, as the host lays it out
static_assert(sizeof(PluginMenuItem) == 20 && offsetof(PluginMenuItem, caption) == 12 &&
              offsetof(PluginMenuItem, hint) == 16);
static_assert(sizeof(UpdateRequest) == 12 && offsetof(UpdateRequest, programFolder) == 4 &&
              offsetof(UpdateRequest, versionFile) == 8);
#endif

constexpr std::int32_t kPluginMenuCommandId = 35336;  // 0x8A08
constexpr std::int32_t kPluginMenuFlags = 8;

namespace exports {
using GetPluginMenu = void __cdecl(std::uint32_t ignored, PluginMenuItem* item, int* cursor);
using GetPluginRunProcUpdate = void __cdecl(UpdateRequest* request);
using GetPluginRunProcUpdateCheck = void __cdecl(UpdateRequest* request);
// (unused, the request's address, unused, result): the request travels in a pointer-wide integer,
// which is the host's 32-bit unsigned int in the 32-bit build.
using GetPluginRunProc = void __cdecl(unsigned int, std::uintptr_t request, long, unsigned long* result);
}  // namespace exports

}  // namespace host

#ifndef HOST_CHECK_EXPORT
#define HOST_CHECK_EXPORT(name)                                                          \
    static_assert(std::is_same_v<decltype(&::name), ::host::exports::name*>,             \
                  "the export " #name " differs from its type")
#endif
