#pragma once
// The pixel rules of the blitter kernels, shared by graphics/blit/ only: what each rule does to
// one pixel, which SIMD row and run functions it may hand whole stretches to, and what it asks
// of its source. The palettised rules are in kernel_palette_rules.h; the loops that join a
// rule to an orientation in kernel_loops.h.
//
// Arithmetic of every rule: bytes widened to int, products in 32 bits, ">> n" an arithmetic
// shift (floor division by 2^n), the low 8 bits stored. All rules keep their results inside
// 0..255 (each is a weighted step from one byte toward another), so nothing saturates.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "graphics/blit/blit_runs.h"

namespace kernel_detail {

// ------------------------------------------------------------------------------------------
// Source description handed to a rule before the walk

enum class GSourceKind : uint8_t {
    Rgb24,    // 3 bytes per pixel, rows of the image's pitch
    Indexed,  // block = u16 offset to the indices, 256 x 3-byte palette at +2, indices, rows of SW
    Table,    // indices from the block start, rows of SW; colours from a caller's 4-byte table
    MaskOnly, // no colours read; only the mask is walked
};

struct GSourceInfo {
    const uint8_t* palette = nullptr; // Indexed: block + 2 (entries of 3 bytes)
    uint32_t key = 0;                 // the source's key colour field
    int64_t pixels = 0;               // pixels in the clipped drawing area
};

// Row fast paths of the SIMD file, one per 24-bit operation and walk direction. A row function
// draws a prefix of a row and returns how many pixels it drew (the scalar loop does the rest).
// s and m point at the row's first source pixel and mask byte; for `mirror` the source is read
// backwards from there. Arguments travel by value in one small struct.
enum class GSimdOp : uint8_t { Copy, Key, Mask, MaskAlpha, Alpha, KeyAlpha, Lighten, Darken, Count };

struct GSimdArgs {
    uint32_t key = 0;
    uint8_t alpha = 0;
};

using GSimdRowFn = int (*)(uint8_t* d, const uint8_t* s, const uint8_t* m, int w, GSimdArgs args);

// The row function of the selected instruction set for op and direction, or null for scalar.
GSimdRowFn SimdRow(GSimdOp op, bool mirror);

// Whole unmirrored rows, `width` pixels each, of a run table of 24-bit pixels drawn by the key
// or the mask rule: of `rows` rows, the first `row`, the next rowStep further (-1 when
// flipped), leaves the Skip runs, copies the Opaque ones and blends the Blend ones (mask tables
// only) by the mask bytes m, rows `width` apart. Rows of s lie srcPitch bytes apart, rows of d
// dstPitch. Null for scalar.
using GDrawRunsFn = void (*)(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s, ptrdiff_t srcPitch,
                             const uint8_t* m, int32_t width, const GBlitRuns& runs, int32_t row,
                             int32_t rowStep, int32_t rows);
GDrawRunsFn DrawRunsWhole();
// The same for the lighten rule over a mask table: leaves the Opaque runs (mask 0) and
// lightens the rest by their mask bytes; s is not read. Null for scalar.
GDrawRunsFn LightenRunsWhole();

// `rows` rows of `bytes` bytes each copied as they are, from s to d; rows of s lie srcPitch
// bytes apart (negative walks up), rows of d dstPitch. One call for the whole area, so a small
// image pays for one call, not one a row. Null for scalar.
using GCopyRowsFn = void (*)(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s, ptrdiff_t srcPitch,
                             size_t bytes, int32_t rows);
GCopyRowsFn CopyRowsWhole();

// The palette colours of n index bytes as 24-bit pixels, exactly n * 3 bytes from d; indices
// read forwards from s, or backwards when mirrored; palette entries of `Entry` bytes (3 for an
// image's own palette, 4 for a caller's table), every one readable as 4 bytes. Null for
// scalar.
using GPaletteRunFn = void (*)(uint8_t* d, const uint8_t* s, int n, const uint8_t* palette);
GPaletteRunFn PaletteRun(int entry, bool mirror);

// `rows` rows of `width` palette colours (entries of 3 bytes), each row's indices read as
// PaletteRun reads them from s, the next row's first index srcPitch bytes further (negative
// walks up), rows of d dstPitch apart. One call for the whole area. Null for scalar.
using GPaletteRowsFn = void (*)(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s,
                                ptrdiff_t srcPitch, const uint8_t* palette, int32_t width,
                                int32_t rows);
GPaletteRowsFn PaletteRowsWhole(bool mirror);

// Whole unmirrored rows of an index key table (GRunSource::IndexedKey): leaves the Skip runs
// and draws the palette colours (entries of 3 bytes) of the Opaque ones, rows as for
// GDrawRunsFn. Null for scalar.
using GPaletteRunsFn = void (*)(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s,
                                ptrdiff_t srcPitch, const uint8_t* palette, const GBlitRuns& runs,
                                int32_t row, int32_t rowStep, int32_t rows);
GPaletteRunsFn PaletteRunsWhole();

// ------------------------------------------------------------------------------------------
// Pixel rules. Each has:
//   kSource, kMask, kInset (1 for sub-pixel), kNeighbourFollowsMirror (sub-pixel only)
//   bool Prepare<Mirror>(info)  - once per call, false draws nothing
//   void Apply(d, s, m) const   - one pixel; d the 3 destination bytes, s the source element,
//                                 m the mask byte (unused when the rule has no mask)
//   int Row<Mirror>(d, s, m, w) - optional fast prefix of a row
// and, for images with a run table (blit_runs.h):
//   kRuns                       - the table the rule can walk (None: it walks pixels)
//   bool Skips(kind)            - runs of this kind draw nothing
//   bool Opaque<Mirror>(d, s, m, n) - optional: draws a whole Opaque run, true when it did
// The base supplies the defaults.

struct GRuleBase {
    static constexpr GSourceKind kSource = GSourceKind::Rgb24;
    static constexpr bool kMask = false;
    static constexpr int32_t kInset = 0;
    static constexpr bool kNeighbourFollowsMirror = false;
    static constexpr GRunSource kRuns = GRunSource::None;
    // Unmirrored areas at least kRowsFrom and narrower than kRowsBelow pixels are drawn row by
    // row even where the image has a run table: one or two SIMD windows cover such a row, where
    // its runs would take a window or a store each.
    static constexpr int32_t kRowsFrom = 0;
    static constexpr int32_t kRowsBelow = 0;
    // The instruction set's loop over whole unmirrored rows of the rule's run table, or null.
    static GDrawRunsFn WholeRuns() { return nullptr; }

    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { return true; }
    template <bool Mirror>
    int Row(uint8_t*, const uint8_t*, const uint8_t*, int) const { return 0; }
    static bool Skips(GRunKind kind) { return kind == GRunKind::Skip; }
    template <bool Mirror>
    bool Opaque(uint8_t*, const uint8_t*, const uint8_t*, int) const { return false; }
};

inline uint32_t Rgb24(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

// The one pixel copy of the opaque cases: three byte stores, as a wider store would write
// past the pixel into a neighbour that must stay.
inline void CopyPixel(uint8_t* d, const uint8_t* s)
{
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
}

// An opaque run of 24-bit pixels, all drawn as they are: one block copy, or mirrored, the SIMD
// row and a scalar tail.
struct GCopyRun {
    GSimdRowFn m_row = nullptr;
    template <bool Mirror>
    void Pick()
    {
        if constexpr (Mirror)
            m_row = SimdRow(GSimdOp::Copy, true);
    }
    template <bool Mirror>
    [[gnu::always_inline]] void Draw(uint8_t* d, const uint8_t* s, int n) const
    {
        // Unmirrored runs go to the library copy, which measured as fast as the SIMD short-row
        // copy here and saves the call through a pointer.
        if constexpr (!Mirror) {
            std::memcpy(d, s, size_t(n) * 3);
            return;
        }
        int done = m_row ? m_row(d, s, nullptr, n, GSimdArgs{}) : 0;
        constexpr ptrdiff_t step = Mirror ? -3 : 3;
        for (; done < n; ++done)
            CopyPixel(d + ptrdiff_t(done) * 3, s + step * done);
    }
};

// d + ((s - d) * a >> 8): the alpha step shared by the alpha rules; a = 255 stops one short.
inline uint8_t AlphaStep(int d, int s, int a) { return uint8_t(d + (((s - d) * a) >> 8)); }
// s + ((d - s) * m >> 8): the mask step, weighing the destination by m.
inline uint8_t MaskStep(int d, int s, int m) { return uint8_t(s + (((d - s) * m) >> 8)); }
// d + ((s - d) * k >> 16) with k = (255 - m) * a.
inline uint8_t MaskAlphaStep(int d, int s, int k) { return uint8_t(d + (((s - d) * k) >> 16)); }

// A rule that may hand whole-row prefixes to a SIMD row function picked once per call.
template <GSimdOp Op>
struct GSimdRule : GRuleBase {
    GSimdRowFn m_simd = nullptr;
    GSimdArgs m_simdArgs{};

    template <bool Mirror>
    void PickSimd() { m_simd = SimdRow(Op, Mirror); }
    template <bool Mirror>
    int Row(uint8_t* d, const uint8_t* s, const uint8_t* m, int w) const
    {
        return m_simd ? m_simd(d, s, m, w, m_simdArgs) : 0;
    }
};

// A SIMD rule whose Opaque runs are 24-bit pixels copied as they are.
template <GSimdOp Op>
struct GCopyingRule : GSimdRule<Op> {
    static GDrawRunsFn WholeRuns() { return DrawRunsWhole(); }
    GCopyRun m_copy;

    template <bool Mirror>
    void PickRows()
    {
        this->template PickSimd<Mirror>();
        m_copy.Pick<Mirror>();
    }
    template <bool Mirror>
    bool Opaque(uint8_t* d, const uint8_t* s, const uint8_t*, int n) const
    {
        m_copy.Draw<Mirror>(d, s, n);
        return true;
    }
};

struct GRuleCopy : GSimdRule<GSimdOp::Copy> {
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { PickSimd<Mirror>(); return true; }
    // Unmirrored rows are contiguous in both images: one block copy per row (inline SIMD for
    // short rows, else the library memcpy).
    template <bool Mirror>
    int Row(uint8_t* d, const uint8_t* s, const uint8_t* m, int w) const
    {
        if constexpr (!Mirror) {
            if (GSimdRule<GSimdOp::Copy>::Row<Mirror>(d, s, m, w) == 0)
                std::memcpy(d, s, size_t(w) * 3);
            return w;
        } else {
            return GSimdRule<GSimdOp::Copy>::Row<Mirror>(d, s, m, w);
        }
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        CopyPixel(d, s);
    }
};

// The key colour is compared as a 32-bit number with the pixel's 24-bit value, so a key with
// any of its top 8 bits set never matches.
struct GRuleKey : GCopyingRule<GSimdOp::Key> {
    static constexpr GRunSource kRuns = GRunSource::Key;
    uint32_t m_key = 0;
    template <bool Mirror>
    bool Prepare(const GSourceInfo& info)
    {
        m_key = info.key;
        m_simdArgs.key = info.key;
        PickRows<Mirror>();
        return true;
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        if (Rgb24(s) == m_key)
            return;
        CopyPixel(d, s);
    }
};

struct GRuleAlpha : GSimdRule<GSimdOp::Alpha> {
    int m_a;
    explicit GRuleAlpha(uint8_t a) : m_a(a) { m_simdArgs.alpha = a; }
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { PickSimd<Mirror>(); return true; }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        d[0] = AlphaStep(d[0], s[0], m_a);
        d[1] = AlphaStep(d[1], s[1], m_a);
        d[2] = AlphaStep(d[2], s[2], m_a);
    }
};

struct GRuleKeyAlpha : GSimdRule<GSimdOp::KeyAlpha> {
    static constexpr GRunSource kRuns = GRunSource::Key;
    int m_a;
    uint32_t m_key = 0;
    GSimdRowFn m_alphaRow = nullptr; // drawn runs hold no keyed pixel: the plain alpha step
    explicit GRuleKeyAlpha(uint8_t a) : m_a(a) { m_simdArgs.alpha = a; }
    template <bool Mirror>
    bool Prepare(const GSourceInfo& info)
    {
        m_key = info.key;
        m_simdArgs.key = info.key;
        PickSimd<Mirror>();
        m_alphaRow = SimdRow(GSimdOp::Alpha, Mirror);
        return true;
    }
    template <bool Mirror>
    bool Opaque(uint8_t* d, const uint8_t* s, const uint8_t*, int n) const
    {
        constexpr ptrdiff_t step = Mirror ? -3 : 3;
        int done = m_alphaRow ? m_alphaRow(d, s, nullptr, n, m_simdArgs) : 0;
        for (d += ptrdiff_t(done) * 3, s += step * done; done < n; ++done, d += 3, s += step) {
            d[0] = AlphaStep(d[0], s[0], m_a);
            d[1] = AlphaStep(d[1], s[1], m_a);
            d[2] = AlphaStep(d[2], s[2], m_a);
        }
        return true;
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        if (Rgb24(s) == m_key)
            return;
        d[0] = AlphaStep(d[0], s[0], m_a);
        d[1] = AlphaStep(d[1], s[1], m_a);
        d[2] = AlphaStep(d[2], s[2], m_a);
    }
};

// Mask byte = transparency: 0 the source replaces the destination, 255 the destination stays.
struct GRuleMask : GCopyingRule<GSimdOp::Mask> {
    static constexpr bool kMask = true;
    static constexpr GRunSource kRuns = GRunSource::Mask;
    template <bool Mirror>
    bool Prepare(const GSourceInfo&)
    {
        PickRows<Mirror>();
        return true;
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 255)
            return;
        if (mv == 0) {
            CopyPixel(d, s);
            return;
        }
        d[0] = MaskStep(d[0], s[0], mv);
        d[1] = MaskStep(d[1], s[1], mv);
        d[2] = MaskStep(d[2], s[2], mv);
    }
};

