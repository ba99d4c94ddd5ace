#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_table.h"
#include "graphics/scene/clip.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/clip_fade.h"
#include "graphics/scene/rect_array.h"

namespace {

GRect R(int l, int t, int r, int b) { return GRect{int16_t(l), int16_t(t), int16_t(r), int16_t(b)}; }

// Images by slot, without pixel memory: placement reads only their size and format.
class FakeTable : public GBitmapTable {
public:
    void Put(int slot, int16_t w, int16_t h, uint8_t format = 0) {
        m_images.resize(std::max<size_t>(m_images.size(), slot + 1));
        m_images[slot] = std::make_unique<GBitmap>(w, h, 0, format);
    }
    GBitmap* GetBitmap(int32_t slot) const override {
        return slot >= 0 && slot < int32_t(m_images.size()) ? m_images[slot].get() : nullptr;
    }
    int32_t GetSlotCount() const override { return int32_t(m_images.size()); }

private:
    std::vector<std::unique_ptr<GBitmap>> m_images;
};

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dirty = GRectArray::Create(64);
        m_container.Init(nullptr, &m_table, nullptr, m_dirty.get());
        m_table.Put(0, 5, 5);
        m_table.Put(1, 4, 6);
        m_table.Put(3, 5, 5, 20);
    }

    // The dirty list so far, cleared for the next step.
    std::vector<GRect> Dirty() const {
        std::vector<GRect> v;
        for (int i = 0; i < m_dirty->GetCount(); ++i)
            v.push_back(m_dirty->GetAt(i));
        m_dirty->Clear();
        return v;
    }
    // Places the clip one way (or marks it dirty by its owner's rect) and returns its dirty state.
    enum Placement { kPlain, kSubPixel, kNoMode15, kMark };
    int Place(GClip& c, Placement how = kPlain) {
        how == kPlain      ? m_container.PlaceClip(c)
        : how == kSubPixel ? m_container.PlaceClipSubPixel(c)
        : how == kNoMode15 ? m_container.PlaceClipNoMode15(c)
                           : m_container.MarkClipDirty(c);
        return c.GetDirtyState();
    }
    using Placed = std::pair<int, std::vector<GRect>>;
    Placed PlaceDirty(GClip& c, Placement how = kPlain) { return {Place(c, how), Dirty()}; }
    static void Show(GClip& c, int32_t x, int32_t y, int32_t slot = 0) {
        c.SetVisible(true), c.SetSlot(slot), c.SetPosition(x, y);
    }

    // A clip that is on screen as it is now: as the flush leaves it after drawing.
    static void Settle(GClip& clip) { clip.CommitPrevious(); }

    FakeTable m_table;
    std::unique_ptr<GRectArray> m_dirty;
    GClipContainer m_container;
};

struct AnchorCase {
    uint8_t anchor;
    GRect plain, subPixel;
};

} // namespace

TEST(ClipTest, NormalizeRectRecordsTheCornerNamed) {
    const struct {
        GRect in;
        uint8_t anchor;
    } cases[] = {{R(0, 0, 5, 5), 0}, {R(5, 0, 0, 5), 2}, {R(0, 5, 5, 0), 3}, {R(5, 5, 0, 0), 4}};
    for (const auto& k : cases) {
        GClip c;
        c.SetRect(k.in);
        c.NormalizeRect();
        EXPECT_EQ(c.GetRect(), R(0, 0, 5, 5)) << int(k.anchor);
        EXPECT_EQ(c.GetAnchorMode(), k.anchor);
    }
}

TEST(ClipTest, CommitPreviousAndMarkMoved) {
    GClip c;
    static const uint32_t palette[256] = {};
    c.SetVisible(true), c.SetPosition(300, -700), c.SetFrame(0x512), c.SetAlpha(9);
    c.SetOrientation(2), c.SetPalette(palette), c.SetRect(R(1, 2, 3, 4));
    c.CommitPrevious(false); // orientation and palette only with the full commit
    EXPECT_EQ(std::make_tuple(c.WasVisible(), c.GetPrevX(), c.GetPrevY(), c.GetPrevFrame(), c.GetPrevAlpha(),
                              c.GetPrevRect(), c.GetPrevOrientation(), c.GetPrevPalette()),
              std::make_tuple(true, 300, -700, 0x512, 9, R(1, 2, 3, 4), 0, nullptr));
    c.CommitPrevious();
    EXPECT_EQ(std::make_pair(c.GetPrevOrientation(), c.GetPrevPalette()), std::make_pair(uint8_t(2), palette));

    c.MarkMoved();
    EXPECT_NE(FixedWhole(c.GetPrevX()), FixedWhole(c.GetX()));
    c.SetX(-100); // in pixel -1, where the usual mark value lies
    c.CommitPrevious();
    c.MarkMoved();
    EXPECT_NE(FixedWhole(c.GetPrevX()), FixedWhole(c.GetX()));
}

