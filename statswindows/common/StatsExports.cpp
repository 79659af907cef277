// The four exports of every statistics-window plug-in (ordinals and the export table's module
// name come from the plug-in's .def file). Each answers through the plug-in's application
// object and never lets an exception reach the host; the show requests always report 1.
#include "statswindows/common/StatsWindowApp.h"

namespace {

stats::StatsWindowApp* App() { return stats::StatsWindowApp::Current(); }

}  // namespace

extern "C" void GetPluginInfo(host::PluginInfo* info, int* result) {
    kit::GuardExport([&] {
        if (App()) App()->GetPluginInfo(info, result);
    });
}
HOST_CHECK_EXPORT(GetPluginInfo);

extern "C" void GetWndStatsStyleMenu(host::StyleMenuItem* item, int* cursor) {
    kit::GuardExport([&] {
        if (App()) App()->GetWndStatsStyleMenu(item, cursor);
    });
}
HOST_CHECK_EXPORT(GetWndStatsStyleMenu);

extern "C" void ShowStatsData(host::ShowStatsRequest* request, int* result) {
    kit::GuardExport([&] {
        if (request && App()) App()->ShowStatsData(*request);
    });
    if (result) *result = 1;
}
HOST_CHECK_EXPORT(ShowStatsData);

extern "C" void ShowStatsDataTray(host::ShowStatsRequest* request, int* result) {
    kit::GuardExport([&] {
        if (request && App()) App()->ShowStatsDataTray(*request);
    });
    if (result) *result = 1;
}
HOST_CHECK_EXPORT(ShowStatsDataTray);
