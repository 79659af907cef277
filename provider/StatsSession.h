// The statistics session: the working object of one statistics request. It keeps the copied
// request settings, the key/value list that the answer's flattening or the debug rows fill, the
// host window that receives the list, and (in the Windows build) the HTTP client of the fetch.
// The list and flattening operations need nothing from Win32 and build natively as well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/String.h"
#include "hostapi/HostProtocol.h"
#include "provider/StatsJson.h"
#include "provider/StatsStates.h"

#ifdef _WIN32
namespace Tarvo {
class CHttpToolA;
class CHttpEncoderA;
template <class, class>
class CHttpClientT;
}  // namespace Tarvo
#endif

// The session's copy of the request's strings and flags.
struct StatsSettings {
    kit::String contractCode;
    kit::String password;
    kit::String serverBaseUrl;
    std::uint8_t useProxy = 0;
    std::uint8_t directConnection = 0;
    kit::String spareText;  // copied, never read
    kit::String proxyName;  // proxy server name and proxy user name
    kit::String proxyPassword;
};

// Bounds of one walk over an answer from the network: how many levels of arrays of objects are
// still followed, and how many characters of keys the walk may still build. They keep a hostile
// answer from exhausting the thread's stack or growing keys quadratically with its size.
struct FlattenBudget {
    int depthLeft;
    std::size_t keyCharsLeft;

    static FlattenBudget ForBody(std::size_t bodyLength);
    bool Spend(std::size_t chars);  // false, spending nothing, when fewer are left
};

class CStatsSession {
public:
    CStatsSession();
    ~CStatsSession();
    CStatsSession(const CStatsSession&) = delete;
    CStatsSession& operator=(const CStatsSession&) = delete;

#ifdef _WIN32
    void Setup(const kit::String& contractCode, const kit::String& password, const kit::String& serverBaseUrl,
               bool useProxy, const kit::String& spareText, const kit::String& proxyName,
               const kit::String& proxyPassword, bool directConnection,
               unsigned timeoutMilliseconds = provider::kFetchTimeoutMilliseconds);
    int FetchStats(const kit::String& url);
    int CheckErrorPage(int state, const kit::String& body);
    void PostLogLine(kit::String line);
    void PostErrorText(kit::String text);
    void PublishStats();
#endif

    // The request's host window; set by the request driver right after Setup.
    void SetHostWindow(host::WindowHandle window) { hostWindow = window; }
    host::WindowHandle HostWindow() const { return hostWindow; }
    const StatsSettings* Settings() const { return settings.get(); }  // null until Setup
    host::StatsValueList* ValueList() const { return valueList.get(); }  // null until Setup
#ifdef _WIN32
    using HttpClient = Tarvo::CHttpClientT<Tarvo::CHttpToolA, Tarvo::CHttpEncoderA>;
    HttpClient* Client() const { return client.get(); }  // null until Setup
#endif
    // A new, empty list in place of the old one (Setup starts every request with one).
    void ResetValueList();

    // The list operations act on `valueList` and do nothing while there is none.
    void AddPair(const kit::String& key, const kit::String& value, int minLength, const kit::String& defaultText);
    void MapKey(const kit::String& rawKey, const kit::String& outputKey, int minLength);

    // Flattening of the service's answer into raw keys, then the output keys.
    static kit::String GetValueByKey(const provider::JsonValue& object, const char* name);
    void AddScalars(const provider::JsonValue& object, const kit::String& prefix, FlattenBudget& budget);
    void FlattenObject(const provider::JsonValue& object, const kit::String& prefix, FlattenBudget& budget);
    int ParseStats(const kit::String& body);  // 14; 0, adding nothing, for a body that is no JSON object

    // Fixed statistics of the debug server item.
    void AddDebugDayData();
    void AddDebugMonthData();
    void AddDebugAccountData();

private:
    std::unique_ptr<StatsSettings> settings;
    std::unique_ptr<host::StatsValueList> valueList;
    host::WindowHandle hostWindow = nullptr;
#ifdef _WIN32
    std::unique_ptr<HttpClient> client;
#endif

    void FlattenArray(const provider::JsonValue& array, std::string_view name, const kit::String& prefix,
                      FlattenBudget& budget);
    void FlattenElement(const provider::JsonValue& element, std::string_view name, const kit::String& prefix,
                        FlattenBudget& budget);
};
