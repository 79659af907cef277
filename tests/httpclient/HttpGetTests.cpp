// The client's GET road and its response through real WinInet under Wine, against the local test
// services: what the servers saw, ports and object names, bodies with and without a length, the
// header cache, the failure codes with their Windows errors, and every HINTERNET counted from its
// creation to its close by the WinInet spy.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "httpclient/HttpClient.h"
#include "httpclient/HttpEncoder.h"
#include "tests/httpclient/RaisedClientError.h"
#include "tests/httpclient/WinInetSpy.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"

using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;
using httptest::Catch;
using httptest::Raised;

namespace {

using Client = Tarvo::CHttpClientT<Tarvo::CHttpToolA, Tarvo::CHttpEncoderA>;
using Response = Client::Response;
using ResponsePtr = std::unique_ptr<Response>;

// The internal operations of the GET road, for the cases that drive them one by one.
class TestClient : public Client {
public:
    using Client::MakeGetUrl;
    using Client::MakeGetUrlLen;
    using Client::OpenConnection;
    using Client::OpenRequest;
    using Client::AddRequestHeader;
    using Client::ApplyProxyAccount;
    using Client::m_szBoundary;
    using Client::m_szEncodedBoundary;
    using Client::m_szMultipartContentType;
    using Client::m_szProxyName;
    using Client::m_szProxyPassword;
    using Client::m_szUserAgent;
};

std::string ReadAll(Response& response, DWORD chunk = 1000) {
    std::string body;
    std::vector<BYTE> buffer(chunk);
    while (DWORD read = response.ReadContent(buffer.data(), chunk)) body.append(buffer.begin(), buffer.begin() + read);
    return body;
}

// The header lines that reached WinInet, in the order they were added.
std::vector<std::string> AddedHeaderLines(const WinInetSpy& spy) {
    std::vector<std::string> lines;
    for (const auto& r : spy.CallsOf(WinInetCall::HttpAddRequestHeaders)) lines.push_back(r.text);
    return lines;
}

std::vector<HINTERNET> ClosedHandles(const WinInetSpy& spy) {
    std::vector<HINTERNET> closed;
    for (const auto& r : spy.CallsOf(WinInetCall::InternetCloseHandle)) closed.push_back(r.handle);
    return closed;
}

// The handles that one GET created: internet, connection, request.
std::vector<HINTERNET> CreatedHandles(const WinInetSpy& spy) {
    std::vector<HINTERNET> created;
    for (const auto& r : spy.Calls())
        if (r.result) created.push_back(r.result);
    return created;
}

void CheckAllClosed(const WinInetSpy& spy) {
    CHECK(spy.OpenHandles().empty());
    CHECK(spy.StrayCloses() == 0);
}

const Services& Svc() { return Services::Get(); }

}  // namespace

TEST_CASE("a GET over HTTP sends the request line and headers that the server records") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    {
        Client client;
        client.AddHeader("X-Tarvo-b", "second name");
        client.AddHeader("x-tarvo-a", "one");
        client.AddHeader("X-TARVO-A", "two");
        ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/echo?" + token).c_str(), false));
        const std::string echoed = ReadAll(*response);
        CHECK(echoed.find("GET /echo?" + token + " HTTP/1.1\r\n") == 0);
    }
    CheckAllClosed(spy);

    const auto records = Svc().Requests(token, "http");
    REQUIRE(records.size() == 1);
    const auto& seen = records[0];
    CHECK(seen.requestLine == "GET /echo?" + token + " HTTP/1.1");
    CHECK(seen.HeaderValues("User-Agent") == std::vector<std::string>{"Tarvo HTTP Client Class"});
    CHECK(seen.HeaderValues("Cache-Control") == std::vector<std::string>{"no-cache"});
    CHECK(seen.HeaderValues("X-Tarvo-B") == std::vector<std::string>{"second name"});
    // Case variants are both sent, in the order they were added, next to each other.
    std::vector<std::string> tarvo;
    for (const auto& [name, value] : seen.headers)
        if (_strnicmp(name.c_str(), "X-Tarvo-", 8) == 0) tarvo.push_back(name + ": " + value);
    CHECK(tarvo == std::vector<std::string>{"x-tarvo-a: one", "X-TARVO-A: two", "X-Tarvo-b: second name"});

    // WinInet received Cache-Control first, then the map in its order.
    CHECK(AddedHeaderLines(spy) == std::vector<std::string>{"Cache-Control: no-cache\r\n", "x-tarvo-a: one\r\n",
                                                            "X-TARVO-A: two\r\n", "X-Tarvo-b: second name\r\n"});
    for (const auto& r : spy.CallsOf(WinInetCall::HttpAddRequestHeaders)) CHECK(r.flags == HTTP_ADDREQ_FLAG_ADD);
}

