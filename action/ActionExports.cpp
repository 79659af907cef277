// The exports of brasko.dll: who the plug-in is, its menu of actions, and the call the host makes
// when a bound limit is reached.
#include "action/ActionPluginApp.h"
#include "hostapi/ExportTypes.h"
#include "hostapi/PluginExports.h"

namespace {

constexpr char kEmpty[] = "";  // both provider fields

constexpr host::PluginInfo kInfo = {
    host::PluginKindAction, "Активирование Brasko", "1.5", "Plug-in team", kEmpty, kEmpty,
};

constexpr host::ActionMenuItem kActionMenu[] = {
    {host::ActionWorldOff, "Выключить \"Мир\""},
    {host::ActionSegmentOn, "Активировать \"сегмент\""},
    {host::ActionWorldOffAndSegmentOn, "Выкл. \"Мир\", активировать \"сегмент\""},
};

}  // namespace

extern "C" void __cdecl GetPluginInfo(host::PluginInfo* info, int* result) { host::FillPluginInfo(kInfo, info, result); }

extern "C" void __cdecl GetActionMenu(host::ActionMenuItem* item, int* cursor) {
    host::StepMenu(kActionMenu, &host::ActionMenuItem::actionId, item, cursor);
}

extern "C" void __cdecl RunExternalFunction(host::ExternalCall* call) {
    kit::GuardExport([call] {
        if (call) theApp.RunExternalFunction(*call);
    });
}

HOST_CHECK_EXPORT(GetPluginInfo);
HOST_CHECK_EXPORT(GetActionMenu);
HOST_CHECK_EXPORT(RunExternalFunction);
