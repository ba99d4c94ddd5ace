// Keyed sprites drawn from their run tables the way small pieces are: every width from 1 to 48
// (rows of one to four 32-byte windows and past them), convex and broken rows, drawn whole and
// through rectangles that keep whole rows, in every orientation and instruction set, against
// the plain reference. Tight blocks: a read or write past a row's end shows under the sanitizer.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "foundation/core/rect.h"
#include "graphics/blit/blit_runs.h"
#include "support/reference_kernels.h"

namespace {

int Between(std::mt19937& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// A convex row keys everything outside one stretch (which may be empty or the whole row); a
// broken row keys single pixels at random. Drawn pixels never have the key colour.
void KeyRows(GBitmap& src, uint32_t key, std::mt19937& rng)
{
    const int w = src.GetWidth();
    for (int y = 0; y < src.GetHeight(); ++y) {
        uint8_t* row = src.GetPixels() + ptrdiff_t(y) * src.GetPitch();
        const bool convex = Between(rng, 0, 3) != 0;
        const int from = Between(rng, 0, w), to = Between(rng, from, w);
        for (int x = 0; x < w; ++x) {
            const bool keyed = convex ? x < from || x >= to : Between(rng, 0, 2) == 0;
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = uint8_t(key >> (8 * c));
            if (!keyed)
                row[3 * x] ^= uint8_t(Between(rng, 1, 255));
        }
    }
}

class KernelKeyRows : public reference::KernelIsaTest {};

TEST_P(KernelKeyRows, TabledSpritesOfEveryWidthMatchTheReference)
{
    std::mt19937 rng(3535);
    int tabled = 0;
    for (int w = 1; w <= 48; ++w)
        for (int o = 0; o < 4; ++o)
            for (const bool part : {false, true}) {
                const int h = Between(rng, 1, 9);
                auto src =
                    reference::MakeSource(GBlitRule::Key, w, h, rng, reference::Slack::Tight);
                const uint32_t key = rng() & 0xFFFFFFu;
                KeyRows(*src, key, rng);
                src->SetKeyColour(key);
                src->SetFormat(1);
                PrepareBlitRuns(*src);
                tabled += src->GetRuns() != nullptr; // refused when its runs are too short
                const int dw = w + Between(rng, 0, 9), dh = h + Between(rng, 0, 2);
                const int x = Between(rng, 0, dw - w), y = Between(rng, 0, dh - h);
                // Whole rows of the placement, some rows off at the top and bottom.
                const int top = Between(rng, 0, h - 1), bottom = Between(rng, top, h - 1);
                const GRect rows{int16_t(x), int16_t(y + top), int16_t(x + w - 1),
                                 int16_t(y + bottom)};
                auto fast = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                auto slow = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
                const GRect* clip = part ? &rows : nullptr;
                GBlitArgs args;
                GetBlitKernel(GBlitRule::Key, uint8_t(o))(fast.get(), src.get(), int16_t(x),
                                                          int16_t(y), args, clip);
                reference::Blit(GBlitRule::Key, o, slow.get(), src.get(), x, y, args, clip);
                ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                    << "width " << w << " height " << h << " orientation " << o
                    << (part ? " rows " + std::to_string(top) + ".." + std::to_string(bottom) : "");
            }
    // Most images have a table, so the table's loops are what was compared.
    EXPECT_GT(tabled, 48 * 4 * 2 / 2);
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelKeyRows, reference::kAllKernelIsas, reference::KernelIsaName);

} // namespace
