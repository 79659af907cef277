// The updater's command line and name rules, without a window.
#include <doctest/doctest.h>

#include <vector>

#include "updater/UpdaterText.h"

using updater::CutAtMarker;
using updater::IniPathFromArguments;
using updater::Keep;

namespace {

std::string PathFrom(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "updater.exe");
    return IniPathFromArguments(static_cast<int>(arguments.size()), arguments.data());
}

}  // namespace

TEST_CASE("the list path is the text between <file> and </file> of the last argument that holds more than 5") {
    struct Row {
        std::vector<const char*> arguments;
        const char* path;
    };
    const Row rows[] = {
        // The update plug-in's argument, quotes already removed by the runtime.
        {{"<file>C:\\Temp\\_update/_updlist.ini</file>"}, "C:\\Temp\\_update/_updlist.ini"},
        {{"<file>abc</file>"}, ""},          // 3 characters: ignored
        {{"<file>abcde</file>"}, ""},        // 5: still too short
        {{"<file>abcdef</file>"}, "abcdef"}, // 6: taken
        {{"<file>C:\\list.ini"}, ""},        // no end marker
        {{"C:\\list.ini</file>"}, ""},       // no start marker
        {{"before<file>C:\\a\\list.ini</file>after"}, "C:\\a\\list.ini"},
        {{"<file>C:\\first.ini</file>", "<file>C:\\second.ini</file>"}, "C:\\second.ini"},
        {{"<file>C:\\first.ini</file>", "<file>abc</file>"}, "C:\\first.ini"},  // a short one replaces nothing
        {{"<FILE>C:\\upper.ini</FILE>"}, ""},                                   // markers are case-sensitive
        {{"<file><file>C:\\x.ini</file></file>"}, "<file>C:\\x.ini"},           // the first of each marker
        {{}, ""},
    };
    for (const Row& row : rows) {
        CAPTURE(row.path);
        CHECK(PathFrom(row.arguments) == row.path);
    }
    CHECK(CutAtMarker("a<file>b", "<file>", Keep::Before) == "a");
    CHECK(CutAtMarker("a<file>b", "<file>", Keep::After) == "b");
    CHECK(CutAtMarker("ab", "<file>", Keep::Before).empty());
}

TEST_CASE("the tree copy joins only plain names below the program folder") {
    const std::pair<const char*, bool> rows[] = {
        {"pendrake.dll", true}, {"readme", true}, {".hidden", true}, {"a..b", true},
        {"\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0.exe", true},  // cp1251 letters
        {"", false}, {".", false}, {"..", false}, {"...", false},
        {"..\\up.dll", false}, {"../up.dll", false}, {"sub\\x.dll", false}, {"C:x.dll", false},
        {"C:", false}, {"file.txt:stream", false},
        // Devices, as the update list refuses them: any case, with an extension, trailing blanks.
        {"con", false}, {"NUL.txt", false}, {"com1.tar.gz", false}, {"Lpt9", false}, {"aux .txt", false},
        {"prn  ", false}, {"console.txt", true}, {"com10", true}, {"lpt0.log", true}, {"nul_file", true},
        // Control characters anywhere; a blank is a plain character.
        {"a\tb.txt", false}, {"name\x1F", false}, {"\x01", false}, {"\r\n", false}, {"a b.txt", true},
    };
    for (const auto& row : rows) {
        CAPTURE(row.first);
        CHECK(updater::IsSafeEntryName(row.first) == row.second);
    }
}

TEST_CASE("the folder above a path is cut at its last backslash or slash") {
    CHECK(updater::ParentFolder("C:\\Temp\\_update\\updater.exe") == "C:\\Temp\\_update");
    CHECK(updater::ParentFolder(updater::ParentFolder("C:\\Temp\\_update/updater.exe")) == "C:\\Temp");
    CHECK(updater::ParentFolder("updater.exe").empty());
}
