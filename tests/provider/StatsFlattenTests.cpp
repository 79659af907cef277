// The answer's flattening and key mapping: the raw keys of a realistic answer in walk order, then
// the output keys; the list operations; the walk's rules for codes, ranges, directions and the
// first scalar; and answers from the network that are malformed or hostile.
#include <doctest/doctest.h>

#include <string>
#include <string_view>

#include "provider/OutputKeys.h"
#include "tests/provider/StatsListTesting.h"

using flattentest::ListSession;
using flattentest::Pairs;
using flattentest::Parse;
using flattentest::Printable;

namespace {

const std::string kNo = provider::kNoValue;

Pairs Keep(const Pairs& pairs, int from, int count) {
    return Pairs(pairs.begin() + from, pairs.begin() + from + count);
}

Pairs Flatten(const std::string& json, const char* prefix) {
    provider::JsonDocument document;
    document.Parse(json.c_str());
    REQUIRE(!document.HasParseError());
    ListSession session;
    FlattenBudget budget = FlattenBudget::ForBody(json.size());
    session.FlattenObject(document, prefix, budget);
    return session.List();
}

// The keys the list holds only as captions when no raw key could be read.
Pairs CaptionsOnly() {
    return {{"saldotitle", "Сальдо (остаток денег на счете)"},
            {"saldoonlinetitle", "Сальдо-online"},
            {"tariffplantitle", "Тарифная модель"},
            {"pagetitle", "итоги за текущий месяц"},
            {"ukrtitle", "Внутренний (Украинский) (UkrEx)"},
            {"sattitle", "Внешний (Зарубежный) (SatEx)"},
            {"alltitle", "Итоги по трафику"},
            {"pagetitle_day", "итоги за текущий день"}};
}

// The raw keys of a walk over a body that holds none of the output table's raw keys: the list
// must end with the captions alone, spelled out above, and what comes before them is the walk.
Pairs RawKeys(const std::string& body) {
    const Pairs pairs = Parse(body);
    const Pairs tail = CaptionsOnly();
    REQUIRE(pairs.size() >= tail.size());
    const int walk = static_cast<int>(pairs.size() - tail.size());
    CHECK(Printable(Keep(pairs, walk, static_cast<int>(tail.size()))) == Printable(tail));
    return Keep(pairs, 0, walk);
}

}  // namespace

