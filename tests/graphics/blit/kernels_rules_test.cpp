// The arithmetic of each pixel rule at its corner values, on single pixels and short rows, in
// every instruction set the machine offers (rows of 16 pixels and more take the SIMD path).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/fills.h"
#include "graphics/blit/kernels.h"
#include "support/reference_kernels.h"

namespace {

using reference::MakeDestination;
using reference::MakeSource;
using reference::PixelAt;

// Row long enough for the SIMD groups, with the pixel of interest repeated over it.
constexpr int kRow = 40;

class KernelRules : public reference::KernelIsaTest {
protected:
    // A kRow x 1 source of `rule`'s layout whose every pixel has colour bytes (s0, s1, s2) and
    // mask byte m, and a kRow x 1 destination of (d0, d1, d2).
    void Make(GBlitRule rule, uint8_t s0, uint8_t s1, uint8_t s2, int m, uint8_t d0, uint8_t d1,
              uint8_t d2, int rows = 1)
    {
        std::mt19937 rng(7);
        m_src = MakeSource(rule, kRow, rows, rng);
        m_dst = MakeDestination(kRow, rows, rng);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < kRow; ++x)
                reference::SetPixel(*m_dst, x, y, d0, d1, d2);
        const uint8_t colour[3] = {s0, s1, s2};
        const size_t elements = size_t(kRow) * (rows + 1) + 1;
        if (reference::RuleIsIndexed(rule)) { // every index 7
            std::memset(m_src->GetPixels() + 770, 7, elements);
            std::memcpy(m_src->GetPixels() + 2 + 7 * 3, colour, 3);
        } else if (reference::RuleIsPaletteTable(rule)) { // every index 9
            std::memset(m_src->GetPixels(), 9, elements);
            m_table.assign(1024, 0xEE);
            std::memcpy(&m_table[36], colour, 3);
        } else if (reference::RuleReadsColours(rule)) {
            for (size_t i = 0; i < elements; ++i)
                std::memcpy(m_src->GetPixels() + 3 * i, colour, 3);
        }
        if (m_src->GetAlpha())
            std::memset(m_src->GetAlpha(), m, size_t(kRow) * (rows + 1) + 1);
    }

    // Draws with the kernel and checks every pixel of the row against (e0, e1, e2).
    void Expect(GBlitRule rule, const GBlitArgs& args, uint8_t e0, uint8_t e1, uint8_t e2,
                int orientation = 0)
    {
        GBlitArgs a = args;
        if (reference::RuleIsPaletteTable(rule))
            a.table = m_table.data();
        GetBlitKernel(rule, uint8_t(orientation))(m_dst.get(), m_src.get(), 0, 0, a, nullptr);
        const int drawn = reference::RuleIsSubPixel(rule) ? kRow - 1 : kRow;
        for (int x = 0; x < drawn; ++x)
            ASSERT_EQ(std::vector<uint8_t>(PixelAt(*m_dst, x, 0), PixelAt(*m_dst, x, 0) + 3),
                      (std::vector<uint8_t>{e0, e1, e2}))
                << reference::RuleName(rule) << " pixel " << x;
    }

    std::unique_ptr<GBitmap> m_src, m_dst;
    std::vector<uint8_t> m_table;
};

// Each rule at its corner values: source colour s and mask byte m over destination d, with
// the caller's alpha and the source's key; every pixel of the row must come out as e.
struct RuleCase {
    std::vector<GBlitRule> rules;
    uint8_t s[3];
    int m;
    uint8_t d[3];
    uint8_t alpha;
    uint8_t e[3];
    uint32_t key = 0;
};

