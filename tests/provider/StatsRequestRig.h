// What the tests of whole statistics requests share: one request as the stand-in host makes it,
// run on the host's user-interface thread through a GetOneStats (ravo.dll's, or the request driver
// linked into the test), and what reached the host's window meanwhile. A run may have the host
// call GetOneStats again from inside its handler of one of the provider's messages.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "testing/host/StandInHost.h"

namespace statstest {

using StatsFn = host::exports::GetOneStats*;

// The provider's log lines, cp1251: before the fetch and before the parse.
extern const char kFetchLine[];
extern const char kParseLine[];

// One request as the host makes it, with the host's own strings.
struct Request {
    std::string url;
    std::string code = "answer";
    std::string password = "secret";
    int serverIndex = 0;
    bool useProxy = false;
    bool direct = true;
    std::string proxyName;
    std::string proxyPassword;
};

struct Outcome {
    int returned = -1;
    int result = -1;
    std::vector<std::string> log;
    std::vector<std::string> errors;
    std::vector<hoststub::StatsPairs> lists;
};

// A host that, each time one provider message reaches its window, calls GetOneStats again with a
// debug request to the same window from its handler: at once, or from a timer that fires while the
// handler pumps messages (as hosts that pump while they log do).
class NestedCaller {
public:
    using From = hoststub::StandInHost::Nesting;
    struct Call {
        int returned;
        int result;
    };

    NestedCaller(StatsFn getOneStats, UINT message, From from)
        : getOneStats(getOneStats), message(message), from(from) {}
    NestedCaller(const NestedCaller&) = delete;
    NestedCaller& operator=(const NestedCaller&) = delete;

    // What each nested call returned and wrote, in order.
    const std::vector<Call>& Calls() const { return calls; }
    // Called by the host's message hook, on its user-interface thread.
    void OnHostMessage(UINT arrived, HWND window);

private:
    StatsFn getOneStats;
    UINT message;
    From from;
    bool calling = false;  // a nested call is on the stack: its own messages go to the host as they are
    std::vector<Call> calls;
};

// Runs `r` through `getOneStats` on the UI thread of `sharedHost`, or of a host of its own; checks
// that the host's strings are left as they were. With `nested`, the host calls again as it says.
Outcome Run(StatsFn getOneStats, const Request& r, hoststub::StandInHost* sharedHost = nullptr,
            NestedCaller* nested = nullptr);

}  // namespace statstest
