// The tool functions that need no server: text conversion, the argument checks and their order,
// files and their sizes, the MIME type detection, the upload boundary, the name order of the maps
// and the write loop behind InternetWriteFile over a scripted write call.
#include <doctest/doctest.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "httpclient/HttpTool.h"
#include "tests/httpclient/ClientErrorCapture.h"
#include "tests/support/TestPaths.h"

using namespace Tarvo;
using httptest::ExpectA;
using httptest::ExpectW;
using httptest::Utf8;
using testsupport::HexBytes;

namespace {

// A handle that is never used: every check below fails before any platform call.
const HINTERNET kSomeHandle = reinterpret_cast<HINTERNET>(static_cast<UINT_PTR>(0x1234));
BYTE g_bytes[4] = {1, 2, 3, 4};

// A scratch file in the temporary folder, removed at the end of the test.
class ScratchFile {
public:
    ScratchFile(const char* name, const std::string& content) {
        char folder[MAX_PATH];
        ::GetTempPathA(MAX_PATH, folder);
        m_path = std::string(folder) + name;
        HANDLE h = ::CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(h != INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!content.empty()) ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
    }
    ~ScratchFile() { ::DeleteFileA(m_path.c_str()); }
    const char* path() const { return m_path.c_str(); }
    std::wstring widePath() const { return std::wstring(m_path.begin(), m_path.end()); }

private:
    std::string m_path;
};

std::string MimeOf(HANDLE file) {
    char* type = CHttpToolA::GetMimeType(file, CP_ACP);
    const std::string result = type;
    std::free(type);
    return result;
}

}  // namespace

