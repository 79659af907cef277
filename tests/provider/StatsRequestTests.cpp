// GetOneStats end to end: the stand-in host calls ravo.dll on its user-interface thread, the
// provider fetches from the local statistics service stand-in over real WinInet, and the host
// records what reached its window.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "provider/ServiceConfig.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "tests/provider/StatsRequestRig.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"

namespace {

using statstest::kFetchLine;
using statstest::kParseLine;
using statstest::Outcome;
using statstest::Request;
using testsupport::HexBytes;
using testsupport::Services;

const char kLoginError[] =
    "\xCD\xE5 \xE2\xE5\xF0\xED\xFB\xE9 \xCD\xEE\xEC\xE5\xF0 \xE4\xEE\xE3\xEE\xE2\xEE\xF0\xE0 \xE8\xEB\xE8 "
    "\xCF\xE0\xF0\xEE\xEB\xFC!\n\xF1\xEE\xE2\xE5\xF2: \xEF\xE5\xF0\xE5\xEF\xF0\xEE\xE2\xE5\xF0\xFC\xF2\xE5 "
    "\xF1\xE2\xEE\xE8 \xE4\xE0\xED\xED\xFB\xE5 \xE2 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0\xF5";

statstest::StatsFn GetOneStats() {
    static hoststub::PluginModule ravo(testsupport::BuildFile("provider/ravo.dll"));
    return ravo.Resolve<statstest::StatsFn>("GetOneStats");
}

Outcome Run(const Request& r, hoststub::StandInHost* sharedHost = nullptr) {
    return statstest::Run(GetOneStats(), r, sharedHost);
}

std::string Value(const hoststub::StatsPairs& list, const std::string& key) {
    for (const auto& [k, v] : list)
        if (k == key) return v;
    return "(absent)";
}

int IndexOf(const hoststub::StatsPairs& list, const std::string& key) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].first == key) return static_cast<int>(i);
    return -1;
}

// The lists with the update time's values blanked: two runs may fall in different minutes.
std::vector<hoststub::StatsPairs> WithoutUpdateTime(std::vector<hoststub::StatsPairs> lists) {
    for (auto& list : lists)
        for (auto& [key, value] : list)
            if (key == "updatetime" || key == "updatetime_day") value.clear();
    return lists;
}

// "HH:MM DD-MM-YYYY"
bool LooksLikeUpdateTime(const std::string& text) {
    if (text.size() != 16) return false;
    const char* shape = "dd:dd dd-dd-dddd";
    for (size_t i = 0; i < 16; ++i)
        if (shape[i] == 'd' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != shape[i]) return false;
    return true;
}

}  // namespace

TEST_CASE("statistics and error pages of the service reach the host as the results say") {
    const Services& services = Services::Get();
    struct Row {
        const char* code;
        std::string url;
        int result;
        bool parsed;      // the parse log line was sent
        int userErrors;   // login error texts sent
    };
    const std::string base = services.HttpsUrl("/ktvinet");
    const Row rows[] = {
        {"answer", base, 1, true, 0},
        {"answer-nolength", base, 1, true, 0},
        {"login", base, 10, false, 1},
        {"login-error", base, 5, false, 1},
        {"service-error", base, 5, false, 0},
        {"unavailable", base, 5, false, 0},
        {"unknown-contract", base, 5, false, 0},
        {"page-not-found", base, 5, false, 0},
        {"unrecognised", base, 0, false, 0},
        {"unrecognised-nolength", base, 6, false, 0},
        {"marker-at-start", base, 0, false, 0},
        {"full-chunked", base, 1, true, 0},
        // Cut short before its Content-Length, though what came is a whole answer.
        {"answer-cut", base, 6, false, 0},
        {"answer-cut", services.HttpUrl("/ktvinet"), 6, false, 0},
        // The marker, but no JSON object at the top.
        {"answer-array", base, 0, true, 0},
        {"answer-bom", base, 0, true, 0},
        {"history", base, 0, true, 0},
        {"answer", services.RefusedUrl("/ktvinet"), 9, false, 0},
        {"answer", services.SelfSignedUrl("/ktvinet"), 8, false, 0},
        {"answer", services.UnknownCaUrl("/ktvinet"), 6, false, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.code));
        CAPTURE(row.url);
        Request request;
        request.url = row.url;
        request.code = row.code;
        const Outcome out = Run(request);
        CHECK(out.returned == row.result);
        CHECK(out.result == row.result);
        std::vector<std::string> expectedLog{kFetchLine};
        if (row.parsed) expectedLog.push_back(kParseLine);
        CHECK(out.log == expectedLog);
        REQUIRE(out.errors.size() == static_cast<size_t>(row.userErrors));
        if (row.userErrors) CHECK(HexBytes(out.errors[0]) == HexBytes(kLoginError));
        CHECK(out.lists.size() == (row.result == 1 ? 1u : 0u));
    }
}

