// The HTTP client's exceptions: a message-carrying base, a printf-formatting variant and the client
// exception with its error code and Windows error, each in a narrow (A) and a wide (W) width; the
// table of client error codes with their messages, and the checked size arithmetic that every
// length computation of the client goes through.
#pragma once
#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <exception>

namespace Tarvo {

// Client error codes. The messages are the system's own texts (GetHttpClientErrorMessageA/W).
enum HttpClientError : int {
    HTTPCLIENT_ERR_NOT_SPECIFIED = 0,
    HTTPCLIENT_ERR_UNEXPECTED_ERROR = 100,
    HTTPCLIENT_ERR_OUT_OF_RANGE = 101,
    HTTPCLIENT_ERR_OUT_OF_MEMORY = 102,
    HTTPCLIENT_ERR_INVALID_URL = 103,
    HTTPCLIENT_ERR_POST_NOT_STARTED = 104,
    HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE = 105,
    HTTPCLIENT_ERR_POST_NOT_FINISHED = 106,
    HTTPCLIENT_ERR_INVALID_PORT = 107,
    HTTPCLIENT_ERR_STD_EXCEPTION = 108,
    HTTPCLIENT_ERR_ENCODED_URL_NOT_VALID = 109,
    HTTPCLIENT_ERR_INVALID_UTF8_CHARACTER = 110,
    HTTPCLIENT_ERR_UNEXPECTED_ARITHMETIC_ERROR = 111,
    HTTPCLIENT_ERR_ARITHMETIC_OVERFLOW = 112,
    HTTPCLIENT_ERR_INT_DIVIDE_BY_ZERO = 113,
    HTTPCLIENT_ERR_FILE_ALREADY_EXISTS = 114,
    HTTPCLIENT_ERR_QUERYINFO_FAILED = 400,
    HTTPCLIENT_ERR_INTERNETREADFILE_FAILED = 401,
    HTTPCLIENT_ERR_INTERNETOPEN_FAILED = 402,
    HTTPCLIENT_ERR_INTERNETCONNECT_FAILED = 403,
    HTTPCLIENT_ERR_HTTPOPENREQUEST_FAILED = 404,
    HTTPCLIENT_ERR_HTTPADDREQUESTHEADERS_FAILED = 405,
    HTTPCLIENT_ERR_HTTPSENDREQUEST_FAILED = 406,
    HTTPCLIENT_ERR_HTTPSENDREQUESTEX_FAILED = 407,
    HTTPCLIENT_ERR_INTERNETWRITEFILE_FAILED = 408,
    HTTPCLIENT_ERR_HTTPENDREQUEST_FAILED = 409,
    HTTPCLIENT_ERR_INTERNETSETOPTION_FAILED = 410,
    HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED = 600,
    HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED = 601,
    HTTPCLIENT_ERR_READFILE_FAILED = 602,
    HTTPCLIENT_ERR_OPENFILE_FAILED = 603,
    HTTPCLIENT_ERR_SETFILEPOINTER_FAILED = 604,
    HTTPCLIENT_ERR_GETFILESIZE_FAILED = 605,
    HTTPCLIENT_ERR_WRITEFILE_FAILED = 606,
    HTTPCLIENT_ERR_USER = 1000,
};

// Status numbers of a failed size computation (RaiseArithmeticError maps them to 113, 112, 111).
constexpr DWORD kArithmeticDivideByZero = 0xC0000094;  // STATUS_INTEGER_DIVIDE_BY_ZERO
constexpr DWORD kArithmeticOverflow = 534;             // ERROR_ARITHMETIC_OVERFLOW

// The static message of a code; "user-defined error message" from 1000 on (negative codes count as
// large), an empty text for a code below 1000 without a message.
const char* GetHttpClientErrorMessageA(int code);
const wchar_t* GetHttpClientErrorMessageW(int code);

class errmsg_exceptionA : public std::exception {
public:
    errmsg_exceptionA() noexcept = default;
    explicit errmsg_exceptionA(const char* message) noexcept;
    errmsg_exceptionA(const errmsg_exceptionA& other) noexcept;
    errmsg_exceptionA& operator=(const errmsg_exceptionA& other) noexcept;
    ~errmsg_exceptionA() override;

    const char* what() const noexcept override;     // GetErrorMessage()
    virtual const char* GetErrorMessage() const noexcept;  // "NULL" without a message
    virtual void SetErrorMessage(const char* message) noexcept;  // a copy; none when out of memory

private:
    char* m_message = nullptr;
};

class errmsg_exceptionW : public std::exception {
public:
    errmsg_exceptionW() noexcept = default;
    explicit errmsg_exceptionW(const wchar_t* message) noexcept;
    errmsg_exceptionW(const errmsg_exceptionW& other) noexcept;
    errmsg_exceptionW& operator=(const errmsg_exceptionW& other) noexcept;
    ~errmsg_exceptionW() override;

