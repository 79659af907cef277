// The statistics session's side that talks to the world: it configures the HTTP client for the
// chosen access, fetches the statistics page, tells statistics from the service's error pages,
// turns the client's failures into request states, and sends log lines, the user's error text
// and the finished list to the host window.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/ServerSilence.h"
#include "httpclient/HttpClient.h"
#include "hostapi/HostProtocol.h"
#include "provider/OutputKeys.h"
#include "provider/ServiceConfig.h"
#include "provider/StatsSession.h"
#include "provider/StatsStates.h"

namespace {

using Response = Tarvo::CHttpResponseT<Tarvo::CHttpToolA>;

constexpr const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 7.0b; Windows NT 6.0)";
constexpr DWORD kChunk = 10239;  // read into a buffer one byte larger, for the NUL

// A text counts as found only from the third character of the body on.
bool Holds(const kit::String& body, const char* text) { return body.Find(text) > 1; }

bool HoldsAny(const kit::String& body, std::initializer_list<const char*> texts) {
    for (const char* text : texts)
        if (Holds(body, text)) return true;
    return false;
}

}  // namespace

void CStatsSession::Setup(const kit::String& contractCode, const kit::String& password,
                          const kit::String& serverBaseUrl, bool useProxy, const kit::String& spareText,
                          const kit::String& proxyName, const kit::String& proxyPassword, bool directConnection,
                          unsigned timeoutMilliseconds) {
    client.reset();  // the old one goes before the new one is made
    client = std::make_unique<HttpClient>();
    settings.reset();
    settings = std::make_unique<StatsSettings>();
    ResetValueList();

    settings->contractCode = contractCode;
    settings->password = password;
    settings->serverBaseUrl = serverBaseUrl;
    settings->spareText = spareText;
    settings->useProxy = useProxy ? 1 : 0;
    settings->directConnection = directConnection ? 1 : 0;
    settings->proxyName = proxyName;
    settings->proxyPassword = proxyPassword;

    if (settings->directConnection) {
        client->SetInternetOptions(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else if (settings->useProxy) {
        client->SetInternetOptions(kUserAgent, INTERNET_OPEN_TYPE_PROXY, settings->proxyName.c_str(), nullptr, 0);
        if (settings->proxyName.GetLength() >= 2)
            client->SetProxyAccount(settings->proxyName.c_str(), settings->proxyPassword.c_str());
    } else {
        client->SetInternetOptions(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    }
    client->SetTimeout(timeoutMilliseconds);
    client->AddHeader("KTQ-Magic", "KTQ group");
    client->AddHeader("User-Magic", provider::config::kUserMagic);
}

int CStatsSession::FetchStats(const kit::String& url) {
    int state = provider::StateNotRecognised;
    ULONGLONG waitingSince = ::GetTickCount64();  // the start of the call that may wait for the service
    try {
        // A new response owned here; never null: every failure of the GET throws, and a GET
        // leaves no upload context whose ProceedRequest would have to be driven to its end.
        const std::unique_ptr<Response> response(client->SendGetRequest(url.c_str(), false));

        DWORD contentLength = 0;
        const bool hasLength = response->GetContentLength(&contentLength) != FALSE;
        if (!hasLength) state = provider::StateHttpFailure;

        kit::String body;
        char buffer[kChunk + 1];
        std::uint64_t received = 0;
        for (;;) {
            waitingSince = ::GetTickCount64();
            const DWORD got = response->ReadContent(reinterpret_cast<BYTE*>(buffer), kChunk);
            if (got == 0) break;
            received += got;
            buffer[got] = 0;
            body += buffer;  // a NUL inside the chunk ends its contribution
            if (static_cast<std::size_t>(body.GetLength()) > provider::kMaxBodyBytes)
                return provider::StateHttpFailure;  // a body this large is no statistics page
        }
        // A body closed before its Content-Length ends the reads as its end does (Wine: TRUE, 0
        // bytes): it is a failed read.
        if (hasLength && received < contentLength) return provider::StateHttpFailure;

        if (Holds(body, "Просмотр оперативной информации") || Holds(body, "Просмотр истории") ||
            Holds(body, "responseValue\":\"ok")) {
            PostLogLine("::: Попытка обработать данные");
            state = ParseStats(body);
        }
        state = CheckErrorPage(state, body);
    } catch (const Tarvo::httpclientexceptionA& failure) {
        // A service that stayed silent past the time-out has timed out, whatever Wine calls it.
        DWORD error = failure.GetLastWin32Error();
        if (kit::EndedBySilence(error, ::GetTickCount64() - waitingSince, client->GetTimeout()))
            error = ERROR_INTERNET_TIMEOUT;
        state = provider::StateForClientError(error);
    }
    return state;
}

int CStatsSession::CheckErrorPage(int state, const kit::String& body) {
    if (HoldsAny(body, {"Пароли доступа по телефону", "Ошибка входа на сайт статистики", "bad login",
                        "Если Вы забыли Ваш пароль"})) {
        PostErrorText("Не верный Номер договора или Пароль!\nсовет: перепроверьте свои данные в настройках");
        state = provider::StateLoginRefused;
    }
    if (HoldsAny(body, {"Возникла ошибка", "Указанный ресурс отсутствует на сервере",
                        "HTTP Status 503 - This application is not currently available", "Произошла ошибка"}))
        state = provider::StateServiceErrorPage;
    if (HoldsAny(body, {"Не верное ID контракта!", "The page cannot be displayed", "The page cannot be found",
                        "Нет такого абонента!", "Нет текущего приложения!"}))
        state = provider::StateServiceErrorPage;
    return state;
}

// Both "post" operations send (the host copies the text while it handles the message, and our
// copy lives only for the call). Their guards differ on purpose: a log line needs the settings
// as well, so that nothing is logged before Setup; the user's error text needs only the window.
void CStatsSession::PostLogLine(kit::String line) {
    if (!settings || !hostWindow) return;
    ::SendMessageA(hostWindow, host::WM_HOST_LOG_LINE, reinterpret_cast<WPARAM>(&line), 0);
}

void CStatsSession::PostErrorText(kit::String text) {
    if (!hostWindow) return;
    ::SendMessageA(hostWindow, host::WM_HOST_USER_ERROR, reinterpret_cast<WPARAM>(&text), 0);
}

void CStatsSession::PublishStats() {
    char text[128] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        if (std::strftime(text, sizeof text, "%H:%M %d-%m-%Y", local) == 0) text[0] = 0;
    }
    AddPair("updatetime", text, 3, provider::kNoValue);
    AddPair("updatetime_day", text, 3, provider::kNoValue);
    if (hostWindow && valueList)
        ::SendMessageA(hostWindow, host::WM_HOST_STATS_LIST, reinterpret_cast<WPARAM>(valueList.get()), 0);
}
