// The text encoders. Narrow text is walked character by character (one byte, or two after a DBCS
// lead byte of the code page); every character is converted on its own, and every count is checked.
#include "httpclient/HttpEncoder.h"

#include <cstring>

#include "httpclient/ArgumentChecks.h"

namespace Tarvo {
namespace {

constexpr size_t kUtf8CharBytes = 7;  // the longest sequence, 6 bytes, and the NUL
constexpr size_t kAnsiCharBytes = 3;  // a DBCS character and the NUL

using ChecksA = detail::ArgumentChecks<CHttpToolA>;
using ChecksW = detail::ArgumentChecks<CHttpToolW>;
ChecksA EncoderA(const char* op) { return {"CHttpEncoderA", op}; }
ChecksW EncoderW(const char* op) { return {"CHttpEncoderW", op}; }

bool IsEmpty(const char* text) { return !text || !*text; }
bool IsEmpty(const wchar_t* text) { return !text || !*text; }

template <class Tool>
DWORD ToCount(size_t value) {
    if (value > MAXDWORD) Tool::RaiseArithmeticError(kArithmeticOverflow);
    return static_cast<DWORD>(value);
}

// ---- bytes of URL encoding ----

bool IsUrlSafe(BYTE b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9'); }
char HexDigit(unsigned value) { return static_cast<char>(value < 10 ? '0' + value : 'A' + value - 10); }
template <class Char>
bool IsHexDigit(Char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
template <class Char>
unsigned HexValue(Char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return static_cast<unsigned>(c - 'a' + 10);
}

template <class Tool>
size_t UrlEncodedLength(const char* bytes) {
    if (!bytes) detail::RaiseCheckMessage<Tool>("_UrlEncodeLen: szStr can not be NULL.");
    size_t length = 0;
    for (const char* p = bytes; *p; ++p) {
        const BYTE b = static_cast<BYTE>(*p);
        length = Tool::CheckedAdd(length, IsUrlSafe(b) || b == ' ' ? 1 : 3);
    }
    return length;
}

// Writes the escaped bytes and a NUL; returns the position of that NUL.
template <class Out>
Out* EscapeBytes(Out* out, const char* bytes) {
    for (const char* p = bytes; *p; ++p) {
        const BYTE b = static_cast<BYTE>(*p);
        if (IsUrlSafe(b)) {
            *out++ = static_cast<Out>(b);
        } else if (b == ' ') {
            *out++ = '+';
        } else {
            *out++ = '%';
            *out++ = static_cast<Out>(HexDigit(b >> 4));
            *out++ = static_cast<Out>(HexDigit(b & 0xF));
        }
    }
    *out = 0;
    return out;
}

// ---- reading URL text, narrow or wide ----

// One byte of URL text: '+' is a blank, %XX its value, any other character its low byte. The
// cursor never moves past the NUL.
template <class Char>
bool ReadUrlByte(BYTE& out, const Char*& cursor) {
    const Char c = *cursor;
    if (c == 0) {
        out = 0;
        return true;
    }
    if (c == '+') {
        out = ' ';
        ++cursor;
        return true;
    }
    if (c == '%') {
        if (!IsHexDigit(cursor[1]) || !IsHexDigit(cursor[2])) return false;
        out = static_cast<BYTE>(HexValue(cursor[1]) << 4 | HexValue(cursor[2]));
        cursor += 3;
        return true;
    }
    out = static_cast<BYTE>(c);
    ++cursor;
    return true;
}

size_t Utf8SequenceLength(BYTE lead) {
    if (lead >= 0xC0 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF7) return 4;
    if (lead >= 0xF8 && lead <= 0xFB) return 5;
    if (lead == 0xFC || lead == 0xFD) return 6;
    return 0;
}

// One UTF-8 sequence into `out` (7 bytes), its bytes taken by `next`; the NUL gives an empty
// sequence. False for an invalid lead or continuation byte, a cut sequence or a failed read.
template <class Next>
bool ReadUtf8Sequence(char* out, Next next) {
    BYTE b = 0;
    if (!next(b)) return false;
    out[0] = static_cast<char>(b);
    if (b < 0x80) {
        out[b ? 1 : 0] = '\0';
        return true;
    }
    const size_t length = Utf8SequenceLength(b);
    if (length == 0) return false;
    for (size_t i = 1; i < length; ++i) {
        if (!next(b) || b < 0x80 || b > 0xBF) return false;
        out[i] = static_cast<char>(b);
    }
    out[length] = '\0';
    return true;
}

bool ReadUtf8Char(char* out, const char*& cursor) {
    return ReadUtf8Sequence(out, [&](BYTE& b) {
        b = static_cast<BYTE>(*cursor);
        if (b) ++cursor;
        return true;
    });
}

template <class Char>
bool ReadUrlUtf8Char(char* out, const Char*& cursor) {
    return ReadUtf8Sequence(out, [&](BYTE& b) { return ReadUrlByte(b, cursor); });
}

// One code-page character of URL text into `out` (3 bytes); a lead byte needs a second byte.
template <class Char>
bool ReadUrlAnsiChar(char* out, const Char*& cursor, UINT codePage) {
    BYTE b = 0;
    if (!ReadUrlByte(b, cursor)) return false;
    out[0] = static_cast<char>(b);
    out[1] = '\0';
    if (b == 0 || !::IsDBCSLeadByteEx(codePage, b)) return true;
    BYTE trail = 0;
    if (!ReadUrlByte(trail, cursor) || trail == 0) return false;
    out[1] = static_cast<char>(trail);
    out[2] = '\0';
    return true;
}

// Calls `emit` with each decoded character (NUL-terminated bytes) until the empty one; a failed
// read raises 109.
template <class Tool, class Char, class Emit>
void ForEachUrlChar(const Char* text, BOOL bUtf8, UINT codePage, Emit emit) {
    if (IsEmpty(text)) return;
    const Char* cursor = text;
    for (;;) {
        char sequence[kUtf8CharBytes];
        const bool ok = bUtf8 ? ReadUrlUtf8Char(sequence, cursor) : ReadUrlAnsiChar(sequence, cursor, codePage);
        if (!ok) Tool::RaiseClientError(HTTPCLIENT_ERR_ENCODED_URL_NOT_VALID);
        if (!sequence[0]) return;
        emit(sequence);
    }
}

// The wide result of one decoded character: written at `out`, its NUL after it.
template <class Tool>
void WideOfChar(wchar_t* out, const char* character, BOOL bUtf8, UINT codePage) {
    if (::MultiByteToWideChar(bUtf8 ? CP_UTF8 : codePage, 0, character, -1, out, 2) == 0)
        Tool::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
}

template <class Tool, class Char, class Convert>
size_t UrlDecodedLengthA(const Char* text, BOOL bUtf8, UINT codePage, Convert toAnsi) {
    size_t length = 0;
    ForEachUrlChar<Tool>(text, bUtf8, codePage, [&](const char* sequence) {
        char ansi[kAnsiCharBytes];
        const char* bytes = sequence;
        if (bUtf8) {
            toAnsi(ansi, sequence, codePage);
            bytes = ansi;
        }
        length = Tool::CheckedAdd(length, std::strlen(bytes));
    });
    return length;
}

template <class Tool, class Char, class Convert>
char* UrlDecodeIntoA(char* szBuff, const Char* text, BOOL bUtf8, UINT codePage, Convert toAnsi) {
    char* out = szBuff;
    *out = '\0';
    ForEachUrlChar<Tool>(text, bUtf8, codePage, [&](const char* sequence) {
        char ansi[kAnsiCharBytes];
        const char* bytes = sequence;
        if (bUtf8) {
            toAnsi(ansi, sequence, codePage);
            bytes = ansi;
        }
        const size_t n = std::strlen(bytes);
        std::memcpy(out, bytes, n + 1);
        out += n;
    });
    return szBuff;
}

template <class Tool, class Char>
size_t UrlDecodedLengthW(const Char* text, BOOL bUtf8, UINT codePage) {
    size_t length = 0;
    ForEachUrlChar<Tool>(text, bUtf8, codePage, [&](const char*) { length = Tool::CheckedAdd(length, 1); });
    return length;
}

template <class Tool, class Char>
wchar_t* UrlDecodeIntoW(wchar_t* szBuff, const Char* text, BOOL bUtf8, UINT codePage) {
    wchar_t* out = szBuff;
    *out = L'\0';
    ForEachUrlChar<Tool>(text, bUtf8, codePage, [&](const char* sequence) {
        WideOfChar<Tool>(out, sequence, bUtf8, codePage);
        ++out;
    });
    *out = L'\0';
    return szBuff;
}

// ---- walking narrow text by characters ----

// Calls `each` with every character of the text as NUL-terminated bytes. A lead byte directly
// before the NUL is a character of its own: the walk never passes the NUL.
template <class Each>
void ForEachAnsiChar(const char* text, UINT codePage, Each each) {
    if (!text) return;
    for (const char* p = text; *p;) {
        char character[kAnsiCharBytes] = {p[0], '\0', '\0'};
        if (p[1] && ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(p[0]))) {
            character[1] = p[1];
            p += 2;
        } else {
            p += 1;
        }
        each(character);
    }
}

// ---- wide text converted at once ----

template <class Tool>
int NarrowSize(const wchar_t* text, UINT codePage, char* out, int capacity) {
    const int size = ::WideCharToMultiByte(codePage, 0, text, -1, out, capacity, nullptr, nullptr);
    if (size == 0) Tool::RaiseClientError(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED, ::GetLastError());
    return size;
}
template <class Tool>
int WideSize(const char* text, UINT codePage, wchar_t* out, int capacity) {
    const int size = ::MultiByteToWideChar(codePage, 0, text, -1, out, capacity);
    if (size == 0) Tool::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
    return size;
}

DWORD NarrowLength(const wchar_t* text, UINT codePage) {
    return IsEmpty(text) ? 0 : static_cast<DWORD>(NarrowSize<CHttpToolW>(text, codePage, nullptr, 0) - 1);
}
char* NarrowInto(char* szBuff, const wchar_t* text, UINT codePage) {
    szBuff[0] = '\0';
    if (!IsEmpty(text)) NarrowSize<CHttpToolW>(text, codePage, szBuff, NarrowSize<CHttpToolW>(text, codePage, nullptr, 0));
    return szBuff;
}
DWORD WideLength(const char* text, UINT codePage) {
    return IsEmpty(text) ? 0 : static_cast<DWORD>(WideSize<CHttpToolW>(text, codePage, nullptr, 0) - 1);
}
wchar_t* WideInto(wchar_t* szBuff, const char* text, UINT codePage) {
    szBuff[0] = L'\0';
    if (!IsEmpty(text)) WideSize<CHttpToolW>(text, codePage, szBuff, WideSize<CHttpToolW>(text, codePage, nullptr, 0));
    return szBuff;
}

// One wide character (with a NUL, two units) as bytes of the code page, or UTF-8 with the flag.
void BytesOfWideChar(char* out, wchar_t c, BOOL bUtf8, UINT codePage) {
    const wchar_t pair[2] = {c, L'\0'};
    NarrowSize<CHttpToolW>(pair, bUtf8 ? CP_UTF8 : codePage, out, static_cast<int>(kUtf8CharBytes));
}

template <class Each>
void ForEachWideChar(const wchar_t* text, BOOL bUtf8, UINT codePage, Each each) {
    if (!text) return;
    for (const wchar_t* p = text; *p; ++p) {
        char bytes[kUtf8CharBytes];
        BytesOfWideChar(bytes, *p, bUtf8, codePage);
        each(bytes);
    }
}

}  // namespace

// ---- CHttpEncoderA ----

void CHttpEncoderA::_AnsiCharToUtf8Char(char* szUtf8Char, const char* szAnsiChar, UINT codePage) {
    if (!szUtf8Char || !szAnsiChar) EncoderA("_AnsiCharToUtf8Char").Refuse("szUtf8Char and szAnsiChar", detail::kNullEnding);
    wchar_t wide[2];
    const int units = ::MultiByteToWideChar(codePage, 0, szAnsiChar, -1, wide, 2);
    if (units == 0) CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
    // Only the units the platform wrote are converted back.
    if (::WideCharToMultiByte(CP_UTF8, 0, wide, units, szUtf8Char, static_cast<int>(kUtf8CharBytes), nullptr,
                              nullptr) == 0)
        CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED, ::GetLastError());
}

void CHttpEncoderA::_Utf8CharToAnsiChar(char* szAnsiChar, const char* szUtf8Char, UINT codePage) {
    if (!szAnsiChar || !szUtf8Char) EncoderA("_Utf8CharToAnsiChar").Refuse("szAnsiChar and szUtf8Char", detail::kNullEnding);
    wchar_t wide[2];
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, szUtf8Char, -1, wide, 2);
    if (units == 0) CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED, ::GetLastError());
    if (::WideCharToMultiByte(codePage, 0, wide, units, szAnsiChar, static_cast<int>(kAnsiCharBytes), nullptr,
                              nullptr) == 0)
        CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED, ::GetLastError());
}

