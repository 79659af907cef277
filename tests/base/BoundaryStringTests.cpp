// The boundary string's rules, with blocks of a foreign manager (the stand-in host's) beside our
// own, and the out-string protocol driven through the stand-in host window.
#include <doctest/doctest.h>
#include <windows.h>

#include <cstring>

#include "base/String.h"
#include "base/StringArray.h"
#include "hostapi/HostProtocol.h"
#include "testing/host/HostStrings.h"
#include "testing/host/StandInHost.h"

using hoststub::HostString;
using hoststub::TheHostStringManager;
using kit::DefaultStringManager;
using kit::String;

TEST_CASE("the test environment runs with the ANSI code page 1251") { CHECK(GetACP() == 1251u); }

TEST_CASE("a foreign manager's strings are copied into blocks of our own") {
    struct Row {
        const char* text;
    };
    const Row rows[] = {{""}, {"a"}, {"\xD1\xE0\xEB\xFC\xE4\xEE 12,50"}, {"key with\0nul"}};
    for (const Row& row : rows) {
        CAPTURE(row.text);
        HostString foreign(row.text);
        const LONG refsBefore = foreign.header()->refs;
        String mine;
        mine = *foreign.object();
        CHECK(mine.GetManager() == DefaultStringManager());
        CHECK(mine.view() == foreign.text());
        CHECK(mine.c_str()[mine.GetLength()] == '\0');
        CHECK(foreign.header()->refs == refsBefore);
        if (foreign.text().empty()) CHECK(mine.GetData() == String().GetData());  // our nil
        else CHECK(static_cast<void*>(mine.GetData()) != static_cast<void*>(foreign.header()));

        String constructed(*foreign.object());  // copy construction follows the same rule
        CHECK(constructed.GetManager() == DefaultStringManager());
        CHECK(foreign.header()->refs == refsBefore);
    }
}

TEST_CASE("assignment within one manager shares the block; writing forks it") {
    String a("shared text");
    String b;
    b = a;
    CHECK(b.GetData() == a.GetData());
    CHECK(a.GetData()->refs == 2);
    b += " changed";
    CHECK(b.GetData() != a.GetData());
    CHECK(a == "shared text");
    CHECK(b == "shared text changed");
    CHECK(a.GetData()->refs == 1);

    String same(a);
    same = a;  // the same block already: nothing happens
    CHECK(a.GetData()->refs == 2);
}

TEST_CASE("a locked block is never shared, in either direction") {
    String source("source");
    String locked("destination");
    char* buffer = locked.LockBuffer();
    kit::StringData* lockedBlock = locked.GetData();
    CHECK(lockedBlock->IsLocked());
    locked = source;  // locked destination: copied into its own block
    CHECK(locked.GetData() == lockedBlock);
    CHECK(buffer == locked.c_str());
    CHECK(locked == "source");
    CHECK(source.GetData()->refs == 1);
    locked.UnlockBuffer();
    CHECK(locked.GetData()->refs == 1);

    String lockedSource("locked source");
    lockedSource.LockBuffer();
    String copy;
    copy = lockedSource;  // locked source: copied, not shared
    CHECK(copy.GetData() != lockedSource.GetData());
    CHECK(copy == "locked source");
    lockedSource.UnlockBuffer();
}

TEST_CASE("a manager whose clone is another manager gets a copy through the clone") {
    // A manager that delegates storage to ours but names a different manager as its clone.
    struct Delegating final : kit::IStringManager {
        kit::StringData* Allocate(int chars, int size) override {
            kit::StringData* d = DefaultStringManager()->Allocate(chars, size);
            if (d) d->manager = this;
            return d;
        }
        void Free(kit::StringData* d) override {
            if (d != &nil) {
                d->manager = DefaultStringManager();
                DefaultStringManager()->Free(d);
            }
        }
        kit::StringData* Reallocate(kit::StringData*, int, int) override { return nullptr; }
        kit::StringData* GetNilString() override {
            nil.AddRef();
            return &nil;
        }
        kit::IStringManager* Clone() override { return DefaultStringManager(); }
        kit::StringData nil{this, 0, 0, 2};
        char terminator = 0;
    } delegating;
    {
        String a(&delegating);
        a = "through delegating";
        String b(&delegating);
        b = a;
        CHECK(b.GetData() != a.GetData());
        CHECK(b.GetManager() == DefaultStringManager());
        CHECK(b == "through delegating");
    }
}

