// Starting, scripting, reading and stopping the Brasko stand-in from a test.
#include "testing/brasko/BraskoProgram.h"

#include <stdexcept>

namespace braskostub {

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kDrainTimeoutMs = 10000;

HWND AsWindow(std::uint32_t value) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(value)); }

}  // namespace

BraskoProgram::BraskoProgram(const std::string& exePath) {
    static LONG instances = 0;
    const std::string name = "KitBraskoStandIn." + std::to_string(::GetCurrentProcessId()) + "." +
                             std::to_string(::InterlockedIncrement(&instances));
    m_mapping.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), name.c_str()));
    if (!m_mapping) throw std::runtime_error("shared memory for the Brasko stand-in");
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)));
    if (!m_view) throw std::runtime_error("view of the Brasko stand-in's memory");
    m_shared = static_cast<Shared*>(m_view.get());  // a new mapping starts zeroed
    SetScript(-1, false, false);

    std::string commandLine = "\"" + exePath + "\" " + name + " " + std::to_string(::GetCurrentProcessId());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + exePath + " (error " + std::to_string(::GetLastError()) + ")");
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);

    const DWORD start = ::GetTickCount();
    while (!m_shared->ready) {
        if (::WaitForSingleObject(m_process.get(), 5) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(m_process.get(), &code);
            throw std::runtime_error("the Brasko stand-in exited with code " + std::to_string(code));
        }
        if (::GetTickCount() - start > kStartTimeoutMs) throw std::runtime_error("the Brasko stand-in did not start");
    }
}

BraskoProgram::~BraskoProgram() {
    if (!m_process) return;
    ::PostMessageA(control(), WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(m_process.get(), 5000) != WAIT_OBJECT_0) ::TerminateProcess(m_process.get(), 1);
}

void BraskoProgram::SetScript(int state, bool confirmWorldOff, bool confirmSegmentOn) {
    ::InterlockedExchange(&m_shared->script.state, state);
    ::InterlockedExchange(&m_shared->script.confirmWorldOff, confirmWorldOff);
    ::InterlockedExchange(&m_shared->script.confirmSegmentOn, confirmSegmentOn);
}

HWND BraskoProgram::window(WindowRole role) const { return AsWindow(m_shared->windows[static_cast<int>(role)]); }

HWND BraskoProgram::control() const { return AsWindow(m_shared->control); }

std::vector<Record> BraskoProgram::Records() const {
    const LONG count = ::InterlockedCompareExchange(const_cast<LONG*>(&m_shared->count), 0, 0);
    return std::vector<Record>(m_shared->records, m_shared->records + count);
}

std::vector<Record> BraskoProgram::Received(WindowRole role, std::size_t from) const {
    const std::vector<Record> all = Records();
    std::vector<Record> selected;
    for (std::size_t i = from; i < all.size(); ++i)
        if (all[i].window == role) selected.push_back(all[i]);
    return selected;
}

void BraskoProgram::Drain() {
    const LONG token = ++m_drainToken;
    ::PostMessageA(control(), WM_STANDIN_DRAIN, static_cast<WPARAM>(token), 0);
    const DWORD start = ::GetTickCount();
    while (::InterlockedCompareExchange(&m_shared->drained, 0, 0) != token) {
        if (::GetTickCount() - start > kDrainTimeoutMs) throw std::runtime_error("the Brasko stand-in does not answer");
        ::Sleep(1);
    }
}

void BraskoProgram::PostFromBrasko(UINT message, HWND target) {
    ::PostMessageA(control(), WM_STANDIN_POST_TO, message, reinterpret_cast<LPARAM>(target));
}

}  // namespace braskostub
