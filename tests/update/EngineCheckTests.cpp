// The engine's full check against the local update service, as the update window runs it: the
// messages it sends (recorded as rows by the window stand-in), the saved list, the parsed entries,
// the downloads judged by their HTTP status, and hostile lists that must leave no file outside the
// download folder.
#include <doctest/doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"
#include "tests/update/UpdateTestRig.h"
#include "update/UpdateEngine.h"

using namespace updatetest;

namespace {

bool g_connected = true;
BOOL WINAPI ConnectedState(LPDWORD flags, DWORD) {
    *flags = g_connected ? INTERNET_CONNECTION_LAN : 0;
    return g_connected ? TRUE : FALSE;
}

BOOL WINAPI NoStart(SHELLEXECUTEINFOA*) { return FALSE; }

UpdateSystemCalls TestCalls() {
    UpdateSystemCalls calls;
    calls.internetGetConnectedState = ConnectedState;
    calls.shellExecuteEx = NoStart;
    return calls;
}

// An engine with its window stand-in over a fresh tree whose program folder holds app.exe
// (1.0.0.2) and sub\tool.dll (1.2.0.0).
struct Rig {
    Rig(const std::string& name, const std::string& baseUrl) : tree(name), engine(nullptr, TestCalls()) {
        CopyInto(FixtureDll("ver_1_0_0_2"), tree.program + "app.exe");
        CopyInto(FixtureDll("ver_1_2_0_0"), tree.program + "sub\\tool.dll");
        window.params = {{"URL", baseUrl}, {"PATH", tree.program}, {"TEMPPATH", tree.temp}};
        engine.SetTargetWindow(window.handle());
    }
    std::string ListFile() const { return tree.temp + "_update\\_updlist.ini"; }

    TestTree tree;
    RecordingWindow window;
    CUpdateEngine engine;
};

std::string ServedList(const std::string& variant) {
    return testsupport::ReadFile(testsupport::SourceFile("testing/services/fixtures/update/" + variant + "/updlist.txt"));
}

const std::vector<std::string> kBanner = {
    "LOG  ", "LOG ******************************", "LOG       Pendrake 1.0.0.2", "LOG ******************************"};

std::vector<std::string> Names(const UpdateFileList& files) {
    std::vector<std::string> names;
    for (const UpdateFileEntry& entry : files) names.push_back(entry.localpath.str() + entry.name.str());
    return names;
}

}  // namespace

