// Where the tests find the build's outputs and fixtures from inside Wine.
#pragma once
#include <string>

namespace testsupport {

// A file below the build tree or the source tree (relative paths with '/').
std::string BuildFile(const std::string& relative);
std::string SourceFile(const std::string& relative);
// Reads a whole file in binary.
std::string ReadFile(const std::string& path);
// Bytes as "\xNN" text, for messages that must show cp1251 bytes.
std::string HexBytes(const std::string& bytes);

}  // namespace testsupport
