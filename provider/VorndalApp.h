// The provider plug-in's application object: one global instance from load to unload, holding
// the statistics session of the request in progress (null between calls), and the request driver
// behind the GetOneStats export.
#pragma once
#include "base/PluginApp.h"
#include "hostapi/HostProtocol.h"

class CStatsSession;

class CvorndalApp : public kit::PluginApp {
public:
    CvorndalApp() = default;
    ~CvorndalApp() override;

    bool InitInstance() override { return kit::PluginApp::InitInstance(); }
    void ExitInstance() override { kit::PluginApp::ExitInstance(); }

    // One complete statistics request; returns the result the host receives.
    int RunStatsRequest(const host::StatsRequest& request);

    CStatsSession* currentSession = nullptr;

private:
    void DropSession();
};

extern CvorndalApp theApp;
