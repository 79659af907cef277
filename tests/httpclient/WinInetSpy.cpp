// The WinInet spy: each hook below is what the program's import slot of one WinInet function
// points at. Defining the import slot itself (`__imp__<name>@<argument bytes>` on x86) in an object file
// keeps the linker from taking that slot from libwininet.a, so every caller in the program, the
// HTTP client's library included, reaches the hook; the hook reaches the real function through
// GetProcAddress.
#include "tests/httpclient/WinInetSpy.h"

#include <algorithm>
#include <cstring>

namespace testsupport {
namespace {

struct PendingFailure {
    WinInetCall call;
    DWORD error;
    int skip;
};

struct SpyState {
    std::vector<WinInetRecord> calls;
    std::vector<HINTERNET> open;
    std::vector<PendingFailure> failures;
    size_t strayCloses = 0;
};

SpyState& State() {
    static SpyState state;
    return state;
}

template <class Fn>
Fn Real(const char* name) {
    static HMODULE wininet = ::LoadLibraryA("wininet.dll");
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(wininet, name)));
}

WinInetRecord Record(WinInetCall call, HINTERNET handle = nullptr) {
    WinInetRecord r;
    r.call = call;
    r.handle = handle;
    return r;
}

std::string Text(const char* text) { return text ? text : ""; }

// A pending failure for this call: true, with the Windows error set, when the call must fail.
bool InjectFailure(WinInetRecord& record) {
    auto& failures = State().failures;
    for (auto it = failures.begin(); it != failures.end(); ++it) {
        if (it->call != record.call) continue;
        if (it->skip-- > 0) return false;
        record.error = it->error;
        failures.erase(it);
        State().calls.push_back(record);
        ::SetLastError(record.error);
        return true;
    }
    return false;
}

void Finish(WinInetRecord& record, bool ok) {
    record.ok = ok;
    record.error = ok ? 0 : ::GetLastError();
    State().calls.push_back(record);
    if (ok && record.result) State().open.push_back(record.result);
    ::SetLastError(record.error);
}

HINTERNET Created(WinInetRecord& record, HINTERNET handle) {
    record.result = handle;
    Finish(record, handle != nullptr);
    return handle;
}

BOOL Done(WinInetRecord& record, BOOL ok) {
    Finish(record, ok != FALSE);
    return ok;
}

HINTERNET WINAPI SpyInternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
    WinInetRecord r = Record(WinInetCall::InternetOpen);
    r.text = Text(agent);
    r.text2 = Text(proxy);
    r.number = accessType;
    r.flags = flags;
    if (InjectFailure(r)) return nullptr;
    return Created(r, Real<decltype(&SpyInternetOpenA)>("InternetOpenA")(agent, accessType, proxy, bypass, flags));
}

HINTERNET WINAPI SpyInternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                                     LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
    WinInetRecord r = Record(WinInetCall::InternetConnect, internet);
    r.text = Text(server);
    r.text2 = Text(user);
    r.number = port;
    r.flags = flags;
    if (InjectFailure(r)) return nullptr;
    return Created(r, Real<decltype(&SpyInternetConnectA)>("InternetConnectA")(internet, server, port, user, password,
                                                                                service, flags, context));
}

HINTERNET WINAPI SpyHttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                                     LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    WinInetRecord r = Record(WinInetCall::HttpOpenRequest, connection);
    r.text = Text(verb);
    r.text2 = Text(object);
    r.flags = flags;
    if (InjectFailure(r)) return nullptr;
    return Created(r, Real<decltype(&SpyHttpOpenRequestA)>("HttpOpenRequestA")(connection, verb, object, version,
                                                                                referrer, acceptTypes, flags, context));
}

BOOL WINAPI SpyHttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length, DWORD modifiers) {
    WinInetRecord r = Record(WinInetCall::HttpAddRequestHeaders, request);
    r.text = headers ? std::string(headers, length == DWORD(-1) ? strlen(headers) : length) : std::string();
    r.flags = modifiers;
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyHttpAddRequestHeadersA)>("HttpAddRequestHeadersA")(request, headers, length,
                                                                                          modifiers));
}

