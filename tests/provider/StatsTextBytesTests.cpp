// The provider's own Cyrillic texts as the host receives them in the Windows build: cp1251 bytes,
// the numero sign as 0xB9, and the minimum-length rule counted in cp1251 characters.
#include <doctest/doctest.h>

#include <windows.h>

#include "provider/OutputKeys.h"
#include "tests/provider/StatsListTesting.h"
#include "tests/support/TestPaths.h"

using flattentest::ListSession;
using testsupport::HexBytes;

namespace {

std::string ValueOf(const ListSession& session, const char* key) {
    for (const auto& [k, v] : session.List())
        if (k == key) return v;
    FAIL("no key " << key);
    return {};
}

}  // namespace

TEST_CASE("the default, the captions and the debug texts are cp1251 bytes") {
    CHECK(HexBytes(provider::kNoValue) == HexBytes("\xED\xE5\xF2"));

    ListSession parsed;
    parsed.ParseStats("{}");
    CHECK(HexBytes(ValueOf(parsed, "saldotitle")) ==
          HexBytes("\xD1\xE0\xEB\xFC\xE4\xEE (\xEE\xF1\xF2\xE0\xF2\xEE\xEA \xE4\xE5\xED\xE5\xE3 \xED\xE0 \xF1\xF7\xE5\xF2\xE5)"));
    CHECK(HexBytes(ValueOf(parsed, "saldoonlinetitle")) == HexBytes("\xD1\xE0\xEB\xFC\xE4\xEE-online"));
    CHECK(HexBytes(ValueOf(parsed, "ukrtitle")) ==
          HexBytes("\xC2\xED\xF3\xF2\xF0\xE5\xED\xED\xE8\xE9 (\xD3\xEA\xF0\xE0\xE8\xED\xF1\xEA\xE8\xE9) (UkrEx)"));
    CHECK(HexBytes(ValueOf(parsed, "pagetitle_day")) ==
          HexBytes("\xE8\xF2\xEE\xE3\xE8 \xE7\xE0 \xF2\xE5\xEA\xF3\xF9\xE8\xE9 \xE4\xE5\xED\xFC"));

    ListSession debug;
    debug.AddDebugAccountData();
    CHECK(HexBytes(ValueOf(debug, "agreement")) == HexBytes("\xC4\xEE\xE3\xEE\xE2\xEE\xF0 \xB9"));
    CHECK(HexBytes(ValueOf(debug, "tarifftraficout")) ==
          HexBytes("\xC8\xF1\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xED\xED\xEE \xF2\xF0\xE0\xF4\xE8\xEA\xE0"));
    CHECK(HexBytes(ValueOf(debug, "tariffplanname")) == HexBytes("\xD2\xE5\xF1\xF2"));
    CHECK(HexBytes(ValueOf(debug, "saldo")) == HexBytes("\xED\xE5\xF2"));
}

TEST_CASE("the minimum length counts cp1251 characters") {
    ListSession session;
    session.AddPair("three", "\xF2\xF0\xE8", 3, provider::kNoValue);
    session.AddPair("four", "\xF7\xE5\xF2\xFB", 3, provider::kNoValue);
    const auto list = session.List();
    CHECK(HexBytes(list[0].second) == HexBytes("\xED\xE5\xF2"));
    CHECK(HexBytes(list[1].second) == HexBytes("\xF7\xE5\xF2\xFB"));
}

TEST_CASE("the escape table agrees with the system's code page 1251") {
    REQUIRE(GetACP() == 1251);
    for (int byte = 0x80; byte < 0x100; ++byte) {
        CAPTURE(byte);
        const char narrow = static_cast<char>(byte);
        wchar_t wide = 0;
        REQUIRE(MultiByteToWideChar(1251, 0, &narrow, 1, &wide, 1) == 1);
        if (byte == 0x98) {
            CHECK(provider::kCp1251Upper[byte - 0x80] == 0);  // unused in cp1251
            continue;
        }
        CHECK(provider::kCp1251Upper[byte - 0x80] == wide);
        CHECK(static_cast<unsigned char>(provider::Cp1251FromCodePoint(wide)) == byte);
    }
}

TEST_CASE("reals print with two decimals and a point whatever the C runtime's locale") {
    ListSession session;
    session.ParseStats(R"({"a":12.5,"b":-0.004,"c":1234567.125,"d":5000000000000000000})");
    const auto list = session.List();
    REQUIRE(list.size() > 4);
    CHECK(list[0].second == "12.50");
    CHECK(list[1].second == "-0.00");
    CHECK(list[2].second == "1234567.12");
    CHECK(list[3].second == "5000000000000");
}
