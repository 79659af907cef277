// The client's POST and upload contexts through real WinInet under Wine, against the local test
// services: the bodies the server received, byte for byte, against the bodies the algorithms
// build; what each ProceedRequest call wrote and where the progress counters stand after it; the
// response of the last call; and the failure paths, after each of which the context has ended,
// every handle it owned is closed (the WinInet spy counts them, the files are free again) and the
// client serves another GET.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

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

using httptest::Catch;
using httptest::Raised;
using testsupport::HexBytes;
using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;

namespace {

using Client = Tarvo::CHttpClientT<Tarvo::CHttpToolA, Tarvo::CHttpEncoderA>;
using Response = Client::Response;
using ResponsePtr = std::unique_ptr<Response>;
constexpr DWORD kFile = Tarvo::HTTPCLIENT_PARAM_FILE;
constexpr DWORD kReadChunk = 57344;
const char kDefaultBoundary[] = "----TARVO-FB3B405B7EAE495aB0C0295C54D4E096-";

class TestClient : public Client {
public:
    using Client::_ReleasePostResponse;
    using Client::StartPostContext;
    using Client::_WritePost;
    using Client::m_ahPostFiles;
    using Client::m_bUseUtf8;
    using Client::m_hPostConnection;
    using Client::m_hPostInternet;
    using Client::m_hPostRequest;
    using Client::m_szBoundary;
    using Client::m_szEncodedBoundary;
    using Client::m_szMultipartContentType;
};

const Services& Svc() { return Services::Get(); }

// A file to upload below the build tree, removed at the end of the test.
class UploadFile {
public:
    UploadFile(const std::string& name, const std::string& content)
        : m_path(testsupport::BuildFile("tests/httpclient/" + name)) {
        HANDLE h = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        REQUIRE(h != INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
        REQUIRE(written == content.size());
    }
    ~UploadFile() { ::DeleteFileA(m_path.c_str()); }
    const char* path() const { return m_path.c_str(); }
    // No handle is open on the file: it can be opened for writing without sharing.
    bool Free() const {
        HANDLE h = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        ::CloseHandle(h);
        return true;
    }

private:
    std::string m_path;
};

// A GIF signature (so the MIME detection names the type), then every byte value over and over.
std::string GifContent(size_t size) {
    std::string content = "GIF89a";
    for (size_t i = content.size(); i < size; ++i) content += static_cast<char>(i % 256);
    return content;
}

std::string ReadAll(Response& response) {
    std::string text;
    BYTE buffer[4096];
    while (DWORD read = response.ReadContent(buffer, sizeof buffer)) text.append(buffer, buffer + read);
    return text;
}

std::vector<std::string> Writes(const WinInetSpy& spy, size_t from = 0) {
    std::vector<std::string> pieces;
    const auto writes = spy.CallsOf(WinInetCall::InternetWriteFile);
    for (size_t i = from; i < writes.size(); ++i) pieces.push_back(writes[i].text);
    return pieces;
}

void CheckSameBytes(const std::string& actual, const std::string& expected) {
    if (expected.size() <= 512) {
        CHECK(HexBytes(actual) == HexBytes(expected));
    } else {
        CHECK(actual.size() == expected.size());
        CHECK((actual == expected));
    }
}

void CheckAllClosed(const WinInetSpy& spy) {
    CHECK(spy.OpenHandles().empty());
    CHECK(spy.StrayCloses() == 0);
}

// What one ProceedRequest call writes, and the counters after it.
struct Step {
    std::string writes;
    DWORD postedCount;
    DWORD postedFileCount;
    bool isFile;
    DWORD currTotal;
    DWORD currPosted;
};

std::string BodyOf(const std::vector<Step>& steps) {
    std::string body;
    for (const Step& s : steps) body += s.writes;
    return body;
}

// Runs one call per step, each returning null; the call after the last step returns the response.
ResponsePtr Drive(Client& client, DWORD portion, const std::vector<Step>& steps, const WinInetSpy& spy) {
    const auto& stat = client.GetPostStat();
    CHECK(stat.ActualTotalByte() == BodyOf(steps).size());
    DWORD posted = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        CAPTURE(i);
        const Step& step = steps[i];
        const size_t before = spy.Count(WinInetCall::InternetWriteFile);
        REQUIRE(client.ProceedRequest(portion) == nullptr);
        std::string written;
        for (const std::string& piece : Writes(spy, before)) written += piece;
        CheckSameBytes(written, step.writes);
        posted += static_cast<DWORD>(step.writes.size());
        CHECK(stat.ActualPostedByte() == posted);
        CHECK(stat.PostedCount() == step.postedCount);
        CHECK(stat.PostedFileCount() == step.postedFileCount);
        CHECK((stat.CurrParamIsFile() != FALSE) == step.isFile);
        CHECK(stat.CurrParamTotalByte() == step.currTotal);
        CHECK(stat.CurrParamPostedByte() == step.currPosted);
        CHECK(stat.CurrParamRemainByte() == step.currTotal - step.currPosted);
        CHECK((stat.CurrParamIsComplete() != FALSE) == (step.currTotal == step.currPosted));
    }
    CHECK(stat.IsComplete() == TRUE);
    const size_t writes = spy.Count(WinInetCall::InternetWriteFile);
    Response* response = client.ProceedRequest(portion);
    REQUIRE(response != nullptr);
    CHECK(spy.Count(WinInetCall::InternetWriteFile) == writes);
    CHECK(spy.Count(WinInetCall::HttpEndRequest) == 1);
    CHECK(stat.IsActive() == FALSE);
    return ResponsePtr(response);
}

// The echo of the request: its line first, the body last, byte for byte.
void CheckEcho(Response& response, const std::string& requestLine, const std::string& body) {
    const std::string echo = ReadAll(response);
    CHECK(echo.substr(0, requestLine.size()) == requestLine);
    REQUIRE(echo.size() > body.size());
    CheckSameBytes(echo.substr(echo.size() - body.size()), body);
}

void CheckRecorded(const std::string& token, const std::string& body, const std::string& contentType) {
    const auto records = Svc().Requests(token, "http");
    REQUIRE(records.size() == 1);
    CheckSameBytes(records[0].body, body);
    CHECK(records[0].HeaderValues("Content-Type") == std::vector<std::string>{contentType});
    CHECK(records[0].HeaderValues("Content-Length") == std::vector<std::string>{std::to_string(body.size())});
}

// The client ends up usable: a GET goes through and leaves nothing open once its response is gone.
void CheckServesGet(Client& client, const WinInetSpy& spy) {
    const std::string token = Services::UniqueToken();
    {
        ResponsePtr response(client.SendGetRequest(Svc().HttpUrl("/echo?" + token).c_str(), false));
        const std::string line = "GET /echo?" + token + "&";
        CHECK(ReadAll(*response).substr(0, line.size()) == line);
    }
    CheckAllClosed(spy);
}

}  // namespace

