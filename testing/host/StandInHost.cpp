#include "testing/host/StandInHost.h"

#include <exception>
#include <stdexcept>

#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/HostStrings.h"

namespace hoststub {

namespace {

constexpr UINT WM_STANDIN_RUN = WM_APP + 0x200;
constexpr UINT WM_STANDIN_MARK = WM_APP + 0x201;  // wParam: event to set
constexpr char kWindowClass[] = "KitStandInHostWindow";

// The layout of a string array as the host reads it: vtable pointer, data, size, capacity, grow-by.
struct ForeignStringArray {
    const void* vtable;
    char** data;
    std::int32_t size;
    std::int32_t capacity;
    std::int32_t growBy;
};
struct ForeignValueList {
    ForeignStringArray keys;
    ForeignStringArray values;
};
static_assert(sizeof(ForeignValueList) == (sizeof(void*) == 4 ? 40 : 64));

struct RunRequest {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

}  // namespace

StandInHost::StandInHost() : m_ready(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    m_thread.reset(::CreateThread(nullptr, 0, &StandInHost::ThreadMain, this, 0, &m_threadId));
    if (!m_thread) throw std::runtime_error("host thread");
    ::WaitForSingleObject(m_ready.get(), INFINITE);
    if (!m_window) throw std::runtime_error("host window");
}

StandInHost::~StandInHost() {
    if (m_window) ::PostMessageA(m_window, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(m_thread.get(), 10000);
}

DWORD WINAPI StandInHost::ThreadMain(void* param) {
    auto* self = static_cast<StandInHost*>(param);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &StandInHost::WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);  // a second host in the same process finds it registered
    self->m_window = ::CreateWindowExA(0, kWindowClass, "Host stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                       nullptr, nullptr, wc.hInstance, self);
    ::SetEvent(self->m_ready.get());
    if (!self->m_window) return 1;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

LRESULT CALLBACK StandInHost::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<StandInHost*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    if (message == WM_NCDESTROY) ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    LRESULT handled = self->OnMessage(message, wParam, lParam);
    if (handled != -1 && message >= host::WM_HOST_LOG_LINE && message <= host::WM_HOST_WRITE_INI_INT)
        self->RunMessageHook(message);
    return handled == -1 ? ::DefWindowProcA(hwnd, message, wParam, lParam) : handled;
}

LRESULT StandInHost::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_STANDIN_RUN: {
        auto* request = reinterpret_cast<RunRequest*>(wParam);
        try {
            (*request->work)();
        } catch (...) {
            request->failure = std::current_exception();
        }
        return 0;
    }
    case WM_STANDIN_MARK:
        ::SetEvent(reinterpret_cast<HANDLE>(wParam));
        return 0;
    case host::WM_HOST_LOG_LINE: {
        kit::Lock lock(m_lock);
        m_log.push_back(ReadBoundaryString(reinterpret_cast<const void*>(wParam)));
        return 0;
    }
    case host::WM_HOST_USER_ERROR: {
        kit::Lock lock(m_lock);
        m_errors.push_back(ReadBoundaryString(reinterpret_cast<const void*>(wParam)));
        return 0;
    }
    case host::WM_HOST_STATS_LIST: {
        const auto* list = reinterpret_cast<const ForeignValueList*>(wParam);
        StatsPairs pairs;
        if (list) {
            const std::int32_t count = list->keys.size < list->values.size ? list->keys.size : list->values.size;
            for (std::int32_t i = 0; i < count; ++i)
                pairs.emplace_back(ReadBoundaryString(&list->keys.data[i]), ReadBoundaryString(&list->values.data[i]));
        }
        std::map<std::string, std::string> current;
        for (const auto& [key, value] : pairs) current.emplace(key, value);  // first occurrence wins
        kit::Lock lock(m_lock);
        m_values = std::move(current);
        m_lists.push_back(std::move(pairs));
        return 0;
    }
    case host::WM_HOST_GET_VALUE:
    case host::WM_HOST_GET_FLAG:
    case host::WM_HOST_TRAY_TEXT:
    case host::WM_HOST_READ_INI_STRING:
    case host::WM_HOST_WRITE_INI_STRING:
    case host::WM_HOST_READ_INI_INT:
    case host::WM_HOST_WRITE_INI_INT:
        return OnWindowMessage(message, wParam, lParam);
    default:
        return -1;
    }
}

void StandInHost::RunMessageHook(UINT message) {
    std::function<void(UINT)> hook;
    {
        kit::Lock lock(m_lock);
        hook = m_messageHook;
    }
    if (hook) hook(message);
}

void StandInHost::SetMessageHook(std::function<void(UINT message)> hook) {
    kit::Lock lock(m_lock);
    m_messageHook = std::move(hook);
}

namespace {

// The call of the timer road; one at a time, on the user-interface thread.
const std::function<void()>* g_timerCall = nullptr;
bool g_timerCallRan = false;

void CALLBACK RunTimerCall(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (!g_timerCall || g_timerCallRan) return;
    g_timerCallRan = true;
    (*g_timerCall)();
}

}  // namespace

bool StandInHost::CallNested(Nesting nesting, const std::function<void()>& call) {
    if (nesting == Nesting::Direct) {
        call();
        return true;
    }
    if (g_timerCall) return false;
    g_timerCall = &call;
    g_timerCallRan = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &RunTimerCall);
    const DWORD start = ::GetTickCount();
    while (timer && !g_timerCallRan && ::GetTickCount() - start < 30000) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (!g_timerCallRan && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (timer && !g_timerCallRan) ::KillTimer(nullptr, timer);
    const bool ran = g_timerCallRan;
    g_timerCall = nullptr;
    return ran;
}

void StandInHost::RunOnUiThread(const std::function<void()>& work) {
    RunRequest request{&work, nullptr};
    ::SendMessageA(m_window, WM_STANDIN_RUN, reinterpret_cast<WPARAM>(&request), 0);
    if (request.failure) std::rethrow_exception(request.failure);
}

void StandInHost::PumpFor(DWORD milliseconds) {
    // The user-interface thread pumps all the time; waiting here lets posted messages arrive.
    ::Sleep(milliseconds);
}

void StandInHost::DrainPosted() {
    kit::UniqueHandle mark(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!::PostMessageA(m_window, WM_STANDIN_MARK, reinterpret_cast<WPARAM>(mark.get()), 0) ||
        ::WaitForSingleObject(mark.get(), 30000) != WAIT_OBJECT_0)
        throw std::runtime_error("the host's message loop does not run");
}

void StandInHost::CallExternalFunction(RunExternalFn run, int limitKind, int actionId, const std::string& text,
                                       HWND hostWindow) {
    RunOnUiThread([&] {
        HostString hostText(text);
        host::ExternalCall call{hostWindow, limitKind, actionId, hostText.object()};
        run(&call);
    });
}

std::vector<std::string> StandInHost::logLines() const {
    kit::Lock lock(m_lock);
    return m_log;
}

std::vector<std::string> StandInHost::userErrors() const {
    kit::Lock lock(m_lock);
    return m_errors;
}

std::vector<StatsPairs> StandInHost::statsLists() const {
    kit::Lock lock(m_lock);
    return m_lists;
}

void StandInHost::ClearRecords() {
    kit::Lock lock(m_lock);
    m_log.clear();
    m_errors.clear();
    m_lists.clear();
    m_windowCalls.clear();
    m_trays.clear();
}

void StandInHost::SetValue(const std::string& key, const std::string& value) {
    kit::Lock lock(m_lock);
    m_values[key] = value;
}

// The statistics windows' messages: values from the last list and the user limits, options,
// the tray summary, and ini files below the host folder through the profile functions.
LRESULT StandInHost::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case host::WM_HOST_GET_VALUE: {
        const std::string key = ReadBoundaryString(reinterpret_cast<const void*>(wParam));
        std::string value;
        bool known = false;
        {
            kit::Lock lock(m_lock);
            m_windowCalls.push_back({message, key, {}});
            auto found = m_values.find(key);
            auto limit = m_userLimits.find(key);
            if (limit != m_userLimits.end()) {
                value = limit->second;
                known = true;
            } else if (found != m_values.end()) {
                value = found->second;
                known = true;
            }
        }
        if (known && lParam) FillOutString(reinterpret_cast<void*>(lParam), value);
        return 0;
    }
    case host::WM_HOST_GET_FLAG: {
        const std::string key = ReadBoundaryString(reinterpret_cast<const void*>(wParam));
        kit::Lock lock(m_lock);
        m_windowCalls.push_back({message, key, {}});
        auto found = m_options.find(key);
        if (found != m_options.end() && found->second && lParam) *reinterpret_cast<std::uint8_t*>(lParam) = 1;
        return 0;
    }
    case host::WM_HOST_TRAY_TEXT: {
        const std::string text = ReadBoundaryString(reinterpret_cast<const void*>(wParam));
        kit::Lock lock(m_lock);
        m_windowCalls.push_back({message, text, {}});
        m_trays.push_back(text);
        return 0;
    }
    case host::WM_HOST_READ_INI_STRING:
    case host::WM_HOST_WRITE_INI_STRING: {
        const auto* request = reinterpret_cast<const host::HostIniRequest*>(wParam);
        const std::string file = ReadBoundaryString(&request->iniFile);
        const std::string section = ReadBoundaryString(&request->section);
        const std::string key = ReadBoundaryString(&request->key);
        const std::string value = ReadBoundaryString(&request->value);
        {
            kit::Lock lock(m_lock);
            m_windowCalls.push_back({message, key, file});
        }
        const std::string path = IniPath(file);
        if (message == host::WM_HOST_WRITE_INI_STRING) {
            ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
            return 0;
        }
        std::vector<char> text(4096);
        const DWORD got = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), text.data(),
                                                     static_cast<DWORD>(text.size()), path.c_str());
        if (lParam) FillOutString(reinterpret_cast<void*>(lParam), std::string_view(text.data(), got));
        return 0;
    }
    case host::WM_HOST_READ_INI_INT:
    case host::WM_HOST_WRITE_INI_INT: {
        const auto* request = reinterpret_cast<const host::HostIniIntRequest*>(wParam);
        const std::string file = ReadBoundaryString(&request->iniFile);
        const std::string section = ReadBoundaryString(&request->section);
        const std::string key = ReadBoundaryString(&request->key);
        {
            kit::Lock lock(m_lock);
            m_windowCalls.push_back({message, key, file});
        }
        const std::string path = IniPath(file);
        if (message == host::WM_HOST_WRITE_INI_INT) {
            const std::string number = std::to_string(request->value);
            ::WritePrivateProfileStringA(section.c_str(), key.c_str(), number.c_str(), path.c_str());
            return 0;
        }
        // Always written: the stored number, or the request's default.
        if (lParam)
            *reinterpret_cast<std::int32_t*>(lParam) = static_cast<std::int32_t>(
                ::GetPrivateProfileIntA(section.c_str(), key.c_str(), request->value, path.c_str()));
        return 0;
    }
    default:
        return -1;
    }
}

