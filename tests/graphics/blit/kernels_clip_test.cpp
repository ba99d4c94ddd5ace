// Clipping of the drawing area at every edge, for every rule and orientation: positions on and
// just past each edge of the destination, one-pixel clip rectangles at each corner of the
// placement, empty, inverted and stray rectangles, and source blocks too small for the rule.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>
#include <tuple>
#include <vector>

#include "graphics/blit/kernels.h"
#include "support/reference_kernels.h"

namespace {

constexpr int kW = 20, kH = 12; // destination
constexpr int kSW = 7, kSH = 5; // source

int Inset(GBlitRule rule) { return reference::RuleIsSubPixel(rule) ? 1 : 0; }
// With a rectangle a sub-pixel rule keeps only the cut of a walk that looks left (up).
int InsetX(GBlitRule rule, int o, const GRect* clip)
{
    return clip && !((o & 1) && rule != GBlitRule::MaskSubPixel) ? 0 : Inset(rule);
}
int InsetY(GBlitRule rule, int o, const GRect* clip) { return clip && !(o & 2) ? 0 : Inset(rule); }

struct Outcome {
    std::vector<uint8_t> before, kernel, reference;
};

// Draws with the kernel and with the reference on equal destinations.
Outcome Draw(GBlitRule rule, int orientation, int x, int y, const GRect* clip, uint32_t seed = 1)
{
    std::mt19937 rng(seed);
    auto src = reference::MakeSource(rule, kSW, kSH, rng, reference::Slack::Tight);
    // Keep every mask byte away from the skip values so each drawn pixel visibly changes.
    if (uint8_t* m = src->GetAlpha())
        for (uint32_t i = 0; i < src->GetAlphaBlock()->GetSize(); ++i)
            m[i] = uint8_t(60 + i % 100);
    src->SetKeyColour(0xFF000000u);
    const auto table = reference::MakeTable(rng);
    const GBlitArgs args{.alpha = 200, .table = table.data(), .fx = 100, .fy = 50};

    auto a = reference::MakeDestination(kW, kH, rng, reference::Slack::Tight);
    // Mid-grey destination: every rule moves it (lighten up, darken down, blends toward s).
    std::memset(a->GetPixels(), 128, size_t(kW) * kH * 3);
    auto b = reference::MakeDestination(kW, kH, rng, reference::Slack::Tight);
    std::memcpy(b->GetPixels(), a->GetPixels(), size_t(kW) * kH * 3);
    Outcome out;
    out.before = reference::Snapshot(*a);
    GetBlitKernel(rule, uint8_t(orientation))(a.get(), src.get(), int16_t(x), int16_t(y), args, clip);
    reference::Blit(rule, orientation, b.get(), src.get(), x, y, args, clip);
    out.kernel = reference::Snapshot(*a);
    out.reference = reference::Snapshot(*b);
    return out;
}

// The destination pixels that changed, as a bounding box and a count.
struct Changed {
    int count = 0;
    int left = kW, top = kH, right = -1, bottom = -1;
};

Changed ChangedPixels(const Outcome& o)
{
    Changed c;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (std::memcmp(&o.before[(y * kW + x) * 3], &o.kernel[(y * kW + x) * 3], 3)) {
                ++c.count;
                c.left = std::min(c.left, x);
                c.top = std::min(c.top, y);
                c.right = std::max(c.right, x);
                c.bottom = std::max(c.bottom, y);
            }
    return c;
}

// Expected drawn area: the placement (less the sub-pixel inset), the destination and the
// rectangle, intersected. Count 0 when empty.
Changed Expected(GBlitRule rule, int o, int x, int y, const GRect* clip)
{
    int l = std::max(x, 0), t = std::max(y, 0);
    int r = std::min(x + kSW - 1 - InsetX(rule, o, clip), kW - 1);
    int b = std::min(y + kSH - 1 - InsetY(rule, o, clip), kH - 1);
    if (clip) {
        l = std::max<int>(l, clip->left);
        t = std::max<int>(t, clip->top);
        r = std::min<int>(r, clip->right);
        b = std::min<int>(b, clip->bottom);
    }
    return l > r || t > b ? Changed{} : Changed{(r - l + 1) * (b - t + 1), l, t, r, b};
}

std::string Where(GBlitRule rule, int o, int x, int y, const GRect* clip)
{
    std::ostringstream s;
    s << reference::RuleName(rule) << " orientation " << o << " at (" << x << "," << y << ")";
    if (clip)
        s << " clip (" << clip->left << "," << clip->top << "," << clip->right << "," << clip->bottom << ")";
    return s.str();
}

void Check(GBlitRule rule, int o, int x, int y, const GRect* clip)
{
    SCOPED_TRACE(Where(rule, o, x, y, clip));
    const Outcome out = Draw(rule, o, x, y, clip);
    ASSERT_EQ(out.kernel, out.reference);
    const Changed got = ChangedPixels(out);
    const Changed want = Expected(rule, o, x, y, clip);
    // Changed pixels lie inside the expected area; a pixel may keep its value by chance, so the
    // count is only bounded (the reference comparison pins the exact bytes).
    ASSERT_LE(got.count, want.count);
    EXPECT_TRUE(!got.count || (got.left >= want.left && got.top >= want.top && got.right <= want.right &&
                               got.bottom <= want.bottom));
}

TEST(KernelClipping, PositionsOnAndPastEveryEdge)
{
    const int xs[] = {kW, kW - 1, -kSW, -kSW + 1, -kSW + 2, 0, 5, kW - kSW, kW - kSW + 1};
    const int ys[] = {kH, kH - 1, -kSH, -kSH + 1, -kSH + 2, 0, 3, kH - kSH, kH - kSH + 1};
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (int x : xs)
                for (int y : ys) {
                    Check(GBlitRule(r), o, x, y, nullptr);
                    if (testing::Test::HasFatalFailure())
                        return;
                }
}

TEST(KernelClipping, EdgePositionsDrawTheExpectedColumnsAndRows)
{
    // Copy with an opaque source: every drawn pixel changes (mid-grey destination, random
    // source; a coincidence of all three bytes is ruled out by the reference comparison).
    for (int o = 0; o < 4; ++o) {
        const Changed last = ChangedPixels(Draw(GBlitRule::Copy, o, kW - 1, 0, nullptr));
        const Changed first = ChangedPixels(Draw(GBlitRule::Copy, o, -kSW + 1, 0, nullptr));
        EXPECT_EQ((std::tuple(last.left, last.bottom, first.left, first.right)), std::tuple(kW - 1, kSH - 1, 0, 0));
    }
}

TEST(KernelClipping, OnePixelRectanglesAtEachCornerOfThePlacement)
{
    const int x = 4, y = 3;
    for (size_t r = 0; r < kBlitRuleCount; ++r) {
        const int right = x + kSW - 1 - Inset(GBlitRule(r)), bottom = y + kSH - 1 - Inset(GBlitRule(r));
        for (int o = 0; o < 4; ++o)
            for (int cx : {x, right})
                for (int cy : {y, bottom}) {
                    const GRect c{int16_t(cx), int16_t(cy), int16_t(cx), int16_t(cy)};
                    Check(GBlitRule(r), o, x, y, &c);
                    if (testing::Test::HasFatalFailure())
                        return;
                }
    }
}

TEST(KernelClipping, EmptyInvertedAndStrayRectangles)
{
    const GRect rightBeforeLeft{6, 3, 5, 6};      // right = left - 1
    const GRect bottomBeforeTop{4, 5, 8, 4};
    const GRect inverted{15, 10, -20, -30};       // would be a negative width
    const GRect huge{-32768, -32768, 32767, 32767}; // spans more than 16 bits
    const GRect stray{0, 0, kW + 40, kH + 40};      // beyond the placement
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o) {
            for (const GRect* c : {&rightBeforeLeft, &bottomBeforeTop, &inverted}) {
                const Outcome out = Draw(GBlitRule(r), o, 4, 3, c);
                EXPECT_EQ(out.kernel, out.before) << Where(GBlitRule(r), o, 4, 3, c);
            }
            for (const GRect* c : {&huge, &stray}) {
                Check(GBlitRule(r), o, 4, 3, c);
                Check(GBlitRule(r), o, -3, -2, c);
            }
        }
}

