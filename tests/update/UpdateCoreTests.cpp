// The update plug-in's portable core, as tables: version comparison and texts, the first line of
// the list, size texts, colours, which list paths may become local files, how a file section
// becomes an entry, the sums over the list, the updater's command line and how a cut download is
// resumed. Built natively under
// the sanitizers and for Windows.
#include <doctest/doctest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "update/portable/FormatText.h"
#include "update/portable/ResumeRules.h"
#include "update/portable/SizeText.h"
#include "update/portable/UpdateListRules.h"
#include "update/portable/VersionText.h"

TEST_CASE("CompareVersions: 1, -1, 0 and the invalid texts") {
    struct Case {
        const char* first;
        const char* second;
        int expected;
    };
    const Case cases[] = {
        {"1.0.0.3", "1.0.0.2", 1},
        {"1.0.0.3", "1.0.0.3", 0},
        {"1.0.0.2", "1.0.0.3", -1},
        {"1.2", "1.2.0.0", 0},           // missing parts are 0
        {"1.10", "1.9", 1},              // numbers, not texts
        {"2", "1.99.99.99", 1},
        {"..3", "3", 0},                 // empty tokens are skipped
        {"1..2.", "1.2", 0},
        {"0", "0.0.0.0", 0},
        {"007.1", "7.1", 0},
        {"", "1", kFirstVersionInvalid},
        {".", "1", kFirstVersionInvalid},  // no token at all
        {"1.2.3.4.5", "1", kFirstVersionInvalid},
        {"1.2.3.4.", "1.2.3.4", 0},
        {"x", "y", kFirstVersionInvalid},  // the second is not looked at
        {"1", "x", kSecondVersionInvalid},
        {"1", "", kSecondVersionInvalid},
        {"1", "1.2.3.4.5", kSecondVersionInvalid},
        {"1.0.2\r\n", "1.0.0.1", kFirstVersionInvalid},  // control characters are not digits
        {"1.0.0.12", "1.0.0.2", 1},
        {"-1", "1", kFirstVersionInvalid},
        {"+1", "1", kFirstVersionInvalid},
        {" 1", "1", kFirstVersionInvalid},
        {"1.a", "1", kFirstVersionInvalid},
        // Beyond the int range a part saturates, as the C runtime's atoi does, without overflow.
        {"99999999999999999999", "2147483647", 0},
        {"99999999999999999999", "2147483646", 1},
    };
    for (const Case& c : cases) {
        CAPTURE(c.first);
        CAPTURE(c.second);
        CHECK(CompareVersions(c.first, c.second) == c.expected);
    }
}

TEST_CASE("IsAllDigits: only ASCII digits; the empty text counts") {
    CHECK(IsAllDigits(""));
    CHECK(IsAllDigits("0123456789"));
    CHECK_FALSE(IsAllDigits("12a"));
    CHECK_FALSE(IsAllDigits("1.2"));
    CHECK_FALSE(IsAllDigits(" 1"));
    CHECK_FALSE(IsAllDigits("\xB9"));  // a cp1251 sign outside ASCII
}

TEST_CASE("FileVersionText: four parts, two parts, or empty") {
    struct Case {
        std::uint32_t ms, ls;
        const char* expected;
    };
    const Case cases[] = {
        {0x00020005, 0, "2.5"},
        {0, 0, ""},
        {0x00010000, 0x00000003, "1.0.0.3"},
        {0, 0x00000005, "0.0.0.5"},
        {0x9C400002, 0xFFFF0007, "40000.2.65535.7"},  // halves are unsigned 16-bit numbers
        {0xFFFFFFFF, 0, "65535.65535"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.expected);
        CHECK(FileVersionText(c.ms, c.ls) == c.expected);
    }
}

