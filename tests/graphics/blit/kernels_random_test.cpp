// Every kernel (20 rules x 4 orientations) against the plain reference, on random images,
// sizes, positions, clip rectangles, alphas, keys and fractions, in each instruction set.
// Images are cut to exactly the bytes a kernel may read (and destinations to the image
// itself), so under AddressSanitizer any stray access fails too.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "graphics/blit/kernels.h"
#include "support/reference_kernels.h"

namespace {

using reference::Slack;

struct Case {
    GBlitRule rule;
    int orientation;
    int sw, sh, dw, dh, x, y;
    bool hasClip;
    GRect clip;
    GBlitArgs args;
    Slack slack;

    std::string Describe() const
    {
        std::ostringstream out;
        out << reference::RuleName(rule) << " orientation " << orientation << " src " << sw << "x" << sh << " dst "
            << dw << "x" << dh << " at (" << x << "," << y << ")";
        if (hasClip)
            out << " clip (" << clip.left << "," << clip.top << "," << clip.right << "," << clip.bottom << ")";
        out << " alpha " << int(args.alpha) << " fx " << args.fx << " fy " << args.fy;
        return out.str();
    }
};

int Between(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

Case RandomCase(GBlitRule rule, int orientation, std::mt19937& rng)
{
    Case c{};
    c.rule = rule, c.orientation = orientation;
    const bool wide = Between(rng, 0, 3) == 0; // long rows exercise the SIMD groups
    c.sw = wide ? Between(rng, 16, 120) : Between(rng, 1, 24);
    c.sh = Between(rng, 1, 12);
    c.dw = Between(rng, 1, wide ? 140 : 40);
    c.dh = Between(rng, 1, 16);
    c.x = Between(rng, -c.sw - 2, c.dw + 2);
    c.y = Between(rng, -c.sh - 2, c.dh + 2);
    if (Between(rng, 0, 7) == 0) // whole rows of both images, which a copy takes as one block
        c.dw = c.sw, c.x = 0;
    const int inset = reference::RuleIsSubPixel(rule) ? 1 : 0;
    const int clipKind = Between(rng, 0, 9);
    c.hasClip = clipKind >= 2;
    switch (clipKind) {
    case 0:
    case 1: // none
        break;
    case 2: // anywhere, possibly straying outside the placement
        c.clip.left = int16_t(Between(rng, -5, c.dw + 5));
        c.clip.top = int16_t(Between(rng, -5, c.dh + 5));
        c.clip.right = int16_t(c.clip.left + Between(rng, -3, c.sw + 4));
        c.clip.bottom = int16_t(c.clip.top + Between(rng, -3, c.sh + 4));
        break;
    case 3: // empty or inverted
        c.clip.left = int16_t(Between(rng, c.x, c.x + c.sw));
        c.clip.top = int16_t(Between(rng, c.y, c.y + c.sh));
        c.clip.right = int16_t(c.clip.left - Between(rng, 1, 40));
        c.clip.bottom = int16_t(c.clip.top + Between(rng, -2, 3));
        break;
    default: { // inside the placement, as the dispatch passes it
        const int maxW = std::max(1, c.sw - inset), maxH = std::max(1, c.sh - inset);
        const int l = Between(rng, 0, maxW - 1), t = Between(rng, 0, maxH - 1);
        c.clip.left = int16_t(c.x + l);
        c.clip.top = int16_t(c.y + t);
        c.clip.right = int16_t(c.x + Between(rng, l, maxW - 1));
        c.clip.bottom = int16_t(c.y + Between(rng, t, maxH - 1));
        break;
    }
    }
    const int alphaKind = Between(rng, 0, 4);
    c.args.alpha = alphaKind == 0 ? 0 : alphaKind == 1 ? 255 : uint8_t(Between(rng, 0, 255));
    c.args.fx = int16_t(Between(rng, 0, 3) == 0 ? 0 : Between(rng, 0, 255));
    c.args.fy = int16_t(Between(rng, 0, 3) == 0 ? 0 : Between(rng, 0, 255));
    c.slack = Between(rng, 0, 3) == 0 ? Slack::Standard : Slack::Tight;
    return c;
}

// Mask bytes biased toward the two special values.
void ShapeMask(GBitmap& src, std::mt19937& rng)
{
    uint8_t* mask = src.GetAlpha();
    if (!mask)
        return;
    const uint32_t n = src.GetAlphaBlock()->GetSize();
    int run = 0;
    uint8_t value = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (run == 0) { // runs, as real masks have, so SIMD groups see uniform and mixed spans
            run = Between(rng, 1, 24);
            const int kind = Between(rng, 0, 3);
            value = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(Between(rng, 0, 255));
        }
        mask[i] = Between(rng, 0, 4) == 0 ? uint8_t(rng()) : value;
        --run;
    }
}

// A key that hits: the colour of some source pixels, copied over runs of pixels.
uint32_t ShapeKey(GBitmap& src, GBlitRule rule, std::mt19937& rng)
{
    const int kind = Between(rng, 0, 5);
    if (kind == 0)
        return rng() | 0x01000000u; // top byte set: never matches
    if (kind == 1)
        return rng() & 0xFFFFFFu;
    const uint32_t key = rng() & 0xFFFFFFu;
    const uint8_t bytes[3] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16)};
    const int w = src.GetWidth(), h = src.GetHeight();
    if (reference::RuleIsIndexed(rule)) {
        uint8_t* block = src.GetPixels();
        for (int e = 0; e < 256; e += Between(rng, 1, 8)) {
            std::memcpy(block + 2 + 3 * e, bytes, 3);
            if (Between(rng, 0, 3) == 0) // a near miss
                block[2 + 3 * e + Between(rng, 0, 2)] ^= uint8_t(1 << Between(rng, 0, 7));
        }
    } else {
        // Runs of the key colour, and near misses that differ from it in one byte only.
        uint8_t* p = src.GetPixels();
        for (int i = 0; i < w * h; ++i) {
            const int kind = (i / 7 + i / w) % 4;
            if (kind == 0 || kind == 1)
                std::memcpy(p + 3 * i, bytes, 3);
            if (kind == 1 && Between(rng, 0, 2) == 0)
                p[3 * i + Between(rng, 0, 2)] ^= uint8_t(1 << Between(rng, 0, 7));
        }
    }
    return key;
}

