// A local update service inside the test program: an HTTP server on 127.0.0.1 (an ephemeral port)
// that serves an update folder from a table of paths, and can misbehave on purpose: answer late,
// fall silent for a while in the middle of a body, cut a body off before its announced length or
// reset the connection there, stall in the middle of a body until the test releases it (or the
// server stops), answer a range request with the whole body, or bring a new version of a file
// after its first answer. Like a real server it names each version of a body (ETag,
// Last-Modified) and honours If-Range: a range with a stale validator gets the whole current body
// (200). Paths are matched and recorded as a web server reads them (percent escapes decoded), and
// every range asked for is recorded with its If-Range.
// Runs on threads of its own; Winsock only. Under Wine its reset reaches a client of the same
// process as an orderly end: a real reset comes from the site outside Wine (OutsideUpdateSite.h).
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "base/Unique.h"
#include "tests/update_window/UpdateSite.h"

namespace updatetest {

class UpdateServer final : public UpdateSite {
public:
    UpdateServer();
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    std::string FolderUrl(const std::string& folder) const override;
    void Set(const std::string& path, Route route) override;

    // Returns once a stalled answer has sent its first part (false after `milliseconds`).
    bool WaitForStall(DWORD milliseconds);
    // Lets every stalled answer go on with the rest of its body.
    void ReleaseStalls();

    std::vector<std::string> Requests() const override;
    // Waits until every answer so far has been given and its thread has ended (false after
    // `milliseconds`); the ended threads' handles are closed as they are found.
    bool WaitIdle(DWORD milliseconds = 10000);
    std::vector<std::string> Ranges() const override;
    std::vector<std::string> IfRanges() const override;

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
    std::vector<std::string> m_ifRanges;
    std::map<std::string, int> m_answers;  // answers given so far, by path
    std::vector<HANDLE> m_clientThreads;
    std::vector<UINT_PTR> m_clients;
};

}  // namespace updatetest