TEST_CASE("FirstLineVersion: the first line, whatever its length up to the bound") {
    struct Case {
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"1.0.0.12\r\n[general]", "1.0.0.12"},  // more than seven bytes
        {"1.0.2\r\n[general]", "1.0.2"},        // CR LF after a short version
        {"1.0.0.3\n[general]", "1.0.0.3"},
        {"1.0.0.3", "1.0.0.3"},                 // the whole list is the version
        {"1.0.0.3\r", "1.0.0.3"},
        {std::string("1.0\0junk", 8), "1.0"},
        {"", ""},
        {"\r\n1.0", ""},
        {std::string(100, '1'), std::string(kVersionLineLimit, '1')},
    };
    for (const Case& c : cases) {
        CAPTURE(c.bytes);
        CHECK(FirstLineVersion(c.bytes.data(), c.bytes.size()).str() == c.expected);
    }
}

TEST_CASE("FormatSize and ScaleSize: units up to GB") {
    struct Case {
        double bytes;
        const char* text;
        int unit;
    };
    const double KB = 1024.0;
    const Case cases[] = {
        {0, "0 B", 0},
        {1023, "1023 B", 0},
        {1024, "1 KB", 1},
        {1536, "2 KB", 1},
        {KB * KB, "1 MB", 2},
        {5 * KB * KB * KB, "5 GB", 3},
        {KB * KB * KB * KB, "1024 GB", 3},  // no unit beyond GB
        {14040, "14 KB", 1},
        {1e300, nullptr, 3},  // a huge count still fits the text
    };
    for (const Case& c : cases) {
        CAPTURE(c.bytes);
        int unit = -1;
        ScaleSize(c.bytes, 1024, &unit);
        CHECK(unit == c.unit);
        kit::String text = FormatSize(c.bytes);
        if (c.text) {
            CHECK(text == c.text);
        } else {
            CHECK(text.GetLength() == 294);  // 291 digits and " GB"
        }
    }
    int unit = -1;
    CHECK(ScaleSize(3000, 1000, &unit) == doctest::Approx(3.0));
    CHECK(unit == 1);
}

TEST_CASE("ParseColorText: #RRGGBB into a COLORREF, short and unreadable pieces") {
    struct Case {
        const char* text;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"#FF8000", 0x000080FF},  // red 255, green 128, blue 0
        {"#FFF", 0x00000FFF},     // pieces "FF", "F", "": red 255, green 15, blue 0
        {"#0000FF", 0x00FF0000},
        {"#102030", 0x00302010},
        {"#ZZ1234", 0x00341200},  // what cannot be read is 0
        {"FF8000", 0x000000F8},   // the first character is never looked at
        {"#FF8000FF", 0x000080FF},
        {"", 0},
        {"#", 0},
        {"#-1-1-1", 0x00FFFFFF},  // strtol reads a sign; the low 8 bits are kept
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CHECK(ParseColorText(c.text) == c.expected);
    }
}

