#pragma once
// The insides of the blitter kernels, shared by graphics/kernels_*.cpp only: how a drawing area
// is clipped, how the four orientations walk a source, the pixel rules, and the one loop that
// joins a rule to an orientation. Each named kernel is this loop instantiated for one rule and
// one orientation, so no pixel loop ever tests a mode or an orientation.
//
// Arithmetic of every rule: bytes widened to int, products in 32 bits, ">> n" an arithmetic
// shift (floor division by 2^n), the low 8 bits stored. All rules keep their results inside
// 0..255 (each is a weighted step from one byte toward another), so nothing saturates.
//
// Memory contract, enforced here rather than trusted: the area is cut to the destination and to
// the source placement, the source block must hold every byte the walk reads (else nothing is
// drawn), and the loops touch no byte outside the drawn area of the destination.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "foundation/image/bitmap.h"
#include "foundation/core/rect.h"
#include "graphics/blit/blit_runs.h"

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
inline bool ClipBlitArea(int32_t dstW, int32_t dstH, int32_t sw, int32_t sh, int32_t x, int32_t y,
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

    // Destination edges.
    if (a.left < 0) {
        a.w += a.left;
        a.sx0 -= a.left;
        a.left = 0;
    }
    if (a.left + a.w > dstW)
        a.w = dstW - a.left;
    if (a.top < 0) {
        a.h += a.top;
        a.sy0 -= a.top;
        a.top = 0;
    }
    if (a.top + a.h > dstH)
        a.h = dstH - a.top;
    if (a.w <= 0 || a.h <= 0)
        return false;

    // Source placement.
    if (a.sx0 < 0) {
        a.w += a.sx0;
        a.left -= a.sx0;
        a.sx0 = 0;
    }
    if (a.sx0 + a.w > limitW)
        a.w = limitW - a.sx0;
    if (a.sy0 < 0) {
        a.h += a.sy0;
        a.top -= a.sy0;
        a.sy0 = 0;
    }
    if (a.sy0 + a.h > limitH)
        a.h = limitH - a.sy0;
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
    static constexpr bool kOpaqueIsCopy = false; // Opaque runs are 24-bit pixels copied as they are

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
    static constexpr bool kOpaqueIsCopy = true;
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
    static bool Skips(GRunKind kind) { return kind == GRunKind::Opaque; }
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
// Palettised rules. The element walked is the index byte; the colour is its palette entry:
// the image's own 3-byte palette, or the caller's table of 4-byte entries for modes 10 and 12.

// Entries are read as 4 bytes and the fourth ignored: an own palette is followed by the index
// data (the driver checks the block holds that byte), a table's entries are 4 bytes anyway.
struct GRuleIndexedBase : GRuleBase {
    static constexpr GSourceKind kSource = GSourceKind::Indexed;
    static constexpr ptrdiff_t kEntry = 3;
    const uint8_t* m_palette = nullptr;
    template <bool Mirror>
    bool Prepare(const GSourceInfo& info)
    {
        m_palette = info.palette;
        return m_palette != nullptr;
    }
    const uint8_t* Colour(const uint8_t* s) const { return m_palette + *s * kEntry; }
    uint32_t Entry(const uint8_t* s) const
    {
        uint32_t v;
        std::memcpy(&v, Colour(s), 4);
        return v;
    }
};

// Palette colours of n index bytes, every pixel but the last in one 4-byte store (the next
// pixel overwrites the fourth byte). Entries are readable as 4 bytes in both palette layouts.
template <bool Mirror, class Rule>
void DrawPaletteRun(const Rule& rule, uint8_t* d, const uint8_t* s, int n)
{
    constexpr ptrdiff_t step = Mirror ? -1 : 1;
    for (int i = 0; i < n - 1; ++i, s += step, d += 3)
        std::memcpy(d, rule.Colour(s), 4);
    CopyPixel(d, rule.Colour(s));
}

struct GRuleTableBase : GRuleBase {
    static constexpr GSourceKind kSource = GSourceKind::Table;
    static constexpr bool kMask = true;
    const uint8_t* m_palette;
    explicit GRuleTableBase(const uint8_t* table) : m_palette(table) {}
    template <bool Mirror>
    bool Prepare(const GSourceInfo&) { return m_palette != nullptr; }
    const uint8_t* Colour(const uint8_t* s) const { return m_palette + *s * 4; }
};

struct GRuleIndexed : GRuleIndexedBase {
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        const uint8_t* p = Colour(s);
        CopyPixel(d, p);
    }
    template <bool Mirror>
    int Row(uint8_t* d, const uint8_t* s, const uint8_t*, int w) const
    {
        DrawPaletteRun<Mirror>(*this, d, s, w);
        return w;
    }
};