TEST_F(PlacementTest, AnchorsWithPositiveAndNegativePositionsAndOwnerPlacedCorners) {
    // 5 x 5 image at (10, 10), whole pixels: plain and sub-pixel rects.
    const AnchorCase atTen[] = {
        {0, R(10, 10, 14, 14), R(11, 11, 13, 13)},
        {1, R(8, 8, 12, 12), R(9, 9, 11, 11)},
        {2, R(6, 10, 10, 14), R(7, 11, 9, 13)},
        {3, R(10, 6, 14, 10), R(12, 7, 14, 9)},
        {4, R(6, 6, 10, 10), R(7, 7, 9, 9)},
        {7, R(8, 6, 12, 10), R(9, 7, 11, 9)},
    };
    // At (-10.5, -0.25): whole parts -11 and -1 (the shift rounds down), and both fractions
    // set, which widens the sub-pixel rect by one pixel each way.
    const AnchorCase atNegative[] = {
        {0, R(-11, -1, -7, 3), R(-10, 0, -7, 3)},
        {1, R(-13, -3, -9, 1), R(-12, -2, -9, 1)},
        {2, R(-15, -1, -11, 3), R(-14, 0, -11, 3)},
        {3, R(-11, -5, -7, -1), R(-9, -4, -6, -1)},
        {4, R(-15, -5, -11, -1), R(-14, -4, -11, -1)},
        {7, R(-13, -5, -9, -1), R(-12, -4, -9, -1)},
    };
    struct Position {
        int32_t x, y;
        const AnchorCase* cases;
    } positions[] = {{10 * 256, 10 * 256, atTen}, {-2688, -64, atNegative}};
    for (const Position& p : positions)
        for (int i = 0; i < 6; ++i)
            for (bool sub : {false, true}) {
                const AnchorCase& ac = p.cases[i];
                GClip c;
                Show(c, p.x, p.y);
                c.SetAnchorMode(ac.anchor);
                sub ? m_container.PlaceClipSubPixel(c) : m_container.PlaceClip(c);
                EXPECT_EQ(c.GetRect(), sub ? ac.subPixel : ac.plain)
                    << "anchor " << int(ac.anchor) << (sub ? " sub-pixel" : " plain") << " at " << p.x << "," << p.y;
            }

    // Anchor halves truncate (4 x 6 image, centred); positions far outside saturate.
    const std::tuple<int32_t, int32_t, int32_t, uint8_t, Placement, GRect> more[] = {
        {20 * 256, 20 * 256, 1, 1, kPlain, R(18, 17, 21, 22)},
        {INT32_MAX, INT32_MIN, 0, 4, kPlain, R(32767, -32768, 32767, -32768)},
        {INT32_MIN, INT32_MAX, 0, 0, kSubPixel, R(-32768, 32767, -32768, 32767)}};
    for (auto [x, y, slot, anchor, how, rect] : more) {
        GClip c;
        Show(c, x, y, slot);
        c.SetAnchorMode(anchor);
        Place(c, how);
        EXPECT_EQ(c.GetRect(), rect) << x << "," << y;
    }

    // Owner-placed anchors keep the corner.
    for (uint8_t anchor : {5, 6, 8, 200}) {
        GClip o;
        Show(o, 99 * 256, 99 * 256, 1);
        o.SetAnchorMode(anchor);
        o.SetRect(R(3, 4, 0, 0));
        m_container.PlaceClip(o);
        EXPECT_EQ(o.GetRect(), R(3, 4, 6, 9)) << int(anchor);
        o.SetRect(R(3, 4, 0, 0));
        o.SetPrevVisible(false);
        m_container.PlaceClipSubPixel(o);
        EXPECT_EQ(o.GetRect(), R(3, 4, 4, 7)) << int(anchor);
    }
}

