// The bodies of the client's POST and upload contexts as pieces: the texts in the form the body
// carries them (URL-encoded, UTF-8 or unchanged), and the separators and part headers of both body
// kinds. The same pieces measure a body before it is sent and make it up while it is written, so
// the announced length and the bytes sent cannot differ.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/Unique.h"
#include "httpclient/HttpClientException.h"
#include "httpclient/HttpClientMap.h"
#include "httpclient/HttpOwners.h"

namespace Tarvo::detail {

constexpr DWORD kPostReadChunk = 0xE000;
constexpr const char* kDefaultUploadBoundary = "----TARVO-FB3B405B7EAE495aB0C0295C54D4E096-";
constexpr const char* kDefaultMultipartContentType =
    "multipart/form-data; boundary=----TARVO-FB3B405B7EAE495aB0C0295C54D4E096-";
constexpr const char* kUrlEncodedContentType = "application/x-www-form-urlencoded";

// A text in the form the body carries it: the original bytes, or an encoded copy of its own.
struct PostText {
    const char* text = nullptr;
    DWORD length = 0;
    HeapText owned;
};

// Hands each piece of a body to `put`(bytes, length): a counter while the body is measured, the
// write while it is sent.
template <class F>
class PostPieces {
public:
    explicit PostPieces(F put) : m_put(put) {}
    void operator()(const char* text) const { m_put(text, static_cast<DWORD>(std::strlen(text))); }
    void operator()(const PostText& text) const { m_put(text.text, text.length); }

private:
    F m_put;
};

// The texts and pieces of both body kinds, for one client's encoding settings and boundary.
template <class TTool, class TEncoder>
struct PostBody {
    BOOL useUtf8;
    UINT codePage;
    const char* boundary;

    // One multipart part: converted name (and path for a file), the value or the file's size.
    struct Part {
        PostText name;
        PostText path;
        PostText value;
        const char* mimeType = nullptr;
        DWORD cbValue = 0;
        bool isFile = false;
    };

    // URL-encoded, or unchanged in the code page when already encoded; null sends nothing.
    PostText UrlText(const char* text, bool preEncoded) const {
        if (!text || preEncoded) return Unchanged(text);
        return Encoded(TEncoder::UrlEncodeLen(text, useUtf8, codePage),
                       [&](char* out) { TEncoder::UrlEncodeA(out, text, useUtf8, codePage); });
    }

    // UTF-8 when the client sends UTF-8, else unchanged in the code page.
    PostText FormText(const char* text) const {
        if (!text || !useUtf8) return Unchanged(text);
        return Encoded(TEncoder::Utf8EncodeLen(text, codePage),
                       [&](char* out) { TEncoder::Utf8Encode(out, text, codePage); });
    }

    // A parameter-map entry of a url-encoded body: its name, and its value.
    template <class Entry>
    PostText PostName(const Entry& entry) const {
        return UrlText(entry.first, (entry.second.dwFlags & HTTPCLIENT_PARAM_ENCODED_NAME) != 0);
    }
    template <class Entry>
    PostText PostValue(const Entry& entry) const {
        return UrlText(entry.second.szValue, (entry.second.dwFlags & HTTPCLIENT_PARAM_ENCODED_VALUE) != 0);
    }

    // A parameter-map entry as a multipart part; a file parameter takes the next of the files
    // (handle and MIME type) at `*fileIndex`, and its size comes from the handle (0 once the
    // handle is closed).
    template <class Entry>
    Part UploadPart(const Entry& entry, const kit::UniqueFile* files, const HeapText* mimeTypes,
                    DWORD* fileIndex) const {
        Part part;
        part.name = FormText(entry.first);
        part.isFile = (entry.second.dwFlags & HTTPCLIENT_PARAM_FILE) != 0;
        if (part.isFile) {
            const HANDLE file = files[*fileIndex].get();
            part.path = FormText(entry.second.szValue);
            part.mimeType = mimeTypes[*fileIndex].get();
            part.cbValue = file == INVALID_HANDLE_VALUE ? 0 : TTool::GetFileSize(file, entry.second.szValue);
            ++*fileIndex;
        } else {
            part.value = FormText(entry.second.szValue);
            part.cbValue = part.value.length;
        }
        return part;
    }

    template <class Put>
    void PostHead(const Put& put, bool first, const PostText& name) const {
        if (!first) put("&");
        put(name);
        put("=");
    }

    template <class Put>
    void UploadHead(const Put& put, const Part& part) const {
        put("--");
        put(boundary);
        put("\r\n");
        put("Content-Disposition: form-data; name=");
        put("\"");
        put(part.name);
        put("\"");
        if (part.isFile) {
            put("; filename=");
            put("\"");
            put(part.path);
            put("\"");
            put("\r\nContent-Type: ");
            put(part.mimeType);
        }
        put("\r\n\r\n");
    }

    // After a part's value.
    template <class Put>
    void UploadValueEnd(const Put& put) const {
        put("\r\n");
    }

    template <class Put>
    void UploadClosing(const Put& put, bool noParts) const {
        put(noParts ? "\r\n--" : "--");
        put(boundary);
        put("--\r\n");
    }

private:
    PostText Unchanged(const char* text) const {
        PostText t;
        t.text = text;
        t.length = text ? TEncoder::AnsiEncodeLen(text, codePage) : 0;
        return t;
    }
    template <class Write>
    static PostText Encoded(DWORD length, Write write) {
        PostText t;
        t.owned.reset(static_cast<char*>(std::malloc(TTool::CheckedAdd(length, 1))));
        if (!t.owned) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
        write(t.owned.get());
        t.text = t.owned.get();
        t.length = length;
        return t;
    }
};

}  // namespace Tarvo::detail
