// The text encoders: URL encoding with only letters and digits kept, '+' for a blank and upper-case
// %XX; URL decoding and its 109 failures; UTF-8 both ways and its 110 failures; DBCS characters
// (code page 932) including a lead byte at the very end; the check messages; the wide twin.
#include <doctest/doctest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "httpclient/HttpEncoder.h"
#include "tests/httpclient/ClientErrorCapture.h"
#include "tests/support/TestPaths.h"

using namespace Tarvo;
using httptest::ExpectA;
using httptest::ExpectW;
using httptest::Utf8;
using testsupport::HexBytes;

namespace {

constexpr UINT kShiftJis = 932;

// Runs a length/write pair the way the client does: allocate length + 1, write, compare.
std::string UrlEncode(const char* text, BOOL utf8, UINT codePage = CP_ACP) {
    const DWORD length = CHttpEncoderA::UrlEncodeLen(text, utf8, codePage);
    std::vector<char> narrow(length + 1, '\x7F');
    CHttpEncoderA::UrlEncodeA(narrow.data(), text, utf8, codePage);
    std::vector<wchar_t> wide(length + 1, L'\x7F');
    CHttpEncoderA::UrlEncodeW(wide.data(), text, utf8, codePage);
    const std::string result(narrow.data());
    CHECK(result.size() == length);
    CHECK(Utf8(wide.data()) == result);  // the same characters, as wide characters
    return result;
}

std::string UrlDecode(const char* text, BOOL utf8, UINT codePage = CP_ACP) {
    const DWORD length = CHttpEncoderA::UrlDecodeLenA(text, utf8, codePage);
    std::vector<char> out(length + 1, '\x7F');
    CHttpEncoderA::UrlDecodeA(out.data(), text, utf8, codePage);
    CHECK(std::string(out.data()).size() == length);
    return out.data();
}

std::wstring UrlDecodeWide(const char* text, BOOL utf8, UINT codePage = CP_ACP) {
    const DWORD length = CHttpEncoderA::UrlDecodeLenW(text, utf8, codePage);
    std::vector<wchar_t> out(length + 1, L'\x7F');
    CHttpEncoderA::UrlDecodeW(out.data(), text, utf8, codePage);
    CHECK(std::wstring(out.data()).size() == length);
    return out.data();
}

std::string Utf8Encode(const char* text, UINT codePage = CP_ACP) {
    const DWORD length = CHttpEncoderA::Utf8EncodeLen(text, codePage);
    std::vector<char> out(length + 1, '\x7F');
    CHttpEncoderA::Utf8Encode(out.data(), text, codePage);
    CHECK(std::string(out.data()).size() == length);
    return out.data();
}

std::string Utf8Decode(const char* text, UINT codePage = CP_ACP) {
    const DWORD length = CHttpEncoderA::Utf8DecodeLen(text, codePage);
    std::vector<char> out(length + 1, '\x7F');
    CHttpEncoderA::Utf8Decode(out.data(), text, codePage);
    CHECK(std::string(out.data()).size() == length);
    return out.data();
}

}  // namespace

