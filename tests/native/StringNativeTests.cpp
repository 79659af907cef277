// The boundary string and string array under the sanitizers: sharing, forking, growth and
// release leave no leak, overflow or use after free.
#include <doctest/doctest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "base/String.h"
#include "base/StringArray.h"

TEST_CASE("shared, forked, grown and released strings stay sound") {
    kit::StringArray array;
    kit::String text("start");
    for (int i = 0; i < 2000; ++i) {
        kit::String copy = text;
        copy += std::to_string(i).c_str();
        array.Add(copy);
        array.Add(array[array.GetSize() - 1]);  // adding one of its own elements while it grows
        if (i % 100 == 0) text = copy;
    }
    CHECK(array.GetSize() == 4000);
    CHECK(array[3999] == array[3998]);
    CHECK(array[3999].GetData() == array[3998].GetData());
    array.RemoveAll();
    CHECK(array.GetSize() == 0);

    kit::String locked("abc");
    char* buffer = locked.LockBuffer(10);
    buffer[3] = 'd';
    buffer[4] = 0;
    locked.UnlockBuffer();
    CHECK(locked == "abcd");
    kit::String other = locked;
    CHECK(other.GetData() == locked.GetData());
}

TEST_CASE("texts added to an array directly and from slabs keep their bytes and lifetimes") {
    kit::StringArray plain;
    plain.AddText("abc", 3);
    plain.AddText("ignored", 0);
    CHECK(plain[0] == "abc");
    CHECK(plain[0].GetManager() == kit::DefaultStringManager());
    CHECK(plain[0].GetData()->capacity == 3);
    CHECK(plain[1].IsEmpty());

    kit::String kept, grown, locked, shared, emptied;
    {
        kit::StringArray keys;
        kit::StringSlab slab;
        // Enough texts for many slabs, one longer than a slab string may be, one with a NUL inside.
        for (int i = 0; i < 20000; ++i) {
            const std::string text = "key_" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 40), 'x');
            keys.AddText(text.data(), static_cast<int>(text.size()), slab);
        }
        const std::string longText(5000, 'L');
        keys.AddText(longText.data(), static_cast<int>(longText.size()), slab);
        keys.AddText("a\0b", 3, slab);
        keys.AddText("", 0, slab);
        REQUIRE(keys.GetSize() == 20003);
        for (int i = 0; i < 20000; i += 997) {
            const std::string text = "key_" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 40), 'x');
            CHECK(keys[i].view() == text);
            CHECK(keys[i].c_str()[keys[i].GetLength()] == 0);
        }
        CHECK(keys[20000].GetLength() == 5000);
        CHECK(keys[20001].view() == std::string_view("a\0b", 3));
        CHECK(keys[20002].IsEmpty());

        kit::IStringManager* slabManager = keys[0].GetManager();
        CHECK(slabManager != kit::DefaultStringManager());
        CHECK(slabManager->Clone() == slabManager);

        kept = keys[5];  // another manager's block: copied into one of our own
        CHECK(kept == keys[5]);
        CHECK(kept.GetData() != keys[5].GetData());
        CHECK(kept.GetManager() == kit::DefaultStringManager());

        keys[7] = keys[8];  // two slab strings share within their manager
        CHECK(keys[7].GetData() == keys[8].GetData());
        CHECK(keys[8].GetData()->refs == 2);
        shared = keys[7];

        grown = keys[9];
        keys[9] += "_more";  // a carved block cannot grow in place: its text moves
        CHECK(keys[9].view() == "key_9xxxxxxxxx_more");
        CHECK(keys[9].GetManager() == kit::DefaultStringManager());

        char* buffer = keys[10].LockBuffer(40);
        std::memcpy(buffer, "locked", 7);
        keys[10].UnlockBuffer();
        locked = keys[10];
        CHECK(locked == "locked");

        keys[11].Empty();
        CHECK(keys[11].IsEmpty());
        emptied = keys[12];
        CHECK(emptied.GetData() != keys[12].GetData());
    }  // the array and the slab go first; every copy above must outlive them intact
    CHECK(kept == "key_5xxxxx");
    CHECK(grown == "key_9xxxxxxxxx");
    CHECK(shared == "key_8xxxxxxxx");
    CHECK(locked == "locked");
    CHECK(emptied == "key_12xxxxxxxxxxxx");

    kit::StringArray array;
    {
        kit::StringSlab slab;
        array.AddText("outlives its slab object", 24, slab);
    }
    kit::String again = array[0];
    array.RemoveAll();
    CHECK(again == "outlives its slab object");
}
