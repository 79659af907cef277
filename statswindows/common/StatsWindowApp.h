// The application object of a statistics-window plug-in and the four exports it answers: the
// plug-in information, the style menu, and the two show requests routed to the window of the
// request's style. The windows live in the plug-in's own application class (one per style, in
// style order); the skeleton only holds their addresses. Nothing is created at load; at unload
// each window that exists is saved (where its style keeps a position) and destroyed, in the
// plug-in's exit order. When the process ends, each is saved in the same order, to a host window
// that still lives on the exiting thread, and nothing is destroyed.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <initializer_list>
#include <span>
#include <vector>

#include "base/PluginApp.h"
#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "statswindows/common/StatsWindow.h"

namespace stats {

struct PluginTable {
    host::PluginInfo info;
    std::span<const host::StyleMenuItem* const> styles;  // menu order: styles[i] has id i + 1
};

class StatsWindowApp : public kit::PluginApp {
public:
    // windows[i] shows style i + 1; exitOrder lists the same windows in the order they unload.
    StatsWindowApp(const PluginTable& table, std::initializer_list<StatsWindow*> windows,
                   std::initializer_list<StatsWindow*> exitOrder);

    bool InitInstance() override;
    void ExitInstance() override;
    void AbandonInstance() override;

    void GetPluginInfo(host::PluginInfo* info, int* result) const;
    void GetWndStatsStyleMenu(host::StyleMenuItem* item, int* cursor) const;
    void ShowStatsData(const host::ShowStatsRequest& request);
    void ShowStatsDataTray(const host::ShowStatsRequest& request);

    StatsWindow* WindowOfStyle(int styleId) const;  // null for a style the plug-in does not offer

    static StatsWindowApp* Current() { return static_cast<StatsWindowApp*>(kit::PluginApp::Current()); }

private:
    const PluginTable& m_table;
    std::vector<StatsWindow*> m_windows;
    std::vector<StatsWindow*> m_exitOrder;
};

}  // namespace stats
#endif