TEST_CASE("use cache decides the request flags and whether Cache-Control: no-cache is sent") {
    struct Case {
        bool useCache;
        DWORD flags;
        bool noCacheHeader;
    };
    for (const Case c : {Case{true, 0x00400E00, false}, Case{false, 0x84400F00, true}}) {
        CAPTURE(c.useCache);
        WinInetSpy spy;
        const std::string token = Services::UniqueToken();
        Client client;
        ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/echo?" + token).c_str(), c.useCache));
        ReadAll(*response);
        const auto opens = spy.CallsOf(WinInetCall::HttpOpenRequest);
        REQUIRE(opens.size() == 1);
        CHECK(opens[0].text == "GET");
        CHECK(opens[0].flags == c.flags);
        const auto records = Svc().Requests(token, "http");
        REQUIRE(records.size() == 1);
        CHECK(records[0].HeaderValues("Cache-Control").empty() == !c.noCacheHeader);
    }
}

TEST_CASE("a GET over HTTPS to the trusted server connects to its port with INTERNET_FLAG_SECURE") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    {
        Client client;
        ResponsePtr response(client.SendGetRequest(Svc().HttpsUrl("/echo?" + token).c_str(), false));
        CHECK(ReadAll(*response).find("GET /echo?" + token + " HTTP/1.1\r\n") == 0);
        const auto connects = spy.CallsOf(WinInetCall::InternetConnect);
        REQUIRE(connects.size() == 1);
        CHECK(connects[0].text == "localhost");
        CHECK(connects[0].number == Svc().Port("https"));
        CHECK((spy.CallsOf(WinInetCall::HttpOpenRequest)[0].flags & INTERNET_FLAG_SECURE) != 0);
    }
    CheckAllClosed(spy);
    CHECK(Svc().Requests(token, "https").size() == 1);
}

TEST_CASE("ports, object names and the secure flag follow the URL") {
    // The request is stopped at HttpSendRequestA, so no host need exist: only what the client
    // passed to WinInet is checked.
    struct Case {
        const char* url;
        int code;  // 0: the request reaches HttpSendRequestA
        unsigned port;
        const char* object;
        bool secure;
    };
    const Case cases[] = {
        {"http://example.invalid", 0, 80, "/", false},
        {"HtTpS://example.invalid", 0, 443, "/", true},
        {"https://example.invalid:8443/a/b?c=d", 0, 8443, "/a/b?c=d", true},
        {"httpx://example.invalid/p", 0, 80, "/p", false},
        {"example.invalid/p", 0, 80, "/p", false},
        {"http://example.invalid?q=1", 0, 80, "/?q=1", false},
        {"http://example.invalid:/p", 0, 80, "/p", false},
        {"https://example.invalid:/p", 0, 443, "/p", true},
        {"http://example.invalid:0/", 0, 0, "/", false},
        {"http://example.invalid:65535/", 0, 65535, "/", false},
        {"http://example.invalid:65536/", 107, 0, nullptr, false},
        {"http://example.invalid:8a/", 107, 0, nullptr, false},
        {"http://example.invalid:000080/", 107, 0, nullptr, false},
        {"http://:8080/", 103, 0, nullptr, false},
        {"http:///path", 103, 0, nullptr, false},
        {"http://:99999/", 107, 0, nullptr, false},
        {"", 103, 0, nullptr, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.url);
        WinInetSpy spy;
        spy.FailNext(WinInetCall::HttpSendRequest, ERROR_INTERNET_CANNOT_CONNECT);
        Client client;
        Raised r = Catch([&] { delete client.SendGetRequest(c.url, true); });
        REQUIRE(r.thrown);
        if (c.code) {
            CHECK(r.code == c.code);
            CHECK(r.win32 == 0);
            CHECK(spy.Count(WinInetCall::InternetConnect) == 0);
        } else {
            CHECK(r.code == 406);
            CHECK(r.win32 == ERROR_INTERNET_CANNOT_CONNECT);
            const auto connects = spy.CallsOf(WinInetCall::InternetConnect);
            REQUIRE(connects.size() == 1);
            CHECK(connects[0].text == "example.invalid");
            CHECK(connects[0].number == c.port);
            const auto opens = spy.CallsOf(WinInetCall::HttpOpenRequest);
            REQUIRE(opens.size() == 1);
            CHECK(opens[0].text2 == c.object);
            CHECK(((opens[0].flags & INTERNET_FLAG_SECURE) != 0) == c.secure);
        }
        CheckAllClosed(spy);
    }
}

