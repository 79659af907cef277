// The HTTP client object: internet settings and time-outs, an optional proxy account, request
// headers and parameters, the multipart boundary it prepares at construction, and the GET road
// (internet session, connection, request, headers, sending) that hands every handle it opened over
// to the response. Each GET opens its own session and connection; after a failure every handle
// opened for the request is closed again and the client is ready for the next request.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "httpclient/ArgumentChecks.h"
#include "httpclient/HttpClientMap.h"
#include "httpclient/HttpEncoder.h"
#include "httpclient/HttpOwners.h"
#include "httpclient/HttpPostBody.h"
#include "httpclient/HttpPostStat.h"
#include "httpclient/HttpResponse.h"
#include "httpclient/HttpTool.h"
#include "httpclient/HttpUrlAnalyzer.h"

namespace Tarvo {

template <class TTool, class TEncoder>
class CHttpClientT {
public:
    using Response = CHttpResponseT<TTool>;
    using Map = CHttpClientMapT<TTool>;
    using UrlAnalyzer = CHttpUrlAnalyzerT<TTool>;

    static constexpr const char* kDefaultUserAgent = "Tarvo HTTP Client Class";
    static constexpr DWORD kGetFlagsCached =
        INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_NO_UI;
    static constexpr DWORD kGetFlagsUncached =
        kGetFlagsCached | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;

    // Never throws for want of a boundary: without one, boundary and content type stay null.
    CHttpClientT() noexcept : m_szBoundary(TTool::CreateUploadBoundary()) {
        if (m_szBoundary) {
            static const char kPrefix[] = "multipart/form-data; boundary=";
            size_t length = std::strlen(m_szBoundary.get());
            m_szMultipartContentType.reset(static_cast<char*>(std::malloc(length + sizeof(kPrefix))));
            if (m_szMultipartContentType) {
                std::memcpy(m_szMultipartContentType.get(), kPrefix, sizeof(kPrefix) - 1);
                std::memcpy(m_szMultipartContentType.get() + sizeof(kPrefix) - 1, m_szBoundary.get(), length + 1);
            } else {
                m_szBoundary.reset();
            }
        }
        m_szEncodedBoundary = m_szBoundary.get();
    }
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;
    virtual ~CHttpClientT() {
        ReleasePostContext();
        if (m_bEncodedBoundaryOwned) std::free(m_szEncodedBoundary);
    }

    // All five are stored for the next internet session, or none of them when it throws.
    void SetInternetOptions(const char* szUserAgent, DWORD dwAccessType, const char* szProxyName,
                            const char* szProxyBypass, DWORD dwFlags) {
        PendingText<TTool> agent(m_szUserAgent, szUserAgent);
        PendingText<TTool> proxy(m_szProxyName, szProxyName);
        PendingText<TTool> bypass(m_szProxyBypass, szProxyBypass);
        agent.Commit();
        proxy.Commit();
        bypass.Commit();
        m_dwAccessType = dwAccessType;
        m_dwFlags = dwFlags;
    }

    // A null user name clears the account (the password is not looked at).
    void SetProxyAccount(const char* szUserName, const char* szPassword) {
        if (!szUserName) {
            m_szProxyUserName.reset();
            m_szProxyPassword.reset();
            return;
        }
        const auto checks = Checks("SetProxyAccount");
        if (!*szUserName) checks.Refuse("szUserName", detail::kEmptyEnding);
        checks.Text(szPassword, "szPassword");
        PendingText<TTool> user(m_szProxyUserName, szUserName);
        PendingText<TTool> password(m_szProxyPassword, szPassword);
        user.Commit();
        password.Commit();
    }

    // Connect, send and receive time-outs, in milliseconds, of every connection and request the
    // client opens from now on; 0 (the default) leaves WinInet's own. They go on those handles and
    // not on the internet session, which Wine's WinInet does not take them from.
    void SetTimeout(DWORD dwMilliseconds) { m_dwTimeout = dwMilliseconds; }
    DWORD GetTimeout() const { return m_dwTimeout; }

