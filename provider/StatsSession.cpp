// Construction and destruction of the statistics session; the session's operations live in
// the files of their area (flattening, debug rows, fetch).
#include "provider/StatsSession.h"

CStatsSession::CStatsSession() : settings(nullptr), valueList(nullptr), hostWindow(nullptr) {}

CStatsSession::~CStatsSession() {
    // The HTTP client is deleted here, before the settings, once the fetch brings it.
    delete settings;
    delete valueList;
}