TEST_CASE("RunUpdateCheck on a newer list: every message in order, the list saved unchanged, the entries") {
    Rig rig("check-newer", UpdateUrl("newer"));
    REQUIRE(rig.engine.RunUpdateCheck() == UpdateDone);

    const std::string served = ServedList("newer");
    std::vector<std::string> expected = {"GET_PARAM URL", "GET_PARAM PATH", "GET_PARAM TEMPPATH"};
    expected.insert(expected.end(), kBanner.begin(), kBanner.end());
    const std::vector<std::string> rest = {
        "LOG проверка обновления",
        "FILE_RANGE 0 0",
        "FILE_POS 0 0",
        "STATUS загрузка ",
        std::string("FILE_POS ").append(std::to_string(served.size())).append(" 0"),
        "STATUS обработка данных обновления",
        "SET_PARAM BGCOLOR number2=0x000080FF",
        "SET_PARAM SUBCOLOR number2=0x00302010",
        "SET_PARAM SUBCOLOR2 number2=0x00000FFF",
        "SET_PARAM TEXTCOLOR number2=0x00000000",
        "SET_PARAM TITLE text=Tarna",
        "SET_PARAM WEBTEXT text=news.html",
        "LOG обработка данных обновления",
        "STATUS ",
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    CHECK(Joined(rig.window.rows) == Joined(expected));
    CHECK(testsupport::ReadFile(rig.ListFile()) == served);
    CHECK(rig.engine.GetProgramFolder() == rig.tree.program.c_str());
    CHECK(rig.engine.GetTempFolder() == rig.tree.temp.c_str());

    // tool.dll 1.2 is not newer than the installed 1.2.0.0; new.dll and notes.txt are not installed.
    const UpdateFileList& files = rig.engine.GetFileList();
    CHECK(Names(files) == std::vector<std::string>{"app.exe", "readme.txt", "sub/new.dll", "notes.txt"});
    REQUIRE(files.size() == 4);
    CHECK(files[0].url == "files/app.exe");
    CHECK(files[0].info == "main program");
    CHECK(files[0].runexe == 1);
    CHECK(files[0].restart == 1);
    CHECK(files[1].action == 1);
    CHECK(files[2].terminate == 1);
    CHECK(rig.engine.CountNewFiles() == 3);
    CHECK(rig.engine.GetNewFilesSize() == 14040.0 + 10000.0 + 37.0);
    for (const UpdateParam& param : rig.window.setParams) {
        CHECK(param.number == 0);
        CHECK(param.real == 0.0);
    }

    // The hand-over names the first action-0 entry with runexe as the program to run.
    CHECK(rig.engine.GetExecPath(rig.tree.temp.c_str()) == (rig.tree.temp + "_update/_files/app.exe").c_str());
    CHECK(rig.engine.StartUpdater() == UpdaterNotStarted);  // the seam refuses the start
    const std::string list = rig.tree.temp + "/_update/_updlist.ini";
    CHECK(ReadIniString(list.c_str(), "general", "exec", "").str() == rig.tree.temp + "_update/_files/app.exe");
    CHECK(ReadIniString(list.c_str(), "general", "path", "").str() == rig.tree.program);
}

TEST_CASE("RunUpdateCheck outcomes by list variant, connection and reachability") {
    struct Case {
        const char* name;
        std::string url;
        bool connected;
        UpdateResult result;
        const char* lastLog;
        bool listSaved;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"no countfiles", UpdateUrl("nocount"), true, UpdateNotRequired, "Update not required", true, {}},
        {"equal", UpdateUrl("equal"), true, UpdateNotRequired, "Update not required", true, {}},
        // The list is missing: an error page with status 404, and one without "404" in its text.
        {"status 404 page", UpdateUrl("notfound"), true, UpdateNotDownloaded, "ERROR Updatelist not found", false, {}},
        {"missing variant", UpdateUrl("no-such-variant"), true, UpdateNotDownloaded, "ERROR Updatelist not found", false, {}},
        // A list whose bytes contain "404" is a list.
        {"404 in a 200 list", UpdateUrl("page404text"), true, UpdateDone, "обработка данных обновления", true, {"big.dat"}},
        // countfiles=2 with sections file1 and file3: file2 is missing, file3 is never read.
        {"missing sections", UpdateUrl("gaps"), true, UpdateDone, "обработка данных обновления", true, {"one.txt"}},
        {"over HTTPS", UpdateHttpsUrl("newer"), true, UpdateDone, "обработка данных обновления", true,
         {"app.exe", "readme.txt", "sub/new.dll", "notes.txt"}},
        {"refused port", testsupport::Services::Get().RefusedUrl("/update/newer/"), true, UpdateUrlNotOpened,
         "ERROR NoConnect", false, {}},
        {"no connection", UpdateUrl("newer"), false, UpdateNoConnection, "ERROR InternetConnectFailure", false, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        CAPTURE(c.name);
        g_connected = c.connected;
        Rig rig(std::string("check-case-").append(std::to_string(++n)), c.url);
        CHECK(rig.engine.RunUpdateCheck() == c.result);
        g_connected = true;
        std::vector<std::string> logs = rig.window.Logs();
        REQUIRE(!logs.empty());
        CHECK(Show(logs.back()) == Show(c.lastLog));
        CHECK(Exists(rig.ListFile()) == c.listSaved);
        CHECK(Names(rig.engine.GetFileList()) == c.entries);
        if (c.result == UpdateNotRequired) CHECK(rig.window.Rows("STATUS ").size() == 1);  // only "загрузка "
    }
}

TEST_CASE("FetchUpdateList: an unreachable list changes nothing on disk; a failed one deletes the old list") {
    Rig rig("fetch", UpdateUrl("newer"));
    REQUIRE(rig.engine.RunUpdateCheck() == UpdateDone);
    const std::string old = testsupport::ReadFile(rig.ListFile());

    CHECK(rig.engine.FetchUpdateList(testsupport::Services::Get().RefusedUrl("/update/newer/").c_str()) ==
          UpdateUrlNotOpened);
    CHECK(testsupport::ReadFile(rig.ListFile()) == old);

    CHECK(rig.engine.FetchUpdateList(UpdateUrl("notfound").c_str()) == UpdateNotDownloaded);
    CHECK_FALSE(Exists(rig.ListFile()));
}

TEST_CASE("ParseUpdateList on a saved list: thresholds of colours and title, countfiles edge values") {
    struct Case {
        const char* name;
        std::string list;
        UpdateResult result;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"countfiles 0 sends nothing", "1.0\r\n[general]\r\ncountfiles=0\r\nbgcolor=#FF8000\r\n", UpdateNotRequired,
         {"LOG Update not required"}},
        {"negative countfiles", "[general]\r\ncountfiles=-5\r\n", UpdateNotRequired, {"LOG Update not required"}},
        {"short colours and a one-character title are ignored; #FFF is used",
         "[general]\r\ncountfiles=1\r\nbgcolor=#FF\r\ntextcolor=#FFF\r\ntitle=T\r\nwebtext=ab\r\n", UpdateNotRequired,
         {"STATUS обработка данных обновления", "SET_PARAM TEXTCOLOR number2=0x00000FFF", "SET_PARAM WEBTEXT text=ab",
          "LOG обработка данных обновления", "STATUS "}},
        {"a list that claims two billion files is read in a moment",
         "[general]\r\ncountfiles=2147483647\r\n[file7]\r\nname=seven.txt\r\n", UpdateDone,
         {"STATUS обработка данных обновления", "LOG обработка данных обновления", "STATUS "}},
    };
    int n = 0;
    for (const Case& c : cases) {
        CAPTURE(c.name);
        Rig rig(std::string("parse-case-").append(std::to_string(++n)), UpdateUrl("nocount"));
        REQUIRE(rig.engine.RunUpdateCheck() == UpdateNotRequired);  // takes the folders
        rig.window.rows.clear();
        WriteBytes(rig.ListFile(), c.list);
        CHECK(rig.engine.ParseUpdateList() == c.result);
        CHECK(Joined(rig.window.rows) == Joined(c.rows));
    }
}

