// The tool functions over WinInet, the file calls, urlmon's MIME detection and ole32's GUIDs, and
// the raise operations that turn every failure into the client's exception.
#include "httpclient/HttpTool.h"

#include <objbase.h>
#include <urlmon.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "httpclient/ArgumentChecks.h"

namespace Tarvo {
namespace {

constexpr size_t kMessageCapacity = 512;
constexpr DWORD kMimeProbeBytes = 256;
const char kOctetStream[] = "application/octet-stream";
const char kBoundaryFormat[] = "----KEMPA-%.08x%.04x%.04x%.02x%.02x%.02x%.02x%.02x%.02x%.02x%.02x-";
const wchar_t kBoundaryFormatW[] = L"----KEMPA-%.08x%.04x%.04x%.02x%.02x%.02x%.02x%.02x%.02x%.02x%.02x-";
constexpr size_t kBoundaryChars = 44;  // 43 characters and the NUL

// Check messages name the tool class.
template <class Tool>
struct ToolName;
template <>
struct ToolName<CHttpToolA> {
    static constexpr const char* kText = "CHttpToolA";
};
template <>
struct ToolName<CHttpToolW> {
    static constexpr const char* kText = "CHttpToolW";
};
template <class Tool>
detail::ArgumentChecks<Tool> Checks(const char* op) {
    return {ToolName<Tool>::kText, op};
}

template <class Tool>
void* AllocateOrRaise(size_t bytes) {
    void* block = std::malloc(bytes);
    if (!block) Tool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
    return block;
}

// Frees a malloc block when the scope ends, unless released to the caller.
template <class T>
class HeapText {
public:
    explicit HeapText(T* block = nullptr) : m_block(block) {}
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
    ~HeapText() { std::free(m_block); }
    T* get() const { return m_block; }
    T* release() {
        T* block = m_block;
        m_block = nullptr;
        return block;
    }
    void reset(T* block) {
        std::free(m_block);
        m_block = block;
    }

private:
    T* m_block;
};

template <class Tool, class Char>
Char* CopyOrRaise(const Char* text) {
    const size_t length = std::char_traits<Char>::length(text);
    const size_t bytes = Tool::CheckedMul(Tool::CheckedAdd(length, 1), sizeof(Char));
    Char* copy = static_cast<Char*>(AllocateOrRaise<Tool>(bytes));
    std::memcpy(copy, text, bytes);
    return copy;
}

template <class Tool>
[[noreturn]] void RaiseArithmetic(DWORD status) {
    switch (status) {
    case kArithmeticDivideByZero: Tool::RaiseClientError(HTTPCLIENT_ERR_INT_DIVIDE_BY_ZERO);
    case kArithmeticOverflow: Tool::RaiseClientError(HTTPCLIENT_ERR_ARITHMETIC_OVERFLOW);
    default: Tool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ARITHMETIC_ERROR);
    }
}

template <class Tool>
size_t Add(size_t a, size_t b) {
    size_t sum = 0;
    if (!detail::SizeAdd(a, b, sum)) Tool::RaiseArithmeticError(kArithmeticOverflow);
    return sum;
}
template <class Tool>
size_t Mul(size_t a, size_t b) {
    size_t product = 0;
    if (!detail::SizeMul(a, b, product)) Tool::RaiseArithmeticError(kArithmeticOverflow);
    return product;
}

// Fills a code's template with one text argument; the unfilled template when formatting fails.
template <class Char>
const Char* FillTemplate(Char* buffer, const Char* text, ...) {
    va_list args;
    va_start(args, text);
    const bool ok = detail::FormatCut(buffer, kMessageCapacity, text, args);
    va_end(args);
    return ok ? buffer : text;
}

// Both conversion directions; 600/601 and the check messages come from the two tools' traits.
template <class Tool>
char* WideToNarrow(const wchar_t* text, UINT codePage) {
    Checks<Tool>("Unicode2Ansi").CodePage(codePage);
    if (!text) return nullptr;
    const int size = ::WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size == 0) Tool::RaiseClientError(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED, ::GetLastError());
    HeapText<char> block(static_cast<char*>(AllocateOrRaise<Tool>(static_cast<size_t>(size))));
    if (::WideCharToMultiByte(codePage, 0, text, -1, block.get(), size, nullptr, nullptr) == 0)
        Tool::RaiseClientError(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED, ::GetLastError());
    return block.release();
}

