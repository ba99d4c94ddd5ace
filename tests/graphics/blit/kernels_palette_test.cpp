// Palettised sprites drawn whole, the way small board pieces and icons are: every width from 1
// to 48 (a run's eight-colour groups, its exact last group and its short tails), in every
// orientation and instruction set, against the plain reference. The index key images have
// convex rows (one opaque stretch, anywhere) and broken ones, with and without a run table.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/blit/blit_runs.h"
#include "support/reference_kernels.h"

namespace {

int Between(std::mt19937& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Row y of a w x h indexed image: a convex row keeps one stretch of opaque indices and keys the
// rest (entry 0 has the key colour); a broken row keys single pixels at random.
void KeyRows(GBitmap& src, uint32_t key, std::mt19937& rng)
{
    uint8_t* block = src.GetPixels();
    for (int c = 0; c < 3; ++c)
        block[2 + c] = uint8_t(key >> (8 * c));
    for (int e = 1; e < 256; ++e)
        if ((block[2 + 3 * e] | block[3 + 3 * e] << 8 | block[4 + 3 * e] << 16) == int(key))
            block[2 + 3 * e] ^= 1;
    const int w = src.GetWidth();
    uint8_t* indices = block + 770;
    for (int y = 0; y < src.GetHeight(); ++y) {
        uint8_t* row = indices + y * w;
        const bool convex = Between(rng, 0, 2) != 0;
        const int from = Between(rng, 0, w), to = Between(rng, from, w);
        for (int x = 0; x < w; ++x) {
            const bool keyed = convex ? x < from || x >= to : Between(rng, 0, 3) == 0;
            row[x] = keyed ? 0 : uint8_t(Between(rng, 1, 255));
        }
    }
}

class KernelPalette : public reference::KernelIsaTest {};

TEST_P(KernelPalette, WholeSpritesOfEveryWidthMatchTheReference)
{
    struct Case {
        GBlitRule rule;
        uint8_t format;
        bool table; // a run table prepared, as the store does for keyed formats
    };
    const Case cases[] = {{GBlitRule::Indexed, 16, false},
                          {GBlitRule::IndexedKey, 18, true},
                          {GBlitRule::IndexedKey, 18, false}};
    std::mt19937 rng(35);
    for (const Case& c : cases)
        for (int w = 1; w <= 48; ++w)
            for (int o = 0; o < 4; ++o) {
                const int h = Between(rng, 1, 5);
                auto src = reference::MakeSource(c.rule, w, h, rng, reference::Slack::Tight);
                const uint32_t key = rng() & 0xFFFFFFu;
                KeyRows(*src, key, rng);
                src->SetKeyColour(key);
                src->SetFormat(c.format);
                if (c.table)
                    PrepareBlitRuns(*src);
                const int dw = w + Between(rng, 0, 9), dh = h + Between(rng, 0, 2);
                const int x = Between(rng, 0, dw - w), y = Between(rng, 0, dh - h);
                auto fast = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                auto slow = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
                GBlitArgs args;
                GetBlitKernel(c.rule, uint8_t(o))(fast.get(), src.get(), int16_t(x), int16_t(y),
                                                  args, nullptr);
                reference::Blit(c.rule, o, slow.get(), src.get(), x, y, args, nullptr);
                ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                    << reference::RuleName(c.rule) << " width " << w << " height " << h
                    << " orientation " << o << (c.table ? " with a run table" : "");
            }
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelPalette, reference::kAllKernelIsas, reference::KernelIsaName);

} // namespace
