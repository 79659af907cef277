#include "tests/update_window/WorkerRig.h"

#include <cstdio>

#include "update/UpdateEngine.h"

namespace updatetest {

RecordingWindow::RecordingWindow() {
    Create(nullptr, "recording", WS_OVERLAPPED, RECT{0, 0, 10, 10}, nullptr);
}

LRESULT RecordingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < WM_UPD_FILE_RANGE || message > WM_UPD_GET_PARAM) return kit::Window::OnMessage(message, wParam, lParam);
    Received entry{message, wParam, lParam, {}, ::InSendMessage() != FALSE};
    if (message == WM_UPD_LOG || message == WM_UPD_STATUS || message == WM_UPD_GET_PARAM) {
        entry.text = UpdParamPointer<const kit::String>(wParam)->str();
    }
    if (message == WM_UPD_GET_PARAM) {
        auto found = params.find(entry.text);
        *UpdLParamPointer<kit::String>(lParam) = found == params.end() ? "" : found->second.c_str();
    }
    received.push_back(entry);
    return 0;
}

UINT RecordingWindow::PumpUntilDone(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    size_t seen = 0;
    for (;;) {
        for (; seen < received.size(); ++seen) {
            UINT message = received[seen].message;
            if (message == WM_UPD_ALL_LOADED || message == WM_UPD_WORKER_DONE) return message;
        }
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return 0;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void RecordingWindow::PumpFor(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

std::vector<std::string> RecordingWindow::Logs() const {
    std::vector<std::string> out;
    for (const Received& entry : received) {
        if (entry.message == WM_UPD_LOG) out.push_back(entry.text);
    }
    return out;
}

std::vector<std::string> RecordingWindow::Statuses() const {
    std::vector<std::string> out;
    for (const Received& entry : received) {
        if (entry.message == WM_UPD_STATUS) out.push_back(entry.text);
    }
    return out;
}

std::vector<UINT> RecordingWindow::Kinds(bool withFileProgress) const {
    std::vector<UINT> out;
    for (const Received& entry : received) {
        if (!withFileProgress && (entry.message == WM_UPD_FILE_RANGE || entry.message == WM_UPD_FILE_POS)) continue;
        out.push_back(entry.message);
    }
    return out;
}

int RecordingWindow::Count(UINT message) const {
    int count = 0;
    for (const Received& entry : received) count += entry.message == message;
    return count;
}

const Received* RecordingWindow::Last(UINT message) const {
    for (auto it = received.rbegin(); it != received.rend(); ++it) {
        if (it->message == message) return &*it;
    }
    return nullptr;
}

TempFolder::TempFolder(const std::string& name) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + name + "-" + std::to_string(::GetCurrentProcessId()) + "\\";
    DeleteFolderTree(m_path.c_str());
    ::CreateDirectoryA(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder() { DeleteFolderTree(m_path.c_str()); }

std::string ReadWholeFile(const std::string& path, bool* exists) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (exists) *exists = file != nullptr;
    if (!file) return {};
    std::string data;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
    std::fclose(file);
    return data;
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace updatetest
