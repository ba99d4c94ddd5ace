#pragma once
// The software blitter kernels: draw one image into a 24-bit surface (the back buffer or
// another image), one function per pixel rule and orientation. Stateless; they may be called
// from any one thread at a time per destination (in practice the thread that draws the frame).
//
// Every kernel takes, in this order: the destination surface, the source image, x and y (the
// destination position of the source's top-left pixel), its own arguments, and last an
// optional clip rectangle (inclusive, destination coordinates; null = the whole source).
// A rectangle must lie inside the source's placement; one that strays outside is cut to it.
// Empty or inverted rectangles, empty images and images whose blocks are too small for the
// rule draw nothing.
//
// Orientation is part of the name: no suffix = as stored, Mirror = left-right,
// Flip = upside down, FlipMirror = both (turned by 180 degrees). Mirror and flip are taken
// about the whole source placed at (x, y); a clip rectangle only selects a part of it.
//
// Rules (s source byte, d destination byte, m mask byte with 0 = opaque, a alpha; ">>" floors):
//   Copy          d = s
//   Key           d = s unless the pixel's 24-bit value equals the key colour (32-bit compare)
//   Mask          m 255: skip; m 0: d = s; else d = s + ((d - s) * m >> 8)
//   MaskAlpha     m 255: skip; else d = d + ((s - d) * ((255 - m) * a) >> 16)
//   Alpha         d = d + ((s - d) * a >> 8)            (a = 255 over 0 gives 254)
//   KeyAlpha      Key test, then the Alpha step
//   Lighten       m 0: skip; else d = d + ((255 - d) * m >> 8)      (mask only)
//   Darken        m 255: skip; else d = d * m >> 8                   (mask only)
// The palettised rules apply the same steps to the palette colour of each index byte; the
// sub-pixel rules mix each pixel with three neighbours first (see kernel_rules.h).

#include <cstddef>
#include <cstdint>
#include <iterator>

class GBitmap;
struct GRect;

// --- 24-bit sources -----------------------------------------------------------------------

void BlitCopy(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitCopyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitCopyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitCopyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);

void BlitKey(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitKeyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitKeyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitKeyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);

void BlitMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);

void BlitMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                   const GRect* clip = nullptr);
void BlitMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                         const GRect* clip = nullptr);
void BlitMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                       const GRect* clip = nullptr);
void BlitMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                             const GRect* clip = nullptr);

void BlitAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
               const GRect* clip = nullptr);
void BlitAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                     const GRect* clip = nullptr);
void BlitAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                   const GRect* clip = nullptr);
void BlitAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                         const GRect* clip = nullptr);

void BlitKeyAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                  const GRect* clip = nullptr);
void BlitKeyAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                        const GRect* clip = nullptr);
void BlitKeyAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                      const GRect* clip = nullptr);
void BlitKeyAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                            const GRect* clip = nullptr);

void BlitLighten(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitLightenMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitLightenFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitLightenFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                           const GRect* clip = nullptr);

void BlitDarken(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitDarkenMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitDarkenFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitDarkenFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                          const GRect* clip = nullptr);

// --- Palettised sources -------------------------------------------------------------------
// Palette-table sources (draw modes 10 and 12): index bytes from the start of the pixel block,
// rows of width bytes, with a mask; `table` holds 256 entries of 4 bytes (3 colour bytes in
// pixel order, the fourth unread) and must outlive the call. A null table draws nothing.

void BlitPaletteMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table,
                     const GRect* clip = nullptr);
void BlitPaletteMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                           const uint8_t* table, const GRect* clip = nullptr);
void BlitPaletteMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                         const uint8_t* table, const GRect* clip = nullptr);
void BlitPaletteMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                               const uint8_t* table, const GRect* clip = nullptr);

void BlitPaletteMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                          const uint8_t* table, uint8_t alpha, const GRect* clip = nullptr);
void BlitPaletteMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                const uint8_t* table, uint8_t alpha, const GRect* clip = nullptr);
void BlitPaletteMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                              const uint8_t* table, uint8_t alpha, const GRect* clip = nullptr);
void BlitPaletteMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                    const uint8_t* table, uint8_t alpha,
                                    const GRect* clip = nullptr);