DWORD CHttpEncoderA::AnsiEncodeLen(const char* szStr, UINT) { return AnsiDecodeLen(szStr); }

char* CHttpEncoderA::AnsiEncode(char* szBuff, const char* szStr, UINT) {
    EncoderA("AnsiEncode").NotNull(szBuff, "szBuff");
    std::strcpy(szBuff, szStr ? szStr : "");
    return szBuff;
}

DWORD CHttpEncoderA::AnsiDecodeLen(const char* szStr) { return szStr ? ToCount<CHttpToolA>(std::strlen(szStr)) : 0; }

char* CHttpEncoderA::AnsiDecode(char* szBuff, const char* szStr) {
    EncoderA("AnsiDecode").NotNull(szBuff, "szBuff");
    std::strcpy(szBuff, szStr ? szStr : "");
    return szBuff;
}

DWORD CHttpEncoderA::Utf8EncodeLen(const char* szStr, UINT codePage) {
    size_t length = 0;
    ForEachAnsiChar(szStr, codePage, [&](const char* character) {
        char utf8[kUtf8CharBytes];
        _AnsiCharToUtf8Char(utf8, character, codePage);
        length = CHttpToolA::CheckedAdd(length, std::strlen(utf8));
    });
    return ToCount<CHttpToolA>(length);
}