TEST_CASE("a realistic answer gives its raw keys in walk order, then the output keys in table order") {
    const Pairs expected = {
        {"services_inet_code", "inet"},
        {"services_inet_name", "\xC8\xED\xF2\xE5\xF0\xED\xE5\xF2"},
        {"services_inet_balans", "152.50"},
        {"services_inet_saldo", "148.25"},
        {"services_inet_model", "\xC4\xEE\xEC\xE0\xF8\xED\xE8\xE9 100"},
        {"services_inet_blocked", "0"},
        {"services_an_cable_code", "an_cable"},
        {"services_an_cable_name", "\xC0\xED\xE0\xEB\xEE\xE3\xEE\xE2\xEE\xE5 \xD2\xC2"},
        {"services_an_cable_balans", "-23.40"},
        {"services_dg_cable_code", "dg_cable"},
        {"services_dg_cable_name", "\xD6\xE8\xF4\xF0\xEE\xE2\xEE\xE5 \xD2\xC2"},
        {"services_dg_cable_balans", "0.00"},
        {"traffic_month_rows_UkrEx_direction", "UkrEx"},
        {"traffic_month_rows_UkrEx_traffic", "15032"},
        {"traffic_month_rows_UkrEx_underTraffic", "10737"},
        {"traffic_month_rows_UkrEx_overTraffic", "4294"},
        {"traffic_month_rows_UkrEx_normalCost", "80.00"},
        {"traffic_month_rows_SatEx_direction", "\xC7\xE0\xF0\xF3\xE1\xE5\xE6\xED\xFB\xE9 (SatEx)"},
        {"traffic_month_rows_SatEx_traffic", "512"},
        {"traffic_month_rows_SatEx_underTraffic", "512"},
        {"traffic_month_rows_SatEx_overTraffic", "0"},
        {"traffic_month_rows_SatEx_normalCost", "12.35"},
        {"traffic_month_rows_AllEx_direction", "\xC8\xF2\xEE\xE3\xEE"},
        {"traffic_month_rows_AllEx_traffic", "15544"},
        {"traffic_month_rows_AllEx_underTraffic", "11249"},
        {"traffic_month_rows_AllEx_overTraffic", "4294"},
        {"traffic_month_rows_AllEx_normalCost", "92.34"},
        {"traffic_day_rows_UkrEx_direction", "\xC2\xED\xF3\xF2\xF0\xE5\xED\xED\xE8\xE9 \xF2\xF0\xE0\xF4\xE8\xEA UkrEx"},
        {"traffic_day_rows_UkrEx_traffic", "123"},
        {"traffic_day_rows_UkrEx_underTraffic", "123"},
        {"traffic_day_rows_UkrEx_overTraffic", "0"},
        {"traffic_day_rows_UkrEx_normalCost", "0.50"},
        {"traffic_day_rows_SatEx_direction", "SatEx"},
        {"traffic_day_rows_SatEx_traffic", "0"},
        {"traffic_day_rows_SatEx_underTraffic", "0"},
        {"traffic_day_rows_SatEx_overTraffic", "0"},
        {"traffic_day_rows_SatEx_normalCost", "0.05"},
        {"traffic_day_rows_AllEx_direction", "\xC2\xF1\xE5\xE3\xEE"},
        {"traffic_day_rows_AllEx_traffic", "124"},
        {"traffic_day_rows_AllEx_underTraffic", "124"},
        {"traffic_day_rows_AllEx_overTraffic", "0"},
        {"traffic_day_rows_AllEx_normalCost", "0.55"},
        {"_contract", "10-0042"},
        {"_responseValue", "ok"},

        {"atvsaldo", "-23.40"},
        {"atvsaldotitle", "\xC0\xED\xE0\xEB\xEE\xE3\xEE\xE2\xEE\xE5 \xD2\xC2"},
        {"vptvsaldo", "0.00"},
        {"vtvsaldotitle", "\xD6\xE8\xF4\xF0\xEE\xE2\xEE\xE5 \xD2\xC2"},
        {"saldo", "152.50"},
        {"saldo_day", "152.50"},
        {"saldotitle", "Сальдо (остаток денег на счете)"},
        {"saldoonline", "148.25"},
        {"saldoonline_day", "148.25"},
        {"saldoonlinetitle", "Сальдо-online"},
        {"tariffplanname", "\xC4\xEE\xEC\xE0\xF8\xED\xE8\xE9 100"},
        {"tariffplantitle", "Тарифная модель"},
        {"pagetitle", "итоги за текущий месяц"},
        {"ukrtrafic", "15032"},
        {"ukrtitle", "Внутренний (Украинский) (UkrEx)"},
        {"ukrtraficinlimit", "10737"},
        {"ukrtraficoutlimit", "4294"},
        {"ukrpriceinlimit", "80.00"},
        {"sattrafic", "512"},
        {"sattitle", "Внешний (Зарубежный) (SatEx)"},
        {"sattraficinlimit", "512"},
        {"sattraficoutlimit", "0"},
        {"satpriceinlimit", "12.35"},
        {"alltrafic", "15544"},
        {"alltitle", "Итоги по трафику"},
        {"alltraficinlimit", "11249"},
        {"alltraficoutlimit", "4294"},
        {"allpriceinlimit", "92.34"},
        {"pagetitle_day", "итоги за текущий день"},
        {"ukrtrafic_day", "123"},
        {"ukrtraficinlimit_day", "123"},
        {"ukrtraficoutlimit_day", "0"},
        {"ukrpriceinlimit_day", "0.50"},
        {"sattrafic_day", "0"},
        {"sattraficinlimit_day", "0"},
        {"sattraficoutlimit_day", "0"},
        {"satpriceinlimit_day", "0.05"},
        {"alltrafic_day", "124"},
        {"alltraficinlimit_day", "124"},
        {"alltraficoutlimit_day", "0"},
        {"allpriceinlimit_day", "0.55"},
    };
    CHECK(Printable(Parse(flattentest::Fixture("answer.json"))) == Printable(expected));
}

