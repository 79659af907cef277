// Handle owners and the select guard: what an empty owner holds, that moving hands the handle on
// and resetting closes it exactly once, and that the guard puts back only a real previous object.
#include <doctest/doctest.h>

#include <utility>

#include "base/Unique.h"

namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }

}  // namespace

TEST_CASE("an empty owner holds its kind's empty value and owns nothing") {
    kit::UniqueHandle handle;
    kit::UniqueFile file;
    CHECK(handle.get() == nullptr);
    CHECK_FALSE(handle);
    CHECK(file.get() == INVALID_HANDLE_VALUE);
    CHECK_FALSE(file);
    // A failed CreateFile gives INVALID_HANDLE_VALUE: its owner is empty, not an owner of -1.
    kit::UniqueFile missing(::CreateFileA("Z:\\no\\such\\folder\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          0, nullptr));
    CHECK_FALSE(missing);
    // For the null-empty kind a null handle is empty; for the invalid-empty kind it is a value.
    kit::UniqueFile nullFile(nullptr);
    CHECK(static_cast<bool>(nullFile));
    CHECK(nullFile.release() == nullptr);
}

TEST_CASE("reset closes the old handle once; release hands it out unclosed") {
    const HANDLE first = NewEvent();
    const HANDLE second = NewEvent();
    REQUIRE(first);
    REQUIRE(second);
    kit::UniqueHandle owner(first);
    owner.reset(second);
    CHECK_FALSE(IsOpen(first));
    CHECK(IsOpen(second));
    CHECK(owner.get() == second);

    const HANDLE released = owner.release();
    CHECK(released == second);
    CHECK_FALSE(owner);
    owner.reset();  // empty: closes nothing
    CHECK(IsOpen(second));
    ::CloseHandle(released);

    kit::UniqueFile file(NewEvent());
    const HANDLE inFile = file.get();
    HANDLE* slot = file.put();  // an out-parameter slot: the old handle goes first
    CHECK_FALSE(IsOpen(inFile));
    CHECK(*slot == INVALID_HANDLE_VALUE);
}

TEST_CASE("moving hands the handle on; the moved-to owner's old handle is closed") {
    const HANDLE a = NewEvent();
    const HANDLE b = NewEvent();
    kit::UniqueHandle source(a);
    kit::UniqueHandle moved(std::move(source));
    CHECK(moved.get() == a);
    CHECK(source.get() == nullptr);  // NOLINT: the moved-from state is part of the contract
    CHECK(IsOpen(a));

    kit::UniqueHandle target(b);
    target = std::move(moved);
    CHECK(target.get() == a);
    CHECK_FALSE(moved);  // NOLINT
    CHECK_FALSE(IsOpen(b));
    CHECK(IsOpen(a));

    kit::UniqueFile fileSource(NewEvent());
    kit::UniqueFile fileTarget(std::move(fileSource));
    CHECK(fileSource.get() == INVALID_HANDLE_VALUE);  // NOLINT
    CHECK(static_cast<bool>(fileTarget));

    target = std::move(target);  // NOLINT: self-move keeps the handle
    CHECK(target.get() == a);
    CHECK(IsOpen(a));
}

TEST_CASE("the select guard puts back only a real previous object") {
    const HDC dc = ::CreateCompatibleDC(nullptr);
    REQUIRE(dc);
    const HGDIOBJ stockFont = ::GetCurrentObject(dc, OBJ_FONT);
    kit::UniqueFont font(::CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    REQUIRE(font);

    SUBCASE("a font replaces the previous one until the scope ends") {
        {
            kit::SelectGuard guard(dc, font.get());
            CHECK(static_cast<bool>(guard));
            CHECK(::GetCurrentObject(dc, OBJ_FONT) == font.get());
        }
        CHECK(::GetCurrentObject(dc, OBJ_FONT) == stockFont);
    }
    SUBCASE("a region becomes the clip region; its complexity code is no object to put back") {
        kit::UniqueRegion region(::CreateRectRgn(0, 0, 10, 10));
        {
            kit::SelectGuard guard(dc, region.get());
            CHECK_FALSE(guard);
        }
        kit::UniqueRegion clip(::CreateRectRgn(0, 0, 0, 0));
        CHECK(::GetClipRgn(dc, clip.get()) == 1);  // the clip stays as selected
        CHECK(::GetCurrentObject(dc, OBJ_FONT) == stockFont);
    }
    SUBCASE("a failed selection puts nothing back") {
        kit::SelectGuard intoNoDc(nullptr, font.get());
        CHECK_FALSE(intoNoDc);
        kit::SelectGuard noObject(dc, nullptr);
        CHECK_FALSE(noObject);
        CHECK(::GetCurrentObject(dc, OBJ_FONT) == stockFont);
    }
    ::DeleteDC(dc);
}
