// A local update service inside the test program: an HTTP server on 127.0.0.1 (an ephemeral port)
// that serves an update folder from a table of paths, and can misbehave on purpose: answer late,
// fall silent for a while in the middle of a body, cut a body off before its announced length,
// stall in the middle of a body until the test releases it (or the server stops), or answer a
// range request with the whole body. Every request path is recorded, and every range asked for.
// Runs on threads of its own; Winsock only.
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
    // Pause: silent for `pause` ms after `breakAt` bytes, then the rest.
    enum Mode { Whole, CutOff, Stall, StallCutOff, Pause } mode = Whole;
    size_t breakAt = 0;  // CutOff: bytes sent before the close; Stall(CutOff), Pause: before the silence
    DWORD pause = 0;        // Pause: how long
    DWORD answerDelay = 0;  // ms of silence before the head of every answer of this path
    // A range request gets the rest of the body (206, at once and whole), except from a
    // StallCutOff route, which answers every request alike, and a route with `rangeWhole`, which
    // answers it with the whole body (200).
    bool rangeWhole = false;
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
    // Waits until every answer so far has been given and its thread has ended (false after
    // `milliseconds`); the ended threads' handles are closed as they are found.
    bool WaitIdle(DWORD milliseconds = 10000);
    // The range requests, as "<path> from <offset>", in order.
    std::vector<std::string> Ranges() const;

private:
    static DWORD WINAPI AcceptLoop(void* self);
    static DWORD WINAPI Serve(void* context);
    void Answer(UINT_PTR client);
    void CloseEndedThreads();  // under m_lock

    UINT_PTR m_listener;
    unsigned short m_port = 0;
    kit::UniqueHandle m_acceptThread;
    kit::UniqueHandle m_stopping{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle m_stalled{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    mutable kit::CriticalSection m_lock;
    std::map<std::string, Route> m_routes;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_ranges;
    std::vector<HANDLE> m_clientThreads;
    std::vector<UINT_PTR> m_clients;
};

}  // namespace updatetest
