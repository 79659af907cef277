// A local update service inside the test program: an HTTP server on 127.0.0.1 (an ephemeral port)
// that serves an update folder from a table of paths, and can misbehave on purpose: answer late,
// fall silent for a while in the middle of a body, cut a body off before its announced length or
// reset the connection there, stall in the middle of a body until the test releases it (or the
// server stops), answer a range request with the whole body, or bring a new version of a file
// after its first answer. Like a real server it names each version of a body (ETag,
// Last-Modified) and honours If-Range: a range with a stale validator gets the whole current body
// (200). Every request path is recorded, and every range asked for with its If-Range.
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
    // CutOff: the answer ends after byte `breakAt` of the body (an orderly close); Reset: likewise,
    // with a connection reset. Both apply to every answer, the rest asked for by a range too (from
    // `breakAt` on it brings nothing), or only to the first `cutAnswers`.
    // Pause: silent for `pause` ms after `breakAt` bytes, then the rest.
    enum Mode { Whole, CutOff, Reset, Stall, StallCutOff, Pause } mode = Whole;
    size_t breakAt = 0;  // CutOff, Reset: where the body ends; Stall(CutOff), Pause: bytes before the silence
    DWORD pause = 0;        // Pause: how long
    DWORD answerDelay = 0;  // ms of silence before the head of every answer of this path
    // A range request gets the rest of the body (206, at once), except from a StallCutOff route,
    // which answers every request alike, and a route with `rangeWhole`, which answers it with the
    // whole body (200).
    bool rangeWhole = false;
    int cutAnswers = -1;  // CutOff, Reset: how many answers are cut; -1: every one
    // The validators that name the body's version: both, only Last-Modified, or none.
    enum Validators { Both, DateOnly, NoValidators } validators = Both;
    int version = 1;  // goes into the ETag and the Last-Modified of the body
    // When not empty: after the first answer the body is this one, a new version.
    std::string changedBody = {};
    bool ignoreIfRange = false;  // a range gets the rest of the current body whatever If-Range says
    // A range request gets its head only once the test releases the stalls (or the server stops).
    bool holdRanges = false;
};

class UpdateServer {
public:
    UpdateServer();
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // The folder URL "http://127.0.0.1:<port>/<folder>/" (ends with a separator).
    std::string FolderUrl(const std::string& folder) const;
    // Path as requested, e.g. "/upd/updlist.txt"; its answers are counted from here (cutAnswers).
    void Set(const std::string& path, Route route);

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
    // The If-Range value of each range request (empty when it sent none), in order.
    std::vector<std::string> IfRanges() const;
    // The validators the service sends with `body` as version `version` of a route.
    static std::string ETagOf(const std::string& body, int version);
    static std::string LastModifiedOf(int version);

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