// No opaque shortcut: m = 0 with a = 255 still weighs the source by 65025/65536.
// Walks pixels even where a run table exists: with no opaque shortcut, its SIMD rows drew
// sprites faster than the walk over the table's runs (measured 0.7x to 0.94x with the table).
struct GRuleMaskAlpha : GSimdRule<GSimdOp::MaskAlpha> {
    static constexpr bool kMask = true;
    int m_a;
    explicit GRuleMaskAlpha(uint8_t a) : m_a(a) { m_simdArgs.alpha = a; }
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { PickSimd<Mirror>(); return true; }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 255)
            return;
        const int k = (255 - mv) * m_a;
        d[0] = MaskAlphaStep(d[0], s[0], k);
        d[1] = MaskAlphaStep(d[1], s[1], k);
        d[2] = MaskAlphaStep(d[2], s[2], k);
    }
};

// A glow: the mask brightens the destination toward white; 0 leaves it.
struct GRuleLighten : GSimdRule<GSimdOp::Lighten> {
    static constexpr GSourceKind kSource = GSourceKind::MaskOnly;
    static constexpr bool kMask = true;
    static constexpr GRunSource kRuns = GRunSource::Mask;
    static constexpr int32_t kRowsFrom = 10;
    static constexpr int32_t kRowsBelow = 20;
    static bool Skips(GRunKind kind) { return kind == GRunKind::Opaque; }
    static GDrawRunsFn WholeRuns() { return LightenRunsWhole(); }
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { PickSimd<Mirror>(); return true; }
    void Apply(uint8_t* d, const uint8_t*, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 0)
            return;
        d[0] = uint8_t(d[0] + (((255 - d[0]) * mv) >> 8));
        d[1] = uint8_t(d[1] + (((255 - d[1]) * mv) >> 8));
        d[2] = uint8_t(d[2] + (((255 - d[2]) * mv) >> 8));
    }
};

