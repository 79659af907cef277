// The fixed statistics of the debug server item: day, month and account rows, appended through
// the same minimum-length rule as live data, so the numeric rows of three characters or fewer
// reach the host as the default "нет".
#include "provider/OutputKeys.h"
#include "provider/StatsSession.h"

namespace {

struct DebugRow {
    const char* key;
    const char* literal;
    int minLength;
};

constexpr DebugRow kDayRows[] = {
    {"ukrtrafic_day", "10", 3},
    {"ukrtitle_day", "Внутренний (Украинский) (UkrEx)", 0},
    {"ukrtraficinlimit_day", "101", 3},
    {"ukrtraficoutlimit_day", "110", 3},
    {"ukrpriceinlimit_day", "120", 3},
    {"ukrpriceoutlimit_day", "130", 3},
    {"sattrafic_day", "104", 3},
    {"sattitle_day", "Внешний (Зарубежный) (SatEx)", 0},
    {"sattraficinlimit_day", "130", 3},
    {"sattraficoutlimit_day", "150", 3},
    {"satpriceinlimit_day", "160", 3},
    {"satpriceoutlimit_day", "170", 3},
    {"alltrafic_day", "180", 3},
    {"alltitle_day", "Итоги по трафику", 0},
    {"alltraficinlimit_day", "109", 3},
    {"alltraficoutlimit_day", "150", 3},
    {"allpriceinlimit_day", "130", 3},
    {"allpriceoutlimit_day", "140", 3},
};

constexpr DebugRow kMonthRows[] = {
    {"pagetitle", "итоги за текущий месяц", 3},
    {"ukrtrafic", "1000", 3},
    {"ukrtitle", "Внутренний (Украинский) (UkrEx)", 0},
    {"ukrtraficinlimit", "800", 3},
    {"ukrtraficoutlimit", "200", 3},
    {"ukrpriceinlimit", "20", 3},
    {"ukrpriceoutlimit", "2", 3},
    {"sattrafic", "100", 3},
    {"sattitle", "Внешний (Зарубежный) (SatEx)", 0},
    {"sattraficinlimit", "90", 3},
    {"sattraficoutlimit", "10", 3},
    {"satpriceinlimit", "44", 3},
    {"satpriceoutlimit", "33", 3},
    {"alltrafic", "5678", 3},
    {"alltitle", "Итоги по трафику", 0},
    {"alltraficinlimit", "500", 3},
    {"alltraficoutlimit", "678", 3},
    {"allpriceinlimit", "123", 3},
    {"allpriceoutlimit", "321", 3},
};

constexpr DebugRow kAccountRows[] = {
    {"tarifftraficout", "Использованно трафика", 0},
    {"agreement", "Договор №", 0},
    {"saldo", "20", 3},
    {"saldo_day", "20", 3},
    {"saldotitle", "Сальдо (остаток денег на счете)", 0},
    {"saldoonline", "22", 3},
    {"saldoonline_day", "22", 3},
    {"saldoonlinetitle", "Сальдо-online", 0},
    {"tariffplanname", "Тест", 3},
    {"tariffplantitle", "Тарифная модель", 3},
    {"tariffplanukrlimit", "7000", 3},
    {"tariffplansatlimit", "2000", 3},
    {"tariffplanlimit", "9000", 3},
};

template <std::size_t N>
void AddRows(CStatsSession& session, const DebugRow (&rows)[N]) {
    for (const DebugRow& row : rows) session.AddPair(row.key, row.literal, row.minLength, provider::kNoValue);
}

}  // namespace

void CStatsSession::AddDebugDayData() { AddRows(*this, kDayRows); }
void CStatsSession::AddDebugMonthData() { AddRows(*this, kMonthRows); }
void CStatsSession::AddDebugAccountData() { AddRows(*this, kAccountRows); }
