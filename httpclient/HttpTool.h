// The HTTP client's tool functions: one static operation per platform call the client needs (text
// conversion, WinInet handles, requests, bodies, headers, options, files, MIME type, multipart
// boundary), each checking its arguments and turning every failure into the client's exception;
// plus the raise operations, the checked size arithmetic and the name order of the client's maps.
// CHttpToolA is what the system runs; CHttpToolW is its wide twin.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstddef>

#include "httpclient/HttpClientException.h"

namespace Tarvo {

class httpclientexceptionW;

class CHttpToolA {
public:
    using CharType = char;
    using Exception = httpclientexceptionA;

    // Raise operations; none returns.
    [[noreturn]] static void RaiseClientError(int code);
    [[noreturn]] static void RaiseClientError(const char* message, int code);
    [[noreturn]] static void RaiseClientError(int code, DWORD win32Error, const char* argument = nullptr);
    [[noreturn]] static void RaiseArithmeticError(DWORD status);  // 0xC0000094: 113; 534: 112; else 111
    [[noreturn]] static void RethrowAsNarrow(const httpclientexceptionW& e);
    static const char* GetHttpClientErrorMessage(int code) { return GetHttpClientErrorMessageA(code); }

    // Checked size arithmetic; an overflow raises 112.
    static size_t CheckedAdd(size_t a, size_t b);
    static size_t CheckedMul(size_t a, size_t b);

    // Text conversion; null in, null out. Code pages 65001 and 65000 are refused.
    static char* Unicode2Ansi(const wchar_t* text, UINT codePage = CP_ACP);
    static wchar_t* Ansi2Unicode(const char* text, UINT codePage = CP_ACP);

    static HINTERNET OpenInternet(const char* userAgent, DWORD accessType, const char* proxyName,
                                  const char* proxyBypass, DWORD flags);
    static void CloseInternet(HINTERNET& hInternet);
    static void CloseConnection(HINTERNET& hConnection);
    static void CloseRequest(HINTERNET& hRequest);
    static HINTERNET OpenConnection(HINTERNET hInternet, const char* szServerAddr, INTERNET_PORT port,
                                    const char* szUserName = nullptr, const char* szPassword = nullptr);
    static HINTERNET OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName, DWORD flags,
                                 const char* szReferer = nullptr);
    static void AddHeader(HINTERNET hRequest, const char* szName, const char* szValue);
    static void SendRequest(HINTERNET hRequest, const char* szPosted = nullptr);
    static void SendRequestEx(HINTERNET hRequest, DWORD totalBodySize);
    static void InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff);
    static void EndRequest(HINTERNET hRequest);

    static BOOL FileExists(const char* szFilePath);
    static HANDLE OpenFile(const char* szFilePath);               // INVALID_HANDLE_VALUE on failure
    static HANDLE CreateFileAlwaysToWrite(const char* szFilePath);  // INVALID_HANDLE_VALUE on failure
    static DWORD GetFileSize(HANDLE hFile, const char* szFilePath);
    static char* GetMimeType(HANDLE hFile, UINT codePage = CP_ACP);

    static char* GetStatusText(HINTERNET hRequest);
    // The value of the occurrence *pIndex (0 without an index) of a header, or null when there is
    // none; on success the index has moved to the next occurrence, else it keeps its value.
    static char* GetHeader(HINTERNET hRequest, const char* szName, DWORD* pIndex = nullptr);
    static void SetOption(HINTERNET hInternet, DWORD option, void* buffer, DWORD bufferLength);

    static char* CreateUploadBoundary();  // null when no GUID or no memory
    static bool IsNameLess(const char* a, const char* b);
};

class CHttpToolW {
public:
    using CharType = wchar_t;
    using Exception = httpclientexceptionW;

    [[noreturn]] static void RaiseClientError(int code);
    [[noreturn]] static void RaiseClientError(const wchar_t* message, int code);
    [[noreturn]] static void RaiseClientError(int code, DWORD win32Error, const wchar_t* argument = nullptr);
    // A narrow message, converted to wide text first (the wide tools' check messages are narrow).
    [[noreturn]] static void RaiseClientError(const char* message, int code, DWORD win32Error);
    [[noreturn]] static void RaiseArithmeticError(DWORD status);
    [[noreturn]] static void RethrowAsWide(const httpclientexceptionA& e);
    static const wchar_t* GetHttpClientErrorMessage(int code) { return GetHttpClientErrorMessageW(code); }

    static size_t CheckedAdd(size_t a, size_t b);
    static size_t CheckedMul(size_t a, size_t b);

    static char* Unicode2Ansi(const wchar_t* text, UINT codePage = CP_ACP);
    static wchar_t* Ansi2Unicode(const char* text, UINT codePage = CP_ACP);

    static HINTERNET OpenInternet(const wchar_t* userAgent, DWORD accessType, const wchar_t* proxyName,
                                  const wchar_t* proxyBypass, DWORD flags);
    static void CloseInternet(HINTERNET& hInternet) { CHttpToolA::CloseInternet(hInternet); }
    static void CloseConnection(HINTERNET& hConnection) { CHttpToolA::CloseConnection(hConnection); }
    static void CloseRequest(HINTERNET& hRequest) { CHttpToolA::CloseRequest(hRequest); }
    static HINTERNET OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT port,
                                    const wchar_t* szUserName = nullptr, const wchar_t* szPassword = nullptr);
    static HINTERNET OpenRequest(HINTERNET hConnection, const wchar_t* szVerb, const wchar_t* szObjectName,
                                 DWORD flags, const wchar_t* szReferer = nullptr, UINT codePage = CP_ACP);
    static void AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT codePage = CP_ACP);
    static void SendRequest(HINTERNET hRequest, const wchar_t* szPosted = nullptr, UINT codePage = CP_ACP);
    static void SendRequestEx(HINTERNET hRequest, DWORD totalBodySize);
    static DWORD InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff);  // cbyBuff
    static void EndRequest(HINTERNET hRequest);

    static BOOL FileExists(const wchar_t* szFilePath);
    static HANDLE OpenFile(const wchar_t* szFilePath);
    static HANDLE CreateFileAlwaysToWrite(const wchar_t* szFilePath);
    static DWORD GetFileSize(HANDLE hFile, const wchar_t* szFilePath);
    static char* GetMimeType(HANDLE hFile, UINT codePage = CP_ACP);  // narrow text

    static wchar_t* GetStatusText(HINTERNET hRequest);
    static wchar_t* GetHeader(HINTERNET hRequest, const wchar_t* szName, DWORD* pIndex = nullptr);
    static void SetOption(HINTERNET hInternet, DWORD option, void* buffer, DWORD bufferLength);

    static wchar_t* CreateUploadBoundary();
    static bool IsNameLess(const wchar_t* a, const wchar_t* b);
};

namespace detail {

// The write loop behind both InternetWriteFile tools, over a replaceable write call. A success that
// writes nothing is retried at most kMaxEmptyWrites times in a row, then fails with 408 and
// Windows error 0. Returns the bytes written (always `count`).
using InternetWriteFn = BOOL(WINAPI*)(HINTERNET, LPCVOID, DWORD, LPDWORD);
constexpr int kMaxEmptyWrites = 3;
template <class Tool>
DWORD WriteWhole(HINTERNET hRequest, const BYTE* buffer, DWORD count, InternetWriteFn write);

}  // namespace detail

}  // namespace Tarvo