TEST_CASE("a response without Content-Length reads whole, chunked or until the connection closes") {
    for (const char* path : {"/nolength", "/chunked"}) {
        CAPTURE(path);
        WinInetSpy spy;
        {
            Client client;
            const std::string url = Svc().HttpUrl(std::string(path) + "?size=3000&t=" + Services::UniqueToken());
            ResponsePtr response(client.SendGetRequest(url.c_str(), false));
            DWORD length = 0xDEADBEEF;
            CHECK(response->GetContentLength(&length) == FALSE);
            const std::string body = ReadAll(*response, 700);
            CHECK(body.size() == 3000);
            CHECK(body.substr(0, 12) == "0123456789AB");
            BYTE byte;
            CHECK(response->ReadContent(&byte, 1) == 0);
            CHECK(response->ReadContent(&byte, 1) == 0);
        }
        CheckAllClosed(spy);
    }
}

TEST_CASE("GetContentLength gives the length of a response that has one") {
    Client client;
    ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/body?size=1234").c_str(), false));
    DWORD length = 0;
    CHECK(response->GetContentLength(&length) == TRUE);
    CHECK(length == 1234);
    CHECK(ReadAll(*response).size() == 1234);
}

TEST_CASE("a header that occurs twice is read in order, the second time from the cache") {
    WinInetSpy spy;
    Client client;
    ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/header-twice").c_str(), false));
    const size_t queriesBefore = spy.Count(WinInetCall::HttpQueryInfo);
    REQUIRE(response->GetHeader("X-Twice", 0) != nullptr);
    CHECK(std::string(response->GetHeader("X-Twice", 0)) == "first");
    const size_t queriesAfterLoad = spy.Count(WinInetCall::HttpQueryInfo);
    CHECK(queriesAfterLoad > queriesBefore);
    CHECK(std::string(response->GetHeader("x-twice", 1)) == "second");
    CHECK(response->GetHeader("X-TWICE", 2) == nullptr);
    const char* first = response->GetHeader("x-Twice");
    CHECK(std::string(first) == "first");
    CHECK(spy.Count(WinInetCall::HttpQueryInfo) == queriesAfterLoad);

    // An absent header is not cached: every query asks WinInet again.
    CHECK(response->GetHeader("X-Absent") == nullptr);
    const size_t afterAbsent = spy.Count(WinInetCall::HttpQueryInfo);
    CHECK(response->GetHeader("X-Absent") == nullptr);
    CHECK(spy.Count(WinInetCall::HttpQueryInfo) > afterAbsent);
    CHECK(ReadAll(*response) == "two headers\n");
}

