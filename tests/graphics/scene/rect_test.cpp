#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "foundation/core/rect.h"
#include "graphics/scene/rect_array.h"

namespace {

GRect R(int l, int t, int r, int b) { return GRect{int16_t(l), int16_t(t), int16_t(r), int16_t(b)}; }

std::vector<GRect> Entries(const GRectArray& a) {
    std::vector<GRect> v;
    for (int i = 0; i < a.GetCount(); ++i)
        v.push_back(a.GetAt(i));
    return v;
}

std::unique_ptr<GRectArray> MakeList(int16_t capacity) {
    auto list = GRectArray::Create(capacity);
    EXPECT_NE(list, nullptr);
    return list;
}

} // namespace

TEST(RectTest, SetSizeAndOffsetMoveEdges) {
    GRect r;
    r.Set(10, 20, 0, 0);
    r.SetSize(5, 3);
    EXPECT_EQ(r, R(10, 20, 14, 22));
    r.Offset(-15, 5);
    EXPECT_EQ(r, R(-5, 25, -1, 27));
    r.SetSize(0, 0);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(r.Area(), 0);
    EXPECT_EQ(R(0, 0, 9, 4).Area(), 50);
}

TEST(RectTest, EdgesSaturateInsteadOfWrapping) {
    GRect r = R(32000, -32000, 32010, -31990);
    r.Offset(1000, -1000);
    EXPECT_EQ(r, R(32767, -32768, 32767, -32768));
    r = R(100, 100, 200, 200);
    r.Offset(INT32_MAX, INT32_MIN);
    EXPECT_EQ(r, R(32767, -32768, 32767, -32768));
    r = R(30000, -5, 0, 0);
    r.SetSize(70000, INT32_MAX);
    EXPECT_EQ(r.right, 32767);
    EXPECT_EQ(r.bottom, 32767);
    r.SetClamped(-100000, 5, 100000, 6);
    EXPECT_EQ(r, R(-32768, 5, 32767, 6));
    EXPECT_EQ(r.Area(), 65536 * 2);
}

TEST(RectTest, OverlapUnionIntersect) {
    const GRect a = R(0, 0, 9, 9);
    EXPECT_TRUE(RectsOverlap(a, R(9, 9, 20, 20)));    // one shared corner pixel
    EXPECT_FALSE(RectsOverlap(a, R(10, 0, 19, 9)));   // touching, no shared pixel
    EXPECT_FALSE(RectsOverlap(a, R(0, 10, 9, 19)));

    GRect out = R(1, 2, 3, 4);
    EXPECT_EQ(IntersectRects(out, a, R(10, 0, 19, 9)), 0);
    EXPECT_EQ(out, R(1, 2, 3, 4));
    EXPECT_EQ(IntersectRects(out, a, R(5, -5, 30, 7)), 1);
    EXPECT_EQ(out, R(5, 0, 9, 7));

    EXPECT_EQ(UnionRects(out, a, R(-32768, 5, 32767, 6)), 1);
    EXPECT_EQ(out, R(-32768, 0, 32767, 9));
    GRect self = a;
    UnionRects(self, self, R(20, 20, 21, 21));
    EXPECT_EQ(self, R(0, 0, 21, 21));

    EXPECT_EQ(a.NotEquals(R(0, 0, 9, 9)), 0);
    EXPECT_EQ(a.NotEquals(R(0, 0, 9, 8)), 1);
}

TEST(RectArrayTest, AddAndRemoveAt) {
    auto list = MakeList(3);
    EXPECT_EQ(list->Add(R(0, 0, 1, 1)), 0);
    EXPECT_EQ(list->Add(R(2, 2, 3, 3)), 1);
    EXPECT_EQ(list->Add(R(4, 4, 5, 5)), 2);
    EXPECT_EQ(list->Add(R(6, 6, 7, 7)), -1);
    list->RemoveAt(0);
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(4, 4, 5, 5), R(2, 2, 3, 3)}));
    list->RemoveAt(7); // outside: nothing
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(GRectArray::Create(0), nullptr);
    EXPECT_EQ(GRectArray::Create(-4), nullptr);
}

TEST(RectArrayTest, AddMergedJoinsOverlapsOnly) {
    auto list = MakeList(16);
    list->AddMerged(R(0, 0, 9, 9));
    list->AddMerged(R(20, 0, 29, 9));
    EXPECT_EQ(list->GetCount(), 2);
    list->AddMerged(R(5, 5, 25, 6));
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(0, 0, 29, 9)}));

    list->Clear();
    list->AddMerged(R(0, 0, 9, 9));
    list->AddMerged(R(10, 0, 19, 9)); // touching only
    EXPECT_EQ(list->GetCount(), 2);
}

TEST(RectArrayTest, AddMergedRepeatsPassesAsTheRectangleGrows) {
    // (0,0)-(4,4) lies before the entry that makes r grow over it: a second pass catches it.
    auto list = MakeList(16);
    list->AddMerged(R(0, 0, 4, 4));
    list->AddMerged(R(10, 10, 14, 14));
    list->AddMerged(R(12, 3, 13, 12)); // overlaps only the second entry, grows to (10,3,14,14)
    list->AddMerged(R(3, 13, 11, 13)); // overlaps the grown entry -> (3,3,14,14) -> overlaps the first
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(0, 0, 14, 14)}));
}

