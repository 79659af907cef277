#include "base/Gdi.h"

namespace kit {

UniqueRegion RegionFromBitmap(HDC dc, int width, int height, COLORREF key) {
    UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
    if (!region) return region;
    for (int y = 0; y < height; ++y) {
        int x = 0;
        while (x < width) {
            while (x < width && ::GetPixel(dc, x, y) == key) ++x;
            const int start = x;
            while (x < width && ::GetPixel(dc, x, y) != key) ++x;
            if (x > start) {
                UniqueRegion run(::CreateRectRgn(start, y, x, y + 1));
                if (!run) return UniqueRegion();
                ::CombineRgn(region.get(), region.get(), run.get(), RGN_OR);
            }
        }
    }
    return region;
}

UniqueBitmap LoadBitmapResource(HINSTANCE module, int id, SIZE* size) {
    UniqueBitmap bitmap(static_cast<HBITMAP>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0)));
    if (size) {
        BITMAP info{};
        if (bitmap && ::GetObjectA(bitmap.get(), sizeof info, &info)) {
            size->cx = info.bmWidth;
            size->cy = info.bmHeight;
        } else {
            size->cx = size->cy = 0;
        }
    }
    return bitmap;
}

}  // namespace kit
