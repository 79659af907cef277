// Reads the ports file of the local test services and talks to their plain HTTP server over raw
// Winsock (HTTP/1.0, connection close) to fetch and clear the recorded requests.
#include "tests/support/Services.h"

#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <rapidjson/document.h>

#include "base/Unique.h"
#include "tests/support/TestPaths.h"
#include "testing/host/PluginModule.h"

namespace testsupport {

namespace {

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Empty() { return INVALID_SOCKET; }
    static void Close(Handle s) { ::closesocket(s); }
};
using UniqueSocket = kit::Unique<SocketTraits>;

// The records carry bytes as code points U+0000..U+00FF (JSON escapes); this target encoding
// turns each back into its byte.
struct Latin1 {
    typedef char Ch;
    enum { supportUnicode = 0 };
    template <class OS>
    static void Encode(OS& os, unsigned codepoint) {
        os.Put(static_cast<char>(codepoint & 0xFF));
    }
    template <class IS, class OS>
    static bool Validate(IS& is, OS& os) {
        os.Put(is.Take());
        return true;
    }
};
using Json = rapidjson::GenericValue<Latin1>;
using JsonDocument = rapidjson::GenericDocument<Latin1>;

std::string Text(const Json& object, const char* name) {
    auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return std::string();
    return std::string(member->value.GetString(), member->value.GetStringLength());
}

HeaderList Headers(const Json& object) {
    HeaderList headers;
    auto member = object.FindMember("headers");
    if (member == object.MemberEnd() || !member->value.IsArray()) return headers;
    for (const auto& pair : member->value.GetArray())
        if (pair.IsArray() && pair.Size() == 2 && pair[0].IsString() && pair[1].IsString())
            headers.emplace_back(std::string(pair[0].GetString(), pair[0].GetStringLength()),
                                 std::string(pair[1].GetString(), pair[1].GetStringLength()));
    return headers;
}

RecordedRequest Record(const Json& entry) {
    RecordedRequest r;
    r.id = entry.HasMember("id") && entry["id"].IsInt() ? entry["id"].GetInt() : 0;
    r.server = Text(entry, "server");
    r.requestLine = Text(entry, "requestLine");
    r.headers = Headers(entry);
    r.body = Text(entry, "body");
    const Json* account = nullptr;
    if (r.server == "proxy") {
        account = &entry;
        r.authorized = entry.HasMember("authorized") && entry["authorized"].IsTrue();
    } else if (entry.HasMember("proxy") && entry["proxy"].IsObject()) {
        account = &entry["proxy"];
        r.viaProxy = true;
    }
    if (account) {
        r.proxyUser = Text(*account, "proxyUser");
        r.proxyPassword = Text(*account, "proxyPassword");
    }
    return r;
}

std::string PercentEncode(const std::string& text) {
    std::string out;
    char cell[4];
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(cell, sizeof cell, "%%%02X", c);
            out += cell;
        }
    }
    return out;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace

std::vector<std::string> RecordedRequest::HeaderValues(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [n, v] : headers)
        if (EqualNoCase(n, name)) values.push_back(v);
    return values;
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
    std::vector<std::string> names;
    for (const auto& header : headers) names.push_back(header.first);
    return names;
}

Services::Services() {
    const char* file = std::getenv("TEST_SERVICES_FILE");
    if (!file) throw std::runtime_error("TEST_SERVICES_FILE is not set (declare the test with SERVICES)");
    const std::string text = ReadFile(hoststub::WindowsPath(file));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) m_values[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
}

const Services& Services::Get() {
    static const Services services;
    return services;
}

const std::string& Services::Value(const std::string& key) const {
    auto found = m_values.find(key);
    if (found == m_values.end()) throw std::runtime_error("the services' ports file has no " + key);
    return found->second;
}

unsigned short Services::Port(const std::string& key) const {
    return static_cast<unsigned short>(std::strtoul(Value(key).c_str(), nullptr, 10));
}

std::string Services::Url(const char* scheme, const char* hostKey, const char* portKey,
                          const std::string& path) const {
    return std::string(scheme) + "://" + Value(hostKey) + ":" + Value(portKey) + path;
}

std::string Services::HttpUrl(const std::string& path) const { return Url("http", "host", "http", path); }
std::string Services::HttpsUrl(const std::string& path) const { return Url("https", "tlshost", "https", path); }
std::string Services::SelfSignedUrl(const std::string& path) const {
    return Url("https", "tlshost", "selfsigned", path);
}
std::string Services::UnknownCaUrl(const std::string& path) const {
    return Url("https", "tlshost", "unknownca", path);
}
std::string Services::RefusedUrl(const std::string& path) const { return Url("http", "host", "refused", path); }
std::string Services::ProxyHostPort() const { return Value("host") + ":" + Value("proxy"); }

std::string Services::UniqueToken() {
    static unsigned counter = 0;
    char token[32];
    std::snprintf(token, sizeof token, "t%lux%u", static_cast<unsigned long>(::GetCurrentProcessId()), ++counter);
    return token;
}

std::pair<int, std::string> Services::RawExchange(const std::string& method, const std::string& target,
                                                  const std::string& body) const {
    UniqueSocket sock(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!sock) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(Port("http"));
    address.sin_addr.s_addr = ::inet_addr(Value("host").c_str());
    if (::connect(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the test services (error " + std::to_string(::WSAGetLastError()) + ")");
    const std::string request = method + " " + target + " HTTP/1.0\r\nHost: " + Value("host") +
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    for (std::size_t sent = 0; sent < request.size();) {
        const int n = ::send(sock.get(), request.data() + sent, static_cast<int>(request.size() - sent), 0);
        if (n <= 0) throw std::runtime_error("send to the test services failed");
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[8192];
    int got;
    while ((got = ::recv(sock.get(), buffer, sizeof buffer, 0)) > 0) answer.append(buffer, static_cast<std::size_t>(got));
    if (got < 0) throw std::runtime_error("receive from the test services failed");
    const std::size_t headEnd = answer.find("\r\n\r\n");
    const std::size_t blank = answer.find(' ');
    if (headEnd == std::string::npos || blank == std::string::npos) throw std::runtime_error("bad answer: " + answer);
    return {std::atoi(answer.c_str() + blank + 1), answer.substr(headEnd + 4)};
}

std::vector<RecordedRequest> Services::Requests(const std::string& token, const std::string& server) const {
    std::string target = "/_requests?contains=" + PercentEncode(token);
    if (!server.empty()) target += "&server=" + PercentEncode(server);
    const auto [status, body] = RawExchange("GET", target);
    if (status != 200) throw std::runtime_error("GET /_requests gave " + std::to_string(status));
    JsonDocument document;
    document.Parse(body.c_str());
    if (document.HasParseError() || !document.IsArray()) throw std::runtime_error("bad record list: " + body);
    std::vector<RecordedRequest> records;
    for (const auto& entry : document.GetArray())
        if (entry.IsObject()) records.push_back(Record(entry));
    return records;
}

void Services::Reset() const {
    if (RawExchange("POST", "/_reset").first != 200) throw std::runtime_error("POST /_reset failed");
}

}  // namespace testsupport
