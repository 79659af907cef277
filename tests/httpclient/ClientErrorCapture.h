// Test helpers for the HTTP client's exceptions: run a call that must throw the client exception
// of one width and hand back what it threw, and wide texts as UTF-8 for readable failures.
#pragma once
#include <doctest/doctest.h>
#include <windows.h>

#include <string>

#include "httpclient/HttpClientException.h"

namespace httptest {

template <class Exception, class F>
Exception Expect(F&& call) {
    try {
        call();
    } catch (const Exception& e) {
        return e;
    }
    FAIL("the call did not throw the expected client exception");
    return Exception();
}
template <class F>
Tarvo::httpclientexceptionA ExpectA(F&& call) {
    return Expect<Tarvo::httpclientexceptionA>(call);
}
template <class F>
Tarvo::httpclientexceptionW ExpectW(F&& call) {
    return Expect<Tarvo::httpclientexceptionW>(call);
}

inline std::string Utf8(const wchar_t* text) {
    if (!text) return "(null)";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace httptest