    // Sent with every later request; a name added twice is sent twice.
    void AddHeader(const char* szName, const char* szValue) {
        const auto checks = Checks("AddHeader");
        checks.Text(szName, "szName");
        checks.Text(szValue, "szValue");
        m_mapHeader.Add(szName, szValue, 0);
    }

    // A request parameter (flags HTTPCLIENT_PARAM_*); a GET sends the parameters in its URL.
    void AddParam(const char* szName, const char* szValue, DWORD dwFlags = 0) {
        Checks("AddParam").Text(szName, "szName");
        m_mapParam.Add(szName, szValue, dwFlags);
    }

    // A new response that the caller deletes; never null, every failure throws.
    Response* SendGetRequest(const char* szUrl, bool bUseCache) {
        return RequestGet(nullptr, nullptr, szUrl, bUseCache ? kGetFlagsCached : kGetFlagsUncached, nullptr,
                           nullptr, nullptr);
    }

    // POST and upload contexts (HttpClientPost.h). A start opens the request for a url-encoded
    // POST or a multipart upload of the parameter map (HTTPCLIENT_PARAM_FILE marks a file to
    // upload), ending any active context first; each ProceedRequest then sends a portion of the
    // body and returns null, until the call after the last portion returns the response, which
    // the caller deletes. A failure ends the context; none is active after a GET.
    using PostStat = CHttpPostStatT<TTool>;
    static constexpr DWORD kUploadContext = 0;
    static constexpr DWORD kPostContext = 1;
    void BeginPostRequest(const char* szUrl, bool bUseCache);
    void BeginUploadRequest(const char* szUrl, bool bUseCache);
    Response* ProceedRequest(DWORD cbDesired);
    // The progress counters of the active context.
    const PostStat& GetPostStat() const { return m_objPostStat; }

    // Ends an unfinished POST/upload context and closes the handles it owns; else nothing.
    void ReleasePostContext() noexcept;

protected:
    // A response that takes over the three handles (an empty owner hands over null); 102 when it
    // cannot be created, and the owners then still close them.
    static Response* HandOver(UniqueInternetHandle& internet, UniqueInternetHandle& connection,
                               UniqueInternetHandle& request) {
        Response* response = new (std::nothrow) Response(internet.get(), connection.get(), request.get());
        if (!response) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
        internet.release();
        connection.release();
        request.release();
        return response;
    }

    // Opens the internet session and the connection that the caller did not give; what is opened
    // here goes to the owners, and the handles to use come back in hInternet and hConnection.
    void OpenMissing(HINTERNET& hInternet, HINTERNET& hConnection, const char* szUrl, const char* szUsrName,
                      const char* szUsrPwd, UniqueInternetHandle& ownInternet, UniqueInternetHandle& ownConnection) {
        if (!hInternet) {
            ownInternet.reset(OpenSession());
            hInternet = ownInternet.get();
        }
        if (!hConnection) {
            ownConnection.reset(OpenConnection(hInternet, szUrl, szUsrName, szUsrPwd));
            hConnection = ownConnection.get();
        }
    }

    // The request engine of the GET road. Handles given by the caller are used, never closed here
    // and not handed to the response; those the request opens go to the response.
    Response* RequestGet(HINTERNET hInternet, HINTERNET hConnection, const char* szUrl, DWORD dwFlags,
                          const char* szReferer, const char* szUsrName, const char* szUsrPwd) {
        ReleasePostContext();
        try {
            // Declared in this order, so a failure closes the request, then the connection, then the session.
            UniqueInternetHandle ownInternet;
            UniqueInternetHandle ownConnection;
            UniqueInternetHandle request;
            OpenMissing(hInternet, hConnection, szUrl, szUsrName, szUsrPwd, ownInternet, ownConnection);
            {
                HeapText getUrl;
                if (!m_mapParam.Empty()) {
                    getUrl.reset(AllocateText(TTool::CheckedAdd(MakeGetUrlLen(szUrl), 1)));
                    MakeGetUrl(getUrl.get(), szUrl);
                }
                request.reset(OpenRequest(hConnection, "GET", getUrl ? getUrl.get() : szUrl, dwFlags, szReferer));
            }
            AddRequestHeader(request.get());
            TTool::SendRequest(request.get(), nullptr);
            return HandOver(ownInternet, ownConnection, request);
        } catch (const typename TTool::Exception&) {
            throw;
        } catch (...) {
            TTool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
        }
    }