TEST_CASE("URL encoding keeps letters and digits, writes '+' for a blank and %XX for the rest") {
    struct Row {
        const char* text;
        BOOL utf8;
        const char* encoded;
    };
    const Row rows[] = {
        {"a b&c", FALSE, "a+b%26c"},
        {"a b&c", TRUE, "a+b%26c"},
        {"\xC6", FALSE, "%C6"},        // Zhe in cp1251
        {"\xC6", TRUE, "%D0%96"},      // and in UTF-8
        {"-._~", FALSE, "%2D%2E%5F%7E"},
        {"-._~", TRUE, "%2D%2E%5F%7E"},
        {"AZaz09", FALSE, "AZaz09"},
        {"/?=%+\t\r\n", FALSE, "%2F%3F%3D%25%2B%09%0D%0A"},
        {"\xFF\x80", FALSE, "%FF%80"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2 1", TRUE, "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82+1"},
        {"", FALSE, ""},
        {"", TRUE, ""},
    };
    for (const Row& row : rows) {
        CAPTURE(HexBytes(row.text));
        CAPTURE(row.utf8);
        CHECK(UrlEncode(row.text, row.utf8) == row.encoded);
    }
    CHECK(CHttpEncoderA::UrlEncodeLen("a b&c", FALSE, 1251) == 7u);
    CHECK(CHttpEncoderA::UrlEncodeLen("\xC6", FALSE, 1251) == 3u);
    CHECK(CHttpEncoderA::UrlEncodeLen("\xC6", TRUE, 1251) == 6u);
    CHECK(CHttpEncoderA::UrlEncodeLen(nullptr, TRUE) == 0u);

    // Every single byte: safe only when an ASCII letter or digit.
    for (int b = 1; b < 256; ++b) {
        const char text[2] = {static_cast<char>(b), '\0'};
        const bool safe = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
        char hex[4];
        wsprintfA(hex, "%%%02X", b);
        const std::string expected = safe ? std::string(text) : b == ' ' ? std::string("+") : std::string(hex);
        CAPTURE(b);
        CHECK(UrlEncode(text, FALSE, 1251) == expected);
    }
}

TEST_CASE("URL decoding reads '+', %XX in either case and raises 109 for a broken escape") {
    struct Row {
        const char* encoded;
        BOOL utf8;
        const char* decoded;
    };
    const Row rows[] = {
        {"a+b%2fc", FALSE, "a b/c"},
        {"a+b%2Fc", TRUE, "a b/c"},
        {"%C6", FALSE, "\xC6"},
        {"%D0%96", TRUE, "\xC6"},
        {"\xD0\x96", TRUE, "\xC6"},    // raw UTF-8 bytes decode too
        {"%d0\x96", TRUE, "\xC6"},     // a sequence mixing escaped and raw bytes
        {"plain", FALSE, "plain"},
        {"", FALSE, ""},
        {"ab%00cd", FALSE, "ab"},      // an escaped NUL ends the text
    };
    for (const Row& row : rows) {
        CAPTURE(HexBytes(row.encoded));
        CAPTURE(row.utf8);
        CHECK(HexBytes(UrlDecode(row.encoded, row.utf8)) == HexBytes(row.decoded));
    }
    CHECK(CHttpEncoderA::UrlDecodeLenA(nullptr, FALSE) == 0u);

    const char* broken[] = {"%4", "%G1", "%", "a%", "%4G", "%%41"};
    for (const char* text : broken) {
        for (BOOL utf8 : {FALSE, TRUE}) {
            CAPTURE(text);
            CAPTURE(utf8);
            CHECK(ExpectA([&] { CHttpEncoderA::UrlDecodeLenA(text, utf8); }).GetErrorCode() == 109);
            CHECK(ExpectA([&] { CHttpEncoderA::UrlDecodeLenW(text, utf8); }).GetErrorCode() == 109);
            char buffer[16];
            CHECK(ExpectA([&] { CHttpEncoderA::UrlDecodeA(buffer, text, utf8); }).GetErrorCode() == 109);
            wchar_t wide[16];
            CHECK(ExpectA([&] { CHttpEncoderA::UrlDecodeW(wide, text, utf8); }).GetErrorCode() == 109);
        }
    }
    // With UTF-8 decoding an invalid or cut sequence is a broken URL too.
    for (const char* text : {"%FF", "%D0", "%D0%41", "%80", "%E2%82"}) {
        CAPTURE(text);
        const auto e = ExpectA([&] { CHttpEncoderA::UrlDecodeLenA(text, TRUE); });
        CHECK(e.GetErrorCode() == 109);
        CHECK(std::string(e.GetErrorMessage()) == "The encoded URL is not valid.");
    }
}

TEST_CASE("wide URL decoding gives one wide character per decoded character") {
    CHECK(Utf8(UrlDecodeWide("%D0%96+x", TRUE).c_str()) == "\xD0\x96 x");
    CHECK(Utf8(UrlDecodeWide("%C6+x", FALSE).c_str()) == "\xD0\x96 x");
    CHECK(UrlDecodeWide("%82%A0a", FALSE, kShiftJis) == std::wstring(L"\x3042" L"a"));
    CHECK(CHttpEncoderA::UrlDecodeLenW("%D0%96%D0%B6", TRUE) == 2u);
    CHECK(CHttpEncoderA::UrlDecodeLenA("%D0%96%D0%B6", TRUE) == 2u);
}

TEST_CASE("UTF-8 encoding and decoding, and 110 for invalid or cut sequences") {
    CHECK(Utf8Encode("plain ASCII 123 ~!") == "plain ASCII 123 ~!");
    CHECK(CHttpEncoderA::Utf8EncodeLen("plain ASCII 123 ~!") == 18u);
    CHECK(HexBytes(Utf8Encode("\xC6\xE6 \xB9")) == HexBytes("\xD0\x96\xD0\xB6 \xE2\x84\x96"));  // Ж ж №
    CHECK(HexBytes(Utf8Decode("\xD0\x96\xD0\xB6 \xE2\x84\x96")) == HexBytes("\xC6\xE6 \xB9"));
    CHECK(Utf8Decode("plain") == "plain");
    CHECK(Utf8Decode("\xE4\xB8\x80") == "?");  // not in cp1251: the platform's default character

    for (const char* text : {"\xFF", "a\xFE", "\x80", "\xD0", "ab\xE2\x82", "\xD0\x41", "\xC0"}) {
        CAPTURE(HexBytes(text));
        auto e = ExpectA([&] { CHttpEncoderA::Utf8DecodeLen(text); });
        CHECK(e.GetErrorCode() == 110);
        CHECK(std::string(e.GetErrorMessage()) == "The UTF8 string contains an invalid character.");
        char buffer[16];
        CHECK(ExpectA([&] { CHttpEncoderA::Utf8Decode(buffer, text); }).GetErrorCode() == 110);
    }
    // A sequence beyond the basic plane needs two UTF-16 units: the character conversion fails.
    const auto e = ExpectA([] { CHttpEncoderA::Utf8DecodeLen("\xF0\x9F\x98\x80"); });
    CHECK(e.GetErrorCode() == 601);
    CHECK(e.GetLastWin32Error() == ERROR_INSUFFICIENT_BUFFER);
}

TEST_CASE("DBCS text is walked by characters; a lead byte at the very end stands alone") {
    REQUIRE(IsDBCSLeadByteEx(kShiftJis, 0x82));
    // Hiragana A is 0x82 0xA0 in code page 932 and U+3042 (E3 81 82 in UTF-8).
    CHECK(UrlEncode("\x82\xA0", FALSE, kShiftJis) == "%82%A0");
    CHECK(UrlEncode("\x82\xA0", TRUE, kShiftJis) == "%E3%81%82");
    CHECK(HexBytes(Utf8Encode("a\x82\xA0z", kShiftJis)) == HexBytes("a\xE3\x81\x82z"));
    CHECK(HexBytes(UrlDecode("%82%A0", FALSE, kShiftJis)) == HexBytes("\x82\xA0"));
    CHECK(HexBytes(UrlDecode("%E3%81%82", TRUE, kShiftJis)) == HexBytes("\x82\xA0"));
    // A lead byte whose second byte is '%' followed by hex digits takes the escaped byte.
    CHECK(HexBytes(UrlDecode("\x82%A0", FALSE, kShiftJis)) == HexBytes("\x82\xA0"));

    // The lone lead byte before the NUL is one character of its own; the walk stops at the NUL.
    CHECK(UrlEncode("a\x82", FALSE, kShiftJis) == "a%82");
    // Converted alone, it becomes the code page's default character U+30FB (E3 83 BB).
    CHECK(HexBytes(Utf8Encode("a\x82", kShiftJis)) == HexBytes("a\xE3\x83\xBB"));
    CHECK(UrlEncode("a\x82", TRUE, kShiftJis) == "a%E3%83%BB");
    CHECK(CHttpEncoderA::Utf8EncodeLen("\x82", kShiftJis) == 3u);

    // Decoding: a lead byte at the end, or before an escaped NUL, is a broken URL.
    for (const char* text : {"%82", "a\x82", "%82%00"}) {
        CAPTURE(HexBytes(text));
        CHECK(ExpectA([&] { CHttpEncoderA::UrlDecodeLenA(text, FALSE, kShiftJis); }).GetErrorCode() == 109);
    }
}

TEST_CASE("null and empty inputs give 0 and an empty text; a null output block is refused") {
    for (const char* text : {static_cast<const char*>(nullptr), ""}) {
        CHECK(CHttpEncoderA::AnsiEncodeLen(text) == 0u);
        CHECK(CHttpEncoderA::AnsiDecodeLen(text) == 0u);
        CHECK(CHttpEncoderA::Utf8EncodeLen(text) == 0u);
        CHECK(CHttpEncoderA::Utf8DecodeLen(text) == 0u);
        CHECK(CHttpEncoderA::UrlEncodeLen(text, FALSE) == 0u);
        CHECK(CHttpEncoderA::UrlDecodeLenA(text, TRUE) == 0u);
        CHECK(CHttpEncoderA::UrlDecodeLenW(text, TRUE) == 0u);
        char narrow[2] = {'x', 'x'};
        wchar_t wide[2] = {L'x', L'x'};
        CHECK(*CHttpEncoderA::AnsiEncode(narrow, text) == '\0');
        narrow[0] = 'x';
        CHECK(*CHttpEncoderA::AnsiDecode(narrow, text) == '\0');
        narrow[0] = 'x';
        CHECK(*CHttpEncoderA::Utf8Encode(narrow, text) == '\0');
        narrow[0] = 'x';
        CHECK(*CHttpEncoderA::Utf8Decode(narrow, text) == '\0');
        narrow[0] = 'x';
        CHECK(*CHttpEncoderA::UrlEncodeA(narrow, text, TRUE) == '\0');
        CHECK(*CHttpEncoderA::UrlEncodeW(wide, text, TRUE) == L'\0');
        narrow[0] = 'x';
        CHECK(*CHttpEncoderA::UrlDecodeA(narrow, text, TRUE) == '\0');
        wide[0] = L'x';
        CHECK(*CHttpEncoderA::UrlDecodeW(wide, text, TRUE) == L'\0');
    }
    char copy[8];
    CHECK(std::string(CHttpEncoderA::AnsiEncode(copy, "a\xC6z", 1251)) == "a\xC6z");
    CHECK(CHttpEncoderA::AnsiEncodeLen("a\xC6z", 1251) == 3u);

    struct Row {
        const char* message;
        void (*call)();
    };
    const Row rows[] = {
        {"CHttpEncoderA::AnsiEncode: szBuff can not be NULL.", [] { CHttpEncoderA::AnsiEncode(nullptr, ""); }},
        {"CHttpEncoderA::AnsiDecode: szBuff can not be NULL.", [] { CHttpEncoderA::AnsiDecode(nullptr, nullptr); }},
        {"CHttpEncoderA::Utf8Encode: szBuff can not be NULL.", [] { CHttpEncoderA::Utf8Encode(nullptr, "a"); }},
        {"CHttpEncoderA::Utf8Decode: szBuff can not be NULL.", [] { CHttpEncoderA::Utf8Decode(nullptr, ""); }},
        {"CHttpEncoderA::UrlEncodeA: szBuff can not be NULL.", [] { CHttpEncoderA::UrlEncodeA(nullptr, ""); }},
        {"CHttpEncoderA::UrlEncodeW: szBuff can not be NULL.", [] { CHttpEncoderA::UrlEncodeW(nullptr, ""); }},
        {"CHttpEncoderA::UrlDecodeA: szBuff can not be NULL.", [] { CHttpEncoderA::UrlDecodeA(nullptr, "%G"); }},
        {"CHttpEncoderA::UrlDecodeW: szBuff can not be NULL.", [] { CHttpEncoderA::UrlDecodeW(nullptr, ""); }},
    };
    for (const Row& row : rows) {
        CAPTURE(row.message);
        const auto e = ExpectA(row.call);
        CHECK(std::string(e.GetErrorMessage()) == row.message);
        CHECK(e.GetErrorCode() == 0);
        CHECK(e.GetLastWin32Error() == 0u);
    }
}

TEST_CASE("the wide encoder converts whole texts and wide characters, and refuses UTF code pages") {
    const wchar_t zhe[] = L"\x0416";
    CHECK(CHttpEncoderW::AnsiEncodeLen(zhe, 1251) == 1u);
    char narrow[16];
    CHECK(HexBytes(CHttpEncoderW::AnsiEncode(narrow, L"a\x0416", 1251)) == HexBytes("a\xC6"));
    wchar_t wide[16];
    CHECK(std::wstring(CHttpEncoderW::AnsiDecode(wide, "a\xC6", 1251)) == L"a\x0416");
    CHECK(CHttpEncoderW::AnsiDecodeLen("a\xC6", 1251) == 2u);
    CHECK(CHttpEncoderW::Utf8EncodeLen(zhe) == 2u);
    CHECK(HexBytes(CHttpEncoderW::Utf8Encode(narrow, zhe)) == HexBytes("\xD0\x96"));
    CHECK(CHttpEncoderW::Utf8DecodeLen("\xD0\x96z") == 2u);
    CHECK(std::wstring(CHttpEncoderW::Utf8Decode(wide, "\xD0\x96z")) == L"\x0416z");
    CHECK(CHttpEncoderW::Utf8EncodeLen(nullptr) == 0u);

    CHECK(CHttpEncoderW::UrlEncodeLen(L"a b&c", FALSE, 1251) == 7u);
    CHECK(std::string(CHttpEncoderW::UrlEncodeA(narrow, L"a b&c", FALSE, 1251)) == "a+b%26c");
    CHECK(CHttpEncoderW::UrlEncodeLen(zhe, TRUE, 1251) == 6u);
    CHECK(std::string(CHttpEncoderW::UrlEncodeA(narrow, zhe, TRUE, 1251)) == "%D0%96");
    CHECK(std::wstring(CHttpEncoderW::UrlEncodeW(wide, zhe, FALSE, 1251)) == L"%C6");
    CHECK(std::string(CHttpEncoderW::UrlEncodeA(narrow, L"-._~", TRUE, 1251)) == "%2D%2E%5F%7E");

    CHECK(CHttpEncoderW::UrlDecodeLenA(L"a+b%2fc", FALSE, 1251) == 5u);
    CHECK(std::string(CHttpEncoderW::UrlDecodeA(narrow, L"a+b%2fc", FALSE, 1251)) == "a b/c");
    CHECK(HexBytes(CHttpEncoderW::UrlDecodeA(narrow, L"%D0%96", TRUE, 1251)) == HexBytes("\xC6"));
    CHECK(std::wstring(CHttpEncoderW::UrlDecodeW(wide, L"%D0%96+", TRUE, 1251)) == L"\x0416 ");
    CHECK(CHttpEncoderW::UrlDecodeLenW(L"%C6%C6", FALSE, 1251) == 2u);
    // A wide character that is neither '+' nor '%' gives its low byte.
    CHECK(HexBytes(CHttpEncoderW::UrlDecodeA(narrow, L"\x0441", FALSE, 1251)) == HexBytes("\x41"));
    CHECK(ExpectW([&] { CHttpEncoderW::UrlDecodeA(narrow, L"%G1", FALSE, 1251); }).GetErrorCode() == 109);
    CHECK(ExpectW([&] { CHttpEncoderW::UrlDecodeLenW(L"%D0", TRUE, 1251); }).GetErrorCode() == 109);

    struct Row {
        const char* message;
        void (*call)();
    };
    const Row rows[] = {
        {"CHttpEncoderW::AnsiEncodeLen: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpEncoderW::AnsiEncodeLen(nullptr, CP_UTF8); }},
        // The code page is checked before the output block.
        {"CHttpEncoderW::AnsiEncode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpEncoderW::AnsiEncode(nullptr, L"x", CP_UTF7); }},
        {"CHttpEncoderW::AnsiEncode: szBuff can not be NULL.", [] { CHttpEncoderW::AnsiEncode(nullptr, L"x", 1251); }},
        {"CHttpEncoderW::AnsiDecodeLen: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpEncoderW::AnsiDecodeLen("x", CP_UTF7); }},
        {"CHttpEncoderW::AnsiDecode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpEncoderW::AnsiDecode(nullptr, "x", CP_UTF8); }},
        {"CHttpEncoderW::AnsiDecode: szBuff can not be NULL.", [] { CHttpEncoderW::AnsiDecode(nullptr, "x", 1251); }},
        {"CHttpEncoderW::Utf8Encode: szBuff can not be NULL.", [] { CHttpEncoderW::Utf8Encode(nullptr, L""); }},
        {"CHttpEncoderW::Utf8Decode: szBuff can not be NULL.", [] { CHttpEncoderW::Utf8Decode(nullptr, ""); }},
        {"CHttpEncoderW::UrlEncodeA: szBuff can not be NULL.", [] { CHttpEncoderW::UrlEncodeA(nullptr, L""); }},
        {"CHttpEncoderW::UrlEncodeW: szBuff can not be NULL.", [] { CHttpEncoderW::UrlEncodeW(nullptr, L""); }},
        {"CHttpEncoderW::UrlDecodeA: szBuff can not be NULL.", [] { CHttpEncoderW::UrlDecodeA(nullptr, L""); }},
        {"CHttpEncoderW::UrlDecodeW: szBuff can not be NULL.", [] { CHttpEncoderW::UrlDecodeW(nullptr, L""); }},
    };
    for (const Row& row : rows) {
        CAPTURE(row.message);
        const auto e = ExpectW(row.call);
        CHECK(Utf8(e.GetErrorMessage()) == row.message);
        CHECK(e.GetErrorCode() == 0);
    }
}
