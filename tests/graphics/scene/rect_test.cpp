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
    EXPECT_TRUE(r.IsEmpty() && r.Area() == 0 && R(0, 0, 9, 4).Area() == 50);
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
    EXPECT_EQ(r, R(30000, -5, 32767, 32767));
    r.SetClamped(-100000, 5, 100000, 6);
    EXPECT_EQ(r, R(-32768, 5, 32767, 6));
    EXPECT_EQ(r.Area(), 65536 * 2);
}

TEST(RectTest, OverlapUnionIntersect) {
    const GRect a = R(0, 0, 9, 9);
    EXPECT_TRUE(RectsOverlap(a, R(9, 9, 20, 20)));    // one shared corner pixel
    EXPECT_FALSE(RectsOverlap(a, R(10, 0, 19, 9)));   // touching, no shared pixel
    EXPECT_FALSE(RectsOverlap(a, R(0, 10, 9, 19)));

    GRect out = R(1, 2, 3, 4), missed = out, self = a;
    EXPECT_EQ(IntersectRects(missed, a, R(10, 0, 19, 9)), 0);
    EXPECT_EQ(missed, out); // untouched
    EXPECT_EQ(IntersectRects(out, a, R(5, -5, 30, 7)), 1);
    EXPECT_EQ(out, R(5, 0, 9, 7));
    EXPECT_EQ(UnionRects(out, a, R(-32768, 5, 32767, 6)), 1);
    EXPECT_EQ(out, R(-32768, 0, 32767, 9));
    UnionRects(self, self, R(20, 20, 21, 21));
    EXPECT_EQ(self, R(0, 0, 21, 21));
    EXPECT_EQ(a.NotEquals(R(0, 0, 9, 9)) * 10 + a.NotEquals(R(0, 0, 9, 8)), 1);
}

TEST(RectArrayTest, AddAndRemoveAt) {
    auto list = MakeList(3);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list->Add(R(2 * i, 2 * i, 2 * i + 1, 2 * i + 1)), i < 3 ? i : -1);
    list->RemoveAt(0);
    EXPECT_EQ(Entries(*list), (std::vector<GRect>{R(4, 4, 5, 5), R(2, 2, 3, 3)}));
    list->RemoveAt(7); // outside: nothing
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_TRUE(!GRectArray::Create(0) && !GRectArray::Create(-4));
}

// Rectangles added in turn (merged, or merged with touching neighbours) and the list they leave.
TEST(RectArrayTest, AddMergedJoinsOverlapsAndFoldsIntoAFullList) {
    struct Case {
        const char* what;
        int16_t capacity;
        std::vector<std::pair<GRect, bool>> adds; // rectangle, touching
        std::vector<GRect> expected;
    };
    const Case cases[] = {
        {"overlaps join", 16, {{R(0, 0, 9, 9), false}, {R(20, 0, 29, 9), false}, {R(5, 5, 25, 6), false}}, {R(0, 0, 29, 9)}},
        {"touching only stays apart", 16, {{R(0, 0, 9, 9), false}, {R(10, 0, 19, 9), false}},
         {R(0, 0, 9, 9), R(10, 0, 19, 9)}},
        // (0,0)-(4,4) lies before the entry that makes r grow over it: a second pass catches it.
        {"passes repeat as the rectangle grows", 16,
         {{R(0, 0, 4, 4), false}, {R(10, 10, 14, 14), false}, {R(12, 3, 13, 12), false}, {R(3, 13, 11, 13), false}},
         {R(0, 0, 14, 14)}},
        {"touching grows only the new rectangle", 16, {{R(0, 0, 9, 9), false}, {R(10, 0, 19, 9), true}}, {R(0, -1, 20, 10)}},
        {"the margin saturates", 16, {{R(-32768, 0, 32767, 0), true}}, {R(-32768, -1, 32767, 1)}},
        {"empty rectangles are ignored", 4, {{R(5, 5, 4, 9), false}, {R(5, 5, 9, 4), false}, {R(5, 5, 4, 4), true}}, {}},
        // It would pass the overlap test, but covers nothing.
        {"an empty rectangle over an entry", 4, {{R(0, 0, 10, 10), false}, {R(5, 5, 4, 4), false}}, {R(0, 0, 10, 10)}},
        {"a full list merges an overlap", 2, {{R(0, 0, 9, 9), false}, {R(20, 0, 29, 9), false}, {R(25, 5, 40, 6), false}},
         {R(0, 0, 9, 9), R(20, 0, 40, 9)}},
        // Nearer the first entry: it grows least there.
        {"a full list folds into the cheapest entry", 2,
         {{R(0, 0, 9, 9), false}, {R(100, 0, 109, 9), false}, {R(12, 0, 14, 9), false}},
         {R(100, 0, 109, 9), R(0, 0, 14, 9)}},
        // The folded rectangle grows over the other entry: both end in one.
        {"a fold that swallows the other entry", 1, {{R(0, 0, 9, 9), false}, {R(50, 50, 59, 59), false}}, {R(0, 0, 59, 59)}},
    };
    for (const Case& c : cases) {
        auto list = MakeList(c.capacity);
        for (const auto& [rect, touching] : c.adds)
            touching ? list->AddMergedTouching(rect) : list->AddMerged(rect);
        EXPECT_EQ(Entries(*list), c.expected) << c.what;
    }
}

