// The statistics request against a service that stays silent, with the request driver linked into
// this program and the WinInet spy in place of WinInet's imports: the time-outs go on the
// request's connection and request handles (where Wine honours them), the real ones are 30 s,
// and a service that accepts the connection and never answers ends the request with 9 once a
// shortened time-out has passed, with the fetch's log line only and no list.
#include <doctest/doctest.h>

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/ServerSilence.h"
#include "hostapi/ExportTypes.h"
#include "provider/StatsStates.h"
#include "provider/VorndalApp.h"
#include "tests/httpclient/WinInetSpy.h"
#include "tests/provider/StatsRequestRig.h"
#include "tests/support/Services.h"

extern "C" int __cdecl GetOneStats(const host::StatsRequest* request, int* result);

using statstest::kFetchLine;
using statstest::Outcome;
using statstest::Request;
using testsupport::Services;
using testsupport::WinInetCall;
using testsupport::WinInetSpy;

namespace {

// The time-out options set on each handle, by option, in the order they were set.
using OptionValues = std::map<DWORD, std::vector<DWORD>>;
std::map<HINTERNET, OptionValues> TimeoutsByHandle(const WinInetSpy& spy) {
    std::map<HINTERNET, OptionValues> set;
    for (const auto& call : spy.CallsOf(WinInetCall::InternetSetOption)) {
        if (call.number != INTERNET_OPTION_CONNECT_TIMEOUT && call.number != INTERNET_OPTION_SEND_TIMEOUT &&
            call.number != INTERNET_OPTION_RECEIVE_TIMEOUT)
            continue;
        set[call.handle][call.number].push_back(testsupport::OptionDword(call));
    }
    return set;
}

std::vector<HINTERNET> Created(const WinInetSpy& spy, WinInetCall call) {
    std::vector<HINTERNET> handles;
    for (const auto& record : spy.CallsOf(call)) handles.push_back(record.result);
    return handles;
}

// Every connection and request of the run got all three time-outs of `milliseconds` once; the
// internet session got none.
void CheckTimeouts(const WinInetSpy& spy, DWORD milliseconds) {
    const auto set = TimeoutsByHandle(spy);
    const OptionValues expected{{INTERNET_OPTION_CONNECT_TIMEOUT, {milliseconds}},
                                {INTERNET_OPTION_SEND_TIMEOUT, {milliseconds}},
                                {INTERNET_OPTION_RECEIVE_TIMEOUT, {milliseconds}}};
    const auto connections = Created(spy, WinInetCall::InternetConnect);
    const auto requests = Created(spy, WinInetCall::HttpOpenRequest);
    CHECK(connections.size() == 1);
    CHECK(requests.size() == 1);
    for (const auto& handles : {connections, requests}) {
        for (HINTERNET handle : handles) {
            const auto found = set.find(handle);
            REQUIRE(found != set.end());
            CHECK(found->second == expected);
        }
    }
    for (HINTERNET session : Created(spy, WinInetCall::InternetOpen)) CHECK(set.count(session) == 0);
    CHECK(set.size() == connections.size() + requests.size());
}

// The driver's time-out for the test's span; the real one afterwards.
struct FetchTimeout {
    explicit FetchTimeout(unsigned milliseconds) { theApp.SetFetchTimeout(milliseconds); }
    ~FetchTimeout() { theApp.SetFetchTimeout(provider::kFetchTimeoutMilliseconds); }
};

}  // namespace

TEST_CASE("a request waits 30 s at most for each step, on its connection and its request, not on its session") {
    CHECK(provider::kFetchTimeoutMilliseconds == 30000);
    WinInetSpy spy;
    Request request;
    request.url = Services::Get().HttpsUrl("/ktvinet");
    CHECK(statstest::Run(&GetOneStats, request).result == 1);
    CheckTimeouts(spy, 30000);
}

TEST_CASE("a service that accepts the request and never answers ends it with 9, the fetch's log line and no list") {
    const FetchTimeout shortened(1500);
    const Services& services = Services::Get();
    // Plain HTTP: under Wine a TLS handshake that never completes is not cut short by any time-out.
    for (const std::string& base : {services.HttpUrl("/silent/ktvinet"), services.HttpUrl("/delay/20000/ktvinet")}) {
        CAPTURE(base);
        WinInetSpy spy;
        Request request;
        request.url = base;
        const Outcome out = statstest::Run(&GetOneStats, request);  // the slow one would answer with 1
        CHECK(out.returned == 9);
        CHECK(out.result == 9);
        CHECK(out.log == std::vector<std::string>{kFetchLine});
        CHECK(out.errors.empty());
        CHECK(out.lists.empty());

        // The send came back with what the platform makes of the silence: a time-out, or under
        // Wine a dropped connection after the time-out had passed.
        const auto sends = spy.CallsOf(WinInetCall::HttpSendRequest);
        REQUIRE(sends.size() == 1);
        CHECK_FALSE(sends[0].ok);
        CAPTURE(sends[0].error);
        CHECK((sends[0].error == ERROR_INTERNET_TIMEOUT || sends[0].error == ERROR_INTERNET_CONNECTION_ABORTED));
        CheckTimeouts(spy, 1500);
        CHECK(spy.OpenHandles().empty());
    }
}

TEST_CASE("what counts as the service's silence: a time-out, or a dropped connection after half the time-out") {
    struct Row {
        DWORD error;
        ULONGLONG waited;
        DWORD timeout;
        bool silence;
    };
    const Row rows[] = {
        {ERROR_INTERNET_TIMEOUT, 0, 30000, true},
        {WSAETIMEDOUT, 0, 30000, true},  // Wine's stalled read
        {ERROR_INTERNET_TIMEOUT, 0, 0, true},
        {ERROR_INTERNET_CONNECTION_ABORTED, 0, 30000, false},  // dropped at once
        {ERROR_INTERNET_CONNECTION_ABORTED, 14999, 30000, false},
        {ERROR_INTERNET_CONNECTION_ABORTED, 15000, 30000, true},
        {ERROR_INTERNET_CONNECTION_ABORTED, 31000, 30000, true},
        {ERROR_INTERNET_CONNECTION_ABORTED, 100000, 0, false},  // no time-out of our own
        {ERROR_INTERNET_CONNECTION_RESET, 100000, 30000, false},
        {ERROR_INTERNET_CANNOT_CONNECT, 100000, 30000, false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.error);
        CAPTURE(row.waited);
        CAPTURE(row.timeout);
        CHECK(kit::EndedBySilence(row.error, row.waited, row.timeout) == row.silence);
    }
}
