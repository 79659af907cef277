// What the worker tests ask of an update service, wherever it runs: a folder of routes that
// answer, cut off, reset and change the files as a test sets them, and a record of the requests
// with the ranges asked for. Two services give it: the server inside the test program
// (UpdateServer.h), which can also stall and hold its answers, and a site of the local services
// outside Wine (OutsideUpdateSite.h), whose resets are real ones and whose listener can go away.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

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
    // Only the server in the test program holds ranges and stalls.
    bool holdRanges = false;
    // The service outside Wine only: the listener closes as an answer of this route begins (with
    // `cutAnswers`, one that is cut) and every connection is refused for that many ms.
    DWORD downAfter = 0;
    // The service outside Wine only: how the end of a body is known (its Content-Length, only the
    // close of the connection, or chunked transfer coding, whose cut bodies end before their last
    // chunk), and how many answers after the first each name a new version of the same bytes
    // (-1: every one).
    enum Length { Announced, CloseEnds, Chunked } length = Announced;
    int newVersions = 0;
};

class UpdateSite {
public:
    virtual ~UpdateSite() = default;
    // The folder URL "http://127.0.0.1:<port>/<folder>/" (ends with a separator).
    virtual std::string FolderUrl(const std::string& folder) const = 0;
    // Path as requested, e.g. "/upd/updlist.txt"; its answers are counted from here (cutAnswers).
    virtual void Set(const std::string& path, Route route) = 0;
    virtual std::vector<std::string> Requests() const = 0;  // the request paths, in order
    // The range requests, as "<path> from <offset>", in order.
    virtual std::vector<std::string> Ranges() const = 0;
    // The If-Range value of each range request (empty when it sent none), in order.
    virtual std::vector<std::string> IfRanges() const = 0;

    // The validators both services send with `body` as version `version` of a route.
    static std::string ETagOf(const std::string& body, int version);
    static std::string LastModifiedOf(int version);
};

}  // namespace updatetest
