// A local update service inside the test program: an HTTP server on 127.0.0.1 (an ephemeral port)
// that serves an update folder from a table of paths, and can misbehave on purpose: cut a body
// off before its announced length, or stall in the middle of a body until the test releases it
// (or the server stops). Every request path is recorded. Runs on threads of its own; Winsock only.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "base/Unique.h"

namespace updatetest {

struct Route {
    int status = 200;
    std::string body;
    enum Mode { Whole, CutOff, Stall, StallCutOff } mode = Whole;
    size_t breakAt = 0;  // CutOff: bytes sent before the close; Stall(CutOff): before the stall
    // A range request gets the rest of the body (206), except from a StallCutOff route, which
    // answers every request alike.
};

class UpdateServer {
public:
    UpdateServer();
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // The folder URL "http://127.0.0.1:<port>/<folder>/" (ends with a separator).
    std::string FolderUrl(const std::string& folder) const;
    void Set(const std::string& path, Route route);  // path as requested, e.g. "/upd/updlist.txt"

    // Returns once a stalled answer has sent its first part (false after `milliseconds`).
    bool WaitForStall(DWORD milliseconds);
    // Lets every stalled answer go on with the rest of its body.
    void ReleaseStalls();

    std::vector<std::string> Requests() const;

private:
    static DWORD WINAPI AcceptLoop(void* self);
    static DWORD WINAPI Serve(void* context);
    void Answer(UINT_PTR client);

    UINT_PTR m_listener;
    unsigned short m_port = 0;
    kit::UniqueHandle m_acceptThread;
    kit::UniqueHandle m_stopping{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_stalled{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    mutable kit::CriticalSection m_lock;
    std::map<std::string, Route> m_routes;
    std::vector<std::string> m_requests;
    std::vector<HANDLE> m_clientThreads;
    std::vector<UINT_PTR> m_clients;
};

}  // namespace updatetest
