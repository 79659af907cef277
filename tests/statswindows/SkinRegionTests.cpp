// The class library's window region from a skin bitmap: one rectangle per run of pixels that
// differ from the key colour, row by row, compared as exact colours.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "base/Gdi.h"

namespace {

constexpr COLORREF kKey = 0xFAF9F9;

// A picture from rows of text: '.' is the key colour, '#' another colour, 'n' the key's near miss.
struct Picture {
    explicit Picture(const std::vector<std::string>& rows)
        : width(static_cast<int>(rows[0].size())), height(static_cast<int>(rows.size())) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        dc.reset(::CreateCompatibleDC(nullptr));
        old = ::SelectObject(dc.get(), bitmap.get());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const char c = rows[y][x];
                ::SetPixel(dc.get(), x, y, c == '.' ? kKey : c == 'n' ? kKey - 1 : 0x336699);
            }
    }
    ~Picture() { ::SelectObject(dc.get(), old); }

    int width, height;
    kit::UniqueBitmap bitmap;
    kit::UniqueMemoryDC dc;
    HGDIOBJ old = nullptr;
};

// The region as rows of text, for comparison with the picture.
std::vector<std::string> Rows(HRGN region, int width, int height) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) row += ::PtInRegion(region, x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

int RectangleCount(HRGN region) {
    const DWORD size = ::GetRegionData(region, 0, nullptr);
    std::vector<char> data(size);
    ::GetRegionData(region, size, reinterpret_cast<RGNDATA*>(data.data()));
    return static_cast<int>(reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount);
}

}  // namespace

TEST_CASE("the region keeps exactly the pixels that are not the key colour") {
    struct Case {
        const char* name;
        std::vector<std::string> rows;
    } cases[] = {
        {"no key pixel: the full rectangle", {"######", "######", "######"}},
        {"a row all key adds nothing", {"######", "......", "######"}},
        {"a run that reaches the right edge ends at the last column", {"...###", "#....#", "##...."}},
        {"runs split by key pixels", {"#.#.#.", ".#.#.#", "##..##"}},
        {"a near miss of the key colour stays in", {"n.n...", "......", "nnnnnn"}},
        {"everything key: empty", {"......", "......"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        Picture picture(c.rows);
        kit::UniqueRegion region = kit::RegionFromBitmap(picture.dc.get(), picture.width, picture.height, kKey);
        REQUIRE(region);
        std::vector<std::string> expected;
        for (std::string row : c.rows) {
            for (char& ch : row) ch = ch == '.' ? '.' : '#';
            expected.push_back(row);
        }
        CHECK(Rows(region.get(), picture.width, picture.height) == expected);
    }
}

TEST_CASE("a picture without key pixels is one rectangle of its size") {
    Picture picture({"########", "########", "########", "########"});
    kit::UniqueRegion region = kit::RegionFromBitmap(picture.dc.get(), 8, 4, kKey);
    RECT box{};
    CHECK(::GetRgnBox(region.get(), &box) == SIMPLEREGION);
    CHECK(box.left == 0);
    CHECK(box.top == 0);
    CHECK(box.right == 8);
    CHECK(box.bottom == 4);
    CHECK(RectangleCount(region.get()) == 1);
}
