// What a finished request gives its caller: the response owns the request's WinInet handles (and
// the session and connection handles when the request opened them for itself), answers header
// queries through a cache that fills itself per header name, reports the content length and reads
// the body in pieces. The caller deletes it; that closes the request, connection and internet
// handles in this order.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdlib>

#include "httpclient/ArgumentChecks.h"
#include "httpclient/HttpClientMap.h"
#include "httpclient/HttpOwners.h"
#include "httpclient/HttpTool.h"

namespace Tarvo {

template <class TTool>
class CHttpResponseT {
public:
    // Takes ownership of every handle that is not null.
    CHttpResponseT(HINTERNET hInternet, HINTERNET hConnection, HINTERNET hRequest) noexcept
        : m_hInternet(hInternet), m_hConnection(hConnection), m_hRequest(hRequest) {}
    CHttpResponseT(const CHttpResponseT&) = delete;
    CHttpResponseT& operator=(const CHttpResponseT&) = delete;
    virtual ~CHttpResponseT() = default;

    // The nIdx-th occurrence of the header, or null; the text lives as long as the response.
    const char* GetHeader(const char* szName, DWORD nIdx = 0) {
        Checks("GetHeader").NotNull(szName, "szName");
        if (m_mapHeader.Count(szName) == 0 && _LoadHeader(szName) == 0) return nullptr;
        return m_mapHeader.GetValue(szName, nIdx);
    }

    // FALSE when the response has no Content-Length header; *pcbContLen is not to be relied on then.
    BOOL GetContentLength(DWORD* pcbContLen) {
        Checks("GetContentLength").NotNull(m_hRequest.get(), "m_hRequest");
        DWORD size = sizeof(DWORD);
        if (::HttpQueryInfoA(m_hRequest.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, pcbContLen,
                             &size, nullptr))
            return TRUE;
        DWORD error = ::GetLastError();
        if (error == ERROR_HTTP_HEADER_NOT_FOUND) return FALSE;
        TTool::RaiseClientError(HTTPCLIENT_ERR_QUERYINFO_FAILED, error);
    }

    // Bytes read into the buffer; 0 once the body is exhausted (WinInet keeps the read position).
    DWORD ReadContent(BYTE* pbyBuff, DWORD cbBuff) {
        const auto checks = Checks("ReadContent");
        checks.NotNull(m_hRequest.get(), "m_hRequest");
        checks.NotNull(pbyBuff, "pbyBuff");
        checks.NotZero(cbBuff, "cbBuff");
        DWORD read = 0;
        if (!::InternetReadFile(m_hRequest.get(), pbyBuff, cbBuff, &read))
            TTool::RaiseClientError(HTTPCLIENT_ERR_INTERNETREADFILE_FAILED, ::GetLastError());
        return read;
    }

protected:
    // Caches every occurrence of the header and returns how many there were; a header is cached
    // completely or not at all.
    DWORD _LoadHeader(const char* szName) {
        const auto checks = Checks("_LoadHeader");
        checks.NotNull(m_hRequest.get(), "m_hRequest");
        checks.NotNull(szName, "szName");
        DWORD loaded = 0;
        try {
            DWORD index = 0;
            for (;;) {
                DWORD asked = index;
                HeapText value(TTool::GetHeader(m_hRequest.get(), szName, &index));
                if (!value) break;
                HeapText name(DuplicateText<TTool>(szName));
                m_mapHeader.AddPointerDirectly(name.get(), value.get(), 0);
                name.release();
                value.release();
                ++loaded;
                if (index == asked) break;  // an index that does not move would repeat this value for ever
            }
        } catch (const typename TTool::Exception&) {
            m_mapHeader.RemoveAll(szName);
            throw;
        }
        return loaded;
    }

private:
    static detail::ArgumentChecks<TTool> Checks(const char* op) { return {"CHttpResponseT", op}; }

    // Destroyed in reverse order: request, connection, internet handle, then the cache.
    CHttpClientMapT<TTool> m_mapHeader;
    UniqueInternetHandle m_hInternet;
    UniqueInternetHandle m_hConnection;
    UniqueInternetHandle m_hRequest;
};

}  // namespace Tarvo
