// The WinInet-facing tool functions against real WinInet and the local services on 127.0.0.1:
// header lines as WinInet gets them and as the server records them, header reading with the
// occurrence index (twice, missing, longer than the buffer), status texts, a body written piece by
// piece, and every WinInet failure turned into its code with the Windows error (failures that no
// local server produces are injected by the WinInet spy).
#include <doctest/doctest.h>
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "httpclient/HttpTool.h"
#include "tests/httpclient/ClientErrorCapture.h"
#include "tests/httpclient/WinInetSpy.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"

using namespace Tarvo;
using httptest::ExpectA;
using httptest::ExpectW;
using httptest::Utf8;
using testsupport::HexBytes;
using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;

namespace {

const Services& Svc() { return Services::Get(); }
const DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;

// The three handles of one request, closed in reverse order through the tool.
struct Session {
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;

    Session() {
        internet = CHttpToolA::OpenInternet("tarvo tool tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        connection = CHttpToolA::OpenConnection(internet, "127.0.0.1", Svc().Port("http"));
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() {
        CHttpToolA::CloseRequest(request);
        CHttpToolA::CloseConnection(connection);
        CHttpToolA::CloseInternet(internet);
    }
    HINTERNET Open(const std::string& object, const char* verb = "GET") {
        request = CHttpToolA::OpenRequest(connection, verb, object.c_str(), kFlags);
        return request;
    }
    HINTERNET Get(const std::string& object) {
        Open(object);
        CHttpToolA::SendRequest(request);
        return request;
    }
};

std::string ReadBody(HINTERNET request) {
    std::string body;
    char buffer[1024];
    DWORD read = 0;
    while (::InternetReadFile(request, buffer, sizeof buffer, &read) && read) body.append(buffer, read);
    return body;
}

std::string Take(char* text) {
    REQUIRE(text);
    const std::string result = text;
    std::free(text);
    return result;
}
std::string Take(wchar_t* text) {
    REQUIRE(text);
    const std::string result = Utf8(text);
    std::free(text);
    return result;
}

}  // namespace

TEST_CASE("AddHeader builds name, \": \", value and CRLF, and the server receives the headers") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    std::string echoed;
    {
        Session s;
        s.Open("/echo?" + token);
        CHttpToolA::AddHeader(s.request, "X-Tarvo-Tool", token.c_str());
        CHttpToolA::AddHeader(s.request, "X-Tarvo-Tool", "second");
        CHttpToolA::AddHeader(s.request, "Cache-Control", nullptr);
        CHttpToolA::AddHeader(s.request, "X-Tarvo-Text", "\xC6\xE6");
        CHttpToolA::SendRequest(s.request);
        echoed = ReadBody(s.request);
    }
    std::vector<std::string> lines;
    for (const auto& r : spy.CallsOf(WinInetCall::HttpAddRequestHeaders)) {
        lines.push_back(r.text);
        CHECK(r.flags == static_cast<DWORD>(HTTP_ADDREQ_FLAG_ADD));
    }
    CHECK(lines == std::vector<std::string>{"X-Tarvo-Tool: " + token + "\r\n", "X-Tarvo-Tool: second\r\n",
                                            "Cache-Control: \r\n", "X-Tarvo-Text: \xC6\xE6\r\n"});
    CHECK(echoed.find("GET /echo?" + token + " HTTP/1.1\r\n") == 0);

