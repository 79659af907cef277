// Who the provider plug-in is, and the menu of statistics servers the host offers the user.
#include "hostapi/HostProtocol.h"
#include "provider/ServiceConfig.h"

namespace {

constexpr const char kName[] = "Статистика 'Тарна'";
constexpr const char kVersion[] = "5.2";
constexpr const char kAuthor[] = "Plug-in team";
constexpr const char kProviderTitle[] = "Тарна Бродбенд";
constexpr const char kProviderId[] = "tarna";

constexpr const char* kServerMenu[] = {
    provider::config::kServiceUrl1,
    provider::config::kServiceUrl2,
    provider::config::kServiceUrl3,
    "Режим отладки",
};
constexpr unsigned kServerMenuCount = sizeof(kServerMenu) / sizeof(kServerMenu[0]);

}  // namespace

extern "C" void GetPluginInfo(host::PluginInfo* info, int* result) {
    if (info) {
        info->kind = host::PluginKindProvider;
        info->name = kName;
        info->version = kVersion;
        info->author = kAuthor;
        info->providerTitle = kProviderTitle;
        info->providerId = kProviderId;
    }
    if (result) *result = 1;
}

// The menu cursor walk: cursor 0..3 fills that row and writes its id back; any other cursor
// (taken unsigned, so negatives too) ends the walk with 0 and leaves the item alone.
extern "C" void GetServerListMenu(host::ServerMenuItem* item, int* cursor) {
    if (!cursor) return;
    const unsigned position = static_cast<unsigned>(*cursor);
    if (position >= kServerMenuCount || !item) {
        *cursor = 0;
        return;
    }
    item->id = static_cast<int>(position) + 1;
    item->text = kServerMenu[position];
    *cursor = item->id;
}