std::string StandInHost::IniPath(const std::string& relative) const {
    std::string path = HostFolder();
    // The folders of the path are made here, as the host keeps its plug-ins' folders.
    for (std::size_t at = 0; (at = relative.find('\\', at)) != std::string::npos; ++at)
        ::CreateDirectoryA((path + "\\" + relative.substr(0, at)).c_str(), nullptr);
    return path + "\\" + relative;
}

std::vector<StandInHost::WindowCall> StandInHost::windowCalls() const {
    kit::Lock lock(m_lock);
    return m_windowCalls;
}

std::vector<std::string> StandInHost::trayTexts() const {
    kit::Lock lock(m_lock);
    return m_trays;
}

void StandInHost::SetOption(const std::string& option, bool on) {
    kit::Lock lock(m_lock);
    m_options[option] = on;
}

void StandInHost::SetUserLimit(const std::string& key, const std::string& value) {
    kit::Lock lock(m_lock);
    m_userLimits[key] = value;
}

void StandInHost::SetHostFolder(const std::string& folder) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    kit::Lock lock(m_lock);
    m_hostFolder = folder;
}

std::string StandInHost::HostFolder() const {
    kit::Lock lock(m_lock);
    if (m_hostFolder.empty()) {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        char name[MAX_PATH] = {};
        ::GetTempFileNameA(temp, "hst", 0, name);  // a unique name; the file makes way for the folder
        ::DeleteFileA(name);
        ::CreateDirectoryA(name, nullptr);
        m_hostFolder = name;
    }
    return m_hostFolder;
}

int StandInHost::ShowStats(ShowStatsFn show, int styleId, int hideDelaySeconds, HWND hostWindow) {
    int result = static_cast<int>(0xdeadbeef);
    RunOnUiThread([&] {
        host::ShowStatsRequest request{hostWindow, hideDelaySeconds, styleId};
        show(&request, &result);
    });
    return result;
}

}  // namespace hoststub
