// The quick check of the run procedures against the local update service: the first line of each
// list variant against the installed version of a fixture DLL, and every failure as "no update".
#include <doctest/doctest.h>

#include <string>

#include "tests/support/Services.h"
#include "tests/update/UpdateTestRig.h"
#include "update/UpdateEngine.h"

using namespace updatetest;

TEST_CASE("QuickUpdateCheck: the server's first line against the installed version") {
    struct Case {
        const char* name;
        std::string baseUrl;
        std::string versionFile;
        bool newer;
    };
    const std::string v1002 = FixtureDll("ver_1_0_0_2");
    const std::string v1003 = FixtureDll("ver_1_0_0_3");
    const Case cases[] = {
        {"1.0.0.3 against 1.0.0.2", UpdateUrl("newer"), v1002, true},
        {"1.0.0.3 against 1.0.0.3", UpdateUrl("newer"), v1003, false},
        {"equal", UpdateUrl("equal"), v1002, false},
        {"older", UpdateUrl("older"), v1002, false},
        {"a line longer than seven bytes: 1.0.0.12", UpdateUrl("longline"), v1002, true},
        {"a short version before CR LF: 1.0.2", UpdateUrl("crlf"), v1002, true},
        {"LF only", UpdateUrl("lfonly"), v1002, true},
        {"over HTTPS", UpdateHttpsUrl("newer"), v1002, true},
        {"an error page with status 404", UpdateUrl("notfound"), v1002, false},
        {"no list at all", UpdateUrl("no-such-variant"), v1002, false},
        {"a refused port", testsupport::Services::Get().RefusedUrl("/update/newer/"), v1002, false},
        {"no version resource", UpdateUrl("newer"), FixtureDll("noversion"), false},
        {"version 0.0.0.0", UpdateUrl("newer"), FixtureDll("ver_0_0_0_0"), false},
        {"no version file", UpdateUrl("newer"), v1002 + ".missing", false},
        {"a version of two parts, 2.5", UpdateUrl("newer"), FixtureDll("ver_2_5_0_0"), false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        const UpdateStartInfo info = {c.baseUrl.c_str(), "C:\\program\\", "C:\\temp\\", c.versionFile.c_str()};
        CHECK(QuickUpdateCheck(&info) == c.newer);
    }
}

TEST_CASE("QuickUpdateCheck without a record or its texts finds nothing") {
    CHECK_FALSE(QuickUpdateCheck(nullptr));
    const UpdateStartInfo noUrl = {nullptr, "", "", "x"};
    CHECK_FALSE(QuickUpdateCheck(&noUrl));
    const std::string url = UpdateUrl("newer");
    const UpdateStartInfo noFile = {url.c_str(), "", "", nullptr};
    CHECK_FALSE(QuickUpdateCheck(&noFile));
}
