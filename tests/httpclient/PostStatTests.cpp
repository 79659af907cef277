// The progress counters of the POST and upload contexts on their own: every query and every
// update refuses an inactive context with its own message, an update that would overflow a
// counter throws before anything changes, and the kept name and file path follow their rules.
#include <doctest/doctest.h>
#include <windows.h>

#include <climits>
#include <functional>
#include <string>

#include "httpclient/HttpPostStat.h"
#include "tests/httpclient/RaisedClientError.h"

using httptest::Catch;
using httptest::Raised;

namespace {

// The client's side of the counters, open to the test.
class StatProbe : public Tarvo::CHttpPostStatT<Tarvo::CHttpToolA> {
public:
    using CHttpPostStatT::AddActualPostedBytes;
    using CHttpPostStatT::AddPostedBytes;
    using CHttpPostStatT::MakeActive;
    using CHttpPostStatT::MakeInactive;
    using CHttpPostStatT::StartNewEntry;
    using CHttpPostStatT::m_cbActualPosted;
    using CHttpPostStatT::m_cbCurrParamPosted;
    using CHttpPostStatT::m_cbPosted;
    using CHttpPostStatT::m_cbTotal;
    using CHttpPostStatT::m_nPostedCount;
    using CHttpPostStatT::m_nPostedFileCount;
    using CHttpPostStatT::m_szCurrParamFilePath;
    using CHttpPostStatT::m_szCurrParamName;
};

std::string Message(const char* op) { return std::string("CHttpPostStatT::") + op + ": The post context is not active."; }

}  // namespace

TEST_CASE("every query and every update of an inactive context throws code 0 with its own message") {
    StatProbe stat;
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"ActualTotalByte", [&] { stat.ActualTotalByte(); }},
        {"ActualPostedByte", [&] { stat.ActualPostedByte(); }},
        {"TotalCount", [&] { stat.TotalCount(); }},
        {"PostedCount", [&] { stat.PostedCount(); }},
        {"FileCount", [&] { stat.FileCount(); }},
        {"PostedFileCount", [&] { stat.PostedFileCount(); }},
        {"CurrParamTotalByte", [&] { stat.CurrParamTotalByte(); }},
        {"CurrParamPostedByte", [&] { stat.CurrParamPostedByte(); }},
        {"CurrParamRemainByte", [&] { stat.CurrParamRemainByte(); }},
        {"CurrParamIsFile", [&] { stat.CurrParamIsFile(); }},
        {"CurrParamIsComplete", [&] { stat.CurrParamIsComplete(); }},
        {"IsComplete", [&] { stat.IsComplete(); }},
        {"_TestAddActualPostedBytes", [&] { stat.AddActualPostedBytes(1); }},
        {"_TestAddPostedBytes", [&] { stat.AddPostedBytes(1); }},
        {"_TestStartNewEntry", [&] { stat.StartNewEntry("n", 1, TRUE, "p"); }},
    };
    for (const auto& [op, call] : cases) {
        CAPTURE(op);
        Raised r = Catch(call);
        CHECK(r.thrown);
        CHECK(r.code == 0);
        CHECK(r.message == Message(op));
    }
    CHECK(stat.IsActive() == FALSE);
    CHECK(stat.m_szCurrParamName == nullptr);
}

TEST_CASE("updates move the counters of the body, the values and the current parameter") {
    StatProbe stat;
    stat.MakeActive(40, 12, 2, 1);
    CHECK(stat.ActualTotalByte() == 40);
    CHECK(stat.TotalCount() == 2);
    CHECK(stat.FileCount() == 1);
    CHECK(stat.CurrParamIsComplete() == TRUE);  // nothing started yet
    CHECK(stat.IsComplete() == FALSE);

    stat.AddActualPostedBytes(5);  // a part header
    stat.StartNewEntry("file", 8, TRUE, "C:\\a.bin");
    CHECK(stat.PostedCount() == 1);
    CHECK(stat.PostedFileCount() == 1);
    CHECK(stat.CurrParamIsFile() == TRUE);
    CHECK(std::string(stat.m_szCurrParamFilePath.get()) == "C:\\a.bin");
    stat.AddPostedBytes(3);
    CHECK(stat.CurrParamPostedByte() == 3);
    CHECK(stat.CurrParamRemainByte() == 5);
    CHECK(stat.ActualPostedByte() == 8);
    CHECK(stat.m_cbPosted == 3);
    stat.AddPostedBytes(5);
    CHECK(stat.CurrParamIsComplete() == TRUE);

    stat.StartNewEntry("text", 4, FALSE, "ignored for a value");
    CHECK(stat.PostedCount() == 2);
    CHECK(stat.PostedFileCount() == 1);
    CHECK(stat.CurrParamIsFile() == FALSE);
    CHECK(stat.m_szCurrParamFilePath == nullptr);
    CHECK(stat.CurrParamPostedByte() == 0);
    CHECK(stat.CurrParamTotalByte() == 4);
    stat.AddPostedBytes(4);
    stat.AddActualPostedBytes(23);
    CHECK(stat.ActualPostedByte() == 40);
    CHECK(stat.IsComplete() == TRUE);
    CHECK(stat.m_cbPosted == stat.m_cbTotal);

    stat.MakeInactive();
    CHECK(stat.IsActive() == FALSE);
    CHECK(stat.m_szCurrParamName == nullptr);
    CHECK(stat.m_cbActualPosted == 0);
    CHECK(stat.m_nPostedCount == 0);
    CHECK(Catch([&] { stat.PostedCount(); }).thrown);
}

