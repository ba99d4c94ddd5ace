#include "foundation/core/rect.h"

#include <algorithm>

#include "foundation/image/bitmap.h"

void GRect::SetSize(int32_t width, int32_t height)
{
    // 64-bit sums: left + width may exceed 32 bits only in theory, but costs nothing here.
    const int64_t r = int64_t(left) + width - 1;
    const int64_t b = int64_t(top) + height - 1;
    right = ClampToInt16(int32_t(std::clamp<int64_t>(r, INT16_MIN, INT16_MAX)));
    bottom = ClampToInt16(int32_t(std::clamp<int64_t>(b, INT16_MIN, INT16_MAX)));
}

void GRect::Offset(int32_t dx, int32_t dy)
{
    auto move = [](int16_t v, int32_t d) {
        return ClampToInt16(int32_t(std::clamp<int64_t>(int64_t(v) + d, INT16_MIN, INT16_MAX)));
    };
    left = move(left, dx);
    right = move(right, dx);
    top = move(top, dy);
    bottom = move(bottom, dy);
}

int64_t GRect::Area() const
{
    if (IsEmpty()) {
        return 0;
    }
    return int64_t(Width()) * Height();
}

void GetBitmapBoundsRect(const GBitmap& bitmap, GRect& out)
{
    out.left = 0;
    out.top = 0;
    out.SetSize(bitmap.GetWidth(), bitmap.GetHeight());
}
