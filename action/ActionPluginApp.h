// The action plug-in's application object: one global instance from load to unload. It creates
// the hidden action window on the first call, writes each kind of limit line once, and hands the
// call's action to the window. On unload it destroys the window, so that no message can reach
// this module's code once it is gone.
#pragma once
#include <memory>

#include "action/WallAction.h"
#include "base/PluginApp.h"
#include "hostapi/HostProtocol.h"

class CActionPluginApp : public kit::PluginApp {
public:
    CActionPluginApp() = default;
    ~CActionPluginApp() override = default;

    bool InitInstance() override;
    void ExitInstance() override;

    void RunExternalFunction(const host::ExternalCall& call);

    std::unique_ptr<CWallAction> actionWindow;  // null until the first call
};

extern CActionPluginApp theApp;
