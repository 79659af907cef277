// How the update road opens URLs (see UrlOpen.h).
#include "update/UrlOpen.h"

#include <utility>

UrlKind SplitHttpUrl(const char* url, HttpUrlParts* parts) {
    if (!url) return UrlKind::Invalid;
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = "";
    char user[INTERNET_MAX_USER_NAME_LENGTH + 1] = "";
    char password[INTERNET_MAX_PASSWORD_LENGTH + 1] = "";
    URL_COMPONENTSA cracked{};
    cracked.dwStructSize = sizeof cracked;
    cracked.lpszHostName = host;
    cracked.dwHostNameLength = sizeof host;
    cracked.lpszUserName = user;
    cracked.dwUserNameLength = sizeof user;
    cracked.lpszPassword = password;
    cracked.dwPasswordLength = sizeof password;
    cracked.dwUrlPathLength = 1;  // pointers into `url`
    cracked.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlA(url, 0, 0, &cracked)) return UrlKind::Invalid;
    if (cracked.nScheme != INTERNET_SCHEME_HTTP && cracked.nScheme != INTERNET_SCHEME_HTTPS) return UrlKind::Other;
    parts->secure = cracked.nScheme == INTERNET_SCHEME_HTTPS;
    parts->host = host;
    parts->port = cracked.nPort;
    parts->user = user;
    parts->password = password;
    parts->object.clear();
    if (cracked.lpszUrlPath) parts->object.assign(cracked.lpszUrlPath, cracked.dwUrlPathLength);
    if (cracked.lpszExtraInfo) parts->object.append(cracked.lpszExtraInfo, cracked.dwExtraInfoLength);
    if (parts->object.empty()) parts->object.assign(1, '/');
    return UrlKind::Http;
}

HINTERNET ConnectHttp(HINTERNET session, const HttpUrlParts& parts, DWORD_PTR context) {
    return ::InternetConnectA(session, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
                              parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0,
                              context);
}

OpenedUrl OpenUrlWithTimeouts(HINTERNET session, const char* url, DWORD flags, DWORD_PTR context,
                              DWORD connectMilliseconds, DWORD silenceMilliseconds) {
    OpenedUrl opened;
    if (!session) return opened;
    HttpUrlParts parts;
    const UrlKind kind = SplitHttpUrl(url, &parts);
    if (kind == UrlKind::Invalid) return opened;
    if (kind == UrlKind::Other) {
        opened.request.reset(::InternetOpenUrlA(session, url, nullptr, 0, flags, context));
        return opened;
    }
    opened.connection.reset(ConnectHttp(session, parts, context));
    if (!opened.connection) return opened;
    const std::pair<DWORD, DWORD> timeouts[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, connectMilliseconds},
                                                {INTERNET_OPTION_SEND_TIMEOUT, silenceMilliseconds},
                                                {INTERNET_OPTION_RECEIVE_TIMEOUT, silenceMilliseconds}};
    for (auto [option, milliseconds] : timeouts)
        ::InternetSetOptionA(opened.connection.get(), option, &milliseconds, sizeof milliseconds);
    if (parts.secure) flags |= INTERNET_FLAG_SECURE;
    UniqueInternet request(::HttpOpenRequestA(opened.connection.get(), "GET", parts.object.c_str(), nullptr, nullptr,
                                              nullptr, flags, context));
    if (!request || !::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return OpenedUrl();
    opened.request = std::move(request);
    return opened;
}