TEST_CASE("a header is cached completely or not at all") {
    WinInetSpy spy;
    Client client;
    ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/header-twice").c_str(), false));
    // The query for the second occurrence fails: nothing of the header stays cached.
    spy.FailNext(WinInetCall::HttpQueryInfo, ERROR_INTERNET_INTERNAL_ERROR, 1);
    Raised r = Catch([&] { response->GetHeader("X-Twice", 0); });
    CHECK(r.thrown);
    CHECK(r.code == 400);
    CHECK(r.win32 == ERROR_INTERNET_INTERNAL_ERROR);
    const size_t queries = spy.Count(WinInetCall::HttpQueryInfo);
    CHECK(std::string(response->GetHeader("X-Twice", 1)) == "second");
    CHECK(spy.Count(WinInetCall::HttpQueryInfo) > queries);
}

TEST_CASE("deleting the response closes request, connection and internet handle, in this order") {
    WinInetSpy spy;
    Client client;
    Response* response = client.SendGetRequest(Svc().HttpUrl("/status/204").c_str(), false);
    const auto created = CreatedHandles(spy);
    REQUIRE(created.size() == 3);
    CHECK(spy.OpenHandles().size() == 3);
    delete response;
    CHECK(ClosedHandles(spy) == std::vector<HINTERNET>{created[2], created[1], created[0]});
    CheckAllClosed(spy);
    // The client is still usable: each GET has its own session.
    ResponsePtr again(client.SendGetRequest(Svc().HttpUrl("/status/200").c_str(), false));
    CHECK(spy.OpenHandles().size() == 3);
}

TEST_CASE("a response given no session handles closes only its request handle") {
    WinInetSpy spy;
    TestClient client;
    HINTERNET internet = ::InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = client.OpenConnection(internet, Svc().HttpUrl("/").c_str(), nullptr, nullptr);
    HINTERNET request = client.OpenRequest(connection, "GET", Svc().HttpUrl("/status/200").c_str(), 0, nullptr);
    Tarvo::CHttpToolA::SendRequest(request, nullptr);
    delete new Response(nullptr, nullptr, request);
    CHECK(ClosedHandles(spy) == std::vector<HINTERNET>{request});
    CHECK(spy.OpenHandles() == std::vector<HINTERNET>{internet, connection});
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(internet);
    CheckAllClosed(spy);
}

