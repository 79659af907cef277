// For tables of failure cases: runs a call and records whether it threw the client's narrow
// exception and what that exception carried, so one row's outcome never stops the next row.
#pragma once
#include <doctest/doctest.h>
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "httpclient/HttpClientException.h"

namespace httptest {

struct Raised {
    bool thrown = false;
    int code = -1;
    DWORD win32 = 0;
    std::string message;
};

template <class F>
Raised Catch(F&& call) {
    Raised r;
    try {
        call();
    } catch (const Tarvo::httpclientexceptionA& e) {
        r.thrown = true;
        r.code = e.GetErrorCode();
        r.win32 = e.GetLastWin32Error();
        r.message = e.GetErrorMessage();
    }
    return r;
}

// An argument check: the call must throw code 0 with exactly this message.
struct Refusal {
    const char* message;
    std::function<void()> call;
};

inline void CheckRefusals(std::initializer_list<Refusal> cases) {
    for (const Refusal& c : cases) {
        CAPTURE(c.message);
        Raised r = Catch(c.call);
        CHECK(r.thrown);
        CHECK(r.code == 0);
        CHECK(r.message == c.message);
    }
}

}  // namespace httptest
