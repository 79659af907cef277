// Proof that the local test services give the Windows tests what they need, through real WinInet
// under Wine: plain and trusted HTTPS answers, the certificate and connection failures with their
// WinInet errors, the proxy's account check, and the records the servers keep of each request.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Unique.h"
#include "tests/support/Services.h"

namespace {

void CloseInternet(HINTERNET handle) { ::InternetCloseHandle(handle); }
using Internet = kit::Unique<kit::NullTraits<HINTERNET, CloseInternet>>;

struct Outcome {
    DWORD error = 0;  // GetLastError of the failed WinInet call, 0 when the request was answered
    DWORD status = 0;
    std::string body;
};

struct ProxyAccess {
    std::string proxy;  // "host:port"; empty for a direct connection
    std::string user, password;
};

// One GET with WinInet. The proxy account goes on the connection handle, as the HTTP client does.
Outcome Get(const std::string& url, const ProxyAccess& access = {}) {
    char host[256] = {}, path[2048] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    REQUIRE(::InternetCrackUrlA(url.c_str(), 0, 0, &parts));

    Outcome outcome;
    const bool viaProxy = !access.proxy.empty();
    Internet session(::InternetOpenA("services-tests", viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                                     viaProxy ? access.proxy.c_str() : nullptr, nullptr, 0));
    REQUIRE(session);
    Internet connection(::InternetConnectA(session.get(), host, parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    REQUIRE(connection);
    if (!access.user.empty()) {
        REQUIRE(::InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_USERNAME,
                                     const_cast<char*>(access.user.c_str()), access.user.size()));
        REQUIRE(::InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_PASSWORD,
                                     const_cast<char*>(access.password.c_str()), access.password.size()));
    }
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    const char* accept[] = {"*/*", nullptr};
    Internet request(::HttpOpenRequestA(connection.get(), "GET", path, "HTTP/1.1", nullptr, accept, flags, 0));
    REQUIRE(request);
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        outcome.error = ::GetLastError();
        return outcome;
    }
    DWORD size = sizeof outcome.status;
    REQUIRE(::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &outcome.status, &size,
                             nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof buffer, &got) && got > 0) outcome.body.append(buffer, got);
    return outcome;
}

const testsupport::Services& services() { return testsupport::Services::Get(); }

}  // namespace

TEST_CASE("each server answers or fails with the WinInet error its certificate or port stands for") {
    struct Case {
        std::string name;
        std::string url;
        DWORD error;
    };
    const std::string token = testsupport::Services::UniqueToken();
    const std::string target = "/echo?" + token;
    const Case cases[] = {
        {"plain HTTP", services().HttpUrl(target), 0},
        {"HTTPS, test CA", services().HttpsUrl(target), 0},
        {"HTTPS, self-signed", services().SelfSignedUrl(target), ERROR_INTERNET_INVALID_CA},
        {"HTTPS, untrusted CA", services().UnknownCaUrl(target), ERROR_INTERNET_SEC_CERT_REV_FAILED},
        {"refused port", services().RefusedUrl(target), ERROR_INTERNET_CANNOT_CONNECT},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        const Outcome outcome = Get(c.url);
        CHECK(outcome.error == c.error);
        if (c.error == 0) {
            CHECK(outcome.status == 200);
            CHECK(outcome.body.rfind("GET " + target + " HTTP/1.1\r\n", 0) == 0);
        }
    }
    // Only the two answered requests reached a server, each recorded as it came.
    const auto records = services().Requests(token);
    REQUIRE(records.size() == 2);
    CHECK(records[0].server == "http");
    CHECK(records[1].server == "https");
    for (const auto& record : records) {
        CHECK(record.requestLine == "GET " + target + " HTTP/1.1");
        CHECK(record.HeaderValues("user-agent") == std::vector<std::string>{"services-tests"});
        CHECK_FALSE(record.viaProxy);
    }
}