TEST_CASE("without an inet service its output keys are absent while the captions stay") {
    const Pairs expected = {
        {"services_an_cable_code", "an_cable"},
        {"services_an_cable_name", "\xC0\xED\xE0\xEB\xEE\xE3\xEE\xE2\xEE\xE5 \xD2\xC2"},
        {"services_an_cable_balans", "120"},
        {"services_tv_code", "tv"},
        {"services_tv_name", "\xD2\xC2"},
        {"_responseValue", "ok"},
        {"atvsaldo", kNo},  // "120": three characters or fewer
        {"atvsaldotitle", "\xC0\xED\xE0\xEB\xEE\xE3\xEE\xE2\xEE\xE5 \xD2\xC2"},
    };
    Pairs all = expected;
    for (const auto& caption : CaptionsOnly()) all.push_back(caption);
    CHECK(Printable(Parse(flattentest::Fixture("answer-without-inet.json"))) == Printable(all));
}

TEST_CASE("a short balance is kept under its raw key and stored as the default under saldo") {
    const Pairs list = Parse(flattentest::Fixture("answer-short-balance.json"));
    CHECK(Printable(Keep(list, 0, 4)) == Printable({{"services_inet_code", "inet"},
                                                    {"services_inet_balans", "-5"},
                                                    {"services_inet_saldo", "120"},
                                                    {"services_inet_model", "\xD2\xE5\xF1\xF2"}}));
    CHECK(Printable(Keep(list, 5, 7)) == Printable({{"saldo", kNo},
                                                    {"saldo_day", kNo},
                                                    {"saldotitle", "Сальдо (остаток денег на счете)"},
                                                    {"saldoonline", kNo},
                                                    {"saldoonline_day", kNo},
                                                    {"saldoonlinetitle", "Сальдо-online"},
                                                    {"tariffplanname", "\xD2\xE5\xF1\xF2"}}));
}

TEST_CASE("AddPair keeps a value only when it is longer than the minimum length") {
    struct Case {
        const char* value;
        int minLength;
        const char* defaultText;
        const char* stored;
    };
    const Case cases[] = {
        {"abc", 3, "D", "D"}, {"abcd", 3, "D", "abcd"}, {"", 0, "D", "D"},  {"a", 0, "D", "a"},
        {"", 0, "", ""},      {"ab", 3, "", ""},        {"ab", -1, "D", "ab"},
    };
    ListSession session;
    Pairs expected;
    for (const Case& c : cases) {
        session.AddPair("k", c.value, c.minLength, c.defaultText);
        expected.emplace_back("k", c.stored);
    }
    CHECK(Printable(session.List()) == Printable(expected));

    CStatsSession withoutList;
    withoutList.AddPair("k", "v", 0, "D");  // no list yet: nothing to append to, nothing happens
    withoutList.MapKey("k", "out", 0);
    CHECK(withoutList.ValueList() == nullptr);
}

TEST_CASE("MapKey copies the first exact match and adds nothing when the key is absent") {
    ListSession session;
    session.AddPair("saldo_x", "1111", 0, "");
    session.AddPair("Saldo", "2222", 0, "");
    session.AddPair("saldo", "3333", 0, "");
    session.AddPair("saldo", "4444", 0, "");
    session.AddPair("short", "12", 0, "");
    session.MapKey("saldo", "out", 3);
    session.MapKey("short", "outshort", 3);
    session.MapKey("sald", "absent", 0);
    session.MapKey("saldo_", "absent", 0);
    const Pairs list = session.List();
    CHECK(Printable(Keep(list, 5, static_cast<int>(list.size()) - 5)) ==
          Printable({{"out", "3333"}, {"outshort", kNo}}));
}

TEST_CASE("GetValueByKey takes the first integer or string member of that name") {
    struct Case {
        const char* json;
        const char* text;
    };
    const Case cases[] = {
        {R"({"code":"inet"})", "inet"},
        {R"({"code":12})", "12"},
        {R"({"code":-5})", "-5"},
        {R"({"code":12.0})", ""},
        {R"({"code":true,"code":null,"code":{},"code":[1],"code":"x"})", "x"},
        {R"({"code":"first","code":"second"})", "first"},
        {R"({"Code":"x","codes":"y","cod":"z"})", ""},
        {R"({"code":4294967297})", "1"},            // the low 32 bits, as "%i" prints them
        {R"({"code":2147483648})", "-2147483648"},
        {R"({"code":18446744073709551615})", "-1"},
        {R"({})", ""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.json);
        provider::JsonDocument document;
        document.Parse(c.json);
        REQUIRE(!document.HasParseError());
        CHECK(CStatsSession::GetValueByKey(document, "code").str() == c.text);
    }
}

