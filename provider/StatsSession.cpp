// Construction and destruction of the statistics session; the session's operations live in
// the files of their area (flattening, debug rows, fetch).
#include "provider/StatsSession.h"

#ifdef _WIN32
#include "httpclient/HttpClient.h"
#endif

CStatsSession::CStatsSession() : settings(nullptr), valueList(nullptr), hostWindow(nullptr) {}

// The client, the settings and the list, in this order.
CStatsSession::~CStatsSession() {
#ifdef _WIN32
    delete client;
#endif
    delete settings;
    delete valueList;
}
