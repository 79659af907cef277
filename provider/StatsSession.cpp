// Construction and destruction of the statistics session; the session's operations live in
// the files of their area (flattening, debug rows, fetch).
#include "provider/StatsSession.h"

#ifdef _WIN32
#include "httpclient/HttpClient.h"
#endif

CStatsSession::CStatsSession() = default;

// The client, the settings and the list, in this order (members alone would go the other way).
CStatsSession::~CStatsSession() {
#ifdef _WIN32
    client.reset();
#endif
    settings.reset();
    valueList.reset();
}

void CStatsSession::ResetValueList() { valueList = std::make_unique<host::StatsValueList>(); }
