// The client's name-value map (order, ownership, failure rules) and the URL analyzer (offsets of
// the twelve parts, DBCS-aware scanning, refused code pages).
#include <doctest/doctest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "httpclient/HttpClientMap.h"
#include "httpclient/HttpTool.h"
#include "httpclient/HttpUrlAnalyzer.h"
#include "tests/httpclient/RaisedClientError.h"

using Map = Tarvo::CHttpClientMapT<Tarvo::CHttpToolA>;
using Analyzer = Tarvo::CHttpUrlAnalyzerT<Tarvo::CHttpToolA>;
using httptest::Catch;
using httptest::Raised;

namespace {

char* HeapCopy(const char* text) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

std::string Entries(const Map& map) {
    std::string out;
    for (const auto& entry : map) {
        out += entry.first;
        out += "=";
        out += entry.second.szValue ? entry.second.szValue : "(null)";
        out += '/';
        out += std::to_string(entry.second.dwFlags);
        out += ' ';
    }
    return out;
}

}  // namespace

TEST_CASE("names that differ only in letter case share one entry list, in insertion order") {
    Map map;
    map.Add("Accept", "A");
    map.Add("ACCEPT", "B");
    CHECK(map.Count("accept") == 2);
    CHECK(map.Count("Accept") == 2);
    CHECK(std::string(map.Get("aCCept", 0).szValue) == "A");
    CHECK(std::string(map.Get("aCCept", 1).szValue) == "B");
    Map::MapValue past = map.Get("accept", 2);
    CHECK(past.szValue == nullptr);
    CHECK(past.dwFlags == 0);
    CHECK(map.GetValue("missing") == nullptr);
}

TEST_CASE("iteration visits names case-insensitively ordered, equal names as added, with their flags") {
    Map map;
    map.Add("b", "1", 0);
    map.Add("X-Name", "2", Tarvo::HTTPCLIENT_PARAM_ENCODED_NAME);
    map.Add("a", nullptr, Tarvo::HTTPCLIENT_PARAM_FILE);
    map.Add("x-name", "3", Tarvo::HTTPCLIENT_PARAM_ENCODED_VALUE);
    map.Add("B", "4", 0);
    CHECK(Entries(map) == "a=(null)/1 b=1/0 B=4/0 X-Name=2/2 x-name=3/4 ");
    CHECK(map.Count() == 5);
    CHECK(map.Count(nullptr) == 5);
    CHECK_FALSE(map.Empty());
}

TEST_CASE("a null value is stored as null and read back as an empty text with its flags") {
    Map map;
    map.Add("name", nullptr, 4);
    Map::MapValue v = map.Get("name", 0);
    REQUIRE(v.szValue != nullptr);
    CHECK(std::string(v.szValue) == "");
    CHECK(v.dwFlags == 4);
    CHECK(map.begin()->second.szValue == nullptr);
}

TEST_CASE("Add copies both texts: the caller's buffers may change afterwards") {
    Map map;
    char name[] = "Name";
    char value[] = "value";
    map.Add(name, value);
    name[0] = 'X';
    value[0] = 'X';
    CHECK(std::string(map.GetValue("name")) == "value");
}

TEST_CASE("RemoveAll and clearing report whether anything was there") {
    Map map;
    CHECK(map.Clear() == FALSE);
    CHECK(map.RemoveAll("none") == FALSE);
    map.Add("keep", "1");
    map.Add("drop", "2");
    map.Add("DROP", "3");
    CHECK(map.RemoveAll("none") == FALSE);
    CHECK(Entries(map) == "drop=2/0 DROP=3/0 keep=1/0 ");
    CHECK(map.RemoveAll("Drop") == TRUE);
    CHECK(Entries(map) == "keep=1/0 ");
    CHECK(map.Clear() == TRUE);
    CHECK(map.Empty());
    CHECK(map.Count() == 0);
}

TEST_CASE("AddPointerDirectly takes the given blocks themselves") {
    Map map;
    char* name = HeapCopy("Own");
    char* value = HeapCopy("block");
    map.AddPointerDirectly(name, value, 0);
    CHECK(map.begin()->first == name);
    CHECK(map.GetValue("own") == value);
}

TEST_CASE("a null name is refused by every operation with its own message, and the map is unchanged") {
    Map map;
    map.Add("kept", "1");
    char* value = HeapCopy("stays the caller's");
    httptest::CheckRefusals({
        {"CHttpClientMapT::Add: szName can not be NULL.", [&] { map.Add(nullptr, "v"); }},
        {"CHttpClientMapT::AddPointerDirectly: szName can not be NULL.",
         [&] { map.AddPointerDirectly(nullptr, value, 0); }},
        {"CHttpClientMapT::Get: szName can not be NULL.", [&] { map.Get(nullptr, 0); }},
        {"CHttpClientMapT::RemoveAll: szName can not be NULL.", [&] { map.RemoveAll(nullptr); }},
    });
    CHECK(Entries(map) == "kept=1/0 ");
    std::free(value);
}

