#include "statswindows/common/StatsWindowApp.h"

#include "hostapi/PluginExports.h"

namespace stats {

StatsWindowApp::StatsWindowApp(const PluginTable& table, std::initializer_list<StatsWindow*> windows,
                               std::initializer_list<StatsWindow*> exitOrder)
    : m_table(table), m_windows(windows), m_exitOrder(exitOrder) {}

bool StatsWindowApp::InitInstance() { return kit::PluginApp::InitInstance(); }

void StatsWindowApp::ExitInstance() {
    for (StatsWindow* window : m_exitOrder) window->Unload();
    kit::PluginApp::ExitInstance();
}

void StatsWindowApp::AbandonInstance() {
    for (StatsWindow* window : m_exitOrder) window->SaveAtProcessExit();
    kit::PluginApp::AbandonInstance();
}

void StatsWindowApp::GetPluginInfo(host::PluginInfo* info, int* result) const {
    host::FillPluginInfo(m_table.info, info, result);
}

void StatsWindowApp::GetWndStatsStyleMenu(host::StyleMenuItem* item, int* cursor) const {
    if (!cursor) return;
    // Taken unsigned, so a negative cursor ends the walk too.
    const std::size_t position = static_cast<unsigned>(*cursor);
    if (position >= m_table.styles.size() || !item) {
        *cursor = 0;
        return;
    }
    *item = *m_table.styles[position];
    *cursor = static_cast<int>(position) + 1;
}

StatsWindow* StatsWindowApp::WindowOfStyle(int styleId) const {
    if (styleId < 1 || static_cast<std::size_t>(styleId) > m_windows.size()) return nullptr;
    return m_windows[static_cast<std::size_t>(styleId) - 1];
}

void StatsWindowApp::ShowStatsData(const host::ShowStatsRequest& request) {
    if (StatsWindow* window = WindowOfStyle(request.styleId)) window->ShowStatsData(request);
}

void StatsWindowApp::ShowStatsDataTray(const host::ShowStatsRequest& request) {
    if (StatsWindow* window = WindowOfStyle(request.styleId)) window->ShowStatsDataTray(request);
}

}  // namespace stats
