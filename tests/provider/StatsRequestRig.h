// What the tests of whole statistics requests share: one request as the stand-in host makes it,
// run on the host's user-interface thread through a GetOneStats (ravo.dll's, or the request driver
// linked into the test), and what reached the host's window meanwhile.
#pragma once
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

// Runs `r` through `getOneStats` on the UI thread of `sharedHost`, or of a host of its own; checks
// that the host's strings are left as they were.
Outcome Run(StatsFn getOneStats, const Request& r, hoststub::StandInHost* sharedHost = nullptr);

}  // namespace statstest
