// The client exceptions: message ownership and "NULL" readings, the code-to-message lookup, the
// 511-character cut of formatted messages, the raise operations, the arithmetic mapping and the
// bridges between the narrow and the wide exception.
#include <doctest/doctest.h>
#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "httpclient/HttpClientException.h"
#include "httpclient/HttpTool.h"
#include "tests/httpclient/ClientErrorCapture.h"
#include "tests/support/TestPaths.h"

using namespace Tarvo;
using httptest::ExpectA;
using httptest::ExpectW;
using httptest::Utf8;
using testsupport::HexBytes;

TEST_CASE("the message lookup gives the table texts and stays inside its lists") {
    struct Row {
        int code;
        const char* message;
    };
    const Row rows[] = {
        {0, "Not specified"},
        {100, "Unexpected error occurred."},
        {102, "Out of memory."},
        {109, "The encoded URL is not valid."},
        {113, "An interger divide by zero exception has been occurred."},
        {114, "The file (%s) aleady exists."},
        {400, "::HttpQueryInfo failed."},
        {410, "::InternetSetOption failed."},
        {600, "::WideCharToMultiByte failed."},
        {603, "OpenFile (::CreateFile) failed (\"%s\")."},
        {606, "::WriteFile failed (\"%s\")."},
        {1000, "user-defined error message"},
        {123456, "user-defined error message"},
        {INT_MAX, "user-defined error message"},
        {-1, "user-defined error message"},
        {INT_MIN, "user-defined error message"},
        // Codes below 1000 without a row: an empty text, never a read past a list.
        {1, ""},
        {99, ""},
        {115, ""},
        {199, ""},
        {250, ""},
        {399, ""},
        {411, ""},
        {607, ""},
        {999, ""},
    };
    for (const Row& row : rows) {
        CAPTURE(row.code);
        CHECK(std::string(GetHttpClientErrorMessageA(row.code)) == row.message);
        CHECK(Utf8(GetHttpClientErrorMessageW(row.code)) == row.message);
        CHECK(std::string(CHttpToolA::GetHttpClientErrorMessage(row.code)) == row.message);
        CHECK(Utf8(CHttpToolW::GetHttpClientErrorMessage(row.code)) == row.message);
    }
}

TEST_CASE("an exception without a message reads NULL; the wide classes' what is their name") {
    const httpclientexceptionA narrow(nullptr, 5, 0);
    CHECK(std::string(narrow.GetErrorMessage()) == "NULL");
    CHECK(std::string(narrow.what()) == "NULL");
    CHECK(narrow.GetErrorCode() == 5);
    CHECK(narrow.GetLastWin32Error() == 0u);
    CHECK(std::string(httpclientexceptionA().what()) == "NULL");
    CHECK(httpclientexceptionA().GetErrorCode() == 0);
    CHECK(std::string(errmsg_exceptionA().what()) == "NULL");
    CHECK(std::string(varerrmsg_exceptionA().what()) == "NULL");

    CHECK(Utf8(httpclientexceptionW(nullptr, 5, 0).GetErrorMessage()) == "NULL");
    CHECK(std::string(httpclientexceptionW(L"some message", 7, 9).what()) == "httpclientexceptionW");
    CHECK(std::string(httpclientexceptionW().what()) == "httpclientexceptionW");
    CHECK(std::string(errmsg_exceptionW(L"x").what()) == "errmsg_exceptionW");
    CHECK(std::string(varerrmsg_exceptionW(L"%d", 3).what()) == "varerrmsg_exceptionW");

    // Through the base: the slots are virtual.
    const httpclientexceptionW wide(L"m", 1, 2);
    const std::exception& base = wide;
    CHECK(std::string(base.what()) == "httpclientexceptionW");
    const httpclientexceptionA withText("text", 1, 2);
    const errmsg_exceptionA& narrowBase = withText;
    CHECK(std::string(narrowBase.what()) == "text");
}

