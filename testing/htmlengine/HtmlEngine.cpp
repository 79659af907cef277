// htmlayout.dll, the stand-in for the outside HTML engine that the update plug-in imports: the
// functions the plug-in's HTML pane calls, with the contract it relies on. Each window the engine
// serves has one document; the engine paints the body's text plainly, finds elements by simple
// selectors, hands out their text in UTF-16, counts element references and asks the window's
// callback for behaviours. Pages come as bytes, from a local file, or over http/https (WinInet).
//
// For tests the engine answers one registered message of its own through HTMLayoutProcND,
// "HtmlEngineStandIn.Query" (see HtmlEngineQuery.h).
#include <windows.h>
#include <wininet.h>

#include <map>
#include <string>

#include "base/CriticalSection.h"
#include "base/Unique.h"
#include "testing/htmlengine/HtmlDocument.h"
#include "testing/htmlengine/HtmlEngineQuery.h"
#include "update/HtmlEngineApi.h"

#define ENGINE_EXPORT extern "C" __declspec(dllexport)

namespace {

using htmlstandin::Release;

void CloseInternet(HINTERNET handle) { ::InternetCloseHandle(handle); }
using UniqueInternet = kit::Unique<kit::NullTraits<HINTERNET, CloseInternet>>;

struct WindowDocument {
    HtmlEngineElement* root = nullptr;  // one reference
    HtmlNotifyCallback callback = nullptr;
    void* callbackParam = nullptr;
    long loads = 0;
    long paints = 0;
};

// Every export takes this lock; it is recursive for its own thread, so callbacks may call back in.
kit::CriticalSection& EngineLock() {
    static kit::CriticalSection lock;
    return lock;
}

std::map<HWND, WindowDocument>& Documents() {
    static std::map<HWND, WindowDocument> documents;
    return documents;
}

long g_outsideReferences = 0;  // HTMLayout_UseElement calls not yet given back

WindowDocument* DocumentOf(HWND hwnd, bool create) {
    auto& documents = Documents();
    auto found = documents.find(hwnd);
    if (found != documents.end()) return &found->second;
    if (!create || !::IsWindow(hwnd)) return nullptr;
    return &documents[hwnd];
}

UINT QueryMessage() {
    static const UINT message = ::RegisterWindowMessageA(kHtmlEngineQueryMessage);
    return message;
}

void AskForBehaviours(HWND hwnd, const WindowDocument& document, HtmlEngineElement* element) {
    if (!document.callback) return;
    if (const std::wstring* name = element->Attribute("behavior")) {
        std::string narrow(name->begin(), name->end());
        HtmlAttachBehavior record{};
        record.header.hwndFrom = hwnd;
        record.header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(hwnd));
        record.header.code = HTML_NOTIFY_ATTACH_BEHAVIOR;
        record.element = element;
        record.behaviorName = narrow.c_str();
        document.callback(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&record), document.callbackParam);
    }
    for (size_t i = 0; i < element->children.size(); ++i) AskForBehaviours(hwnd, document, element->children[i]);
}

BOOL LoadDocument(HWND hwnd, const BYTE* bytes, size_t size) {
    kit::Lock lock(EngineLock());
    WindowDocument* document = DocumentOf(hwnd, true);
    if (!document) return FALSE;
    HtmlEngineElement* root = htmlstandin::ParseDocument(bytes, size);
    if (document->root) Release(document->root);
    document->root = root;
    ++document->loads;
    htmlstandin::AddRef(root);  // held while the behaviours are asked for: the callback may load again
    AskForBehaviours(hwnd, *document, root);
    Release(root);
    ::InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t n = wcslen(prefix);
    return text.size() >= n && _wcsnicmp(text.c_str(), prefix, n) == 0;
}

// A whole HTTP or HTTPS body, with time-outs on the connection (Wine ignores them on the session).
bool FetchUrl(const std::wstring& url, std::string& body) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = {}, path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    wchar_t extra[2048] = {};
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 2048;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
    UniqueInternet session(::InternetOpenW(L"HtmlEngineStandIn", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    UniqueInternet connection(::InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;
    DWORD timeout = 10000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionW(connection.get(), option, &timeout, sizeof timeout);
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    std::wstring object = std::wstring(path) + extra;
    UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                              flags, 0));
    if (!request || !::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return false;
    char chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), chunk, sizeof chunk, &read)) return false;
        if (read == 0) return true;
        if (body.size() > 8u * 1024 * 1024) return false;
        body.append(chunk, read);
    }
}

bool ReadLocalFile(std::wstring name, std::string& body) {
    if (StartsWithNoCase(name, L"file:///")) name = name.substr(8);
    else if (StartsWithNoCase(name, L"file://")) name = name.substr(7);
    kit::UniqueFile file(::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 8 * 1024 * 1024) return false;
    body.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return body.empty() || (::ReadFile(file.get(), body.data(), static_cast<DWORD>(body.size()), &read, nullptr) &&
                            read == body.size());
}

void Paint(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd, &paint);
    if (!dc) return;
    RECT client;
    ::GetClientRect(hwnd, &client);
    std::wstring text;
    COLORREF background = CLR_INVALID;
    {
        kit::Lock lock(EngineLock());
        WindowDocument* document = DocumentOf(hwnd, false);
        if (document && document->root) {
            ++document->paints;
            background = htmlstandin::BodyBackground(document->root);
            auto bodies = htmlstandin::Select(document->root, "body");
            if (!bodies.empty()) text = htmlstandin::InnerText(bodies.front());
        }
    }
    if (background == CLR_INVALID) background = ::GetSysColor(COLOR_WINDOW);
    kit::UniqueBrush brush(::CreateSolidBrush(background));
    ::FillRect(dc, &client, brush.get());
    RECT inner{client.left + 8, client.top + 8, client.right - 8, client.bottom - 8};
    kit::SelectGuard font(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0x33, 0x33, 0x33));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    ::EndPaint(hwnd, &paint);
}

