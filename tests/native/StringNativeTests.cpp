// The boundary string and string array under the sanitizers: sharing, forking, growth and
// release leave no leak, overflow or use after free.
#include <doctest/doctest.h>

#include <string>

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