// Indexed sources (formats 16..21): the block starts with a u16 offset to the indices, then the
// image's own palette of 256 x 3 bytes; rows of width bytes. The key rules compare the palette
// colour, not the index, with the key colour.

void BlitIndexed(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip = nullptr);
void BlitIndexedMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                       const GRect* clip = nullptr);
void BlitIndexedFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                     const GRect* clip = nullptr);
void BlitIndexedFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                           const GRect* clip = nullptr);

void BlitIndexedAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                      const GRect* clip = nullptr);
void BlitIndexedAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                            const GRect* clip = nullptr);
void BlitIndexedAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                          const GRect* clip = nullptr);
void BlitIndexedAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                uint8_t alpha, const GRect* clip = nullptr);

void BlitIndexedKey(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                    const GRect* clip = nullptr);
void BlitIndexedKeyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                          const GRect* clip = nullptr);
void BlitIndexedKeyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                        const GRect* clip = nullptr);
void BlitIndexedKeyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                              const GRect* clip = nullptr);

void BlitIndexedKeyAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                         const GRect* clip = nullptr);
void BlitIndexedKeyAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                               uint8_t alpha, const GRect* clip = nullptr);
void BlitIndexedKeyAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                             uint8_t alpha, const GRect* clip = nullptr);
void BlitIndexedKeyAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                   uint8_t alpha, const GRect* clip = nullptr);

void BlitIndexedMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                     const GRect* clip = nullptr);
void BlitIndexedMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                           const GRect* clip = nullptr);
void BlitIndexedMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                         const GRect* clip = nullptr);
void BlitIndexedMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                               const GRect* clip = nullptr);

void BlitIndexedMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha,
                          const GRect* clip = nullptr);
void BlitIndexedMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                uint8_t alpha, const GRect* clip = nullptr);
void BlitIndexedMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                              uint8_t alpha, const GRect* clip = nullptr);
void BlitIndexedMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                    uint8_t alpha, const GRect* clip = nullptr);

// --- Sub-pixel (bilinear) sources ---------------------------------------------------------
// fx, fy: the fraction bits (0..255, only the low 8 bits count) of a 24.8 position. Without a
// clip rectangle one column and one row fewer than the source are drawn: the last ones only
// serve as neighbours.

void BlitMaskSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                      int16_t fy, const GRect* clip = nullptr);
void BlitMaskSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                            int16_t fy, const GRect* clip = nullptr);
void BlitMaskSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                          int16_t fy, const GRect* clip = nullptr);
void BlitMaskSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                int16_t fx, int16_t fy, const GRect* clip = nullptr);

void BlitMaskAlphaSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                           int16_t fy, uint8_t alpha, const GRect* clip = nullptr);
void BlitMaskAlphaSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                 int16_t fx, int16_t fy, uint8_t alpha,
                                 const GRect* clip = nullptr);
void BlitMaskAlphaSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                               int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip = nullptr);
void BlitMaskAlphaSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                     int16_t fx, int16_t fy, uint8_t alpha,
                                     const GRect* clip = nullptr);

void BlitLightenSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                         int16_t fy, uint8_t alpha, const GRect* clip = nullptr);
void BlitLightenSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                               int16_t fy, uint8_t alpha, const GRect* clip = nullptr);
void BlitLightenSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                             int16_t fy, uint8_t alpha, const GRect* clip = nullptr);
void BlitLightenSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                   int16_t fx, int16_t fy, uint8_t alpha,
                                   const GRect* clip = nullptr);

void BlitDarkenSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                        int16_t fy, const GRect* clip = nullptr);
void BlitDarkenSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                              int16_t fy, const GRect* clip = nullptr);
void BlitDarkenSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx,
                            int16_t fy, const GRect* clip = nullptr);
void BlitDarkenSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                                  int16_t fx, int16_t fy, const GRect* clip = nullptr);

// --- One call shape for every kernel ------------------------------------------------------
// The dispatch picks a kernel per clip from a table indexed by rule and orientation; all
// entries take the same arguments, each kernel reading only its own fields of GBlitArgs.

struct GBlitArgs {
    uint8_t alpha = 0;
    const uint8_t* table = nullptr; // palette-table rules: 256 entries of 4 bytes
    int16_t fx = 0;                 // sub-pixel rules: fraction bits of the position
    int16_t fy = 0;
};

