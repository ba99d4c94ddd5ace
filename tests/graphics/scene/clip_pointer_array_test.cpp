#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "graphics/scene/clip.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/clip_pointer_array.h"

namespace {

class KeyClip : public GClip {
public:
    int key = 0;
};

// Orders by key and records how deep below the test's own frame the sort calls it, from the
// address of a local: an n-deep recursion on 100k entries would reach megabytes.
class KeyOrder : public GClipComparator {
public:
    explicit KeyOrder(uintptr_t top) : m_top(top) {}
    int Compare(const GClip* a, const GClip* b) const override {
        volatile char here = 0;
        const uintptr_t at = reinterpret_cast<uintptr_t>(&here);
        if (at < m_top)
            maxDepth = std::max(maxDepth, m_top - at);
        ++calls;
        const int ka = static_cast<const KeyClip*>(a)->key;
        const int kb = static_cast<const KeyClip*>(b)->key;
        return ka < kb ? -1 : ka > kb ? 1 : 0;
    }
    mutable uintptr_t maxDepth = 0;
    mutable uint64_t calls = 0;

private:
    uintptr_t m_top;
};

// Answers at random: not an order at all.
class ChaosOrder : public GClipComparator {
public:
    int Compare(const GClip*, const GClip*) const override { return int(m_rng() % 3) - 1; }

private:
    mutable std::mt19937 m_rng{99};
};

// McIlroy's adversary: keys are fixed only when a comparison forces it, so that every pivot
// turns out the smallest clip still open. A quicksort that trusted its pivots would take n^2
// comparisons; the depth budget hands such ranges to the heapsort.
class AdversaryOrder : public GClipComparator {
public:
    explicit AdversaryOrder(int open) : m_open(open) {}
    int Compare(const GClip* a, const GClip* b) const override {
        KeyClip* x = const_cast<KeyClip*>(static_cast<const KeyClip*>(a));
        KeyClip* y = const_cast<KeyClip*>(static_cast<const KeyClip*>(b));
        if (x->key == m_open && y->key == m_open)
            (x == m_candidate ? x : y)->key = m_fixed++;
        if (x->key == m_open)
            m_candidate = x;
        else if (y->key == m_open)
            m_candidate = y;
        return x->key < y->key ? -1 : x->key > y->key ? 1 : 0;
    }
private:
    int m_open;
    mutable int m_fixed = 0;
    mutable const KeyClip* m_candidate = nullptr;
};

uintptr_t StackHere() {
    volatile char here = 0;
    return reinterpret_cast<uintptr_t>(&here);
}

constexpr int32_t kUnmarked = 12345;

// Unmarked clips, with the given keys if any.
struct Clips {
    explicit Clips(size_t n, std::initializer_list<int> keys = {}) : items(new KeyClip[n]), count(n) {
        Unmark();
        for (size_t i = 0; i < keys.size(); ++i)
            items[i].key = keys.begin()[i];
    }
    void Unmark() {
        for (size_t i = 0; i < count; ++i)
            items[i].SetPrevX(kUnmarked);
    }
    // Which clips a sort marked as moved.
    std::vector<bool> Marks() const {
        std::vector<bool> marks;
        for (size_t i = 0; i < count; ++i)
            marks.push_back(items[i].GetPrevX() != kUnmarked);
        return marks;
    }
    std::unique_ptr<KeyClip[]> items;
    size_t count;
};

class NotifyingContainer : public GClipContainer {
public:
    void OnNotify(int32_t, int32_t, int32_t) override { ++notifications; }
    int notifications = 0;
};

// A container over a list of the given capacity, and a group of the given clips.
struct GroupScene {
    GroupScene(int16_t capacity, std::initializer_list<GClip*> members) : list(GClipArray::Create(capacity)) {
        container.Init(nullptr, nullptr, list.get(), nullptr);
        for (GClip* c : members)
            group.GetClips().Add(c);
    }
    std::unique_ptr<GClipArray> list;
    NotifyingContainer container;
    GClipGroup group;
};

template <typename List>
std::vector<int> Keys(const List& a) {
    std::vector<int> v;
    for (int i = 0; i < int(a.GetCount()); ++i)
        v.push_back(static_cast<KeyClip*>(a.GetAt(i))->key);
    return v;
}

std::vector<GClip*> Entries(const GClipArray& a) {
    std::vector<GClip*> v;
    for (int i = 0; i < a.GetCount(); ++i)
        v.push_back(a.GetAt(i));
    return v;
}

} // namespace

