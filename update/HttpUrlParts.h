// An http or https URL cut into what a connection and its request need: the update road opens
// such URLs through a connection of its own (whose time-outs Wine honours) instead of
// InternetOpenUrlA, and two openers (the list fetches and the download worker) cut them alike.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>

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
