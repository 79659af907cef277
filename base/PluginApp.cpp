#include "PluginApp.h"

namespace kit {

PluginApp* PluginApp::s_current = nullptr;

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

void PluginApp::OnProcessDetach() {
    if (!s_current) return;
    try {
        s_current->ExitInstance();
    } catch (...) {
    }
}

}  // namespace kit