TEST(ClipPtrArrayTest, GrowthReserveEraseFind) {
    GClipPtrArray a;
    std::vector<GClip> clips(300);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(a.Add(&clips[i]), i);
        EXPECT_EQ(a.GetCapacity(), i < 256 ? 256u : 512u);
    }
    EXPECT_EQ(a.IndexOf(&clips[299]), 299);
    EXPECT_EQ(std::make_tuple(a.FindInRange(&clips[10], 11, 1000), a.FindInRange(&clips[10], 5, 1000),
                              a.FindInRange(&clips[10], 5, 10)),
              std::make_tuple(-1, 10, 10));

    a.EraseRange(1, 3);
    EXPECT_EQ(std::make_pair(a.GetCount(), a.GetAt(1)), std::make_pair(297u, &clips[4]));
    a.EraseRange(290, 100);
    a.EraseRange(290, 1); // index not below the count: nothing
    EXPECT_EQ(a.GetCount(), 290u);

    ASSERT_TRUE(a.Reserve(10)); // shrinks: keeps the first 10
    EXPECT_EQ(std::make_tuple(a.GetCount(), a.GetCapacity(), a.GetAt(9)), std::make_tuple(10u, 10u, &clips[12]));
    ASSERT_TRUE(a.Reserve(0));
    EXPECT_EQ(std::make_pair(a.GetCount(), a.GetCapacity()), std::make_pair(10u, 256u));

    a.Clear();
    EXPECT_EQ(a.IndexOf(&clips[0]) + a.FindInRange(&clips[0], 0, 5), -2);
    a.Free();
    EXPECT_EQ(a.GetCapacity(), 0u);
}

TEST(ClipSortTest, SortsOnlyTheRangeAndMarksOnlyClipsThatMoved) {
    Clips c(5, {1, 2, 5, 4, 3});
    GClipPtrArray a;
    for (int i = 0; i < 5; ++i)
        a.Add(&c.items[i]);
    KeyOrder order(StackHere());
    a.Sort(0, 4, order);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(c.Marks(), (std::vector<bool>{false, false, true, false, true})); // 5 moved to the end, 4 stayed

    // Sorting an ordered run again marks nothing.
    c.Unmark();
    a.Sort(0, 4, order);
    EXPECT_EQ(c.Marks(), std::vector<bool>(5, false));
    // The base comparator orders nothing.
    a.Sort(0, 4, GClipComparator());
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 4, 5}));

    // A clip list sorts only the range asked for, clamped to the list.
    auto list = GClipArray::Create(8);
    Clips d(6, {9, 3, 2, 1, 0, -5});
    for (int i = 0; i < 6; ++i)
        list->Add(&d.items[i]);
    list->Sort(1, 4, order);
    EXPECT_EQ(Keys(*list), (std::vector<int>{9, 0, 1, 2, 3, -5}));
    EXPECT_FALSE(d.Marks()[0] || d.Marks()[5]);
    list->Sort(3, 99, order);
    list->Sort(-4, 0, order);
    EXPECT_EQ(static_cast<KeyClip*>(list->GetAt(5))->key, 3);
}