LRESULT Query(HWND hwnd, WPARAM what) {
    kit::Lock lock(EngineLock());
    WindowDocument* document = DocumentOf(hwnd, false);
    switch (what) {
    case kHtmlQueryOutsideReferences: return g_outsideReferences;
    case kHtmlQueryLiveElements: return htmlstandin::LiveElements();
    case kHtmlQueryLoads: return document ? document->loads : 0;
    case kHtmlQueryPaints: return document ? document->paints : 0;
    case kHtmlQueryHasCallback: return document && document->callback ? 1 : 0;
    default: return -1;
    }
}

}  // namespace

ENGINE_EXPORT LRESULT WINAPI HTMLayoutProcND(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled) {
    if (handled) *handled = FALSE;
    if (message == QueryMessage()) {
        if (handled) *handled = TRUE;
        return Query(hwnd, wParam);
    }
    switch (message) {
    case WM_ERASEBKGND:
        if (handled) *handled = TRUE;
        return 1;
    case WM_PAINT:
        Paint(hwnd);
        if (handled) *handled = TRUE;
        return 0;
    case WM_SIZE:
        ::InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_NCDESTROY: {
        kit::Lock lock(EngineLock());
        auto& documents = Documents();
        auto found = documents.find(hwnd);
        if (found != documents.end()) {
            if (found->second.root) Release(found->second.root);
            documents.erase(found);
        }
        return 0;
    }
    default:
        (void)lParam;
        return 0;
    }
}

ENGINE_EXPORT void WINAPI HTMLayoutSetCallback(HWND hwnd, HtmlNotifyCallback callback, void* param) {
    kit::Lock lock(EngineLock());
    if (WindowDocument* document = DocumentOf(hwnd, true)) {
        document->callback = callback;
        document->callbackParam = param;
    }
}

ENGINE_EXPORT BOOL WINAPI HTMLayoutLoadHtml(HWND hwnd, const BYTE* html, UINT size) {
    if (!html && size) return FALSE;
    return LoadDocument(hwnd, html, size);
}

ENGINE_EXPORT BOOL WINAPI HTMLayoutLoadFile(HWND hwnd, const WCHAR* name) {
    if (!name || !*name || !::IsWindow(hwnd)) return FALSE;
    std::wstring text(name);
    std::string body;
    bool ok = StartsWithNoCase(text, L"http://") || StartsWithNoCase(text, L"https://") ? FetchUrl(text, body)
                                                                                        : ReadLocalFile(text, body);
    if (!ok) return FALSE;
    return LoadDocument(hwnd, reinterpret_cast<const BYTE*>(body.data()), body.size());
}

ENGINE_EXPORT int WINAPI HTMLayoutGetRootElement(HWND hwnd, HELEMENT* root) {
    if (!root) return HTML_DOM_INVALID_PARAMETER;
    kit::Lock lock(EngineLock());
    WindowDocument* document = DocumentOf(hwnd, false);
    if (!document) return HTML_DOM_INVALID_HWND;
    *root = document->root;
    return HTML_DOM_OK;
}

ENGINE_EXPORT int WINAPI HTMLayout_UseElement(HELEMENT element) {
    kit::Lock lock(EngineLock());
    if (!htmlstandin::IsLive(element)) return HTML_DOM_INVALID_HANDLE;
    htmlstandin::AddRef(element);
    ++g_outsideReferences;
    return HTML_DOM_OK;
}

ENGINE_EXPORT int WINAPI HTMLayout_UnuseElement(HELEMENT element) {
    kit::Lock lock(EngineLock());
    if (!htmlstandin::IsLive(element)) return HTML_DOM_INVALID_HANDLE;
    --g_outsideReferences;
    Release(element);
    return HTML_DOM_OK;
}

ENGINE_EXPORT int WINAPI HTMLayoutSelectElements(HELEMENT root, const char* selector, HtmlElementCallback callback,
                                                 void* param) {
    if (!selector || !callback) return HTML_DOM_INVALID_PARAMETER;
    kit::Lock lock(EngineLock());
    if (!htmlstandin::IsLive(root)) return HTML_DOM_INVALID_HANDLE;
    std::vector<HtmlEngineElement*> found = htmlstandin::Select(root, selector);
    for (HtmlEngineElement* element : found) htmlstandin::AddRef(element);  // alive during the callbacks
    bool stop = false;
    for (HtmlEngineElement* element : found) {
        if (!stop && callback(element, param)) stop = true;
        Release(element);
    }
    return HTML_DOM_OK;
}

ENGINE_EXPORT int WINAPI HTMLayoutGetElementInnerText16(HELEMENT element, WCHAR** text) {
    if (!text) return HTML_DOM_INVALID_PARAMETER;
    kit::Lock lock(EngineLock());
    if (!htmlstandin::IsLive(element)) return HTML_DOM_INVALID_HANDLE;
    element->innerText = htmlstandin::InnerText(element);
    *text = element->innerText.data();
    return HTML_DOM_OK;
}