TEST_F(PlacementTest, DirtyStates) {
    GClip c;
    c.SetPosition(10 * 256, 10 * 256);

    // 2: shown. Only the new area.
    c.SetVisible(true);
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyShow, {R(10, 10, 14, 14)}));
    Settle(c);

    // 0: unchanged. Nothing added.
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyNone, {}));

    // 3: moved. Old and new area (disjoint here).
    c.SetPosition(30 * 256, 10 * 256);
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyBoth, {R(30, 10, 34, 14), R(10, 10, 14, 14)}));
    Settle(c);

    // 1: hidden. Exactly the old area.
    c.SetVisible(false);
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyHide, {R(30, 10, 34, 14)}));
}

TEST_F(PlacementTest, WhatCountsAsAChange) {
    static const uint32_t paletteA[256] = {};
    static const uint32_t paletteB[256] = {};
    GClip c;
    Show(c, 2560, 2560);
    c.SetPalette(paletteA);
    Place(c), Settle(c);

    // Half a pixel: the same whole pixel for the plain placement.
    c.SetX(2688);
    EXPECT_EQ(Place(c), kDirtyNone);
    // Any fraction for the sub-pixel placement, and one pixel wider.
    c.SetX(2560);
    EXPECT_EQ(Place(c, kSubPixel), kDirtyNone);
    c.SetX(2688);
    EXPECT_EQ((std::pair{Place(c, kSubPixel), int(c.GetRect().right)}), (std::pair{int(kDirtyBoth), 13 + 1}));
    c.SetX(2560);

    // Frame: only its whole part.
    c.SetFrame(0x7F);
    EXPECT_EQ(Place(c), kDirtyNone);
    c.SetFrame(0);

    // Orientation: the plain placement sees it, the sub-pixel one does not.
    c.SetOrientation(1);
    EXPECT_EQ((std::vector<int>{Place(c), Place(c, kSubPixel), Place(c, kNoMode15)}),
              (std::vector<int>{kDirtyBoth, kDirtyNone, kDirtyNone}));
    c.SetOrientation(0);

    // Palette: only for the palette draw modes.
    c.SetPalette(paletteB);
    EXPECT_EQ(Place(c), kDirtyNone);
    c.SetDrawMode(dmPaletteMask);
    Settle(c);
    c.SetPalette(paletteA);
    EXPECT_EQ(Place(c), kDirtyBoth);
    c.SetDrawMode(dmPaletteMaskFaded);
    EXPECT_EQ((std::vector<int>{Place(c), Place(c, kNoMode15)}), (std::vector<int>{kDirtyBoth, kDirtyNone}));
    Settle(c);

    // Alpha: every placement.
    c.SetAlpha(1);
    EXPECT_EQ((std::vector<int>{Place(c), Place(c, kSubPixel)}), (std::vector<int>{kDirtyBoth, kDirtyBoth}));
}

TEST_F(PlacementTest, CustomDrawnClipsKeepTheirRect) {
    GClip c;
    c.SetDrawMode(dmCustom), c.SetSlot(40); // no image there: mode 15 never looks
    c.SetVisible(true), c.SetRect(R(50, 50, 59, 59)), c.SetPrevRect(R(0, 0, 9, 9));
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyShow, {R(50, 50, 59, 59), R(0, 0, 9, 9)}));
    EXPECT_EQ(c.GetRect(), R(50, 50, 59, 59));

    EXPECT_EQ(PlaceDirty(c, kSubPixel), Placed(kDirtyShow, {R(50, 50, 59, 59)})); // shown: only the current rect

    c.SetPrevVisible(true), c.SetAlpha(3);
    EXPECT_EQ(PlaceDirty(c), Placed(kDirtyBoth, {R(50, 50, 59, 59), R(0, 0, 9, 9)}));
    EXPECT_EQ(c.GetRect(), R(50, 50, 59, 59));

    // The twins without the mode-15 case compute the rect from the image like any clip.
    c.SetSlot(0), c.SetPosition(0, 0);
    m_container.PlaceClipNoMode15(c);
    EXPECT_EQ(c.GetRect(), R(0, 0, 4, 4));
}

TEST_F(PlacementTest, MissingImageGivesAnEmptyRect) {
    GClip c;
    Show(c, 10 * 256, 10 * 256, 2); // an empty slot
    EXPECT_EQ(Place(c), kDirtyShow);
    EXPECT_TRUE(c.GetRect().IsEmpty() && Dirty().empty());

    // Moved onto an empty slot: what it covered before is still repainted.
    c.SetPrevVisible(true), c.SetPrevRect(R(0, 0, 4, 4));
    EXPECT_EQ(PlaceDirty(c, kSubPixel), Placed(kDirtyBoth, {R(0, 0, 4, 4)}));
    EXPECT_TRUE(c.GetRect().IsEmpty());

    c.SetX(INT32_MIN);
    for (int32_t slot : {-3, 100000}) {
        c.SetSlot(slot);
        m_container.PlaceClip(c);
        EXPECT_TRUE(c.GetRect().IsEmpty()) << slot;
    }
}

