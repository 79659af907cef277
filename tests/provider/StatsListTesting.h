// Helpers for the provider's list tests, for the Windows build under Wine and the native build
// alike: a session with its own list, the list as readable text, and the answer fixtures (cp1251
// files generated into the build tree).
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "provider/StatsSession.h"
#ifdef _WIN32
#include "tests/support/TestPaths.h"
#endif

namespace flattentest {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// A session whose list exists without the Windows-only set-up.
struct ListSession : CStatsSession {
    ListSession() { ResetValueList(); }

    Pairs List() const {
        Pairs pairs;
        const host::StatsValueList& list = *ValueList();
        REQUIRE(list.keys.GetSize() == list.values.GetSize());
        for (int i = 0; i < list.keys.GetSize(); ++i) pairs.emplace_back(list.keys[i].str(), list.values[i].str());
        return pairs;
    }
};

// One pair a line, bytes outside printable ASCII as \xNN, so a failing check shows the bytes.
inline std::string Printable(const Pairs& pairs) {
    std::string out;
    char cell[8];
    for (const auto& [key, value] : pairs) {
        for (const std::string* part : {&key, &value}) {
            for (unsigned char c : *part) {
                if (c >= 0x20 && c < 0x7F) {
                    out += static_cast<char>(c);
                } else {
                    std::snprintf(cell, sizeof cell, "\\x%02X", c);
                    out += cell;
                }
            }
            out += part == &key ? "=" : "\n";
        }
    }
    return out;
}

inline Pairs Parse(const std::string& body) {
    ListSession session;
    CHECK(session.ParseStats(kit::String(std::string_view(body))) == 14);
    return session.List();
}

inline std::string Fixture(const std::string& name) {
    const std::string relative = "tests/provider/fixtures/" + name;
#ifdef _WIN32
    return testsupport::ReadFile(testsupport::BuildFile(relative));
#else
    const char* root = std::getenv("TEST_BINARY_DIR");
    if (!root) throw std::runtime_error("TEST_BINARY_DIR is not set (run through ctest)");
    std::ifstream file(std::string(root) + "/" + relative, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + relative);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
#endif
}

}  // namespace flattentest
