// The request rig of the statistics-request tests (see StatsRequestRig.h).
#include "tests/provider/StatsRequestRig.h"

#include <doctest/doctest.h>

#include <optional>

#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"

namespace statstest {

const char kFetchLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEF\xEE\xEB\xF3\xF7\xE8\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";
const char kParseLine[] = "::: \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xEE\xE1\xF0\xE0\xE1\xEE\xF2\xE0\xF2\xFC \xE4\xE0\xED\xED\xFB\xE5";

namespace {

constexpr char kCallerProperty[] = "statstest.NestedCaller";
constexpr UINT_PTR kNestedTimer = 0x5e57;
// The nested call's timer: short, and the handler pumps until it has fired, however late.
constexpr UINT kTimerMilliseconds = 10;
constexpr ULONGLONG kPumpLimitMilliseconds = 30000;

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

NestedCaller* CallerOf(HWND window) { return static_cast<NestedCaller*>(::GetPropA(window, kCallerProperty)); }

}  // namespace

NestedCaller::Attached::Attached(NestedCaller& caller, HWND window) : window(window) {
    ::SetPropA(window, kCallerProperty, &caller);
    caller.hostProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NestedCaller::WindowProc)));
}

NestedCaller::Attached::~Attached() {
    if (NestedCaller* caller = CallerOf(window))
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(caller->hostProc));
    ::RemovePropA(window, kCallerProperty);
}

LRESULT CALLBACK NestedCaller::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    NestedCaller* self = CallerOf(window);
    if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == self->message && !self->calling) self->CallAgain(window);
    return ::CallWindowProcA(self->hostProc, window, message, wParam, lParam);
}

void CALLBACK NestedCaller::OnTimer(HWND window, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(window, timer);
    if (NestedCaller* self = CallerOf(window)) self->CallNow(window);
}

void NestedCaller::CallAgain(HWND window) {
    if (from == From::Handler) {
        CallNow(window);
        return;
    }
    const std::size_t before = calls.size();
    if (!::SetTimer(window, kNestedTimer, kTimerMilliseconds, &NestedCaller::OnTimer)) return;
    const ULONGLONG limit = ::GetTickCount64() + kPumpLimitMilliseconds;
    while (calls.size() == before && ::GetTickCount64() < limit) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    ::KillTimer(window, kNestedTimer);
}

void NestedCaller::CallNow(HWND window) {
    calling = true;
    Request debug;
    debug.serverIndex = 3;  // were it run, it would send a list of its own
    HostRequest nested(debug, window);
    Call call{-1, 0x5eadbeef};
    call.returned = getOneStats(nested.get(), &call.result);
    calls.push_back(call);
    calling = false;
}

Outcome Run(StatsFn getOneStats, const Request& r, hoststub::StandInHost* sharedHost, NestedCaller* nested) {
    hoststub::StandInHost ownHost;
    hoststub::StandInHost& host = sharedHost ? *sharedHost : ownHost;
    host.ClearRecords();
    HostRequest request(r, host.window());

    Outcome out;
    out.result = 0x5eadbeef;
    host.RunOnUiThread([&] {
        std::optional<NestedCaller::Attached> attached;
        if (nested) attached.emplace(*nested, host.window());
        out.returned = getOneStats(request.get(), &out.result);
    });
    out.log = host.logLines();
    out.errors = host.userErrors();
    out.lists = host.statsLists();
    CHECK(request.code.text() == r.code);  // the host's strings are left as they were
    CHECK(request.password.text() == r.password);
    return out;
}

}  // namespace statstest