TEST_CASE("messages are private copies: copies, assignment and replacement are independent") {
    char source[] = "original message";
    auto* first = new httpclientexceptionA(source, 403, 12029);
    source[0] = 'X';  // the exception never keeps the caller's pointer
    CHECK(std::string(first->GetErrorMessage()) == "original message");

    const httpclientexceptionA copy(*first);
    CHECK(copy.GetErrorMessage() != first->GetErrorMessage());
    httpclientexceptionA assigned;
    assigned = *first;
    delete first;  // destroying the source leaves the copies intact
    CHECK(std::string(copy.GetErrorMessage()) == "original message");
    CHECK(copy.GetErrorCode() == 403);
    CHECK(copy.GetLastWin32Error() == 12029u);
    CHECK(std::string(assigned.GetErrorMessage()) == "original message");
    CHECK(assigned.GetErrorCode() == 403);

    const char* before = assigned.GetErrorMessage();
    httpclientexceptionA& self = assigned;
    assigned = self;
    CHECK(assigned.GetErrorMessage() == before);

    const httpclientexceptionA none(nullptr, 1, 0);
    const httpclientexceptionA copyOfNone(none);
    CHECK(std::string(copyOfNone.GetErrorMessage()) == "NULL");
    assigned = none;
    CHECK(std::string(assigned.GetErrorMessage()) == "NULL");

    errmsg_exceptionA plain("a");
    plain.SetErrorMessage("b");
    CHECK(std::string(plain.GetErrorMessage()) == "b");
    plain.SetErrorMessage(plain.GetErrorMessage());  // its own text: copied before the old one goes
    CHECK(std::string(plain.GetErrorMessage()) == "b");
    plain.SetErrorMessage(nullptr);
    CHECK(std::string(plain.GetErrorMessage()) == "NULL");

    auto* wide = new httpclientexceptionW(L"\x0416 wide", 601, 87);
    const httpclientexceptionW wideCopy(*wide);
    httpclientexceptionW wideAssigned;
    wideAssigned = *wide;
    delete wide;
    CHECK(Utf8(wideCopy.GetErrorMessage()) == "\xD0\x96 wide");
    CHECK(Utf8(wideAssigned.GetErrorMessage()) == "\xD0\x96 wide");
    CHECK(wideCopy.GetErrorCode() == 601);
    CHECK(wideCopy.GetLastWin32Error() == 87u);
}

TEST_CASE("formatted messages keep 511 characters and follow the C runtime's printf") {
    const std::string exact(511, 'a');
    const std::string longer = exact + "b";
    varerrmsg_exceptionA e("%s", exact.c_str());
    CHECK(std::string(e.GetErrorMessage()) == exact);
    e.FormatErrorMessage("%s", longer.c_str());
    CHECK(std::string(e.GetErrorMessage()) == exact);
    e.FormatErrorMessage("%s%d", std::string(600, 'c').c_str(), 5);
    CHECK(std::string(e.GetErrorMessage()) == std::string(511, 'c'));
    e.FormatErrorMessage("%d-%s-%c", 42, "x", 'y');
    CHECK(std::string(e.GetErrorMessage()) == "42-x-y");
    e.FormatErrorMessage(nullptr);
    CHECK(std::string(e.GetErrorMessage()) == "NULL");
    // The C runtime's narrow %S and %ls take a wide text, converted in its "C" locale: ASCII
    // passes, anything else is a formatter error, which clears the message.
    e.FormatErrorMessage("[%S|%ls]", L"ab", L"c");
    CHECK(std::string(e.GetErrorMessage()) == "[ab|c]");
    e.FormatErrorMessage("[%ls]", L"\x0416");
    CHECK(std::string(e.GetErrorMessage()) == "NULL");

    const std::wstring wideExact(511, L'w');
    varerrmsg_exceptionW w(L"%s", wideExact.c_str());  // in wide formats %s is a wide text
    CHECK(Utf8(w.GetErrorMessage()) == std::string(511, 'w'));
    w.FormatErrorMessage(L"%s!", wideExact.c_str());
    CHECK(Utf8(w.GetErrorMessage()) == std::string(511, 'w'));
    // %S and %hs take narrow texts, widened in the "C" locale byte by byte (0xC6 becomes U+00C6).
    w.FormatErrorMessage(L"[%S|%hs|%ls]", "\xC6", "n", L"\x0436");
    CHECK(Utf8(w.GetErrorMessage()) == "[\xC3\x86|n|\xD0\xB6]");
    w.FormatErrorMessage(nullptr);
    CHECK(Utf8(w.GetErrorMessage()) == "NULL");
}

