#pragma once
// The blitter kernels' drawing area and walk, shared by graphics/blit/ (and, for the surface
// check, by fonts that draw straight into a surface): how a drawing area is cut to the
// destination and the source placement, whether an image's block holds what a walk reads, and
// where each of the four orientations starts and how it steps.
//
// 32-bit arithmetic throughout (see ClipBlitArea). Nothing here draws.

#include <cstddef>
#include <cstdint>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"

namespace kernel_detail {

// ------------------------------------------------------------------------------------------
// Drawing area

struct GBlitArea {
    int32_t left = 0; // destination column and row of the first drawn pixel
    int32_t top = 0;
    int32_t w = 0; // pixels per row and rows, both > 0 when drawing
    int32_t h = 0;
    int32_t sx0 = 0; // offset of the first drawn pixel inside the source placement
    int32_t sy0 = 0;
};

// One axis of ClipBlitArea: start and length of the run on the side being clipped, partner the
// start of the same run on the other side.
inline void ClipAxis(int32_t& start, int32_t& length, int32_t& partner, int32_t limit)
{
    if (start < 0) {
        length += start;
        partner -= start;
        start = 0;
    }
    if (start + length > limit)
        length = limit - start;
}

// Clips the area of a source of sw x sh pixels placed at (x, y) on a w x h destination, with an
// optional clip rectangle. `inset` is 1 for the sub-pixel kernels drawn without a rectangle,
// whose last source column and row then only serve as neighbours. Returns false when nothing
// is left to draw.
//
// 32-bit arithmetic throughout: 16-bit counters would wrap for rectangles spanning more than
// 32767 pixels, and an inverted rectangle must end here rather than reach a copy as a
// negative length. The area is also cut to the source placement, which callers are meant to
// guarantee; a rectangle that strays outside it can then only draw less, never read
// beyond the source.
[[gnu::always_inline]] inline bool ClipBlitArea(int32_t dstW, int32_t dstH, int32_t sw, int32_t sh, int32_t x, int32_t y,
                         const GRect* clip, int32_t inset, GBlitArea& a)
{
    const int32_t limitW = sw - inset;
    const int32_t limitH = sh - inset;
    if (limitW <= 0 || limitH <= 0 || dstW <= 0 || dstH <= 0)
        return false;
    if (clip) {
        a.left = clip->left;
        a.top = clip->top;
        a.w = int32_t(clip->right) - clip->left + 1;
        a.h = int32_t(clip->bottom) - clip->top + 1;
        a.sx0 = a.left - x;
        a.sy0 = a.top - y;
    } else {
        a.left = x;
        a.top = y;
        a.w = limitW;
        a.h = limitH;
        a.sx0 = 0;
        a.sy0 = 0;
    }
    if (a.w <= 0 || a.h <= 0)
        return false;

    // Destination edges, then the source placement: a start below 0 moves both starts on and
    // shortens the run, a run past its limit is cut.
    ClipAxis(a.left, a.w, a.sx0, dstW);
    ClipAxis(a.top, a.h, a.sy0, dstH);
    if (a.w <= 0 || a.h <= 0)
        return false;
    ClipAxis(a.sx0, a.w, a.left, limitW);
    ClipAxis(a.sy0, a.h, a.top, limitH);
    return a.w > 0 && a.h > 0;
}

// True when `needed` bytes from `p` lie inside the image's block `block`. Images that supply
// their own memory (no block, or a pointer outside it) are taken on trust.
inline bool BlockHolds(const GPixelBlock* block, const uint8_t* p, size_t needed)
{
    if (!block || !block->GetData())
        return true;
    const uint8_t* begin = block->GetData();
    const uint8_t* end = begin + block->GetSize();
    if (p < begin || p > end)
        return true;
    return size_t(end - p) >= needed;
}

// The surface's pixels, or null when it has none or its pitch cannot hold its rows.
inline uint8_t* SurfacePixels(GBitmap* surface, int32_t& w, int32_t& h, ptrdiff_t& pitch)
{
    if (!surface)
        return nullptr;
    uint8_t* pixels = surface->GetPixels();
    w = surface->GetWidth();
    h = surface->GetHeight();
    pitch = surface->GetPitch();
    if (!pixels || w <= 0 || h <= 0 || pitch < ptrdiff_t(w) * 3)
        return nullptr;
    const size_t extent = size_t(pitch * (h - 1) + ptrdiff_t(w) * 3);
    if (!BlockHolds(surface->GetPixelBlock(), pixels, extent))
        return nullptr;
    return pixels;
}

// ------------------------------------------------------------------------------------------
// Orientation: where the walk starts and how it steps. Orientation 1 mirrors left-right,
// 2 flips upside down, 3 does both; mirror and flip are taken about the whole source.

struct GWalk {
    const uint8_t* start = nullptr; // element of the first drawn pixel
    ptrdiff_t step = 0;             // bytes from one pixel to the next within a row
    ptrdiff_t rowStep = 0;          // bytes from just after a row's last pixel to the next row's first
};

template <int O>
struct GOrientation {
    static_assert(O >= 0 && O <= 3);
    static constexpr bool kMirror = (O & 1) != 0;
    static constexpr bool kFlip = (O & 2) != 0;

    // `bpp` bytes per element, `pitch` bytes per row of a source of sw x sh elements.
    static GWalk Start(const uint8_t* base, ptrdiff_t pitch, ptrdiff_t bpp, int32_t sw, int32_t sh,
                       const GBlitArea& a)
    {
        const ptrdiff_t sx = kMirror ? sw - 1 - a.sx0 : a.sx0;
        const ptrdiff_t sy = kFlip ? sh - 1 - a.sy0 : a.sy0;
        GWalk walk;
        walk.start = base + sy * pitch + sx * bpp;
        walk.step = kMirror ? -bpp : bpp;
        walk.rowStep = (kFlip ? -pitch : pitch) - walk.step * a.w;
        return walk;
    }
};

} // namespace kernel_detail