TEST_CASE("scalar members: integers in millions, reals with two decimals, booleans as 0 and 1") {
    const std::string body =
        R"({"a":123456789,"b":-2500000,"c":999999,"d":-999999,"e":12.5,"f":true,"g":"","h":null,)"
        R"("i":5000000000000000000,"j":18446744073709551615,"k":-9223372036854775808,"l":4294967296000000,)"
        R"("m":1e2,"n":-0.004,"o":2.675,"p":1e300,"q":false,"r":{"x":1},"s":[1]})";
    CHECK(Printable(RawKeys(body)) ==
          Printable({{"_a", "123"},
                     {"_b", "-2"},
                     {"_c", "0"},
                     {"_d", "0"},
                     {"_e", "12.50"},
                     {"_f", "1"},
                     {"_g", kNo},
                     {"_i", "5000000000000"},  // quotients beyond 32 bits are printed whole
                     {"_j", "18446744073709"},
                     {"_k", "-9223372036854"},
                     {"_l", "4294967296"},
                     {"_m", "100.00"},
                     {"_n", "-0.00"},
                     {"_o", "2.67"},  // 2.675 is a little below 2.675 in binary
                     {"_p", "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864043704443832883878176942523235360430575644792184786706982848387200926575803737830233794788090059368953234970799945081119038967640880074652742780142494579258788820056842838115669472196386865459400540160.00"},
                     {"_q", "0"}}));
    CHECK(Printable(RawKeys(R"({"z":0E88,"y":-0.0e-400,"x":1.7976931348623157e308})")) ==
          Printable({{"_z", "0.00"}, {"_y", "-0.00"}, {"_x", "179769313486231570814527423731704356798070567525844996598917476803157260780028538760589558632766878171540458953514382464234321326889464182768467546703537516986049910576551282076245490090389328944075868508455133942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184124858368.00"}}));
}

TEST_CASE("codes: one character adds nothing, an integer code 12 names the prefix, non-objects are passed over") {
    const std::string body =
        R"({"list":[{"code":5,"v":"five"},{"code":12,"v":"twelve"},{"code":"","range":"x","v":"r"},)"
        R"({"v":"none"},{"code":"ab","v":"two"},{"code":4294967308,"v":"low"},7,"s",null,[{"code":"zz"}]],)"
        R"("end":"e"})";
    CHECK(Printable(RawKeys(body)) == Printable({{"list_12_code", "0"},
                                                 {"list_12_v", "twelve"},
                                                 {"list_ab_code", "ab"},
                                                 {"list_ab_v", "two"},
                                                 {"list_12_code", "4294"},
                                                 {"list_12_v", "low"},
                                                 {"_end", "e"}}));
}

TEST_CASE("directions: UkrEx anywhere, then SatEx, else AllEx; short or missing directions skip the row") {
    const std::string body =
        R"({"t":[{"range":"day","rows":[{"direction":"Local UkrEx link","a":"1"},{"direction":"xSatExy","a":"2"},)"
        R"({"direction":"zz","a":"3"},{"direction":"z","a":"4"},{"a":"5"},{"direction":"SatEx UkrEx","a":"6"},)"
        R"({"direction":7,"a":"7"},{"direction":12,"a":"8"},5,[{"direction":"UkrEx"}]]}]})";
    CHECK(Printable(RawKeys(body)) == Printable({{"t_day_rows_UkrEx_direction", "Local UkrEx link"},
                                                 {"t_day_rows_UkrEx_a", "1"},
                                                 {"t_day_rows_SatEx_direction", "xSatExy"},
                                                 {"t_day_rows_SatEx_a", "2"},
                                                 {"t_day_rows_AllEx_direction", "zz"},
                                                 {"t_day_rows_AllEx_a", "3"},
                                                 {"t_day_rows_UkrEx_direction", "SatEx UkrEx"},
                                                 {"t_day_rows_UkrEx_a", "6"},
                                                 {"t_day_rows_AllEx_direction", "0"},
                                                 {"t_day_rows_AllEx_a", "8"}}));
}

