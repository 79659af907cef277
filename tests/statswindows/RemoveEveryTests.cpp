// The removal behind the balance labels, on its own: every occurrence goes, the bytes around it
// stay, and in a double-byte code page a match never starts on a trail byte nor reads past a
// lead byte at the end. DropCurrency is the same removal of "грн." in the process's code page.
// Portable but for DropCurrency: the native build runs it under the sanitizers too.
#include <doctest/doctest.h>

#include <string>

#include "statswindows/common/RemoveEvery.h"
#include "statswindows/common/StatsWindow.h"

namespace {

const std::string kUnit = "\xE3\xF0\xED.";

// Lead bytes as in the Japanese code page, where 0xE3 and 0xF0 start double-byte characters.
bool ShiftJisLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string Removed(const std::string& text, const std::string& what, stats::LeadByteTest lead) {
    const kit::String result = stats::RemoveEvery(kit::String(text.c_str(), static_cast<int>(text.size())), what, lead);
    return std::string(result.c_str(), static_cast<std::size_t>(result.GetLength()));
}

}  // namespace

TEST_CASE("every occurrence is removed and the blanks around it stay, in a single-byte code page") {
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"125.40 " + kUnit, "125.40 "},
        {"1 " + kUnit + " 2 " + kUnit, "1  2 "},
        {kUnit, ""},
        {kUnit + kUnit + kUnit, ""},
        {"\xE3" + kUnit + ".", "\xE3."},  // the search goes on after a match, not into it
        {"\xE3\xF0\xED", "\xE3\xF0\xED"},
        {"", ""},
        {std::string("a\0b ", 4) + kUnit, std::string("a\0b ", 4)},  // counted, not NUL-terminated
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CHECK(Removed(c.text, kUnit, nullptr) == c.expected);
        CHECK(Removed(c.text, kUnit, [](unsigned char) { return false; }) == c.expected);
    }
    CHECK(Removed("abc", "", nullptr) == "abc");
}

TEST_CASE("in a double-byte code page a match starts only where a character starts") {
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {kUnit, ""},                      // at the start of the text a character starts
        {"5 " + kUnit, "5 "},
        {"\x82" + kUnit, "\x82" + kUnit},  // 0xE3 is the trail byte of the character 0x82 0xE3
        {"\x82\x40" + kUnit, "\x82\x40"},  // after a whole double-byte character it matches again
        {"5\x82", "5\x82"},                // a lead byte at the very end stands alone
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CHECK(Removed(c.text, kUnit, ShiftJisLead) == c.expected);
    }
}

#ifdef _WIN32
TEST_CASE("DropCurrency removes \"грн.\" as the host's code page writes it") {
    CHECK(std::string(stats::DropCurrency(kit::String("125.40 грн.")).c_str()) == "125.40 ");
    CHECK(std::string(stats::DropCurrency(kit::String("грн. грн.")).c_str()) == " ");
}
#endif