void RunCase(const Case& c, std::mt19937& rng)
{
    auto src = reference::MakeSource(c.rule, c.sw, c.sh, rng, c.slack);
    ShapeMask(*src, rng);
    uint32_t key = 0;
    if (c.rule == GBlitRule::Key || c.rule == GBlitRule::KeyAlpha ||
        c.rule == GBlitRule::IndexedKey || c.rule == GBlitRule::IndexedKeyAlpha)
        key = ShapeKey(*src, c.rule, rng);
    src->SetKeyColour(key);
    const auto table = reference::MakeTable(rng);
    GBlitArgs args = c.args;
    args.table = table.data();

    auto fast = reference::MakeDestination(c.dw, c.dh, rng, c.slack),
         slow = reference::MakeDestination(c.dw, c.dh, rng, c.slack);
    std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());

    const GRect* clip = c.hasClip ? &c.clip : nullptr;
    GetBlitKernel(c.rule, uint8_t(c.orientation))(fast.get(), src.get(), int16_t(c.x), int16_t(c.y), args, clip);
    reference::Blit(c.rule, c.orientation, slow.get(), src.get(), c.x, c.y, args, clip);

    const auto a = reference::Snapshot(*fast), b = reference::Snapshot(*slow);
    if (a != b) {
        size_t first = 0;
        while (a[first] == b[first])
            ++first;
        const int pixel = int(first / 3);
        FAIL() << c.Describe() << "\nkey used 0x" << std::hex << key << std::dec << "\nfirst difference at byte "
               << first << " (pixel " << pixel % c.dw << "," << pixel / c.dw << "): kernel " << int(a[first])
               << ", reference " << int(b[first]);
    }
}

class KernelsAgainstReference : public reference::KernelIsaTest {};

TEST_P(KernelsAgainstReference, EveryRuleAndOrientationOnRandomGeometry)
{
    constexpr int kTrials = 120;
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o) {
            std::mt19937 rng(uint32_t(1000 * r + 10 * o + 1));
            for (int t = 0; t < kTrials && !HasFatalFailure(); ++t)
                RunCase(RandomCase(GBlitRule(r), o, rng), rng);
        }
}

