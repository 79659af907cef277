// The function type of every export that the host calls, each with its calling convention spelled
// out. The host resolves exports by name or ordinal and calls them as __cdecl functions: the
// caller removes the arguments. Each export's definition is checked against its type here
// (HOST_CHECK_EXPORT after the definition), so a definition whose parameters or convention
// differ does not compile; the .def files name the undecorated symbols, and the link (without
// stdcall fix-up) fails if a decorated __stdcall symbol stands behind one of them. The stand-in
// host and the tests call through these types, and check the convention of what they reach
// independently (tests/support/PluginChecks.h measures the stack).
#pragma once
#ifdef _WIN32
#include <type_traits>

#include "hostapi/HostProtocol.h"

namespace host::exports {

// Every plug-in.
using GetPluginInfo = void __cdecl(PluginInfo* info, int* result);

// The statistics provider.
using GetServerListMenu = void __cdecl(ServerMenuItem* item, int* cursor);
using GetOneStats = int __cdecl(const StatsRequest* request, int* result);

// The limit action plug-in.
using GetActionMenu = void __cdecl(ActionMenuItem* item, int* cursor);
using RunExternalFunction = void __cdecl(ExternalCall* call);

}  // namespace host::exports

// After the definition of the export `name` (extern "C", at global scope).
#define HOST_CHECK_EXPORT(name)                                                          \
    static_assert(std::is_same_v<decltype(&::name), ::host::exports::name*>,             \
                  "the export " #name " differs from its type in hostapi/ExportTypes.h")
#endif