template <class Tool>
wchar_t* NarrowToWide(const char* text, UINT codePage) {
    Checks<Tool>("Ansi2Unicode").CodePage(codePage);
    if (!text) return nullptr;
    const int size = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (size == 0) Tool::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
    HeapText<wchar_t> block(
        static_cast<wchar_t*>(AllocateOrRaise<Tool>(Tool::CheckedMul(static_cast<size_t>(size), sizeof(wchar_t)))));
    if (::MultiByteToWideChar(codePage, 0, text, -1, block.get(), size) == 0)
        Tool::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
    return block.release();
}

// A query of HttpQueryInfoA/W into a new block: first the size, then the text.
template <class Tool, class Char, class Query>
Char* QueryStatusText(HINTERNET hRequest, Query query) {
    Checks<Tool>("GetStatusText").NotNull(hRequest, "hRequest");
    DWORD size = 0;
    if (!query(hRequest, HTTP_QUERY_STATUS_TEXT, nullptr, &size, nullptr) &&
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        Tool::RaiseClientError(HTTPCLIENT_ERR_QUERYINFO_FAILED, ::GetLastError());
    HeapText<Char> block(static_cast<Char*>(AllocateOrRaise<Tool>(Add<Tool>(size, sizeof(Char)))));
    block.get()[0] = 0;
    if (!query(hRequest, HTTP_QUERY_STATUS_TEXT, block.get(), &size, nullptr))
        Tool::RaiseClientError(HTTPCLIENT_ERR_QUERYINFO_FAILED, ::GetLastError());
    return block.release();
}

// A custom header query takes the header name in its buffer and returns the value there.
template <class Tool, class Char, class Query>
Char* QueryHeader(HINTERNET hRequest, const Char* szName, DWORD* pIndex, Query query) {
    Checks<Tool>("GetHeader").NotNull(hRequest, "hRequest");
    Checks<Tool>("GetHeader").NotNull(szName, "szName");
    const DWORD remembered = pIndex ? *pIndex : 0;
    const size_t nameBytes = Mul<Tool>(Add<Tool>(std::char_traits<Char>::length(szName), 1), sizeof(Char));
    HeapText<Char> block(static_cast<Char*>(AllocateOrRaise<Tool>(nameBytes)));
    std::memcpy(block.get(), szName, nameBytes);
    DWORD size = static_cast<DWORD>(nameBytes);
    if (query(hRequest, HTTP_QUERY_CUSTOM, block.get(), &size, pIndex)) return block.release();
    const DWORD error = ::GetLastError();
    block.reset(nullptr);
    if (pIndex) *pIndex = remembered;
    if (error == ERROR_HTTP_HEADER_NOT_FOUND) return nullptr;
    if (error != ERROR_INSUFFICIENT_BUFFER) Tool::RaiseClientError(HTTPCLIENT_ERR_QUERYINFO_FAILED, error);
    // The needed size may in principle be below the name's; the name must fit either way.
    const size_t needed = size > nameBytes ? size : nameBytes;
    block.reset(static_cast<Char*>(AllocateOrRaise<Tool>(Add<Tool>(needed, sizeof(Char)))));
    std::memcpy(block.get(), szName, nameBytes);
    size = static_cast<DWORD>(needed);
    if (!query(hRequest, HTTP_QUERY_CUSTOM, block.get(), &size, pIndex)) {
        const DWORD again = ::GetLastError();
        if (pIndex) *pIndex = remembered;
        Tool::RaiseClientError(HTTPCLIENT_ERR_QUERYINFO_FAILED, again);
    }
    return block.release();
}

template <class Tool>
void CheckWriteArguments(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff) {
    const auto check = Checks<Tool>("InternetWriteFile");
    check.NotNull(hRequest, "hRequest");
    check.NotNull(pbyBuff, "pbyBuff");
    check.NotZero(cbyBuff, "cbyBuff");
}

template <class Tool, class Char>
DWORD FileSize(HANDLE hFile, const Char* path) {
    const auto check = Checks<Tool>("GetFileSize");
    check.NotNull(hFile, "hFile");
    check.NotNull(path, "szFilePath");
    const DWORD size = ::GetFileSize(hFile, nullptr);
    if (size == INVALID_FILE_SIZE) Tool::RaiseClientError(HTTPCLIENT_ERR_GETFILESIZE_FAILED, ::GetLastError(), path);
    return size;
}

// How each file operation opens its path.
struct FileMode {
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD flags;
};
constexpr FileMode kProbeMode{0, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
constexpr FileMode kReadMode{GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL};
constexpr FileMode kWriteMode{GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL};

HANDLE CreatePath(const char* path, const FileMode& m) {
    return ::CreateFileA(path, m.access, m.share, nullptr, m.disposition, m.flags, nullptr);
}
HANDLE CreatePath(const wchar_t* path, const FileMode& m) {
    return ::CreateFileW(path, m.access, m.share, nullptr, m.disposition, m.flags, nullptr);
}
template <class Tool, class Char>
HANDLE OpenPath(const Char* path, const char* op, const FileMode& mode) {
    Checks<Tool>(op).NotNull(path, "szFilePath");
    return CreatePath(path, mode);
}
template <class Tool, class Char>
BOOL PathExists(const Char* path) {
    const HANDLE file = OpenPath<Tool>(path, "FileExists", kProbeMode);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    ::CloseHandle(file);
    return TRUE;
}

template <class Tool>
void EndRequestOf(HINTERNET hRequest) {
    Checks<Tool>("EndRequest").NotNull(hRequest, "hRequest");
    if (!::HttpEndRequestA(hRequest, nullptr, 0, 0))
        Tool::RaiseClientError(HTTPCLIENT_ERR_HTTPENDREQUEST_FAILED, ::GetLastError());
}

BOOL StartBody(HINTERNET request, INTERNET_BUFFERSA* buffers) { return ::HttpSendRequestExA(request, buffers, nullptr, 0, 0); }
BOOL StartBody(HINTERNET request, INTERNET_BUFFERSW* buffers) { return ::HttpSendRequestExW(request, buffers, nullptr, 0, 0); }
template <class Tool, class Buffers>
void SendRequestExOf(HINTERNET hRequest, DWORD totalBodySize) {
    Checks<Tool>("SendRequestEx").NotNull(hRequest, "hRequest");
    Buffers buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = totalBodySize;
    if (!StartBody(hRequest, &buffers))
        Tool::RaiseClientError(HTTPCLIENT_ERR_HTTPSENDREQUESTEX_FAILED, ::GetLastError());
}

struct GuidText {
    GUID guid;
    bool ok;
};
GuidText NewGuid() {
    GuidText g{};
    g.ok = SUCCEEDED(::CoCreateGuid(&g.guid));
    return g;
}

}  // namespace

// ---- raise operations ----

void CHttpToolA::RaiseClientError(int code) {
    throw httpclientexceptionA(GetHttpClientErrorMessageA(code), code, 0);
}
void CHttpToolA::RaiseClientError(const char* message, int code) { throw httpclientexceptionA(message, code, 0); }
void CHttpToolA::RaiseClientError(int code, DWORD win32Error, const char* argument) {
    const char* text = GetHttpClientErrorMessageA(code);
    char buffer[kMessageCapacity];
    throw httpclientexceptionA(argument ? FillTemplate(buffer, text, argument) : text, code, win32Error);
}
void CHttpToolA::RaiseArithmeticError(DWORD status) { RaiseArithmetic<CHttpToolA>(status); }
void CHttpToolA::RethrowAsNarrow(const httpclientexceptionW& e) {
    char* message = nullptr;
    try {
        message = Unicode2Ansi(e.GetErrorMessage(), CP_ACP);
    } catch (const httpclientexceptionA&) {
        message = nullptr;
    }
    HeapText<char> owned(message);
    throw httpclientexceptionA(owned.get(), e.GetErrorCode(), e.GetLastWin32Error());
}
size_t CHttpToolA::CheckedAdd(size_t a, size_t b) { return Add<CHttpToolA>(a, b); }
size_t CHttpToolA::CheckedMul(size_t a, size_t b) { return Mul<CHttpToolA>(a, b); }

void CHttpToolW::RaiseClientError(int code) {
    throw httpclientexceptionW(GetHttpClientErrorMessageW(code), code, 0);
}
void CHttpToolW::RaiseClientError(const wchar_t* message, int code) { throw httpclientexceptionW(message, code, 0); }
void CHttpToolW::RaiseClientError(int code, DWORD win32Error, const wchar_t* argument) {
    const wchar_t* text = GetHttpClientErrorMessageW(code);
    wchar_t buffer[kMessageCapacity];
    throw httpclientexceptionW(argument ? FillTemplate(buffer, text, argument) : text, code, win32Error);
}
void CHttpToolW::RaiseClientError(const char* message, int code, DWORD win32Error) {
    wchar_t* wide = nullptr;
    try {
        wide = Ansi2Unicode(message, CP_ACP);
    } catch (const httpclientexceptionW&) {
        wide = nullptr;
    }
    HeapText<wchar_t> owned(wide);
    throw httpclientexceptionW(owned.get(), code, win32Error);
}
void CHttpToolW::RaiseArithmeticError(DWORD status) { RaiseArithmetic<CHttpToolW>(status); }
void CHttpToolW::RethrowAsWide(const httpclientexceptionA& e) {
    RaiseClientError(e.GetErrorMessage(), e.GetErrorCode(), e.GetLastWin32Error());
}
size_t CHttpToolW::CheckedAdd(size_t a, size_t b) { return Add<CHttpToolW>(a, b); }
size_t CHttpToolW::CheckedMul(size_t a, size_t b) { return Mul<CHttpToolW>(a, b); }

// ---- conversion ----

char* CHttpToolA::Unicode2Ansi(const wchar_t* text, UINT codePage) { return WideToNarrow<CHttpToolA>(text, codePage); }
wchar_t* CHttpToolA::Ansi2Unicode(const char* text, UINT codePage) { return NarrowToWide<CHttpToolA>(text, codePage); }
char* CHttpToolW::Unicode2Ansi(const wchar_t* text, UINT codePage) { return WideToNarrow<CHttpToolW>(text, codePage); }
wchar_t* CHttpToolW::Ansi2Unicode(const char* text, UINT codePage) { return NarrowToWide<CHttpToolW>(text, codePage); }

// ---- WinInet, narrow ----

HINTERNET CHttpToolA::OpenInternet(const char* userAgent, DWORD accessType, const char* proxyName,
                                   const char* proxyBypass, DWORD flags) {
    HINTERNET h = ::InternetOpenA(userAgent, accessType, proxyName, proxyBypass, flags);
    if (!h) RaiseClientError(HTTPCLIENT_ERR_INTERNETOPEN_FAILED, ::GetLastError());
    return h;
}

void CHttpToolA::CloseInternet(HINTERNET& hInternet) {
    if (!hInternet) return;
    ::InternetCloseHandle(hInternet);
    hInternet = nullptr;
}
void CHttpToolA::CloseConnection(HINTERNET& hConnection) { CloseInternet(hConnection); }
void CHttpToolA::CloseRequest(HINTERNET& hRequest) { CloseInternet(hRequest); }

HINTERNET CHttpToolA::OpenConnection(HINTERNET hInternet, const char* szServerAddr, INTERNET_PORT port,
                                     const char* szUserName, const char* szPassword) {
    Checks<CHttpToolA>("OpenConnection").NotNull(hInternet, "hInternet");
    Checks<CHttpToolA>("OpenConnection").Text(szServerAddr, "szServerAddr");
    HINTERNET h = ::InternetConnectA(hInternet, szServerAddr, port, szUserName, szPassword,
                                     INTERNET_SERVICE_HTTP, 0, 0);
    if (!h) RaiseClientError(HTTPCLIENT_ERR_INTERNETCONNECT_FAILED, ::GetLastError());
    return h;
}

HINTERNET CHttpToolA::OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName, DWORD flags,
                                  const char* szReferer) {
    Checks<CHttpToolA>("OpenRequest").NotNull(hConnection, "hConnection");
    Checks<CHttpToolA>("OpenRequest").Text(szObjectName, "szObjectName");
    const char* acceptTypes[] = {"*/*", nullptr};
    HINTERNET h = ::HttpOpenRequestA(hConnection, szVerb, szObjectName, "HTTP/1.1", szReferer, acceptTypes, flags, 0);
    if (!h) RaiseClientError(HTTPCLIENT_ERR_HTTPOPENREQUEST_FAILED, ::GetLastError());
    return h;
}

