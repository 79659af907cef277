// The stand-in host as a program: loads a plug-in as the host would and shows what it offers,
// and, for the provider, runs statistics requests and prints what reached the host window.
//   hostdemo <plugin.dll>
//   hostdemo <plugin.dll> stats <serverIndex> <serverBaseUrl> <contractCode> <password>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"

namespace {

namespace exports = host::exports;

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

std::string Show(const char* cp1251) { return cp1251 ? hoststub::ToUtf8(cp1251) : std::string("(null)"); }

// Arguments arrive in the ANSI code page (1251), as the host's own texts would be.
void ShowPlugin(const hoststub::PluginModule& plugin, const char* path) {
    host::PluginInfo info{};
    int result = 0;
    plugin.Resolve<exports::GetPluginInfo*>("GetPluginInfo")(&info, &result);
    Print("Plug-in " + std::string(path) + "\n");
    Print("  kind:           " + std::to_string(info.kind) + "\n");
    Print("  name:           " + Show(info.name) + "\n");
    Print("  version:        " + Show(info.version) + "\n");
    Print("  author:         " + Show(info.author) + "\n");
    Print("  provider title: " + Show(info.providerTitle) + "\n");
    Print("  provider id:    " + Show(info.providerId) + "\n");
    if (auto menu = plugin.Find("GetServerListMenu")) {
        Print("Server menu:\n");
        for (const auto& item : hoststub::WalkMenu<host::ServerMenuItem>(
                 reinterpret_cast<exports::GetServerListMenu*>(reinterpret_cast<void*>(menu))))
            Print("  " + std::to_string(item.id) + ". " + Show(item.text) + "\n");
    }
    if (auto menu = plugin.Find("GetActionMenu")) {
        Print("Action menu:\n");
        for (const auto& item : hoststub::WalkMenu<host::ActionMenuItem>(
                 reinterpret_cast<exports::GetActionMenu*>(reinterpret_cast<void*>(menu))))
            Print("  " + std::to_string(item.actionId) + ". " + Show(item.caption) + "\n");
    }
}

int RunStats(const hoststub::PluginModule& plugin, int serverIndex, const char* url, const char* code,
             const char* password) {
    auto getOneStats = plugin.Resolve<exports::GetOneStats*>("GetOneStats");
    hoststub::StandInHost host;
    hoststub::HostString contractCode(code), pass(password), baseUrl(url), spare, proxyName, proxyPassword;
    host::StatsRequest request{};
    request.hostWindow = host.window();
    request.contractCode = contractCode.object();
    request.password = pass.object();
    request.serverBaseUrl = baseUrl.object();
    request.directConnection = 1;
    request.spareText = spare.object();
    request.proxyName = proxyName.object();
    request.proxyPassword = proxyPassword.object();
    request.serverIndex = serverIndex;

    int result = -1, returned = -1;
    host.RunOnUiThread([&] { returned = getOneStats(&request, &result); });

    Print("GetOneStats(server " + std::to_string(serverIndex) + ", " + Show(url) + ") returned " +
          std::to_string(returned) + ", result " + std::to_string(result) + "\n");
    for (const auto& line : host.logLines()) Print("  log:   " + Show(line.c_str()) + "\n");
    for (const auto& text : host.userErrors()) Print("  error: " + Show(text.c_str()) + "\n");
    for (const auto& list : host.statsLists()) {
        Print("  statistics list, " + std::to_string(list.size()) + " pairs:\n");
        for (const auto& [key, value] : list) Print("    " + Show(key.c_str()) + " = " + Show(value.c_str()) + "\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hostdemo <plugin.dll> [stats <serverIndex> <url> <code> <password>]\n");
        return 2;
    }
    try {
        hoststub::PluginModule plugin(argv[1]);
        if (argc >= 7 && std::string(argv[2]) == "stats")
            RunStats(plugin, std::atoi(argv[3]), argv[4], argv[5], argv[6]);
        else
            ShowPlugin(plugin, argv[1]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "hostdemo: %s\n", failure.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