struct GRuleIndexedAlpha : GRuleIndexedBase {
    int m_a;
    explicit GRuleIndexedAlpha(uint8_t a) : m_a(a) {}
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        const uint8_t* p = Colour(s);
        d[0] = AlphaStep(d[0], p[0], m_a);
        d[1] = AlphaStep(d[1], p[1], m_a);
        d[2] = AlphaStep(d[2], p[2], m_a);
    }
};

// The key is a colour: every index whose palette entry has the key colour is transparent.
//
// Rows of larger draws first settle which indices are keyed, once per call (256 entries): then
// a keyed pixel costs an index compare, as in blitters that key by index. Usually one index
// (or none) has the key colour and a register compare does; several take a 256-byte table.
// Below kScanFrom pixels the scan would cost more than it saves and each pixel is tested alone.
struct GRuleIndexedKey : GRuleIndexedBase {
    static constexpr GRunSource kRuns = GRunSource::IndexedKey;
    static constexpr int64_t kScanFrom = 1024;
    enum class Mode : uint8_t { PerPixel, OneIndex, Table };
    uint32_t m_key = 0;
    Mode m_mode = Mode::PerPixel;
    int m_keyIndex = -1; // OneIndex: the keyed index, or -1 for none
    uint8_t m_keyed[256];

    template <bool Mirror>
    bool Prepare(const GSourceInfo& info)
    {
        m_key = info.key;
        if (!GRuleIndexedBase::Prepare<Mirror>(info))
            return false;
        if (info.pixels < kScanFrom)
            return true;
        int count = 0;
        for (int e = 0; e < 256; ++e) {
            const uint8_t index = uint8_t(e);
            m_keyed[e] = (Entry(&index) & 0xFFFFFFu) == m_key;
            if (m_keyed[e]) {
                ++count;
                m_keyIndex = e;
            }
        }
        m_mode = count <= 1 ? Mode::OneIndex : Mode::Table;
        return true;
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        const uint32_t v = Entry(s) & 0xFFFFFFu;
        if (v != m_key)
            StoreThree(d, v);
    }
    template <bool Mirror>
    bool Opaque(uint8_t* d, const uint8_t* s, const uint8_t*, int n) const
    {
        DrawPaletteRun<Mirror>(*this, d, s, n);
        return true;
    }
    template <bool Mirror>
    int Row(uint8_t* d, const uint8_t* s, const uint8_t*, int w) const
    {
        switch (m_mode) {
        case Mode::OneIndex: {
            const int key = m_keyIndex;
            return KeyedRow<Mirror>(d, s, w, [key](int index) { return index == key; });
        }
        case Mode::Table:
            return KeyedRow<Mirror>(d, s, w, [this](int index) { return m_keyed[index] != 0; });
        default:
            return 0;
        }
    }
    // Unrolled by 8: each copy of the keyed test gets its own branch history, which predicts
    // the runs of sprites far better than one shared branch (measured: 1.8x on 64-pixel rows).
    // 2 + 1 byte stores: a 4-byte store would clobber a keyed neighbour, and holding pixels
    // back to merge stores measured slower once unrolled.
    template <bool Mirror, class Keyed>
    int KeyedRow(uint8_t* d, const uint8_t* s, int w, Keyed keyed) const
    {
        constexpr ptrdiff_t step = Mirror ? -1 : 1;
#pragma GCC unroll 8
        for (int i = 0; i < w; ++i, s += step, d += 3)
            if (!keyed(*s))
                StoreThree(d, Entry(s));
        return w;
    }
    static void StoreThree(uint8_t* d, uint32_t colour)
    {
        const uint16_t low = uint16_t(colour);
        std::memcpy(d, &low, 2);
        d[2] = uint8_t(colour >> 16);
    }
};

