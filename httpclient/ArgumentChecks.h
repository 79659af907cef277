// Argument checks of the tool functions and encoders: the first failing check raises code 0 with
// "<class>::<operation>: <argument><ending>", as the client's exception of the tool's width.
#pragma once
#include <windows.h>

#include <type_traits>

#include "httpclient/HttpTool.h"

namespace Tarvo::detail {

template <class Tool>
[[noreturn]] void RaiseCheckMessage(const char* message) {
    if constexpr (std::is_same_v<Tool, CHttpToolA>) Tool::RaiseClientError(message, 0);
    else Tool::RaiseClientError(message, 0, 0);
}

template <class Tool>
class ArgumentChecks {
public:
    ArgumentChecks(const char* cls, const char* op) : m_cls(cls), m_op(op) {}

    [[noreturn]] void Refuse(const char* what, const char* ending) const {
        char message[256];
        ComposeCheckMessage(message, sizeof message, m_cls, m_op, what, ending);
        RaiseCheckMessage<Tool>(message);
    }
    void NotNull(const void* value, const char* what) const {
        if (!value) Refuse(what, kNullEnding);
    }
    template <class Char>
    void Text(const Char* value, const char* what) const {
        NotNull(value, what);
        if (!*value) Refuse(what, kEmptyEnding);
    }
    void NotZero(DWORD value, const char* what) const {
        if (value == 0) Refuse(what, kZeroEnding);
    }
    void CodePage(UINT codePage) const {
        if (codePage == CP_UTF8 || codePage == CP_UTF7) Refuse("", kCodePageEnding);
    }

private:
    const char* m_cls;
    const char* m_op;
};

}  // namespace Tarvo::detail