void CHttpToolA::AddHeader(HINTERNET hRequest, const char* szName, const char* szValue) {
    Checks<CHttpToolA>("AddHeader").NotNull(hRequest, "hRequest");
    Checks<CHttpToolA>("AddHeader").NotNull(szName, "szName");
    const size_t nameLength = std::strlen(szName);
    const size_t valueLength = szValue ? std::strlen(szValue) : 0;
    const size_t size = CheckedAdd(CheckedAdd(nameLength, valueLength), 5);
    HeapText<char> line(static_cast<char*>(AllocateOrRaise<CHttpToolA>(size)));
    char* p = line.get();
    std::memcpy(p, szName, nameLength);
    p += nameLength;
    std::memcpy(p, ": ", 2);
    p += 2;
    if (valueLength) std::memcpy(p, szValue, valueLength);
    p += valueLength;
    std::memcpy(p, "\r\n", 3);
    if (!::HttpAddRequestHeadersA(hRequest, line.get(), static_cast<DWORD>(size - 1), HTTP_ADDREQ_FLAG_ADD))
        RaiseClientError(HTTPCLIENT_ERR_HTTPADDREQUESTHEADERS_FAILED, ::GetLastError());
}

void CHttpToolA::SendRequest(HINTERNET hRequest, const char* szPosted) {
    Checks<CHttpToolA>("SendRequest").NotNull(hRequest, "hRequest");
    const DWORD length = szPosted ? static_cast<DWORD>(std::strlen(szPosted)) : 0;
    if (!::HttpSendRequestA(hRequest, nullptr, 0, const_cast<char*>(szPosted), length))
        RaiseClientError(HTTPCLIENT_ERR_HTTPSENDREQUEST_FAILED, ::GetLastError());
}

