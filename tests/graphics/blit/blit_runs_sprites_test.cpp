// Masked sprites of every small width: a hard edge gets a run table, a soft one (blends of a few
// pixels all round) none; drawn whole, flipped or placed part off the target, both match the
// reference in every orientation and instruction set.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "graphics/blit/blit_runs.h"
#include "support/reference_kernels.h"

namespace {

// A disc: mask 0 inside, 255 outside, a ramp `rim` pixels wide between.
void ShapeDisc(GBitmap& image, double rim)
{
    const int w = image.GetWidth(), h = image.GetHeight();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double edge = (std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) - w / 2.0 + rim) / rim;
            image.GetAlpha()[y * w + x] = uint8_t(std::lround(std::clamp(edge, 0.0, 1.0) * 255));
        }
}

class MaskedSprites : public reference::KernelIsaTest {};

TEST_P(MaskedSprites, HardEdgesGetTablesAndEveryDrawMatchesTheReference)
{
    std::mt19937 rng(3);
    for (int size = 8; size <= 64; size += 7)
        for (const double rim : {1.0, size / 10.0}) {
            auto src = reference::MakeSource(GBlitRule::Mask, size, size, rng, reference::Slack::Tight);
            src->SetFormat(2);
            ShapeDisc(*src, rim);
            PrepareBlitRuns(*src);
            if (size >= 36) {
                EXPECT_EQ(src->GetRuns() != nullptr, rim == 1.0) << size;
            }
            for (int o = 0; o < 4; ++o)
                for (const int x : {3, -size / 3}) {
                    auto fast = reference::MakeDestination(80, 70, rng, reference::Slack::Tight);
                    auto slow = reference::MakeDestination(80, 70, rng, reference::Slack::Tight);
                    std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
                    GetBlitKernel(GBlitRule::Mask, uint8_t(o))(fast.get(), src.get(), int16_t(x), 2, GBlitArgs{}, nullptr);
                    reference::Blit(GBlitRule::Mask, o, slow.get(), src.get(), x, 2, GBlitArgs{}, nullptr);
                    ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow)) << size << " " << o << " " << x;
                }
        }
}

INSTANTIATE_TEST_SUITE_P(Isa, MaskedSprites, reference::kAllKernelIsas, reference::KernelIsaName);

} // namespace
