// How the update road opens URLs. An http or https URL goes through a connection of its own whose
// time-outs Wine honours (it ignores them on the session that InternetOpenUrlA takes them from),
// so a server that accepts and never answers fails the open instead of holding it for ever; other
// schemes go to InternetOpenUrlA. The list fetches and the quick check open with
// OpenUrlWithTimeouts; the download worker, which must register every handle for its stop, cuts
// the URL and connects with the same helpers.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>

#include "base/Unique.h"

namespace updatedetail {
inline void CloseInternetHandle(HINTERNET handle) { ::InternetCloseHandle(handle); }
}  // namespace updatedetail

using UniqueInternet = kit::Unique<kit::NullTraits<HINTERNET, updatedetail::CloseInternetHandle>>;

// The flags of the list fetches and the downloads: always from the server, never from the cache.
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_NEED_FILE;
static_assert(kOpenUrlFlags == 0x80000C10);

struct HttpUrlParts {
    bool secure = false;  // https
    std::string host;
    INTERNET_PORT port = 0;
    std::string user;      // empty: none
    std::string password;  // empty: none
    std::string object;    // path and query; "/" when the URL has neither
};

enum class UrlKind { Invalid, Http, Other };

// Cracks `url`; Http fills `parts`, Other is a scheme that only InternetOpenUrlA opens.
UrlKind SplitHttpUrl(const char* url, HttpUrlParts* parts);

// InternetConnectA for `parts` (HTTP service, no flags).
HINTERNET ConnectHttp(HINTERNET session, const HttpUrlParts& parts, DWORD_PTR context);

// An open URL of the list fetches and the quick check: the request to read from and, for HTTP, the
// connection it was sent on; the request is closed first.
struct OpenedUrl {
    UniqueInternet connection;
    UniqueInternet request;
    HINTERNET get() const { return request.get(); }
    explicit operator bool() const { return static_cast<bool>(request); }
};

// Opens `url` on `session` as InternetOpenUrlA does (the same flags and context), an HTTP or HTTPS
// URL through a connection whose connect time-out is `connectMilliseconds` and whose send and
// receive time-outs are `silenceMilliseconds`: a server that drops connection attempts holds the
// caller no longer than one that never answers. Empty when the URL cannot be opened.
OpenedUrl OpenUrlWithTimeouts(HINTERNET session, const char* url, DWORD flags, DWORD_PTR context,
                              DWORD connectMilliseconds, DWORD silenceMilliseconds);