BOOL WINAPI SpyHttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD length, LPVOID optional,
                                DWORD optionalLength) {
    WinInetRecord r = Record(WinInetCall::HttpSendRequest, request);
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyHttpSendRequestA)>("HttpSendRequestA")(request, headers, length, optional,
                                                                             optionalLength));
}

BOOL WINAPI SpyInternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    WinInetRecord r = Record(WinInetCall::InternetSetOption, handle);
    r.number = option;
    if (buffer) r.text.assign(static_cast<const char*>(buffer), length);
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyInternetSetOptionA)>("InternetSetOptionA")(handle, option, buffer, length));
}

BOOL WINAPI SpyHttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index) {
    WinInetRecord r = Record(WinInetCall::HttpQueryInfo, request);
    r.number = level;
    if ((level & HTTP_QUERY_HEADER_MASK) == HTTP_QUERY_CUSTOM && buffer) r.text = static_cast<const char*>(buffer);
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyHttpQueryInfoA)>("HttpQueryInfoA")(request, level, buffer, length, index));
}

BOOL WINAPI SpyInternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
    WinInetRecord r = Record(WinInetCall::InternetReadFile, file);
    if (InjectFailure(r)) return FALSE;
    BOOL ok = Real<decltype(&SpyInternetReadFile)>("InternetReadFile")(file, buffer, toRead, read);
    r.number = ok && read ? *read : 0;
    return Done(r, ok);
}

BOOL WINAPI SpyInternetCloseHandle(HINTERNET handle) {
    WinInetRecord r = Record(WinInetCall::InternetCloseHandle, handle);
    auto& open = State().open;
    auto it = std::find(open.begin(), open.end(), handle);
    if (it != open.end()) {
        open.erase(it);
    } else {
        ++State().strayCloses;
    }
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyInternetCloseHandle)>("InternetCloseHandle")(handle));
}

BOOL WINAPI SpyHttpSendRequestExA(HINTERNET request, LPINTERNET_BUFFERSA buffersIn, LPINTERNET_BUFFERSA buffersOut,
                                  DWORD flags, DWORD_PTR context) {
    WinInetRecord r = Record(WinInetCall::HttpSendRequestEx, request);
    r.number = buffersIn ? buffersIn->dwBufferTotal : 0;
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyHttpSendRequestExA)>("HttpSendRequestExA")(request, buffersIn, buffersOut, flags,
                                                                                 context));
}

BOOL WINAPI SpyInternetWriteFile(HINTERNET file, LPCVOID buffer, DWORD toWrite, LPDWORD written) {
    WinInetRecord r = Record(WinInetCall::InternetWriteFile, file);
    r.number = toWrite;
    if (buffer) r.text.assign(static_cast<const char*>(buffer), toWrite);
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyInternetWriteFile)>("InternetWriteFile")(file, buffer, toWrite, written));
}

BOOL WINAPI SpyHttpEndRequestA(HINTERNET request, LPINTERNET_BUFFERSA buffersOut, DWORD flags, DWORD_PTR context) {
    WinInetRecord r = Record(WinInetCall::HttpEndRequest, request);
    if (InjectFailure(r)) return FALSE;
    return Done(r, Real<decltype(&SpyHttpEndRequestA)>("HttpEndRequestA")(request, buffersOut, flags, context));
}

}  // namespace

