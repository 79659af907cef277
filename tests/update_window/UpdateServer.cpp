// The test program's local update service (see UpdateServer.h).
#include <winsock2.h>

#include "tests/update_window/UpdateServer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace updatetest {

namespace {

struct ClientContext {
    UpdateServer* server;
    SOCKET client;
};

bool SendAll(SOCKET socket, const char* data, size_t size) {
    while (size) {
        int sent = ::send(socket, data, static_cast<int>(size > 65536 ? 65536 : size), 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// The request's path as a web server reads it: each "%XX" is the byte it stands for.
std::string PercentDecoded(const std::string& path) {
    std::string bytes;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && std::isxdigit(static_cast<unsigned char>(path[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(path[i + 2]))) {
            bytes += static_cast<char>(std::strtol(path.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            bytes += path[i];
        }
    }
    return bytes;
}

}  // namespace

UpdateServer::UpdateServer() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) throw std::runtime_error("no socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_listener = listener;
    m_port = ntohs(address.sin_port);
    m_acceptThread.reset(::CreateThread(nullptr, 0, &UpdateServer::AcceptLoop, this, 0, nullptr));
}

UpdateServer::~UpdateServer() {
    ::SetEvent(m_stopping.get());
    ::closesocket(static_cast<SOCKET>(m_listener));
    ::WaitForSingleObject(m_acceptThread.get(), 10000);
    std::vector<HANDLE> threads;
    {
        kit::Lock lock(m_lock);
        for (UINT_PTR client : m_clients) ::shutdown(static_cast<SOCKET>(client), SD_BOTH);
        threads = m_clientThreads;
    }
    for (HANDLE thread : threads) {
        ::WaitForSingleObject(thread, 10000);
        ::CloseHandle(thread);
    }
    ::WSACleanup();
}

std::string UpdateServer::FolderUrl(const std::string& folder) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + folder + "/";
}

void UpdateServer::Set(const std::string& path, Route route) {
    if (route.length != Route::Announced || route.newVersions != 0)
        throw std::invalid_argument("only the site outside Wine leaves out lengths or renames versions");
    kit::Lock lock(m_lock);
    m_routes[path] = std::move(route);
    m_answers.erase(path);  // the route's answers count from here
}

bool UpdateServer::WaitForStall(DWORD milliseconds) {
    return ::WaitForSingleObject(m_stalled.get(), milliseconds) == WAIT_OBJECT_0;
}

void UpdateServer::ReleaseStalls() { ::SetEvent(m_release.get()); }

std::vector<std::string> UpdateServer::Requests() const {
    kit::Lock lock(m_lock);
    return m_requests;
}

void UpdateServer::CloseEndedThreads() {
    std::vector<HANDLE> running;
    for (HANDLE thread : m_clientThreads) {
        if (::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
            ::CloseHandle(thread);
        } else {
            running.push_back(thread);
        }
    }
    m_clientThreads.swap(running);
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), static_cast<UINT_PTR>(INVALID_SOCKET)), m_clients.end());
}

bool UpdateServer::WaitIdle(DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 10) {
        {
            kit::Lock lock(m_lock);
            CloseEndedThreads();
            if (m_clientThreads.empty()) return true;
        }
        if (waited >= milliseconds) return false;
        ::Sleep(10);
    }
}

std::vector<std::string> UpdateServer::Ranges() const {
    kit::Lock lock(m_lock);
    return m_ranges;
}

std::vector<std::string> UpdateServer::IfRanges() const {
    kit::Lock lock(m_lock);
    return m_ifRanges;
}

std::string UpdateSite::ETagOf(const std::string& body, int version) {
    std::uint32_t hash = 2166136261u;  // FNV-1a of the body
    for (unsigned char c : body) hash = (hash ^ c) * 16777619u;
    char tag[48];
    std::snprintf(tag, sizeof tag, "\"v%d-%08lx\"", version, static_cast<unsigned long>(hash));
    return tag;
}

std::string UpdateSite::LastModifiedOf(int version) {
    char date[48];
    std::snprintf(date, sizeof date, "Tue, 01 Dec 2026 10:%02d:%02d GMT", (version / 60) % 60, version % 60);
    return date;
}

DWORD WINAPI UpdateServer::AcceptLoop(void* self) {
    auto* server = static_cast<UpdateServer*>(self);
    for (;;) {
        SOCKET client = ::accept(static_cast<SOCKET>(server->m_listener), nullptr, nullptr);
        if (client == INVALID_SOCKET) return 0;
        if (::WaitForSingleObject(server->m_stopping.get(), 0) == WAIT_OBJECT_0) {
            ::closesocket(client);
            return 0;
        }
        auto* context = new ClientContext{server, client};
        HANDLE thread = ::CreateThread(nullptr, 0, &UpdateServer::Serve, context, 0, nullptr);
        kit::Lock lock(server->m_lock);
        server->CloseEndedThreads();
        server->m_clients.push_back(client);
        if (thread) server->m_clientThreads.push_back(thread);
    }
}

DWORD WINAPI UpdateServer::Serve(void* context) {
    auto* client = static_cast<ClientContext*>(context);
    client->server->Answer(client->client);
    delete client;
    return 0;
}