namespace {

struct UrlParts {
    DWORD v[12];
};

UrlParts PartsOf(const Analyzer& a) {
    return UrlParts{{a.GetSchemeStart(), a.GetSchemeLength(), a.GetHostStart(), a.GetHostLength(), a.GetPortStart(),
                     a.GetPortLength(), a.GetPathStart(), a.GetPathLength(), a.GetQueryStart(), a.GetQueryLength(),
                     a.GetFragmentStart(), a.GetFragmentLength()}};
}

std::string Show(const UrlParts& p) {
    std::string out;
    for (int i = 0; i < 12; i += 2) out += std::to_string(p.v[i]) + "/" + std::to_string(p.v[i + 1]) + " ";
    return out;
}

}  // namespace

TEST_CASE("the analyzer gives start/length of scheme, host, port, path, query and fragment") {
    struct Case {
        const char* url;
        UINT codePage;
        const char* expected;  // scheme host port path query fragment, each start/length
    };
    const Case cases[] = {
        // The three examples: everything; scheme and host only; host and path without a scheme.
        {"http://host:8080/a?b#c", CP_ACP, "0/4 7/4 12/4 16/2 18/2 20/2 "},
        {"https://host", CP_ACP, "0/5 8/4 12/0 12/0 12/0 12/0 "},
        {"host/a", CP_ACP, "0/0 0/4 4/0 4/2 6/0 6/0 "},
        // Without "://" everything up to '/', '?' or '#' is host (with its port).
        {"example.net:81?x", CP_ACP, "0/0 0/11 12/2 14/0 14/2 16/0 "},
        // ':' directly before '/': a port start, but no port.
        {"http://h:/p", CP_ACP, "0/4 7/1 9/0 9/2 11/0 11/0 "},
        // '?' directly after the host: no path, the query from the '?'.
        {"http://h?q", CP_ACP, "0/4 7/1 8/0 8/0 8/2 10/0 "},
        // Later ':' belong to the port, later '?' to the query, the fragment keeps its '#'.
        {"a://h:1:2/p?x?y#f?#", CP_ACP, "0/1 4/1 6/3 9/2 11/4 15/4 "},
        {"#only", CP_ACP, "0/0 0/0 0/0 0/0 0/0 0/5 "},
        // Shift-JIS: a lead byte takes the next byte along, so ':' after it ends neither the
        // scheme nor the host; in cp1251 the same bytes are plain characters.
        {"x\x81://h/", 932, "0/0 0/3 3/0 3/4 7/0 7/0 "},
        {"x\x81://h/", 1251, "0/2 5/1 6/0 6/1 7/0 7/0 "},
        {"h\x81?/p", 932, "0/0 0/3 3/0 3/2 5/0 5/0 "},
        {"h/p\x81#", 932, "0/0 0/1 1/0 1/4 5/0 5/0 "},
        // A lead byte as the last byte counts once.
        {"h/p\x81", 932, "0/0 0/1 1/0 1/3 4/0 4/0 "},
        {"h\x81", 932, "0/0 0/2 2/0 2/0 2/0 2/0 "},
    };
    for (const Case& c : cases) {
        CAPTURE(c.url);
        CAPTURE(c.codePage);
        CHECK(Show(PartsOf(Analyzer(c.url, c.codePage))) == c.expected);
    }
}

TEST_CASE("a fresh analyzer, a null URL and an empty URL hold twelve zeros; Analyze starts again") {
    const char* zeros = "0/0 0/0 0/0 0/0 0/0 0/0 ";
    CHECK(Show(PartsOf(Analyzer())) == zeros);
    CHECK(Show(PartsOf(Analyzer(nullptr, CP_ACP))) == zeros);
    CHECK(Show(PartsOf(Analyzer("", CP_ACP))) == zeros);
    Analyzer a("http://host:8080/a?b#c", CP_ACP);
    a.Analyze("h", CP_ACP);
    CHECK(Show(PartsOf(a)) == "0/0 0/1 1/0 1/0 1/0 1/0 ");
    a.Analyze(nullptr, CP_ACP);
    CHECK(Show(PartsOf(a)) == zeros);
}

TEST_CASE("UTF-8 and UTF-7 code pages are refused, even for a null URL, and change nothing") {
    for (UINT codePage : {UINT(CP_UTF8), UINT(CP_UTF7)}) {
        for (const char* url : {static_cast<const char*>(nullptr), "http://h/"}) {
            CAPTURE(codePage);
            Analyzer a("http://host:8080/a?b#c", CP_ACP);
            Raised r = Catch([&] { a.Analyze(url, codePage); });
            CHECK(r.thrown);
            CHECK(r.code == 0);
            CHECK(r.message ==
                  "CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
            CHECK(Show(PartsOf(a)) == "0/4 7/4 12/4 16/2 18/2 20/2 ");
            CHECK(Catch([&] { Analyzer constructed(url, codePage); }).thrown);
        }
    }
}