char* CHttpEncoderA::Utf8Encode(char* szBuff, const char* szStr, UINT codePage) {
    EncoderA("Utf8Encode").NotNull(szBuff, "szBuff");
    char* out = szBuff;
    *out = '\0';
    ForEachAnsiChar(szStr, codePage, [&](const char* character) {
        _AnsiCharToUtf8Char(out, character, codePage);
        out += std::strlen(out);
    });
    return szBuff;
}

DWORD CHttpEncoderA::Utf8DecodeLen(const char* szUtf8, UINT codePage) {
    size_t length = 0;
    if (!szUtf8) return 0;
    for (const char* cursor = szUtf8;;) {
        char sequence[kUtf8CharBytes];
        if (!ReadUtf8Char(sequence, cursor)) CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_INVALID_UTF8_CHARACTER);
        if (!sequence[0]) break;
        char ansi[kAnsiCharBytes];
        _Utf8CharToAnsiChar(ansi, sequence, codePage);
        length = CHttpToolA::CheckedAdd(length, std::strlen(ansi));
    }
    return ToCount<CHttpToolA>(length);
}

char* CHttpEncoderA::Utf8Decode(char* szBuff, const char* szUtf8, UINT codePage) {
    EncoderA("Utf8Decode").NotNull(szBuff, "szBuff");
    char* out = szBuff;
    *out = '\0';
    if (!szUtf8) return szBuff;
    for (const char* cursor = szUtf8;;) {
        char sequence[kUtf8CharBytes];
        if (!ReadUtf8Char(sequence, cursor)) CHttpToolA::RaiseClientError(HTTPCLIENT_ERR_INVALID_UTF8_CHARACTER);
        if (!sequence[0]) break;
        _Utf8CharToAnsiChar(out, sequence, codePage);
        out += std::strlen(out);
    }
    return szBuff;
}

