#include "statswindows/common/HostClient.h"

#include "statswindows/common/StatsProtocol.h"

namespace stats {

void HostClient::Send(UINT message, const void* wParam, void* lParam) const {
    ::SendMessageA(hostWindow, message, reinterpret_cast<WPARAM>(wParam), reinterpret_cast<LPARAM>(lParam));
}

kit::String HostClient::GetHostValue(const kit::String& key, const kit::String& defaultText) const {
    if (!hostWindow) return defaultText;
    kit::String sentKey(key);
    kit::String result;  // our manager's nil string: the host fills it through that manager
    Send(host::WM_HOST_GET_VALUE, &sentKey, &result);
    if (result.GetLength() >= 1) return result;
    return defaultText;
}

bool HostClient::GetHostFlag(const kit::String& key) const {
    if (!hostWindow) return false;
    kit::String sentKey(key);
    unsigned char flag = 0;
    Send(host::WM_HOST_GET_FLAG, &sentKey, &flag);
    return flag != 0;
}

void HostClient::SendTrayText(const kit::String& text) const {
    if (!hostWindow) return;
    kit::String sent(text);
    Send(host::WM_HOST_TRAY_TEXT, &sent, nullptr);
}

kit::String HostClient::ReadHostIniString(const kit::String& iniFile, const kit::String& section,
                                          const kit::String& key, const kit::String& defaultText) const {
    if (!hostWindow) return defaultText;
    host::HostIniRequest request{iniFile, section, key, defaultText};
    kit::String result;
    Send(host::WM_HOST_READ_INI_STRING, &request, &result);
    return result;
}

void HostClient::WriteHostIniString(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                                    const kit::String& value) const {
    if (!hostWindow) return;
    host::HostIniRequest request{iniFile, section, key, value};
    Send(host::WM_HOST_WRITE_INI_STRING, &request, nullptr);
}

int HostClient::ReadHostIniInt(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                               int defaultValue) const {
    if (!hostWindow) return defaultValue;
    host::HostIniIntRequest request{iniFile, section, key, defaultValue};
    // Preset to the default: a host that leaves the int unwritten gives what no host gives.
    int result = defaultValue;
    Send(host::WM_HOST_READ_INI_INT, &request, &result);
    return result;
}

void HostClient::WriteHostIniInt(const kit::String& iniFile, const kit::String& section, const kit::String& key,
                                 int value) const {
    if (!hostWindow) return;
    host::HostIniIntRequest request{iniFile, section, key, value};
    Send(host::WM_HOST_WRITE_INI_INT, &request, nullptr);
}

}  // namespace stats