TEST_CASE("raise operations throw the table message, the code and the Windows error") {
    auto e = ExpectA([] { CHttpToolA::RaiseClientError(402, 12029); });
    CHECK(std::string(e.GetErrorMessage()) == "::InternetOpen failed.");
    CHECK(e.GetErrorCode() == 402);
    CHECK(e.GetLastWin32Error() == 12029u);

    e = ExpectA([] { CHttpToolA::RaiseClientError(102); });
    CHECK(std::string(e.GetErrorMessage()) == "Out of memory.");
    CHECK(e.GetLastWin32Error() == 0u);

    e = ExpectA([] { CHttpToolA::RaiseClientError("CHttpToolA::SendRequest: hRequest can not be NULL.", 0); });
    CHECK(std::string(e.GetErrorMessage()) == "CHttpToolA::SendRequest: hRequest can not be NULL.");
    CHECK(e.GetErrorCode() == 0);

    e = ExpectA([] { CHttpToolA::RaiseClientError(605, 5, "C:\\data\\\xF4\xE0\xE9\xEB.txt"); });
    CHECK(HexBytes(e.GetErrorMessage()) == HexBytes("::GetFileSize failed (\"C:\\data\\\xF4\xE0\xE9\xEB.txt\")."));
    CHECK(e.GetErrorCode() == 605);
    CHECK(e.GetLastWin32Error() == 5u);

    const std::string path(600, 'p');
    e = ExpectA([&] { CHttpToolA::RaiseClientError(605, 5, path.c_str()); });
    const std::string filled = "::GetFileSize failed (\"" + path + "\").";
    CHECK(std::string(e.GetErrorMessage()) == filled.substr(0, 511));

    // A template without %s is its own text, argument or not.
    e = ExpectA([] { CHttpToolA::RaiseClientError(400, 12150, "ignored"); });
    CHECK(std::string(e.GetErrorMessage()) == "::HttpQueryInfo failed.");

    auto w = ExpectW([] { CHttpToolW::RaiseClientError(605, 6, L"C:\\\x0444.txt"); });
    CHECK(Utf8(w.GetErrorMessage()) == "::GetFileSize failed (\"C:\\\xD1\x84.txt\").");
    CHECK(w.GetErrorCode() == 605);
    CHECK(w.GetLastWin32Error() == 6u);
    w = ExpectW([] { CHttpToolW::RaiseClientError(410); });
    CHECK(Utf8(w.GetErrorMessage()) == "::InternetSetOption failed.");
    w = ExpectW([] { CHttpToolW::RaiseClientError("narrow \xC6", 0, 12); });
    CHECK(Utf8(w.GetErrorMessage()) == "narrow \xD0\x96");
    CHECK(w.GetLastWin32Error() == 12u);
    w = ExpectW([] { CHttpToolW::RaiseClientError(L"wide", 3); });
    CHECK(Utf8(w.GetErrorMessage()) == "wide");
    CHECK(w.GetErrorCode() == 3);
}

TEST_CASE("arithmetic failures map to 113, 112 and 111; checked sums and products raise 112") {
    struct Row {
        DWORD status;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {0xC0000094, 113, "An interger divide by zero exception has been occurred."},
        {534, 112, "An arithmetic overflow error has been occurred."},
        {0, 111, "An unexpected arithmetic error has been occurred."},
        {0xC0000095, 111, "An unexpected arithmetic error has been occurred."},
    };
    for (const Row& row : rows) {
        CAPTURE(row.status);
        const auto e = ExpectA([&] { CHttpToolA::RaiseArithmeticError(row.status); });
        CHECK(e.GetErrorCode() == row.code);
        CHECK(std::string(e.GetErrorMessage()) == row.message);
        CHECK(e.GetLastWin32Error() == 0u);
        const auto w = ExpectW([&] { CHttpToolW::RaiseArithmeticError(row.status); });
        CHECK(w.GetErrorCode() == row.code);
        CHECK(Utf8(w.GetErrorMessage()) == row.message);
    }
    CHECK(CHttpToolA::CheckedAdd(SIZE_MAX - 1, 1) == SIZE_MAX);
    CHECK(ExpectA([] { CHttpToolA::CheckedAdd(SIZE_MAX, 1); }).GetErrorCode() == 112);
    CHECK(CHttpToolA::CheckedMul(SIZE_MAX / 2, 2) == SIZE_MAX - 1);
    CHECK(ExpectA([] { CHttpToolA::CheckedMul(SIZE_MAX / 2 + 1, 2); }).GetErrorCode() == 112);
    CHECK(ExpectW([] { CHttpToolW::CheckedAdd(SIZE_MAX, SIZE_MAX); }).GetErrorCode() == 112);
    CHECK(ExpectW([] { CHttpToolW::CheckedMul(SIZE_MAX, 3); }).GetErrorCode() == 112);
}

TEST_CASE("the bridges convert the message through the ANSI code page and keep code and error") {
    const httpclientexceptionW wide(L"\x041E\x0448\x0438\x0431\x043A\x0430", 601, 1113);
    auto narrow = ExpectA([&] { CHttpToolA::RethrowAsNarrow(wide); });
    CHECK(HexBytes(narrow.GetErrorMessage()) == HexBytes("\xCE\xF8\xE8\xE1\xEA\xE0"));
    CHECK(narrow.GetErrorCode() == 601);
    CHECK(narrow.GetLastWin32Error() == 1113u);

    // A wide exception without a message converts its "NULL" reading.
    narrow = ExpectA([] { CHttpToolA::RethrowAsNarrow(httpclientexceptionW(nullptr, 9, 8)); });
    CHECK(std::string(narrow.GetErrorMessage()) == "NULL");
    CHECK(narrow.GetErrorCode() == 9);

    const httpclientexceptionA source("\xCE\xF8\xE8\xE1\xEA\xE0", 405, 12150);
    const auto back = ExpectW([&] { CHttpToolW::RethrowAsWide(source); });
    CHECK(Utf8(back.GetErrorMessage()) == "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0");
    CHECK(back.GetErrorCode() == 405);
    CHECK(back.GetLastWin32Error() == 12150u);
}