    HINTERNET OpenSession() {
        return TTool::OpenInternet(m_szUserAgent ? m_szUserAgent.get() : kDefaultUserAgent, m_dwAccessType,
                                   m_szProxyName.get(), m_szProxyBypass.get(), m_dwFlags);
    }

    // Port 80, 443 for an HTTPS scheme, or the URL's own port (at most five decimal digits, at
    // most 65535); the proxy account is applied to the new connection.
    HINTERNET OpenConnection(HINTERNET hInternet, const char* szUrl, const char* szUsrName, const char* szUsrPwd) {
        Checks("OpenConnection").NotNull(hInternet, "hInternet");
        UrlAnalyzer parts(szUrl, m_nCodePage);
        INTERNET_PORT port = IsHttps(szUrl, parts) ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
        if (parts.GetPortLength() > 0) port = ParsePort(szUrl + parts.GetPortStart(), parts.GetPortLength());
        if (parts.GetHostLength() == 0) TTool::RaiseClientError(HTTPCLIENT_ERR_INVALID_URL);
        HeapText host(DuplicateText<TTool>(szUrl + parts.GetHostStart(), parts.GetHostLength()));
        UniqueInternetHandle connection(TTool::OpenConnection(hInternet, host.get(), port, szUsrName, szUsrPwd));
        ApplyProxyAccount(connection.get());
        ApplyTimeout(connection.get());
        return connection.release();
    }

    void ApplyProxyAccount(HINTERNET hConnection) {
        Checks("ApplyProxyAccount").NotNull(hConnection, "hConnection");
        if (!m_szProxyUserName || !m_szProxyPassword) return;
        TTool::SetOption(hConnection, INTERNET_OPTION_PROXY_USERNAME, m_szProxyUserName.get(),
                         static_cast<DWORD>(std::strlen(m_szProxyUserName.get())));
        TTool::SetOption(hConnection, INTERNET_OPTION_PROXY_PASSWORD, m_szProxyPassword.get(),
                         static_cast<DWORD>(std::strlen(m_szProxyPassword.get())));
    }

    void ApplyTimeout(HINTERNET handle) {
        if (m_dwTimeout == 0) return;
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD value = m_dwTimeout;
            TTool::SetOption(handle, option, &value, sizeof value);
        }
    }

