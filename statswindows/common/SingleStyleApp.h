// The application object of a plug-in that offers one skinned style: it holds that style's
// window, which is the only one to show and the only one to save and destroy at unload, and the
// plug-in table made of the plug-in's information and that style's menu entry.
#pragma once
#ifdef _WIN32
#include "statswindows/common/SkinnedWindow.h"
#include "statswindows/common/StatsWindowApp.h"

namespace stats {

namespace detail {
// Built before the application base, which keeps a reference to the table.
struct OneStyleTable {
    OneStyleTable(const host::PluginInfo& info, const SkinStyle& style) : menu{&style.menu}, table{info, menu} {}
    const host::StyleMenuItem* menu[1];
    PluginTable table;
};
}  // namespace detail

class SingleStyleApp : private detail::OneStyleTable, public StatsWindowApp {
public:
    // The base keeps the window's address only; the window is built right after it.
    SingleStyleApp(const host::PluginInfo& info, const SkinStyle& style)
        : OneStyleTable(info, style), StatsWindowApp(table, {&m_window}, {&m_window}), m_window(style) {}

private:
    SkinnedWindow m_window;
};

}  // namespace stats
#endif