// Random rectangles against a pixel map: after every insertion no two entries share a pixel,
// every pixel of every rectangle added so far is covered, entries stay inside the area the
// rectangles came from, and the list holds at most its capacity (small capacities force the
// full-list fallback again and again).
TEST(RectArrayTest, PropertyDisjointAndCovering) {
    constexpr int kSize = 64;
    constexpr int kOrigin = -8; // the map spans -8..55 so negative coordinates are exercised
    std::mt19937 rng(12345);
    for (int16_t capacity : {int16_t(1000), int16_t(9), int16_t(3), int16_t(1)})
        for (int round = 0; round < 60; ++round) {
            auto list = MakeList(capacity);
            std::vector<uint8_t> required(kSize * kSize, 0);
            const int n = 1 + int(rng() % 40);
            for (int k = 0; k < n; ++k) {
                const int l = kOrigin + int(rng() % kSize), t = kOrigin + int(rng() % kSize);
                const int r = std::min(l + int(rng() % 12), kOrigin + kSize - 1);
                const int b = std::min(t + int(rng() % 12), kOrigin + kSize - 1);
                list->AddMerged(R(l, t, r, b));
                for (int y = t; y <= b; ++y)
                    for (int x = l; x <= r; ++x)
                        required[(y - kOrigin) * kSize + (x - kOrigin)] = 1;

                ASSERT_LE(list->GetCount(), capacity);
                std::vector<uint8_t> covered(kSize * kSize, 0);
                for (int i = 0; i < list->GetCount(); ++i) {
                    const GRect& e = list->GetAt(i);
                    ASSERT_FALSE(e.IsEmpty());
                    for (int j = i + 1; j < list->GetCount(); ++j)
                        ASSERT_FALSE(RectsOverlap(e, list->GetAt(j))) << "capacity " << capacity << " round " << round;
                    ASSERT_TRUE(e.left >= kOrigin && e.top >= kOrigin && e.right < kOrigin + kSize &&
                                e.bottom < kOrigin + kSize);
                    for (int y = e.top; y <= e.bottom; ++y)
                        for (int x = e.left; x <= e.right; ++x)
                            covered[(y - kOrigin) * kSize + (x - kOrigin)] = 1;
                }
                for (int p = 0; p < kSize * kSize; ++p)
                    ASSERT_TRUE(!required[p] || covered[p])
                        << "pixel " << p % kSize + kOrigin << "," << p / kSize + kOrigin << " lost, capacity "
                        << capacity << " round " << round;
            }
        }
}
