// The stand-in host as a program: loads a plug-in as the host would and prints what it offers.
//   hostdemo <plugin.dll>
#include <windows.h>

#include <cstdio>
#include <string>

#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"

namespace {

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

std::string Show(const char* cp1251) { return cp1251 ? hoststub::ToUtf8(cp1251) : std::string("(null)"); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hostdemo <plugin.dll>\n");
        return 2;
    }
    try {
        hoststub::PluginModule plugin(argv[1]);
        using InfoFn = void (*)(host::PluginInfo*, int*);
        using ServerMenuFn = void (*)(host::ServerMenuItem*, int*);

        host::PluginInfo info{};
        int result = 0;
        plugin.Resolve<InfoFn>("GetPluginInfo")(&info, &result);
        Print("Plug-in " + std::string(argv[1]) + "\n");
        Print("  kind:           " + std::to_string(info.kind) + "\n");
        Print("  name:           " + Show(info.name) + "\n");
        Print("  version:        " + Show(info.version) + "\n");
        Print("  author:         " + Show(info.author) + "\n");
        Print("  provider title: " + Show(info.providerTitle) + "\n");
        Print("  provider id:    " + Show(info.providerId) + "\n");

        if (auto menu = plugin.Find("GetServerListMenu")) {
            Print("Server menu:\n");
            for (const auto& item : hoststub::WalkMenu<host::ServerMenuItem>(reinterpret_cast<ServerMenuFn>(reinterpret_cast<void*>(menu))))
                Print("  " + std::to_string(item.id) + ". " + Show(item.text) + "\n");
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "hostdemo: %s\n", failure.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
