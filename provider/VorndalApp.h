// The provider plug-in's application object: one global instance from load to unload, holding
// the statistics session of the request in progress (null between calls).
#pragma once
#include "base/PluginApp.h"

class CStatsSession;

class CvorndalApp : public kit::PluginApp {
public:
    CvorndalApp() = default;
    ~CvorndalApp() override;

    bool InitInstance() override { return kit::PluginApp::InitInstance(); }
    void ExitInstance() override { kit::PluginApp::ExitInstance(); }

    CStatsSession* currentSession = nullptr;
};

extern CvorndalApp theApp;