namespace {

// What the download worker does with each entry, with the engine's own download: the file goes to
// folder + localpath + name.
void DownloadEveryEntry(Rig& rig, const std::string& baseUrl) {
    const std::string folder = rig.tree.temp + "_update/_files/";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const UpdateFileEntry& entry : rig.engine.GetFileList()) {
        kit::String url = (baseUrl + entry.url.str()).c_str();
        OpenedUrl source = rig.engine.OpenUrl(url);
        if (!source) continue;
        ::CreateDirectoryA((folder + entry.localpath.str()).c_str(), nullptr);
        int size = entry.filesize;
        rig.engine.DownloadToFile(source.get(), (folder + entry.localpath.str() + entry.name.str()).c_str(), &size,
                                  entry.name);
    }
}

// Every file and folder below `folder` (or only in it) whose name holds "evil".
void FindEvil(const std::string& folder, std::vector<std::string>& found, bool deep = true) {
    WIN32_FIND_DATAA entry;
    kit::UniqueFind listing(::FindFirstFileA((folder + "*").c_str(), &entry));
    if (!listing) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (name.find("evil") != std::string::npos) found.push_back(folder + name);
        if (deep && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) FindEvil(folder + name + "\\", found);
    } while (::FindNextFileA(listing.get(), &entry));
}

}  // namespace

TEST_CASE("a hostile list: each unsafe section refused with a log line, no file outside the download folder") {
    // Sections 11 to 16 name devices (the server has bytes for them); section 17 only looks like
    // one and is an ordinary file.
    const std::string base = UpdateUrl("hostile");
    Rig rig("hostile", base);
    REQUIRE(rig.engine.RunUpdateCheck() == UpdateDone);
    CHECK(Names(rig.engine.GetFileList()) == std::vector<std::string>{"good.txt", "com10/console.txt"});

    std::vector<std::string> refused;
    for (const std::string& line : rig.window.Logs()) {
        if (line.rfind("ERROR Unsafe path", 0) == 0) refused.push_back(line);
    }
    CHECK(Joined(refused) == Joined({
                                 "ERROR Unsafe path in section file1: ../evil1.txt",
                                 "ERROR Unsafe path in section file2: ../evil2.txt",
                                 "ERROR Unsafe path in section file3: C:\\evil3.txt",
                                 "ERROR Unsafe path in section file4: /tmp/evil4.txt",
                                 "ERROR Unsafe path in section file5: sub/../../evil5.txt",
                                 "ERROR Unsafe path in section file7: \\\\127.0.0.1\\share\\evil7.txt",
                                 "ERROR Unsafe path in section file8: evil8.txt:stream",
                                 "ERROR Unsafe path in section file9: . ./evil9.txt",
                                 "ERROR Unsafe path in section file10: ..\\..\\evil10.txt",
                                 "ERROR Unsafe path in section file11: nul.txt",
                                 "ERROR Unsafe path in section file12: COM1.dll",
                                 "ERROR Unsafe path in section file13: Con",
                                 "ERROR Unsafe path in section file14: sub/aux/evil14.txt",
                                 "ERROR Unsafe path in section file15: LPT9. /evil15.txt",
                                 "ERROR Unsafe path in section file16: prn  ",
                             }));

    DownloadEveryEntry(rig, base);
    CHECK(rig.tree.List() == std::vector<std::string>{"program/", "program/app.exe", "program/sub/",
                                                      "program/sub/tool.dll", "temp/", "temp/_update/",
                                                      "temp/_update/_files/", "temp/_update/_files/com10/",
                                                      "temp/_update/_files/com10/console.txt",
                                                      "temp/_update/_files/good.txt",
                                                      "temp/_update/_updlist.ini"});
    CHECK(testsupport::ReadFile(rig.tree.temp + "_update\\_files\\good.txt") == "good file");
    CHECK(testsupport::ReadFile(rig.tree.temp + "_update\\_files\\com10\\console.txt") == "console file");
    std::vector<std::string> evil;
    FindEvil(testsupport::BuildFile("tests/update/work") + "\\", evil);
    FindEvil("C:\\", evil, false);
    CHECK(evil.empty());
}