void UpdateServer::Answer(UINT_PTR clientSocket) {
    SOCKET client = static_cast<SOCKET>(clientSocket);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
    }
    std::string path;
    size_t space = request.find(' ');
    if (space != std::string::npos) {
        size_t end = request.find(' ', space + 1);
        path = PercentDecoded(request.substr(space + 1, end == std::string::npos ? std::string::npos : end - space - 1));
    }
    Route route;
    bool known = false;
    int answer = 0;  // this path's answers before this one
    {
        kit::Lock lock(m_lock);
        m_requests.push_back(path);
        auto found = m_routes.find(path);
        if (found != m_routes.end()) {
            route = found->second;
            known = true;
            answer = m_answers[path]++;
            // The first answer goes out with the first version; the next ones bring the new one.
            if (!found->second.changedBody.empty()) {
                found->second.body = std::move(found->second.changedBody);
                found->second.changedBody.clear();
                found->second.version += 1;
            }
        }
    }
    if (!known) route = Route{404, "<html><body><h1>404 Not Found</h1></body></html>"};
    std::string etag, lastModified;
    if (route.status == 200 && route.validators != Route::NoValidators) {
        lastModified = LastModifiedOf(route.version);
        if (route.validators == Route::Both) etag = ETagOf(route.body, route.version);
    }
    auto header = [&](const std::string& name) -> std::string {
        const std::string key = "\r\n" + name + ":";
        std::string lower = request;
        for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        size_t at = lower.find(key);
        if (at == std::string::npos) return {};
        at += key.size();
        size_t end = request.find("\r\n", at);
        std::string value = request.substr(at, end == std::string::npos ? std::string::npos : end - at);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        while (!value.empty() && value.back() == ' ') value.pop_back();
        return value;
    };
    // "Range: bytes=N-" of a known body: the rest from N (206); or the whole body (200) when
    // If-Range names another version, or from a route that ignores ranges.
    std::string extra;
    size_t from = 0;
    const std::string range = header("range");
    if (known && range.rfind("bytes=", 0) == 0) {
        const size_t offset = std::strtoul(range.c_str() + 6, nullptr, 10);
        const std::string ifRange = header("if-range");
        {
            kit::Lock lock(m_lock);
            m_ranges.push_back(path + " from " + std::to_string(offset));
            m_ifRanges.push_back(ifRange);
        }
        const bool current = ifRange.empty() || route.ignoreIfRange || (!etag.empty() && ifRange == etag) ||
                             (!lastModified.empty() && ifRange == lastModified);
        if (route.holdRanges) {
            ::SetEvent(m_stalled.get());
            HANDLE wake[] = {m_release.get(), m_stopping.get()};
            ::WaitForMultipleObjects(2, wake, FALSE, 60000);
        }
        if (route.status == 200 && route.mode != Route::StallCutOff && !route.rangeWhole && current &&
            offset <= route.body.size()) {
            from = offset;
            extra = "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(route.body.size() - 1) + "/" +
                    std::to_string(route.body.size()) + "\r\n";
            route.status = 206;
        }
        if (route.mode != Route::StallCutOff && route.mode != Route::CutOff && route.mode != Route::Reset)
            route.mode = Route::Whole;  // the rest goes at once
    }
    const bool cut = (route.mode == Route::CutOff || route.mode == Route::Reset) &&
                     (route.cutAnswers < 0 || answer < route.cutAnswers);
    if ((route.mode == Route::CutOff || route.mode == Route::Reset) && !cut) route.mode = Route::Whole;
    const std::string body = route.body.substr(from);
    if (!etag.empty()) extra += "ETag: " + etag + "\r\n";
    if (!lastModified.empty()) extra += "Last-Modified: " + lastModified + "\r\n";
    // Silences end early when the server stops.
    auto silent = [&](DWORD milliseconds) { return ::WaitForSingleObject(m_stopping.get(), milliseconds) == WAIT_TIMEOUT; };
    std::string head = "HTTP/1.1 " + std::to_string(route.status) + " Status\r\nContent-Type: application/octet-stream\r\n" +
                       extra + "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    bool ok = silent(route.answerDelay) && SendAll(client, head.data(), head.size());
    bool reset = false;
    if (ok && cut) {
        const size_t until = route.breakAt > from ? std::min(route.breakAt - from, body.size()) : 0;
        SendAll(client, body.data(), until);
        reset = route.mode == Route::Reset;
    } else if (ok && route.mode == Route::Pause) {
        if (SendAll(client, body.data(), route.breakAt)) {
            ::SetEvent(m_stalled.get());
            if (silent(route.pause)) SendAll(client, body.data() + route.breakAt, body.size() - route.breakAt);
        }
    } else if (ok && (route.mode == Route::Stall || route.mode == Route::StallCutOff)) {
        ok = SendAll(client, body.data(), route.breakAt);
        ::SetEvent(m_stalled.get());
        HANDLE wake[] = {m_release.get(), m_stopping.get()};
        if (ok && ::WaitForMultipleObjects(2, wake, FALSE, 60000) == WAIT_OBJECT_0 && route.mode == Route::Stall)
            SendAll(client, body.data() + route.breakAt, body.size() - route.breakAt);
    } else if (ok) {
        SendAll(client, body.data(), body.size());
    }
    if (reset) {
        // A close with no lingering sends a reset instead of the orderly end.
        linger abort{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    } else {
        ::shutdown(client, SD_SEND);
        // Drain what the client still sends until it closes, so the close is orderly.
        DWORD quiet = 2000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&quiet), sizeof quiet);
        while (::recv(client, buffer, sizeof buffer, 0) > 0) {
        }
    }
    kit::Lock lock(m_lock);
    for (UINT_PTR& known_client : m_clients) {
        if (known_client == clientSocket) known_client = static_cast<UINT_PTR>(INVALID_SOCKET);
    }
    ::closesocket(client);
}

}  // namespace updatetest
