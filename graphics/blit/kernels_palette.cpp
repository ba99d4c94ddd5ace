// The palettised rules (own palette or a caller's 4-byte table) and the sub-pixel rules, each
// in its four orientations, instantiated from the shared walk of kernel_loops.h.

#include "graphics/blit/kernels.h"

#include "graphics/blit/kernel_loops.h"

using namespace kernel_detail;

void BlitPaletteMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleTableMask{table}, clip);
}

void BlitPaletteMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleTableMask{table}, clip);
}

void BlitPaletteMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleTableMask{table}, clip);
}

void BlitPaletteMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleTableMask{table}, clip);
}

void BlitPaletteMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleTableMaskAlpha{alpha, table}, clip);
}

void BlitPaletteMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleTableMaskAlpha{alpha, table}, clip);
}

void BlitPaletteMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleTableMaskAlpha{alpha, table}, clip);
}

void BlitPaletteMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const uint8_t* table, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleTableMaskAlpha{alpha, table}, clip);
}

void BlitIndexed(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexed{}, clip);
}

void BlitIndexedMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexed{}, clip);
}

void BlitIndexedFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexed{}, clip);
}

void BlitIndexedFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexed{}, clip);
}

void BlitIndexedAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexedAlpha{alpha}, clip);
}

void BlitIndexedAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexedAlpha{alpha}, clip);
}

void BlitIndexedAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexedAlpha{alpha}, clip);
}

void BlitIndexedAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexedAlpha{alpha}, clip);
}

void BlitIndexedKey(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexedKey{}, clip);
}

void BlitIndexedKeyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexedKey{}, clip);
}

void BlitIndexedKeyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexedKey{}, clip);
}

void BlitIndexedKeyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexedKey{}, clip);
}

void BlitIndexedKeyAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexedKeyAlpha{alpha}, clip);
}

void BlitIndexedKeyAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexedKeyAlpha{alpha}, clip);
}

void BlitIndexedKeyAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexedKeyAlpha{alpha}, clip);
}

void BlitIndexedKeyAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexedKeyAlpha{alpha}, clip);
}

void BlitIndexedMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexedMask{}, clip);
}

void BlitIndexedMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexedMask{}, clip);
}

void BlitIndexedMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexedMask{}, clip);
}

void BlitIndexedMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexedMask{}, clip);
}

void BlitIndexedMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleIndexedMaskAlpha{alpha}, clip);
}

void BlitIndexedMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleIndexedMaskAlpha{alpha}, clip);
}

void BlitIndexedMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleIndexedMaskAlpha{alpha}, clip);
}

void BlitIndexedMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleIndexedMaskAlpha{alpha}, clip);
}

void BlitMaskSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleMaskSubPixel{fx, fy}, clip);
}

void BlitMaskSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleMaskSubPixel{fx, fy}, clip);
}

void BlitMaskSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleMaskSubPixel{fx, fy}, clip);
}

void BlitMaskSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleMaskSubPixel{fx, fy}, clip);
}

void BlitMaskAlphaSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleMaskAlphaSubPixel{fx, fy, alpha}, clip);
}

void BlitMaskAlphaSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleMaskAlphaSubPixel{fx, fy, alpha}, clip);
}

void BlitMaskAlphaSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleMaskAlphaSubPixel{fx, fy, alpha}, clip);
}

void BlitMaskAlphaSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleMaskAlphaSubPixel{fx, fy, alpha}, clip);
}

void BlitLightenSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleLightenSubPixel{fx, fy, alpha}, clip);
}

void BlitLightenSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleLightenSubPixel{fx, fy, alpha}, clip);
}

void BlitLightenSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleLightenSubPixel{fx, fy, alpha}, clip);
}

void BlitLightenSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleLightenSubPixel{fx, fy, alpha}, clip);
}

void BlitDarkenSubPixel(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleDarkenSubPixel{fx, fy}, clip);
}

void BlitDarkenSubPixelMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleDarkenSubPixel{fx, fy}, clip);
}

void BlitDarkenSubPixelFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleDarkenSubPixel{fx, fy}, clip);
}

void BlitDarkenSubPixelFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, int16_t fx, int16_t fy, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleDarkenSubPixel{fx, fy}, clip);
}