TEST_CASE("the failure codes of the GET road carry their Windows errors and leave no handle open") {
    struct Case {
        const char* name;
        std::string url;
        int code;
        DWORD win32;
    };
    const Case cases[] = {
        {"refused connection", Svc().RefusedUrl("/"), 406, ERROR_INTERNET_CANNOT_CONNECT},
        {"self-signed certificate", Svc().SelfSignedUrl("/"), 406, ERROR_INTERNET_INVALID_CA},
        {"certificate of an unknown CA", Svc().UnknownCaUrl("/"), 406, ERROR_INTERNET_SEC_CERT_REV_FAILED},
        {"bad port", "http://127.0.0.1:123456/", 107, 0},
        {"no host", "http:///", 103, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        WinInetSpy spy;
        Client client;
        Raised r = Catch([&] { delete client.SendGetRequest(c.url.c_str(), false); });
        CHECK(r.thrown);
        CHECK(r.code == c.code);
        CHECK(r.win32 == c.win32);
        CHECK(r.message == Tarvo::GetHttpClientErrorMessageA(c.code));
        CheckAllClosed(spy);
    }
}

TEST_CASE("a failure at each WinInet step gives its code and closes what the request opened") {
    struct Case {
        WinInetCall call;
        int skip;
        int code;
        bool account;
        bool timeout = false;
    };
    const Case cases[] = {
        {WinInetCall::InternetOpen, 0, 402, false},
        {WinInetCall::InternetConnect, 0, 403, false},
        {WinInetCall::InternetSetOption, 0, 410, true},
        {WinInetCall::InternetSetOption, 1, 410, true},
        {WinInetCall::InternetSetOption, 0, 410, false, true},  // the connection's first time-out
        {WinInetCall::InternetSetOption, 5, 410, false, true},  // the request's last
        {WinInetCall::HttpOpenRequest, 0, 404, false},
        {WinInetCall::HttpAddRequestHeaders, 0, 405, false},
        {WinInetCall::HttpAddRequestHeaders, 1, 405, false},
        {WinInetCall::HttpSendRequest, 0, 406, false},
    };
    for (const Case& c : cases) {
        CAPTURE(testsupport::WinInetCallName(c.call));
        CAPTURE(c.skip);
        CAPTURE(c.timeout);
        WinInetSpy spy;
        Client client;
        client.AddHeader("X-One", "1");
        if (c.account) client.SetProxyAccount("user", "secret");
        if (c.timeout) client.SetTimeout(5000);
        spy.FailNext(c.call, ERROR_INTERNET_TIMEOUT, c.skip);
        Raised r = Catch([&] { delete client.SendGetRequest(Svc().HttpUrl("/status/200").c_str(), false); });
        CHECK(r.thrown);
        CHECK(r.code == c.code);
        CHECK(r.win32 == ERROR_INTERNET_TIMEOUT);
        CheckAllClosed(spy);
        // The failed request's handles are closed request first.
        const auto created = CreatedHandles(spy);
        CHECK(ClosedHandles(spy) == std::vector<HINTERNET>(created.rbegin(), created.rend()));
        // The same client sends the next request.
        ResponsePtr next(client.SendGetRequest(Svc().HttpUrl("/status/200").c_str(), false));
        CHECK(next != nullptr);
    }
}

TEST_CASE("time-outs go on every connection and request the client opens, not on its session; none by default") {
    // The time-out options each handle received, as (handle, option, value) in call order.
    struct Set {
        HINTERNET handle;
        DWORD option;
        DWORD value;
        bool operator==(const Set& o) const { return handle == o.handle && option == o.option && value == o.value; }
    };
    const auto timeoutsSet = [](const WinInetSpy& spy) {
        std::vector<Set> set;
        for (const auto& r : spy.CallsOf(WinInetCall::InternetSetOption)) {
            set.push_back({r.handle, r.number, OptionDword(r)});
        }
        return set;
    };
    const auto expected = [](HINTERNET connection, HINTERNET request, DWORD ms) {
        std::vector<Set> set;
        for (HINTERNET handle : {connection, request})
            for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
                set.push_back({handle, option, ms});
        return set;
    };
    Client client;
    client.AddParam("a", "b");  // a body for the POST
    CHECK(client.GetTimeout() == 0);
    struct Row {
        DWORD timeout;
        bool post;
    };
    for (const Row& row : {Row{0, false}, Row{4000, false}, Row{4000, true}, Row{0, true}}) {
        CAPTURE(row.timeout);
        CAPTURE(row.post);
        WinInetSpy spy;
        client.SetTimeout(row.timeout);
        CHECK(client.GetTimeout() == row.timeout);
        const std::string url = Svc().HttpUrl("/echo");
        ResponsePtr response;
        if (row.post) {
            client.BeginPostRequest(url.c_str(), false);
            while (!response) response.reset(client.ProceedRequest(1024));
        } else {
            response.reset(client.SendGetRequest(url.c_str(), false));
        }
        CHECK(!ReadAll(*response).empty());
        const auto connections = spy.CallsOf(WinInetCall::InternetConnect);
        const auto requests = spy.CallsOf(WinInetCall::HttpOpenRequest);
        REQUIRE(connections.size() == 1);
        REQUIRE(requests.size() == 1);
        if (row.timeout)
            CHECK(timeoutsSet(spy) == expected(connections[0].result, requests[0].result, row.timeout));
        else
            CHECK(timeoutsSet(spy).empty());
        response.reset();
        CheckAllClosed(spy);
    }
}

TEST_CASE("the internet options reach InternetOpenA; the default agent stands in for none") {
    WinInetSpy spy;
    Client client;
    spy.FailNext(WinInetCall::InternetConnect, ERROR_INTERNET_INTERNAL_ERROR);
    Catch([&] { delete client.SendGetRequest("http://example.invalid/", false); });
    client.SetInternetOptions("Agent/1.0", INTERNET_OPEN_TYPE_PROXY, "127.0.0.1:1", "<local>", 0);
    spy.FailNext(WinInetCall::InternetConnect, ERROR_INTERNET_INTERNAL_ERROR);
    Catch([&] { delete client.SendGetRequest("http://example.invalid/", false); });
    client.SetInternetOptions(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    spy.FailNext(WinInetCall::InternetConnect, ERROR_INTERNET_INTERNAL_ERROR);
    Catch([&] { delete client.SendGetRequest("http://example.invalid/", false); });

    const auto opens = spy.CallsOf(WinInetCall::InternetOpen);
    REQUIRE(opens.size() == 3);
    CHECK(opens[0].text == "Tarvo HTTP Client Class");
    CHECK(opens[0].number == INTERNET_OPEN_TYPE_PRECONFIG);
    CHECK(opens[1].text == "Agent/1.0");
    CHECK(opens[1].number == INTERNET_OPEN_TYPE_PROXY);
    CHECK(opens[1].text2 == "127.0.0.1:1");
    CHECK(opens[2].text == "Tarvo HTTP Client Class");
    CHECK(opens[2].number == INTERNET_OPEN_TYPE_DIRECT);
    CHECK(opens[2].text2 == "");
    CheckAllClosed(spy);
}

TEST_CASE("the proxy access type and the proxy account carry the request through the proxy") {
    struct Case {
        bool account;
        int status;
        bool authorized;
    };
    for (const Case c : {Case{true, 200, true}, Case{false, 407, false}}) {
        CAPTURE(c.account);
        WinInetSpy spy;
        const std::string token = Services::UniqueToken();
        {
            Client client;
            client.SetInternetOptions("Agent", INTERNET_OPEN_TYPE_PROXY, Svc().ProxyHostPort().c_str(), nullptr, 0);
            if (c.account) client.SetProxyAccount(Svc().ProxyUser().c_str(), Svc().ProxyPassword().c_str());
            // Wine reuses a kept-alive direct connection to the same host and port even for a
            // session with a proxy, so the proxied requests name the server differently.
            const std::string url = "http://localhost:" + std::to_string(Svc().Port("http")) + "/echo?" + token;
            ResponsePtr response(client.SendGetRequest(url.c_str(), false));
            DWORD status = 0, size = sizeof status;
            const auto opens = spy.CallsOf(WinInetCall::HttpOpenRequest);
            REQUIRE(opens.size() == 1);
            REQUIRE(::HttpQueryInfoA(opens[0].result, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                     nullptr));
            CHECK(status == static_cast<DWORD>(c.status));
            ReadAll(*response);
        }
        CheckAllClosed(spy);
        const auto viaProxy = Svc().Requests(token, "proxy");
        REQUIRE(!viaProxy.empty());
        CHECK(viaProxy.back().authorized == c.authorized);
        if (c.account) {
            CHECK(viaProxy.back().proxyUser == Svc().ProxyUser());
            const auto options = spy.CallsOf(WinInetCall::InternetSetOption);
            REQUIRE(options.size() >= 2);
            CHECK(options[0].number == INTERNET_OPTION_PROXY_USERNAME);
            CHECK(options[0].text == Svc().ProxyUser());
            CHECK(options[1].number == INTERNET_OPTION_PROXY_PASSWORD);
            CHECK(options[1].text == Svc().ProxyPassword());
            CHECK(options[0].handle == spy.CallsOf(WinInetCall::InternetConnect)[0].result);
            CHECK(Svc().Requests(token, "http").size() == 1);
        } else {
            CHECK(spy.Count(WinInetCall::InternetSetOption) == 0);
        }
    }
}

TEST_CASE("SetProxyAccount checks its arguments in order, keeps the old account on a refusal, and clears it "
          "for a null user name") {
    WinInetSpy spy;
    TestClient client;
    client.SetProxyAccount("user", "pw");
    httptest::CheckRefusals({
        {"CHttpClientT::SetProxyAccount: szUserName can not be an empty string.",
         [&] { client.SetProxyAccount("", nullptr); }},
        {"CHttpClientT::SetProxyAccount: szPassword can not be NULL.", [&] { client.SetProxyAccount("u", nullptr); }},
        {"CHttpClientT::SetProxyAccount: szPassword can not be an empty string.",
         [&] { client.SetProxyAccount("u", ""); }},
    });
    HINTERNET internet = ::InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, "example.invalid", 80, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0);
    client.ApplyProxyAccount(connection);
    client.SetProxyAccount("user", "pw2");
    client.ApplyProxyAccount(connection);
    std::vector<std::string> applied;
    for (const auto& r : spy.CallsOf(WinInetCall::InternetSetOption)) applied.push_back(r.text);
    CHECK(applied == std::vector<std::string>{"user", "pw", "user", "pw2"});
    CHECK_FALSE(Catch([&] { client.SetProxyAccount(nullptr, nullptr); }).thrown);
    client.ApplyProxyAccount(connection);
    CHECK(spy.Count(WinInetCall::InternetSetOption) == 4);
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(internet);
}

TEST_CASE("a setting text that does not change keeps its block; a changed one is a copy of its own") {
    TestClient client;
    char agent[] = "Agent";
    client.SetInternetOptions(agent, INTERNET_OPEN_TYPE_DIRECT, "proxy:1", nullptr, 0);
    const char* agentBlock = client.m_szUserAgent.get();
    const char* proxyBlock = client.m_szProxyName.get();
    CHECK(agentBlock != agent);
    // The same bytes from another buffer, and the stored pointer itself, keep the block.
    client.SetInternetOptions("Agent", INTERNET_OPEN_TYPE_PROXY, client.m_szProxyName.get(), nullptr, 0);
    CHECK(client.m_szUserAgent.get() == agentBlock);
    CHECK(client.m_szProxyName.get() == proxyBlock);
    agent[0] = 'X';
    CHECK(std::string(client.m_szUserAgent.get()) == "Agent");
    client.SetInternetOptions("Other", INTERNET_OPEN_TYPE_PROXY, nullptr, nullptr, 0);
    CHECK(std::string(client.m_szUserAgent.get()) == "Other");
    CHECK(client.m_szProxyName == nullptr);

    client.SetProxyAccount("user", "pw");
    const char* passwordBlock = client.m_szProxyPassword.get();
    client.SetProxyAccount("other", "pw");
    CHECK(client.m_szProxyPassword.get() == passwordBlock);
}

TEST_CASE("argument checks of the client and the response throw code 0 with their messages") {
    TestClient client;
    Response response(nullptr, nullptr, nullptr);
    BYTE buffer[4];
    DWORD length = 0;
    httptest::CheckRefusals({
        {"CHttpClientT::AddHeader: szName can not be NULL.", [&] { client.AddHeader(nullptr, "v"); }},
        {"CHttpClientT::AddHeader: szName can not be an empty string.", [&] { client.AddHeader("", "v"); }},
        {"CHttpClientT::AddHeader: szValue can not be NULL.", [&] { client.AddHeader("n", nullptr); }},
        {"CHttpClientT::AddHeader: szValue can not be an empty string.", [&] { client.AddHeader("n", ""); }},
        {"CHttpClientT::OpenConnection: hInternet can not be NULL.",
         [&] { client.OpenConnection(nullptr, "http://h/", nullptr, nullptr); }},
        {"CHttpClientT::ApplyProxyAccount: hConnection can not be NULL.", [&] { client.ApplyProxyAccount(nullptr); }},
        {"CHttpClientT::OpenRequest: hConnection can not be NULL.",
         [&] { client.OpenRequest(nullptr, "GET", "http://h/", 0, nullptr); }},
        {"CHttpClientT::AddRequestHeader: hRequest can not be NULL.", [&] { client.AddRequestHeader(nullptr); }},
        {"CHttpClientT::MakeGetUrl: szBuff can not be NULL.", [&] { client.MakeGetUrl(nullptr, "http://h/"); }},
        {"CHttpResponseT::GetHeader: szName can not be NULL.", [&] { response.GetHeader(nullptr, 0); }},
        {"CHttpResponseT::_LoadHeader: m_hRequest can not be NULL.", [&] { response.GetHeader("Server", 0); }},
        {"CHttpResponseT::GetContentLength: m_hRequest can not be NULL.",
         [&] { response.GetContentLength(&length); }},
        {"CHttpResponseT::ReadContent: m_hRequest can not be NULL.", [&] { response.ReadContent(buffer, 4); }},
    });
}

TEST_CASE("ReadContent refuses a null buffer and a zero size on a live response") {
    Client client;
    ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/body?size=10").c_str(), false));
    BYTE buffer[4];
    CHECK(Catch([&] { response->ReadContent(nullptr, 4); }).message ==
          "CHttpResponseT::ReadContent: pbyBuff can not be NULL.");
    CHECK(Catch([&] { response->ReadContent(buffer, 0); }).message ==
          "CHttpResponseT::ReadContent: cbBuff can not be zero.");
    CHECK(ReadAll(*response).size() == 10);
}

TEST_CASE("ProceedRequest after a GET finds no context: code 104; ReleasePostContext does nothing") {
    WinInetSpy spy;
    Client client;
    client.ReleasePostContext();
    Raised r = Catch([&] { client.ProceedRequest(1024); });
    CHECK(r.thrown);
    CHECK(r.code == 104);
    CHECK(r.message == "The post context is not started yet.");
    CHECK(spy.Calls().empty());
}

TEST_CASE("MakeGetUrl appends the parameters to the query, before the fragment, and its size is exact") {
    struct Param {
        const char* name;
        const char* value;
        DWORD flags;
    };
    struct Case {
        const char* url;
        std::vector<Param> params;
        const char* expected;
    };
    const Case cases[] = {
        {"http://h/p", {}, "http://h/p"},
        {"http://h/p", {{"a", "1", 0}}, "http://h/p?a=1"},
        {"http://h", {{"a", "1", 0}}, "http://h/?a=1"},
        {"http://h:81?x=1#frag", {{"b", "2", 0}, {"A", "3", 0}}, "http://h:81/?x=1&A=3&b=2#frag"},
        {"http://h/p?x", {{"n m", "a b&c", 0}}, "http://h/p?x&n+m=a+b%26c"},
        {"http://h/p", {{"n%20m", "a%2Bb", 6}, {"z", nullptr, 0}, {"y", nullptr, 4}}, "http://h/p?n%20m=a%2Bb&y=&z="},
        {"http://h/p", {{"\xc6", "\xc6-", 0}}, "http://h/p?%C6=%C6%2D"},
        {nullptr, {{"a", "1", 0}}, "/?a=1"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.expected);
        TestClient client;
        for (const Param& p : c.params) client.AddParam(p.name, p.value, p.flags);
        const size_t length = client.MakeGetUrlLen(c.url);
        CHECK(length == std::strlen(c.expected));
        std::string buffer(length + 8, '#');
        client.MakeGetUrl(buffer.data(), c.url);
        CHECK(testsupport::HexBytes(buffer.substr(0, length + 1)) ==
              testsupport::HexBytes(std::string(c.expected) + '\0'));
        CHECK(buffer.substr(length + 1) == std::string(7, '#'));
    }
}

TEST_CASE("a GET with parameters sends them in its request line") {
    const std::string token = Services::UniqueToken();
    Client client;
    client.AddParam("token", token.c_str());
    client.AddParam("text", "\xc0 b");
    ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/echo?x=1").c_str(), false));
    ReadAll(*response);
    const auto records = Svc().Requests(token, "http");
    REQUIRE(records.size() == 1);
    CHECK(records[0].requestLine == "GET /echo?x=1&text=%C0+b&token=" + token + " HTTP/1.1");
}

TEST_CASE("each client prepares its own multipart boundary and content type at construction") {
    TestClient one, two;
    for (const TestClient* client : {&one, &two}) {
        REQUIRE(client->m_szBoundary);
        const std::string boundary = client->m_szBoundary.get();
        CHECK(boundary.size() == 43);
        CHECK(boundary.substr(0, 10) == "----KEMPA-");
        CHECK(boundary.find_first_not_of("0123456789abcdef", 10) == 42);
        CHECK(client->m_szEncodedBoundary == client->m_szBoundary.get());
        CHECK(std::string(client->m_szMultipartContentType.get()) == "multipart/form-data; boundary=" + boundary);
    }
    CHECK(std::string(one.m_szBoundary.get()) != two.m_szBoundary.get());
}
