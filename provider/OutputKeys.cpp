// The output-key table: "atvsaldo" to "allpriceinlimit_day", in the order they are appended.
// "vtvsaldotitle" is the host's spelling of the digital-TV caption key and stays so.
#include "provider/OutputKeys.h"

namespace provider {

namespace {
constexpr OutputKey Raw(const char* key, const char* rawKey, int minLength) { return {key, rawKey, nullptr, minLength}; }
constexpr OutputKey Caption(const char* key, const char* caption, int minLength) { return {key, nullptr, caption, minLength}; }
}  // namespace

const OutputKey kOutputKeys[] = {
    Raw("atvsaldo", "services_an_cable_balans", 3),
    Raw("atvsaldotitle", "services_an_cable_name", 0),
    Raw("vptvsaldo", "services_dg_cable_balans", 3),
    Raw("vtvsaldotitle", "services_dg_cable_name", 0),
    Raw("saldo", "services_inet_balans", 3),
    Raw("saldo_day", "services_inet_balans", 3),
    Caption("saldotitle", "Сальдо (остаток денег на счете)", 0),
    Raw("saldoonline", "services_inet_saldo", 3),
    Raw("saldoonline_day", "services_inet_saldo", 3),
    Caption("saldoonlinetitle", "Сальдо-online", 0),
    Raw("tariffplanname", "services_inet_model", 3),
    Caption("tariffplantitle", "Тарифная модель", 3),
    Caption("pagetitle", "итоги за текущий месяц", 3),
    Raw("ukrtrafic", "traffic_month_rows_UkrEx_traffic", 0),
    Caption("ukrtitle", "Внутренний (Украинский) (UkrEx)", 0),
    Raw("ukrtraficinlimit", "traffic_month_rows_UkrEx_underTraffic", 0),
    Raw("ukrtraficoutlimit", "traffic_month_rows_UkrEx_overTraffic", 0),
    Raw("ukrpriceinlimit", "traffic_month_rows_UkrEx_normalCost", 0),
    Raw("sattrafic", "traffic_month_rows_SatEx_traffic", 0),
    Caption("sattitle", "Внешний (Зарубежный) (SatEx)", 0),
    Raw("sattraficinlimit", "traffic_month_rows_SatEx_underTraffic", 0),
    Raw("sattraficoutlimit", "traffic_month_rows_SatEx_overTraffic", 0),
    Raw("satpriceinlimit", "traffic_month_rows_SatEx_normalCost", 0),
    Raw("alltrafic", "traffic_month_rows_AllEx_traffic", 0),
    Caption("alltitle", "Итоги по трафику", 0),
    Raw("alltraficinlimit", "traffic_month_rows_AllEx_underTraffic", 0),
    Raw("alltraficoutlimit", "traffic_month_rows_AllEx_overTraffic", 0),
    Raw("allpriceinlimit", "traffic_month_rows_AllEx_normalCost", 0),
    Caption("pagetitle_day", "итоги за текущий день", 3),
    Raw("ukrtrafic_day", "traffic_day_rows_UkrEx_traffic", 0),
    Raw("ukrtraficinlimit_day", "traffic_day_rows_UkrEx_underTraffic", 0),
    Raw("ukrtraficoutlimit_day", "traffic_day_rows_UkrEx_overTraffic", 0),
    Raw("ukrpriceinlimit_day", "traffic_day_rows_UkrEx_normalCost", 0),
    Raw("sattrafic_day", "traffic_day_rows_SatEx_traffic", 0),
    Raw("sattraficinlimit_day", "traffic_day_rows_SatEx_underTraffic", 0),
    Raw("sattraficoutlimit_day", "traffic_day_rows_SatEx_overTraffic", 0),
    Raw("satpriceinlimit_day", "traffic_day_rows_SatEx_normalCost", 0),
    Raw("alltrafic_day", "traffic_day_rows_AllEx_traffic", 0),
    Raw("alltraficinlimit_day", "traffic_day_rows_AllEx_underTraffic", 0),
    Raw("alltraficoutlimit_day", "traffic_day_rows_AllEx_overTraffic", 0),
    Raw("allpriceinlimit_day", "traffic_day_rows_AllEx_normalCost", 0),
};

const std::size_t kOutputKeyCount = sizeof(kOutputKeys) / sizeof(kOutputKeys[0]);

}  // namespace provider
