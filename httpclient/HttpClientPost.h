// The POST and upload contexts of CHttpClientT (included at the end of HttpClient.h). A context
// holds an open request whose body the caller sends in portions, one ProceedRequest call each:
// either the parameter map url-encoded (name=value pairs joined by '&'), or a multipart upload
// whose parameters may be files. Separators and part headers go out in calls of their own; a file
// is read in chunks of at most 57344 bytes. The start measures the whole body with the very pieces
// the procedures write, so the length announced to the server is the length sent. Any failure
// ends the context and closes every handle it owns; the client is then ready for another request.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

#include "httpclient/HttpClient.h"
#include "httpclient/HttpPostBody.h"

namespace Tarvo {
namespace detail {

// Runs one step of a context; a failure ends the context before it passes on.
template <class TTool, class Client, class Step>
auto EndContextOnFailure(Client& client, Step step) -> decltype(step()) {
    try {
        return step();
    } catch (const typename TTool::Exception&) {
        client.ReleasePostContext();
        throw;
    } catch (...) {
        client.ReleasePostContext();
        TTool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
    }
}

}  // namespace detail

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::BeginPostRequest(const char* szUrl, bool bUseCache) {
    StartPostContext(nullptr, nullptr, szUrl, bUseCache ? kGetFlagsCached : kGetFlagsUncached, nullptr, nullptr,
                      nullptr, kPostContext);
}

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::BeginUploadRequest(const char* szUrl, bool bUseCache) {
    StartPostContext(nullptr, nullptr, szUrl, bUseCache ? kGetFlagsCached : kGetFlagsUncached, nullptr, nullptr,
                      nullptr, kUploadContext);
}

template <class TTool, class TEncoder>
typename CHttpClientT<TTool, TEncoder>::Response* CHttpClientT<TTool, TEncoder>::ProceedRequest(DWORD cbDesired) {
    return m_nPostContextKind == kPostContext ? _ProceedPostContext(cbDesired) : _ProceedUploadContext(cbDesired);
}

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::ReleasePostContext() noexcept {
    if (!PostContextActive()) return;
    UniqueInternetHandle internet, connection, request;
    EndPostContext(internet, connection, request);
}

// Writes separators and part headers, each piece in a write of its own.
template <class TTool, class TEncoder>
auto CHttpClientT<TTool, TEncoder>::HeadWriter() {
    return detail::PostPieces([this](const char* data, DWORD cb) {
        _WritePost(reinterpret_cast<const BYTE*>(data), cb, FALSE);
    });
}

// Handles given by the caller are borrowed: used, never closed, not handed to the response.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::StartPostContext(HINTERNET hInternet, HINTERNET hConnection, const char* szUrl,
                                                      DWORD dwFlags, const char* szReferer, const char* szUsrName,
                                                      const char* szUsrPwd, DWORD nKind) {
    ReleasePostContext();
    const bool upload = nKind == kUploadContext;
    try {
        DWORD nCount = 0, nFiles = 0;
        for (const auto& entry : m_mapParam) {
            nCount = detail::AddCount<TTool>(nCount, 1);
            if (upload && (entry.second.dwFlags & HTTPCLIENT_PARAM_FILE)) ++nFiles;
        }

        // Each file stays open from here to the end of the context, so its size cannot change.
        std::unique_ptr<kit::UniqueFile[]> files;
        std::unique_ptr<HeapText[]> mimeTypes;
        if (nFiles) OpenUploadFiles(nFiles, files, mimeTypes);
        DWORD cbActualTotal = 0, cbTotal = 0;
        MeasurePostBody(upload, files.get(), mimeTypes.get(), cbActualTotal, cbTotal);

        // Declared in this order, so a failure closes the request, then the connection, then the session.
        UniqueInternetHandle ownInternet;
        UniqueInternetHandle ownConnection;
        UniqueInternetHandle request;
        OpenMissing(hInternet, hConnection, szUrl, szUsrName, szUsrPwd, ownInternet, ownConnection);
        request.reset(OpenRequest(hConnection, "POST", szUrl, dwFlags, szReferer));
        AddRequestHeader(request.get());
        const char* contentType = !upload                   ? detail::kUrlEncodedContentType
                                  : m_szMultipartContentType ? m_szMultipartContentType.get()
                                                             : detail::kDefaultMultipartContentType;
        TTool::AddHeader(request.get(), "Content-Type", contentType);
        TTool::SendRequestEx(request.get(), cbActualTotal);

        m_ahPostFiles = std::move(files);
        m_aszMimeTypes = std::move(mimeTypes);
        m_objPostData = detail::PostText();
        m_bPostInternetBorrowed = !ownInternet;
        m_hPostInternet.reset(ownInternet ? ownInternet.release() : hInternet);
        m_bPostConnectionBorrowed = !ownConnection;
        m_hPostConnection.reset(ownConnection ? ownConnection.release() : hConnection);
        m_hPostRequest.reset(request.release());
        m_nPostContextKind = nKind;
        m_objPostStat.MakeActive(cbActualTotal, cbTotal, nCount, nFiles);
    } catch (const typename TTool::Exception&) {
        throw;
    } catch (...) {
        TTool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
    }
}

