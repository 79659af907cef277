// The request rig of the statistics-request tests (see StatsRequestRig.h).
#include "tests/provider/StatsRequestRig.h"

#include <doctest/doctest.h>

#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"

namespace statstest {

const char kFetchLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEF\xEE\xEB\xF3\xF7\xE8\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";
const char kParseLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEE\xE1\xF0\xE0\xE1\xEE\xF2\xE0\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";

Outcome Run(StatsFn getOneStats, const Request& r, hoststub::StandInHost* sharedHost) {
    hoststub::StandInHost ownHost;
    hoststub::StandInHost& host = sharedHost ? *sharedHost : ownHost;
    host.ClearRecords();
    hoststub::HostString code(r.code), password(r.password), url(r.url), spare("spare"), proxyName(r.proxyName),
        proxyPassword(r.proxyPassword);
    host::StatsRequest request{};
    request.hostWindow = host.window();
    request.contractCode = code.object();
    request.password = password.object();
    request.serverBaseUrl = url.object();
    request.useProxy = r.useProxy;
    request.directConnection = r.direct;
    request.spareText = spare.object();
    request.proxyName = proxyName.object();
    request.proxyPassword = proxyPassword.object();
    request.spareValue = 0xdeadbeef;
    request.serverIndex = r.serverIndex;

    Outcome out;
    out.result = 0x5eadbeef;
    host.RunOnUiThread([&] { out.returned = getOneStats(&request, &out.result); });
    out.log = host.logLines();
    out.errors = host.userErrors();
    out.lists = host.statsLists();
    CHECK(code.text() == r.code);  // the host's strings are left as they were
    CHECK(password.text() == r.password);
    return out;
}

}  // namespace statstest