TEST_CASE("IsSafeListPath: relative paths below the folders only") {
    struct Case {
        const char* localpath;
        const char* name;
        bool safe;
    };
    const Case cases[] = {
        {"", "app.exe", true},
        {"sub/", "tool.dll", true},
        {"sub\\deep\\", "x.txt", true},
        {"./", "x.txt", true},
        {"", ".hidden", true},
        {"", "a..b", true},
        {"sub.", "x", true},
        {"", "../evil.txt", false},
        {"../", "evil.txt", false},
        {"sub/../../", "evil.txt", false},
        {"sub/..", "/evil.txt", false},
        {"sub/.", "./x", false},  // joined: "sub/../x"
        {"/tmp/", "evil.txt", false},
        {"\\", "evil.txt", false},
        {"", "/etc/evil", false},
        {"", "\\evil", false},
        {"\\\\127.0.0.1\\share\\", "evil.txt", false},
        {"C:\\", "evil.txt", false},
        {"", "C:evil.txt", false},
        {"", "evil.txt:stream", false},
        {"", "..", false},
        {"sub/", "..", false},
        {"..\\", "x", false},
        {"...\\", "x", false},
        {". ./", "x", false},
        {".. /", "x", false},
        {"", "..\\..\\evil.txt", false},
        // Device names, in the name or in any component of localpath, in any case, with an
        // extension, trailing dots or blanks; also when only the joint makes one.
        {"", "CON", false},
        {"", "prn", false},
        {"", "Aux", false},
        {"", "nul.txt", false},
        {"", "com1.dll", false},
        {"", "COM9", false},
        {"", "lpt1", false},
        {"", "LpT9.tar.gz", false},
        {"", "nul.", false},
        {"", "con. .", false},
        {"", "aux  ", false},
        {"", "nul .txt", false},
        {"con/", "x.txt", false},
        {"sub\\NUL\\deep\\", "x.txt", false},
        {"sub/lpt3.log/", "x.txt", false},
        {"sub/", "prn.", false},
        {"sub/co", "m2.dll", false},
        // Names that merely begin with those letters are files.
        {"", "console.txt", true},
        {"", "com10.dll", true},
        {"", "com0.dll", true},
        {"", "lpt.txt", true},
        {"", "auxiliary", true},
        {"", "nullify.exe", true},
        {"", "connect", true},
        {"", "comx", true},
        {"", " nul", true},
        {"", "my.nul", true},
        {"console/", "com10.dll", true},
        {"lpt/", "prn1.txt", true},
        // Control characters (bytes below 0x20) in the name or in localpath; cp1251 letters are bytes
        // above 0x7F and stay.
        {"", "evil\r\n.txt", false},
        {"", "tab\tname.dll", false},
        {"", "\x01", false},
        {"", "x\x1f", false},
        {"sub\n/", "x.txt", false},
        {"a/\x07" "b/", "x.txt", false},
        {"", "\xF4\xE0\xE9\xEB.txt", true},
        {"\xEF\xE0\xEF\xEA\xE0/", "x .txt", true},
    };
    for (const Case& c : cases) {
        CAPTURE(c.localpath);
        CAPTURE(c.name);
        CHECK(IsSafeListPath(c.localpath, c.name) == c.safe);
    }
}

namespace {

// A list file as a table of sections; records each key as it is read.
class TableReader final : public IUpdateListReader {
public:
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::vector<std::string> reads;

    kit::String ReadText(const char* section, const char* key) override {
        reads.push_back(std::string(section) + "." + key);
        auto s = sections.find(section);
        if (s == sections.end()) return kit::String();
        auto k = s->second.find(key);
        return k == s->second.end() ? kit::String() : kit::String(k->second.c_str());
    }
    int ReadNumber(const char* section, const char* key, int defaultValue) override {
        kit::String text = ReadText(section, key);
        return text.IsEmpty() ? defaultValue : std::atoi(text);
    }
};

struct Installed {
    std::map<std::string, std::string> versions;  // localpath + name -> version text
    std::vector<std::string> asked;
    InstalledVersionFn Fn() {
        return [this](const kit::String& localpath, const kit::String& name) {
            std::string path = localpath.str() + name.str();
            asked.push_back(path);
            auto found = versions.find(path);
            return found == versions.end() ? kit::String() : kit::String(found->second.c_str());
        };
    }
};

}  // namespace

