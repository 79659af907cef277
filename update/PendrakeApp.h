// The update plug-in's application object: one global instance from load to unload, holding the
// update window that a run procedure created last (null until the first).
#pragma once
#include <memory>

#include "base/PluginApp.h"
#include "update/PendrakeExports.h"
#include "update/UpdateDialog.h"

class CUpdatePluginApp : public kit::PluginApp {
public:
    void ExitInstance() override;

    // The run procedure: quick check, question, a new update window; `quiet` shows nothing when
    // no newer version is found.
    void RunUpdate(const host::UpdateRequest& request, bool quiet);

    std::unique_ptr<CUpdateDlg> currentWindow;
};

extern CUpdatePluginApp theApp;