// Opens every file parameter in map order and finds its MIME type; 603 names a file that cannot
// be opened.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::OpenUploadFiles(DWORD nFiles, std::unique_ptr<kit::UniqueFile[]>& files,
                                                     std::unique_ptr<HeapText[]>& mimeTypes) const {
    files.reset(new (std::nothrow) kit::UniqueFile[nFiles]);
    mimeTypes.reset(new (std::nothrow) HeapText[nFiles]);
    if (!files || !mimeTypes) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
    DWORD i = 0;
    for (const auto& entry : m_mapParam) {
        if (!(entry.second.dwFlags & HTTPCLIENT_PARAM_FILE)) continue;
        const char* path = entry.second.szValue;
        files[i].reset(TTool::OpenFile(path));
        if (!files[i]) TTool::RaiseClientError(HTTPCLIENT_ERR_OPENFILE_FAILED, ::GetLastError(), path);
        mimeTypes[i].reset(TTool::GetMimeType(files[i].get(), m_nCodePage));
        ++i;
    }
}

// The whole body and its value bytes, counted over the pieces that the procedures write.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::MeasurePostBody(bool bUpload, const kit::UniqueFile* files,
                                                     const HeapText* mimeTypes, DWORD& cbActualTotal,
                                                     DWORD& cbTotal) const {
    const auto body = MakePostBody();
    const detail::PostPieces count([&](const char*, DWORD cb) {
        cbActualTotal = detail::AddCount<TTool>(cbActualTotal, cb);
    });
    auto addValue = [&](DWORD cb) {
        cbTotal = detail::AddCount<TTool>(cbTotal, cb);
        cbActualTotal = detail::AddCount<TTool>(cbActualTotal, cb);
    };
    DWORD fileIndex = 0;
    bool first = true;
    for (const auto& entry : m_mapParam) {
        if (bUpload) {
            const auto part = body.UploadPart(entry, files, mimeTypes, &fileIndex);
            body.UploadHead(count, part);
            addValue(part.cbValue);
            body.UploadValueEnd(count);
        } else {
            body.PostHead(count, first, body.PostName(entry));
            addValue(body.PostValue(entry).length);
        }
        first = false;
    }
    if (bUpload) body.UploadClosing(count, m_mapParam.Empty());
}

template <class TTool, class TEncoder>
typename CHttpClientT<TTool, TEncoder>::Response* CHttpClientT<TTool, TEncoder>::_ProceedPostContext(
    DWORD nDesired) {
    return detail::EndContextOnFailure<TTool>(*this, [&]() -> Response* {
        CheckPostContext("_ProceedPostContext", nDesired);
        PostStat& stat = m_objPostStat;
        if (stat.CurrParamIsComplete()) {
            if (stat.PostedCount() == stat.TotalCount()) {
                TTool::EndRequest(m_hPostRequest.get());
                return _ReleasePostResponse();
            }
            const auto& entry = *NextPostParam();
            const auto body = MakePostBody();
            body.PostHead(HeadWriter(), stat.PostedCount() == 0, body.PostName(entry));
            detail::PostText value = body.PostValue(entry);
            stat.StartNewEntry(entry.first, value.length, FALSE, nullptr);
            m_objPostData = std::move(value);
            return nullptr;
        }
        WritePostValue(nDesired);
        return nullptr;
    });
}

template <class TTool, class TEncoder>
typename CHttpClientT<TTool, TEncoder>::Response* CHttpClientT<TTool, TEncoder>::_ProceedUploadContext(
    DWORD nDesired) {
    return detail::EndContextOnFailure<TTool>(*this, [&]() -> Response* {
        CheckPostContext("_ProceedUploadContext", nDesired);
        PostStat& stat = m_objPostStat;
        if (stat.IsComplete()) {
            TTool::EndRequest(m_hPostRequest.get());
            return _ReleasePostResponse();
        }
        const auto body = MakePostBody();
        const auto write = HeadWriter();
        if (stat.TotalCount() == 0) {
            body.UploadClosing(write, true);
            return nullptr;
        }
        if (stat.CurrParamIsComplete()) {
            if (stat.PostedCount() == stat.TotalCount()) {
                body.UploadClosing(write, false);
                return nullptr;
            }
            const auto& entry = *NextPostParam();
            DWORD fileIndex = stat.PostedFileCount();
            auto part = body.UploadPart(entry, m_ahPostFiles.get(), m_aszMimeTypes.get(), &fileIndex);
            body.UploadHead(write, part);
            stat.StartNewEntry(entry.first, part.cbValue, part.isFile, entry.second.szValue);
            m_objPostData = std::move(part.value);
            if (part.cbValue == 0) body.UploadValueEnd(write);
            return nullptr;
        }
        if (stat.CurrParamIsFile()) {
            WritePostFile(nDesired);
        } else {
            WritePostValue(nDesired);
        }
        if (stat.CurrParamIsComplete()) body.UploadValueEnd(write);
        return nullptr;
    });
}