namespace {

struct Download {
    bool ok = false;
    int size = 0;
    bool exists = false;
    std::string bytes;
};

Download Fetch(Rig& rig, const std::string& url, int expected, const std::string& target) {
    kit::String canonical = url.c_str();
    OpenedUrl source = rig.engine.OpenUrl(canonical);
    REQUIRE(source);
    Download d;
    d.size = expected;
    d.ok = rig.engine.DownloadToFile(source.get(), target.c_str(), &d.size, "x.bin");
    d.exists = Exists(target);
    if (d.exists) d.bytes = testsupport::ReadFile(target);
    return d;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 256);
    return bytes;
}

}  // namespace

TEST_CASE("DownloadToFile judges an HTTP answer by its status, not by the bytes it carries") {
    Rig rig("download", UpdateUrl("newer"));
    const std::string target = rig.tree.temp + "x.bin";

    SUBCASE("known bytes in several chunks, with the position after each") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/app.exe", 14040, target);
        CHECK(d.ok);
        CHECK(d.size == 14040);
        CHECK(d.bytes == Pattern(14040));
        std::vector<std::string> pos = rig.window.Rows("FILE_POS ");
        REQUIRE(pos.size() >= 3);
        CHECK(pos.front() == "FILE_POS 0 0");
        CHECK(pos.back() == "FILE_POS 14040 0");
        CHECK(rig.window.rows.front() == "FILE_RANGE 0 14040");
    }
    SUBCASE("a text with 404 in it is a file") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/notes.txt", 37, target);
        CHECK(d.ok);
        CHECK(d.bytes == "release notes: build 14040, code 404\r\n");
    }
    SUBCASE("an error page fails as a 404 chunk would: the file is deleted") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/missing.bin", 5, target);
        CHECK_FALSE(d.ok);
        CHECK_FALSE(d.exists);
        CHECK(d.size == 5);
        CHECK(Joined(rig.window.rows) == Joined({"FILE_RANGE 0 5", "FILE_POS 0 0", "STATUS загрузка x.bin"}));
    }
    SUBCASE("a body cut off before its announced length fails and is deleted") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/cut.bin", 20000, target);
        CHECK_FALSE(d.ok);
        CHECK_FALSE(d.exists);
    }
    SUBCASE("a slow body arrives whole") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/slow.bin", 0, target);
        CHECK(d.ok);
        CHECK(d.bytes == Pattern(40960));
    }
    SUBCASE("an empty file is a file") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/empty.txt", 9, target);
        CHECK(d.ok);
        CHECK(d.size == 0);
        CHECK(d.exists);
        CHECK(d.bytes.empty());
    }
    SUBCASE("a target that cannot be created: false after the range message only") {
        Download d = Fetch(rig, UpdateUrl("newer") + "files/app.exe", 14040, rig.tree.temp + "no\\such\\x.bin");
        CHECK_FALSE(d.ok);
        CHECK(Joined(rig.window.rows) == Joined({"FILE_RANGE 0 14040"}));
    }
}

namespace {

BOOL WINAPI NoHttpStatus(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD) {
    ::SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return FALSE;
}

}  // namespace

TEST_CASE("DownloadToFile without an HTTP status keeps the 404 test per chunk") {
    // An answer whose status cannot be read (as for another protocol): the chunk test judges alone.
    UpdateSystemCalls calls = TestCalls();
    calls.httpQueryInfo = NoHttpStatus;
    TestTree tree("download-chunk");
    RecordingWindow window;
    CUpdateEngine engine(nullptr, calls);
    engine.SetTargetWindow(window.handle());
    const std::string target = tree.temp + "x.bin";
    struct Case {
        const char* path;
        bool ok;
    };
    const Case cases[] = {
        {"files/notes.txt", false},    // "404" in the first chunk's text
        {"files/app.exe", true},       // the pattern begins with a zero byte
        {"files/missing.bin", true},   // the error page "no such path" holds no "404"
        {"files/cut.bin", true},       // no length to compare with
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        kit::String url = (UpdateUrl("newer") + c.path).c_str();
        OpenedUrl source = engine.OpenUrl(url);
        REQUIRE(source);
        int size = 0;
        CHECK(engine.DownloadToFile(source.get(), target.c_str(), &size, "x") == c.ok);
        CHECK(Exists(target) == c.ok);
    }
}