TEST_P(KernelRules, EveryRuleAtItsCornerValues)
{
    using R = GBlitRule;
    const std::vector<R> alpha = {R::Alpha, R::IndexedAlpha}, mask = {R::Mask, R::IndexedMask, R::PaletteMask},
                         maskAlpha = {R::MaskAlpha, R::IndexedMaskAlpha, R::PaletteMaskAlpha},
                         key = {R::Key, R::IndexedKey}, keyAlpha = {R::KeyAlpha, R::IndexedKeyAlpha};
    std::vector<R> anyKey = key;
    anyKey.insert(anyKey.end(), keyAlpha.begin(), keyAlpha.end());
    std::vector<RuleCase> cases = {
        // Alpha stops one short and floors negative steps: 255 over 0 gives 254; 0 over 255:
        // 255 + (-65025 >> 8) = 0; 200 over 100: 199; 255 + (-255 >> 8) = 254.
        {alpha, {255, 0, 200}, 0, {0, 255, 100}, 0, {0, 255, 100}},
        {alpha, {255, 0, 200}, 0, {0, 255, 100}, 255, {254, 0, 199}},
        {alpha, {0, 0, 0}, 0, {255, 255, 255}, 1, {254, 254, 254}},
        // Mask copies at 0, skips at 255, weighs between: 255 + (-255 * 128 >> 8) = 127;
        // 0 + (255 * 128 >> 8) = 127; 10 + (10 * 128 >> 8) = 15.
        {mask, {255, 1, 2}, 0, {0, 50, 60}, 255, {255, 1, 2}},
        {mask, {255, 1, 2}, 255, {0, 50, 60}, 255, {0, 50, 60}},
        {mask, {255, 0, 10}, 128, {0, 255, 20}, 255, {127, 127, 15}},
        // Mask with alpha has no opaque shortcut: k = 255 * 255 gives 253 and 255 - 254 = 1;
        // k = 155 * 77 = 11935: 200k >> 16 = 36; 100 + 100k >> 16 = 118; 255 - 55k >> 16 -> 244.
        {maskAlpha, {255, 0, 128}, 0, {0, 255, 128}, 255, {253, 1, 128}},
        {maskAlpha, {255, 0, 128}, 255, {9, 8, 7}, 255, {9, 8, 7}},
        {maskAlpha, {255, 255, 255}, 0, {9, 8, 7}, 0, {9, 8, 7}},
        {maskAlpha, {200, 200, 200}, 100, {0, 100, 255}, 77, {36, 118, 244}},
        // Darken and lighten read only the mask: 0 + 255 * 255 >> 8 = 254; 100 + 155 * 255 >> 8 = 254.
        {{R::Darken}, {0, 0, 0}, 0, {200, 100, 50}, 255, {0, 0, 0}},
        {{R::Darken}, {0, 0, 0}, 254, {255, 1, 128}, 255, {253, 0, 127}},
        {{R::Darken}, {0, 0, 0}, 255, {255, 1, 128}, 255, {255, 1, 128}},
        {{R::Lighten}, {0, 0, 0}, 255, {0, 100, 255}, 255, {254, 254, 255}},
        {{R::Lighten}, {0, 0, 0}, 0, {3, 100, 200}, 255, {3, 100, 200}},
        // A key skips exactly its colour (its low byte is the pixel's first byte); a key with
        // top bits never matches; misses blend: 1 + (50 * 255 >> 8) = 50, 33, 16.
        {anyKey, {0x33, 0x22, 0x11}, 0, {1, 2, 3}, 255, {1, 2, 3}, 0x112233},
        {key, {0x33, 0x22, 0x11}, 0, {1, 2, 3}, 255, {0x33, 0x22, 0x11}, 0x01112233},
        {keyAlpha, {255, 0, 100}, 0, {0, 255, 100}, 255, {254, 0, 100}, 0},
    };
    for (uint32_t miss : {0x112234u, 0x112333u, 0x102233u}) { // one byte off, in each place
        cases.push_back({key, {0x33, 0x22, 0x11}, 0, {1, 2, 3}, 255, {0x33, 0x22, 0x11}, miss});
        cases.push_back({keyAlpha, {0x33, 0x22, 0x11}, 0, {1, 2, 3}, 255, {50, 33, 16}, miss});
    }
    for (size_t i = 0; i < cases.size(); ++i)
        for (GBlitRule rule : cases[i].rules) {
            SCOPED_TRACE(testing::Message() << "case " << i);
            const RuleCase& c = cases[i];
            Make(rule, c.s[0], c.s[1], c.s[2], c.m, c.d[0], c.d[1], c.d[2]);
            m_src->SetKeyColour(c.key);
            Expect(rule, GBlitArgs{.alpha = c.alpha}, c.e[0], c.e[1], c.e[2]);
        }
}

