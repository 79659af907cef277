#include "provider/VorndalApp.h"

#include "hostapi/ExportTypes.h"
#include "httpclient/HttpClient.h"
#include "provider/StatsSession.h"
#include "provider/StatsStates.h"

CvorndalApp theApp;

namespace {

constexpr int kDebugServerIndex = 3;

// The contract code and the password travel in the query string: every byte but a letter or a
// digit goes as %XX, so "&", "#", "+", "%" or a blank reach the service as the user typed them.
kit::String QueryValue(const kit::String& text) {
    static const char kHex[] = "0123456789ABCDEF";
    kit::String encoded;
    for (unsigned char c : text.view()) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            encoded += static_cast<char>(c);
        } else {
            const char escape[3] = {'%', kHex[c >> 4], kHex[c & 15]};
            encoded.Append(escape, 3);
        }
    }
    return encoded;
}

const kit::String& Text(const kit::String* field) {
    static const kit::String empty;
    return field ? *field : empty;
}

// Holds the running mark for one request, however the request ends; a call that finds the mark
// taken holds nothing.
class RunningMark {
public:
    explicit RunningMark(std::atomic<bool>& running) : running(running), held(!running.exchange(true)) {}
    ~RunningMark() {
        if (held) running = false;
    }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;
    bool Held() const { return held; }

private:
    std::atomic<bool>& running;
    const bool held;
};

}  // namespace

CvorndalApp::~CvorndalApp() { DropSession(); }

void CvorndalApp::DropSession() {
    if (!currentSession) return;
    if (auto* client = currentSession->Client()) client->ReleasePostContext();
    currentSession.reset();
}

int CvorndalApp::RunStatsRequest(const host::StatsRequest& request) {
    const RunningMark mark(requestRunning);
    if (!mark.Held()) return provider::StateHttpFailure;  // the running request and its list stay as they are
    DropSession();  // left over by a request that did not finish
    currentSession = std::make_unique<CStatsSession>();
    int result = provider::StateHttpFailure;
    try {
        currentSession->Setup(Text(request.contractCode), Text(request.password), Text(request.serverBaseUrl),
                              request.useProxy != 0, Text(request.spareText), Text(request.proxyName),
                              Text(request.proxyPassword), request.directConnection != 0, fetchTimeout);
        currentSession->SetHostWindow(request.hostWindow);

        int state;
        if (request.serverIndex == kDebugServerIndex) {
            currentSession->AddDebugDayData();
            currentSession->AddDebugMonthData();
            currentSession->AddDebugAccountData();
            state = provider::StateStatsGathered;
        } else {
            currentSession->PostLogLine("::: Попытка получить данные");
            const StatsSettings& settings = *currentSession->Settings();
            const kit::String url = settings.serverBaseUrl + "/vapi/jstat.jsp?code=" +
                                    QueryValue(settings.contractCode) + "&pass=" + QueryValue(settings.password);
            state = currentSession->FetchStats(url);
        }

        if (state == provider::StateStatsGathered) {
            currentSession->PublishStats();
            result = host::StatsDelivered;
        } else {
            result = state;
        }
    } catch (...) {
        // The client refuses its settings (a proxy account without a password) or memory ran
        // out: the request fails as the client's failures do, and the session still goes.
        result = provider::StateHttpFailure;
    }
    DropSession();
    return result;
}

extern "C" int __cdecl GetOneStats(const host::StatsRequest* request, int* result) {
    const int value = kit::GuardExport(static_cast<int>(provider::StateHttpFailure), [&] {
        return request ? theApp.RunStatsRequest(*request) : static_cast<int>(provider::StateHttpFailure);
    });
    if (result) *result = value;
    return value;
}

HOST_CHECK_EXPORT(GetOneStats);
