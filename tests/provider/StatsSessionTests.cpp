// The statistics session on its own, with the WinInet spy in place of WinInet's imports: the
// access chosen from the request's flags, the mapping of the client's failures (12002 among
// them, which no local server can produce) to request states, the body bound, the error-page
// groups, and the host messages the session sends or withholds.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>
#include <vector>

#include "hostapi/HostProtocol.h"
#include "httpclient/HttpClientException.h"
#include "provider/StatsSession.h"
#include "provider/StatsStates.h"
#include "testing/host/StandInHost.h"
#include "tests/httpclient/WinInetSpy.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"

using testsupport::HexBytes;
using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;

namespace {

const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 7.0b; Windows NT 6.0)";

struct Access {
    bool direct = true;
    bool proxy = false;
    std::string proxyName;
    std::string proxyPassword;
};

void SetUp(CStatsSession& session, const Access& access = {}) {
    session.Setup("code", "pass", "https://localhost/ktvinet", access.proxy, "spare", access.proxyName.c_str(),
                  access.proxyPassword.c_str(), access.direct);
}

void CheckAllClosed(const WinInetSpy& spy) {
    CHECK(spy.OpenHandles().empty());
    CHECK(spy.StrayCloses() == 0);
}

int SendMessagesTo(hoststub::StandInHost& host, CStatsSession& session, const std::function<int()>& work) {
    int value = -1;
    session.SetHostWindow(host.window());
    host.RunOnUiThread([&] { value = work(); });
    return value;
}

}  // namespace

TEST_CASE("the access follows the flags: direct wins, a proxy account needs a two-character name") {
    struct Row {
        Access access;
        DWORD accessType;
        const char* proxy;  // as InternetOpen received it
        bool account;
    };
    const Row rows[] = {
        {{true, true, "proxyhost:3128", "pw"}, INTERNET_OPEN_TYPE_DIRECT, "", false},
        {{false, true, "p", "pw"}, INTERNET_OPEN_TYPE_PROXY, "p", false},
        {{false, true, "proxyhost:3128", "pw"}, INTERNET_OPEN_TYPE_PROXY, "proxyhost:3128", true},
        {{false, false, "proxyhost:3128", "pw"}, INTERNET_OPEN_TYPE_PRECONFIG, "", false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.accessType);
        CAPTURE(row.access.proxyName);
        WinInetSpy spy;
        {
            CStatsSession session;
            SetUp(session, row.access);
            spy.FailNext(WinInetCall::HttpSendRequest, ERROR_INTERNET_CANNOT_CONNECT);
            CHECK(session.FetchStats("https://localhost:1/ktvinet/vapi/jstat.jsp?code=c&pass=p") == 9);
        }
        const auto opens = spy.CallsOf(WinInetCall::InternetOpen);
        REQUIRE(opens.size() == 1);
        CHECK(opens[0].text == kAgent);
        CHECK(opens[0].number == row.accessType);
        CHECK(opens[0].text2 == row.proxy);
        std::vector<std::pair<DWORD, std::string>> account;
        for (const auto& call : spy.CallsOf(WinInetCall::InternetSetOption))
            if (call.number == INTERNET_OPTION_PROXY_USERNAME || call.number == INTERNET_OPTION_PROXY_PASSWORD)
                account.emplace_back(call.number, call.text);
        if (row.account)
            CHECK(account == std::vector<std::pair<DWORD, std::string>>{{INTERNET_OPTION_PROXY_USERNAME, "proxyhost:3128"},
                                                                       {INTERNET_OPTION_PROXY_PASSWORD, "pw"}});
        else
            CHECK(account.empty());
        CheckAllClosed(spy);
    }
}

TEST_CASE("a proxy account without a password is refused by Setup") {
    CStatsSession session;
    CHECK_THROWS_AS(SetUp(session, {false, true, "proxyhost", ""}), Tarvo::httpclientexceptionA);
}

