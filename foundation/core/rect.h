#pragma once
// A screen rectangle with inclusive edges (in the foundation because the window keeps its
// inner and ignored areas as rectangles): a rectangle w pixels wide starting at left has
// right = left + w - 1. Coordinates are signed 16-bit, as the dirty list stores them.
//
// Every operation that can move an edge (SetSize, Offset, SetClamped) saturates at the 16-bit
// limits instead of wrapping: a rectangle pushed past the edge of the coordinate space stays
// far off screen rather than reappearing on the opposite side. Union and intersection only
// pick among existing edges and cannot overflow.
//
// A rectangle whose right < left or bottom < top covers no pixel (IsEmpty).

#include <cstdint>

class GBitmap;

// Saturates a 32-bit coordinate to the 16-bit range.
constexpr int16_t ClampToInt16(int32_t v)
{
    return v < INT16_MIN ? int16_t(INT16_MIN) : v > INT16_MAX ? int16_t(INT16_MAX) : int16_t(v);
}

struct GRect {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;

    void Set(int16_t l, int16_t t, int16_t r, int16_t b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    // Stores 32-bit edges, each saturated to the 16-bit range.
    void SetClamped(int32_t l, int32_t t, int32_t r, int32_t b)
    {
        left = ClampToInt16(l);
        top = ClampToInt16(t);
        right = ClampToInt16(r);
        bottom = ClampToInt16(b);
    }
    // Keeps left and top; a width or height of 0 gives an empty rectangle.
    void SetSize(int32_t width, int32_t height);
    void Offset(int32_t dx, int32_t dy);

    bool IsEmpty() const { return right < left || bottom < top; }
    int32_t Width() const { return int32_t(right) - left + 1; }
    int32_t Height() const { return int32_t(bottom) - top + 1; }
    // Pixels covered; 0 for an empty rectangle. 64-bit: a full 16-bit rectangle has 2^32.
    int64_t Area() const;

    int NotEquals(const GRect& other) const
    {
        return left != other.left || top != other.top || right != other.right ||
               bottom != other.bottom;
    }
    bool operator==(const GRect& other) const { return !NotEquals(other); }
};

// 1 when a and b share at least one pixel (inclusive edges), else 0.
inline int RectsOverlap(const GRect& a, const GRect& b)
{
    return a.top <= b.bottom && a.right >= b.left && b.top <= a.bottom && b.right >= a.left;
}

// out = the bounding box of a and b; returns 1. out may alias a or b.
inline int UnionRects(GRect& out, const GRect& a, const GRect& b)
{
    const GRect u{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
                  a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
    out = u;
    return 1;
}

// 0 with out untouched when a and b do not overlap; else out = the shared area and 1.
inline int IntersectRects(GRect& out, const GRect& a, const GRect& b)
{
    if (!RectsOverlap(a, b)) {
        return 0;
    }
    const GRect i{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                  a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    out = i;
    return 1;
}

// (0, 0, width - 1, height - 1) of an image.
void GetBitmapBoundsRect(const GBitmap& bitmap, GRect& out);
