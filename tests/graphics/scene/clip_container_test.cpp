#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/scene/clip.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"

namespace {

std::vector<GClip*> Entries(const GClipArray& a) {
    std::vector<GClip*> v;
    for (int i = 0; i < a.GetCount(); ++i)
        v.push_back(a.GetAt(i));
    return v;
}

class RecordingContainer : public GClipContainer {
public:
    int OnInit() override {
        ++inits;
        return initResult;
    }
    int inits = 0;
    int initResult = 7;
};

// Adds a child clip to its container the first time it is updated.
class SpawningClip : public GClip {
public:
    SpawningClip(GClipContainer& container, GClip& child) : m_container(container), m_child(child) {}
    void Update() override {
        ++updates;
        if (!m_spawned) {
            m_spawned = true;
            m_container.AddClip(&m_child);
        }
    }
    int updates = 0;

private:
    GClipContainer& m_container;
    GClip& m_child;
    bool m_spawned = false;
};

class CountingClip : public GClip {
public:
    void Update() override { ++updates; }
    int updates = 0;
};

// The first bytes of every row of a locked 24-bit surface.
std::vector<uint8_t> Row(const GDibSurface& s, int y, int bytes) {
    const uint8_t* p = s.GetPixels() + y * s.GetPitch();
    return {p, p + bytes};
}

} // namespace

TEST(ClipArrayTest, AddInsertRemoveFind) {
    auto list = GClipArray::Create(4);
    ASSERT_NE(list, nullptr);
    GClip a, b, c, d, e;
    EXPECT_EQ(list->Add(&a), 0);
    EXPECT_EQ(list->Add(&c), 1);
    EXPECT_TRUE(list->Insert(1, &b));
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&a, &b, &c}));
    EXPECT_FALSE(list->Insert(5, &d)); // past the end
    EXPECT_TRUE(list->Insert(3, &d));  // at the end
    EXPECT_FALSE(list->Insert(0, &e)); // full
    EXPECT_EQ(list->Add(&e), -1);

    // The end of a range is exclusive.
    EXPECT_EQ(std::make_tuple(list->Find(&c), list->Find(&e), list->FindFrom(&a, 1, 4), list->FindFrom(&d, 0, 3),
                              list->FindFrom(&d, -5, 99)),
              std::make_tuple(2, -1, -1, -1, 3));

    list->RemoveRange(1, 2);
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&a, &d}));
    list->Add(&b);
    list->RemoveRange(1, 5); // stops at the end
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&a}));
    list->Add(&d);
    for (auto [index, count] : {std::pair{2, 1}, {-1, 1}, {0, 0}}) // index not below the count, negative, none
        list->RemoveRange(index, count);
    EXPECT_EQ(list->GetCount(), 2);

    // A list made again is empty, at its new capacity; a refused size leaves no room.
    for (auto [capacity, made, room] : {std::tuple{2, true, 2}, {0, false, 0}}) {
        ASSERT_EQ(list->Init(int16_t(capacity)), made);
        EXPECT_EQ((std::tuple{list->GetCount(), list->GetCapacity(), list->Add(&e)}),
                  (std::tuple{int16_t(0), int16_t(room), made ? 0 : -1}));
    }
    EXPECT_EQ(GClipArray::Create(0), nullptr);
}

TEST(ClipContainerTest, CreateAndInit) {
    std::unique_ptr<GDibSurface> back(GDibSurface::Create(8, 6, 24));
    std::unique_ptr<GDibSurface> other(GDibSurface::Create(2, 2, 24));
    auto clips = GClipArray::Create(4);
    auto rects = GRectArray::Create(4);

    auto container = GClipContainer::Create(back.get(), nullptr, clips.get(), rects.get());
    ASSERT_NE(container, nullptr);
    container->SetTarget(other.get());
    EXPECT_EQ(container->GetTarget(), other.get());
    container->SetTarget(nullptr); // back to the back buffer
    EXPECT_EQ(container->GetTarget(), back.get());

    GRect bounds;
    container->GetClientBounds(bounds);
    EXPECT_EQ(bounds, (GRect{0, 0, 7, 5}));
    GetBitmapBoundsRect(*other, bounds);
    EXPECT_EQ(bounds, (GRect{0, 0, 1, 1}));

    RecordingContainer derived;
    EXPECT_EQ(derived.Init(back.get(), nullptr, clips.get(), rects.get()), 7);

    // Every input handler reports "handled".
    EXPECT_EQ(derived.OnKeyDown(1) + derived.OnKeyUp(1) + derived.OnChar('a') +
                  derived.OnLButtonDown(1, 2) + derived.OnLButtonDblClk(1, 2) +
                  derived.OnRButtonDblClk(1, 2) + derived.OnLButtonUp(1, 2) +
                  derived.OnMouseMove(1, 2) + derived.OnPlainEvent() + derived.OnMouseEvent(1, 2) +
                  derived.OnRButtonDown(1, 2) + derived.OnRButtonUp(1, 2) + derived.OnActivate(),
              13);
}