// A shadow: the mask darkens the destination; 255 leaves it.
struct GRuleDarken : GSimdRule<GSimdOp::Darken> {
    static constexpr GSourceKind kSource = GSourceKind::MaskOnly;
    static constexpr bool kMask = true;
    static constexpr GRunSource kRuns = GRunSource::Mask;
    static constexpr int32_t kRowsFrom = 10;
    static constexpr int32_t kRowsBelow = 20;
    // Mask 0 darkens to black.
    template <bool Mirror>
    bool Opaque(uint8_t* d, const uint8_t*, const uint8_t*, int n) const
    {
        std::memset(d, 0, size_t(n) * 3);
        return true;
    }
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { PickSimd<Mirror>(); return true; }
    void Apply(uint8_t* d, const uint8_t*, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 255)
            return;
        d[0] = uint8_t((d[0] * mv) >> 8);
        d[1] = uint8_t((d[1] * mv) >> 8);
        d[2] = uint8_t((d[2] * mv) >> 8);
    }
};

// ------------------------------------------------------------------------------------------
// Sub-pixel rules. A destination pixel mixes its source pixel (weight Wo = fx * fy) with the
// horizontal (Wh = (256 - fx) * fy), vertical (Wv = fx * (256 - fy)) and diagonal
// (Wd = (256 - fx) * (256 - fy)) neighbours; the four weights sum to 65536, so a mix >> 16 is
// a byte again. Neighbours lie in the walk's direction; the driver hands the rule their byte
// offsets. fx and fy are the 8 fraction bits of a 24.8 position: only their low 8 bits count,
// which keeps every weight within 17 bits and every sum within 32.

