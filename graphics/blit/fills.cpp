#include "graphics/blit/fills.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "foundation/image/bitmap.h"
#include "graphics/blit/kernel_area.h"
#include "foundation/core/rect.h"

namespace {

using kernel_detail::SurfacePixels;

// Writes n >= 1 pixels of one colour: the first four by bytes, the rest by doubling copies.
void FillRun(uint8_t* p, int32_t n, uint32_t colour)
{
    const uint8_t b0 = uint8_t(colour), b1 = uint8_t(colour >> 8), b2 = uint8_t(colour >> 16);
    const int32_t seed = std::min(n, 4);
    for (int32_t i = 0; i < seed; ++i) {
        p[3 * i] = b0;
        p[3 * i + 1] = b1;
        p[3 * i + 2] = b2;
    }
    size_t done = size_t(seed) * 3;
    const size_t total = size_t(n) * 3;
    while (done < total) {
        const size_t chunk = std::min(done, total - done);
        std::memcpy(p + done, p, chunk);
        done += chunk;
    }
}

void PutPixel(uint8_t* p, uint32_t colour)
{
    p[0] = uint8_t(colour);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour >> 16);
}

// Draws the inclusive rectangle (l, t, r, b) already inside the surface and not empty.
void FillArea(uint8_t* pixels, ptrdiff_t pitch, int32_t l, int32_t t, int32_t r, int32_t b,
              uint32_t colour)
{
    const int32_t w = r - l + 1;
    uint8_t* first = pixels + ptrdiff_t(t) * pitch + ptrdiff_t(l) * 3;
    FillRun(first, w, colour);
    for (int32_t y = t + 1; y <= b; ++y)
        std::memcpy(pixels + ptrdiff_t(y) * pitch + ptrdiff_t(l) * 3, first, size_t(w) * 3);
}

// Draws the line after clipping it to [cl, cr] x [ct, cb] (inclusive, inside the surface).
void DrawClippedLine(uint8_t* pixels, ptrdiff_t pitch, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                     uint32_t colour, int32_t cl, int32_t ct, int32_t cr, int32_t cb)
{
    if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (y1 == y2) {
        if (y1 < ct || y1 > cb)
            return;
        const int32_t from = std::max(std::min(x1, x2), cl);
        const int32_t to = std::min(std::max(x1, x2), cr);
        if (from <= to)
            FillRun(pixels + ptrdiff_t(y1) * pitch + ptrdiff_t(from) * 3, to - from + 1, colour);
    } else if (x1 == x2) {
        if (x1 < cl || x1 > cr)
            return;
        const int32_t from = std::max(y1, ct);
        const int32_t to = std::min(y2, cb);
        uint8_t* p = pixels + ptrdiff_t(from) * pitch + ptrdiff_t(x1) * 3;
        for (int32_t y = from; y <= to; ++y, p += pitch)
            PutPixel(p, colour);
    }
}

} // namespace

void FillRect(GBitmap* surface, uint32_t colour, const GRect& r)
{
    int32_t w = 0, h = 0;
    ptrdiff_t pitch = 0;
    uint8_t* pixels = SurfacePixels(surface, w, h, pitch);
    if (!pixels)
        return;
    // 32-bit edges: a rectangle spanning the whole 16-bit range must not wrap to empty.
    const int32_t l = std::max<int32_t>(r.left, 0);
    const int32_t t = std::max<int32_t>(r.top, 0);
    const int32_t rr = std::min<int32_t>(r.right, w - 1);
    const int32_t b = std::min<int32_t>(r.bottom, h - 1);
    if (l > rr || t > b)
        return;
    FillArea(pixels, pitch, l, t, rr, b, colour);
}

void DrawLine(GBitmap* surface, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t colour)
{
    int32_t w = 0, h = 0;
    ptrdiff_t pitch = 0;
    uint8_t* pixels = SurfacePixels(surface, w, h, pitch);
    if (!pixels)
        return;
    DrawClippedLine(pixels, pitch, x1, y1, x2, y2, colour, 0, 0, w - 1, h - 1);
}

void DrawLineClipped(GBitmap* surface, int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                     uint32_t colour, const GRect& clip)
{
    int32_t w = 0, h = 0;
    ptrdiff_t pitch = 0;
    uint8_t* pixels = SurfacePixels(surface, w, h, pitch);
    if (!pixels)
        return;
    DrawClippedLine(pixels, pitch, x1, y1, x2, y2, colour, std::max<int32_t>(clip.left, 0),
                    std::max<int32_t>(clip.top, 0), std::min<int32_t>(clip.right, w - 1),
                    std::min<int32_t>(clip.bottom, h - 1));
}
