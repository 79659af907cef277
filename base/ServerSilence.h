// How a failed WinInet call is told apart as the server's silence, for every road that sets
// time-outs of its own. Windows reports a time-out as 12002. Under Wine a read that waits in vain
// fails with WSAETIMEDOUT, and a request whose answer never comes fails with 12030 once its
// receive time-out has passed: the same error as a connection that the server drops at once, so
// the time the call waited tells the two apart (half the time-out leaves room for Wine's rounding
// and for a clock that ticks in steps).
#pragma once
#include <windows.h>
#include <wininet.h>

namespace kit {

// `timeoutMilliseconds` is the time-out the call ran under; 0 (none set) never counts a 12030.
inline bool EndedBySilence(DWORD error, ULONGLONG waitedMilliseconds, DWORD timeoutMilliseconds) {
    if (error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT) return true;
    return error == ERROR_INTERNET_CONNECTION_ABORTED && timeoutMilliseconds != 0 &&
           waitedMilliseconds >= timeoutMilliseconds / 2;
}

}  // namespace kit
