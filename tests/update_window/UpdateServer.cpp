// The test program's local update service (see UpdateServer.h).
#include <winsock2.h>

#include "tests/update_window/UpdateServer.h"

#include <algorithm>
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
    kit::Lock lock(m_lock);
    m_routes[path] = std::move(route);
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
        path = request.substr(space + 1, end == std::string::npos ? std::string::npos : end - space - 1);
    }
    Route route;
    bool known = false;
    {
        kit::Lock lock(m_lock);
        m_requests.push_back(path);
        auto found = m_routes.find(path);
        if (found != m_routes.end()) {
            route = found->second;
            known = true;
        }
    }
    if (!known) route = Route{404, "<html><body><h1>404 Not Found</h1></body></html>"};
    // "Range: bytes=N-" of a known body: the rest from N (206), sent whole and at once; or the
    // whole body again (200) from a route that ignores ranges.
    std::string lower = request;
    for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    std::string extra;
    const std::string rangeHeader = "\r\nrange: bytes=";
    size_t range = lower.find(rangeHeader);
    if (known && range != std::string::npos) {
        size_t from = std::strtoul(lower.c_str() + range + rangeHeader.size(), nullptr, 10);
        {
            kit::Lock lock(m_lock);
            m_ranges.push_back(path + " from " + std::to_string(from));
        }
        if (route.status == 200 && route.rangeWhole) {
            route = Route{200, route.body, Route::Whole, 0, 0, route.answerDelay};
        } else if (route.status == 200 && route.mode != Route::StallCutOff && from <= route.body.size()) {
            extra = "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(route.body.size() - 1) + "/" +
                    std::to_string(route.body.size()) + "\r\n";
            route = Route{206, route.body.substr(from), Route::Whole, 0, 0, route.answerDelay};
        }
    }
    // Silences end early when the server stops.
    auto silent = [&](DWORD milliseconds) { return ::WaitForSingleObject(m_stopping.get(), milliseconds) == WAIT_TIMEOUT; };
    std::string head = "HTTP/1.1 " + std::to_string(route.status) + " Status\r\nContent-Type: application/octet-stream\r\n" +
                       extra + "Content-Length: " + std::to_string(route.body.size()) + "\r\nConnection: close\r\n\r\n";
    bool ok = silent(route.answerDelay) && SendAll(client, head.data(), head.size());
    if (ok && route.mode == Route::CutOff) {
        SendAll(client, route.body.data(), route.breakAt);
    } else if (ok && route.mode == Route::Pause) {
        if (SendAll(client, route.body.data(), route.breakAt)) {
            ::SetEvent(m_stalled.get());
            if (silent(route.pause)) SendAll(client, route.body.data() + route.breakAt, route.body.size() - route.breakAt);
        }
    } else if (ok && (route.mode == Route::Stall || route.mode == Route::StallCutOff)) {
        ok = SendAll(client, route.body.data(), route.breakAt);
        ::SetEvent(m_stalled.get());
        HANDLE wake[] = {m_release.get(), m_stopping.get()};
        if (ok && ::WaitForMultipleObjects(2, wake, FALSE, 60000) == WAIT_OBJECT_0 && route.mode == Route::Stall)
            SendAll(client, route.body.data() + route.breakAt, route.body.size() - route.breakAt);
    } else if (ok) {
        SendAll(client, route.body.data(), route.body.size());
    }
    ::shutdown(client, SD_SEND);
    // Drain what the client still sends until it closes, so the close is orderly.
    DWORD quiet = 2000;
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&quiet), sizeof quiet);
    while (::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
    kit::Lock lock(m_lock);
    for (UINT_PTR& known_client : m_clients) {
        if (known_client == clientSocket) known_client = static_cast<UINT_PTR>(INVALID_SOCKET);
    }
    ::closesocket(client);
}

}  // namespace updatetest