// The next min(n, remaining) bytes of the current value.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::WritePostValue(DWORD nDesired) {
    const DWORD remain = m_objPostStat.CurrParamRemainByte();
    _WritePost(reinterpret_cast<const BYTE*>(m_objPostData.text) + m_objPostStat.CurrParamPostedByte(),
               nDesired < remain ? nDesired : remain, TRUE);
}

// The next min(n, remaining) bytes of the current file, read and written in chunks of the buffer.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::WritePostFile(DWORD nDesired) {
    const DWORD remain = m_objPostStat.CurrParamRemainByte();
    const DWORD cbWanted = nDesired < remain ? nDesired : remain;
    HANDLE file = m_ahPostFiles[m_objPostStat.PostedFileCount() - 1].get();
    if (!m_pbyReadBuffer) {
        m_pbyReadBuffer.reset(static_cast<BYTE*>(std::malloc(detail::kPostReadChunk)));
        if (!m_pbyReadBuffer) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
    }
    for (DWORD done = 0; done < cbWanted;) {
        const DWORD cbChunk = cbWanted - done < detail::kPostReadChunk ? cbWanted - done : detail::kPostReadChunk;
        DWORD cbRead = 0;
        if (!::ReadFile(file, m_pbyReadBuffer.get(), cbChunk, &cbRead, nullptr))
            TTool::RaiseClientError(HTTPCLIENT_ERR_READFILE_FAILED, ::GetLastError());
        if (cbRead != cbChunk) TTool::RaiseClientError(HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE);
        _WritePost(m_pbyReadBuffer.get(), cbRead, TRUE);
        done += cbRead;
    }
}

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::_WritePost(const BYTE* pbyData, DWORD cbData, BOOL bValue) {
    Checks("_WritePost").NotNull(m_hPostRequest.get(), "m_hRequest");
    if (!pbyData || cbData == 0) return;
    if (bValue) {
        m_objPostStat._TestAddPostedBytes(cbData);
    } else {
        m_objPostStat._TestAddActualPostedBytes(cbData);
    }
    TTool::InternetWriteFile(m_hPostRequest.get(), pbyData, cbData);
    if (bValue) {
        m_objPostStat.AddPostedBytes(cbData);
    } else {
        m_objPostStat.AddActualPostedBytes(cbData);
    }
}

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::_WritePost(const char* szText, BOOL bValue) {
    _WritePost(reinterpret_cast<const BYTE*>(szText), szText ? static_cast<DWORD>(std::strlen(szText)) : 0, bValue);
}

template <class TTool, class TEncoder>
typename CHttpClientT<TTool, TEncoder>::Response* CHttpClientT<TTool, TEncoder>::_ReleasePostResponse() {
    if (!PostContextActive())
        Checks("_ReleasePostResponse").Refuse("", "The post context is not active.");
    UniqueInternetHandle internet, connection, request;
    EndPostContext(internet, connection, request);
    return HandOver(internet, connection, request);
}

// Collects the handles the context owns (a borrowed one is let go), closes its files and frees
// everything else; the statistics end.
template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::EndPostContext(UniqueInternetHandle& internet, UniqueInternetHandle& connection,
                                                    UniqueInternetHandle& request) noexcept {
    if (m_bPostInternetBorrowed) m_hPostInternet.release();
    internet = std::move(m_hPostInternet);
    if (m_bPostConnectionBorrowed) m_hPostConnection.release();
    connection = std::move(m_hPostConnection);
    request = std::move(m_hPostRequest);
    m_bPostInternetBorrowed = m_bPostConnectionBorrowed = FALSE;
    m_ahPostFiles.reset();
    m_aszMimeTypes.reset();
    m_objPostData = detail::PostText();
    m_pbyReadBuffer.reset();
    m_objPostStat.MakeInactive();
}

template <class TTool, class TEncoder>
void CHttpClientT<TTool, TEncoder>::CheckPostContext(const char* op, DWORD nDesired) const {
    if (!PostContextActive()) TTool::RaiseClientError(HTTPCLIENT_ERR_POST_NOT_STARTED);
    const auto checks = Checks(op);
    checks.NotNull(m_hPostInternet.get(), "m_hInternet");
    checks.NotNull(m_hPostConnection.get(), "m_hConnection");
    checks.NotNull(m_hPostRequest.get(), "m_hRequest");
    checks.NotZero(nDesired, "nDesired");
}

// The parameter after those started, in map order.
template <class TTool, class TEncoder>
typename CHttpClientT<TTool, TEncoder>::Map::ConstIterator CHttpClientT<TTool, TEncoder>::NextPostParam() const {
    auto it = m_mapParam.Begin();
    for (DWORD i = m_objPostStat.PostedCount(); i > 0 && it != m_mapParam.End(); --i) ++it;
    if (it == m_mapParam.End()) TTool::RaiseClientError(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
    return it;
}

template <class TTool, class TEncoder>
detail::PostBody<TTool, TEncoder> CHttpClientT<TTool, TEncoder>::MakePostBody() const {
    return {m_bUseUtf8, m_nCodePage, m_szEncodedBoundary ? m_szEncodedBoundary : detail::kDefaultUploadBoundary};
}

}  // namespace Tarvo