    // The object name is the URL from its path on, or "/" followed by what comes after host and
    // port when the path is empty; an HTTPS scheme adds INTERNET_FLAG_SECURE.
    HINTERNET OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szUrl, DWORD dwFlags,
                          const char* szReferer) {
        Checks("OpenRequest").NotNull(hConnection, "hConnection");
        UrlAnalyzer parts(szUrl, m_nCodePage);
        if (IsHttps(szUrl, parts)) dwFlags |= INTERNET_FLAG_SECURE;
        HeapText rooted;
        const char* object = "/";
        if (parts.GetPathLength() > 0) {
            object = szUrl + parts.GetPathStart();
        } else if (szUrl && szUrl[parts.GetPathStart()]) {
            const char* rest = szUrl + parts.GetPathStart();
            size_t length = std::strlen(rest);
            rooted.reset(AllocateText(TTool::CheckedAdd(length, 2)));
            rooted.get()[0] = '/';
            std::memcpy(rooted.get() + 1, rest, length + 1);
            object = rooted.get();
        }
        UniqueInternetHandle request(TTool::OpenRequest(hConnection, szVerb, object, dwFlags, szReferer));
        ApplyTimeout(request.get());
        if (dwFlags & INTERNET_FLAG_PRAGMA_NOCACHE) TTool::AddHeader(request.get(), "Cache-Control", "no-cache");
        return request.release();
    }

    // Every header of the map, in map order (names case-insensitively, equal names as added).
    void AddRequestHeader(HINTERNET hRequest) {
        Checks("AddRequestHeader").NotNull(hRequest, "hRequest");
        for (const auto& entry : m_mapHeader) TTool::AddHeader(hRequest, entry.first, entry.second.szValue);
    }

    // The length of MakeGetUrl's result without its NUL.
    size_t MakeGetUrlLen(const char* szUrl) {
        UrlWriter writer{nullptr};
        ComposeGetUrl(writer, szUrl);
        return writer.length;
    }

    // The URL with the parameter map appended to its query (before the fragment); szBuff holds
    // MakeGetUrlLen(szUrl) + 1 bytes.
    char* MakeGetUrl(char* szBuff, const char* szUrl) {
        Checks("MakeGetUrl").NotNull(szBuff, "szBuff");
        UrlWriter writer{szBuff};
        ComposeGetUrl(writer, szUrl);
        szBuff[writer.length] = '\0';
        return szBuff;
    }

    // The POST/upload contexts (HttpClientPost.h).
    bool PostContextActive() const { return m_objPostStat.IsActive() != FALSE; }
    void StartPostContext(HINTERNET hInternet, HINTERNET hConnection, const char* szUrl, DWORD dwFlags,
                           const char* szReferer, const char* szUsrName, const char* szUsrPwd, DWORD nKind);
    Response* _ProceedPostContext(DWORD nDesired);
    Response* _ProceedUploadContext(DWORD nDesired);
    void _WritePost(const BYTE* pbyData, DWORD cbData, BOOL bValue);
    void _WritePost(const char* szText, BOOL bValue);
    Response* _ReleasePostResponse();
    void CheckPostContext(const char* op, DWORD nDesired) const;
    typename Map::ConstIterator NextPostParam() const;
    detail::PostBody<TTool, TEncoder> MakePostBody() const;
    auto HeadWriter();
    void OpenUploadFiles(DWORD nFiles, std::unique_ptr<kit::UniqueFile[]>& files,
                          std::unique_ptr<HeapText[]>& mimeTypes) const;
    void MeasurePostBody(bool bUpload, const kit::UniqueFile* files, const HeapText* mimeTypes,
                          DWORD& cbActualTotal, DWORD& cbTotal) const;
    void WritePostValue(DWORD nDesired);
    void WritePostFile(DWORD nDesired);
    void EndPostContext(UniqueInternetHandle& internet, UniqueInternetHandle& connection,
                         UniqueInternetHandle& request) noexcept;