// Long rows that start and end at every offset modulo the SIMD group, so each path's row
// prefix and scalar tail meet at every possible split.
TEST_P(KernelsAgainstReference, RowSplitsAtEveryOffset)
{
    std::mt19937 rng(99);
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (int w = 1; w <= 60 && !HasFatalFailure(); ++w) {
                // 64 x 3 source at (2, 0) of a 70 x 3 destination, clipped to one w-pixel row.
                Case c{GBlitRule(r), o, 64, 3, 70, 3, 2, 0, true,
                       GRect{int16_t(2 + (w % 4)), 0, int16_t(2 + (w % 4) + w - 1), 1}, {}, Slack::Tight};
                c.args.alpha = uint8_t(rng()), c.args.fx = int16_t(rng() & 255), c.args.fy = int16_t(rng() & 255);
                RunCase(c, rng);
            }
}

// Small images drawn whole, several rows of every width up to 48 pixels: the paths that decide
// by the row's length once per call (rather than once a row) meet every length class.
TEST_P(KernelsAgainstReference, SmallImagesWholeAtEveryWidth)
{
    std::mt19937 rng(1616);
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (int w = 1; w <= 48 && !HasFatalFailure(); ++w) {
                const int h = 1 + w % 4;
                Case c{GBlitRule(r), o, w, h, w + 6, h + 2, 3, 1, false, {}, {}, Slack::Tight};
                c.args.alpha = uint8_t(rng()), c.args.fx = int16_t(rng() & 255), c.args.fy = int16_t(rng() & 255);
                RunCase(c, rng);
            }
}

// Rows wider than the buffers the palettised rows lay their colours out in (512 pixels a
// chunk), cut at random places, so every chunk boundary meets a row prefix and a tail.
TEST_P(KernelsAgainstReference, WideRowsAcrossTheColourChunks)
{
    std::mt19937 rng(512);
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (int t = 0; t < 3 && !HasFatalFailure(); ++t) {
                const int sw = Between(rng, 500, 1100), dw = sw + 8;
                Case c{GBlitRule(r), o, sw, 2, dw, 2, 4, 0, t != 0,
                       GRect{int16_t(4 + Between(rng, 0, 20)), 0, int16_t(4 + sw - 1 - Between(rng, 0, 20)), 1},
                       {}, Slack::Tight};
                c.args.alpha = uint8_t(rng()), c.args.fx = int16_t(rng() & 255), c.args.fy = int16_t(rng() & 255);
                RunCase(c, rng);
            }
}

// Indexed keys over large areas decide keyed indices once per call: none, exactly one, or
// several indices carrying the key colour, each against the reference.
TEST_P(KernelsAgainstReference, IndexedKeyWithNoneOneAndSeveralKeyedEntries)
{
    std::mt19937 rng(31);
    for (GBlitRule rule : {GBlitRule::IndexedKey, GBlitRule::IndexedKeyAlpha})
        for (int keyed : {0, 1, 3})
            for (int o = 0; o < 4; ++o) {
                auto src = reference::MakeSource(rule, 64, 40, rng, Slack::Tight);
                uint8_t* block = src->GetPixels();
                const uint32_t key = 0x123456;
                // Make sure no entry has the key by chance, then give it to `keyed` entries.
                for (int e = 0; e < 256; ++e)
                    if ((block[2 + 3 * e] | block[3 + 3 * e] << 8 | block[4 + 3 * e] << 16) == int(key))
                        block[2 + 3 * e] ^= 1;
                const int entries[3] = {0, 77, 255};
                for (int k = 0; k < keyed; ++k)
                    std::memcpy(block + 2 + 3 * entries[k], "\x56\x34\x12", 3);
                for (int i = 0; i < 64 * 40; ++i) // runs of keyed entries, as sprites have
                    if ((i / 9) % 3 == 0)
                        block[770 + i] = uint8_t(entries[(i / 27) % 3]);
                src->SetKeyColour(key);
                GBlitArgs args{.alpha = 190};
                auto fast = reference::MakeDestination(70, 44, rng, Slack::Tight),
                     slow = reference::MakeDestination(70, 44, rng, Slack::Tight);
                std::memcpy(slow->GetPixels(), fast->GetPixels(), 70 * 44 * 3);
                const GRect clip{3, 2, 62, 40};
                for (const GRect* c : {static_cast<const GRect*>(nullptr), &clip}) {
                    GetBlitKernel(rule, uint8_t(o))(fast.get(), src.get(), 2, 1, args, c);
                    reference::Blit(rule, o, slow.get(), src.get(), 2, 1, args, c);
                    ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                        << reference::RuleName(rule) << " keyed entries " << keyed << " orientation " << o;
                }
            }
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelsAgainstReference, reference::kAllKernelIsas,
                         reference::KernelIsaName);

} // namespace
