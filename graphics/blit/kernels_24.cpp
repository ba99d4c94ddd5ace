// The eight rules for 24-bit sources and mask-only sources, each in its four orientations.
// Every kernel is the shared walk of kernel_loops.h instantiated with one rule and one
// orientation; the rule's fast row path (block copies, SIMD) is chosen inside the walk.

#include "graphics/blit/kernels.h"

#include "graphics/blit/kernel_loops.h"

using namespace kernel_detail;

void BlitCopy(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleCopy{}, clip);
}

void BlitCopyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleCopy{}, clip);
}

void BlitCopyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleCopy{}, clip);
}

void BlitCopyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleCopy{}, clip);
}

void BlitKey(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleKey{}, clip);
}

void BlitKeyMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleKey{}, clip);
}

void BlitKeyFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleKey{}, clip);
}

void BlitKeyFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleKey{}, clip);
}

void BlitMask(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleMask{}, clip);
}

void BlitMaskMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleMask{}, clip);
}

void BlitMaskFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleMask{}, clip);
}

void BlitMaskFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleMask{}, clip);
}

void BlitMaskAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleMaskAlpha{alpha}, clip);
}

void BlitMaskAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleMaskAlpha{alpha}, clip);
}

void BlitMaskAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleMaskAlpha{alpha}, clip);
}

void BlitMaskAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleMaskAlpha{alpha}, clip);
}

void BlitAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleAlpha{alpha}, clip);
}

void BlitAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleAlpha{alpha}, clip);
}

void BlitAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleAlpha{alpha}, clip);
}

void BlitAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleAlpha{alpha}, clip);
}

void BlitKeyAlpha(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleKeyAlpha{alpha}, clip);
}

void BlitKeyAlphaMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleKeyAlpha{alpha}, clip);
}

void BlitKeyAlphaFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleKeyAlpha{alpha}, clip);
}

void BlitKeyAlphaFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, uint8_t alpha, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleKeyAlpha{alpha}, clip);
}

void BlitLighten(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleLighten{}, clip);
}

void BlitLightenMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleLighten{}, clip);
}

void BlitLightenFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleLighten{}, clip);
}

void BlitLightenFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleLighten{}, clip);
}

void BlitDarken(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<0>(dst, src, x, y, GRuleDarken{}, clip);
}

void BlitDarkenMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<1>(dst, src, x, y, GRuleDarken{}, clip);
}

void BlitDarkenFlip(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<2>(dst, src, x, y, GRuleDarken{}, clip);
}

void BlitDarkenFlipMirror(GBitmap* dst, const GBitmap* src, int16_t x, int16_t y, const GRect* clip)
{
    RunBlit<3>(dst, src, x, y, GRuleDarken{}, clip);
}
