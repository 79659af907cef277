// Checks every plug-in's exports share: GetPluginInfo writing the same record on every call with
// a result of 1, a menu export leaving the item alone once the cursor is past its end, and each
// export leaving its arguments on the stack for the caller to remove (the host calls __cdecl).
#pragma once
#include <doctest/doctest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "testing/host/PluginModule.h"

#ifndef _WIN64
// Calls `function` with `count` 32-bit arguments pushed as a __cdecl caller pushes them and returns
// how many bytes of them the callee removed itself: 0 for __cdecl, 4 per argument for __stdcall.
// Written in assembly so that it shares no function type with the code it checks.
extern "C" __attribute__((naked, noinline)) inline int CalleePoppedBytes(const void* /*function*/,
                                                                          const std::uint32_t* /*arguments*/,
                                                                          int /*count*/) {
    __asm__(
        "pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        "pushl %ebx\n\t"
        "movl 8(%ebp), %eax\n\t"
        "movl 12(%ebp), %edx\n\t"
        "movl 16(%ebp), %ecx\n\t"
        "1:\n\t"
        "testl %ecx, %ecx\n\t"
        "jz 2f\n\t"
        "decl %ecx\n\t"
        "pushl (%edx,%ecx,4)\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "movl %esp, %esi\n\t"
        "call *%eax\n\t"
        "movl %esp, %eax\n\t"
        "subl %esi, %eax\n\t"
        "leal -12(%ebp), %esp\n\t"
        "popl %ebx\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "popl %ebp\n\t"
        "ret\n\t");
}
#endif

namespace testsupport {

struct ExportArity {
    const char* name;
    int arguments;  // each export must accept all of them null
};

// Each export, called with null arguments, must return with the stack as it was: the host
// removes the arguments itself. Only the 32-bit build has calling conventions to tell apart.
inline void CheckCallerRemovesArguments(const hoststub::PluginModule& plugin, std::initializer_list<ExportArity> exports) {
#ifndef _WIN64
    for (const ExportArity& entry : exports) {
        CAPTURE(entry.name);
        const FARPROC function = plugin.Find(entry.name);
        REQUIRE(reinterpret_cast<void*>(function) != nullptr);
        const std::uint32_t nulls[4] = {};
        REQUIRE(entry.arguments <= 4);
        CHECK(CalleePoppedBytes(reinterpret_cast<const void*>(function), nulls, entry.arguments) == 0);
    }
#else
    (void)plugin;
    (void)exports;
#endif
}

// Two calls into records preset to a sentinel; both must report 1 and write identical fields.
inline host::PluginInfo StablePluginInfo(const hoststub::PluginModule& plugin) {
    auto getInfo = plugin.Resolve<host::exports::GetPluginInfo*>("GetPluginInfo");
    host::PluginInfo first, second;
    std::memset(&first, 0xEF, sizeof first);
    std::memset(&second, 0xEF, sizeof second);
    for (host::PluginInfo* info : {&first, &second}) {
        int result = static_cast<int>(0xdeadbeef);
        getInfo(info, &result);
        CHECK(result == 1);
    }
    CHECK(std::memcmp(&first, &second, sizeof first) == 0);
    return first;
}

// Every cursor of `ends` ends the walk: 0 written back, the item byte for byte as it was.
template <class Item>
void CheckMenuEnds(void(__cdecl* menu)(Item*, int*), std::initializer_list<int> ends) {
    for (int end : ends) {
        CAPTURE(end);
        Item item;
        std::memset(&item, 0xAB, sizeof item);
        const Item before = item;
        int cursor = end;
        menu(&item, &cursor);
        CHECK(cursor == 0);
        CHECK(std::memcmp(&item, &before, sizeof item) == 0);
    }
}

}  // namespace testsupport