void CHttpToolA::SendRequestEx(HINTERNET hRequest, DWORD totalBodySize) {
    SendRequestExOf<CHttpToolA, INTERNET_BUFFERSA>(hRequest, totalBodySize);
}

void CHttpToolA::InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff) {
    CheckWriteArguments<CHttpToolA>(hRequest, pbyBuff, cbyBuff);
    detail::WriteWhole<CHttpToolA>(hRequest, pbyBuff, cbyBuff, ::InternetWriteFile);
}

void CHttpToolA::EndRequest(HINTERNET hRequest) {
    EndRequestOf<CHttpToolA>(hRequest);
}

BOOL CHttpToolA::FileExists(const char* szFilePath) {
    return PathExists<CHttpToolA>(szFilePath);
}

HANDLE CHttpToolA::OpenFile(const char* szFilePath) {
    return OpenPath<CHttpToolA>(szFilePath, "OpenFile", kReadMode);
}

HANDLE CHttpToolA::CreateFileAlwaysToWrite(const char* szFilePath) {
    return OpenPath<CHttpToolA>(szFilePath, "CreateFileAlwaysToWrite", kWriteMode);
}

DWORD CHttpToolA::GetFileSize(HANDLE hFile, const char* szFilePath) {
    return FileSize<CHttpToolA>(hFile, szFilePath);
}