using GBlitKernel = void (*)(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y,
                             const GBlitArgs& args, const GRect* clip);

enum class GBlitRule : uint8_t {
    Copy,
    Key,
    Mask,
    MaskAlpha,
    Alpha,
    KeyAlpha,
    Lighten,
    Darken,
    PaletteMask,
    PaletteMaskAlpha,
    Indexed,
    IndexedAlpha,
    IndexedKey,
    IndexedKeyAlpha,
    IndexedMask,
    IndexedMaskAlpha,
    MaskSubPixel,
    MaskAlphaSubPixel,
    LightenSubPixel,
    DarkenSubPixel,
    Count
};
inline constexpr size_t kBlitRuleCount = size_t(GBlitRule::Count);
inline constexpr size_t kBlitOrientationCount = 4;

// What each rule reads besides the destination, for code that makes inputs for the kernels
// (reference tests, fuzzing, benchmarks).
constexpr bool BlitRuleIsSubPixel(GBlitRule r)
{
    return r >= GBlitRule::MaskSubPixel && r < GBlitRule::Count;
}
// The image's own palette (the format 16 to 21 layout), one index byte per pixel.
constexpr bool BlitRuleIsIndexed(GBlitRule r)
{
    return r >= GBlitRule::Indexed && r <= GBlitRule::IndexedMaskAlpha;
}
// The caller's palette table, the indices read from the start of the pixel block.
constexpr bool BlitRuleUsesTable(GBlitRule r)
{
    return r == GBlitRule::PaletteMask || r == GBlitRule::PaletteMaskAlpha;
}
constexpr bool BlitRuleReadsMask(GBlitRule r)
{
    switch (r) {
    case GBlitRule::Copy:
    case GBlitRule::Key:
    case GBlitRule::Alpha:
    case GBlitRule::KeyAlpha:
    case GBlitRule::Indexed:
    case GBlitRule::IndexedAlpha:
    case GBlitRule::IndexedKey:
    case GBlitRule::IndexedKeyAlpha:
        return false;
    default:
        return true;
    }
}
// False for the lighten and darken rules, which read only the mask.
constexpr bool BlitRuleReadsColours(GBlitRule r)
{
    return r != GBlitRule::Lighten && r != GBlitRule::Darken && r != GBlitRule::LightenSubPixel &&
           r != GBlitRule::DarkenSubPixel;
}
// The rule's name as spelt above; "?" past the last rule.
constexpr const char* BlitRuleName(GBlitRule r)
{
    constexpr const char* kNames[] = {
        "Copy",         "Key",          "Mask",           "MaskAlpha",         "Alpha",
        "KeyAlpha",     "Lighten",      "Darken",         "PaletteMask",       "PaletteMaskAlpha",
        "Indexed",      "IndexedAlpha", "IndexedKey",     "IndexedKeyAlpha",   "IndexedMask",
        "IndexedMaskAlpha", "MaskSubPixel", "MaskAlphaSubPixel", "LightenSubPixel", "DarkenSubPixel"};
    static_assert(std::size(kNames) == kBlitRuleCount);
    return r < GBlitRule::Count ? kNames[size_t(r)] : "?";
}

namespace kernel_detail {

using GPlainFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, const GRect*);
using GAlphaFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, uint8_t, const GRect*);
using GTableFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, const uint8_t*, const GRect*);
using GTableAlphaFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, const uint8_t*, uint8_t,
                               const GRect*);
using GSubPixelFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, int16_t, int16_t,
                             const GRect*);
using GSubPixelAlphaFn = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, int16_t, int16_t,
                                  uint8_t, const GRect*);

// Adapters from each kernel's own signature to GBlitKernel; overloads on the kernel's type.
template <GPlainFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs&, const GRect* c)
{
    K(d, s, x, y, c);
}
template <GAlphaFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs& a, const GRect* c)
{
    K(d, s, x, y, a.alpha, c);
}
template <GTableFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs& a, const GRect* c)
{
    K(d, s, x, y, a.table, c);
}
template <GTableAlphaFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs& a, const GRect* c)
{
    K(d, s, x, y, a.table, a.alpha, c);
}
template <GSubPixelFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs& a, const GRect* c)
{
    K(d, s, x, y, a.fx, a.fy, c);
}
template <GSubPixelAlphaFn K>
void Adapt(GBitmap* d, const GBitmap* s, int16_t x, int16_t y, const GBlitArgs& a, const GRect* c)
{
    K(d, s, x, y, a.fx, a.fy, a.alpha, c);
}

} // namespace kernel_detail