TEST(ClipSortTest, LargeInputsStayShallow) {
    constexpr size_t kN = 100000;
    enum Shape { Sorted, Reverse, Equal, Random, Sawtooth };
    for (Shape shape : {Sorted, Reverse, Equal, Random, Sawtooth}) {
        Clips c(kN);
        std::mt19937 rng(7);
        std::vector<GClip*> ptrs(kN);
        for (size_t i = 0; i < kN; ++i) {
            int key = 0;
            switch (shape) {
            case Sorted: key = int(i); break;
            case Reverse: key = int(kN - i); break;
            case Equal: key = 42; break;
            case Random: key = int(rng() % 1000); break;
            case Sawtooth: key = int(i % 97); break;
            }
            c.items[i].key = key;
            ptrs[i] = &c.items[i];
        }
        KeyOrder order(StackHere());
        SortClipPointers(ptrs.data(), kN, order);
        for (size_t i = 1; i < kN; ++i)
            ASSERT_LE(static_cast<KeyClip*>(ptrs[i - 1])->key, static_cast<KeyClip*>(ptrs[i])->key)
                << shape << " at " << i;
        // Every clip is still there exactly once.
        std::vector<GClip*> sorted = ptrs;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
        EXPECT_LT(order.maxDepth, 64u * 1024u) << "shape " << shape;
        EXPECT_LT(order.calls, 40ull * kN) << "shape " << shape; // n log n, not n^2
        EXPECT_TRUE(shape != Sorted || c.Marks() == std::vector<bool>(kN, false)); // nothing moved
    }

    // Against the adversary the pivots are worthless. Its answers, with the clips it never had
    // to settle placed above the rest in falling order, make an input on which the sort takes
    // the same path: the heapsort finishes the ranges, sorted, in n log n comparisons.
    for (size_t n : {size_t(40), size_t(4096)}) {
        Clips c(n);
        std::vector<GClip*> ptrs(n);
        for (size_t i = 0; i < n; ++i)
            c.items[i].key = int(n), ptrs[i] = &c.items[i];
        SortClipPointers(ptrs.data(), n, AdversaryOrder{int(n)});
        for (size_t i = 0; i < n; ++i) {
            c.items[i].key = c.items[i].key == int(n) ? int(3 * n - i) : c.items[i].key;
            ptrs[i] = &c.items[i];
        }
        KeyOrder order(StackHere());
        SortClipPointers(ptrs.data(), n, order);
        for (size_t i = 1; i < n; ++i)
            ASSERT_LT(static_cast<KeyClip*>(ptrs[i - 1])->key, static_cast<KeyClip*>(ptrs[i])->key)
                << n << " at " << i;
        EXPECT_LT(order.calls, 8ull * n * std::bit_width(n)) << n; // n log n, not n^2
    }

    // A comparator that is not an order at all still leaves a permutation of the input.
    constexpr size_t kChaos = 5000;
    Clips c(kChaos);
    std::vector<GClip*> ptrs(kChaos);
    for (size_t i = 0; i < kChaos; ++i)
        ptrs[i] = &c.items[i];
    SortClipPointers(ptrs.data(), kChaos, ChaosOrder());
    std::sort(ptrs.begin(), ptrs.end());
    EXPECT_TRUE(
        std::equal(ptrs.begin(), ptrs.end(), c.items.get(), [](GClip* p, const KeyClip& k) { return p == &k; }));
}

