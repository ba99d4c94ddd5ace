// How far a sub-pixel kernel given a clip rectangle reaches into its placement: every pixel
// whose neighbours lie inside the block with its spare row and pixel is drawn; only a walk
// that looks left (up) loses the source column (row) 0 at the placement's far end.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/blit/kernels.h"
#include "support/reference_kernels.h"

namespace {

constexpr int kSW = 4, kSH = 5, kW = 10, kH = 9;

int DrawnPixels(GBlitRule rule, int o, const GRect* clip)
{
    std::mt19937 rng(7);
    auto src = reference::MakeSource(rule, kSW, kSH, rng, reference::Slack::Tight);
    for (uint32_t i = 0; i < src->GetAlphaBlock()->GetSize(); ++i)
        src->GetAlpha()[i] = uint8_t(60 + i % 100); // no skip values: every drawn pixel moves
    const GBlitArgs args{.alpha = 200, .fx = 90, .fy = 40};
    auto dst = reference::MakeDestination(kW, kH, rng, reference::Slack::Tight);
    auto ref = reference::MakeDestination(kW, kH, rng, reference::Slack::Tight);
    std::memset(dst->GetPixels(), 128, size_t(kW) * kH * 3);
    std::memset(ref->GetPixels(), 128, size_t(kW) * kH * 3);
    GetBlitKernel(rule, uint8_t(o))(dst.get(), src.get(), 2, 1, args, clip);
    reference::Blit(rule, o, ref.get(), src.get(), 2, 1, args, clip);
    EXPECT_EQ(reference::Snapshot(*dst), reference::Snapshot(*ref)) << reference::RuleName(rule) << o;
    int changed = 0;
    for (int i = 0; i < kW * kH; ++i)
        changed += dst->GetPixels()[3 * i] != 128 || dst->GetPixels()[3 * i + 1] != 128 ||
                   dst->GetPixels()[3 * i + 2] != 128;
    return changed;
}

TEST(KernelSubPixelReach, RectangleDrawsAllPixelsWhoseNeighboursAreInTheBlock)
{
    const GRect corner{2, 1, 5, 3};        // placement columns 0..3, rows 0..2
    const GRect whole{2, 1, 2 + kSW - 1, 1 + kSH - 1};
    struct Case { GBlitRule rule; int o; int corner, whole, none; };
    const Case cases[] = {
        // Orientation 0 reaches the last column: 4 x 3, not 3 x 3.
        {GBlitRule::MaskAlphaSubPixel, 0, 12, 20, 12},
        {GBlitRule::MaskAlphaSubPixel, 1, 9, 15, 12}, // looks left: keeps the column cut
        {GBlitRule::MaskAlphaSubPixel, 2, 12, 16, 12}, // looks up: keeps the row cut
        {GBlitRule::MaskAlphaSubPixel, 3, 9, 12, 12},
        {GBlitRule::MaskSubPixel, 1, 12, 20, 12},     // always looks right
        {GBlitRule::MaskSubPixel, 3, 12, 16, 12},
        {GBlitRule::LightenSubPixel, 0, 12, 20, 12},
        {GBlitRule::DarkenSubPixel, 2, 12, 16, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(reference::RuleName(c.rule)) + " " + std::to_string(c.o));
        EXPECT_EQ(DrawnPixels(c.rule, c.o, &corner), c.corner);
        EXPECT_EQ(DrawnPixels(c.rule, c.o, &whole), c.whole);
        EXPECT_EQ(DrawnPixels(c.rule, c.o, nullptr), c.none); // unchanged: (SW-1) x (SH-1)
    }
}

} // namespace