char* CHttpToolA::GetMimeType(HANDLE hFile, UINT codePage) {
    Checks<CHttpToolA>("GetMimeType").NotNull(hFile, "hFile");
    try {
        return CHttpToolW::GetMimeType(hFile, codePage);
    } catch (const httpclientexceptionW& e) {
        RethrowAsNarrow(e);
    }
}

char* CHttpToolA::GetStatusText(HINTERNET hRequest) {
    return QueryStatusText<CHttpToolA, char>(hRequest, ::HttpQueryInfoA);
}

char* CHttpToolA::GetHeader(HINTERNET hRequest, const char* szName, DWORD* pIndex) {
    return QueryHeader<CHttpToolA>(hRequest, szName, pIndex, ::HttpQueryInfoA);
}

void CHttpToolA::SetOption(HINTERNET hInternet, DWORD option, void* buffer, DWORD bufferLength) {
    if (!::InternetSetOptionA(hInternet, option, buffer, bufferLength))
        RaiseClientError(HTTPCLIENT_ERR_INTERNETSETOPTION_FAILED, ::GetLastError());
}

char* CHttpToolA::CreateUploadBoundary() {
    const GuidText g = NewGuid();
    if (!g.ok) return nullptr;
    char* text = static_cast<char*>(std::malloc(kBoundaryChars));
    if (!text) return nullptr;
    const GUID& id = g.guid;
    std::snprintf(text, kBoundaryChars, kBoundaryFormat, static_cast<unsigned>(id.Data1), id.Data2, id.Data3,
                  id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                  id.Data4[7]);
    return text;
}