DWORD CHttpEncoderA::UrlEncodeLen(const char* szStr, BOOL bUtf8Encoding, UINT codePage) {
    if (IsEmpty(szStr)) return 0;
    if (!bUtf8Encoding) return ToCount<CHttpToolA>(UrlEncodedLength<CHttpToolA>(szStr));
    size_t length = 0;
    ForEachAnsiChar(szStr, codePage, [&](const char* character) {
        char utf8[kUtf8CharBytes];
        _AnsiCharToUtf8Char(utf8, character, codePage);
        length = CHttpToolA::CheckedAdd(length, UrlEncodedLength<CHttpToolA>(utf8));
    });
    return ToCount<CHttpToolA>(length);
}

namespace {
template <class Out, class ToUtf8>
Out* UrlEncodeAnsiInto(Out* szBuff, const char* szStr, BOOL bUtf8Encoding, UINT codePage, ToUtf8 toUtf8) {
    Out* out = szBuff;
    *out = 0;
    if (IsEmpty(szStr)) return szBuff;
    if (!bUtf8Encoding) {
        EscapeBytes(out, szStr);
        return szBuff;
    }
    ForEachAnsiChar(szStr, codePage, [&](const char* character) {
        char utf8[kUtf8CharBytes];
        toUtf8(utf8, character, codePage);
        out = EscapeBytes(out, utf8);
    });
    return szBuff;
}
}  // namespace

