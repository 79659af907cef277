// The provider plug-in's application object: one global instance from load to unload, holding
// the statistics session of the request in progress (null between calls), and the request driver
// behind the GetOneStats export.
#pragma once
#include <atomic>
#include <memory>

#include "base/PluginApp.h"
#include "hostapi/HostProtocol.h"
#include "provider/StatsStates.h"

class CStatsSession;

class CvorndalApp : public kit::PluginApp {
public:
    CvorndalApp() = default;
    ~CvorndalApp() override;

    bool InitInstance() override { return kit::PluginApp::InitInstance(); }
    void ExitInstance() override { kit::PluginApp::ExitInstance(); }
    // The process ends while a request runs on a thread that is gone: its session, client and
    // WinInet handles are left to the system.
    void AbandonInstance() override { (void)currentSession.release(); }

    // One complete statistics request; returns the result the host receives. A call made while
    // another runs (from the host's handler of one of its messages) is refused with 6 at once.
    int RunStatsRequest(const host::StatsRequest& request);
    // How long a request waits for a silent service; tests shorten it.
    void SetFetchTimeout(unsigned milliseconds) { fetchTimeout = milliseconds; }

private:
    void DropSession();

    std::unique_ptr<CStatsSession> currentSession;  // null between calls
    std::atomic<bool> requestRunning{false};
    unsigned fetchTimeout = provider::kFetchTimeoutMilliseconds;
};

extern CvorndalApp theApp;