bool CHttpToolA::IsNameLess(const char* a, const char* b) {
    if (!a || !b) return !a && b;
    return ::_stricmp(a, b) < 0;
}

// ---- WinInet, wide ----

namespace {

// Runs a narrow tool operation on behalf of a wide one: a narrow exception leaves as wide.
template <class F>
auto AsWide(F f) -> decltype(f()) {
    try {
        return f();
    } catch (const httpclientexceptionA& e) {
        CHttpToolW::RethrowAsWide(e);
    }
}

}  // namespace

HINTERNET CHttpToolW::OpenInternet(const wchar_t* userAgent, DWORD accessType, const wchar_t* proxyName,
                                   const wchar_t* proxyBypass, DWORD flags) {
    HINTERNET h = ::InternetOpenW(userAgent, accessType, proxyName, proxyBypass, flags);
    if (!h) RaiseClientError(HTTPCLIENT_ERR_INTERNETOPEN_FAILED, ::GetLastError());
    return h;
}

HINTERNET CHttpToolW::OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT port,
                                     const wchar_t* szUserName, const wchar_t* szPassword) {
    Checks<CHttpToolW>("OpenConnection").NotNull(hInternet, "hInternet");
    Checks<CHttpToolW>("OpenConnection").Text(szServerAddr, "szServerAddr");
    HINTERNET h = ::InternetConnectW(hInternet, szServerAddr, port, szUserName, szPassword,
                                     INTERNET_SERVICE_HTTP, 0, 0);
    if (!h) RaiseClientError(HTTPCLIENT_ERR_INTERNETCONNECT_FAILED, ::GetLastError());
    return h;
}

