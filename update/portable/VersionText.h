// Dotted version texts of the update plug-in, without Win32: the digit test, the comparison of
// two versions, the text of a file's fixed version numbers and the server's version as the first
// line of the update list.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/String.h"

// Every character is an ASCII digit 0 to 9 (an empty text counts as true).
bool IsAllDigits(const char* text);

// Results of CompareVersions besides 1, 0 and -1.
constexpr int kFirstVersionInvalid = -21;
constexpr int kSecondVersionInvalid = -22;

// Compares two dotted versions of up to four numeric parts (missing parts are 0; empty tokens
// between dots are skipped): 1 when the first is newer, -1 when older, 0 when equal; -21 when the
// first text is not a version (the second is then not looked at), -22 when the second is not.
// A part beyond the int range counts as the largest int.
int CompareVersions(const char* first, const char* second);

// The text of a fixed file version: "%d.%d.%d.%d" of the four 16-bit halves when the low 32 bits
// are not 0, "%d.%d" of the high halves when only they are set, else empty.
kit::String FileVersionText(std::uint32_t mostSignificant, std::uint32_t leastSignificant);

// How many bytes of the update list the quick check reads for its first line.
constexpr std::size_t kVersionLineLimit = 64;

// The server's version: the first line of the bytes read, ended by a CR, an LF, a zero byte or the
// end (at most kVersionLineLimit bytes are looked at).
kit::String FirstLineVersion(const char* bytes, std::size_t count);
