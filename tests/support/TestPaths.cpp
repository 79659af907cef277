#include "tests/support/TestPaths.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "testing/host/PluginModule.h"

namespace testsupport {

static std::string Below(const char* variable, const std::string& relative) {
    const char* root = std::getenv(variable);
    if (!root) throw std::runtime_error(std::string(variable) + " is not set (run through ctest)");
    return hoststub::WindowsPath(std::string(root) + "/" + relative);
}

std::string BuildFile(const std::string& relative) { return Below("TEST_BINARY_DIR", relative); }
std::string SourceFile(const std::string& relative) { return Below("TEST_SOURCE_DIR", relative); }

std::string ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + path);
    std::string data;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
    std::fclose(file);
    return data;
}

std::string HexBytes(const std::string& bytes) {
    std::string out;
    char cell[8];
    for (unsigned char c : bytes) {
        std::snprintf(cell, sizeof cell, "\\x%02X", c);
        out += cell;
    }
    return out;
}

}  // namespace testsupport