HINTERNET CHttpToolW::OpenRequest(HINTERNET hConnection, const wchar_t* szVerb, const wchar_t* szObjectName,
                                  DWORD flags, const wchar_t* szReferer, UINT codePage) {
    Checks<CHttpToolW>("OpenRequest").NotNull(hConnection, "hConnection");
    Checks<CHttpToolW>("OpenRequest").Text(szObjectName, "szObjectName");
    Checks<CHttpToolW>("OpenRequest").CodePage(codePage);
    return AsWide([&] {
        HeapText<char> verb(CHttpToolA::Unicode2Ansi(szVerb, codePage));
        HeapText<char> object(CHttpToolA::Unicode2Ansi(szObjectName, codePage));
        HeapText<char> referer(CHttpToolA::Unicode2Ansi(szReferer, codePage));
        return CHttpToolA::OpenRequest(hConnection, verb.get(), object.get(), flags, referer.get());
    });
}

void CHttpToolW::AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT codePage) {
    Checks<CHttpToolW>("AddHeader").NotNull(hRequest, "hRequest");
    Checks<CHttpToolW>("AddHeader").NotNull(szName, "szName");
    Checks<CHttpToolW>("AddHeader").CodePage(codePage);
    AsWide([&] {
        HeapText<char> name(CHttpToolA::Unicode2Ansi(szName, codePage));
        HeapText<char> value(CHttpToolA::Unicode2Ansi(szValue, codePage));
        CHttpToolA::AddHeader(hRequest, name.get(), value.get());
    });
}

void CHttpToolW::SendRequest(HINTERNET hRequest, const wchar_t* szPosted, UINT codePage) {
    Checks<CHttpToolW>("SendRequest").NotNull(hRequest, "hRequest");
    Checks<CHttpToolW>("SendRequest").CodePage(codePage);
    HeapText<char> data(AsWide([&] { return CHttpToolA::Unicode2Ansi(szPosted, codePage); }));
    const DWORD length = data.get() ? static_cast<DWORD>(std::strlen(data.get())) : 0;
    if (!::HttpSendRequestW(hRequest, nullptr, 0, data.get(), length))
        RaiseClientError(HTTPCLIENT_ERR_HTTPSENDREQUEST_FAILED, ::GetLastError());
}

void CHttpToolW::SendRequestEx(HINTERNET hRequest, DWORD totalBodySize) {
    SendRequestExOf<CHttpToolW, INTERNET_BUFFERSW>(hRequest, totalBodySize);
}

DWORD CHttpToolW::InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff) {
    CheckWriteArguments<CHttpToolW>(hRequest, pbyBuff, cbyBuff);
    return detail::WriteWhole<CHttpToolW>(hRequest, pbyBuff, cbyBuff, ::InternetWriteFile);
}

void CHttpToolW::EndRequest(HINTERNET hRequest) {
    EndRequestOf<CHttpToolW>(hRequest);
}

BOOL CHttpToolW::FileExists(const wchar_t* szFilePath) {
    return PathExists<CHttpToolW>(szFilePath);
}

HANDLE CHttpToolW::OpenFile(const wchar_t* szFilePath) {
    return OpenPath<CHttpToolW>(szFilePath, "OpenFile", kReadMode);
}

HANDLE CHttpToolW::CreateFileAlwaysToWrite(const wchar_t* szFilePath) {
    return OpenPath<CHttpToolW>(szFilePath, "CreateFileAlwaysToWrite", kWriteMode);
}

DWORD CHttpToolW::GetFileSize(HANDLE hFile, const wchar_t* szFilePath) {
    return FileSize<CHttpToolW>(hFile, szFilePath);
}

