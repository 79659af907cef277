// The client exceptions' message handling and the code-to-message tables.
#include "httpclient/HttpClientException.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace Tarvo {
namespace {

constexpr size_t kFormatCapacity = 512;  // characters, the last one for the NUL

// One row per code of a list, indexed by the code's last two digits; both widths from one table.
#define HTTPCLIENT_MSG(text) {text, L##text}
struct Message {
    const char* narrow;
    const wchar_t* wide;
};

const Message kMessages0[] = {HTTPCLIENT_MSG("Not specified")};
const Message kMessages100[] = {
    HTTPCLIENT_MSG("Unexpected error occurred."),
    HTTPCLIENT_MSG("The index is out of range."),
    HTTPCLIENT_MSG("Out of memory."),
    HTTPCLIENT_MSG("The requested URL is not a valid URL."),
    HTTPCLIENT_MSG("The post context is not started yet."),
    HTTPCLIENT_MSG("Couldn't read expected bytes from a file."),
    HTTPCLIENT_MSG("The post context has not been finished yet."),
    HTTPCLIENT_MSG("The port number is not valid."),
    HTTPCLIENT_MSG("std::exception occurred."),
    HTTPCLIENT_MSG("The encoded URL is not valid."),
    HTTPCLIENT_MSG("The UTF8 string contains an invalid character."),
    HTTPCLIENT_MSG("An unexpected arithmetic error has been occurred."),
    HTTPCLIENT_MSG("An arithmetic overflow error has been occurred."),
    HTTPCLIENT_MSG("An interger divide by zero exception has been occurred."),
    HTTPCLIENT_MSG("The file (%s) aleady exists."),
};
const Message kMessages400[] = {
    HTTPCLIENT_MSG("::HttpQueryInfo failed."),
    HTTPCLIENT_MSG("::InternetReadFile failed."),
    HTTPCLIENT_MSG("::InternetOpen failed."),
    HTTPCLIENT_MSG("::InternetConnect failed."),
    HTTPCLIENT_MSG("::HttpOpenRequest failed."),
    HTTPCLIENT_MSG("::HttpAddRequestHeaders failed."),
    HTTPCLIENT_MSG("::HttpSendRequest failed."),
    HTTPCLIENT_MSG("::HttpSendRequestEx failed."),
    HTTPCLIENT_MSG("::InternetWriteFile failed."),
    HTTPCLIENT_MSG("::HttpEndRequest failed."),
    HTTPCLIENT_MSG("::InternetSetOption failed."),
};
const Message kMessages600[] = {
    HTTPCLIENT_MSG("::WideCharToMultiByte failed."),
    HTTPCLIENT_MSG("::MultiByteToWideChar failed."),
    HTTPCLIENT_MSG("::ReadFile failed."),
    HTTPCLIENT_MSG("OpenFile (::CreateFile) failed (\"%s\")."),
    HTTPCLIENT_MSG("::SetFilePointer failed."),
    HTTPCLIENT_MSG("::GetFileSize failed (\"%s\")."),
    HTTPCLIENT_MSG("::WriteFile failed (\"%s\")."),
};
const Message kUserDefined = HTTPCLIENT_MSG("user-defined error message");
const Message kUnlisted = HTTPCLIENT_MSG("");
#undef HTTPCLIENT_MSG

struct Hundred {
    const Message* rows;
    size_t count;
};
template <size_t N>
constexpr Hundred List(const Message (&rows)[N]) {
    return {rows, N};
}
// Indexed by the code's hundreds, 0 to 9; the hundreds without messages have no list.
const Hundred kHundreds[10] = {List(kMessages0), List(kMessages100), {}, {}, List(kMessages400), {},
                               List(kMessages600), {}, {}, {}};

const Message& Lookup(int code) {
    const unsigned value = static_cast<unsigned>(code);
    if (value >= HTTPCLIENT_ERR_USER) return kUserDefined;
    const Hundred& list = kHundreds[value / 100];
    const unsigned row = value % 100;
    return row < list.count ? list.rows[row] : kUnlisted;
}

template <class Char>
Char* CopyText(const Char* text) {
    if (!text) return nullptr;
    size_t length = 0;
    while (text[length]) ++length;
    size_t bytes = 0;
    if (!detail::SizeAdd(length, 1, bytes) || !detail::SizeMul(bytes, sizeof(Char), bytes)) return nullptr;
    Char* copy = static_cast<Char*>(std::malloc(bytes));
    if (copy) std::memcpy(copy, text, bytes);
    return copy;
}

// The copy is made before the old text goes, so an exception can be given its own message.
template <class Char>
void ReplaceText(Char*& field, const Char* text) {
    Char* copy = CopyText(text);
    std::free(field);
    field = copy;
}

template <class Exception, class Char>
void FormatInto(Exception& e, const Char* format, va_list args) {
    if (!format) {
        e.SetErrorMessage(nullptr);
        return;
    }
    Char buffer[kFormatCapacity];
    e.SetErrorMessage(detail::FormatCut(buffer, kFormatCapacity, format, args) ? buffer : nullptr);
}

}  // namespace

