#include "testing/host/UpdateHostCalls.h"

#include <stdexcept>

#include "testing/host/HostStrings.h"

namespace hoststub {

std::vector<PluginMenuRow> WalkPluginMenu(host::exports::GetPluginMenu* menu) {
    std::vector<PluginMenuRow> rows;
    int cursor = 0;
    for (int i = 0; i < 16; ++i) {
        HostString caption, hint;
        host::PluginMenuItem item{};
        item.caption = caption.object();
        item.hint = hint.object();
        menu(0, &item, &cursor);
        if (cursor == 0) break;
        rows.push_back(PluginMenuRow{item.commandId, item.flags, item.reserved, caption.text(), hint.text()});
    }
    return rows;
}

void CallRunProcedure(StandInHost& host, host::exports::GetPluginRunProcUpdate* run, const UpdateRequestTexts& texts) {
    host.RunOnUiThread([&] {
        host::UpdateRequest request{texts.baseUrl.c_str(), texts.programFolder.c_str(), texts.versionFile.c_str()};
        run(&request);
    });
}

unsigned long CallRunProc(StandInHost& host, host::exports::GetPluginRunProc* run, const UpdateRequestTexts& texts) {
    unsigned long result = 0xdeadbeef;
    host.RunOnUiThread([&] {
        host::UpdateRequest request{texts.baseUrl.c_str(), texts.programFolder.c_str(), texts.versionFile.c_str()};
        run(7, reinterpret_cast<std::uintptr_t>(&request), 9, &result);
    });
    return result;
}

void DialogDriver::Click(HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

DialogDriver::DialogDriver(DWORD thread, std::string title, int button, DWORD timeoutMs)
    : m_thread(thread), m_title(std::move(title)), m_button(button), m_timeout(timeoutMs) {
    m_worker.reset(::CreateThread(nullptr, 0, &DialogDriver::Body, this, 0, nullptr));
    if (!m_worker) throw std::runtime_error("no driver thread");
}

DialogDriver::~DialogDriver() { Answered(); }

bool DialogDriver::Answered() {
    if (m_worker) {
        ::WaitForSingleObject(m_worker.get(), INFINITE);
        m_worker.reset();
    }
    return m_answered;
}

DWORD WINAPI DialogDriver::Body(void* self) {
    auto* driver = static_cast<DialogDriver*>(self);
    HWND dialog = WaitForDialog(driver->m_thread, driver->m_title, driver->m_timeout);
    if (!dialog) return 1;
    driver->m_text = ItemText(dialog, 0xFFFF);
    driver->m_answered = ::GetDlgItem(dialog, driver->m_button) != nullptr;
    Click(dialog, driver->m_button);
    return 0;
}

}  // namespace hoststub