INSTANTIATE_TEST_SUITE_P(Isa, KernelRules, reference::kAllKernelIsas, reference::KernelIsaName);

// --- Palettes ------------------------------------------------------------------------------

TEST(KernelPalettes, IndexedKeyComparesColoursNotIndices)
{
    std::mt19937 rng(3);
    auto src = MakeSource(GBlitRule::IndexedKey, 4, 1, rng);
    auto dst = MakeDestination(4, 1, rng);
    uint8_t* block = src->GetPixels();
    // Entries 5 and 9 both hold the key colour; entry 6 holds another.
    const uint8_t key[3] = {0x10, 0x20, 0x30}, other[3] = {0x10, 0x20, 0x31}, indices[4] = {5, 6, 9, 6};
    std::memcpy(block + 2 + 5 * 3, key, 3);
    std::memcpy(block + 2 + 9 * 3, key, 3);
    std::memcpy(block + 2 + 6 * 3, other, 3);
    std::memcpy(block + 770, indices, 4);
    src->SetKeyColour(0x302010);
    auto expected = reference::Snapshot(*dst);
    std::memcpy(&expected[3], other, 3);
    std::memcpy(&expected[9], other, 3);
    BlitIndexedKey(dst.get(), src.get(), 0, 0);
    EXPECT_EQ(reference::Snapshot(*dst), expected);
}

TEST(KernelPalettes, IndexedTakesTheOffsetFromTheBlock)
{
    // An image whose indices start 4 bytes later than usual: 774.
    const uint16_t offset = 774;
    auto src = GBitmap::CreateOnNewBlocks(2, 1, 0, 16, GPixelBlock::Create(offset + 3, nullptr), nullptr);
    uint8_t* p = src->GetPixels();
    std::memset(p, 0, offset + 3);
    std::memcpy(p, &offset, 2);
    p[2 + 3 * 4] = 0xAA, p[offset] = 4, p[offset + 1] = 0;
    std::mt19937 rng(1);
    auto dst = MakeDestination(2, 1, rng);
    BlitIndexed(dst.get(), src.get(), 0, 0);
    EXPECT_EQ((std::pair<int, int>(PixelAt(*dst, 0, 0)[0], PixelAt(*dst, 1, 0)[0])), (std::pair<int, int>(0xAA, 0x00)));
}

TEST(KernelPalettes, PaletteMaskWritesThreeBytesOfEachEntryAndIgnoresTheFourth)
{
    std::mt19937 rng(5);
    auto src = MakeSource(GBlitRule::PaletteMask, 3, 1, rng);
    auto dst = MakeDestination(3, 1, rng);
    std::vector<uint8_t> table(1024, 0);
    for (int i = 0; i < 256; ++i) // the fourth byte would show if read as a colour byte
        table[4 * i] = uint8_t(i), table[4 * i + 1] = uint8_t(255 - i), table[4 * i + 2] = uint8_t(i ^ 0x5A), table[4 * i + 3] = 0xFF;
    const uint8_t indices[3] = {0, 17, 255};
    std::memcpy(src->GetPixels(), indices, 3);
    std::memset(src->GetAlpha(), 0, 3);
    BlitPaletteMask(dst.get(), src.get(), 0, 0, table.data());
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(0, std::memcmp(PixelAt(*dst, x, 0), &table[4 * indices[x]], 3)) << x;
    // A null table draws nothing.
    auto again = MakeDestination(3, 1, rng);
    const auto untouched = reference::Snapshot(*again);
    BlitPaletteMask(again.get(), src.get(), 0, 0, nullptr);
    BlitPaletteMaskAlpha(again.get(), src.get(), 0, 0, nullptr, 255);
    EXPECT_EQ(reference::Snapshot(*again), untouched);
}

// --- Sub-pixel weights ---------------------------------------------------------------------