char* CHttpEncoderA::UrlEncodeA(char* szBuff, const char* szStr, BOOL bUtf8Encoding, UINT codePage) {
    EncoderA("UrlEncodeA").NotNull(szBuff, "szBuff");
    return UrlEncodeAnsiInto(szBuff, szStr, bUtf8Encoding, codePage, _AnsiCharToUtf8Char);
}

wchar_t* CHttpEncoderA::UrlEncodeW(wchar_t* szBuff, const char* szStr, BOOL bUtf8Encoding, UINT codePage) {
    EncoderA("UrlEncodeW").NotNull(szBuff, "szBuff");
    return UrlEncodeAnsiInto(szBuff, szStr, bUtf8Encoding, codePage, _AnsiCharToUtf8Char);
}

DWORD CHttpEncoderA::UrlDecodeLenA(const char* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    return ToCount<CHttpToolA>(UrlDecodedLengthA<CHttpToolA>(szEncoded, bUtf8Encoding, codePage, _Utf8CharToAnsiChar));
}

DWORD CHttpEncoderA::UrlDecodeLenW(const char* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    return ToCount<CHttpToolA>(UrlDecodedLengthW<CHttpToolA>(szEncoded, bUtf8Encoding, codePage));
}

char* CHttpEncoderA::UrlDecodeA(char* szBuff, const char* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    EncoderA("UrlDecodeA").NotNull(szBuff, "szBuff");
    return UrlDecodeIntoA<CHttpToolA>(szBuff, szEncoded, bUtf8Encoding, codePage, _Utf8CharToAnsiChar);
}

wchar_t* CHttpEncoderA::UrlDecodeW(wchar_t* szBuff, const char* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    EncoderA("UrlDecodeW").NotNull(szBuff, "szBuff");
    return UrlDecodeIntoW<CHttpToolA>(szBuff, szEncoded, bUtf8Encoding, codePage);
}

// ---- CHttpEncoderW ----

void CHttpEncoderW::_Utf8CharToAnsiChar(char* szAnsiChar, const char* szUtf8Char, UINT codePage) {
    if (!szAnsiChar || !szUtf8Char) EncoderW("_Utf8CharToAnsiChar").Refuse("szAnsiChar and szUtf8Char", detail::kNullEnding);
    try {
        CHttpEncoderA::_Utf8CharToAnsiChar(szAnsiChar, szUtf8Char, codePage);
    } catch (const httpclientexceptionA& e) {
        CHttpToolW::RethrowAsWide(e);
    }
}

DWORD CHttpEncoderW::AnsiEncodeLen(const wchar_t* szStr, UINT codePage) {
    EncoderW("AnsiEncodeLen").CodePage(codePage);
    return NarrowLength(szStr, codePage);
}

char* CHttpEncoderW::AnsiEncode(char* szBuff, const wchar_t* szStr, UINT codePage) {
    const ChecksW check = EncoderW("AnsiEncode");
    check.CodePage(codePage);
    check.NotNull(szBuff, "szBuff");
    return NarrowInto(szBuff, szStr, codePage);
}

