#include "update/UpdateLog.h"

#include <cstring>

#include "base/Unique.h"
#include "update/portable/FormatText.h"

namespace {

kit::String MonthFolder(const char* programFolder, const SYSTEMTIME& now) {
    return kit::String(programFolder) + "logs" + "\\" + FormatText("%04u_%02u", now.wYear, now.wMonth);
}

}  // namespace

kit::String UpdateLogPath(const char* programFolder, const SYSTEMTIME& now) {
    return MonthFolder(programFolder, now) + "\\" + FormatText("upd_%04u%02u%02u.txt", now.wYear, now.wMonth, now.wDay);
}

bool WriteUpdateLog(const char* programFolder, const char* text, const SYSTEMTIME& now) {
    ::CreateDirectoryA(kit::String(programFolder) + "logs", nullptr);
    ::CreateDirectoryA(MonthFolder(programFolder, now), nullptr);
    kit::UniqueFile file(::CreateFileA(UpdateLogPath(programFolder, now), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
    kit::String line;
    if (std::strlen(text) > 3) line = FormatText("[%02u:%02u:%02u] ", now.wHour, now.wMinute, now.wSecond);
    line += text;
    line += "\r\n";
    DWORD written = 0;
    return ::WriteFile(file.get(), line.c_str(), static_cast<DWORD>(line.GetLength()), &written, nullptr) &&
           written == static_cast<DWORD>(line.GetLength());
}
