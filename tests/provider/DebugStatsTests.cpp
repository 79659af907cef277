// The debug server item's fixed rows reach the list as the host receives them: literals of
// three characters or fewer in the numeric rows arrive as the default.
#include <doctest/doctest.h>

#include "provider/OutputKeys.h"
#include "tests/provider/StatsListTesting.h"

using flattentest::ListSession;
using flattentest::Pairs;
using flattentest::Printable;

TEST_CASE("the day, month and account rows arrive as sent, in table order") {
    const std::string no = provider::kNoValue;
    const Pairs day = {
        {"ukrtrafic_day", no},
        {"ukrtitle_day", "Внутренний (Украинский) (UkrEx)"},
        {"ukrtraficinlimit_day", no},
        {"ukrtraficoutlimit_day", no},
        {"ukrpriceinlimit_day", no},
        {"ukrpriceoutlimit_day", no},
        {"sattrafic_day", no},
        {"sattitle_day", "Внешний (Зарубежный) (SatEx)"},
        {"sattraficinlimit_day", no},
        {"sattraficoutlimit_day", no},
        {"satpriceinlimit_day", no},
        {"satpriceoutlimit_day", no},
        {"alltrafic_day", no},
        {"alltitle_day", "Итоги по трафику"},
        {"alltraficinlimit_day", no},
        {"alltraficoutlimit_day", no},
        {"allpriceinlimit_day", no},
        {"allpriceoutlimit_day", no},
    };
    const Pairs month = {
        {"pagetitle", "итоги за текущий месяц"},
        {"ukrtrafic", "1000"},
        {"ukrtitle", "Внутренний (Украинский) (UkrEx)"},
        {"ukrtraficinlimit", no},
        {"ukrtraficoutlimit", no},
        {"ukrpriceinlimit", no},
        {"ukrpriceoutlimit", no},
        {"sattrafic", no},
        {"sattitle", "Внешний (Зарубежный) (SatEx)"},
        {"sattraficinlimit", no},
        {"sattraficoutlimit", no},
        {"satpriceinlimit", no},
        {"satpriceoutlimit", no},
        {"alltrafic", "5678"},
        {"alltitle", "Итоги по трафику"},
        {"alltraficinlimit", no},
        {"alltraficoutlimit", no},
        {"allpriceinlimit", no},
        {"allpriceoutlimit", no},
    };
    const Pairs account = {
        {"tarifftraficout", "Использованно трафика"},
        {"agreement", "Договор №"},
        {"saldo", no},
        {"saldo_day", no},
        {"saldotitle", "Сальдо (остаток денег на счете)"},
        {"saldoonline", no},
        {"saldoonline_day", no},
        {"saldoonlinetitle", "Сальдо-online"},
        {"tariffplanname", "Тест"},
        {"tariffplantitle", "Тарифная модель"},
        {"tariffplanukrlimit", "7000"},
        {"tariffplansatlimit", "2000"},
        {"tariffplanlimit", "9000"},
    };
    struct Step {
        void (CStatsSession::*add)();
        const Pairs* rows;
        std::size_t listSize;  // the list after the step: 18 day rows, 19 month rows, 13 account rows
    };
    ListSession session;
    Pairs expected;
    for (const Step& step : {Step{&CStatsSession::AddDebugDayData, &day, 18},
                             Step{&CStatsSession::AddDebugMonthData, &month, 18 + 19},
                             Step{&CStatsSession::AddDebugAccountData, &account, 18 + 19 + 13}}) {
        (session.*step.add)();
        expected.insert(expected.end(), step.rows->begin(), step.rows->end());
        const Pairs list = session.List();
        CHECK(list.size() == step.listSize);
        CHECK(Printable(list) == Printable(expected));
    }
}