    const char* what() const noexcept override;  // the class name
    virtual const wchar_t* GetErrorMessage() const noexcept;
    virtual void SetErrorMessage(const wchar_t* message) noexcept;

private:
    wchar_t* m_message = nullptr;
};

// Messages formatted with the C runtime's printf rules into at most 511 characters.
// Note: on i686 a va_list is a char*, so a lone char* argument picks the va_list overload;
// pass such an argument as const char*.
class varerrmsg_exceptionA : public errmsg_exceptionA {
public:
    varerrmsg_exceptionA() noexcept = default;
    varerrmsg_exceptionA(const char* format, va_list args) noexcept;
    explicit varerrmsg_exceptionA(const char* format, ...) noexcept;
    varerrmsg_exceptionA(const varerrmsg_exceptionA& other) noexcept = default;
    varerrmsg_exceptionA& operator=(const varerrmsg_exceptionA& other) noexcept = default;
    ~varerrmsg_exceptionA() override = default;

    virtual void FormatErrorMessage(const char* format, va_list args) noexcept;
    virtual void FormatErrorMessage(const char* format, ...) noexcept;
};

class varerrmsg_exceptionW : public errmsg_exceptionW {
public:
    varerrmsg_exceptionW() noexcept = default;
    varerrmsg_exceptionW(const wchar_t* format, va_list args) noexcept;
    explicit varerrmsg_exceptionW(const wchar_t* format, ...) noexcept;
    varerrmsg_exceptionW(const varerrmsg_exceptionW& other) noexcept = default;
    varerrmsg_exceptionW& operator=(const varerrmsg_exceptionW& other) noexcept = default;
    ~varerrmsg_exceptionW() override = default;

    const char* what() const noexcept override;  // "varerrmsg_exceptionW"
    virtual void FormatErrorMessage(const wchar_t* format, va_list args) noexcept;
    virtual void FormatErrorMessage(const wchar_t* format, ...) noexcept;
};

class httpclientexceptionA : public errmsg_exceptionA {
public:
    httpclientexceptionA() noexcept = default;
    explicit httpclientexceptionA(const char* message, int errorCode = HTTPCLIENT_ERR_NOT_SPECIFIED,
                                  DWORD win32Error = 0) noexcept;
    httpclientexceptionA(const httpclientexceptionA& other) noexcept = default;
    httpclientexceptionA& operator=(const httpclientexceptionA& other) noexcept = default;
    ~httpclientexceptionA() override = default;

    int GetErrorCode() const noexcept { return m_errorCode; }
    DWORD GetLastWin32Error() const noexcept { return m_win32Error; }

private:
    int m_errorCode = HTTPCLIENT_ERR_NOT_SPECIFIED;
    DWORD m_win32Error = 0;
};

class httpclientexceptionW : public errmsg_exceptionW {
public:
    httpclientexceptionW() noexcept = default;
    explicit httpclientexceptionW(const wchar_t* message, int errorCode = HTTPCLIENT_ERR_NOT_SPECIFIED,
                                  DWORD win32Error = 0) noexcept;
    httpclientexceptionW(const httpclientexceptionW& other) noexcept = default;
    httpclientexceptionW& operator=(const httpclientexceptionW& other) noexcept = default;
    ~httpclientexceptionW() override = default;

    const char* what() const noexcept override;  // "httpclientexceptionW"
    int GetErrorCode() const noexcept { return m_errorCode; }
    DWORD GetLastWin32Error() const noexcept { return m_win32Error; }

private:
    int m_errorCode = HTTPCLIENT_ERR_NOT_SPECIFIED;
    DWORD m_win32Error = 0;
};

namespace detail {

// printf into a buffer of `capacity` characters, keeping at most capacity - 1 of them. Returns
// false (buffer content undefined) when the formatter fails for a reason other than a long result.
bool FormatCut(char* out, size_t capacity, const char* format, va_list args);
bool FormatCut(wchar_t* out, size_t capacity, const wchar_t* format, va_list args);

// A refused argument's message: "<cls>::<op>: <what><ending>", cut to the buffer.
void ComposeCheckMessage(char* out, size_t capacity, const char* cls, const char* op, const char* what,
                         const char* ending);
inline constexpr const char* kNullEnding = " can not be NULL.";
inline constexpr const char* kEmptyEnding = " can not be an empty string.";
inline constexpr const char* kZeroEnding = " can not be zero.";
inline constexpr const char* kCodePageEnding = "CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.";

// Size arithmetic: false on overflow, with the result left unchanged.
inline bool SizeAdd(size_t a, size_t b, size_t& out) { return !__builtin_add_overflow(a, b, &out); }
inline bool SizeMul(size_t a, size_t b, size_t& out) { return !__builtin_mul_overflow(a, b, &out); }

}  // namespace detail

}  // namespace Tarvo