TEST(RectArrayTest, AddMergedTouchingGrowsOnlyTheNewRectangle) {
    auto list = MakeList(16);
    list->AddMerged(R(0, 0, 9, 9));
    list->AddMergedTouching(R(10, 0, 19, 9));
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(0, -1, 20, 10)}));

    list->Clear();
    list->AddMergedTouching(R(-32768, 0, 32767, 0)); // margin saturates
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(-32768, -1, 32767, 1)}));
}

TEST(RectArrayTest, EmptyRectanglesAreIgnored) {
    auto list = MakeList(4);
    list->AddMerged(R(5, 5, 4, 9));
    list->AddMerged(R(5, 5, 9, 4));
    list->AddMergedTouching(R(5, 5, 4, 4));
    EXPECT_EQ(list->GetCount(), 0);
    list->AddMerged(R(0, 0, 10, 10));
    list->AddMerged(R(5, 5, 4, 4)); // would pass the overlap test, covers nothing
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(0, 0, 10, 10)}));
}

TEST(RectArrayTest, FullListMergesOverlapAndMakesRoom) {
    auto list = MakeList(2);
    list->AddMerged(R(0, 0, 9, 9));
    list->AddMerged(R(20, 0, 29, 9));
    list->AddMerged(R(25, 5, 40, 6)); // overlaps an entry of the full list
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(0, 0, 9, 9), R(20, 0, 40, 9)}));
}

TEST(RectArrayTest, FullListFoldsDisjointRectangleIntoCheapestEntry) {
    auto list = MakeList(2);
    list->AddMerged(R(0, 0, 9, 9));
    list->AddMerged(R(100, 0, 109, 9));
    list->AddMerged(R(12, 0, 14, 9)); // nearer the first entry: it grows least there
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(100, 0, 109, 9), R(0, 0, 14, 9)}));

    // The folded rectangle grows over the other entry: both end in one.
    auto one = MakeList(1);
    one->AddMerged(R(0, 0, 9, 9));
    one->AddMerged(R(50, 50, 59, 59));
    EXPECT_EQ(Entries(*one), (std::vector<GRect>{R(0, 0, 59, 59)}));
}

// Random rectangles against a pixel map: after every insertion no two entries share a pixel,
// every pixel of every rectangle added so far is covered, entries stay inside the area the
// rectangles came from, and the list holds at most its capacity (small capacities force the
// full-list fallback again and again).
TEST(RectArrayTest, PropertyDisjointAndCovering) {
    constexpr int kSize = 64;
    constexpr int kOrigin = -8; // the map spans -8..55 so negative coordinates are exercised
    std::mt19937 rng(12345);
    for (int16_t capacity : {int16_t(1000), int16_t(9), int16_t(3), int16_t(1)}) {
        for (int round = 0; round < 60; ++round) {
            auto list = MakeList(capacity);
            std::vector<uint8_t> required(kSize * kSize, 0);
            const int n = 1 + int(rng() % 40);
            for (int k = 0; k < n; ++k) {
                const int l = kOrigin + int(rng() % kSize);
                const int t = kOrigin + int(rng() % kSize);
                const int w = 1 + int(rng() % 12);
                const int h = 1 + int(rng() % 12);
                const int r = std::min(l + w - 1, kOrigin + kSize - 1);
                const int b = std::min(t + h - 1, kOrigin + kSize - 1);
                list->AddMerged(R(l, t, r, b));
                for (int y = t; y <= b; ++y) {
                    for (int x = l; x <= r; ++x)
                        required[(y - kOrigin) * kSize + (x - kOrigin)] = 1;
                }

                ASSERT_LE(list->GetCount(), capacity);
                std::vector<uint8_t> covered(kSize * kSize, 0);
                for (int i = 0; i < list->GetCount(); ++i) {
                    const GRect& e = list->GetAt(i);
                    ASSERT_FALSE(e.IsEmpty());
                    for (int j = i + 1; j < list->GetCount(); ++j) {
                        ASSERT_FALSE(RectsOverlap(e, list->GetAt(j)))
                            << "capacity " << capacity << " round " << round;
                    }
                    ASSERT_GE(e.left, kOrigin);
                    ASSERT_GE(e.top, kOrigin);
                    ASSERT_LT(e.right, kOrigin + kSize);
                    ASSERT_LT(e.bottom, kOrigin + kSize);
                    for (int y = e.top; y <= e.bottom; ++y) {
                        for (int x = e.left; x <= e.right; ++x)
                            covered[(y - kOrigin) * kSize + (x - kOrigin)] = 1;
                    }
                }
                for (int p = 0; p < kSize * kSize; ++p) {
                    ASSERT_TRUE(!required[p] || covered[p])
                        << "pixel " << p % kSize + kOrigin << "," << p / kSize + kOrigin
                        << " lost, capacity " << capacity << " round " << round;
                }
            }
        }
    }
}