TEST_CASE("ReadFileSection: kept, skipped and dropped sections, with the keys in the list's order") {
    TableReader reader;
    reader.sections["file1"] = {{"name", "app.exe"}, {"localpath", ""}, {"version", "1.0.0.3"}, {"filesize", "14040"},
                                {"link", "files/"}, {"info", "main"}, {"restart", "1"}, {"runexe", "5"}, {"terminate", "0"}};
    reader.sections["file2"] = {{"name", "tool.dll"}, {"localpath", "sub/"}, {"version", "1.2"}};
    reader.sections["file3"] = {{"name", "tool.dll"}, {"localpath", "sub/"}, {"version", "1.2.0.1"}};
    reader.sections["file4"] = {{"name", "readme.txt"}, {"version", "x"}, {"action", "1"}};
    reader.sections["file5"] = {{"name", "new.dll"}, {"version", "x"}};
    reader.sections["file6"] = {{"name", "app.exe"}, {"version", "x"}};
    reader.sections["file7"] = {{"localpath", "sub/"}, {"version", "9"}};
    reader.sections["file8"] = {{"name", "../evil.txt"}, {"version", "9"}};
    Installed installed;
    installed.versions = {{"app.exe", "1.0.0.2"}, {"sub/tool.dll", "1.2"}};

    UpdateFileEntry entry;
    SUBCASE("a newer file: every field, flags as 0 or 1, keys read in order") {
        REQUIRE(ReadFileSection(reader, 1, installed.Fn(), entry) == FileSectionVerdict::Kept);
        CHECK(entry.name == "app.exe");
        CHECK(entry.localpath == "");
        CHECK(entry.url == "files/app.exe");
        CHECK(entry.version == "1.0.0.3");
        CHECK(entry.info == "main");
        CHECK(entry.filesize == 14040);
        CHECK(entry.action == 0);
        CHECK(entry.restart == 1);
        CHECK(entry.runexe == 1);  // 5 is kept as the flag 1
        CHECK(entry.terminate == 0);
        CHECK(entry.selected == 1);
        CHECK(reader.reads == std::vector<std::string>{"file1.name", "file1.localpath", "file1.version", "file1.action",
                                                       "file1.link", "file1.info", "file1.filesize", "file1.restart",
                                                       "file1.runexe", "file1.terminate"});
        CHECK(installed.asked == std::vector<std::string>{"app.exe"});
    }
    SUBCASE("1.2 against an installed 1.2.0.0 is dropped, 1.2.0.1 is kept") {
        CHECK(ReadFileSection(reader, 2, installed.Fn(), entry) == FileSectionVerdict::NotNewer);
        CHECK(ReadFileSection(reader, 3, installed.Fn(), entry) == FileSectionVerdict::Kept);
    }
    SUBCASE("another action: kept without a version test") {
        CHECK(ReadFileSection(reader, 4, installed.Fn(), entry) == FileSectionVerdict::Kept);
        CHECK(entry.action == 1);
        CHECK(installed.asked.empty());
    }
    SUBCASE("no installed file: kept whatever the version; an installed one drops an invalid version") {
        CHECK(ReadFileSection(reader, 5, installed.Fn(), entry) == FileSectionVerdict::Kept);
        CHECK(ReadFileSection(reader, 6, installed.Fn(), entry) == FileSectionVerdict::NotNewer);
    }
    SUBCASE("no name, or a missing section: skipped after reading the name only") {
        CHECK(ReadFileSection(reader, 7, installed.Fn(), entry) == FileSectionVerdict::NoName);
        CHECK(ReadFileSection(reader, 9, installed.Fn(), entry) == FileSectionVerdict::NoName);
        CHECK(reader.reads == std::vector<std::string>{"file7.name", "file9.name"});
    }
    SUBCASE("a path out of the folders: refused before any file is looked at") {
        CHECK(ReadFileSection(reader, 8, installed.Fn(), entry) == FileSectionVerdict::Unsafe);
        CHECK(entry.name == "../evil.txt");
        CHECK(installed.asked.empty());
    }
}

TEST_CASE("FileSectionIndices: the present sections from 1 to countfiles, in order") {
    const std::vector<std::string> names = {"general", "file3", "FILE1", "file2", "file02", "file", "file1x",
                                            "file4", "file1", "xfile5", "file0", "file99999999999"};
    CHECK(FileSectionIndices(names, 3) == std::vector<int>{1, 2, 3});
    CHECK(FileSectionIndices(names, 2) == std::vector<int>{1, 2});  // file3 is never read
    CHECK(FileSectionIndices(names, 0).empty());
    CHECK(FileSectionIndices({"file1"}, INT_MAX) == std::vector<int>{1});
}