// A 3 x 3 source: colours and mask bytes chosen per pixel; destination 3 x 3 of one colour.
struct SubPixelScene {
    std::unique_ptr<GBitmap> src, dst;
    SubPixelScene(GBlitRule rule, const uint8_t (&colour)[3][3], const uint8_t (&mask)[3][3],
                  uint8_t dstValue)
    {
        std::mt19937 rng(11);
        src = MakeSource(rule, 3, 3, rng);
        dst = MakeDestination(3, 3, rng);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                if (reference::RuleReadsColours(rule))
                    reference::SetPixel(*src, x, y, colour[y][x], colour[y][x], colour[y][x]);
                src->GetAlpha()[y * 3 + x] = mask[y][x];
                reference::SetPixel(*dst, x, y, dstValue, dstValue, dstValue);
            }
    }
    int At(int x, int y) const { return PixelAt(*dst, x, y)[0]; }
};

TEST(KernelSubPixel, HalfFractionMixesEvenlyAndTheMaskRuleCopiesWhenFullyOpaque)
{
    // fx = 128, fy = 0: Wo = Wh = 0, Wv = Wd = 32768. Pixel (0, 0) mixes (0, 1) and (1, 1).
    const uint8_t colour[3][3] = {{9, 9, 9}, {100, 201, 9}, {9, 9, 9}};
    const uint8_t mask[3][3] = {};
    SubPixelScene scene(GBlitRule::MaskAlphaSubPixel, colour, mask, 0);
    BlitMaskAlphaSubPixel(scene.dst.get(), scene.src.get(), 0, 0, 128, 0, 255);
    // c = (100 + 201) / 2 = 150; d = 0 + 150 * 65025 >> 16 = 148.
    EXPECT_EQ(scene.At(0, 0), 148);

    // The mask rule copies its own colour where fully opaque.
    const uint8_t uniform[3][3] = {{77, 77, 77}, {77, 77, 77}, {77, 77, 77}};
    const uint8_t split[3][3] = {{10, 200, 0}, {30, 40, 0}, {0, 0, 0}};
    SubPixelScene same(GBlitRule::MaskSubPixel, uniform, mask, 3);
    BlitMaskSubPixel(same.dst.get(), same.src.get(), 0, 0, 255, 255);
    EXPECT_EQ(std::make_pair(same.At(0, 0), same.At(1, 1)), std::make_pair(77, 77));
    SubPixelScene opaque(GBlitRule::MaskSubPixel, split, mask, 3);
    BlitMaskSubPixel(opaque.dst.get(), opaque.src.get(), 0, 0, 17, 99);
    EXPECT_EQ(std::make_pair(opaque.At(0, 0), opaque.At(1, 0)), std::make_pair(10, 200));
}

TEST(KernelSubPixel, DarkenUsesOwnMaskByteOnceTheMixIsBelow255AndLightenWithZeroAlphaLeavesTheDestination)
{
    // Own mask 255, darker neighbours: the mix is below 255, so the pixel is processed with
    // its own byte 255: 255 -> 254.
    const uint8_t colour[3][3] = {};
    const uint8_t mask[3][3] = {{255, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    SubPixelScene scene(GBlitRule::DarkenSubPixel, colour, mask, 255);
    BlitDarkenSubPixel(scene.dst.get(), scene.src.get(), 0, 0, 200, 200);
    EXPECT_EQ(std::make_pair(scene.At(0, 0), scene.At(1, 0)), std::make_pair(254, 0)); // own byte 0 goes black

    const uint8_t allClear[3][3] = {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}};
    SubPixelScene clear(GBlitRule::DarkenSubPixel, colour, allClear, 1);
    BlitDarkenSubPixel(clear.dst.get(), clear.src.get(), 0, 0, 200, 200);
    EXPECT_EQ(clear.At(0, 0), 1);

    // Lighten with alpha 0 leaves the destination; 255: 40 + 215 * (255 * 255) >> 16 = 40 + 213 = 253.
    SubPixelScene light(GBlitRule::LightenSubPixel, colour, allClear, 40);
    for (auto [alpha, value] : {std::pair{0, 40}, {255, 253}}) {
        BlitLightenSubPixel(light.dst.get(), light.src.get(), 0, 0, 100, 100, uint8_t(alpha));
        EXPECT_EQ(light.At(0, 0), value) << alpha;
    }
}

TEST(KernelSubPixel, NeighboursFollowTheWalkExceptForTheMaskRule)
{
    // A 3 x 3 source whose centre column alone is transparent-free; fx = 0, fy = 255 gives
    // Wh = 65280 (almost all weight on the horizontal neighbour), Wo = 0.
    const uint8_t colour[3][3] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    const uint8_t mask[3][3] = {};
    // Mirrored: the first destination pixel shows source column 2. MaskAlpha looks left (to
    // column 1), Mask always right (column 3 = the next row's first pixel, 40).
    SubPixelScene a(GBlitRule::MaskAlphaSubPixel, colour, mask, 0);
    BlitMaskAlphaSubPixelMirror(a.dst.get(), a.src.get(), 0, 0, 0, 255, 255);
    // c = (65280 * 20 + 256 * 50) >> 16 = 20; d = 20 * 65025 >> 16 = 19.
    EXPECT_EQ(a.At(0, 0), 19);
    SubPixelScene b(GBlitRule::MaskSubPixel, colour, mask, 0);
    // Horizontal neighbour of (2, 0) to the right: linear pixel 3 = (0, 1); diagonal (0, 2).
    // Its mask byte 2 keeps the mix at 1, so the colour is mixed rather than copied.
    b.src->GetAlpha()[3] = 2;
    BlitMaskSubPixelMirror(b.dst.get(), b.src.get(), 0, 0, 0, 255);
    // c = (65280 * 40 + 256 * 70) >> 16 = 40; d = 40 + ((0 - 40) * 1 >> 8) = 39.
    EXPECT_EQ(b.At(0, 0), 39);
}

} // namespace