TEST(ClipGroupTest, AttachDetachKeepsOneRun) {
    GClip before, a, b, c;
    GroupScene scene(8, {&a, &b, &c});
    auto& [list, container, group] = scene;
    container.AddClip(&before);
    EXPECT_EQ(group.Attach(nullptr), nullptr);
    group.RefreshIndex(); // not placed: there is no run to find
    EXPECT_EQ(std::make_pair(group.GetIndex(), group.GetContainer()), std::make_pair(-1, (GClipContainer*)nullptr));
    EXPECT_EQ(group.Attach(&container), &container);
    EXPECT_EQ(std::make_pair(group.GetIndex(), container.notifications), std::make_pair(1, 1));
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&before, &a, &b, &c}));

    NotifyingContainer other;
    EXPECT_EQ(group.Attach(&other), &container); // already attached
    EXPECT_EQ(list->GetCount(), 4);

    group.Remove(&b);
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&before, &a, &c}));
    EXPECT_EQ(std::make_pair(group.GetClips().GetCount(), container.notifications), std::make_pair(2u, 2));

    // Clips before the run go away: the run is found again rather than cutting the wrong ones.
    container.RemoveClip(&before);
    GClip after;
    container.AddClip(&after);
    group.Detach();
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&after}));
    EXPECT_EQ(std::make_tuple(group.GetIndex(), group.GetContainer(), container.notifications), std::make_tuple(-1, nullptr, 3));

    // Detached groups can join again.
    EXPECT_EQ(group.Attach(&container), &container);
    EXPECT_EQ(group.GetIndex(), 1);
    group.DetachAndClear();
    EXPECT_EQ((std::pair{group.GetClips().GetCount(), Entries(*list)}), (std::pair{0u, std::vector<GClip*>{&after}}));
}

TEST(ClipGroupTest, AttachNeedsRoomForTheWholeGroup) {
    GClip x, a, b, c;
    GroupScene scene(3, {&a, &b, &c});
    auto& [list, container, group] = scene;
    container.AddClip(&x);
    EXPECT_EQ((std::tuple{group.Attach(&container), Entries(*list), container.notifications, group.GetIndex()}),
              (std::tuple{static_cast<GClipContainer*>(nullptr), std::vector<GClip*>{&x}, 0, -1}));
}

TEST(ClipGroupTest, SortReordersGroupAndRun) {
    Clips c(5, {100, 3, 1, 2, -100});
    GroupScene scene(8, {&c.items[1], &c.items[2], &c.items[3]});
    auto& [list, container, group] = scene;
    container.AddClip(&c.items[0]);
    group.Attach(&container);
    container.AddClip(&c.items[4]);

    KeyOrder order(StackHere());
    group.Sort(&order);
    EXPECT_EQ((std::pair{Keys(*list), Keys(group.GetClips())}),
              (std::pair{std::vector<int>{100, 1, 2, 3, -100}, std::vector<int>{1, 2, 3}}));
    EXPECT_TRUE(c.Marks()[1] && !c.Marks()[0] && !c.Marks()[4]);
    group.Sort(nullptr); // the default comparator changes nothing
    EXPECT_EQ(Keys(*list), (std::vector<int>{100, 1, 2, 3, -100}));
}

namespace {

// A run broken up from outside (a stranger between the group's clips, the order changed):
// removing one clip and detaching take out the group's clips only, wherever they are; sorting
// leaves the list alone.
TEST(ClipGroupTest, ARunBrokenFromOutsideLosesOnlyTheGroupsClips)
{
    Clips c(4, {3, 1, 2, 0});
    GClip x, y;
    GroupScene scene(8, {&c.items[0], &c.items[1], &c.items[2]});
    auto& [list, container, group] = scene;
    container.AddClip(&x);
    ASSERT_EQ(group.Attach(&container), &container);
    list->SetAt(2, &y); // the middle clip goes, a stranger takes its place
    container.AddClip(&c.items[1]);
    container.AddClip(&c.items[3]);
    KeyOrder order(StackHere());
    group.Sort(&order);
    EXPECT_EQ(Entries(*list),
              (std::vector<GClip*>{&x, &c.items[0], &y, &c.items[2], &c.items[1], &c.items[3]}));
    group.Remove(&c.items[2]);
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&x, &c.items[0], &y, &c.items[1], &c.items[3]}));
    group.Remove(&x); // not the group's: nothing
    EXPECT_EQ(list->GetCount(), 5);
    group.Detach();
    EXPECT_EQ(Entries(*list), (std::vector<GClip*>{&x, &y, &c.items[3]}));
    EXPECT_EQ(container.notifications, 3);
}

} // namespace
