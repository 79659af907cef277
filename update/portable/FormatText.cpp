// printf-style formatting into a new text (see FormatText.h).
#include "update/portable/FormatText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

kit::String FormatText(const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) return kit::String();
    if (static_cast<unsigned>(length) < sizeof small) return kit::String(small, length);
    std::vector<char> big(static_cast<std::size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    return kit::String(big.data(), length);
}
