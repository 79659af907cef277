// The request rig of the statistics-request tests (see StatsRequestRig.h).
#include "tests/provider/StatsRequestRig.h"

#include <doctest/doctest.h>

#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"

namespace statstest {

const char kFetchLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEF\xEE\xEB\xF3\xF7\xE8\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";
const char kParseLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEE\xE1\xF0\xE0\xE1\xEE\xF2\xE0\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";

namespace {

// A request record as the host builds it, with strings of the host's own manager.
class HostRequest {
public:
    HostRequest(const Request& r, HWND window)
        : code(r.code), password(r.password), url(r.url), spare("spare"), proxyName(r.proxyName),
          proxyPassword(r.proxyPassword) {
        record.hostWindow = window;
        record.contractCode = code.object();
        record.password = password.object();
        record.serverBaseUrl = url.object();
        record.useProxy = r.useProxy;
        record.directConnection = r.direct;
        record.spareText = spare.object();
        record.proxyName = proxyName.object();
        record.proxyPassword = proxyPassword.object();
        record.spareValue = 0xdeadbeef;
        record.serverIndex = r.serverIndex;
    }

    host::StatsRequest* get() { return &record; }

    hoststub::HostString code, password, url, spare, proxyName, proxyPassword;

private:
    host::StatsRequest record{};
};

}  // namespace

void NestedCaller::OnHostMessage(UINT arrived, HWND window) {
    if (arrived != message || calling) return;
    calling = true;
    hoststub::StandInHost::CallNested(from, [&] {
        Request debug;
        debug.serverIndex = 3;  // were it run, it would send a list of its own
        HostRequest nested(debug, window);
        Call call{-1, 0x5eadbeef};
        call.returned = getOneStats(nested.get(), &call.result);
        calls.push_back(call);
    });
    calling = false;
}

Outcome Run(StatsFn getOneStats, const Request& r, hoststub::StandInHost* sharedHost, NestedCaller* nested) {
    hoststub::StandInHost ownHost;
    hoststub::StandInHost& host = sharedHost ? *sharedHost : ownHost;
    host.ClearRecords();
    HostRequest request(r, host.window());

    Outcome out;
    out.result = 0x5eadbeef;
    if (nested) host.SetMessageHook([&](UINT message) { nested->OnHostMessage(message, host.window()); });
    host.RunOnUiThread([&] { out.returned = getOneStats(request.get(), &out.result); });
    if (nested) host.SetMessageHook(nullptr);
    out.log = host.logLines();
    out.errors = host.userErrors();
    out.lists = host.statsLists();
    CHECK(request.code.text() == r.code);  // the host's strings are left as they were
    CHECK(request.password.text() == r.password);
    return out;
}

}  // namespace statstest
