// The HTTP client's text encoders: the forms in which the client sends text (unchanged, UTF-8, and
// URL-encoded in the form style: letters and digits kept, '+' for a blank, %XX for every other
// byte, either of the code-page bytes or of their UTF-8 form) and the reverse decodings.
// Length and write come in pairs: the length leaves out the NUL; the caller allocates length + 1
// and the write fills that block and returns it. CHttpEncoderA takes narrow text in a code page
// and is what the system runs; CHttpEncoderW is its twin over wide text.
#pragma once
#include <windows.h>

#include "httpclient/HttpTool.h"

namespace Tarvo {

class CHttpEncoderA {
public:
    static DWORD AnsiEncodeLen(const char* szStr, UINT codePage = CP_ACP);
    static char* AnsiEncode(char* szBuff, const char* szStr, UINT codePage = CP_ACP);
    static DWORD AnsiDecodeLen(const char* szStr);
    static char* AnsiDecode(char* szBuff, const char* szStr);

    static DWORD Utf8EncodeLen(const char* szStr, UINT codePage = CP_ACP);
    static char* Utf8Encode(char* szBuff, const char* szStr, UINT codePage = CP_ACP);
    static DWORD Utf8DecodeLen(const char* szUtf8, UINT codePage = CP_ACP);
    static char* Utf8Decode(char* szBuff, const char* szUtf8, UINT codePage = CP_ACP);

    static DWORD UrlEncodeLen(const char* szStr, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static char* UrlEncodeA(char* szBuff, const char* szStr, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static wchar_t* UrlEncodeW(wchar_t* szBuff, const char* szStr, BOOL bUtf8Encoding = FALSE,
                               UINT codePage = CP_ACP);
    static DWORD UrlDecodeLenA(const char* szEncoded, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static DWORD UrlDecodeLenW(const char* szEncoded, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static char* UrlDecodeA(char* szBuff, const char* szEncoded, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static wchar_t* UrlDecodeW(wchar_t* szBuff, const char* szEncoded, BOOL bUtf8Encoding = FALSE,
                               UINT codePage = CP_ACP);

private:
    // One character (1 or 2 bytes and a NUL) to its UTF-8 sequence (7 bytes), and back.
    static void _AnsiCharToUtf8Char(char* szUtf8Char, const char* szAnsiChar, UINT codePage);
    static void _Utf8CharToAnsiChar(char* szAnsiChar, const char* szUtf8Char, UINT codePage);
    friend class CHttpEncoderW;
};

class CHttpEncoderW {
public:
    static DWORD AnsiEncodeLen(const wchar_t* szStr, UINT codePage = CP_ACP);
    static char* AnsiEncode(char* szBuff, const wchar_t* szStr, UINT codePage = CP_ACP);
    static DWORD AnsiDecodeLen(const char* szStr, UINT codePage = CP_ACP);
    static wchar_t* AnsiDecode(wchar_t* szBuff, const char* szStr, UINT codePage = CP_ACP);

    static DWORD Utf8EncodeLen(const wchar_t* szStr, UINT codePage = CP_ACP);
    static char* Utf8Encode(char* szBuff, const wchar_t* szStr, UINT codePage = CP_ACP);
    static DWORD Utf8DecodeLen(const char* szUtf8, UINT codePage = CP_ACP);
    static wchar_t* Utf8Decode(wchar_t* szBuff, const char* szUtf8, UINT codePage = CP_ACP);

    static DWORD UrlEncodeLen(const wchar_t* szStr, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static char* UrlEncodeA(char* szBuff, const wchar_t* szStr, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static wchar_t* UrlEncodeW(wchar_t* szBuff, const wchar_t* szStr, BOOL bUtf8Encoding = FALSE,
                               UINT codePage = CP_ACP);
    static DWORD UrlDecodeLenA(const wchar_t* szEncoded, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static DWORD UrlDecodeLenW(const wchar_t* szEncoded, BOOL bUtf8Encoding = FALSE, UINT codePage = CP_ACP);
    static char* UrlDecodeA(char* szBuff, const wchar_t* szEncoded, BOOL bUtf8Encoding = FALSE,
                            UINT codePage = CP_ACP);
    static wchar_t* UrlDecodeW(wchar_t* szBuff, const wchar_t* szEncoded, BOOL bUtf8Encoding = FALSE,
                               UINT codePage = CP_ACP);

private:
    static void _Utf8CharToAnsiChar(char* szAnsiChar, const char* szUtf8Char, UINT codePage);
};

}  // namespace Tarvo