struct GSubPixelBase : GRuleBase {
    static constexpr int32_t kInset = 1;
    static constexpr bool kMask = true;
    static constexpr bool kNeighbourFollowsMirror = true;
    int32_t m_wo, m_wh, m_wv, m_wd;
    // Byte offsets of the neighbours from a pixel (colour) and from its mask byte.
    ptrdiff_t m_ph = 0, m_pv = 0, m_mh = 0, m_mv = 0;

    GSubPixelBase(int16_t fx, int16_t fy)
    {
        const int32_t x = fx & 255;
        const int32_t y = fy & 255;
        m_wo = x * y;
        m_wh = (256 - x) * y;
        m_wv = x * (256 - y);
        m_wd = (256 - x) * (256 - y);
    }
    void SetNeighbours(ptrdiff_t ph, ptrdiff_t pv, ptrdiff_t mh, ptrdiff_t mv)
    {
        m_ph = ph;
        m_pv = pv;
        m_mh = mh;
        m_mv = mv;
    }
    int Mix(const uint8_t* p, ptrdiff_t h, ptrdiff_t v) const
    {
        return (m_wo * p[0] + m_wh * p[h] + m_wv * p[v] + m_wd * p[h + v]) >> 16;
    }
    int MixMask(const uint8_t* m) const { return Mix(m, m_mh, m_mv); }
    int MixColour(const uint8_t* s, int c) const { return Mix(s + c, m_ph, m_pv); }
};