TEST_CASE("text conversion through a code page; UTF code pages are refused even for null") {
    CHECK(CHttpToolA::Unicode2Ansi(nullptr, 1251) == nullptr);
    CHECK(CHttpToolA::Ansi2Unicode(nullptr, 1251) == nullptr);
    char* narrow = CHttpToolA::Unicode2Ansi(L"\x0416\x0436 z", 1251);
    CHECK(HexBytes(narrow) == HexBytes("\xC6\xE6 z"));
    std::free(narrow);
    wchar_t* wide = CHttpToolA::Ansi2Unicode("\xC6\xE6 z", CP_ACP);
    CHECK(std::wstring(wide) == L"\x0416\x0436 z");
    std::free(wide);
    narrow = CHttpToolW::Unicode2Ansi(L"", 1251);
    CHECK(std::string(narrow).empty());
    std::free(narrow);

    for (UINT codePage : {CP_UTF8, CP_UTF7}) {
        CAPTURE(codePage);
        CHECK(std::string(ExpectA([&] { CHttpToolA::Unicode2Ansi(nullptr, codePage); }).GetErrorMessage()) ==
              "CHttpToolA::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
        CHECK(std::string(ExpectA([&] { CHttpToolA::Ansi2Unicode("a", codePage); }).GetErrorMessage()) ==
              "CHttpToolA::Ansi2Unicode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
        CHECK(Utf8(ExpectW([&] { CHttpToolW::Unicode2Ansi(nullptr, codePage); }).GetErrorMessage()) ==
              "CHttpToolW::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    }
    // A code page the platform does not know fails the size query.
    const auto e = ExpectA([] { CHttpToolA::Unicode2Ansi(L"x", 12345); });
    CHECK(e.GetErrorCode() == 600);
    CHECK(e.GetLastWin32Error() == ERROR_INVALID_PARAMETER);
    CHECK(ExpectA([] { CHttpToolA::Ansi2Unicode("x", 12345); }).GetErrorCode() == 601);
}

TEST_CASE("argument checks: exact messages, in the order of the arguments, before any call") {
    struct Row {
        const char* message;
        void (*call)();
    };
    const Row narrowRows[] = {
        {"CHttpToolA::OpenConnection: hInternet can not be NULL.", [] { CHttpToolA::OpenConnection(nullptr, nullptr, 80); }},
        {"CHttpToolA::OpenConnection: szServerAddr can not be NULL.", [] { CHttpToolA::OpenConnection(kSomeHandle, nullptr, 80); }},
        {"CHttpToolA::OpenConnection: szServerAddr can not be an empty string.", [] { CHttpToolA::OpenConnection(kSomeHandle, "", 80); }},
        {"CHttpToolA::OpenRequest: hConnection can not be NULL.", [] { CHttpToolA::OpenRequest(nullptr, "GET", nullptr, 0); }},
        {"CHttpToolA::OpenRequest: szObjectName can not be NULL.", [] { CHttpToolA::OpenRequest(kSomeHandle, "GET", nullptr, 0); }},
        {"CHttpToolA::OpenRequest: szObjectName can not be an empty string.", [] { CHttpToolA::OpenRequest(kSomeHandle, "GET", "", 0); }},
        {"CHttpToolA::AddHeader: hRequest can not be NULL.", [] { CHttpToolA::AddHeader(nullptr, nullptr, nullptr); }},
        {"CHttpToolA::AddHeader: szName can not be NULL.", [] { CHttpToolA::AddHeader(kSomeHandle, nullptr, "v"); }},
        {"CHttpToolA::SendRequest: hRequest can not be NULL.", [] { CHttpToolA::SendRequest(nullptr, "data"); }},
        {"CHttpToolA::SendRequestEx: hRequest can not be NULL.", [] { CHttpToolA::SendRequestEx(nullptr, 10); }},
        {"CHttpToolA::InternetWriteFile: hRequest can not be NULL.", [] { CHttpToolA::InternetWriteFile(nullptr, nullptr, 0); }},
        {"CHttpToolA::InternetWriteFile: pbyBuff can not be NULL.", [] { CHttpToolA::InternetWriteFile(kSomeHandle, nullptr, 0); }},
        {"CHttpToolA::InternetWriteFile: cbyBuff can not be zero.", [] { CHttpToolA::InternetWriteFile(kSomeHandle, g_bytes, 0); }},
        {"CHttpToolA::EndRequest: hRequest can not be NULL.", [] { CHttpToolA::EndRequest(nullptr); }},
        {"CHttpToolA::FileExists: szFilePath can not be NULL.", [] { CHttpToolA::FileExists(nullptr); }},
        {"CHttpToolA::OpenFile: szFilePath can not be NULL.", [] { CHttpToolA::OpenFile(nullptr); }},
        {"CHttpToolA::CreateFileAlwaysToWrite: szFilePath can not be NULL.", [] { CHttpToolA::CreateFileAlwaysToWrite(nullptr); }},
        {"CHttpToolA::GetFileSize: hFile can not be NULL.", [] { CHttpToolA::GetFileSize(nullptr, nullptr); }},
        {"CHttpToolA::GetFileSize: szFilePath can not be NULL.", [] { CHttpToolA::GetFileSize(INVALID_HANDLE_VALUE, nullptr); }},
        {"CHttpToolA::GetMimeType: hFile can not be NULL.", [] { CHttpToolA::GetMimeType(nullptr, CP_UTF8); }},
        {"CHttpToolA::GetStatusText: hRequest can not be NULL.", [] { CHttpToolA::GetStatusText(nullptr); }},
        {"CHttpToolA::GetHeader: hRequest can not be NULL.", [] { CHttpToolA::GetHeader(nullptr, nullptr); }},
        {"CHttpToolA::GetHeader: szName can not be NULL.", [] { CHttpToolA::GetHeader(kSomeHandle, nullptr); }},
    };
    for (const Row& row : narrowRows) {
        CAPTURE(row.message);
        const auto e = ExpectA(row.call);
        CHECK(std::string(e.GetErrorMessage()) == row.message);
        CHECK(e.GetErrorCode() == 0);
        CHECK(e.GetLastWin32Error() == 0u);
    }

    const Row wideRows[] = {
        {"CHttpToolW::OpenConnection: hInternet can not be NULL.", [] { CHttpToolW::OpenConnection(nullptr, L"", 80); }},
        {"CHttpToolW::OpenConnection: szServerAddr can not be an empty string.", [] { CHttpToolW::OpenConnection(kSomeHandle, L"", 80); }},
        {"CHttpToolW::OpenRequest: hConnection can not be NULL.", [] { CHttpToolW::OpenRequest(nullptr, L"GET", L"/", 0, nullptr, CP_UTF8); }},
        {"CHttpToolW::OpenRequest: szObjectName can not be NULL.", [] { CHttpToolW::OpenRequest(kSomeHandle, L"GET", nullptr, 0, nullptr, CP_UTF8); }},
        {"CHttpToolW::OpenRequest: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpToolW::OpenRequest(kSomeHandle, L"GET", L"/", 0, nullptr, CP_UTF8); }},
        {"CHttpToolW::AddHeader: szName can not be NULL.", [] { CHttpToolW::AddHeader(kSomeHandle, nullptr, L"v", CP_UTF7); }},
        {"CHttpToolW::AddHeader: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpToolW::AddHeader(kSomeHandle, L"", L"v", CP_UTF7); }},
        {"CHttpToolW::SendRequest: hRequest can not be NULL.", [] { CHttpToolW::SendRequest(nullptr, L"", CP_UTF8); }},
        {"CHttpToolW::SendRequest: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpToolW::SendRequest(kSomeHandle, L"", CP_UTF8); }},
        {"CHttpToolW::InternetWriteFile: cbyBuff can not be zero.", [] { CHttpToolW::InternetWriteFile(kSomeHandle, g_bytes, 0); }},
        {"CHttpToolW::EndRequest: hRequest can not be NULL.", [] { CHttpToolW::EndRequest(nullptr); }},
        {"CHttpToolW::FileExists: szFilePath can not be NULL.", [] { CHttpToolW::FileExists(nullptr); }},
        {"CHttpToolW::GetFileSize: szFilePath can not be NULL.", [] { CHttpToolW::GetFileSize(INVALID_HANDLE_VALUE, nullptr); }},
        {"CHttpToolW::GetMimeType: hFile can not be NULL.", [] { CHttpToolW::GetMimeType(nullptr, CP_UTF8); }},
        {"CHttpToolW::GetMimeType: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.",
         [] { CHttpToolW::GetMimeType(INVALID_HANDLE_VALUE, CP_UTF8); }},
        {"CHttpToolW::GetStatusText: hRequest can not be NULL.", [] { CHttpToolW::GetStatusText(nullptr); }},
        {"CHttpToolW::GetHeader: szName can not be NULL.", [] { CHttpToolW::GetHeader(kSomeHandle, nullptr); }},
    };
    for (const Row& row : wideRows) {
        CAPTURE(row.message);
        const auto e = ExpectW(row.call);
        CHECK(Utf8(e.GetErrorMessage()) == row.message);
        CHECK(e.GetErrorCode() == 0);
    }

    // The narrow MIME detection reports the wide twin's code-page check as a narrow exception.
    CHECK(std::string(ExpectA([] { CHttpToolA::GetMimeType(INVALID_HANDLE_VALUE, CP_UTF7); }).GetErrorMessage()) ==
          "CHttpToolW::GetMimeType: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
}

TEST_CASE("files: existence, opening, creating and sizes; a failed size names the file") {
    const ScratchFile file("tarvo-tool-size.bin", std::string(1234, 'x'));
    CHECK(CHttpToolA::FileExists(file.path()) == TRUE);
    CHECK(CHttpToolW::FileExists(file.widePath().c_str()) == TRUE);
    CHECK(CHttpToolA::FileExists("Z:\\no\\such\\file.bin") == FALSE);

    HANDLE h = CHttpToolA::OpenFile(file.path());
    REQUIRE(h != INVALID_HANDLE_VALUE);
    CHECK(CHttpToolA::GetFileSize(h, file.path()) == 1234u);
    ::CloseHandle(h);
    h = CHttpToolW::OpenFile(file.widePath().c_str());
    REQUIRE(h != INVALID_HANDLE_VALUE);
    CHECK(CHttpToolW::GetFileSize(h, file.widePath().c_str()) == 1234u);
    ::CloseHandle(h);
    CHECK(CHttpToolA::OpenFile("Z:\\no\\such\\file.bin") == INVALID_HANDLE_VALUE);

    h = CHttpToolA::CreateFileAlwaysToWrite(file.path());  // truncates
    REQUIRE(h != INVALID_HANDLE_VALUE);
    CHECK(CHttpToolA::GetFileSize(h, file.path()) == 0u);
    ::CloseHandle(h);
    CHECK(CHttpToolA::CreateFileAlwaysToWrite("Z:\\no\\such\\folder\\f.bin") == INVALID_HANDLE_VALUE);

    auto e = ExpectA([] { CHttpToolA::GetFileSize(INVALID_HANDLE_VALUE, "C:\\up\\\xF4.txt"); });
    CHECK(e.GetErrorCode() == 605);
    CHECK(e.GetLastWin32Error() == ERROR_INVALID_HANDLE);
    CHECK(HexBytes(e.GetErrorMessage()) == HexBytes("::GetFileSize failed (\"C:\\up\\\xF4.txt\")."));
    const auto w = ExpectW([] { CHttpToolW::GetFileSize(INVALID_HANDLE_VALUE, L"C:\\up\\\x0444.txt"); });
    CHECK(Utf8(w.GetErrorMessage()) == "::GetFileSize failed (\"C:\\up\\\xD1\x84.txt\").");
}

TEST_CASE("the MIME type comes from the first bytes and the file position returns to the start") {
    CHECK(MimeOf(INVALID_HANDLE_VALUE) == "application/octet-stream");

    struct Row {
        const char* name;
        std::string content;
        const char* type;
    };
    const Row rows[] = {
        {"tarvo-mime.html", "<html><body>page</body></html>", "text/html"},
        {"tarvo-mime.long", "<html>" + std::string(5000, 'x'), "text/html"},  // more than is read
        {"tarvo-mime.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "image/x-png"},
        {"tarvo-mime.gif", "GIF89a\x01\x00\x01\x00", "image/gif"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        const ScratchFile file(row.name, row.content);
        HANDLE h = CHttpToolA::OpenFile(file.path());
        REQUIRE(h != INVALID_HANDLE_VALUE);
        ::SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        CHECK(MimeOf(h) == row.type);
        CHECK(::SetFilePointer(h, 0, nullptr, FILE_CURRENT) == 0u);
        ::CloseHandle(h);
    }
    // Nothing to read: the detection fails, and the answer is the default type.
    const ScratchFile empty("tarvo-mime.none", "");
    HANDLE h = CHttpToolA::OpenFile(empty.path());
    CHECK(MimeOf(h) == "application/octet-stream");
    CHECK(::SetFilePointer(h, 0, nullptr, FILE_CURRENT) == 0u);
    ::CloseHandle(h);

    // A handle that cannot be read: 602 with the Windows error, narrowed for the narrow tool.
    const ScratchFile file("tarvo-mime.wo", "x");
    h = ::CreateFileA(file.path(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const auto e = ExpectA([&] { CHttpToolA::GetMimeType(h, CP_ACP); });
    CHECK(e.GetErrorCode() == 602);
    CHECK(e.GetLastWin32Error() == ERROR_ACCESS_DENIED);
    CHECK(std::string(e.GetErrorMessage()) == "::ReadFile failed.");
    ::CloseHandle(h);
}

TEST_CASE("the upload boundary is 43 characters of a fresh GUID in lower-case hexadecimal") {
    char* first = CHttpToolA::CreateUploadBoundary();
    char* second = CHttpToolA::CreateUploadBoundary();
    REQUIRE(first);
    REQUIRE(second);
    const std::string a = first, b = second;
    std::free(first);
    std::free(second);
    CHECK(a.size() == 43u);
    CHECK(a.substr(0, 10) == "----KEMPA-");
    CHECK(a.back() == '-');
    for (char c : a.substr(10, 32)) {
        CAPTURE(c);
        CHECK((std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f')));
    }
    CHECK(a != b);

    wchar_t* wide = CHttpToolW::CreateUploadBoundary();
    REQUIRE(wide);
    const std::string w = Utf8(wide);
    std::free(wide);
    CHECK(w.size() == 43u);
    CHECK(w.substr(0, 10) == "----KEMPA-");
    CHECK(w.back() == '-');
}

TEST_CASE("the name order is case-insensitive and puts null first") {
    struct Row {
        const char* a;
        const char* b;
        bool less;
    };
    const Row rows[] = {
        {nullptr, "a", true}, {"a", nullptr, false}, {nullptr, nullptr, false}, {nullptr, "", true},
        {"abc", "ABD", true}, {"ABC", "abc", false}, {"abc", "ABC", false},     {"Accept", "accept-x", true},
        {"b", "A", false},    {"", "a", true},       {"[", "a", true},          // '[' sorts before letters when folded to lower case
    };
    for (const Row& row : rows) {
        CAPTURE(row.a ? row.a : "(null)");
        CAPTURE(row.b ? row.b : "(null)");
        CHECK(CHttpToolA::IsNameLess(row.a, row.b) == row.less);
        const std::wstring wa = row.a ? std::wstring(row.a, row.a + strlen(row.a)) : L"";
        const std::wstring wb = row.b ? std::wstring(row.b, row.b + strlen(row.b)) : L"";
        CHECK(CHttpToolW::IsNameLess(row.a ? wa.c_str() : nullptr, row.b ? wb.c_str() : nullptr) == row.less);
    }
}

namespace {

// A scripted InternetWriteFile: each call takes the next planned result.
struct PlannedWrite {
    BOOL ok;
    DWORD written;  // bytes reported; ~0u: all that was asked
    DWORD error;
};
std::vector<PlannedWrite> g_plan;
size_t g_next = 0;
std::vector<std::pair<size_t, DWORD>> g_seen;  // (offset into g_data, bytes asked)
const BYTE g_data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

BOOL WINAPI ScriptedWrite(HINTERNET, LPCVOID buffer, DWORD count, LPDWORD written) {
    g_seen.emplace_back(static_cast<const BYTE*>(buffer) - g_data, count);
    const PlannedWrite step = g_next < g_plan.size() ? g_plan[g_next++] : PlannedWrite{TRUE, ~0u, 0};
    *written = step.written == ~0u ? count : step.written;
    if (!step.ok) ::SetLastError(step.error);
    return step.ok;
}

void Plan(std::vector<PlannedWrite> plan) {
    g_plan = std::move(plan);
    g_next = 0;
    g_seen.clear();
}

}  // namespace

TEST_CASE("the write loop writes every byte, fails with 408, and gives up on writes of nothing") {
    // Partial writes continue where the last one ended.
    Plan({{TRUE, 3, 0}, {TRUE, 4, 0}, {TRUE, ~0u, 0}});
    CHECK(detail::WriteWhole<CHttpToolA>(kSomeHandle, g_data, 10, ScriptedWrite) == 10u);
    CHECK(g_seen == std::vector<std::pair<size_t, DWORD>>{{0, 10}, {3, 7}, {7, 3}});

    // A few writes of nothing in a row are retried.
    Plan({{TRUE, 0, 0}, {TRUE, 0, 0}, {TRUE, 0, 0}, {TRUE, ~0u, 0}});
    CHECK(detail::WriteWhole<CHttpToolW>(kSomeHandle, g_data, 10, ScriptedWrite) == 10u);
    CHECK(g_seen.size() == 4u);

    // Nothing written, again and again: 408 after the bounded retries, with no Windows error.
    Plan(std::vector<PlannedWrite>(100, {TRUE, 0, 0}));
    auto e = ExpectA([] { detail::WriteWhole<CHttpToolA>(kSomeHandle, g_data, 10, ScriptedWrite); });
    CHECK(e.GetErrorCode() == 408);
    CHECK(e.GetLastWin32Error() == 0u);
    CHECK(std::string(e.GetErrorMessage()) == "::InternetWriteFile failed.");
    CHECK(g_seen.size() == static_cast<size_t>(detail::kMaxEmptyWrites + 1));

    // A failing write raises 408 with its Windows error.
    Plan({{TRUE, 5, 0}, {FALSE, 0, 12030}});
    e = ExpectA([] { detail::WriteWhole<CHttpToolA>(kSomeHandle, g_data, 10, ScriptedWrite); });
    CHECK(e.GetErrorCode() == 408);
    CHECK(e.GetLastWin32Error() == 12030u);
    Plan({{FALSE, 0, 12031}});
    const auto w = ExpectW([] { detail::WriteWhole<CHttpToolW>(kSomeHandle, g_data, 10, ScriptedWrite); });
    CHECK(w.GetErrorCode() == 408);
    CHECK(w.GetLastWin32Error() == 12031u);

    // A report of more bytes than asked never moves past the end of the buffer.
    Plan({{TRUE, 50, 0}});
    CHECK(detail::WriteWhole<CHttpToolA>(kSomeHandle, g_data, 10, ScriptedWrite) == 10u);
    CHECK(g_seen.size() == 1u);
}