TEST_CASE("a slow service that answers within the request's time-out still delivers the statistics") {
    // Three seconds before the answer, over HTTPS and over HTTP; the plug-in's own time-outs apply.
    const Services& services = Services::Get();
    for (const std::string& url : {services.HttpsUrl("/delay/3000/ktvinet"), services.HttpUrl("/delay/3000/ktvinet")}) {
        CAPTURE(url);
        Request request;
        request.url = url;
        const Outcome out = Run(request);
        CHECK(out.result == 1);
        CHECK(out.log == std::vector<std::string>{kFetchLine, kParseLine});
        CHECK(out.lists.size() == 1);
    }
}

TEST_CASE("a delivered list holds the raw keys, the output keys and the two update-time keys") {
    for (const std::string code : {"answer", "answer-nolength"}) {
        CAPTURE(code);
        Request request;
        request.url = Services::Get().HttpsUrl("/ktvinet");
        request.code = code;
        const Outcome out = Run(request);
        REQUIRE(out.lists.size() == 1);
        const hoststub::StatsPairs& list = out.lists[0];
        REQUIRE(list.size() > 43);
        // Raw keys first, then the output keys from "atvsaldo" on, then the update time.
        CHECK(list[0] == std::make_pair(std::string("services_inet_code"), std::string("inet")));
        CHECK(list[2] == std::make_pair(std::string("services_inet_balans"), std::string("152.50")));
        const int firstOutput = IndexOf(list, "atvsaldo");
        REQUIRE(firstOutput > 0);
        CHECK(list.size() == static_cast<size_t>(firstOutput) + 41 + 2);
        CHECK(list[list.size() - 2].first == "updatetime");
        CHECK(list[list.size() - 1].first == "updatetime_day");
        CHECK(LooksLikeUpdateTime(list[list.size() - 2].second));
        CHECK(list[list.size() - 1].second == list[list.size() - 2].second);

        struct Expected {
            const char* key;
            const char* value;
        };
        const Expected expected[] = {
            {"saldo", "152.50"},
            {"saldoonline", "148.25"},
            {"tariffplanname", "\xC4\xEE\xEC\xE0\xF8\xED\xE8\xE9 100"},
            {"atvsaldo", "-23.40"},
            {"vptvsaldo", "0.00"},
            {"ukrtrafic", "15032"},
            {"ukrtraficoutlimit", "4294"},
            {"sattrafic", "512"},
            {"alltrafic", "15544"},
            {"ukrtrafic_day", "123"},
            {"sattrafic_day", "0"},
            {"alltrafic_day", "124"},
        };
        for (const Expected& e : expected) {
            CAPTURE(e.key);
            CHECK(HexBytes(Value(list, e.key)) == HexBytes(e.value));
        }
    }
}

TEST_CASE("the service sees the user agent, both magic headers, no-cache and the encoded account") {
    const Services& services = Services::Get();
    const std::string token = Services::UniqueToken();
    Request request;
    request.url = services.HttpsUrl("/ktvinet");
    request.code = "answer";
    request.password = token + "&# +%\xE9";
    REQUIRE(Run(request).result == 1);

    const auto seen = services.Requests(token, "https");
    REQUIRE(seen.size() == 1);
    CHECK(seen[0].requestLine == "GET /ktvinet/vapi/jstat.jsp?code=answer&pass=" + token + "%26%23%20%2B%25%E9 HTTP/1.1");
    CHECK(seen[0].HeaderValues("User-Agent") ==
          std::vector<std::string>{"Mozilla/4.0 (compatible; MSIE 7.0b; Windows NT 6.0)"});
    CHECK(seen[0].HeaderValues("KTQ-Magic") == std::vector<std::string>{"KTQ group"});
    CHECK(seen[0].HeaderValues("User-Magic") == std::vector<std::string>{provider::config::kUserMagic});
    CHECK(seen[0].HeaderValues("Cache-Control") == std::vector<std::string>{"no-cache"});
}

TEST_CASE("debug mode delivers its fixed list without any request") {
    const std::string token = Services::UniqueToken();
    Request request;
    request.url = "";
    request.code = token;
    request.password = token;
    request.serverIndex = 3;
    request.direct = false;  // preconfigured access: it must not matter
    const Outcome out = Run(request);
    CHECK(out.result == 1);
    CHECK(out.log.empty());
    REQUIRE(out.lists.size() == 1);
    const hoststub::StatsPairs& list = out.lists[0];
    CHECK(list.size() == 52);
    CHECK(list[0].first == "ukrtrafic_day");
    CHECK(list[50].first == "updatetime");
    CHECK(LooksLikeUpdateTime(list[50].second));
    CHECK(list[51] == std::make_pair(std::string("updatetime_day"), list[50].second));
    CHECK(Value(list, "ukrtrafic") == "1000");
    CHECK(Services::Get().Requests(token).empty());
}

