#include "foundation/core/rect.h"

#include <algorithm>

#include "foundation/image/bitmap.h"

void GRect::SetClamped(int32_t l, int32_t t, int32_t r, int32_t b)
{
    left = ClampToInt16(l);
    top = ClampToInt16(t);
    right = ClampToInt16(r);
    bottom = ClampToInt16(b);
}

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

int UnionRects(GRect& out, const GRect& a, const GRect& b)
{
    const GRect u{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
    out = u;
    return 1;
}

int IntersectRects(GRect& out, const GRect& a, const GRect& b)
{
    if (!RectsOverlap(a, b)) {
        return 0;
    }
    const GRect i{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
    out = i;
    return 1;
}

void GetBitmapBoundsRect(const GBitmap& bitmap, GRect& out)
{
    out.left = 0;
    out.top = 0;
    out.SetSize(bitmap.GetWidth(), bitmap.GetHeight());
}