struct GRuleIndexedKeyAlpha : GRuleIndexedBase {
    static constexpr GRunSource kRuns = GRunSource::IndexedKey;
    int m_a;
    uint32_t m_key = 0;
    explicit GRuleIndexedKeyAlpha(uint8_t a) : m_a(a) {}
    template <bool Mirror>
    bool Prepare(const GSourceInfo& info)
    {
        m_key = info.key;
        return GRuleIndexedBase::Prepare<Mirror>(info);
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t*) const
    {
        const uint8_t* p = Colour(s);
        if (Rgb24(p) == m_key)
            return;
        d[0] = AlphaStep(d[0], p[0], m_a);
        d[1] = AlphaStep(d[1], p[1], m_a);
        d[2] = AlphaStep(d[2], p[2], m_a);
    }
};

// The mask rule over palette colours, for both palette sources.
template <class Base>
struct GRulePaletteMask : Base {
    static constexpr bool kMask = true;
    static constexpr GRunSource kRuns = GRunSource::Mask;
    using Base::Base;
    template <bool Mirror>
    bool Opaque(uint8_t* d, const uint8_t* s, const uint8_t*, int n) const
    {
        DrawPaletteRun<Mirror>(*this, d, s, n);
        return true;
    }
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 255)
            return;
        const uint8_t* p = this->Colour(s);
        if (mv == 0) {
            CopyPixel(d, p);
            return;
        }
        d[0] = MaskStep(d[0], p[0], mv);
        d[1] = MaskStep(d[1], p[1], mv);
        d[2] = MaskStep(d[2], p[2], mv);
    }
};

template <class Base>
struct GRulePaletteMaskAlpha : Base {
    static constexpr bool kMask = true;
    static constexpr GRunSource kRuns = GRunSource::Mask;
    int m_a;
    template <class... Args>
    explicit GRulePaletteMaskAlpha(uint8_t a, Args... args) : Base(args...), m_a(a) {}
    void Apply(uint8_t* d, const uint8_t* s, const uint8_t* m) const
    {
        const int mv = *m;
        if (mv == 255)
            return;
        const uint8_t* p = this->Colour(s);
        const int k = (255 - mv) * m_a;
        d[0] = MaskAlphaStep(d[0], p[0], k);
        d[1] = MaskAlphaStep(d[1], p[1], k);
        d[2] = MaskAlphaStep(d[2], p[2], k);
    }
};

using GRuleIndexedMask = GRulePaletteMask<GRuleIndexedBase>;
using GRuleIndexedMaskAlpha = GRulePaletteMaskAlpha<GRuleIndexedBase>;
using GRuleTableMask = GRulePaletteMask<GRuleTableBase>;
using GRuleTableMaskAlpha = GRulePaletteMaskAlpha<GRuleTableBase>;

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