TEST_CASE("the first scalar adds the object's scalars and ends its walk") {
    CHECK(Printable(RawKeys(R"({"x":"1","services":[{"code":"inet","balans":1}],"o":{"k":"v"},"y":2000000})")) ==
          Printable({{"_x", "1"}, {"_y", "2"}}));
    // Booleans and nulls do not end it; objects add their own scalars only.
    CHECK(Printable(RawKeys(R"({"b":true,"n":null,"o":{"k":"v","in":{"z":"1"},"arr":[{"code":"zz"}]},"s":"x"})")) ==
          Printable({{"o_k", "v"}, {"_b", "1"}, {"_s", "x"}}));
}

TEST_CASE("keys join a prefix of two or more characters only") {
    const std::string json = R"({"o":{"k":"v"},"a":[{"code":"cc","w":"1"}],"s":"x"})";
    CHECK(Printable(Flatten(json, "")) == Printable({{"o_k", "v"}, {"a_cc_code", "cc"}, {"a_cc_w", "1"}, {"_s", "x"}}));
    CHECK(Printable(Flatten(json, "p")) == Printable({{"o_k", "v"}, {"a_cc_code", "cc"}, {"a_cc_w", "1"}, {"_s", "x"}}));
    CHECK(Printable(Flatten(json, "pq")) ==
          Printable({{"pq_o_k", "v"}, {"pq_a_cc_code", "cc"}, {"pq_a_cc_w", "1"}, {"pq_s", "x"}}));
    // Arrays before the scalars of an element are walked below its prefix.
    CHECK(Printable(RawKeys(R"({"a":[{"b":[{"code":"zz","c":"1"}],"o":{"k":"v"},"code":"xy"}]})")) ==
          Printable({{"a_xy_b_zz_code", "zz"}, {"a_xy_b_zz_c", "1"}, {"a_xy_o_k", "v"}, {"a_xy_code", "xy"}}));
}

TEST_CASE("range elements: the rows are the second member whatever its name, and malformed ones add nothing") {
    const std::string body =
        R"({"t":[{"range":"day"},{"range":"day","rows":{"direction":"UkrEx"}},{"range":"day","rows":"x"},)"
        R"({"rows":[{"direction":"UkrEx","a":"1"}],"range":"mo"},{"range":"d","rows":[{"direction":"UkrEx","a":"2"}]},)"
        R"({"range":"wk","lines":[{"direction":"SatEx","a":"3"}],"more":[{"direction":"UkrEx","a":"4"}]},)"
        R"({"range":"mo","rows":[1,"x",null,{"direction":"UkrEx","a":"5"}]}]})";
    CHECK(Printable(RawKeys(body)) == Printable({{"t_wk_rows_SatEx_direction", "SatEx"},
                                                 {"t_wk_rows_SatEx_a", "3"},
                                                 {"t_mo_rows_UkrEx_direction", "UkrEx"},
                                                 {"t_mo_rows_UkrEx_a", "5"}}));
}

namespace {

// The body is not recognised (0) and the list keeps what it held: the host keeps its figures.
void CheckNotRecognised(std::string_view body) {
    ListSession session;
    session.AddPair("kept", "as it was", 0, "");
    CHECK(session.ParseStats(kit::String(body)) == 0);
    REQUIRE(Printable(session.List()) == Printable({{"kept", "as it was"}}));
}

}  // namespace

TEST_CASE("bodies that are not a JSON object at the top are not recognised and add nothing") {
    const char* bodies[] = {
        "", "   ", "[1,2]", "\"text\"", "42", "null", "<html>\xCF\xF0\xEE\xF1\xEC\xEE\xF2\xF0 \xE8\xF1\xF2\xEE\xF0\xE8\xE8</html>",
        R"([{"responseValue":"ok","services":[{"code":"inet","balans":1500}]}])",
        "\xEF\xBB\xBF{\"responseValue\":\"ok\"}",  // a UTF-8 byte-order mark in front
        R"({"a":"\ud800"})",  // a lone surrogate is not a character
        R"({"a":1,})", R"({"a" 1})", "{\"a\":\n\x01}",
    };
    for (const char* body : bodies) {
        CAPTURE(body);
        CheckNotRecognised(body);
    }
}

