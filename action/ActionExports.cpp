// The exports of brasko.dll: who the plug-in is, its menu of actions, and the call the host makes
// when a bound limit is reached.
#include "action/ActionPluginApp.h"
#include "hostapi/HostProtocol.h"

namespace {

constexpr char kName[] = "Активирование Brasko";
constexpr char kVersion[] = "1.5";
constexpr char kAuthor[] = "Plug-in team";
constexpr char kEmpty[] = "";  // both provider fields

constexpr host::ActionMenuItem kActionMenu[] = {
    {host::ActionWorldOff, "Выключить \"Мир\""},
    {host::ActionSegmentOn, "Активировать \"сегмент\""},
    {host::ActionWorldOffAndSegmentOn, "Выкл. \"Мир\", активировать \"сегмент\""},
};
constexpr unsigned kActionMenuCount = sizeof(kActionMenu) / sizeof(kActionMenu[0]);

}  // namespace

extern "C" void GetPluginInfo(host::PluginInfo* info, int* result) {
    if (info) {
        info->kind = host::PluginKindAction;
        info->name = kName;
        info->version = kVersion;
        info->author = kAuthor;
        info->providerTitle = kEmpty;
        info->providerId = kEmpty;
    }
    if (result) *result = 1;
}

// The menu cursor walk: cursor 0..2 fills that row and writes its id back; any other cursor
// (taken unsigned) ends the walk with 0 and leaves the item alone.
extern "C" void GetActionMenu(host::ActionMenuItem* item, int* cursor) {
    if (!cursor) return;
    const unsigned position = static_cast<unsigned>(*cursor);
    if (position >= kActionMenuCount || !item) {
        *cursor = 0;
        return;
    }
    *item = kActionMenu[position];
    *cursor = item->actionId;
}

extern "C" void RunExternalFunction(host::ExternalCall* call) {
    kit::GuardExport([call] {
        if (call) theApp.RunExternalFunction(*call);
    });
}