TEST_CASE("a url-encoded POST sends the parameters in map order, each name and separator before its value") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    // Names order without regard to case, and the byte 0xC6 before the letters.
    const std::vector<Step> steps = {
        {"%C6=", 1, 0, false, 5, 0},   {"%E6+", 1, 0, false, 5, 4}, {"z", 1, 0, false, 5, 5},
        {"&a+b=", 2, 0, false, 5, 0},  {"x%26", 2, 0, false, 5, 4}, {"y", 2, 0, false, 5, 5},
        {"&c%2B=", 3, 0, false, 5, 0}, {"1%20", 3, 0, false, 5, 4}, {"2", 3, 0, false, 5, 5},
        {"&d=", 4, 0, false, 0, 0},
    };
    const std::string body = BodyOf(steps);
    CHECK(body == "%C6=%E6+z&a+b=x%26y&c%2B=1%202&d=");
    {
        Client client;
        client.AddParam("\xC6", "\xE6 z");
        client.AddParam("d", nullptr);
        client.AddParam("c%2B", "1%202", Tarvo::HTTPCLIENT_PARAM_ENCODED_NAME | Tarvo::HTTPCLIENT_PARAM_ENCODED_VALUE);
        client.AddParam("a b", "x&y");
        client.BeginPostRequest(Svc().HttpUrl("/echo?" + token).c_str(), false);
        const auto& stat = client.GetPostStat();
        CHECK(stat.TotalCount() == 4);
        CHECK(stat.FileCount() == 0);
        CHECK(stat.PostedCount() == 0);

        ResponsePtr response = Drive(client, 4, steps, spy);
        CHECK(Writes(spy) == std::vector<std::string>{"%C6", "=", "%E6+", "z", "&", "a+b", "=", "x%26", "y", "&",
                                                      "c%2B", "=", "1%20", "2", "&", "d", "="});
        const auto sends = spy.CallsOf(WinInetCall::HttpSendRequestEx);
        REQUIRE(sends.size() == 1);
        CHECK(sends[0].number == body.size());
        CHECK(spy.CallsOf(WinInetCall::HttpOpenRequest)[0].text == "POST");
        CheckEcho(*response, "POST /echo?" + token + " HTTP/1.1\r\n", body);
    }
    CheckAllClosed(spy);
    CheckRecorded(token, body, "application/x-www-form-urlencoded");
}