TEST_CASE("an answer cut off anywhere is not recognised, and text after the object is not read") {
    const std::string answer = flattentest::Fixture("answer.json");
    const std::size_t end = answer.rfind('}');
    for (std::size_t length = 0; length < end; ++length) {
        CAPTURE(length);
        CheckNotRecognised(std::string_view(answer.data(), length));
    }
    const Pairs whole = Parse(answer);
    CHECK(Printable(Parse(answer + "\n<html>tail</html>{\"x\":\"1\"}")) == Printable(whole));
}

TEST_CASE("\\u escapes become the cp1251 byte of their character, or '?' where cp1251 has none") {
    CHECK(Printable(RawKeys(R"({"s":"\u0418\u043d\u0442 \u2116 \u0401\u0451 \u20ac \u00e9 \u0098 \ud83d\ude00 \u0041\/\n"})")) ==
          Printable({{"_s", "\xC8\xED\xF2 \xB9 \xA8\xB8 \x88 ? ? ? A/\n"}}));
    CHECK(Printable(RawKeys("{\"\\u0410\":\"\xC0\\u0411\xC2\"}")) == Printable({{"_\xC0", "\xC0\xC1\xC2"}}));
    for (unsigned byte = 0x80; byte < 0x100; ++byte) {
        CAPTURE(byte);
        const unsigned codepoint = provider::kCp1251Upper[byte - 0x80];
        if (codepoint) CHECK(static_cast<unsigned char>(provider::Cp1251FromCodePoint(codepoint)) == byte);
    }
    for (unsigned codepoint : {0x80u, 0x9Fu, 0xFFu, 0x100u, 0x3A9u, 0x4FFu, 0xFFFDu, 0x10FFFFu})
        CHECK(provider::Cp1251FromCodePoint(codepoint) == '?');
}

TEST_CASE("raw control bytes inside strings are kept as they stand") {
    using namespace std::string_literals;
    const std::string body = "{\"t\tab\":\"a\tb\r\n\",\"e\":\"\\\"\x01\\\\\x1F\",\n\t\"z\":\"\0\"}"s;
    CHECK(Printable(RawKeys(body)) ==
          Printable({{"_t\tab", "a\tb\r\n"}, {"_e", "\"\x01\\\x1F"}, {"_z", "\0"s}}));
}

TEST_CASE("deep nesting neither exhausts the stack nor is walked beyond the bound") {
    const int levels = 200000;
    std::string arrays = "{\"a\":";
    arrays.append(levels, '[');
    arrays.append(levels, ']');
    arrays += ",\"s\":\"x\"}";
    CHECK(Printable(RawKeys(arrays)) == Printable({{"_s", "x"}}));

    std::string elements;
    for (int i = 0; i < levels; ++i) elements += "{\"a\":[";
    elements += "{\"code\":\"zz\"}";
    for (int i = 0; i < levels; ++i) elements += "],\"code\":\"cc\"}";
    elements = "{\"top\":[" + elements.substr(6);
    const Pairs raw = RawKeys(elements);
    REQUIRE(raw.size() == 33);  // one "..._code" pair for each array level followed, then the top's
    std::string deepest = "top_cc";
    for (int i = 1; i < 32; ++i) deepest += "_a_cc";
    CHECK(raw.front().first == deepest + "_code");
    CHECK(raw[31].first == "top_cc_code");
    CHECK(raw.back() == std::pair<std::string, std::string>("_code", "cc"));
}

TEST_CASE("long names repeated in many keys cannot grow the list beyond a multiple of the body") {
    std::string body = "{\"" + std::string(256 * 1024, 'n') + "\":[{\"range\":\"month\",\"rows\":[{\"direction\":\"UkrEx\"";
    for (int i = 0; i < 100000; ++i) body += ",\"m\":1";
    body += "}]}]}";
    ListSession session;
    session.ParseStats(kit::String(std::string_view(body)));
    std::size_t keyChars = 0;
    for (const auto& pair : session.List()) keyChars += pair.first.size();
    CHECK(keyChars <= 8 * body.size() + 64 * 1024 + 1024);
    CHECK(session.ValueList()->keys.GetSize() > 8);  // the raw keys that fit, then the captions
}