// The import slots, named as the import library names them: on 32-bit x86 with the leading
// underscore and the stdcall argument size, on x86-64 (one calling convention) the plain name.
#if defined(_WIN64)
#define SPY_IMPORT_SLOT(name, bytes) "__imp_" #name
#else
#define SPY_IMPORT_SLOT(name, bytes) "__imp__" #name "@" #bytes
#endif
extern "C" {
void* spy_InternetOpenA __asm__(SPY_IMPORT_SLOT(InternetOpenA, 20)) = reinterpret_cast<void*>(&SpyInternetOpenA);
void* spy_InternetConnectA __asm__(SPY_IMPORT_SLOT(InternetConnectA, 32)) = reinterpret_cast<void*>(&SpyInternetConnectA);
void* spy_HttpOpenRequestA __asm__(SPY_IMPORT_SLOT(HttpOpenRequestA, 32)) = reinterpret_cast<void*>(&SpyHttpOpenRequestA);
void* spy_HttpAddRequestHeadersA __asm__(SPY_IMPORT_SLOT(HttpAddRequestHeadersA, 16)) =
    reinterpret_cast<void*>(&SpyHttpAddRequestHeadersA);
void* spy_HttpSendRequestA __asm__(SPY_IMPORT_SLOT(HttpSendRequestA, 20)) = reinterpret_cast<void*>(&SpyHttpSendRequestA);
void* spy_InternetSetOptionA __asm__(SPY_IMPORT_SLOT(InternetSetOptionA, 16)) =
    reinterpret_cast<void*>(&SpyInternetSetOptionA);
void* spy_HttpQueryInfoA __asm__(SPY_IMPORT_SLOT(HttpQueryInfoA, 20)) = reinterpret_cast<void*>(&SpyHttpQueryInfoA);
void* spy_InternetReadFile __asm__(SPY_IMPORT_SLOT(InternetReadFile, 16)) = reinterpret_cast<void*>(&SpyInternetReadFile);
void* spy_InternetCloseHandle __asm__(SPY_IMPORT_SLOT(InternetCloseHandle, 4)) =
    reinterpret_cast<void*>(&SpyInternetCloseHandle);
void* spy_HttpSendRequestExA __asm__(SPY_IMPORT_SLOT(HttpSendRequestExA, 20)) = reinterpret_cast<void*>(&SpyHttpSendRequestExA);
void* spy_InternetWriteFile __asm__(SPY_IMPORT_SLOT(InternetWriteFile, 16)) = reinterpret_cast<void*>(&SpyInternetWriteFile);
void* spy_HttpEndRequestA __asm__(SPY_IMPORT_SLOT(HttpEndRequestA, 16)) = reinterpret_cast<void*>(&SpyHttpEndRequestA);
}

DWORD OptionDword(const WinInetRecord& call) {
    DWORD value = 0xdeadbeef;
    if (call.text.size() == sizeof value) std::memcpy(&value, call.text.data(), sizeof value);
    return value;
}

const char* WinInetCallName(WinInetCall call) {
    static const char* const kNames[] = {
        "InternetOpenA",      "InternetConnectA", "HttpOpenRequestA", "HttpAddRequestHeadersA", "HttpSendRequestA",
        "InternetSetOptionA", "HttpQueryInfoA",   "InternetReadFile", "InternetCloseHandle",
        "HttpSendRequestExA", "InternetWriteFile", "HttpEndRequestA",
    };
    return kNames[static_cast<int>(call)];
}

WinInetSpy::WinInetSpy() { State() = SpyState(); }
WinInetSpy::~WinInetSpy() { State() = SpyState(); }

const std::vector<WinInetRecord>& WinInetSpy::Calls() const { return State().calls; }

std::vector<WinInetRecord> WinInetSpy::CallsOf(WinInetCall call) const {
    std::vector<WinInetRecord> found;
    for (const auto& r : State().calls)
        if (r.call == call) found.push_back(r);
    return found;
}

size_t WinInetSpy::Count(WinInetCall call) const { return CallsOf(call).size(); }

std::vector<HINTERNET> WinInetSpy::OpenHandles() const { return State().open; }

size_t WinInetSpy::StrayCloses() const { return State().strayCloses; }

void WinInetSpy::FailNext(WinInetCall call, DWORD error, int skip) {
    State().failures.push_back(PendingFailure{call, error, skip});
}

}  // namespace testsupport