// Rows in GBlitRule order, columns by orientation 0..3.
inline constexpr GBlitKernel kBlitKernels[kBlitRuleCount][kBlitOrientationCount] = {
    {kernel_detail::Adapt<BlitCopy>, kernel_detail::Adapt<BlitCopyMirror>,
     kernel_detail::Adapt<BlitCopyFlip>, kernel_detail::Adapt<BlitCopyFlipMirror>},
    {kernel_detail::Adapt<BlitKey>, kernel_detail::Adapt<BlitKeyMirror>,
     kernel_detail::Adapt<BlitKeyFlip>, kernel_detail::Adapt<BlitKeyFlipMirror>},
    {kernel_detail::Adapt<BlitMask>, kernel_detail::Adapt<BlitMaskMirror>,
     kernel_detail::Adapt<BlitMaskFlip>, kernel_detail::Adapt<BlitMaskFlipMirror>},
    {kernel_detail::Adapt<BlitMaskAlpha>, kernel_detail::Adapt<BlitMaskAlphaMirror>,
     kernel_detail::Adapt<BlitMaskAlphaFlip>, kernel_detail::Adapt<BlitMaskAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitAlpha>, kernel_detail::Adapt<BlitAlphaMirror>,
     kernel_detail::Adapt<BlitAlphaFlip>, kernel_detail::Adapt<BlitAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitKeyAlpha>, kernel_detail::Adapt<BlitKeyAlphaMirror>,
     kernel_detail::Adapt<BlitKeyAlphaFlip>, kernel_detail::Adapt<BlitKeyAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitLighten>, kernel_detail::Adapt<BlitLightenMirror>,
     kernel_detail::Adapt<BlitLightenFlip>, kernel_detail::Adapt<BlitLightenFlipMirror>},
    {kernel_detail::Adapt<BlitDarken>, kernel_detail::Adapt<BlitDarkenMirror>,
     kernel_detail::Adapt<BlitDarkenFlip>, kernel_detail::Adapt<BlitDarkenFlipMirror>},
    {kernel_detail::Adapt<BlitPaletteMask>, kernel_detail::Adapt<BlitPaletteMaskMirror>,
     kernel_detail::Adapt<BlitPaletteMaskFlip>, kernel_detail::Adapt<BlitPaletteMaskFlipMirror>},
    {kernel_detail::Adapt<BlitPaletteMaskAlpha>, kernel_detail::Adapt<BlitPaletteMaskAlphaMirror>,
     kernel_detail::Adapt<BlitPaletteMaskAlphaFlip>,
     kernel_detail::Adapt<BlitPaletteMaskAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitIndexed>, kernel_detail::Adapt<BlitIndexedMirror>,
     kernel_detail::Adapt<BlitIndexedFlip>, kernel_detail::Adapt<BlitIndexedFlipMirror>},
    {kernel_detail::Adapt<BlitIndexedAlpha>, kernel_detail::Adapt<BlitIndexedAlphaMirror>,
     kernel_detail::Adapt<BlitIndexedAlphaFlip>, kernel_detail::Adapt<BlitIndexedAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitIndexedKey>, kernel_detail::Adapt<BlitIndexedKeyMirror>,
     kernel_detail::Adapt<BlitIndexedKeyFlip>, kernel_detail::Adapt<BlitIndexedKeyFlipMirror>},
    {kernel_detail::Adapt<BlitIndexedKeyAlpha>, kernel_detail::Adapt<BlitIndexedKeyAlphaMirror>,
     kernel_detail::Adapt<BlitIndexedKeyAlphaFlip>,
     kernel_detail::Adapt<BlitIndexedKeyAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitIndexedMask>, kernel_detail::Adapt<BlitIndexedMaskMirror>,
     kernel_detail::Adapt<BlitIndexedMaskFlip>, kernel_detail::Adapt<BlitIndexedMaskFlipMirror>},
    {kernel_detail::Adapt<BlitIndexedMaskAlpha>, kernel_detail::Adapt<BlitIndexedMaskAlphaMirror>,
     kernel_detail::Adapt<BlitIndexedMaskAlphaFlip>,
     kernel_detail::Adapt<BlitIndexedMaskAlphaFlipMirror>},
    {kernel_detail::Adapt<BlitMaskSubPixel>, kernel_detail::Adapt<BlitMaskSubPixelMirror>,
     kernel_detail::Adapt<BlitMaskSubPixelFlip>, kernel_detail::Adapt<BlitMaskSubPixelFlipMirror>},
    {kernel_detail::Adapt<BlitMaskAlphaSubPixel>,
     kernel_detail::Adapt<BlitMaskAlphaSubPixelMirror>,
     kernel_detail::Adapt<BlitMaskAlphaSubPixelFlip>,
     kernel_detail::Adapt<BlitMaskAlphaSubPixelFlipMirror>},
    {kernel_detail::Adapt<BlitLightenSubPixel>, kernel_detail::Adapt<BlitLightenSubPixelMirror>,
     kernel_detail::Adapt<BlitLightenSubPixelFlip>,
     kernel_detail::Adapt<BlitLightenSubPixelFlipMirror>},
    {kernel_detail::Adapt<BlitDarkenSubPixel>, kernel_detail::Adapt<BlitDarkenSubPixelMirror>,
     kernel_detail::Adapt<BlitDarkenSubPixelFlip>,
     kernel_detail::Adapt<BlitDarkenSubPixelFlipMirror>},
};