// Rectangle fills and horizontal/vertical lines: clipping, degenerate shapes, byte order, and
// that nothing outside the surface or the clip rectangle is touched (surfaces are allocated to
// their exact size, so AddressSanitizer catches a stray write too).
namespace {

constexpr int kW = 16, kH = 10;
constexpr uint32_t kColour = 0xAA112233; // top byte must be ignored
constexpr GRect kNothing{0, 0, -1, -1};

class Fills : public testing::Test {
protected:
    void SetUp() override
    {
        m_surface = GBitmap::CreateOnNewBlocks(kW, kH, 0, 0, GPixelBlock::Create(kW * kH * 3, nullptr), nullptr);
        std::memset(m_surface->GetPixels(), 0, kW * kH * 3);
    }

    // Every pixel painted exactly when inside `area` (inclusive), black elsewhere.
    void ExpectPainted(const GRect& area) const
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint8_t* p = m_surface->GetPixels() + (y * kW + x) * 3;
                const bool inside = x >= area.left && x <= area.right && y >= area.top && y <= area.bottom;
                ASSERT_EQ(std::memcmp(p, inside ? "\x33\x22\x11" : "\0\0\0", 3), 0) << "pixel " << x << "," << y;
            }
    }

    // Each case starts from a black surface: the calls draw, then the painted area is checked.
    struct Case {
        const char* what;
        std::vector<std::function<void(GBitmap*)>> draws;
        GRect painted;
    };
    void Run(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            SetUp();
            for (const auto& draw : c.draws)
                draw(m_surface.get());
            ExpectPainted(c.painted);
        }
    }

    std::unique_ptr<GBitmap> m_surface;
};

auto Fill(GRect r) { return [r](GBitmap* s) { FillRect(s, kColour, r); }; }
auto Line(int x0, int y0, int x1, int y1)
{
    return [=](GBitmap* s) { DrawLine(s, int16_t(x0), int16_t(y0), int16_t(x1), int16_t(y1), kColour); };
}
auto Clipped(int x0, int y0, int x1, int y1, GRect clip)
{
    return [=](GBitmap* s) {
        DrawLineClipped(s, int16_t(x0), int16_t(y0), int16_t(x1), int16_t(y1), kColour, clip);
    };
}

