// What the exports of every plug-in share: the plug-in information record, written whole with a
// result of 1, and the menu cursor walk over a static table of rows.
#pragma once
#include <cstddef>
#include <cstdint>

#include "hostapi/HostProtocol.h"

namespace host {

inline void FillPluginInfo(const PluginInfo& mine, PluginInfo* info, int* result) {
    if (info) *info = mine;
    if (result) *result = 1;
}

// Cursor 0..N-1 copies that row and writes its id back; any other cursor (taken unsigned, so
// negatives too) ends the walk with 0 and leaves the item alone.
template <class Item, std::size_t N>
void StepMenu(const Item (&rows)[N], std::int32_t Item::*id, Item* item, int* cursor) {
    if (!cursor) return;
    const std::size_t position = static_cast<unsigned>(*cursor);
    if (position >= N || !item) {
        *cursor = 0;
        return;
    }
    *item = rows[position];
    *cursor = item->*id;
}

}  // namespace host
