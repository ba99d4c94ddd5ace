// The kernels walking run tables against the plain reference: random keyed and masked images
// (runs of every kind and length), sizes, positions and clip rectangles, in every orientation
// and instruction set; and tables that no longer describe their image are not used.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/blit/blit_runs.h"
#include "support/reference_kernels.h"

namespace {

int Between(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

struct RunRule {
    GBlitRule rule;
    uint8_t format; // the draw mode, which is the format the store prepares the table for
};
constexpr RunRule kRunRules[] = {
    {GBlitRule::Key, 1},         {GBlitRule::KeyAlpha, 8},          {GBlitRule::IndexedKey, 18},
    {GBlitRule::IndexedKeyAlpha, 19}, {GBlitRule::Mask, 2},          {GBlitRule::MaskAlpha, 3},
    {GBlitRule::Lighten, 13},    {GBlitRule::Darken, 14},           {GBlitRule::IndexedMask, 20},
    {GBlitRule::IndexedMaskAlpha, 21},
};

// Runs of keyed pixels (or palette entries 0..3 given the key colour) and of mask bytes 0, 255
// and between, with single pixels breaking them.
void ShapeRuns(GBitmap& src, GBlitRule rule, uint32_t key, std::mt19937& rng, int longestRun = 40)
{
    const int n = src.GetWidth() * src.GetHeight();
    const bool indexed = reference::RuleIsIndexed(rule);
    uint8_t* pixels = src.GetPixels();
    if (indexed)
        for (int e = 0; e < 4; ++e)
            for (int c = 0; c < 3; ++c)
                pixels[2 + 3 * e + c] = uint8_t(key >> (8 * c));
    for (int i = 0, left = 0, kind = 0; i < n; ++i, --left) {
        if (left == 0) {
            left = Between(rng, 1, longestRun);
            kind = Between(rng, 0, 2);
        }
        const int k = Between(rng, 0, 9) == 0 ? Between(rng, 0, 2) : kind;
        if (uint8_t* mask = src.GetAlpha())
            mask[i] = k == 0 ? 255 : k == 1 ? 0 : uint8_t(Between(rng, 1, 254));
        if (pixels && k == 0 && indexed)
            pixels[770 + i] = uint8_t(Between(rng, 0, 3));
        else if (pixels && k == 0 && reference::RuleReadsColours(rule))
            for (int c = 0; c < 3; ++c)
                pixels[3 * i + c] = uint8_t(key >> (8 * c));
    }
}

class KernelRuns : public reference::KernelIsaTest {};

TEST_P(KernelRuns, MatchTheReferenceInEveryOrientationAndClip)
{
    std::mt19937 rng(77);
    int tables = 0, trials = 0;
    for (const RunRule& r : kRunRules) {
        for (int o = 0; o < 4; ++o) {
            for (int trial = 0; trial < 60; ++trial) {
                const bool masked = reference::RuleReadsMask(r.rule);
                const int sw = masked ? Between(rng, 8, 180) : Between(rng, 1, 90), sh = Between(rng, 1, 9);
                const int dw = Between(rng, 1, 200), dh = Between(rng, 1, 12);
                const int x = Between(rng, -sw, dw), y = Between(rng, -sh, dh);
                auto src = reference::MakeSource(r.rule, sw, sh, rng, reference::Slack::Tight);
                const uint32_t key = rng() & 0xFFFFFFu;
                ShapeRuns(*src, r.rule, key, rng);
                src->SetKeyColour(key);
                src->SetFormat(r.format);
                PrepareBlitRuns(*src);
                tables += src->GetRuns() != nullptr; // fragmented images get none
                ++trials;
                if (trial % 8 == 7) // a table built for another key is ignored
                    src->SetKeyColour(key ^ 0x10);
                GRect clip{int16_t(x + Between(rng, -2, sw)), int16_t(y + Between(rng, -2, sh)), 0, 0};
                clip.right = int16_t(clip.left + Between(rng, -1, sw + 2));
                clip.bottom = int16_t(clip.top + Between(rng, -1, sh + 2));
                const GRect* area = trial % 3 == 0 ? nullptr : &clip;
                GBlitArgs args;
                args.alpha = uint8_t(rng());

                auto fast = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                auto slow = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
                std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
                GetBlitKernel(r.rule, uint8_t(o))(fast.get(), src.get(), int16_t(x), int16_t(y), args, area);
                reference::Blit(r.rule, o, slow.get(), src.get(), x, y, args, area);
                ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                    << reference::RuleName(r.rule) << " orientation " << o << " trial " << trial;
            }
        }
    }
    EXPECT_GT(tables, trials * 3 / 4);
}

// Sprites drawn whole with opaque runs far longer than a short copy (up to 1,200 bytes), at
// every alignment of the destination.
TEST_P(KernelRuns, LongOpaqueRunsMatchTheReference)
{
    std::mt19937 rng(78);
    for (const RunRule& r : {kRunRules[0], kRunRules[4]}) {
        for (int trial = 0; trial < 64; ++trial) {
            const int sw = Between(rng, 80, 400), sh = Between(rng, 1, 6);
            const int dw = sw + 40, dh = sh + 2;
            const int x = Between(rng, 0, 40), y = Between(rng, 0, 2);
            auto src = reference::MakeSource(r.rule, sw, sh, rng, reference::Slack::Tight);
            const uint32_t key = rng() & 0xFFFFFFu;
            ShapeRuns(*src, r.rule, key, rng, 400);
            src->SetKeyColour(key);
            src->SetFormat(r.format);
            PrepareBlitRuns(*src);
            GBlitArgs args;
            auto fast = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
            auto slow = reference::MakeDestination(dw, dh, rng, reference::Slack::Tight);
            std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
            GetBlitKernel(r.rule, 0)(fast.get(), src.get(), int16_t(x), int16_t(y), args, nullptr);
            reference::Blit(r.rule, 0, slow.get(), src.get(), x, y, args, nullptr);
            ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                << reference::RuleName(r.rule) << " trial " << trial << " width " << sw;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelRuns, reference::kAllKernelIsas, reference::KernelIsaName);

// Tables follow the image's format and blocks; short solid runs join the blended ones; rows
// cover the width exactly.
TEST(BlitRuns, BuiltForKeyedAndMaskedFormatsOnly)
{
    std::mt19937 rng(5);
    auto masked = reference::MakeSource(GBlitRule::Mask, 160, 2, rng);
    std::memset(masked->GetAlpha(), 0, 320);
    masked->GetAlpha()[200] = 255;
    masked->GetAlpha()[201] = 3;
    auto runs = GBlitRuns::Build(*masked);
    ASSERT_NE(runs, nullptr);
    const uint32_t expected[] = {40u << 2 | 1, 2u << 2 | 2, 118u << 2 | 1};
    EXPECT_TRUE(std::equal(runs->RowBegin(1), runs->RowEnd(1), std::begin(expected), std::end(expected)));
    EXPECT_EQ(runs->RowEnd(0) - runs->RowBegin(0), 1);

    masked->SetFormat(7);
    EXPECT_EQ(GBlitRuns::Build(*masked), nullptr);
    auto narrow = reference::MakeSource(GBlitRule::Mask, 127, 2, rng);
    EXPECT_NE(GBlitRuns::Build(*narrow), nullptr);
    auto keyed = reference::MakeSource(GBlitRule::Key, 160, 2, rng);
    keyed->SetFormat(1);
    keyed->SetKeyColour(0);
    for (int i = 0; i < 320; ++i) // runs of 2
        std::memset(keyed->GetPixels() + 3 * i, i % 4 < 2 ? 0 : 1, 3);
    EXPECT_EQ(GBlitRuns::Build(*keyed), nullptr);
    auto empty = std::make_unique<GBitmap>(int16_t(0), int16_t(0), 0u, uint8_t(1));
    EXPECT_EQ(GBlitRuns::Build(*empty), nullptr);
}

// A table is used while what it was built from is what the kernel reads: the pixels of a key
// table, the mask of a mask table.
TEST(BlitRuns, TablesAreCheckedAgainstWhatTheyDescribe)
{
    std::mt19937 rng(6);
    auto keyed = reference::MakeSource(GBlitRule::Key, 40, 2, rng);
    keyed->SetFormat(1);
    keyed->SetKeyColour(0);
    std::memset(keyed->GetPixels(), 0, 3 * 20);
    PrepareBlitRuns(*keyed);
    ASSERT_NE(keyed->GetRuns(), nullptr);
    const uint8_t other[4] = {};
    EXPECT_NE(GBlitRuns::Of(*keyed, GRunSource::Key, keyed->GetPixels(), other), nullptr);
    EXPECT_EQ(GBlitRuns::Of(*keyed, GRunSource::Key, other, keyed->GetAlpha()), nullptr);
    EXPECT_EQ(GBlitRuns::Of(*keyed, GRunSource::Mask, keyed->GetPixels(), keyed->GetAlpha()), nullptr);
    keyed->SetKeyColour(1);
    EXPECT_EQ(GBlitRuns::Of(*keyed, GRunSource::Key, keyed->GetPixels(), keyed->GetAlpha()), nullptr);

    auto masked = reference::MakeSource(GBlitRule::Mask, 40, 2, rng);
    std::memset(masked->GetAlpha(), 0, 80);
    PrepareBlitRuns(*masked);
    ASSERT_NE(masked->GetRuns(), nullptr);
    EXPECT_NE(GBlitRuns::Of(*masked, GRunSource::Mask, other, masked->GetAlpha()), nullptr);
    EXPECT_EQ(GBlitRuns::Of(*masked, GRunSource::Mask, masked->GetPixels(), other), nullptr);
}

// A plain keyed image's table carries its drawn pixels row after row, keyed ones left out; the
// faded format and mask tables, whose rules blend, carry none.
TEST(BlitRuns, PlainKeyTablesCarryTheDrawnPixels)
{
    std::mt19937 rng(8);
    auto keyed = reference::MakeSource(GBlitRule::Key, 30, 5, rng);
    const uint32_t key = 0x123456;
    ShapeRuns(*keyed, GBlitRule::Key, key, rng, 12);
    keyed->SetKeyColour(key);
    keyed->SetFormat(1);
    PrepareBlitRuns(*keyed);
    const auto* runs = static_cast<const GBlitRuns*>(keyed->GetRuns());
    ASSERT_NE(runs, nullptr);
    std::vector<uint8_t> expected;
    std::vector<uint32_t> starts;
    for (int y = 0; y < 5; ++y) {
        starts.push_back(uint32_t(expected.size()));
        for (int x = 0; x < 30; ++x) {
            const uint8_t* p = keyed->GetPixels() + y * keyed->GetPitch() + x * 3;
            if ((p[0] | p[1] << 8 | p[2] << 16) != int(key))
                expected.insert(expected.end(), p, p + 3);
        }
    }
    starts.push_back(uint32_t(expected.size()));
    ASSERT_NE(runs->Packed(), nullptr);
    EXPECT_EQ(std::vector<uint8_t>(runs->Packed(), runs->Packed() + expected.size()), expected);
    EXPECT_EQ(std::vector<uint32_t>(runs->PackedStarts(), runs->PackedStarts() + 6), starts);

    keyed->SetFormat(8);
    PrepareBlitRuns(*keyed);
    ASSERT_NE(keyed->GetRuns(), nullptr);
    EXPECT_EQ(static_cast<const GBlitRuns*>(keyed->GetRuns())->Packed(), nullptr);
}

// Masked sprites of every small width: a hard edge gets a run table, a soft one (blends of a few
// pixels all round) none; drawn whole, flipped or placed part off the target, both match.
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

// Glows and shadows of 8 to 24 pixels with their tables: the narrow ones are drawn row by row
// past their table, the wider ones by it; whole, part off the target and through a rectangle.
TEST_P(MaskedSprites, NarrowGlowsAndShadowsMatchTheReference)
{
    std::mt19937 rng(1020);
    for (const GBlitRule rule : {GBlitRule::Lighten, GBlitRule::Darken})
        for (int size = 8; size <= 24; ++size) {
            auto src = reference::MakeSource(rule, size, size, rng, reference::Slack::Tight);
            src->SetFormat(rule == GBlitRule::Lighten ? 13 : 14);
            ShapeDisc(*src, 1.0);
            PrepareBlitRuns(*src);
            const GRect part{4, 3, int16_t(4 + size / 2), int16_t(3 + size - 2)};
            for (int o = 0; o < 4; ++o)
                for (const int x : {3, -size / 3})
                    for (const GRect* clip : {static_cast<const GRect*>(nullptr), &part}) {
                        if (clip && x < 0)
                            continue; // a rectangle lies inside the placement
                        auto fast = reference::MakeDestination(40, 30, rng, reference::Slack::Tight);
                        auto slow = reference::MakeDestination(40, 30, rng, reference::Slack::Tight);
                        std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
                        GetBlitKernel(rule, uint8_t(o))(fast.get(), src.get(), int16_t(x), 2, GBlitArgs{}, clip);
                        reference::Blit(rule, o, slow.get(), src.get(), x, 2, GBlitArgs{}, clip);
                        ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow))
                            << reference::RuleName(rule) << " " << size << " " << o << " " << x << (clip ? " clip" : "");
                    }
        }
}

// Lighten draws the stretches between opaque runs (mask 0, nothing to add) ten pixels at a time:
// stretches of every length before the shortest opaque run a table keeps (8), and a stretch
// right after it, so that a window running past the stretch would reach the next one.
TEST_P(MaskedSprites, LightenStretchesEndWhereTheOpaqueRunsBegin)
{
    std::mt19937 rng(10);
    const int w = 60, h = 14;
    auto src = reference::MakeSource(GBlitRule::Lighten, w, h, rng, reference::Slack::Tight);
    src->SetFormat(13);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src->GetAlpha()[y * w + x] = x >= 8 + y && x < 16 + y ? 0 : uint8_t(Between(rng, 1, 254));
    PrepareBlitRuns(*src);
    ASSERT_NE(src->GetRuns(), nullptr);
    for (int o = 0; o < 4; ++o) {
        auto fast = reference::MakeDestination(w, h, rng, reference::Slack::Tight);
        auto slow = reference::MakeDestination(w, h, rng, reference::Slack::Tight);
        std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
        GetBlitKernel(GBlitRule::Lighten, uint8_t(o))(fast.get(), src.get(), 0, 0, GBlitArgs{}, nullptr);
        reference::Blit(GBlitRule::Lighten, o, slow.get(), src.get(), 0, 0, GBlitArgs{}, nullptr);
        ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow)) << o;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, MaskedSprites, reference::kAllKernelIsas, reference::KernelIsaName);

// Rows of the convex shape (skip, rim, opaque, rim, skip), one per combination of widths around
// the limits of the whole-row paths, keyed and masked, drawn whole in every orientation. Opaque
// rows below them keep the short rims under the share that would deny the image its table.
TEST_P(MaskedSprites, ConvexRowsAtTheirLimits)
{
    std::mt19937 rng(9);
    const int rims[] = {0, 1, 5, 6, 10, 11}, opaques[] = {0, 1, 7, 8, 12};
    const int w = 2 + 11 + 12 + 11 + 2, shaped = 2 * 6 * 6 * 5, h = shaped * 2;
    for (const GBlitRule rule : {GBlitRule::Mask, GBlitRule::Key}) {
        auto src = reference::MakeSource(rule, w, h, rng, reference::Slack::Tight);
        src->SetFormat(rule == GBlitRule::Mask ? 2 : 1);
        src->SetKeyColour(0x123456);
        int y = 0;
        for (const int x : {0, 2})
            for (const int left : rims)
                for (const int right : rims)
                    for (const int opaque : opaques) {
                        for (int i = 0; i < w; ++i) {
                            const bool in = i >= x && i < x + left + opaque + right;
                            const bool rim = in && (i < x + left || i >= x + left + opaque);
                            if (rule == GBlitRule::Mask)
                                src->GetAlpha()[y * w + i] = !in ? 255 : rim ? uint8_t(Between(rng, 1, 254)) : 0;
                            else if (!in)
                                std::memcpy(src->GetPixels() + 3 * (y * w + i), "\x56\x34\x12", 3);
                        }
                        ++y;
                    }
        if (rule == GBlitRule::Mask)
            std::memset(src->GetAlpha() + shaped * w, 0, size_t(h - shaped) * w);
        PrepareBlitRuns(*src);
        const auto* runs = static_cast<const GBlitRuns*>(src->GetRuns());
        ASSERT_NE(runs, nullptr);
        EXPECT_GT(std::count_if(runs->RowSpans(), runs->RowSpans() + h, [](const GRowSpan& s) { return !s.general; }),
                  h / 2);
        for (int o = 0; o < 4; ++o) {
            auto fast = reference::MakeDestination(w, h, rng, reference::Slack::Tight);
            auto slow = reference::MakeDestination(w, h, rng, reference::Slack::Tight);
            std::memcpy(slow->GetPixels(), fast->GetPixels(), fast->GetPixelBlock()->GetSize());
            GetBlitKernel(rule, uint8_t(o))(fast.get(), src.get(), 0, 0, GBlitArgs{}, nullptr);
            reference::Blit(rule, o, slow.get(), src.get(), 0, 0, GBlitArgs{}, nullptr);
            ASSERT_EQ(reference::Snapshot(*fast), reference::Snapshot(*slow)) << reference::RuleName(rule) << " " << o;
        }
    }
}

} // namespace
