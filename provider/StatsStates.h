// The states of one statistics request inside the provider: the results the host receives, plus
// "statistics gathered", which the request driver turns into "delivered".
#pragma once
#include <cstddef>
#include <cstdint>

namespace provider {

enum StatsState : int {
    StateNotRecognised = 0,
    StateServiceErrorPage = 5,
    StateHttpFailure = 6,
    StateInvalidCertificateAuthority = 8,
    StateNoConnection = 9,
    StateLoginRefused = 10,
    StateStatsGathered = 14,
};

// How long the fetch waits for a service that stays silent: the connect, send and receive
// time-outs of its connection and request, each (WinInet's usual default, now the same everywhere).
inline constexpr unsigned kFetchTimeoutMilliseconds = 30000;

// The body is gathered in memory; a service that sends more than this is cut off as a failure.
inline constexpr std::size_t kMaxBodyBytes = 16u * 1024u * 1024u;

// What a failure of the HTTP client means for the request, by the Windows error it carries.
inline int StateForClientError(std::uint32_t win32Error) {
    switch (win32Error) {
    case 12002:  // ERROR_INTERNET_TIMEOUT
    case 12029:  // ERROR_INTERNET_CANNOT_CONNECT
        return StateNoConnection;
    case 12045:  // ERROR_INTERNET_INVALID_CA
        return StateInvalidCertificateAuthority;
    default:
        return StateHttpFailure;
    }
}

}  // namespace provider
