// Who the provider plug-in is, and the menu of statistics servers the host offers the user.
#include "hostapi/ExportTypes.h"
#include "hostapi/PluginExports.h"
#include "provider/ServiceConfig.h"

namespace {

constexpr host::PluginInfo kInfo = {
    host::PluginKindProvider, "Статистика 'Тарна'", "5.2", "Plug-in team", "Тарна Бродбенд", "tarna",
};

constexpr host::ServerMenuItem kServerMenu[] = {
    {1, provider::config::kServiceUrl1},
    {2, provider::config::kServiceUrl2},
    {3, provider::config::kServiceUrl3},
    {4, "Режим отладки"},
};

}  // namespace

extern "C" void __cdecl GetPluginInfo(host::PluginInfo* info, int* result) { host::FillPluginInfo(kInfo, info, result); }

extern "C" void __cdecl GetServerListMenu(host::ServerMenuItem* item, int* cursor) {
    host::StepMenu(kServerMenu, &host::ServerMenuItem::id, item, cursor);
}

HOST_CHECK_EXPORT(GetPluginInfo);
HOST_CHECK_EXPORT(GetServerListMenu);
