#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

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
