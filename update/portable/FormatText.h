// printf-style formatting into a new text, for the update plug-in's status and log lines.
#pragma once
#include "base/String.h"

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
kit::String FormatText(const char* format, ...);
