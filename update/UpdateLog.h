// The update log: one text file per day, programFolder + "logs\%Y_%m\upd_%Y%m%d.txt" (local
// date), lines only appended, each "[%H:%M:%S] " + text + "\r\n" (texts of up to 3 characters
// without the time). The folders are made as needed; a file that cannot be opened loses the line.
#pragma once
#include <windows.h>

#include "base/String.h"

// The log file of the day `now` below `programFolder` (used as it stands, ending with a separator).
kit::String UpdateLogPath(const char* programFolder, const SYSTEMTIME& now);
// Appends one line; false when the line was lost.
bool WriteUpdateLog(const char* programFolder, const char* text, const SYSTEMTIME& now);
