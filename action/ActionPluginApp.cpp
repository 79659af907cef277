// The action plug-in's application object: the one call on a reached limit, and the unload.
#include "action/ActionPluginApp.h"

#include <utility>

CActionPluginApp theApp;

namespace {

// Indexed by limit kind - 1; each literal ends in the blank before the call's text.
constexpr const char* kLimitLines[] = {
    "::: Достигнут лимит по зарубежному трафику ",
    "::: Достигнут лимит по украинскому трафику ",
    "::: Достигнут лимит по общему трафику ",
    "::: Достигнут лимит по сальдо ",
};
constexpr int kLimitKinds = sizeof(kLimitLines) / sizeof(kLimitLines[0]);

constexpr char kWindowName[] = "WallAction";

}  // namespace

bool CActionPluginApp::InitInstance() { return kit::PluginApp::InitInstance(); }

// DllMain runs this on the thread that unloads us (FreeLibrary only; not when the process ends).
// The window is destroyed on its own thread, handed over there when we are elsewhere; a window
// whose thread does not answer is cut loose from our code (see kit::Window).
void CActionPluginApp::ExitInstance() {
    actionWindow.reset();
    kit::PluginApp::ExitInstance();
}

void CActionPluginApp::RunExternalFunction(const host::ExternalCall& call) {
    if (!actionWindow) {
        actionWindow = std::make_unique<CWallAction>();
        // Without a valid host window the creation fails; the object goes on without a window.
        actionWindow->Create(nullptr, kWindowName, WS_CHILD, RECT{0, 0, 1, 1}, call.hostWindow, 0);
        CWallAction& window = *actionWindow;
        for (bool& reported : window.limitReported) reported = false;
        window.segmentActive = false;
        window.worldOff = false;
        window.hostWindow = call.hostWindow;
    }
    CWallAction& window = *actionWindow;
    const kit::String text = call.text ? *call.text : kit::String();

    if (call.limitKind >= 1 && call.limitKind <= kLimitKinds) {
        bool& reported = window.limitReported[call.limitKind - 1];
        // Set before the line goes out: a host that calls again from its log handler is told once.
        if (!std::exchange(reported, true)) window.SendLogLine(kLimitLines[call.limitKind - 1] + text);
    }

    switch (call.actionId) {
    case host::ActionWorldOff:
        window.RequestWorldOff();
        break;
    case host::ActionSegmentOn:
        window.ActivateSegment();
        break;
    case host::ActionWorldOffAndSegmentOn:
        window.SwitchWorldOffAndSegmentOn();
        break;
    default:
        break;
    }
}