TEST(ClipContainerTest, AddAndRemoveClips) {
    auto clips = GClipArray::Create(4);
    GClipContainer container;
    container.Init(nullptr, nullptr, clips.get(), nullptr);
    GClip p, q, r, s;
    for (GClip* c : {&p, &q, &r, &q})
        EXPECT_EQ(container.AddClip(c), 1);
    EXPECT_EQ(container.AddClip(&s), 0); // full: simply not drawn

    EXPECT_EQ(container.RemoveClip(&q), 3);
    EXPECT_EQ(container.RemoveClip(&s), 3);
    EXPECT_EQ(Entries(*clips), (std::vector<GClip*>{&p, &r, &q}));

    GClipContainer empty; // no list at all
    EXPECT_EQ(std::make_tuple(empty.AddClip(&p), empty.RemoveClip(&p), empty.Update()), std::make_tuple(0, 0, 1));
}

TEST(ClipContainerTest, UpdateReachesClipsAddedDuringThePass) {
    auto clips = GClipArray::Create(4);
    GClipContainer container;
    container.Init(nullptr, nullptr, clips.get(), nullptr);
    CountingClip child;
    SpawningClip parent(container, child);
    container.AddClip(&parent);
    EXPECT_EQ(container.Update(), 1);
    EXPECT_EQ(std::make_pair(parent.updates, child.updates), std::make_pair(1, 1));
    container.Update();
    EXPECT_EQ(std::make_pair(parent.updates, child.updates), std::make_pair(2, 2));
}

TEST(ClipContainerTest, FillBitmapKeepsToTheRowsWidth) {
    std::unique_ptr<GDibSurface> surface(GDibSurface::Create(3, 2, 24));
    ASSERT_EQ(surface->GetPitch(), 12);
    uint8_t* p = surface->Lock();
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xEE, 36);
    FillBitmap(*surface, 0x00112233);
    for (int row = 0; row < 2; ++row) // three pixels, then the row's padding untouched
        EXPECT_EQ(Row(*surface, row, 12), (std::vector<uint8_t>{0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11,
                                                               0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(p[24], 0xEE); // the spare row
    surface->Unlock();
    FillBitmap(*surface, 0); // unlocked: no pixels, nothing happens
}

TEST(ClipContainerTest, ClearTargetFillsOnlyInBackgroundModeOne) {
    std::unique_ptr<GDibSurface> back(GDibSurface::Create(4, 3, 24));
    GClipContainer container;
    container.Init(back.get(), nullptr, nullptr, nullptr);
    container.SetBackgroundColour(0x00FF8001);

    // Mode 2 fills nothing; mode 1 without locking has no pixels to write.
    for (auto [mode, lock] : {std::pair{2, true}, {1, false}}) {
        container.SetBackgroundMode(uint8_t(mode));
        container.ClearTarget(lock);
        EXPECT_EQ(back->GetPixels(), nullptr); // unlocked again
        EXPECT_EQ(back->Lock()[0], 0);
        back->Unlock();
    }

    container.ClearTarget(true);
    EXPECT_EQ(back->GetPixels(), nullptr);
    back->Lock();
    EXPECT_EQ(Row(*back, 0, 3), (std::vector<uint8_t>{0x01, 0x80, 0xFF}));
    EXPECT_EQ(Row(*back, 2, 12)[11], 0xFF);
    back->Unlock();

    GClipContainer noTarget;
    noTarget.SetBackgroundMode(1);
    noTarget.ClearTarget(true);
}

// ---- dirty rectangle lists ----
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