TEST_CASE("the client's failures become request states by their Windows error") {
    struct Row {
        WinInetCall call;
        DWORD error;
        int state;
    };
    const Row rows[] = {
        {WinInetCall::HttpSendRequest, ERROR_INTERNET_TIMEOUT, provider::StateNoConnection},
        {WinInetCall::HttpSendRequest, ERROR_INTERNET_CANNOT_CONNECT, provider::StateNoConnection},
        {WinInetCall::HttpSendRequest, ERROR_INTERNET_INVALID_CA, provider::StateInvalidCertificateAuthority},
        {WinInetCall::HttpSendRequest, 12057, provider::StateHttpFailure},
        {WinInetCall::HttpSendRequest, ERROR_INTERNET_CONNECTION_ABORTED, provider::StateHttpFailure},
        {WinInetCall::InternetConnect, ERROR_INTERNET_TIMEOUT, provider::StateNoConnection},
        {WinInetCall::InternetReadFile, ERROR_INTERNET_TIMEOUT, provider::StateNoConnection},
        {WinInetCall::InternetReadFile, WSAETIMEDOUT, provider::StateNoConnection},  // Wine's stalled body
        {WinInetCall::InternetReadFile, ERROR_INTERNET_CONNECTION_ABORTED, provider::StateHttpFailure},
        {WinInetCall::InternetReadFile, ERROR_INTERNET_CONNECTION_RESET, provider::StateHttpFailure},
    };
    const Services& services = Services::Get();
    hoststub::StandInHost host;
    for (const Row& row : rows) {
        CAPTURE(testsupport::WinInetCallName(row.call));
        CAPTURE(row.error);
        WinInetSpy spy;
        {
            CStatsSession session;
            SetUp(session);
            spy.FailNext(row.call, row.error);
            host.ClearRecords();
            const std::string url = services.HttpsUrl("/ktvinet/vapi/jstat.jsp?code=answer&pass=p");
            CHECK(SendMessagesTo(host, session, [&] { return session.FetchStats(url.c_str()); }) == row.state);
            CHECK(host.logLines().empty());  // a failed fetch never reaches the parse
            CHECK(host.userErrors().empty());
        }
        CheckAllClosed(spy);
    }
}

TEST_CASE("a body beyond the bound ends the request as an HTTP failure") {
    WinInetSpy spy;
    {
        CStatsSession session;
        SetUp(session);
        const std::string size = std::to_string(provider::kMaxBodyBytes + 20000);
        CHECK(session.FetchStats(Services::Get().HttpUrl("/body?size=" + size).c_str()) == provider::StateHttpFailure);
        const std::string fits = std::to_string(200000);
        CHECK(session.FetchStats(Services::Get().HttpUrl("/body?size=" + fits).c_str()) == provider::StateNotRecognised);
    }
    CheckAllClosed(spy);
}

TEST_CASE("error pages: groups in order, the later group wins, found only from the third character") {
    const std::string login = "<p>\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xF5\xEE\xE4\xE0 \xED\xE0 \xF1\xE0\xE9\xF2 "
                              "\xF1\xF2\xE0\xF2\xE8\xF1\xF2\xE8\xEA\xE8</p>";  // login refused
    const std::string serviceError = "<p>\xCF\xF0\xEE\xE8\xE7\xEE\xF8\xEB\xE0 \xEE\xF8\xE8\xE1\xEA\xE0</p>";
    struct Row {
        std::string body;
        int stateIn;
        int stateOut;
        size_t userErrors;
    };
    const Row rows[] = {
        {login, 0, 10, 1},
        {login + serviceError, 0, 5, 1},
        {"<html>The page cannot be found</html>", 14, 5, 0},
        {"<p>bad login</p>", 14, 10, 1},
        {"xbad login", 0, 0, 0},  // index 1: not found
        {"bad login", 6, 6, 0},   // index 0: not found
        {"<p>nothing known</p>", 14, 14, 0},
    };
    hoststub::StandInHost host;
    for (const Row& row : rows) {
        CAPTURE(row.body);
        CStatsSession session;
        SetUp(session);
        host.ClearRecords();
        const int state = SendMessagesTo(host, session, [&] {
            return session.CheckErrorPage(row.stateIn, kit::String(std::string_view(row.body)));
        });
        CHECK(state == row.stateOut);
        CHECK(host.userErrors().size() == row.userErrors);
    }
}

TEST_CASE("the session's host messages: nothing before the settings, nothing without a window") {
    hoststub::StandInHost host;
    {
        CStatsSession session;  // no settings yet
        SendMessagesTo(host, session, [&] {
            session.PostLogLine("::: line");
            return 0;
        });
        CHECK(host.logLines().empty());
    }
    {
        CStatsSession session;
        SetUp(session);
        session.SetHostWindow(nullptr);
        session.PostLogLine("::: line");
        session.PublishStats();
        REQUIRE(session.ValueList()->keys.GetSize() == 2);
        CHECK(session.ValueList()->keys[0] == "updatetime");
        CHECK(session.ValueList()->keys[1] == "updatetime_day");
        CHECK(session.ValueList()->values[0].GetLength() == 16);
        CHECK(host.statsLists().empty());
        CHECK(host.logLines().empty());
    }
}