TEST(KernelClipping, MirroredDrawsClippedByTheEdgeOrARectangleShowTheRightPart)
{
    std::mt19937 rng(4);
    auto src = reference::MakeSource(GBlitRule::Copy, kSW, kSH, rng);
    auto dst = reference::MakeDestination(kW, kH, rng);
    BlitCopyMirror(dst.get(), src.get(), -2, 0);
    // Destination column 0 shows source column SW - 3.
    for (int y = 0; y < kSH; ++y)
        EXPECT_EQ(0, std::memcmp(reference::PixelAt(*dst, 0, y), reference::PixelAt(*src, kSW - 3, y), 3));
    BlitCopyFlip(dst.get(), src.get(), 0, -1);
    // Flipped, one row cut off the top: destination row 0 shows source row SH - 2.
    for (int x = 0; x < kSW; ++x)
        EXPECT_EQ(0, std::memcmp(reference::PixelAt(*dst, x, 0), reference::PixelAt(*src, x, kSH - 2), 3));
    // A rectangle picks its part out of the whole turned placement.
    const GRect one{6, 4, 6, 4}; // placement column 2, row 1
    BlitCopyFlipMirror(dst.get(), src.get(), 4, 3, &one);
    EXPECT_EQ(0, std::memcmp(reference::PixelAt(*dst, 6, 4),
                             reference::PixelAt(*src, kSW - 1 - 2, kSH - 1 - 1), 3));
}

