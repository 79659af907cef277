// The statistics window's side of the host messages: every value, option and stored setting of
// a window comes from the host window by a synchronous SendMessageA, and the tray summary goes
// back the same way. With no host window nothing is sent and each read yields its default.
// The value SendMessageA returns is never looked at; results come back only through the out
// arguments, whose blocks the host allocates through the manager named in our preset.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "base/String.h"

namespace stats {

class HostClient {
public:
    HWND hostWindow = nullptr;  // target of every message; null until a request stores it

    // The host's text for `key` when it is at least one character long, else `defaultText`.
    kit::String GetHostValue(const kit::String& key, const kit::String& defaultText) const;
    bool GetHostFlag(const kit::String& key) const;  // false when the host leaves the byte 0
    void SendTrayText(const kit::String& text) const;

    // The out string exactly as the host wrote it: the host applies the default itself.
    kit::String ReadHostIniString(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                                  const kit::String& defaultText) const;
    void WriteHostIniString(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                            const kit::String& value) const;
    int ReadHostIniInt(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                       int defaultValue) const;
    void WriteHostIniInt(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                         int value) const;

private:
    void Send(UINT message, const void* wParam, void* lParam) const;
};

}  // namespace stats
#endif