TEST_CASE("a multipart upload sends a text, an empty value and a file read in chunks of at most 57344 bytes") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    const DWORD size = 2 * kReadChunk + 1000;
    const std::string content = GifContent(size);
    UploadFile file("upload-" + token + ".gif", content);
    std::string body, boundary;
    {
        TestClient client;
        boundary = client.m_szBoundary.get();
        client.AddParam("text", "hello \xC6");
        client.AddParam("empty", "");
        client.AddParam("file", file.path(), kFile);
        client.BeginUploadRequest(Svc().HttpUrl("/echo?" + token).c_str(), false);
        CHECK(!file.Free());
        CHECK(client.GetPostStat().TotalCount() == 3);
        CHECK(client.GetPostStat().FileCount() == 1);

        const std::string open = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"";
        const std::vector<Step> steps = {
            {open + "empty\"\r\n\r\n\r\n", 1, 0, false, 0, 0},
            {open + "file\"; filename=\"" + file.path() + "\"\r\nContent-Type: image/gif\r\n\r\n", 2, 1, true, size, 0},
            {content.substr(0, 70000), 2, 1, true, size, 70000},
            {content.substr(70000) + "\r\n", 2, 1, true, size, size},
            {open + "text\"\r\n\r\n", 3, 1, false, 7, 0},
            {"hello \xC6\r\n", 3, 1, false, 7, 7},
            {"--" + boundary + "--\r\n", 3, 1, false, 7, 7},
        };
        body = BodyOf(steps);
        ResponsePtr response = Drive(client, 70000, steps, spy);
        CHECK(file.Free());

        std::vector<size_t> fileWrites;
        for (const std::string& piece : Writes(spy)) {
            CHECK(piece.size() <= kReadChunk);
            if (piece.size() > 100) fileWrites.push_back(piece.size());
        }
        CHECK(fileWrites == std::vector<size_t>{kReadChunk, 70000 - kReadChunk, size - 70000});
        // Separators and part headers go out piece by piece, as the first call shows.
        const auto pieces = Writes(spy);
        REQUIRE(pieces.size() > 9);
        CHECK(std::vector<std::string>(pieces.begin(), pieces.begin() + 9) ==
              std::vector<std::string>{"--", boundary, "\r\n", "Content-Disposition: form-data; name=", "\"",
                                       "empty", "\"", "\r\n\r\n", "\r\n"});
        CheckEcho(*response, "POST /echo?" + token + " HTTP/1.1\r\n", body);
    }
    CheckAllClosed(spy);
    CheckRecorded(token, body, "multipart/form-data; boundary=" + boundary);
}

