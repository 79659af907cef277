// Byte counts as texts (see SizeText.h).
#include "update/portable/SizeText.h"

#include <cstdio>

double ScaleSize(double value, double base, int* unit) {
    int index = 0;
    while (value >= base && index < 3) {
        value /= base;
        ++index;
    }
    *unit = index;
    return value;
}

kit::String FormatSize(double bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB"};
    int unit = 0;
    double value = ScaleSize(bytes, 1024, &unit);
    char text[400];  // a double of any size fits: at most 309 digits before the point
    std::snprintf(text, sizeof text, "%.0f %s", value, kUnits[unit]);
    return kit::String(text);
}