TEST_CASE("ChunkReadsAsNotFound: the text before the first zero byte, never beyond the count") {
    struct Case {
        std::string bytes;
        std::size_t count;
        bool expected;
    };
    const Case cases[] = {
        {"HTTP 404 Not Found", 18, true},
        {"filesize=14040", 14, true},
        {std::string("\0" "404", 4), 4, false},          // a chunk that begins with a zero byte
        {std::string("ab\0 404", 7), 7, false},         // tested only before the zero byte
        {std::string("40404\0", 6), 6, true},
        {"404", 2, false},                              // only the bytes read count
        {std::string(4093, 'a') + "404", 4096, true},  // a full chunk without any zero byte
    };
    for (const Case& c : cases) {
        CAPTURE(c.count);
        CHECK(ChunkReadsAsNotFound(c.bytes.data(), c.count) == c.expected);
    }
}

namespace {

UpdateFileEntry Entry(const char* name, const char* localpath, int action, int filesize, bool runexe) {
    UpdateFileEntry entry;
    entry.name = name;
    entry.localpath = localpath;
    entry.action = action;
    entry.filesize = filesize;
    entry.runexe = runexe;
    entry.selected = 1;
    return entry;
}

}  // namespace

TEST_CASE("counts, sizes and the program that the updater runs") {
    const kit::String temp("C:\\Temp\\");
    CHECK(CountNewFiles({}) == 0);
    CHECK(GetNewFilesSize({}) == 0.0);
    CHECK(GetExecPath({}, temp) == "");

    const UpdateFileList files = {Entry("readme.txt", "", 1, 100, true), Entry("app.exe", "", 0, 14040, false),
                                  Entry("setup.exe", "bin/", 0, 3000, true), Entry("second.exe", "", 0, 10, true)};
    CHECK(CountNewFiles(files) == 3);
    CHECK(GetNewFilesSize(files) == 17050.0);
    // The first action-0 entry with runexe wins; an action-1 entry is never chosen.
    CHECK(GetExecPath(files, temp) == "C:\\Temp\\_update/_files/bin/setup.exe");
    CHECK(GetExecPath({Entry("app.exe", "", 0, 1, false)}, temp) == "");
}

TEST_CASE("the updater's argument: the list path between the markers, quoted whole") {
    struct Case {
        const char* temp;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Temp\\", "\"<file>C:\\Temp\\_update/_updlist.ini</file>\""},
        {"C:\\Documents and Settings\\user\\Local Settings\\Temp\\",
         "\"<file>C:\\Documents and Settings\\user\\Local Settings\\Temp\\_update/_updlist.ini</file>\""},
    };
    for (const Case& c : cases) {
        CHECK(UpdaterArgument(c.temp) == c.expected);
    }
    CHECK(UpdateListFile("C:\\Temp\\") == "C:\\Temp\\/_update/_updlist.ini");
}

TEST_CASE("FormatText: short and long results") {
    CHECK(FormatText("file%i", 12) == "file12");
    std::string longText(1000, 'x');
    CHECK(FormatText("<%s>", longText.c_str()).str() == "<" + longText + ">");
}