TEST_F(PlacementTest, MarkClipDirtyComparesTheOwnersRect) {
    GClip c;
    c.SetDrawMode(dmLine), c.SetVisible(true), c.SetRect(R(0, 0, 10, 3));
    EXPECT_EQ(PlaceDirty(c, kMark), Placed(kDirtyShow, {R(0, 0, 10, 3)}));
    Settle(c);

    c.SetPosition(5000, 5000); // position is not looked at: the rect is the owner's
    EXPECT_EQ(Place(c, kMark), kDirtyNone);
    c.SetRect(R(20, 0, 30, 3));
    EXPECT_EQ(PlaceDirty(c, kMark), Placed(kDirtyBoth, {R(20, 0, 30, 3), R(0, 0, 10, 3)}));
    Settle(c);

    c.SetVisible(false);
    EXPECT_EQ(PlaceDirty(c, kMark), Placed(kDirtyHide, {R(20, 0, 30, 3)}));
}

TEST_F(PlacementTest, WithoutADirtyListPlacementStillSetsState) {
    GClipContainer bare;
    bare.Init(nullptr, &m_table, nullptr, nullptr);
    GClip c;
    c.SetVisible(true);
    bare.PlaceClip(c);
    EXPECT_TRUE(c.GetDirtyState() == kDirtyShow && c.GetRect() == R(0, 0, 4, 4));
}

TEST(ClipFadeTest, DrawModeMappingAndTheImageInTheFrameSlot) {
    // Modes with a faded variant turn into it; the others stay.
    const std::map<int, int> faded = {{0, 7}, {1, 8}, {2, 3}, {12, 10}, {16, 17}, {18, 19}, {20, 21}};
    for (int mode : {0, 1, 2, 12, 16, 18, 20, 3, 4, 5, 7, 8, 9, 10, 11, 13, 14, 15, 17, 19, 21, 22, 255}) {
        GClip c;
        c.SetDrawMode(uint8_t(mode));
        MakeClipAlphaBlended(c, nullptr);
        EXPECT_EQ(c.GetDrawMode(), faded.count(mode) ? faded.at(mode) : mode) << mode;
    }

    // The image-format mode looks at the image in the frame's slot.
    FakeTable table;
    table.Put(0, 4, 4, 20);
    table.Put(1, 4, 4, 0);
    table.Put(2, 4, 4, 13);
    table.Put(3, 4, 4, 6);
    // Slot 1 with a fraction (which does not matter); 2 has no faded variant, 3 is format 6,
    // 7 is empty, -1 outside; slot 0 without a store.
    const std::tuple<int32_t, bool, uint8_t> cases[] = {
        {0, true, dmIndexedMaskFaded}, {FixedFromInt(1) + 0xFF, true, dmFaded}, {2 << 8, true, dmImageFormat},
        {3 << 8, true, dmImageFormat}, {7 << 8, true, dmImageFormat}, {-256, true, dmImageFormat},
        {0, false, dmImageFormat}};
    for (auto [frame, withTable, mode] : cases) {
        GClip c;
        EXPECT_EQ(c.GetDrawMode(), dmImageFormat); // placement and fading rely on this default
        c.SetFrame(frame);
        MakeClipAlphaBlended(c, withTable ? &table : nullptr);
        EXPECT_EQ(c.GetDrawMode(), mode) << frame;
    }
}

