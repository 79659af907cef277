// ostrel_only.dll: one style, "only", a plain window with the total traffic in the colours the
// user picks. The application object holds its one window; a window left over when the plug-in
// starts is destroyed, and at unload the window goes without saving anything.
#include "statswindows/common/StatsWindowApp.h"
#include "statswindows/ostrel_only/OnlyWindow.h"

namespace {

constexpr host::StyleMenuItem kOnlyMenu = {
    1, "Только Трафик", "Отображает значение по трафику. Присутствует дополнительное меню настроек стиля.",
    "only\\only.jpg"};

constexpr const host::StyleMenuItem* kStyles[] = {&kOnlyMenu};

constexpr stats::PluginTable kPlugin = {
    {host::PluginKindStatsWindow, "only", "1.3", "Plug-in team", "Тарна Бродбенд", "tarna"},
    kStyles,
};

class CStatsWindowApp : public stats::StatsWindowApp {
public:
    CStatsWindowApp() : StatsWindowApp(kPlugin, {&m_window}, {&m_window}) {}

    bool InitInstance() override {
        if (!StatsWindowApp::InitInstance()) return false;
        if (m_window.handle()) m_window.DestroyWindow();
        return true;
    }

private:
    CmyDlgStats1 m_window;
};

CStatsWindowApp theApp;

}  // namespace
