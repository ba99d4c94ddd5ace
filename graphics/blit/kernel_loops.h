#pragma once
// The loops of the blitter kernels, shared by graphics/blit/kernels_*.cpp only: the one walk
// that joins a pixel rule to an orientation. Each named kernel is RunBlit instantiated for one
// rule and one orientation, so no pixel loop ever tests a mode or an orientation.
//
// Memory contract, enforced here rather than trusted: the area is cut to the destination and to
// the source placement, the source block must hold every byte the walk reads (else nothing is
// drawn), and the loops touch no byte outside the drawn area of the destination.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/blit_runs.h"
#include "graphics/blit/kernel_area.h"
#include "graphics/blit/kernel_palette_rules.h"
#include "graphics/blit/kernel_rules.h"

namespace kernel_detail {

// ------------------------------------------------------------------------------------------
// The driver: clip, locate, walk. Reads the images' virtual operations once, here.

template <class Rule>
constexpr bool kIsSubPixel = Rule::kInset != 0;

// n pixels of one run kind, in walk order from d, s and m.
template <bool Mirror, class Rule>
[[gnu::always_inline]] inline void DrawSpan(const Rule& rule, GRunKind kind, uint8_t* d, const uint8_t* s, const uint8_t* m, int n,
              ptrdiff_t sStep, ptrdiff_t mStep)
{
    if (kind == GRunKind::Opaque && rule.template Opaque<Mirror>(d, s, m, n))
        return;
    const int done = rule.template Row<Mirror>(d, s, m, n);
    d += ptrdiff_t(done) * 3;
    s += sStep * done;
    m += mStep * done;
    for (int i = done; i < n; ++i, d += 3, s += sStep, m += mStep)
        rule.Apply(d, s, m);
}

// The walk over a run table: per drawn row, the runs that meet the area's source columns, each
// cut to them. Mirrored, a run's last source column is drawn first, at the run's mirrored place.
template <int O, class Rule>
void DrawRuns(const Rule& rule, const GBlitRuns& runs, uint8_t* d, ptrdiff_t dstPitch, const GBlitArea& a,
              const uint8_t* elements, ptrdiff_t pitch, ptrdiff_t bpp, const uint8_t* mask, int32_t sw,
              int32_t sh)
{
    using Orient = GOrientation<O>;
    constexpr bool kMirror = Orient::kMirror;
    const int32_t c0 = kMirror ? sw - a.sx0 - a.w : a.sx0; // source columns [c0, c1)
    const int32_t c1 = c0 + a.w;
    const ptrdiff_t sStep = kMirror ? -bpp : bpp;
    const ptrdiff_t mStep = Rule::kMask ? (kMirror ? -1 : 1) : 0;
    // The span of source columns [from, to) of a run, drawn from d.
    auto span = [&](int32_t row, uint32_t run, int32_t from, int32_t to, uint8_t* rowStart)
                    __attribute__((always_inline)) {
        const int32_t first = kMirror ? to - 1 : from; // source column drawn first
        const uint8_t* s = nullptr;
        const uint8_t* m = nullptr;
        if constexpr (Rule::kSource != GSourceKind::MaskOnly)
            s = elements + row * pitch + first * bpp;
        if constexpr (Rule::kMask)
            m = mask + ptrdiff_t(row) * sw + first;
        uint8_t* at = rowStart + ptrdiff_t(kMirror ? c1 - to : from - c0) * 3;
        DrawSpan<kMirror>(rule, GBlitRuns::Kind(run), at, s, m, to - from, sStep, mStep);
    };
    const bool wholeRows = c0 == 0 && c1 == sw;
    for (int32_t j = 0; j < a.h; ++j, d += dstPitch) {
        const int32_t row = Orient::kFlip ? sh - 1 - (a.sy0 + j) : a.sy0 + j;
        const uint32_t* r = runs.RowBegin(row);
        const uint32_t* end = runs.RowEnd(row);
        int32_t x = 0;
        if (r == end)
            continue;
        if (wholeRows) {
            // No run needs cutting, the common case of a sprite drawn whole: the runs in walk
            // order (backwards when mirrored), pointers stepping from run to run.
            // Mirrored, the walk starts at the last column the runs cover (key tables leave
            // out a row's last Skip run).
            int32_t covered = sw;
            if constexpr (kMirror) {
                covered = 0;
                for (const uint32_t* q = r; q != end; ++q)
                    covered += GBlitRuns::Length(*q);
            }
            const uint8_t* s = nullptr;
            const uint8_t* m = nullptr;
            if constexpr (Rule::kSource != GSourceKind::MaskOnly)
                s = elements + row * pitch + (kMirror ? (covered - 1) * bpp : 0);
            if constexpr (Rule::kMask)
                m = mask + ptrdiff_t(row) * sw + (kMirror ? covered - 1 : 0);
            uint8_t* at = d + ptrdiff_t(sw - covered) * 3;
            for (int32_t left = int32_t(end - r); left > 0; --left) {
                const uint32_t run = kMirror ? r[left - 1] : *r++;
                const int32_t n = GBlitRuns::Length(run);
                if (!rule.Skips(GBlitRuns::Kind(run)))
                    DrawSpan<kMirror>(rule, GBlitRuns::Kind(run), at, s, m, n, sStep, mStep);
                at += ptrdiff_t(n) * 3;
                s += sStep * n;
                m += mStep * n;
            }
            continue;
        }
        for (; r != end && x < c1; ++r) {
            const int32_t from = x > c0 ? x : c0;
            x += GBlitRuns::Length(*r);
            const int32_t to = x < c1 ? x : c1;
            if (from < to && !rule.Skips(GBlitRuns::Kind(*r)))
                span(row, *r, from, to, d);
        }
    }
}

// The destination as the loops write it, read once per call.
struct GBlitTarget {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t w = 0;
    int32_t h = 0;
};

// False when the destination has no pixels, rows shorter than its width, or a block too small
// for its rows.
inline bool PrepareTarget(GBitmap* dst, GBlitTarget& t)
{
    t.pixels = dst->GetPixels();
    t.pitch = dst->GetPitch();
    t.w = dst->GetWidth();
    t.h = dst->GetHeight();
    if (!t.pixels || t.pitch < t.w * 3)
        return false;
    return t.w <= 0 || t.h <= 0 ||
           BlockHolds(dst->GetPixelBlock(), t.pixels,
                      size_t(ptrdiff_t(t.pitch) * (t.h - 1) + ptrdiff_t(t.w) * 3));
}

// What a rule's walk reads of its source image, checked against the image's blocks once per
// call: the elements (24-bit pixels or index bytes), the mask, and what the rule is told.
struct GBlitSource {
    const uint8_t* block = nullptr; // the image's pixels, before any palette header
    const uint8_t* elements = nullptr;
    ptrdiff_t pitch = 0; // bytes per row of elements
    ptrdiff_t bpp = 0;   // bytes per element
    const uint8_t* mask = nullptr; // rows of sw bytes
    int32_t sw = 0;
    int32_t sh = 0;
    GSourceInfo info;
};

// False when the source lacks a block its rule reads, or a block cannot hold every byte the
// walk may reach: the last element, or for the sub-pixel rules the spare pixel after the spare
// row (the diagonal neighbour of the last pixel in the linear buffer).
template <class Rule>
bool PrepareSource(const GBitmap& src, GBlitSource& s)
{
    s.sw = src.GetWidth();
    s.sh = src.GetHeight();
    s.info.key = src.GetKeyColour();
    auto extent = [&](ptrdiff_t pitch, ptrdiff_t bpp) {
        return size_t(kIsSubPixel<Rule> ? pitch * s.sh + bpp * s.sw + bpp : pitch * (s.sh - 1) + bpp * s.sw);
    };
    if constexpr (Rule::kSource != GSourceKind::MaskOnly) {
        const uint8_t* block = src.GetPixels();
        if (!block)
            return false;
        s.block = block;
        if constexpr (Rule::kSource == GSourceKind::Rgb24) {
            s.bpp = 3;
            s.pitch = src.GetPitch();
            if (s.pitch < s.sw * 3)
                return false;
            s.elements = block;
        } else if constexpr (Rule::kSource == GSourceKind::Indexed) {
            s.bpp = 1;
            s.pitch = s.sw;
            // The header and palette are read whole, entry 255 as 4 bytes: one past the palette.
            if (!BlockHolds(src.GetPixelBlock(), block, 2 + 256 * 3 + 1))
                return false;
            uint16_t offset = 0;
            std::memcpy(&offset, block, sizeof offset);
            // The offset comes from the image's bytes: one pointing past its own block would
            // be taken for memory the image supplies itself and escape the check below.
            if (const GPixelBlock* own = src.GetPixelBlock(); own && own->GetData() == block && offset > own->GetSize())
                return false;
            s.info.palette = block + 2;
            s.elements = block + offset;
        } else {
            s.bpp = 1;
            s.pitch = s.sw;
            s.elements = block;
        }
        if (!BlockHolds(src.GetPixelBlock(), s.elements, extent(s.pitch, s.bpp)))
            return false;
    }
    if constexpr (Rule::kMask) {
        s.mask = src.GetAlpha();
        if (!s.mask || !BlockHolds(src.GetAlphaBlock(), s.mask, extent(s.sw, 1)))
            return false;
    }
    return true;
}

// Sub-pixel neighbours follow the walk: left when mirrored (unless the rule always looks right),
// up when flipped.
template <int O, class Rule>
constexpr bool kLooksLeft = kIsSubPixel<Rule> && GOrientation<O>::kMirror && Rule::kNeighbourFollowsMirror;
template <int O, class Rule>
constexpr bool kLooksUp = kIsSubPixel<Rule> && GOrientation<O>::kFlip;

// The drawn area of a source of sw x sh placed at (x, y).
template <int O, class Rule>
bool ClipArea(const GBlitTarget& t, int32_t sw, int32_t sh, int16_t x, int16_t y, const GRect* clip,
              GBlitArea& a)
{
    if (!clip || !kIsSubPixel<Rule>)
        return ClipBlitArea(t.w, t.h, sw, sh, x, y, clip, Rule::kInset, a);
    // A rectangle may reach every pixel whose neighbours lie inside the block with its spare
    // row and pixel: right and down always do (column sw of a row is the next row's first
    // pixel, row sh the spare row). Only the source column or row 0 of a walk that looks left
    // or up would read before the block; both sit at the placement's far end.
    return ClipBlitArea(t.w, t.h, sw - (kLooksLeft<O, Rule> ? 1 : 0), sh - (kLooksUp<O, Rule> ? 1 : 0), x, y,
                        clip, 0, a);
}

// A keyed or masked sprite drawn at full width, unmirrored, by the instruction set's run loop
// of its rule, which needs nothing prepared; false when there is none or it does not apply.
template <int O, class Rule>
bool DrawWholeRuns(const GBlitRuns* runs, uint8_t* d, int32_t dstPitch, const GBlitArea& a, const GBlitSource& s)
{
    using Orient = GOrientation<O>;
    if constexpr (!Orient::kMirror && std::is_same_v<Rule, GRuleIndexedKey>) {
        const GPaletteRunsFn draw =
            runs && a.sx0 == 0 && a.w == s.sw ? PaletteRunsWhole() : nullptr;
        if (!draw)
            return false;
        draw(d, dstPitch, s.elements, s.pitch, s.info.palette, *runs,
             Orient::kFlip ? s.sh - 1 - a.sy0 : a.sy0, Orient::kFlip ? -1 : 1, a.h);
        return true;
    } else if constexpr (!Orient::kMirror) {
        const GDrawRunsFn draw = runs && a.sx0 == 0 && a.w == s.sw ? Rule::WholeRuns() : nullptr;
        if (!draw)
            return false;
        draw(d, dstPitch, s.elements, s.pitch, s.mask, s.sw, *runs, Orient::kFlip ? s.sh - 1 - a.sy0 : a.sy0,
             Orient::kFlip ? -1 : 1, a.h);
        return true;
    } else {
        return false;
    }
}

// Every pixel of the area, row by row: the rule's row prefix, then its pixel step.
template <int O, class Rule>
void DrawRows(Rule& rule, uint8_t* d, int32_t dstPitch, const GBlitArea& a, const GBlitSource& src)
{
    using Orient = GOrientation<O>;
    GWalk s{};
    if constexpr (Rule::kSource != GSourceKind::MaskOnly)
        s = Orient::Start(src.elements, src.pitch, src.bpp, src.sw, src.sh, a);
    GWalk m{};
    if constexpr (Rule::kMask)
        m = Orient::Start(src.mask, src.sw, 1, src.sw, src.sh, a);
    if constexpr (kIsSubPixel<Rule>) {
        const ptrdiff_t hx = kLooksLeft<O, Rule> ? -1 : 1;
        const ptrdiff_t vy = kLooksUp<O, Rule> ? -1 : 1;
        rule.SetNeighbours(hx * src.bpp, vy * src.pitch, hx, vy * src.sw);
    }
    const ptrdiff_t dRowStep = dstPitch - ptrdiff_t(a.w) * 3;
    const uint8_t* sp = s.start;
    const uint8_t* mp = m.start;
    for (int32_t j = 0; j < a.h; ++j) {
        const int done = rule.template Row<Orient::kMirror>(d, sp, mp, a.w);
        d += ptrdiff_t(done) * 3;
        sp += s.step * done;
        mp += m.step * done;
        for (int32_t i = done; i < a.w; ++i) {
            rule.Apply(d, sp, mp);
            d += 3;
            sp += s.step;
            mp += m.step;
        }
        d += dRowStep;
        sp += s.rowStep;
        mp += m.rowStep;
    }
}

// An area the instruction set draws by one call for the whole of it, which needs nothing the
// rule prepares: unmirrored copies and plain palette colours. A small image then pays one call,
// not one a row, and no choice of row functions. False when the rule has no such call.
template <int O, class Rule>
bool DrawWholeArea(uint8_t* d, int32_t dstPitch, const GBlitArea& a, const GBlitSource& src)
{
    using Orient = GOrientation<O>;
    if constexpr (std::is_same_v<Rule, GRuleCopy> && !Orient::kMirror) {
        const GWalk s = Orient::Start(src.elements, src.pitch, src.bpp, src.sw, src.sh, a);
        const ptrdiff_t row = ptrdiff_t(a.w) * 3;
        if (!Orient::kFlip && dstPitch == row && src.pitch == row) {
            // Whole rows of both images, one after the other in each (a full-screen
            // background): one block copy rather than one a row.
            std::memcpy(d, s.start, size_t(row) * size_t(a.h));
            return true;
        }
        // Flipped or not, each row is one block.
        const GCopyRowsFn copy = CopyRowsWhole();
        if (!copy)
            return false;
        copy(d, dstPitch, s.start, s.rowStep + s.step * a.w, size_t(row), a.h);
        return true;
    } else if constexpr (std::is_same_v<Rule, GRuleIndexed>) {
        const GPaletteRowsFn rows = PaletteRowsWhole(Orient::kMirror);
        if (!rows || !src.info.palette)
            return false;
        const GWalk s = Orient::Start(src.elements, src.pitch, src.bpp, src.sw, src.sh, a);
        rows(d, dstPitch, s.start, s.rowStep + s.step * a.w, src.info.palette, a.w, a.h);
        return true;
    } else {
        return false;
    }
}

// The area row by row: the rule's preparation, then its rows.
template <int O, class Rule>
void DrawRowsOf(Rule& rule, uint8_t* d, int32_t dstPitch, const GBlitArea& a, GBlitSource& s)
{
    s.info.pixels = int64_t(a.w) * a.h;
    if (rule.template Prepare<GOrientation<O>::kMirror>(s.info))
        DrawRows<O>(rule, d, dstPitch, a, s);
}

// One kernel: the destination and the area, then the source, then its run table or its rows.
template <int O, class Rule>
void RunBlit(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, Rule&& rule, const GRect* clip)
{
    GBlitTarget t;
    if (!dst || !src || !PrepareTarget(dst, t))
        return;
    GBlitArea a;
    if (!ClipArea<O, Rule>(t, src->GetWidth(), src->GetHeight(), x, y, clip, a))
        return;
    GBlitSource s;
    if (!PrepareSource<Rule>(*src, s))
        return;
    uint8_t* d = t.pixels + ptrdiff_t(a.top) * t.pitch + ptrdiff_t(a.left) * 3;
    const GBlitRuns* runs = nullptr;
    if constexpr (Rule::kRuns != GRunSource::None) {
        if constexpr (!GOrientation<O>::kMirror && Rule::kRowsBelow > 0) {
            if (a.w >= Rule::kRowsFrom && a.w < Rule::kRowsBelow)
                return DrawRowsOf<O>(rule, d, t.pitch, a, s);
        }
        runs = GBlitRuns::Of(*src, Rule::kRuns, s.block, s.mask);
        if (DrawWholeRuns<O, Rule>(runs, d, t.pitch, a, s))
            return;
    }
    if (DrawWholeArea<O, Rule>(d, t.pitch, a, s))
        return;
    s.info.pixels = int64_t(a.w) * a.h;
    if (!rule.template Prepare<GOrientation<O>::kMirror>(s.info))
        return;
    if (runs) {
        DrawRuns<O>(rule, *runs, d, t.pitch, a, s.elements, s.pitch, s.bpp, s.mask, s.sw, s.sh);
        return;
    }
    DrawRows<O>(rule, d, t.pitch, a, s);
}

} // namespace kernel_detail