TEST_CASE("resuming a cut body: the validator that goes with the range, and which answers are its rest") {
    const BodyIdentity tagged{20000, "\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
    const BodyIdentity dated{20000, "", "Tue, 01 Dec 2026 10:00:00 GMT"};
    const BodyIdentity weak{20000, "W/\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"};
    CHECK(IfRangeValidator(tagged) == "\"v1\"");
    CHECK(IfRangeValidator(dated) == "Tue, 01 Dec 2026 10:00:00 GMT");
    CHECK(IfRangeValidator(weak) == "Tue, 01 Dec 2026 10:00:00 GMT");  // If-Range takes strong tags only
    CHECK(IfRangeValidator(BodyIdentity{20000, "W/\"v1\"", ""}).empty());
    CHECK(IfRangeValidator(BodyIdentity{20000, "", ""}).empty());        // nothing vouches for the rest
    CHECK(IfRangeValidator(BodyIdentity{-1, "\"v1\"", ""}).empty());   // no length: the total cannot be checked

    struct Case {
        const char* name;
        unsigned status;
        const char* contentRange;
        BodyIdentity answer;
        ResumeAnswer expected;
    };
    const BodyIdentity none{-1, "", ""};
    const Case cases[] = {
        {"the rest of the same body", 206, "bytes 8192-19999/20000", {11808, "\"v1\"", ""}, ResumeAnswer::Rest},
        {"the rest, no validators named", 206, "bytes 8192-19999/20000", none, ResumeAnswer::Rest},
        {"a part of the rest", 206, "bytes 8192-9999/20000", none, ResumeAnswer::Rest},
        {"the unit in capitals, blanks", 206, "  BYTES  8192-19999/20000 ", none, ResumeAnswer::Rest},
        {"the whole file (a stale validator, or no ranges)", 200, nullptr, {30000, "\"v2\"", ""}, ResumeAnswer::Whole},
        {"another start", 206, "bytes 0-19999/20000", none, ResumeAnswer::Again},
        {"a later start", 206, "bytes 8193-19999/20000", none, ResumeAnswer::Again},
        {"another total: another file", 206, "bytes 8192-29999/30000", none, ResumeAnswer::Again},
        {"a shorter total", 206, "bytes 8192-9999/10000", none, ResumeAnswer::Again},
        {"an unknown total", 206, "bytes 8192-19999/*", none, ResumeAnswer::Again},
        {"no Content-Range", 206, nullptr, none, ResumeAnswer::Again},
        {"a range past its total", 206, "bytes 8192-20000/20000", none, ResumeAnswer::Again},
        {"a range that ends before it starts", 206, "bytes 8192-8191/20000", none, ResumeAnswer::Again},
        {"another unit", 206, "items 8192-19999/20000", none, ResumeAnswer::Again},
        {"trailing text", 206, "bytes 8192-19999/20000x", none, ResumeAnswer::Again},
        {"a number too long", 206, "bytes 8192-19999/1000000000000000000000", none, ResumeAnswer::Again},
        {"another ETag: the server ignored If-Range", 206, "bytes 8192-19999/20000", {11808, "\"v2\"", ""},
         ResumeAnswer::Again},
        {"another Last-Modified", 206, "bytes 8192-19999/20000", {11808, "", "Wed, 02 Dec 2026 10:00:00 GMT"},
         ResumeAnswer::Again},
        {"range not satisfiable (the file got shorter)", 416, "bytes */5000", none, ResumeAnswer::Again},
        {"precondition failed", 412, nullptr, none, ResumeAnswer::Again},
        {"a server error", 503, nullptr, none, ResumeAnswer::Again},
        {"not found any more", 404, nullptr, none, ResumeAnswer::Again},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        CHECK(JudgeResumeAnswer(tagged, 8192, c.status, c.contentRange, c.answer) == c.expected);
    }
    // A body that announced no length has no total to match.
    CHECK(JudgeResumeAnswer(BodyIdentity{-1, "\"v1\"", ""}, 8192, 206, "bytes 8192-19999/20000", none) ==
          ResumeAnswer::Again);

    long long first = -1, last = -1, total = -1;
    REQUIRE(ParseContentRange("bytes 0-0/1", &first, &last, &total));
    CHECK(first == 0);
    CHECK(last == 0);
    CHECK(total == 1);
    REQUIRE(ParseContentRange("bytes 4294967296-4294967299/4294967300", &first, &last, &total));
    CHECK(first == 4294967296LL);
    CHECK_FALSE(ParseContentRange("", &first, &last, &total));
    CHECK_FALSE(ParseContentRange("bytes -5/20", &first, &last, &total));
    CHECK_FALSE(ParseContentRange("bytes=0-5/20", &first, &last, &total));
    CHECK_FALSE(ParseContentRange(nullptr, &first, &last, &total));
}