TEST_CASE("an upload without parameters is the closing boundary alone; without a boundary of its own the client "
          "uses the default one") {
    struct Case {
        bool generated;
        bool withParam;
    };
    for (const Case c : {Case{true, false}, Case{false, false}, Case{false, true}}) {
        CAPTURE(c.generated);
        CAPTURE(c.withParam);
        WinInetSpy spy;
        const std::string token = Services::UniqueToken();
        TestClient client;
        if (!c.generated) {
            client.m_szBoundary.reset();
            client.m_szEncodedBoundary = nullptr;
            client.m_szMultipartContentType.reset();
        }
        const std::string boundary = c.generated ? client.m_szBoundary.get() : kDefaultBoundary;
        std::vector<Step> steps;
        if (c.withParam) {
            client.AddParam("a", "1");
            steps = {{"--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n", 1, 0, false, 1, 0},
                     {"1\r\n", 1, 0, false, 1, 1},
                     {"--" + boundary + "--\r\n", 1, 0, false, 1, 1}};
        } else {
            steps = {{"\r\n--" + boundary + "--\r\n", 0, 0, false, 0, 0}};
        }
        client.BeginUploadRequest(Svc().HttpUrl("/echo?" + token).c_str(), true);
        Drive(client, 1, steps, spy).reset();
        CheckAllClosed(spy);
        CheckRecorded(token, BodyOf(steps), "multipart/form-data; boundary=" + boundary);
    }
}

TEST_CASE("a client that sends UTF-8 converts the names and values of both body kinds") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    UploadFile file("utf8-" + token + ".gif", GifContent(10));
    std::string boundary;
    for (DWORD kind : {Client::kPostContext, Client::kUploadContext}) {
        CAPTURE(kind);
        TestClient client;
        client.m_bUseUtf8 = TRUE;
        boundary = client.m_szBoundary.get();
        client.AddParam("\xC6", "\xE6 \xC6");
        std::string body;
        if (kind == Client::kPostContext) {
            client.BeginPostRequest(Svc().HttpUrl("/echo?" + token + "p").c_str(), false);
            body = "%D0%96=%D0%B6+%D0%96";
        } else {
            client.AddParam("f", file.path(), kFile);
            client.BeginUploadRequest(Svc().HttpUrl("/echo?" + token + "u").c_str(), false);
            const std::string open = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"";
            body = open + "\xD0\x96\"\r\n\r\n\xD0\xB6 \xD0\x96\r\n" + open + "f\"; filename=\"" + file.path() +
                   "\"\r\nContent-Type: image/gif\r\n\r\n" + GifContent(10) + "\r\n--" + boundary + "--\r\n";
        }
        CHECK(client.GetPostStat().ActualTotalByte() == body.size());
        Response* response = nullptr;
        for (int i = 0; i < 10 && !response; ++i) response = client.ProceedRequest(100);
        REQUIRE(response != nullptr);
        CheckEcho(*response, "POST /echo?", body);
        delete response;
    }
    CheckAllClosed(spy);
}