TEST_CASE("an update that would overflow a counter throws 112 and changes nothing") {
    struct Case {
        const char* name;
        std::function<void(StatProbe&)> preset;
        std::function<void(StatProbe&)> update;
    };
    const Case cases[] = {
        {"body bytes", [](StatProbe& s) { s.m_cbActualPosted = UINT_MAX; },
         [](StatProbe& s) { s.AddActualPostedBytes(1); }},
        {"value bytes", [](StatProbe& s) { s.m_cbPosted = UINT_MAX - 1; },
         [](StatProbe& s) { s.AddPostedBytes(2); }},
        {"current parameter bytes", [](StatProbe& s) { s.m_cbCurrParamPosted = UINT_MAX; },
         [](StatProbe& s) { s.AddPostedBytes(1); }},
        {"body bytes through a value", [](StatProbe& s) { s.m_cbActualPosted = UINT_MAX; },
         [](StatProbe& s) { s.AddPostedBytes(1); }},
        {"parameters started", [](StatProbe& s) { s.m_nPostedCount = UINT_MAX; },
         [](StatProbe& s) { s.StartNewEntry("b", 1, FALSE, nullptr); }},
        {"files started", [](StatProbe& s) { s.m_nPostedFileCount = UINT_MAX; },
         [](StatProbe& s) { s.StartNewEntry("b", 1, TRUE, "p"); }},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        StatProbe stat;
        stat.MakeActive(100, 50, 3, 1);
        stat.StartNewEntry("a", 10, FALSE, nullptr);
        c.preset(stat);
        const DWORD posted = stat.m_cbPosted, current = stat.m_cbCurrParamPosted, actual = stat.m_cbActualPosted;
        const DWORD count = stat.m_nPostedCount, files = stat.m_nPostedFileCount;
        const char* name = stat.m_szCurrParamName.get();
        Raised r = Catch([&] { c.update(stat); });
        CHECK(r.thrown);
        CHECK(r.code == 112);
        CHECK(r.message == "An arithmetic overflow error has been occurred.");
        CHECK(stat.IsActive() == TRUE);
        CHECK(stat.m_cbPosted == posted);
        CHECK(stat.m_cbCurrParamPosted == current);
        CHECK(stat.m_cbActualPosted == actual);
        CHECK(stat.m_nPostedCount == count);
        CHECK(stat.m_nPostedFileCount == files);
        CHECK(stat.m_szCurrParamName.get() == name);
        CHECK(stat.CurrParamTotalByte() == 10);
    }
}

TEST_CASE("a kept text keeps its block for the same bytes and is a copy of its own otherwise") {
    StatProbe stat;
    stat.MakeActive(10, 10, 4, 3);
    char name[] = "name";
    char path[] = "C:\\f.bin";
    stat.StartNewEntry(name, 1, TRUE, path);
    const char* nameBlock = stat.m_szCurrParamName.get();
    const char* pathBlock = stat.m_szCurrParamFilePath.get();
    CHECK(nameBlock != name);
    CHECK(pathBlock != path);
    name[0] = 'N';
    CHECK(std::string(nameBlock) == "name");

    stat.StartNewEntry("name", 1, TRUE, "C:\\f.bin");
    CHECK(stat.m_szCurrParamName.get() == nameBlock);
    CHECK(stat.m_szCurrParamFilePath.get() == pathBlock);

    stat.StartNewEntry("other", 1, TRUE, "C:\\g.bin");
    CHECK(std::string(stat.m_szCurrParamName.get()) == "other");
    CHECK(std::string(stat.m_szCurrParamFilePath.get()) == "C:\\g.bin");

    stat.StartNewEntry("other", 1, FALSE, "C:\\g.bin");
    CHECK(stat.m_szCurrParamFilePath == nullptr);
}