template <int O, class Rule>
void RunBlit(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, Rule rule, const GRect* clip)
{
    using Orient = GOrientation<O>;
    if (!dst || !src)
        return;
    uint8_t* dstPixels = dst->GetPixels();
    const int32_t dstPitch = dst->GetPitch();
    const int32_t dstW = dst->GetWidth();
    const int32_t dstH = dst->GetHeight();
    if (!dstPixels || dstPitch < dstW * 3)
        return;
    if (dstW > 0 && dstH > 0 &&
        !BlockHolds(dst->GetPixelBlock(), dstPixels,
                    size_t(ptrdiff_t(dstPitch) * (dstH - 1) + ptrdiff_t(dstW) * 3)))
        return;

    const int32_t sw = src->GetWidth();
    const int32_t sh = src->GetHeight();
    // Sub-pixel neighbours follow the walk: left when mirrored (unless the rule always looks
    // right), up when flipped.
    constexpr bool kLeft = kIsSubPixel<Rule> && Orient::kMirror && Rule::kNeighbourFollowsMirror;
    constexpr bool kUp = kIsSubPixel<Rule> && Orient::kFlip;
    GBlitArea a;
    if (!clip || !kIsSubPixel<Rule>) {
        if (!ClipBlitArea(dstW, dstH, sw, sh, x, y, clip, Rule::kInset, a))
            return;
    } else {
        // A rectangle may reach every pixel whose neighbours lie inside the block with its
        // spare row and pixel: right and down always do (column sw of a row is the next row's
        // first pixel, row sh the spare row). Only the source column or row 0 of a walk that
        // looks left or up would read before the block; both sit at the placement's far end.
        if (!ClipBlitArea(dstW, dstH, sw - (kLeft ? 1 : 0), sh - (kUp ? 1 : 0), x, y, clip, 0, a))
            return;
    }

    // Bytes a walk may reach past the start of an image's elements: the last element, or for
    // the sub-pixel rules the spare pixel after the spare row (the diagonal neighbour of the
    // last pixel in the linear buffer).
    auto extent = [&](ptrdiff_t pitch, ptrdiff_t bpp) {
        return size_t(kIsSubPixel<Rule> ? pitch * sh + bpp * sw + bpp : pitch * (sh - 1) + bpp * sw);
    };

    GSourceInfo info;
    info.key = src->GetKeyColour();
    const uint8_t* elements = nullptr;
    ptrdiff_t pitch = 0;
    ptrdiff_t bpp = 0;
    if constexpr (Rule::kSource != GSourceKind::MaskOnly) {
        const uint8_t* block = src->GetPixels();
        if (!block)
            return;
        if constexpr (Rule::kSource == GSourceKind::Rgb24) {
            bpp = 3;
            pitch = src->GetPitch();
            if (pitch < sw * 3)
                return;
            elements = block;
        } else if constexpr (Rule::kSource == GSourceKind::Indexed) {
            bpp = 1;
            pitch = sw;
            // The header and palette are read whole, entry 255 as 4 bytes: one past the palette.
            if (!BlockHolds(src->GetPixelBlock(), block, 2 + 256 * 3 + 1))
                return;
            uint16_t offset = 0;
            std::memcpy(&offset, block, sizeof offset);
            // The offset comes from the image's bytes: one pointing past its own block would
            // be taken for memory the image supplies itself and escape the check below.
            if (const GPixelBlock* own = src->GetPixelBlock(); own && own->GetData() == block && offset > own->GetSize())
                return;
            info.palette = block + 2;
            elements = block + offset;
        } else {
            bpp = 1;
            pitch = sw;
            elements = block;
        }
        if (!BlockHolds(src->GetPixelBlock(), elements, extent(pitch, bpp)))
            return;
    }
    const uint8_t* mask = nullptr;
    if constexpr (Rule::kMask) {
        mask = src->GetAlpha();
        if (!mask || !BlockHolds(src->GetAlphaBlock(), mask, extent(sw, 1)))
            return;
    }
    uint8_t* d = dstPixels + ptrdiff_t(a.top) * dstPitch + ptrdiff_t(a.left) * 3;
    const GBlitRuns* runs = nullptr;
    if constexpr (Rule::kRuns != GRunSource::None) {
        runs = GBlitRuns::Of(*src, Rule::kRuns);
        if constexpr (!Orient::kMirror && Rule::kOpaqueIsCopy) {
            // A keyed or masked sprite drawn at full width: the instruction set's run loop, if
            // it has one, needs nothing prepared.
            const GDrawRunsFn draw = runs && a.sx0 == 0 && a.w == sw ? DrawRunsWhole() : nullptr;
            if (draw) {
                draw(d, dstPitch, elements, pitch, mask, sw, *runs,
                     Orient::kFlip ? sh - 1 - a.sy0 : a.sy0, Orient::kFlip ? -1 : 1, a.h);
                return;
            }
        }
    }
    info.pixels = int64_t(a.w) * a.h;
    if (!rule.template Prepare<Orient::kMirror>(info))
        return;

    GWalk s{};
    if constexpr (Rule::kSource != GSourceKind::MaskOnly)
        s = Orient::Start(elements, pitch, bpp, sw, sh, a);
    GWalk m{};
    if constexpr (Rule::kMask)
        m = Orient::Start(mask, sw, 1, sw, sh, a);
    if constexpr (kIsSubPixel<Rule>) {
        const ptrdiff_t hx = kLeft ? -1 : 1;
        const ptrdiff_t vy = kUp ? -1 : 1;
        rule.SetNeighbours(hx * bpp, vy * pitch, hx, vy * sw);
    }

    if (runs) {
        DrawRuns<O>(rule, *runs, d, dstPitch, a, elements, pitch, bpp, mask, sw, sh);
        return;
    }
    if constexpr (std::is_same_v<Rule, GRuleCopy> && !Orient::kMirror && !Orient::kFlip) {
        // Whole rows of both images, one after the other in each (a full-screen background):
        // one block copy rather than one a row.
        const ptrdiff_t row = ptrdiff_t(a.w) * 3;
        if (dstPitch == row && pitch == row) {
            std::memcpy(d, s.start, size_t(row) * size_t(a.h));
            return;
        }
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

} // namespace kernel_detail