private:
    static detail::ArgumentChecks<TTool> Checks(const char* op) { return {"CHttpClientT", op}; }

    // Writes into `out`, or only counts when `out` is null; one mechanism keeps the size computed
    // beforehand equal to what is written.
    struct UrlWriter {
        char* out;
        size_t length = 0;
        void Put(const char* text, size_t count) {
            if (count == 0) return;
            if (out) std::memcpy(out + length, text, count);
            length = TTool::CheckedAdd(length, count);
        }
        void Put(char c) { Put(&c, 1); }
        void PutEncoded(const char* text, bool encoded, BOOL useUtf8, UINT codePage) {
            if (encoded) {
                DWORD count = TEncoder::AnsiEncodeLen(text, codePage);
                if (out) TEncoder::AnsiEncode(out + length, text, codePage);
                length = TTool::CheckedAdd(length, count);
            } else {
                DWORD count = TEncoder::UrlEncodeLen(text, useUtf8, codePage);
                if (out) TEncoder::UrlEncodeA(out + length, text, useUtf8, codePage);
                length = TTool::CheckedAdd(length, count);
            }
        }
    };

    void ComposeGetUrl(UrlWriter& writer, const char* szUrl) {
        if (m_mapParam.Empty()) {
            if (szUrl) writer.Put(szUrl, std::strlen(szUrl));
            return;
        }
        UrlAnalyzer parts(szUrl, m_nCodePage);
        writer.Put(szUrl, parts.GetPathStart());
        if (parts.GetPathLength() == 0) writer.Put('/');
        writer.Put(szUrl + parts.GetPathStart(), parts.GetFragmentStart() - parts.GetPathStart());
        writer.Put(parts.GetQueryLength() > 0 ? '&' : '?');
        bool first = true;
        for (const auto& entry : m_mapParam) {
            if (!first) writer.Put('&');
            first = false;
            writer.PutEncoded(entry.first, (entry.second.dwFlags & HTTPCLIENT_PARAM_ENCODED_NAME) != 0, m_bUseUtf8,
                              m_nCodePage);
            writer.Put('=');
            writer.PutEncoded(entry.second.szValue, (entry.second.dwFlags & HTTPCLIENT_PARAM_ENCODED_VALUE) != 0,
                              m_bUseUtf8, m_nCodePage);
        }
        writer.Put(szUrl + parts.GetFragmentStart(), parts.GetFragmentLength());
    }

    static bool IsHttps(const char* szUrl, const UrlAnalyzer& parts) {
        return parts.GetSchemeLength() == 5 && _strnicmp(szUrl, "HTTPS", 5) == 0;
    }

    static INTERNET_PORT ParsePort(const char* text, DWORD length) {
        if (length > 5) TTool::RaiseClientError(HTTPCLIENT_ERR_INVALID_PORT);
        char digits[6] = {};
        std::memcpy(digits, text, length);
        char* end = nullptr;
        unsigned long value = std::strtoul(digits, &end, 10);
        if (end != digits + length || value > 65535) TTool::RaiseClientError(HTTPCLIENT_ERR_INVALID_PORT);
        return static_cast<INTERNET_PORT>(value);
    }

    static char* AllocateText(size_t size) {
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
        return block;
    }

protected:
    // The POST/upload contexts build on these as well as the GET road.
    HeapText m_szBoundary;
    char* m_szEncodedBoundary = nullptr;  // the boundary itself in the narrow client
    BOOL m_bEncodedBoundaryOwned = FALSE;
    HeapText m_szMultipartContentType;
    BOOL m_bUseUtf8 = FALSE;  // names and values are URL-encoded in the code page
    UINT m_nCodePage = CP_ACP;
    Map m_mapHeader;
    Map m_mapParam;

    HeapText m_szUserAgent;
    DWORD m_dwAccessType = 0;
    HeapText m_szProxyName;
    HeapText m_szProxyBypass;
    DWORD m_dwFlags = 0;
    HeapText m_szProxyUserName;
    HeapText m_szProxyPassword;
    DWORD m_dwTimeout = 0;

    // The POST/upload context. A borrowed handle was given by the caller: never closed here, never
    // handed to the response.
    PostStat m_objPostStat;
    std::unique_ptr<kit::UniqueFile[]> m_ahPostFiles;  // one per file parameter
    std::unique_ptr<HeapText[]> m_aszMimeTypes;       // one per file parameter
    detail::PostText m_objPostData;                    // the value being sent, owned when encoded
    UniqueInternetHandle m_hPostInternet;
    BOOL m_bPostInternetBorrowed = FALSE;
    UniqueInternetHandle m_hPostConnection;
    BOOL m_bPostConnectionBorrowed = FALSE;
    UniqueInternetHandle m_hPostRequest;
    DWORD m_nPostContextKind = kPostContext;
    std::unique_ptr<BYTE, HeapFree> m_pbyReadBuffer;  // 57344 bytes, from the first file read on
};

}  // namespace Tarvo

#include "httpclient/HttpClientPost.h"