TEST_CASE("the echo shows the request as sent, headers in order and letter case kept") {
    const std::string token = testsupport::Services::UniqueToken();
    Internet session(::InternetOpenA("services-tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    Internet connection(::InternetConnectA(session.get(), "127.0.0.1", services().Port("http"), nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    Internet request(::HttpOpenRequestA(connection.get(), "GET", ("/echo?" + token).c_str(), "HTTP/1.1", nullptr,
                                        nullptr, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    REQUIRE(request);
    const char* lines[] = {"X-Case: upper\r\n", "x-case: lower\r\n", "X-Value: \xC4\xE0\r\n"};
    for (const char* line : lines)
        REQUIRE(::HttpAddRequestHeadersA(request.get(), line, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD));
    REQUIRE(::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));

    const auto records = services().Requests(token);
    REQUIRE(records.size() == 1);
    const auto& names = records[0].HeaderNames();
    const auto upper = std::find(names.begin(), names.end(), "X-Case");
    REQUIRE(upper != names.end());
    REQUIRE(upper + 1 != names.end());
    CHECK(*(upper + 1) == "x-case");
    CHECK(records[0].HeaderValues("X-CASE") == std::vector<std::string>{"upper", "lower"});
    CHECK(records[0].HeaderValues("X-Value") == std::vector<std::string>{"\xC4\xE0"});
}

TEST_CASE("the proxy forwards only with its account, and the servers see which account came") {
    const std::string token = testsupport::Services::UniqueToken();
    const ProxyAccess account{services().ProxyHostPort(), services().ProxyUser(), services().ProxyPassword()};
    const ProxyAccess wrong{services().ProxyHostPort(), services().ProxyUser(), "wrong"};
    const ProxyAccess none{services().ProxyHostPort(), "", ""};

    const Outcome plain = Get(services().HttpUrl("/echo?" + token + "plain"), account);
    CHECK(plain.error == 0);
    CHECK(plain.status == 200);
    const Outcome tunnel = Get(services().HttpsUrl("/echo?" + token + "tunnel"), account);
    CHECK(tunnel.error == 0);
    CHECK(tunnel.status == 200);
    CHECK(Get(services().HttpUrl("/echo?" + token + "none"), none).status == HTTP_STATUS_PROXY_AUTH_REQ);
    CHECK(Get(services().HttpUrl("/echo?" + token + "wrong"), wrong).status == HTTP_STATUS_PROXY_AUTH_REQ);

    for (const std::string which : {"plain", "tunnel"}) {
        CAPTURE(which);
        const auto reached = services().Requests(token + which, which == "plain" ? "http" : "https");
        REQUIRE(reached.size() == 1);
        CHECK(reached[0].viaProxy);
        CHECK(reached[0].proxyUser == services().ProxyUser());
        CHECK(reached[0].proxyPassword == services().ProxyPassword());
    }
    CHECK(services().Requests(token + "none", "http").empty());
    CHECK(services().Requests(token + "wrong", "http").empty());
    const auto refused = services().Requests(token + "wrong", "proxy");
    REQUIRE_FALSE(refused.empty());
    for (const auto& record : refused) CHECK_FALSE(record.authorized);
}

TEST_CASE("bodies without a length, chunked or ended by the close, read whole over HTTP and HTTPS") {
    std::string pattern;
    for (int i = 0; i < 2500; ++i) pattern += "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"[i % 62];
    for (const std::string path : {"/nolength?size=2500", "/chunked?size=2500&chunk=700", "/body?size=2500"}) {
        for (const std::string& url : {services().HttpUrl(path), services().HttpsUrl(path)}) {
            CAPTURE(url);
            const Outcome outcome = Get(url);
            CHECK(outcome.error == 0);
            CHECK(outcome.body == pattern);
        }
    }
}

TEST_CASE("the statistics stand-in serves its fixtures as cp1251 bytes, chosen by the code") {
    const Outcome login = Get(services().HttpsUrl("/ktvinet/vapi/jstat.jsp?code=login&pass=x"));
    CHECK(login.status == 200);
    // "Ошибка входа" in cp1251.
    CHECK(login.body.find("\xCE\xF8\xE8\xE1\xEA\xE0 \xE2\xF5\xEE\xE4\xE0") != std::string::npos);
    const Outcome full = Get(services().HttpUrl("/ktvinet/vapi/jstat.jsp?code=full%2Dnolength&pass=x"));
    CHECK(full.body.find("responseValue\":\"ok") == 2);
    CHECK(Get(services().HttpUrl("/ktvinet/vapi/jstat.jsp?code=unavailable&pass=x")).status == 503);
    CHECK(Get(services().HttpUrl("/ktvinet/vapi/jstat.jsp?code=no-such-code&pass=x")).status == 404);
}