TEST(KernelClipping, SourceBlocksTooSmallForTheRuleDrawNothing)
{
    std::mt19937 rng(6);
    for (size_t r = 0; r < kBlitRuleCount; ++r) {
        const GBlitRule rule = GBlitRule(r);
        // A source whose block holds one byte less than the rule reads.
        auto full = reference::MakeSource(rule, kSW, kSH, rng, reference::Slack::Tight);
        std::unique_ptr<GPixelBlock> pixelBlock, alphaBlock;
        if (full->GetPixelBlock())
            pixelBlock = GPixelBlock::Create(full->GetPixelBlock()->GetSize() - (reference::RuleReadsMask(rule) ? 0 : 1), nullptr);
        if (full->GetAlphaBlock())
            alphaBlock = GPixelBlock::Create(full->GetAlphaBlock()->GetSize() - 1, nullptr);
        GPixelBlock* pixels = pixelBlock.get();
        GPixelBlock* alpha = alphaBlock.get();
        auto cut = GBitmap::CreateOnNewBlocks(kSW, kSH, 0, full->GetFormat(), std::move(pixelBlock), std::move(alphaBlock));
        if (pixels)
            std::memcpy(pixels->GetData(), full->GetPixels(), pixels->GetSize());
        if (alpha)
            std::memcpy(alpha->GetData(), full->GetAlpha(), alpha->GetSize());
        const auto table = reference::MakeTable(rng);
        const GBlitArgs args{.alpha = 255, .table = table.data()};
        for (int o = 0; o < 4; ++o) {
            auto dst = reference::MakeDestination(kW, kH, rng, reference::Slack::Tight);
            const auto before = reference::Snapshot(*dst);
            GetBlitKernel(rule, uint8_t(o))(dst.get(), cut.get(), 0, 0, args, nullptr);
            EXPECT_EQ(reference::Snapshot(*dst), before) << reference::RuleName(rule) << " " << o;
        }
    }
}

