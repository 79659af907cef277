// Dotted version texts (see VersionText.h).
#include "update/portable/VersionText.h"

#include <climits>
#include <cstdio>
#include <string_view>

bool IsAllDigits(const char* text) {
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

namespace {

// The decimal value of an all-digit token, saturated at INT_MAX as the C runtime's atoi does.
int TokenValue(std::string_view token) {
    long long value = 0;
    for (char c : token) {
        value = value * 10 + (c - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

// Splits `text` at dots into at most four parts; false when it is not a version.
bool ReadVersion(const char* text, int (&parts)[4]) {
    std::string_view rest(text);
    int count = 0;
    while (!rest.empty()) {
        std::size_t dot = rest.find('.');
        std::string_view token = rest.substr(0, dot);
        rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
        if (token.empty()) continue;
        if (count == 4) return false;
        for (char c : token) {
            if (c < '0' || c > '9') return false;
        }
        parts[count++] = TokenValue(token);
    }
    return count > 0;
}

}  // namespace

int CompareVersions(const char* first, const char* second) {
    int a[4] = {0, 0, 0, 0};
    int b[4] = {0, 0, 0, 0};
    if (!ReadVersion(first, a)) return kFirstVersionInvalid;
    if (!ReadVersion(second, b)) return kSecondVersionInvalid;
    for (int i = 0; i < 4; ++i) {
        if (a[i] > b[i]) return 1;
        if (a[i] < b[i]) return -1;
    }
    return 0;
}

kit::String FileVersionText(std::uint32_t ms, std::uint32_t ls) {
    char text[64];
    if (ls != 0) {
        std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                      static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
    } else if (ms != 0) {
        std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF));
    } else {
        text[0] = '\0';
    }
    return kit::String(text);
}

kit::String FirstLineVersion(const char* bytes, std::size_t count) {
    if (count > kVersionLineLimit) count = kVersionLineLimit;
    std::size_t end = 0;
    while (end < count && bytes[end] != '\r' && bytes[end] != '\n' && bytes[end] != '\0') ++end;
    return kit::String(bytes, static_cast<int>(end));
}