// Every part of the pose against every placement: which of them see the change.
TEST_F(PlacementTest, EachPartOfThePoseSeenByEachPlacement) {
    static const uint32_t paletteA[256] = {};
    static const uint32_t paletteB[256] = {};
    using Change = void (*)(GClip&);
    const struct {
        const char* what;
        Change change;
        std::array<bool, 5> seen; // plain, sub-pixel, plain and sub-pixel without mode 15, owner's rect
    } cases[] = {
        {"nothing", [](GClip&) {}, {0, 0, 0, 0, 0}},
        {"visibility", [](GClip& c) { c.SetVisible(false); }, {1, 1, 1, 1, 1}},
        {"alpha", [](GClip& c) { c.SetAlpha(7); }, {1, 1, 1, 1, 1}},
        {"slot", [](GClip& c) { c.SetFrame(c.GetFrame() + kFixedOne); }, {1, 1, 1, 1, 1}},
        {"frame fraction", [](GClip& c) { c.SetFrame(c.GetFrame() + 1); }, {0, 0, 0, 0, 0}},
        {"x pixel", [](GClip& c) { c.SetX(c.GetX() - kFixedOne); }, {1, 1, 1, 1, 0}},
        {"x fraction", [](GClip& c) { c.SetX(c.GetX() + 255); }, {0, 1, 0, 1, 0}},
        {"y pixel", [](GClip& c) { c.SetY(c.GetY() + kFixedOne); }, {1, 1, 1, 1, 0}},
        {"y fraction", [](GClip& c) { c.SetY(c.GetY() + 1); }, {0, 1, 0, 1, 0}},
        {"orientation", [](GClip& c) { c.SetOrientation(3); }, {1, 0, 0, 0, 0}},
        {"palette", [](GClip& c) { c.SetPalette(paletteB); }, {1, 0, 0, 0, 0}},
        {"rect", [](GClip& c) { c.SetRect(R(0, 0, 1, 1)); }, {0, 0, 0, 0, 1}},
    };
    for (const auto& k : cases) {
        for (int how = 0; how < 5; ++how) {
            GClip c;
            Show(c, 10 * kFixedOne, 10 * kFixedOne);
            c.SetDrawMode(dmPaletteMask), c.SetPalette(paletteA), c.SetRect(R(10, 10, 14, 14));
            Settle(c);
            k.change(c);
            how == 0   ? m_container.PlaceClip(c)
            : how == 1 ? m_container.PlaceClipSubPixel(c)
            : how == 2 ? m_container.PlaceClipNoMode15(c)
            : how == 3 ? m_container.PlaceClipSubPixelNoMode15(c)
                       : m_container.MarkClipDirty(c);
            EXPECT_EQ(c.GetDirtyState() != kDirtyNone, k.seen[how]) << k.what << " placement " << how;
        }
    }
}

// Random poses around the edges of whole pixels (both signs, fractions from 0 to 255) against
// the rule as a player sees it: a clip is redrawn when it shows, hides, changes image or alpha,
// or moves onto another pixel (the sub-pixel placement: by any fraction); the plain placement
// also when it turns, and in the palette modes when its palette changes.
TEST_F(PlacementTest, PropertyUnchangedMatchesThePixelsShown) {
    static const uint32_t palettes[2][256] = {};
    std::mt19937 rng(35);
    auto near = [&](int32_t around) { return around + int32_t(rng() % 600) - 300; };
    auto whole = [](int32_t v) { return v >> 8; };
    for (int n = 0; n < 4000; ++n) {
        const bool subPixel = n % 2;
        GClip c;
        c.SetDrawMode(rng() % 3 == 0 ? dmPaletteMask : dmAlphaMask);
        c.SetVisible(true), c.SetFrame(int32_t(rng() % 512)), c.SetPosition(near(0), near(-256));
        c.SetAlpha(uint8_t(rng() % 2)), c.SetOrientation(uint8_t(rng() % 2)), c.SetPalette(palettes[rng() % 2]);
        Settle(c);
        const GClipPose before = c.Pose();
        c.SetVisible(rng() % 8 != 0), c.SetFrame(rng() % 4 ? before.frame : int32_t(rng() % 512));
        c.SetPosition(rng() % 2 ? before.x : near(before.x), rng() % 2 ? before.y : near(before.y));
        c.SetAlpha(rng() % 8 ? before.alpha : uint8_t(rng() % 2));
        c.SetOrientation(rng() % 4 ? before.orientation : uint8_t(rng() % 2));
        c.SetPalette(rng() % 4 ? before.palette : palettes[rng() % 2]);
        const GClipPose& now = c.Pose();
        const bool moved = subPixel ? now.x != before.x || now.y != before.y
                                    : whole(now.x) != whole(before.x) || whole(now.y) != whole(before.y);
        const bool turned = !subPixel && (now.orientation != before.orientation ||
                                          (c.GetDrawMode() == dmPaletteMask && now.palette != before.palette));
        const bool changed = now.visible != before.visible || whole(now.frame) != whole(before.frame) ||
                             now.alpha != before.alpha || moved || turned;
        subPixel ? m_container.PlaceClipSubPixel(c) : m_container.PlaceClip(c);
        ASSERT_EQ(c.GetDirtyState() != kDirtyNone, changed) << "case " << n;
        m_dirty->Clear();
    }
}
