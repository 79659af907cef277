// Checks every plug-in's exports share: GetPluginInfo writing the same record on every call with
// a result of 1, and a menu export leaving the item alone once the cursor is past its end.
#pragma once
#include <doctest/doctest.h>

#include <cstring>
#include <initializer_list>

#include "hostapi/HostProtocol.h"
#include "testing/host/PluginModule.h"

namespace testsupport {

// Two calls into records preset to a sentinel; both must report 1 and write identical fields.
inline host::PluginInfo StablePluginInfo(const hoststub::PluginModule& plugin) {
    auto getInfo = plugin.Resolve<void (*)(host::PluginInfo*, int*)>("GetPluginInfo");
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
void CheckMenuEnds(void (*menu)(Item*, int*), std::initializer_list<int> ends) {
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