TEST_F(Fills, FillRectClipsRefusesDegenerateAreasAndWritesTheLowByteFirst)
{
    Run({
        {"inclusive area", {Fill({2, 3, 9, 4})}, {2, 3, 9, 4}},
        {"beyond every edge", {Fill({-5, -5, kW + 5, kH + 5})}, {0, 0, kW - 1, kH - 1}},
        {"over the left edge", {Fill({-3, 2, 1, 3})}, {0, 2, 1, 3}},
        {"over the bottom right", {Fill({kW - 2, kH - 1, kW + 30, kH + 30})}, {kW - 2, kH - 1, kW - 1, kH - 1}},
        // 32767 - (-32768) + 1 does not fit 16 bits; the fill must not wrap to nothing.
        {"whole coordinate range", {Fill({-32768, -32768, 32767, 32767})}, {0, 0, kW - 1, kH - 1}},
        {"degenerate",
         {Fill({kW, 0, kW + 4, 3}), Fill({0, kH, 3, kH + 4}), Fill({5, 0, 4, 3}), Fill({5, 5, 8, 4}),
          Fill({10, 8, -20, -20}), Fill({-9, 0, -1, 3})},
         kNothing},
    });
    for (int w = 1; w <= kW; ++w) // every copy chunk of a row
        Run({{"row", {Fill({0, 1, int16_t(w - 1), 1})}, {0, 1, int16_t(w - 1), 1}}});

    SetUp(); // the colour's low byte comes first
    FillRect(m_surface.get(), 0x00ABCDEF, GRect{0, 0, 0, 0});
    EXPECT_EQ(std::vector<uint8_t>(m_surface->GetPixels(), m_surface->GetPixels() + 4),
              (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0}));
}

TEST_F(Fills, DrawLinesDrawOnlyStraightLinesInsideTheSurfaceAndTheClip)
{
    Run({
        {"horizontal, right to left", {Line(10, 5, 3, 5)}, {3, 5, 10, 5}},
        {"vertical, upwards", {Line(4, 8, 4, 2)}, {4, 2, 4, 8}},
        {"single pixel", {Line(4, 4, 4, 4)}, {4, 4, 4, 4}},
        {"slanted", {Line(0, 0, 5, 5)}, kNothing},
        {"horizontal past both ends", {Line(-4, 2, 30, 2)}, {0, 2, kW - 1, 2}},
        {"vertical past both ends", {Line(3, -100, 3, 100)}, {3, 0, 3, kH - 1}},
        {"off the surface", {Line(-1, -1, -1, 5), Line(0, kH, 5, kH)}, kNothing},
        // Rows 20..30 on a 10-row surface: nothing is left.
        {"vertical, rectangle below", {Clipped(7, 0, 7, 100, {0, 20, 50, 30})}, kNothing},
        {"vertical", {Clipped(7, 0, 7, 100, {0, 2, 50, 6})}, {7, 2, 7, 6}},
        {"vertical, rectangle beside", {Clipped(7, 0, 7, 100, {8, 0, 50, 200})}, kNothing},
        {"horizontal", {Clipped(12, 3, 1, 3, {4, 0, 9, 9})}, {4, 3, 9, 3}},
        {"horizontal outside",
         {Clipped(0, 3, 15, 3, {0, 4, 15, 9}), Clipped(0, 3, 15, 3, {0, 0, 15, 2}),
          Clipped(5, 3, 8, 3, {9, 0, 15, 9})},
         kNothing},
        {"rectangle beyond the surface", {Clipped(-50, 9, 50, 9, {-100, -100, 100, 100})}, {0, 9, kW - 1, 9}},
        {"inverted rectangle, slanted line",
         {Clipped(2, 2, 2, 6, {5, 5, 1, 1}), Clipped(2, 2, 6, 6, {0, 0, 15, 9})},
         kNothing},
    });
}

TEST(FillsWithoutPixels, SurfacesWithoutMemoryAreLeftAlone)
{
    std::unique_ptr<GBitmap> none(GBitmap::Create(-4, 3, 0, 0));
    FillRect(none.get(), kColour, GRect{0, 0, 3, 3});
    DrawLine(none.get(), 0, 0, 3, 0, kColour);
    DrawLineClipped(none.get(), 0, 0, 3, 0, kColour, GRect{0, 0, 3, 3});
    FillRect(nullptr, kColour, GRect{0, 0, 3, 3});
    EXPECT_EQ(none->GetPixels(), nullptr);
}

} // namespace
