// Byte counts as the update window and the update log show them: "%.0f %s" with the unit B, KB,
// MB or GB (no unit beyond GB).
#pragma once
#include "base/String.h"

// Divides `value` by `base` while it is at least `base` and fewer than three divisions were made;
// *unit receives the number of divisions (0 B, 1 KB, 2 MB, 3 GB).
double ScaleSize(double value, double base, int* unit);

kit::String FormatSize(double bytes);
