// The local test services (testing/services/services.py) as the Windows tests see them: the URLs
// of each server, the proxy and its account, and what the servers recorded. The ports come from
// the file named by TEST_SERVICES_FILE (tests declared with SERVICES in add_wine_test). Recorded
// requests are fetched with raw Winsock, so checks of WinInet never depend on WinInet.
//
// Tests run in parallel and share the services: tag each request with a token of UniqueToken()
// (in the path or query) and select the records with it; never rely on Reset().
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as a server received it; every text holds the bytes as they came.
struct RecordedRequest {
    int id = 0;                // arrival order across all servers
    std::string server;        // "http", "https", "selfsigned", "unknownca" or "proxy"
    std::string requestLine;   // without CRLF
    HeaderList headers;        // in the order received, names as sent, values trimmed
    std::string body;
    // Proxy records: the account the request carried (empty when none) and whether it was accepted.
    // Server records of requests that came through the proxy: the account of the proxy's request.
    bool viaProxy = false;
    bool authorized = false;
    std::string proxyUser, proxyPassword;

    // The values of a header, matched without regard to case, in order.
    std::vector<std::string> HeaderValues(const std::string& name) const;
    // The names of the headers in order, to check order and letter case.
    std::vector<std::string> HeaderNames() const;
};

class Services {
public:
    // Reads the ports file once; throws std::runtime_error when the services are not running.
    static const Services& Get();

    std::string HttpUrl(const std::string& path) const;        // http://127.0.0.1:<http><path>
    std::string HttpsUrl(const std::string& path) const;       // https://localhost:<https><path>, trusted
    std::string SelfSignedUrl(const std::string& path) const;  // https://localhost:..., self-signed (12045)
    std::string UnknownCaUrl(const std::string& path) const;   // https://localhost:..., untrusted CA (12057)
    std::string RefusedUrl(const std::string& path) const;     // http://127.0.0.1:<refused> (12029)
    std::string ProxyHostPort() const;                         // "127.0.0.1:<proxy>"
    const std::string& ProxyUser() const { return Value("proxyuser"); }
    const std::string& ProxyPassword() const { return Value("proxypassword"); }
    unsigned short Port(const std::string& key) const;

    // Recorded requests whose request line or a header value contains `token`, oldest first;
    // `server` selects one server ("" for all).
    std::vector<RecordedRequest> Requests(const std::string& token, const std::string& server = "") const;
    // Clears every record (for manual use; parallel tests must not depend on it).
    void Reset() const;

    // A text unique to this process and call, for tagging requests ("t<pid>x<n>").
    static std::string UniqueToken();

    // One HTTP/1.0 exchange with the plain server over Winsock, sending `body`: the status and the
    // body of the answer.
    std::pair<int, std::string> RawExchange(const std::string& method, const std::string& target,
                                            const std::string& body = {}) const;

private:
    Services();
    const std::string& Value(const std::string& key) const;
    std::string Url(const char* scheme, const char* hostKey, const char* portKey, const std::string& path) const;

    std::map<std::string, std::string> m_values;
};

}  // namespace testsupport