TEST_CASE("a failure while a context runs ends it, closes what it owned, and the client serves another GET") {
    using Arrange = std::function<void(TestClient&, WinInetSpy&, const UploadFile&)>;
    struct Case {
        const char* name;
        DWORD kind;
        int callsBefore;  // successful calls before the failing one
        DWORD portion;
        Arrange arrange;
        int code;
        DWORD win32;
        const char* message;  // null: the code's table text
    };
    const Arrange nothing = [](TestClient&, WinInetSpy&, const UploadFile&) {};
    const Arrange failWrite = [](TestClient&, WinInetSpy& spy, const UploadFile&) {
        spy.FailNext(WinInetCall::InternetWriteFile, ERROR_INTERNET_CONNECTION_RESET);
    };
    const Arrange failEnd = [](TestClient&, WinInetSpy& spy, const UploadFile&) {
        spy.FailNext(WinInetCall::HttpEndRequest, ERROR_INTERNET_TIMEOUT);
    };
    const DWORD upload = Client::kUploadContext, post = Client::kPostContext;
    const Case cases[] = {
        {"a file shorter than its size by the time it is read", upload, 1, 5000,
         [](TestClient& c, WinInetSpy&, const UploadFile&) {
             ::SetFilePointer(c.m_ahPostFiles[0].get(), 990, nullptr, FILE_BEGIN);
         },
         105, 0, "Couldn't read expected bytes from a file."},
        {"a file that cannot be read", upload, 1, 5000,
         [](TestClient& c, WinInetSpy&, const UploadFile& other) {
             c.m_ahPostFiles[0].reset(::CreateFileA(other.path(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
         },
         602, ERROR_ACCESS_DENIED, "::ReadFile failed."},
        {"a failed write of a part header", upload, 0, 5000, failWrite, 408, ERROR_INTERNET_CONNECTION_RESET,
         "::InternetWriteFile failed."},
        {"a failed write of file bytes", upload, 1, 5000, failWrite, 408, ERROR_INTERNET_CONNECTION_RESET, nullptr},
        {"a failed end of the upload", upload, 5, 5000, failEnd, 409, ERROR_INTERNET_TIMEOUT,
         "::HttpEndRequest failed."},
        {"a zero portion of an upload", upload, 1, 0, nothing, 0, 0,
         "CHttpClientT::_ProceedUploadContext: nDesired can not be zero."},
        {"a failed write of a value", post, 1, 5000, failWrite, 408, ERROR_INTERNET_CONNECTION_RESET, nullptr},
        {"a failed end of the POST", post, 4, 5000, failEnd, 409, ERROR_INTERNET_TIMEOUT, nullptr},
        {"a zero portion of a POST", post, 2, 0, nothing, 0, 0,
         "CHttpClientT::_ProceedPostContext: nDesired can not be zero."},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        WinInetSpy spy;
        const std::string token = Services::UniqueToken();
        UploadFile file("fail-" + token + ".gif", GifContent(1000));
        UploadFile other("other-" + token + ".bin", "other");
        TestClient client;
        client.AddParam("text", "abc");
        if (c.kind == upload) {
            client.AddParam("file", file.path(), kFile);
            client.BeginUploadRequest(Svc().HttpUrl("/echo?" + token).c_str(), false);
        } else {
            client.AddParam("a", "1");
            client.BeginPostRequest(Svc().HttpUrl("/echo?" + token).c_str(), false);
        }
        for (int i = 0; i < c.callsBefore; ++i) REQUIRE(client.ProceedRequest(5000) == nullptr);
        c.arrange(client, spy, other);
        const size_t closesBefore = spy.Count(WinInetCall::InternetCloseHandle);

        Raised r = Catch([&] { delete client.ProceedRequest(c.portion); });
        CHECK(r.thrown);
        CHECK(r.code == c.code);
        CHECK(r.win32 == c.win32);
        CHECK(r.message == (c.message ? c.message : Tarvo::GetHttpClientErrorMessageA(c.code)));
        CHECK(client.GetPostStat().IsActive() == FALSE);
        CHECK(spy.Count(WinInetCall::InternetCloseHandle) == closesBefore + 3);
        CheckAllClosed(spy);
        CHECK(file.Free());
        CHECK(other.Free());
        CHECK(Catch([&] { client.ProceedRequest(5000); }).code == 104);
        CheckServesGet(client, spy);
    }
}

TEST_CASE("a start that fails leaves no context, no handle and no open file behind") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    UploadFile file("start-" + token + ".gif", GifContent(100));
    const std::string missing = testsupport::BuildFile("tests/httpclient/missing-" + token + ".bin");
    {
        TestClient client;
        client.AddParam("file", missing.c_str(), kFile);
        Raised r = Catch([&] { client.BeginUploadRequest(Svc().HttpUrl("/echo").c_str(), false); });
        CHECK(r.code == 603);
        CHECK(r.win32 == ERROR_FILE_NOT_FOUND);
        CHECK(r.message == "OpenFile (::CreateFile) failed (\"" + missing + "\").");
        CHECK(spy.Calls().empty());
        CHECK(client.GetPostStat().IsActive() == FALSE);
    }
    {
        TestClient client;
        client.AddParam("file", file.path(), kFile);
        spy.FailNext(WinInetCall::HttpSendRequestEx, ERROR_INTERNET_CANNOT_CONNECT);
        Raised r = Catch([&] { client.BeginUploadRequest(Svc().HttpUrl("/echo").c_str(), false); });
        CHECK(r.code == 407);
        CHECK(r.win32 == ERROR_INTERNET_CANNOT_CONNECT);
        CHECK(client.GetPostStat().IsActive() == FALSE);
        CheckAllClosed(spy);
        CHECK(file.Free());
        CheckServesGet(client, spy);
    }
}

TEST_CASE("ProceedRequest without a context throws 104 and changes nothing; the context's checks refuse") {
    WinInetSpy spy;
    TestClient client;
    client.ReleasePostContext();
    for (int i = 0; i < 2; ++i) {
        Raised r = Catch([&] { client.ProceedRequest(100); });
        CHECK(r.code == 104);
        CHECK(r.message == "The post context is not started yet.");
    }
    httptest::CheckRefusals({
        {"CHttpClientT::_WritePost: m_hRequest can not be NULL.", [&] { client._WritePost("x", FALSE); }},
        {"CHttpClientT::_ReleasePostResponse: The post context is not active.",
         [&] { delete client._ReleasePostResponse(); }},
    });
    CHECK(spy.Calls().empty());

    // After a context has ended with its response there is none either.
    client.AddParam("a", "1");
    client.BeginPostRequest(Svc().HttpUrl("/echo").c_str(), true);
    Response* response = nullptr;
    for (int i = 0; i < 5 && !response; ++i) response = client.ProceedRequest(100);
    REQUIRE(response != nullptr);
    delete response;
    CHECK(Catch([&] { client.ProceedRequest(100); }).code == 104);
    CheckAllClosed(spy);
}

TEST_CASE("the common checks of each procedure name a missing handle, and the context ends after them") {
    struct Case {
        DWORD kind;
        Tarvo::UniqueInternetHandle TestClient::*handle;
        const char* message;
    };
    const Case cases[] = {
        {Client::kPostContext, &TestClient::m_hPostInternet,
         "CHttpClientT::_ProceedPostContext: m_hInternet can not be NULL."},
        {Client::kPostContext, &TestClient::m_hPostConnection,
         "CHttpClientT::_ProceedPostContext: m_hConnection can not be NULL."},
        {Client::kPostContext, &TestClient::m_hPostRequest,
         "CHttpClientT::_ProceedPostContext: m_hRequest can not be NULL."},
        {Client::kUploadContext, &TestClient::m_hPostInternet,
         "CHttpClientT::_ProceedUploadContext: m_hInternet can not be NULL."},
        {Client::kUploadContext, &TestClient::m_hPostConnection,
         "CHttpClientT::_ProceedUploadContext: m_hConnection can not be NULL."},
        {Client::kUploadContext, &TestClient::m_hPostRequest,
         "CHttpClientT::_ProceedUploadContext: m_hRequest can not be NULL."},
    };
    for (const Case& c : cases) {
        CAPTURE(c.message);
        WinInetSpy spy;
        TestClient client;
        client.AddParam("a", "1");
        const std::string url = Svc().HttpUrl("/echo");
        if (c.kind == Client::kPostContext) {
            client.BeginPostRequest(url.c_str(), false);
        } else {
            client.BeginUploadRequest(url.c_str(), false);
        }
        Tarvo::UniqueInternetHandle taken((client.*c.handle).release());
        Raised r = Catch([&] { client.ProceedRequest(10); });
        CHECK(r.code == 0);
        CHECK(r.message == c.message);
        CHECK(client.GetPostStat().IsActive() == FALSE);
        taken.reset();
        CheckAllClosed(spy);
    }
}

TEST_CASE("handles given by the caller are used, never closed, and not handed to the response") {
    WinInetSpy spy;
    const std::string token = Services::UniqueToken();
    HINTERNET internet = ::InternetOpenA("borrowed", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = ::InternetConnectA(internet, "127.0.0.1", Svc().Port("http"), nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0);
    const std::string url = Svc().HttpUrl("/echo?" + token);
    {
        TestClient client;
        client.AddParam("a", "1");
        client.StartPostContext(internet, connection, url.c_str(), Client::kGetFlagsUncached, nullptr, nullptr,
                                 nullptr, Client::kPostContext);
        CHECK(spy.Count(WinInetCall::InternetOpen) == 1);
        CHECK(spy.Count(WinInetCall::InternetConnect) == 1);
        Response* response = nullptr;
        for (int i = 0; i < 5 && !response; ++i) response = client.ProceedRequest(100);
        REQUIRE(response != nullptr);
        CheckEcho(*response, "POST /echo?" + token + " HTTP/1.1\r\n", "a=1");
        delete response;
        CHECK(spy.OpenHandles() == std::vector<HINTERNET>{internet, connection});

        client.StartPostContext(internet, connection, url.c_str(), Client::kGetFlagsUncached, nullptr, nullptr,
                                 nullptr, Client::kUploadContext);
        spy.FailNext(WinInetCall::InternetWriteFile, ERROR_INTERNET_CONNECTION_RESET);
        CHECK(Catch([&] { client.ProceedRequest(100); }).code == 408);
        CHECK(spy.OpenHandles() == std::vector<HINTERNET>{internet, connection});

        client.StartPostContext(internet, connection, url.c_str(), Client::kGetFlagsUncached, nullptr, nullptr,
                                 nullptr, Client::kUploadContext);
    }
    CHECK(spy.OpenHandles() == std::vector<HINTERNET>{internet, connection});
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(internet);
    CheckAllClosed(spy);
}

TEST_CASE("a context left unfinished is ended by ReleasePostContext, a GET, a new start or the client's end") {
    const std::vector<std::pair<const char*, std::function<void(std::unique_ptr<TestClient>&, const WinInetSpy&)>>>
        enders = {
            {"ReleasePostContext", [](std::unique_ptr<TestClient>& c, const WinInetSpy&) { c->ReleasePostContext(); }},
            {"a GET",
             [](std::unique_ptr<TestClient>& c, const WinInetSpy& spy) {
                 ResponsePtr response(c->SendGetRequest(Svc().HttpUrl("/status/200").c_str(), false));
                 CHECK(spy.OpenHandles().size() == 3);
             }},
            {"a new start",
             [](std::unique_ptr<TestClient>& c, const WinInetSpy& spy) {
                 c->BeginPostRequest(Svc().HttpUrl("/echo").c_str(), false);
                 CHECK(spy.OpenHandles().size() == 3);
                 CHECK(c->GetPostStat().PostedCount() == 0);
                 c->ReleasePostContext();
             }},
            {"the client's end", [](std::unique_ptr<TestClient>& c, const WinInetSpy&) { c.reset(); }},
        };
    for (const auto& [name, end] : enders) {
        CAPTURE(name);
        WinInetSpy spy;
        const std::string token = Services::UniqueToken();
        UploadFile file("left-" + token + ".gif", GifContent(3000));
        auto client = std::make_unique<TestClient>();
        client->AddParam("file", file.path(), kFile);
        client->BeginUploadRequest(Svc().HttpUrl("/echo?" + token).c_str(), false);
        REQUIRE(client->ProceedRequest(1000) == nullptr);
        REQUIRE(client->ProceedRequest(1000) == nullptr);
        CHECK(client->GetPostStat().CurrParamPostedByte() == 1000);
        CHECK(spy.OpenHandles().size() == 3);
        end(client, spy);
        if (client) CHECK(client->GetPostStat().IsActive() == FALSE);
        CheckAllClosed(spy);
        CHECK(file.Free());
    }
}