TEST_CASE("a block handed back by a foreign manager is released through that manager") {
    const long before = TheHostStringManager().LiveBlocks();
    {
        String out;
        hoststub::HostBlock* hostBlock = TheHostStringManager().Allocate(5);
        std::memcpy(hostBlock->chars(), "hello", 6);
        hostBlock->length = 5;
        // The host replaces the object's pointer with its own block (and releases our nil).
        char** slot = reinterpret_cast<char**>(&out);
        kit::StringData::FromChars(*slot)->Release();
        *slot = hostBlock->chars();
        CHECK(TheHostStringManager().LiveBlocks() == before + 1);
        CHECK(out == "hello");
    }
    CHECK(TheHostStringManager().LiveBlocks() == before);
}

TEST_CASE("out strings round-trip through the stand-in host window") {
    hoststub::StandInHost host;
    host.SetValue("saldo", "\xED\xE5\xF2 123,45");
    host.SetValue("empty", "");
    const long hostBlocks = TheHostStringManager().LiveBlocks();
    struct Row {
        const char* key;
        const char* expected;
    };
    for (const Row& row : {Row{"saldo", "\xED\xE5\xF2 123,45"}, Row{"empty", ""}, Row{"unknown", ""}}) {
        CAPTURE(row.key);
        String key(row.key);
        String out;
        host.RunOnUiThread([&] {
            SendMessageA(host.window(), host::WM_HOST_GET_VALUE, reinterpret_cast<WPARAM>(&key),
                         reinterpret_cast<LPARAM>(&out));
        });
        CHECK(out == row.expected);
        CHECK(out.GetManager() == DefaultStringManager());  // filled through the nil block's manager
        CHECK(key == row.key);
    }
    CHECK(TheHostStringManager().LiveBlocks() == hostBlocks);
}

TEST_CASE("the stand-in host copies a value list by its layout alone") {
    hoststub::StandInHost host;
    host::StatsValueList list;
    for (int i = 0; i < 40; ++i) {  // enough to make the arrays grow several times
        list.keys.Add(String(("key" + std::to_string(i)).c_str()));
        list.values.Add(String(("\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 " + std::to_string(i)).c_str()));
    }
    list.keys.Add(String("key0"));  // a duplicate key: lookups take the first
    list.values.Add(String("second"));
    host.RunOnUiThread([&] {
        SendMessageA(host.window(), host::WM_HOST_STATS_LIST, reinterpret_cast<WPARAM>(&list), 0);
    });
    const auto lists = host.statsLists();
    REQUIRE(lists.size() == 1);
    REQUIRE(lists[0].size() == 41);
    CHECK(lists[0][7] == std::pair<std::string, std::string>("key7", "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 7"));
    CHECK(lists[0][40].second == "second");

    String key("key0"), out;
    host.RunOnUiThread([&] {
        SendMessageA(host.window(), host::WM_HOST_GET_VALUE, reinterpret_cast<WPARAM>(&key), reinterpret_cast<LPARAM>(&out));
    });
    CHECK(out == "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 0");
}

TEST_CASE("strings grow, append and find as texts") {
    String s;
    for (int i = 0; i < 1000; ++i) s += 'x';
    CHECK(s.GetLength() == 1000);
    s.Empty();
    CHECK(s.GetData() == String().GetData());
    String joined = String("code=") + "12" + String("&pass");
    CHECK(joined == "code=12&pass");
    CHECK(joined.Find("12") == 5);
    CHECK(joined.Find("nothing") == -1);
    joined.Append(joined.c_str(), 4);  // appending a part of itself
    CHECK(joined == "code=12&passcode");
}
