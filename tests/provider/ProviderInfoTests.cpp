// ravo.dll as the host sees it on load: its exports, its plug-in information and its server menu.
#include <doctest/doctest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "hostapi/HostProtocol.h"
#include "testing/host/PluginModule.h"
#include "tests/support/PluginChecks.h"
#include "tests/support/TestPaths.h"

namespace {

hoststub::PluginModule& Ravo() {
    static hoststub::PluginModule module(testsupport::BuildFile("provider/ravo.dll"));
    return module;
}

std::string HostOf(const std::string& url) {
    const std::size_t start = url.find("://") + 3;
    return url.substr(start, url.find_first_of(":/", start) - start);
}

}  // namespace

TEST_CASE("ravo.dll exports its entry points by their plain names") {
    std::set<std::string> names;
    for (const auto& entry : Ravo().Exports()) names.insert(entry.name);
    CHECK(names == std::set<std::string>{"GetPluginInfo", "GetServerListMenu", "GetOneStats"});
    CHECK(reinterpret_cast<void*>(Ravo().Find("GetPluginInfo")) != nullptr);
    CHECK(reinterpret_cast<void*>(Ravo().Find("GetServerListMenu")) != nullptr);
}

TEST_CASE("every export of ravo.dll leaves its arguments for the host to remove") {
    testsupport::CheckCallerRemovesArguments(Ravo(), {{"GetPluginInfo", 2}, {"GetServerListMenu", 2}, {"GetOneStats", 2}});
}

TEST_CASE("GetPluginInfo fills all six fields with the same static texts on every call") {
    const host::PluginInfo first = testsupport::StablePluginInfo(Ravo());

    CHECK(first.kind == 1);
    CHECK(testsupport::HexBytes(first.name) ==
          testsupport::HexBytes("\xD1\xF2\xE0\xF2\xE8\xF1\xF2\xE8\xEA\xE0 '\xD2\xE0\xF0\xED\xE0'"));
    CHECK(std::string(first.version) == "5.2");
    CHECK(std::string(first.author) == "Plug-in team");
    CHECK(testsupport::HexBytes(first.providerTitle) ==
          testsupport::HexBytes("\xD2\xE0\xF0\xED\xE0 \xC1\xF0\xEE\xE4\xE1\xE5\xED\xE4"));
    CHECK(std::string(first.providerId) == "tarna");
}

TEST_CASE("the server menu follows the cursor protocol") {
    auto menu = Ravo().Resolve<host::exports::GetServerListMenu*>("GetServerListMenu");
    std::string urls[3];
    for (int cursor = 0; cursor < 4; ++cursor) {
        CAPTURE(cursor);
        host::ServerMenuItem item{-7, nullptr};
        int value = cursor;
        menu(&item, &value);
        CHECK(item.id == cursor + 1);
        CHECK(value == cursor + 1);
        REQUIRE(item.text != nullptr);
        if (cursor < 3) urls[cursor] = item.text;
        else CHECK(testsupport::HexBytes(item.text) ==
                   testsupport::HexBytes("\xD0\xE5\xE6\xE8\xEC \xEE\xF2\xEB\xE0\xE4\xEA\xE8"));
    }
    testsupport::CheckMenuEnds(menu, {4, 5, -1, 1000, 0x7fffffff, static_cast<int>(0x80000000u)});

    // The three service URLs: HTTPS, no trailing slash, the /ktvinet path; 1 and 2 on port 8443,
    // 3 on the default port; 2 and 3 on one host.
    for (const std::string& url : urls) {
        CAPTURE(url);
        CHECK(url.rfind("https://", 0) == 0);
        CHECK(url.size() > 8);
        CHECK(url.substr(url.size() - 8) == "/ktvinet");
    }
    CHECK(urls[0].find(":8443/") != std::string::npos);
    CHECK(urls[1].find(":8443/") != std::string::npos);
    CHECK(urls[2].find(':', 6) == std::string::npos);
    CHECK(HostOf(urls[1]) == HostOf(urls[2]));

    CHECK(hoststub::WalkMenu<host::ServerMenuItem>(menu).size() == 4);
}