// The kernel of a rule and orientation; null for an orientation above 3.
constexpr GBlitKernel GetBlitKernel(GBlitRule rule, uint8_t orientation)
{
    if (rule >= GBlitRule::Count || orientation >= kBlitOrientationCount)
        return nullptr;
    return kBlitKernels[size_t(rule)][orientation];
}

// The rule that draws an image under a draw mode (the image format numbers). False for the
// modes that draw through no kernel: 4, 5, 6 (use the image's format), 9, 11 (lines),
// 15 (the clip draws itself) and above 21.
constexpr bool BlitRuleForDrawMode(uint8_t mode, GBlitRule& rule)
{
    constexpr int8_t kRules[22] = {
        int8_t(GBlitRule::Copy),         int8_t(GBlitRule::Key),
        int8_t(GBlitRule::Mask),         int8_t(GBlitRule::MaskAlpha),
        -1,                              -1,
        -1,                              int8_t(GBlitRule::Alpha),
        int8_t(GBlitRule::KeyAlpha),     -1,
        int8_t(GBlitRule::PaletteMaskAlpha), -1,
        int8_t(GBlitRule::PaletteMask),  int8_t(GBlitRule::Lighten),
        int8_t(GBlitRule::Darken),       -1,
        int8_t(GBlitRule::Indexed),      int8_t(GBlitRule::IndexedAlpha),
        int8_t(GBlitRule::IndexedKey),   int8_t(GBlitRule::IndexedKeyAlpha),
        int8_t(GBlitRule::IndexedMask),  int8_t(GBlitRule::IndexedMaskAlpha),
    };
    if (mode >= 22 || kRules[mode] < 0)
        return false;
    rule = GBlitRule(kRules[mode]);
    return true;
}

// The sub-pixel rule of a draw mode: 2, 3, 13 and 14 have one; every other mode has none.
constexpr bool SubPixelBlitRuleForDrawMode(uint8_t mode, GBlitRule& rule)
{
    switch (mode) {
    case 2: rule = GBlitRule::MaskSubPixel; return true;
    case 3: rule = GBlitRule::MaskAlphaSubPixel; return true;
    case 13: rule = GBlitRule::LightenSubPixel; return true;
    case 14: rule = GBlitRule::DarkenSubPixel; return true;
    default: return false;
    }
}

// --- Instruction set ----------------------------------------------------------------------
// The kernels use the widest instruction set the CPU offers (checked once, at first use).
// Tests and benchmarks may force a narrower one to compare paths; every path gives the same
// bytes. Not synchronised: change it only while nothing draws.

enum class GKernelIsa : uint8_t { Scalar, Avx2 };

GKernelIsa GetKernelIsa();
// Requests an instruction set; one the CPU lacks falls back to the best it has. Returns the
// set now in use.
GKernelIsa SetKernelIsa(GKernelIsa isa);