const char* GetHttpClientErrorMessageA(int code) { return Lookup(code).narrow; }
const wchar_t* GetHttpClientErrorMessageW(int code) { return Lookup(code).wide; }

namespace detail {

// msvcrt's _vsnprintf returns -1 both for a cut result and for a formatting error; _vscprintf
// (-1 only on an error) tells the two apart. Both keep the C runtime's own printf rules.
bool FormatCut(char* out, size_t capacity, const char* format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int needed = _vscprintf(format, probe);
    va_end(probe);
    if (needed < 0 || capacity == 0) return false;
    const int written = _vsnprintf(out, capacity - 1, format, args);
    out[capacity - 1] = '\0';
    if (written >= 0) out[written] = '\0';
    return true;
}

bool FormatCut(wchar_t* out, size_t capacity, const wchar_t* format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int needed = _vscwprintf(format, probe);
    va_end(probe);
    if (needed < 0 || capacity == 0) return false;
    const int written = _vsnwprintf(out, capacity - 1, format, args);
    out[capacity - 1] = L'\0';
    if (written >= 0) out[written] = L'\0';
    return true;
}

void ComposeCheckMessage(char* out, size_t capacity, const char* cls, const char* op, const char* what,
                         const char* ending) {
    std::snprintf(out, capacity, "%s::%s: %s%s", cls, op, what, ending);
}

}  // namespace detail

errmsg_exceptionA::errmsg_exceptionA(const char* message) noexcept : m_message(CopyText(message)) {}
errmsg_exceptionA::errmsg_exceptionA(const errmsg_exceptionA& other) noexcept
    : std::exception(other), m_message(CopyText(other.m_message)) {}
errmsg_exceptionA& errmsg_exceptionA::operator=(const errmsg_exceptionA& other) noexcept {
    if (this != &other) SetErrorMessage(other.m_message);
    return *this;
}
errmsg_exceptionA::~errmsg_exceptionA() { std::free(m_message); }
const char* errmsg_exceptionA::what() const noexcept { return GetErrorMessage(); }
const char* errmsg_exceptionA::GetErrorMessage() const noexcept { return m_message ? m_message : "NULL"; }
void errmsg_exceptionA::SetErrorMessage(const char* message) noexcept { ReplaceText(m_message, message); }

errmsg_exceptionW::errmsg_exceptionW(const wchar_t* message) noexcept : m_message(CopyText(message)) {}
errmsg_exceptionW::errmsg_exceptionW(const errmsg_exceptionW& other) noexcept
    : std::exception(other), m_message(CopyText(other.m_message)) {}
errmsg_exceptionW& errmsg_exceptionW::operator=(const errmsg_exceptionW& other) noexcept {
    if (this != &other) SetErrorMessage(other.m_message);
    return *this;
}
errmsg_exceptionW::~errmsg_exceptionW() { std::free(m_message); }
const char* errmsg_exceptionW::what() const noexcept { return "errmsg_exceptionW"; }
const wchar_t* errmsg_exceptionW::GetErrorMessage() const noexcept { return m_message ? m_message : L"NULL"; }
void errmsg_exceptionW::SetErrorMessage(const wchar_t* message) noexcept { ReplaceText(m_message, message); }

varerrmsg_exceptionA::varerrmsg_exceptionA(const char* format, va_list args) noexcept {
    varerrmsg_exceptionA::FormatErrorMessage(format, args);
}
varerrmsg_exceptionA::varerrmsg_exceptionA(const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    varerrmsg_exceptionA::FormatErrorMessage(format, args);
    va_end(args);
}
void varerrmsg_exceptionA::FormatErrorMessage(const char* format, va_list args) noexcept {
    FormatInto(*this, format, args);
}
void varerrmsg_exceptionA::FormatErrorMessage(const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    FormatInto(*this, format, args);
    va_end(args);
}

varerrmsg_exceptionW::varerrmsg_exceptionW(const wchar_t* format, va_list args) noexcept {
    varerrmsg_exceptionW::FormatErrorMessage(format, args);
}
varerrmsg_exceptionW::varerrmsg_exceptionW(const wchar_t* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    varerrmsg_exceptionW::FormatErrorMessage(format, args);
    va_end(args);
}
const char* varerrmsg_exceptionW::what() const noexcept { return "varerrmsg_exceptionW"; }
void varerrmsg_exceptionW::FormatErrorMessage(const wchar_t* format, va_list args) noexcept {
    FormatInto(*this, format, args);
}
void varerrmsg_exceptionW::FormatErrorMessage(const wchar_t* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    FormatInto(*this, format, args);
    va_end(args);
}

httpclientexceptionA::httpclientexceptionA(const char* message, int errorCode, DWORD win32Error) noexcept
    : errmsg_exceptionA(message), m_errorCode(errorCode), m_win32Error(win32Error) {}

httpclientexceptionW::httpclientexceptionW(const wchar_t* message, int errorCode, DWORD win32Error) noexcept
    : errmsg_exceptionW(message), m_errorCode(errorCode), m_win32Error(win32Error) {}
const char* httpclientexceptionW::what() const noexcept { return "httpclientexceptionW"; }

}  // namespace Tarvo