    const auto records = Svc().Requests(token, "http");
    REQUIRE(records.size() == 1);
    CHECK(records[0].HeaderValues("X-Tarvo-Tool") == std::vector<std::string>{token, "second"});
    CHECK(HexBytes(records[0].HeaderValues("X-Tarvo-Text").at(0)) == HexBytes("\xC6\xE6"));
    CHECK(records[0].HeaderValues("Accept") == std::vector<std::string>{"*/*"});
}

TEST_CASE("AddHeader with an empty name passes \": value\" to WinInet, which decides") {
    WinInetSpy spy;
    Session s;
    s.Open("/echo");
    try {
        CHttpToolA::AddHeader(s.request, "", "value");
    } catch (const httpclientexceptionA& e) {
        CHECK(e.GetErrorCode() == 405);  // WinInet may refuse the line; that is its 405, not a check
        CHECK(e.GetLastWin32Error() != 0u);
    }
    const auto calls = spy.CallsOf(WinInetCall::HttpAddRequestHeaders);
    REQUIRE(calls.size() == 1);
    CHECK(calls[0].text == ": value\r\n");
}

TEST_CASE("GetHeader reads occurrences by index and restores the index when there is none") {
    Session s;
    s.Get("/header-twice");

    DWORD index = 0;
    CHECK(Take(CHttpToolA::GetHeader(s.request, "X-Twice", &index)) == "first");
    CHECK(index == 1u);
    CHECK(Take(CHttpToolA::GetHeader(s.request, "x-twice", &index)) == "second");
    CHECK(index == 2u);
    CHECK(CHttpToolA::GetHeader(s.request, "X-Twice", &index) == nullptr);
    CHECK(index == 2u);

    // Without an index: the first occurrence. A header that is missing: null, index untouched.
    CHECK(Take(CHttpToolA::GetHeader(s.request, "X-TWICE")) == "first");
    DWORD untouched = 0;
    CHECK(CHttpToolA::GetHeader(s.request, "X-Missing", &untouched) == nullptr);
    CHECK(untouched == 0u);
    untouched = 1;
    CHECK(CHttpToolA::GetHeader(s.request, "X-Missing", &untouched) == nullptr);
    CHECK(untouched == 1u);
    CHECK(CHttpToolA::GetHeader(s.request, "X-Missing") == nullptr);

    // The wide twin, on the same request.
    DWORD wideIndex = 0;
    CHECK(Take(CHttpToolW::GetHeader(s.request, L"X-Twice", &wideIndex)) == "first");
    CHECK(Take(CHttpToolW::GetHeader(s.request, L"X-Twice", &wideIndex)) == "second");
    CHECK(CHttpToolW::GetHeader(s.request, L"X-Twice", &wideIndex) == nullptr);
    CHECK(wideIndex == 2u);
}

TEST_CASE("GetHeader values longer and shorter than the name's buffer") {
    const std::string longValue(3000, 'v');
    struct Row {
        std::string name;
        std::string value;
    };
    const std::vector<Row> rows = {
        {"X-L", longValue},                         // needs the second query (122)
        {"X-Rather-Long-Header-Name", "v"},         // fits the name's own buffer at once
        {"X-Exact", "1234567"},                     // value as long as the name
        {"X-Empty", ""},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        Session s;
        s.Get("/headers?" + row.name + "=" + row.value);
        CHECK(Take(CHttpToolA::GetHeader(s.request, row.name.c_str())) == row.value);
        const std::wstring wideName(row.name.begin(), row.name.end());
        CHECK(Take(CHttpToolW::GetHeader(s.request, wideName.c_str())) == row.value);
    }
}

TEST_CASE("GetStatusText gives the server's reason phrase") {
    struct Row {
        const char* path;
        const char* text;
    };
    for (const Row row : {Row{"/status/200", "OK"}, Row{"/status/404", "Not Found"},
                          Row{"/status/503", "Service Unavailable"}, Row{"/nowhere", "Not Found"}}) {
        CAPTURE(row.path);
        Session s;
        s.Get(row.path);
        CHECK(Take(CHttpToolA::GetStatusText(s.request)) == row.text);
        CHECK(Take(CHttpToolW::GetStatusText(s.request)) == row.text);
    }
}

TEST_CASE("a body sent with SendRequestEx and written piece by piece arrives whole") {
    const std::string token = Services::UniqueToken();
    std::string body;
    for (int i = 0; i < 5000; ++i) body += static_cast<char>('a' + i % 26);
    Session s;
    s.Open("/echo?" + token, "POST");
    CHttpToolA::SendRequestEx(s.request, static_cast<DWORD>(body.size()));
    const BYTE* bytes = reinterpret_cast<const BYTE*>(body.data());
    CHttpToolA::InternetWriteFile(s.request, bytes, 1000);
    CHECK(CHttpToolW::InternetWriteFile(s.request, bytes + 1000, 3000) == 3000u);
    CHttpToolA::InternetWriteFile(s.request, bytes + 4000, 1000);
    CHttpToolA::EndRequest(s.request);
    const std::string echoed = ReadBody(s.request);
    CHECK(echoed.find("POST /echo?" + token + " HTTP/1.1\r\n") == 0);
    CHECK(echoed.size() > body.size());
    CHECK(echoed.substr(echoed.size() - body.size()) == body);
    const auto records = Svc().Requests(token, "http");
    REQUIRE(records.size() == 1);
    CHECK(records[0].body == body);
}

TEST_CASE("SendRequest carries optional data; the wide road converts through the code page") {
    const std::string token = Services::UniqueToken();
    {
        Session s;
        s.Open("/echo?" + token + "a", "POST");
        CHttpToolA::SendRequest(s.request, "name=\xC6");
    }
    HINTERNET internet = CHttpToolW::OpenInternet(L"tarvo wide", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = CHttpToolW::OpenConnection(internet, L"127.0.0.1", Svc().Port("http"));
    const std::wstring object = L"/echo?" + std::wstring(token.begin(), token.end()) + L"w";
    HINTERNET request = CHttpToolW::OpenRequest(connection, L"POST", object.c_str(), kFlags, nullptr, 1251);
    CHttpToolW::AddHeader(request, L"X-Wide", L"\x0416", 1251);
    CHttpToolW::SendRequest(request, L"v=\x0436", 1251);
    CHECK(Take(CHttpToolW::GetStatusText(request)) == "OK");
    CHttpToolW::CloseRequest(request);
    CHttpToolW::CloseConnection(connection);
    CHttpToolW::CloseInternet(internet);
    CHECK(request == nullptr);
    CHECK(internet == nullptr);
    CHttpToolA::CloseInternet(internet);  // closing an empty variable does nothing

    auto records = Svc().Requests(token + "a", "http");
    REQUIRE(records.size() == 1);
    CHECK(HexBytes(records[0].body) == HexBytes("name=\xC6"));
    records = Svc().Requests(token + "w", "http");
    REQUIRE(records.size() == 1);
    CHECK(records[0].requestLine == "POST /echo?" + token + "w HTTP/1.1");
    CHECK(HexBytes(records[0].HeaderValues("X-Wide").at(0)) == HexBytes("\xC6"));
    CHECK(HexBytes(records[0].body) == HexBytes("v=\xE6"));
}

TEST_CASE("WinInet failures raise the call's code with the Windows error") {
    // A refused port: the send fails.
    {
        HINTERNET internet = CHttpToolA::OpenInternet(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        HINTERNET connection = CHttpToolA::OpenConnection(internet, "127.0.0.1", Svc().Port("refused"));
        HINTERNET request = CHttpToolA::OpenRequest(connection, "GET", "/", kFlags);
        const auto e = ExpectA([&] { CHttpToolA::SendRequest(request); });
        CHECK(e.GetErrorCode() == 406);
        CHECK(e.GetLastWin32Error() == static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
        CHECK(std::string(e.GetErrorMessage()) == "::HttpSendRequest failed.");
        // Nothing was received: a status query fails with WinInet's error, not a crash.
        const auto q = ExpectA([&] { CHttpToolA::GetStatusText(request); });
        CHECK(q.GetErrorCode() == 400);
        CHECK(q.GetLastWin32Error() != 0u);
        CHttpToolA::CloseRequest(request);
        CHttpToolA::CloseConnection(connection);
        CHttpToolA::CloseInternet(internet);
    }
    // An option with a buffer of the wrong length is refused; a good one is set.
    {
        Session s;
        DWORD timeout = 5000;
        const auto o = ExpectA([&] { CHttpToolA::SetOption(s.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, 1); });
        CHECK(o.GetErrorCode() == 410);
        CHECK(o.GetLastWin32Error() == static_cast<DWORD>(ERROR_INVALID_PARAMETER));  // what Wine reports
        CHECK(std::string(o.GetErrorMessage()) == "::InternetSetOption failed.");
        CHECK(ExpectW([&] { CHttpToolW::SetOption(s.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, 1); })
                  .GetErrorCode() == 410);
        CHttpToolA::SetOption(s.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        CHttpToolW::SetOption(s.connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    }

    struct Row {
        WinInetCall call;
        int code;
        DWORD error;
        int skip;
    };
    const Row rows[] = {
        {WinInetCall::InternetOpen, 402, ERROR_NOT_ENOUGH_MEMORY, 0},
        {WinInetCall::InternetConnect, 403, ERROR_INTERNET_INVALID_URL, 0},
        {WinInetCall::HttpOpenRequest, 404, ERROR_INTERNET_INCORRECT_HANDLE_TYPE, 0},
        {WinInetCall::HttpAddRequestHeaders, 405, ERROR_INVALID_PARAMETER, 0},
        {WinInetCall::HttpSendRequest, 406, ERROR_INTERNET_NAME_NOT_RESOLVED, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(testsupport::WinInetCallName(row.call));
        WinInetSpy spy;
        spy.FailNext(row.call, row.error, row.skip);
        HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
        const auto e = ExpectA([&] {
            internet = CHttpToolA::OpenInternet(nullptr, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
            connection = CHttpToolA::OpenConnection(internet, "127.0.0.1", Svc().Port("http"));
            request = CHttpToolA::OpenRequest(connection, "GET", "/status/200", kFlags);
            CHttpToolA::AddHeader(request, "X-Any", "1");
            CHttpToolA::SendRequest(request);
        });
        CHECK(e.GetErrorCode() == row.code);
        CHECK(e.GetLastWin32Error() == row.error);
        CHECK(std::string(e.GetErrorMessage()) == GetHttpClientErrorMessageA(row.code));
        CHttpToolA::CloseRequest(request);
        CHttpToolA::CloseConnection(connection);
        CHttpToolA::CloseInternet(internet);
    }
}

TEST_CASE("the wide tools report a failure of the narrow call they delegate to as a wide exception") {
    Session s;
    for (WinInetCall call : {WinInetCall::HttpOpenRequest, WinInetCall::HttpAddRequestHeaders}) {
        CAPTURE(testsupport::WinInetCallName(call));
        WinInetSpy spy;
        spy.FailNext(call, ERROR_INTERNET_INTERNAL_ERROR);
        HINTERNET request = nullptr;
        const auto e = ExpectW([&] {
            request = CHttpToolW::OpenRequest(s.connection, L"GET", L"/\x0416", kFlags, nullptr, 1251);
            CHttpToolW::AddHeader(request, L"X-Wide", L"\x0416", 1251);
        });
        CHECK(e.GetErrorCode() == (call == WinInetCall::HttpOpenRequest ? 404 : 405));
        CHECK(e.GetLastWin32Error() == static_cast<DWORD>(ERROR_INTERNET_INTERNAL_ERROR));
        CHECK(Utf8(e.GetErrorMessage()) == GetHttpClientErrorMessageA(e.GetErrorCode()));
        if (call == WinInetCall::HttpAddRequestHeaders) {
            // The converted texts reached the narrow call in the code page.
            const auto lines = spy.CallsOf(WinInetCall::HttpAddRequestHeaders);
            REQUIRE(lines.size() == 1);
            CHECK(HexBytes(lines[0].text) == HexBytes("X-Wide: \xC6\r\n"));
            CHECK(HexBytes(spy.CallsOf(WinInetCall::HttpOpenRequest).at(0).text2) == HexBytes("/\xC6"));
        }
        CHttpToolW::CloseRequest(request);
    }
}

TEST_CASE("a failing header query raises 400 and gives the caller's index back") {
    Session s;
    s.Get("/header-twice");
    WinInetSpy spy;
    DWORD index = 1;
    spy.FailNext(WinInetCall::HttpQueryInfo, ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    auto e = ExpectA([&] { CHttpToolA::GetHeader(s.request, "X-Twice", &index); });
    CHECK(e.GetErrorCode() == 400);
    CHECK(e.GetLastWin32Error() == static_cast<DWORD>(ERROR_INTERNET_INCORRECT_HANDLE_TYPE));
    CHECK(index == 1u);
    spy.FailNext(WinInetCall::HttpQueryInfo, ERROR_INTERNET_INTERNAL_ERROR);
    e = ExpectA([&] { CHttpToolA::GetStatusText(s.request); });
    CHECK(e.GetErrorCode() == 400);
    CHECK(e.GetLastWin32Error() == static_cast<DWORD>(ERROR_INTERNET_INTERNAL_ERROR));
    CHECK(Take(CHttpToolA::GetHeader(s.request, "X-Twice", &index)) == "second");
    CHECK(index == 2u);
}