TEST(KernelClipping, EmptyImagesAndOrientationsOutsideTheTableDrawNothing)
{
    std::mt19937 rng(12);
    auto dst = reference::MakeDestination(kW, kH, rng);
    const auto before = reference::Snapshot(*dst);
    std::unique_ptr<GBitmap> empty(GBitmap::Create(0, 5, 0, 2)), flat(GBitmap::Create(5, 0, 0, 2)),
        negative(GBitmap::Create(-3, 4, 0, 0));
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (const GBitmap* src : {empty.get(), flat.get(), negative.get()})
                GetBlitKernel(GBlitRule(r), uint8_t(o))(dst.get(), src, 0, 0, GBlitArgs{}, nullptr);
    EXPECT_EQ(reference::Snapshot(*dst), before);
    EXPECT_TRUE(!GetBlitKernel(GBlitRule::Copy, 4) && !GetBlitKernel(GBlitRule::Count, 0));

    // A sub-pixel source one pixel wide or high has no pixel with all its neighbours.
    auto narrow = reference::MakeSource(GBlitRule::MaskSubPixel, 1, 5, rng);
    BlitMaskSubPixel(dst.get(), narrow.get(), 0, 0, 10, 10);
    EXPECT_EQ(reference::Snapshot(*dst), before);
}

TEST(KernelTable, DrawModesMapToTheirRules)
{
    GBlitRule rule{};
    for (auto [mode, want] : {std::pair{0, GBlitRule::Copy}, {10, GBlitRule::PaletteMaskAlpha},
                              {12, GBlitRule::PaletteMask}, {13, GBlitRule::Lighten}, {21, GBlitRule::IndexedMaskAlpha}})
        EXPECT_TRUE(BlitRuleForDrawMode(uint8_t(mode), rule) && rule == want) << mode;
    for (uint8_t none : {4, 5, 6, 9, 11, 15, 22, 255})
        EXPECT_FALSE(BlitRuleForDrawMode(none, rule)) << int(none);
    EXPECT_TRUE(SubPixelBlitRuleForDrawMode(13, rule) && rule == GBlitRule::LightenSubPixel &&
                !SubPixelBlitRuleForDrawMode(10, rule));
    // The table holds the named kernels' adapters in rule order.
    static_assert(GetBlitKernel(GBlitRule::Copy, 1) == kBlitKernels[0][1]);
}

// A smaller placement than above: 4 x 5 drawn at (2, 1) into 10 x 9.
constexpr int kRSW = 4, kRSH = 5, kRW = 10, kRH = 9;

int DrawnPixels(GBlitRule rule, int o, const GRect* clip)
{
    std::mt19937 rng(7);
    auto src = reference::MakeSource(rule, kRSW, kRSH, rng, reference::Slack::Tight);
    for (uint32_t i = 0; i < src->GetAlphaBlock()->GetSize(); ++i)
        src->GetAlpha()[i] = uint8_t(60 + i % 100); // no skip values: every drawn pixel moves
    const GBlitArgs args{.alpha = 200, .fx = 90, .fy = 40};
    auto dst = reference::MakeDestination(kRW, kRH, rng, reference::Slack::Tight);
    auto ref = reference::MakeDestination(kRW, kRH, rng, reference::Slack::Tight);
    std::memset(dst->GetPixels(), 128, size_t(kRW) * kRH * 3);
    std::memset(ref->GetPixels(), 128, size_t(kRW) * kRH * 3);
    GetBlitKernel(rule, uint8_t(o))(dst.get(), src.get(), 2, 1, args, clip);
    reference::Blit(rule, o, ref.get(), src.get(), 2, 1, args, clip);
    EXPECT_EQ(reference::Snapshot(*dst), reference::Snapshot(*ref)) << reference::RuleName(rule) << o;
    int changed = 0;
    for (int i = 0; i < kRW * kRH; ++i)
        changed += dst->GetPixels()[3 * i] != 128 || dst->GetPixels()[3 * i + 1] != 128 ||
                   dst->GetPixels()[3 * i + 2] != 128;
    return changed;
}

// Every pixel whose neighbours lie inside the block with its spare row and pixel is drawn;
// only a walk that looks left (up) loses source column (row) 0 at the placement's far end.
TEST(KernelSubPixelReach, RectangleDrawsAllPixelsWhoseNeighboursAreInTheBlock)
{
    const GRect corner{2, 1, 5, 3};        // placement columns 0..3, rows 0..2
    const GRect whole{2, 1, 2 + kRSW - 1, 1 + kRSH - 1};
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
