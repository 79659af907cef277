#include "PluginApp.h"

namespace kit {

PluginApp* PluginApp::s_current = nullptr;
bool PluginApp::s_processExiting = false;

PluginApp::PluginApp() { s_current = this; }

PluginApp::~PluginApp() {
    if (s_current == this) s_current = nullptr;
}

bool PluginApp::OnProcessAttach(HMODULE module) {
    if (!s_current) return true;
    s_current->m_module = module;
    try {
        return s_current->InitInstance();
    } catch (...) {
        return false;
    }
}

void PluginApp::OnProcessDetach(bool processExit) {
    s_processExiting = processExit;
    if (!s_current) return;
    try {
        if (processExit) s_current->AbandonInstance();
        else s_current->ExitInstance();
    } catch (...) {
    }
}

}  // namespace kit
