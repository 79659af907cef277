#include "testing/host/StandInHost.h"

#include <exception>
#include <stdexcept>

#include "hostapi/HostProtocol.h"
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
    case host::WM_HOST_GET_VALUE: {
        const std::string key = ReadBoundaryString(reinterpret_cast<const void*>(wParam));
        std::string value;
        {
            kit::Lock lock(m_lock);
            auto found = m_values.find(key);
            if (found == m_values.end()) return 0;
            value = found->second;
        }
        if (lParam) FillOutString(reinterpret_cast<void*>(lParam), value);
        return 0;
    }
    default:
        return -1;
    }
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
}

void StandInHost::SetValue(const std::string& key, const std::string& value) {
    kit::Lock lock(m_lock);
    m_values[key] = value;
}

}  // namespace hoststub