DWORD CHttpEncoderW::AnsiDecodeLen(const char* szStr, UINT codePage) {
    EncoderW("AnsiDecodeLen").CodePage(codePage);
    return WideLength(szStr, codePage);
}

wchar_t* CHttpEncoderW::AnsiDecode(wchar_t* szBuff, const char* szStr, UINT codePage) {
    const ChecksW check = EncoderW("AnsiDecode");
    check.CodePage(codePage);
    check.NotNull(szBuff, "szBuff");
    return WideInto(szBuff, szStr, codePage);
}

DWORD CHttpEncoderW::Utf8EncodeLen(const wchar_t* szStr, UINT) { return NarrowLength(szStr, CP_UTF8); }

char* CHttpEncoderW::Utf8Encode(char* szBuff, const wchar_t* szStr, UINT) {
    EncoderW("Utf8Encode").NotNull(szBuff, "szBuff");
    return NarrowInto(szBuff, szStr, CP_UTF8);
}

DWORD CHttpEncoderW::Utf8DecodeLen(const char* szUtf8, UINT) { return WideLength(szUtf8, CP_UTF8); }

wchar_t* CHttpEncoderW::Utf8Decode(wchar_t* szBuff, const char* szUtf8, UINT) {
    EncoderW("Utf8Decode").NotNull(szBuff, "szBuff");
    return WideInto(szBuff, szUtf8, CP_UTF8);
}

DWORD CHttpEncoderW::UrlEncodeLen(const wchar_t* szStr, BOOL bUtf8Encoding, UINT codePage) {
    size_t length = 0;
    ForEachWideChar(szStr, bUtf8Encoding, codePage, [&](const char* bytes) {
        length = CHttpToolW::CheckedAdd(length, UrlEncodedLength<CHttpToolW>(bytes));
    });
    return ToCount<CHttpToolW>(length);
}

namespace {
template <class Out>
Out* UrlEncodeWideInto(Out* szBuff, const wchar_t* szStr, BOOL bUtf8Encoding, UINT codePage) {
    Out* out = szBuff;
    *out = 0;
    ForEachWideChar(szStr, bUtf8Encoding, codePage, [&](const char* bytes) { out = EscapeBytes(out, bytes); });
    return szBuff;
}
}  // namespace

char* CHttpEncoderW::UrlEncodeA(char* szBuff, const wchar_t* szStr, BOOL bUtf8Encoding, UINT codePage) {
    EncoderW("UrlEncodeA").NotNull(szBuff, "szBuff");
    return UrlEncodeWideInto(szBuff, szStr, bUtf8Encoding, codePage);
}

wchar_t* CHttpEncoderW::UrlEncodeW(wchar_t* szBuff, const wchar_t* szStr, BOOL bUtf8Encoding, UINT codePage) {
    EncoderW("UrlEncodeW").NotNull(szBuff, "szBuff");
    return UrlEncodeWideInto(szBuff, szStr, bUtf8Encoding, codePage);
}

DWORD CHttpEncoderW::UrlDecodeLenA(const wchar_t* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    return ToCount<CHttpToolW>(UrlDecodedLengthA<CHttpToolW>(szEncoded, bUtf8Encoding, codePage, _Utf8CharToAnsiChar));
}

DWORD CHttpEncoderW::UrlDecodeLenW(const wchar_t* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    return ToCount<CHttpToolW>(UrlDecodedLengthW<CHttpToolW>(szEncoded, bUtf8Encoding, codePage));
}

char* CHttpEncoderW::UrlDecodeA(char* szBuff, const wchar_t* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    EncoderW("UrlDecodeA").NotNull(szBuff, "szBuff");
    return UrlDecodeIntoA<CHttpToolW>(szBuff, szEncoded, bUtf8Encoding, codePage, _Utf8CharToAnsiChar);
}

wchar_t* CHttpEncoderW::UrlDecodeW(wchar_t* szBuff, const wchar_t* szEncoded, BOOL bUtf8Encoding, UINT codePage) {
    EncoderW("UrlDecodeW").NotNull(szBuff, "szBuff");
    return UrlDecodeIntoW<CHttpToolW>(szBuff, szEncoded, bUtf8Encoding, codePage);
}

}  // namespace Tarvo