char* CHttpToolW::GetMimeType(HANDLE hFile, UINT codePage) {
    Checks<CHttpToolW>("GetMimeType").NotNull(hFile, "hFile");
    Checks<CHttpToolW>("GetMimeType").CodePage(codePage);
    if (hFile == INVALID_HANDLE_VALUE) return CopyOrRaise<CHttpToolW>(kOctetStream);
    BYTE probe[kMimeProbeBytes];
    DWORD read = 0;
    if (!::ReadFile(hFile, probe, sizeof probe, &read, nullptr))
        RaiseClientError(HTTPCLIENT_ERR_READFILE_FAILED, ::GetLastError());
    if (::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        RaiseClientError(HTTPCLIENT_ERR_SETFILEPOINTER_FAILED, ::GetLastError());
    LPWSTR type = nullptr;
    if (FAILED(::FindMimeFromData(nullptr, nullptr, probe, read, nullptr, 0, &type, 0)) || !type)
        return CopyOrRaise<CHttpToolW>(kOctetStream);
    // The platform's string is released on every path, the conversion's failure included.
    struct TaskText {
        LPWSTR text;
        ~TaskText() { ::CoTaskMemFree(text); }
    } owned{type};
    return AsWide([&] { return CHttpToolA::Unicode2Ansi(owned.text, codePage); });
}

wchar_t* CHttpToolW::GetStatusText(HINTERNET hRequest) {
    return QueryStatusText<CHttpToolW, wchar_t>(hRequest, ::HttpQueryInfoW);
}

wchar_t* CHttpToolW::GetHeader(HINTERNET hRequest, const wchar_t* szName, DWORD* pIndex) {
    return QueryHeader<CHttpToolW>(hRequest, szName, pIndex, ::HttpQueryInfoW);
}

void CHttpToolW::SetOption(HINTERNET hInternet, DWORD option, void* buffer, DWORD bufferLength) {
    if (!::InternetSetOptionW(hInternet, option, buffer, bufferLength))
        RaiseClientError(HTTPCLIENT_ERR_INTERNETSETOPTION_FAILED, ::GetLastError());
}

wchar_t* CHttpToolW::CreateUploadBoundary() {
    const GuidText g = NewGuid();
    if (!g.ok) return nullptr;
    wchar_t* text = static_cast<wchar_t*>(std::malloc(kBoundaryChars * sizeof(wchar_t)));
    if (!text) return nullptr;
    const GUID& id = g.guid;
    _snwprintf(text, kBoundaryChars, kBoundaryFormatW, static_cast<unsigned>(id.Data1), id.Data2, id.Data3,
               id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
               id.Data4[7]);
    text[kBoundaryChars - 1] = L'\0';
    return text;
}

bool CHttpToolW::IsNameLess(const wchar_t* a, const wchar_t* b) {
    if (!a || !b) return !a && b;
    return ::_wcsicmp(a, b) < 0;
}

// ---- the write loop ----

template <class Tool>
DWORD detail::WriteWhole(HINTERNET hRequest, const BYTE* buffer, DWORD count, InternetWriteFn write) {
    DWORD written = 0;
    int emptyWrites = 0;
    while (written < count) {
        DWORD n = 0;
        if (!write(hRequest, buffer + written, count - written, &n))
            Tool::RaiseClientError(HTTPCLIENT_ERR_INTERNETWRITEFILE_FAILED, ::GetLastError());
        if (n == 0) {
            // A synchronous write that succeeds with nothing written makes no progress.
            if (++emptyWrites > detail::kMaxEmptyWrites)
                Tool::RaiseClientError(HTTPCLIENT_ERR_INTERNETWRITEFILE_FAILED, 0);
            continue;
        }
        emptyWrites = 0;
        written += n < count - written ? n : count - written;
    }
    return written;
}
template DWORD detail::WriteWhole<CHttpToolA>(HINTERNET, const BYTE*, DWORD, InternetWriteFn);
template DWORD detail::WriteWhole<CHttpToolW>(HINTERNET, const BYTE*, DWORD, InternetWriteFn);

}  // namespace Tarvo