// Takes its horizontal neighbour to the right of the source in every orientation.
struct GRuleMaskSubPixel : GSubPixelBase {
    static constexpr bool kNeighbourFollowsMirror = false;
    using GSubPixelBase::GSubPixelBase;
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mm = MixMask(m);
        if (mm == 255)
            return;
        if (mm == 0) {
            CopyPixel(d, s);
            return;
        }
        for (int c = 0; c < 3; ++c)
            d[c] = MaskStep(d[c], MixColour(s, c), mm);
    }
};

struct GRuleMaskAlphaSubPixel : GSubPixelBase {
    int m_a;
    GRuleMaskAlphaSubPixel(int16_t fx, int16_t fy, uint8_t a) : GSubPixelBase(fx, fy), m_a(a) {}
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mm = MixMask(m);
        if (mm == 255)
            return;
        const int k = (255 - mm) * m_a;
        for (int c = 0; c < 3; ++c)
            d[c] = MaskAlphaStep(d[c], MixColour(s, c), k);
    }
};

struct GRuleLightenSubPixel : GSubPixelBase {
    static constexpr GSourceKind kSource = GSourceKind::MaskOnly;
    int m_a;
    GRuleLightenSubPixel(int16_t fx, int16_t fy, uint8_t a) : GSubPixelBase(fx, fy), m_a(a) {}
    void Apply(uint8_t* d, const uint8_t*, const uint8_t* m) const
    {
        const int mm = MixMask(m);
        if (mm == 0)
            return;
        const int k = m_a * mm;
        for (int c = 0; c < 3; ++c)
            d[c] = uint8_t(d[c] + (((255 - d[c]) * k) >> 16));
    }
};

// The mixed mask only decides whether to skip; the shade is the pixel's own mask byte.
struct GRuleDarkenSubPixel : GSubPixelBase {
    static constexpr GSourceKind kSource = GSourceKind::MaskOnly;
    using GSubPixelBase::GSubPixelBase;
    void Apply(uint8_t* d, const uint8_t*, const uint8_t* m) const
    {
        if (MixMask(m) == 255)
            return;
        const int own = *m;
        d[0] = uint8_t((d[0] * own) >> 8);
        d[1] = uint8_t((d[1] * own) >> 8);
        d[2] = uint8_t((d[2] * own) >> 8);
    }
};

} // namespace kernel_detail
