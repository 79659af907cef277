// The quick check of the run procedures: the server's version from the first line of the update
// list against the installed version of a file, before anything is downloaded.
#include <windows.h>
#include <wininet.h>

#include "update/UpdateEngine.h"
#include "update/portable/VersionText.h"

namespace {

constexpr DWORD kQuickConnectTimeout = 3000;
// The seven bytes of the list's first line come at once from a working server: one that stays
// silent longer than this is taken for one that has no newer version.
constexpr DWORD kQuickSilenceTimeout = 5000;

// Reads until the first line has ended or kVersionLineLimit bytes are in: a first line longer
// than seven bytes is read whole, and a short list ends the reading early.
kit::String ReadFirstLine(HINTERNET file) {
    char bytes[kVersionLineLimit];
    std::size_t count = 0;
    while (count < sizeof bytes) {
        DWORD read = 0;
        if (!::InternetReadFile(file, bytes + count, static_cast<DWORD>(sizeof bytes - count), &read)) return kit::String();
        if (read == 0) break;
        std::size_t before = count;
        count += read;
        bool ended = false;
        for (std::size_t i = before; i < count; ++i) ended = ended || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0';
        if (ended) break;
    }
    return FirstLineVersion(bytes, count);
}

}  // namespace

bool QuickUpdateCheck(const UpdateStartInfo* info) {
    if (!info || !info->baseUrl || !info->versionFile) return false;
    // The application's name as the agent, the system's access settings, no proxy, no flags.
    UniqueInternet session(::InternetOpenA("pendrake", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    DWORD timeout = kQuickConnectTimeout;
    ::InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);

    kit::String url = kit::String(info->baseUrl) + UpdateList::kServerFile;
    OpenedUrl file = OpenUrlWithTimeouts(session.get(), url, INTERNET_FLAG_TRANSFER_ASCII, 1, kQuickConnectTimeout,
                                         kQuickSilenceTimeout);
    if (!file) return false;
    // An error page is not the list, whatever its first line says.
    DWORD status = 0;
    DWORD length = sizeof status;
    if (::HttpQueryInfoA(file.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) &&
        (status < 200 || status > 299)) {
        return false;
    }
    kit::String serverVersion = ReadFirstLine(file.get());
    file = OpenedUrl();
    session.reset();

    kit::String installed = GetFileVersionText(info->versionFile);
    if (installed.IsEmpty()) return false;
    return CompareVersions(serverVersion, installed) == 1;
}