TEST_CASE("proxy access carries the account; both flags mean a direct connection") {
    const Services& services = Services::Get();
    // The proxy's name is also its user name, so the stand-in proxy accepts its own address as
    // a user with the proxy password.
    const std::string proxy = services.ProxyHostPort();
    {
        const std::string token = Services::UniqueToken();
        Request request;
        // Wine may reuse a kept-alive direct connection to a host and port for a proxied
        // request, so this server is named apart from the direct requests' 127.0.0.1.
        request.url = "http://localhost:" + std::to_string(services.Port("http")) + "/ktvinet";
        request.password = token;
        request.direct = false;
        request.useProxy = true;
        request.proxyName = proxy;
        request.proxyPassword = services.ProxyPassword();
        CHECK(Run(request).result == 1);
        const auto seen = services.Requests(token, "proxy");
        REQUIRE(!seen.empty());
        CHECK(seen.back().authorized);
        CHECK(seen.back().proxyUser + ":" + seen.back().proxyPassword == proxy + ":" + services.ProxyPassword());
    }
    {
        const std::string token = Services::UniqueToken();
        Request request;
        request.url = services.HttpUrl("/ktvinet");
        request.password = token;
        request.direct = true;
        request.useProxy = true;
        request.proxyName = "127.0.0.1:1";  // nothing listens there: only a direct request can work
        request.proxyPassword = services.ProxyPassword();
        CHECK(Run(request).result == 1);
        CHECK(services.Requests(token, "proxy").empty());
        CHECK(services.Requests(token, "http").size() == 1);
    }
}

TEST_CASE("a proxy account without a password fails the request, and the next one starts fresh") {
    hoststub::StandInHost host;
    for (int serverIndex : {0, 3}) {
        CAPTURE(serverIndex);
        Request request;
        request.url = Services::Get().HttpsUrl("/ktvinet");
        request.serverIndex = serverIndex;
        request.direct = false;
        request.useProxy = true;
        request.proxyName = "proxyhost";
        request.proxyPassword = "";
        const Outcome failed = Run(request, &host);
        CHECK(failed.result == 6);
        CHECK(failed.log.empty());
        CHECK(failed.lists.empty());
    }
    Request debug;
    debug.serverIndex = 3;
    const Outcome first = Run(debug, &host);
    const Outcome second = Run(debug, &host);
    REQUIRE(first.lists.size() == 1);
    REQUIRE(second.lists.size() == 1);
    CHECK(second.lists[0].size() == 52);  // nothing of an earlier list is carried over
}

TEST_CASE("a call from the host's handler of a provider message gets 6 and leaves the running call alone") {
    using statstest::NestedCaller;
    NestedCaller::From from = NestedCaller::From::Direct;
    SUBCASE("the handler calls at once") {}
    SUBCASE("a timer calls while the handler pumps messages") { from = NestedCaller::From::FromTimer; }

    struct Row {
        const char* what;
        UINT message;
        const char* code;
        int serverIndex;
        int result;
    };
    const Row rows[] = {
        {"log lines", host::WM_HOST_LOG_LINE, "answer", 0, 1},
        {"user error text", host::WM_HOST_USER_ERROR, "login", 0, 10},
        {"statistics list", host::WM_HOST_STATS_LIST, "answer", 0, 1},
        {"statistics list of the debug mode", host::WM_HOST_STATS_LIST, "", 3, 1},
    };
    hoststub::StandInHost host;
    for (const Row& row : rows) {
        CAPTURE(std::string(row.what));
        Request request;
        request.url = Services::Get().HttpsUrl("/ktvinet");
        request.code = row.code;
        request.serverIndex = row.serverIndex;
        const Outcome alone = Run(request, &host);
        REQUIRE(alone.result == row.result);

        NestedCaller nested(GetOneStats(), row.message, from);
        const Outcome out = statstest::Run(GetOneStats(), request, &host, &nested);
        CHECK(out.returned == row.result);
        CHECK(out.result == row.result);
        CHECK(out.log == alone.log);
        CHECK(out.errors == alone.errors);
        CHECK(WithoutUpdateTime(out.lists) == WithoutUpdateTime(alone.lists));

        // One nested call each time the message arrived; the nested calls sent nothing of their own.
        const size_t arrived = row.message == host::WM_HOST_LOG_LINE    ? out.log.size()
                               : row.message == host::WM_HOST_USER_ERROR ? out.errors.size()
                                                                          : out.lists.size();
        CHECK(arrived > 0);
        CHECK(nested.Calls().size() == arrived);
        for (const NestedCaller::Call& call : nested.Calls()) {
            CHECK(call.returned == 6);
            CHECK(call.result == 6);
        }
    }
    Request debug;
    debug.serverIndex = 3;
    CHECK(Run(debug, &host).result == 1);  // no call is left marked as running
}
