#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/core/int_array.h"
#include "foundation/text/string_array.h"
#include "foundation/text/wstring_array.h"

#include "support/failing_allocations.h"

namespace {

bool LessInt(const intptr_t* a, const intptr_t* b)
{
    return *a < *b;
}

std::vector<intptr_t> Contents(const GIntArray& a)
{
    return std::vector<intptr_t>(a.GetData(), a.GetData() + a.GetCount());
}

// The strings in order; "<none>" for one without a buffer.
std::vector<std::string> Texts(const GStringArray& a)
{
    std::vector<std::string> out;
    for (uint32_t i = 0; i < a.GetCount(); ++i)
        out.push_back(a[i].GetData() ? a[i].c_str() : "<none>");
    return out;
}
using Strings = std::vector<std::string>;

using Ints = std::vector<intptr_t>;

TEST(GIntArrayTest, GrowthReserveInsertAndRemove)
{
    GIntArray a;
    Ints expected;
    for (intptr_t i = 0; i < 300; ++i) {
        EXPECT_TRUE(i % 2 ? a.Add(i) : a.PushBack(i));
        expected.push_back(i);
    }
    EXPECT_EQ(Contents(a), expected);
    EXPECT_TRUE(a.Reserve(4)); // below the count: the prefix stays
    EXPECT_TRUE(a.Reserve(0));
    EXPECT_EQ(Contents(a), (Ints{0, 1, 2, 3}));
    a.Clear();
    EXPECT_EQ(a.GetData(), nullptr);

    a.InsertAt(5, 0);   // empty: appends
    a.InsertAt(9, 100); // past the end: appends
    a.InsertAt(1, 0);
    a.InsertAt(7, 2);
    EXPECT_EQ(Contents(a), (Ints{1, 5, 7, 9}));
    // Insertion into a full array grows it first.
    GIntArray full;
    full.Reserve(2);
    full.PushBack(1);
    full.PushBack(3);
    EXPECT_TRUE(full.InsertAt(2, 1));
    EXPECT_EQ(Contents(full), (Ints{1, 2, 3}));

    a.Clear();
    for (intptr_t i = 0; i < 6; ++i)
        a.PushBack(i);
    // Index, count, what is left: at or past the end nothing goes; a count running past the
    // end stops there; index + count may wrap in 32 bits.
    const std::tuple<uint32_t, uint32_t, Ints> steps[] = {
        {6, 1, {0, 1, 2, 3, 4, 5}}, {99, 1, {0, 1, 2, 3, 4, 5}}, {1, 2, {0, 3, 4, 5}}, {2, 0, {0, 3, 4, 5}},
        {2, 1000, {0, 3}},          {1, UINT32_MAX, {0}},         {0, 1, {}}};
    for (const auto& [index, count, left] : steps) {
        a.RemoveRange(index, count);
        EXPECT_EQ(Contents(a), left) << index << " " << count;
    }
}

TEST(GIntArrayTest, SortCopyAndFloat)
{
    srand(1234);
    for (int round = 0; round < 50; ++round) {
        GIntArray a;
        Ints ref;
        const int n = rand() % 300;
        for (int i = 0; i < n; ++i) {
            const intptr_t v = rand() % 17 - 8; // many duplicates
            a.PushBack(v);
            ref.push_back(v);
        }
        a.Sort(LessInt);
        std::sort(ref.begin(), ref.end());
        EXPECT_EQ(Contents(a), ref);
    }

    GIntArray a;
    a.Sort(LessInt); // empty: nothing
    // Reversed, then sorted input: the worst case of a last-element pivot, one partition
    // per element.
    for (intptr_t i = 0; i < 5000; ++i)
        a.PushBack(5000 - i);
    a.Sort(LessInt);
    a.Sort(LessInt);
    const Ints sorted = Contents(a);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()) && sorted.size() == 5000 && sorted[0] == 1);

    // A sub-range only; out-of-range bounds are refused.
    GIntArray b;
    for (intptr_t v : {9, 3, 2, 1, 0})
        b.PushBack(v);
    b.QuickSort(1, 3, LessInt);
    b.QuickSort(0, 5, LessInt);
    b.QuickSort(-1, 2, LessInt);
    EXPECT_EQ(Contents(b), (Ints{9, 1, 2, 3, 0}));

    GIntArray one;
    one.PushBack(4);
    GIntArray copy(one);
    copy.PushBack(5);
    EXPECT_EQ(one.GetCount(), 1u); // a deep copy

    GFloatArray f;
    f.PushBack(2.5f);
    f.PushBack(-1.0f);
    f.Sort([](const float* x, const float* y) { return *x < *y; });
    ASSERT_TRUE(f.GetAt(1) && !f.GetAt(2));
    EXPECT_EQ(std::pair(f[0], *f.GetAt(1)), std::pair(-1.0f, 2.5f));
}

TEST(FailedGrowth, IntArrayAndStringKeepTheirContents)
{
    GIntArray a;
    a.Reserve(2);
    a.PushBack(1);
    a.PushBack(2);
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(a.PushBack(3) || a.InsertAt(0, 0) || a.Reserve(8));
    }
    EXPECT_EQ(a.GetCapacity(), 2u);
    EXPECT_EQ(Contents(a), (Ints{1, 2}));
    EXPECT_TRUE(a.PushBack(3));
    EXPECT_EQ(Contents(a), (Ints{1, 2, 3}));

    GString s("abc");
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(s.Append("def") || s.Reserve(100) || s.AppendCharTrimmed('x') || s.Allocate(9));
        EXPECT_STREQ(s.c_str(), "abc");
        EXPECT_EQ(s.GetCapacity(), 4u);
        // A text that fits needs no allocation.
        s = "xy";
        EXPECT_STREQ(s.c_str(), "xy");
        // A longer assignment that cannot allocate leaves an empty string, never a stale one.
        EXPECT_FALSE(s.AssignBytes("longer", 7));
        EXPECT_EQ(s.GetData(), nullptr);
        EXPECT_STREQ(s.c_str(), "");
    }
}

TEST(FailedGrowth, StringArrayKeepsItsStrings)
{
    GStringArray a;
    a.Reserve(1);
    EXPECT_TRUE(a.Add(GString("one")));
    const GString two("two");
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(a.Add(two));
    }
    EXPECT_EQ(a.GetCapacity(), 1u);
    EXPECT_EQ(Texts(a), Strings{"one"});
    {
        // The storage grows but the string copy fails: the count does not move.
        FailArrayAllocationsAfter fail(1);
        EXPECT_FALSE(a.Add(two));
    }
    EXPECT_EQ(Texts(a), Strings{"one"});

    GStringPairArray p;
    p.Reserve(1);
    EXPECT_TRUE(p.Add({GString("k"), GString("v")}));
    const GStringPair second{GString("k2"), GString("v2")};
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(p.Add(second) || p.Allocate(4));
    }
    EXPECT_EQ(p.GetCount(), 0u); // Allocate drops the old storage before allocating

    // Adding a pair of the full array itself copies it aside first; a failed copy adds nothing.
    p.Reserve(1);
    ASSERT_TRUE(p.Add({GString("k"), GString("v")}));
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(p.Add(*p.GetAt(0)));
    }
    // With room to spare only the copy can fail.
    ASSERT_TRUE(p.Reserve(4));
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(p.Add(second));
    }
    EXPECT_EQ(p.GetCount(), 1u);
}

// A wide string that cannot be copied is a failed add or assignment, never a blank element.
TEST(FailedGrowth, WideStringArrayReportsAFailedCopy)
{
    GWStringArray a;
    ASSERT_TRUE(a.Reserve(4) && a.Add(GWString(u"one")));
    const GWString two(u"two");
    {
        FailArrayAllocationsAfter fail(0); // room to spare: only the copy allocates
        EXPECT_FALSE(a.Add(two));
    }
    EXPECT_EQ(a.GetCount(), 1u);
    const GWString source[] = {GWString(u"x"), GWString(u"y")};
    for (const int successes : {0, 1, 2}) { // the block, then each copy
        FailArrayAllocationsAfter fail(successes);
        EXPECT_FALSE(a.Assign(source, 2)) << successes;
    }
    ASSERT_EQ(a.GetCount(), 1u);
    EXPECT_TRUE(*a.GetAt(0) == GWString(u"one"));
    EXPECT_TRUE(a.Assign(source, 2) && a.Add(two));
    EXPECT_EQ(a.GetCount(), 3u);
}

TEST(GStringArrayTest, GrowthAliasingReserveAssignCopyFindAndAllocate)
{
    GStringArray a;
    Strings expected;
    for (int i = 0; i < 257; ++i) {
        expected.push_back("s" + std::to_string(i));
        ASSERT_TRUE(a.Add(GString(expected.back().c_str())));
    }
    EXPECT_EQ(Texts(a), expected);
    EXPECT_TRUE(a.Reserve(2)); // below the count: the first strings stay
    GStringArray b(a);
    b = b;
    EXPECT_EQ(Texts(b), (Strings{"s0", "s1"}));
    b = GStringArray();
    EXPECT_EQ(b.GetCount(), 0u);

    // Adding an element of the array itself while the add grows the array.
    b.Reserve(1);
    b.Add(GString("self"));
    EXPECT_TRUE(b.Add(b[0]));
    EXPECT_EQ(Texts(b), (Strings{"self", "self"}));
    GStringPairArray p;
    p.Reserve(1);
    p.Add({GString("k"), GString("v")});
    EXPECT_TRUE(p.Add(*p.GetAt(0)));
    EXPECT_STREQ(p.GetAt(1)->value.c_str(), "v");

    const GString src[3] = {GString("x"), GString(), GString("z")};
    EXPECT_TRUE(a.Assign(src, 3));
    EXPECT_EQ(Texts(a), (Strings{"x", "<none>", "z"}));
    EXPECT_TRUE(a.Assign(&a[1], 2)); // a source that starts inside the array itself
    EXPECT_EQ(Texts(a), (Strings{"<none>", "z"}));

    GStringPairArray pairs;
    for (auto [key, value] : {std::pair{"a", "1"}, {"b", "2"}, {"a", "3"}})
        pairs.Add({GString(key), GString(value)});
    // The first match wins.
    ASSERT_TRUE(pairs.FindValue(GString("a")) && pairs.FindValue(GString("b")));
    EXPECT_EQ(std::string(pairs.FindValue(GString("a"))->c_str()) + pairs.FindValue(GString("b"))->c_str(), "12");
    EXPECT_TRUE(pairs.FindValue(GString("c")) == nullptr && pairs.GetAt(3) == nullptr);

    EXPECT_TRUE(pairs.Allocate(5));
    EXPECT_TRUE(pairs.Allocate(5)); // already that size: nothing to do
    EXPECT_EQ(pairs.GetCount(), 5u);
    GStringPairArray emptied;
    ASSERT_TRUE(emptied.Allocate(2));
    EXPECT_TRUE(emptied.Allocate(0) && emptied.GetCount() == 0);
    EXPECT_EQ(pairs.GetAt(4)->key.GetData(), nullptr);
    // A key without a buffer matches only keys without one.
    EXPECT_EQ(pairs.FindValue(GString()), &pairs.GetAt(0)->value);
}

// Moving hands the block over whole and leaves the source empty and usable; copying into a
// smaller array takes a block of the source's count.
TEST(GIntArrayTest, MovesAndCopiesBetweenCapacities)
{
    GIntArray a;
    for (intptr_t v : {3, 1, 2})
        a.Add(v);
    const intptr_t* block = a.GetData();
    GIntArray moved(std::move(a));
    EXPECT_TRUE(moved.GetData() == block && Contents(moved) == (std::vector<intptr_t>{3, 1, 2}));
    EXPECT_TRUE(a.GetData() == nullptr && a.GetCount() == 0 && a.GetCapacity() == 0);
    EXPECT_TRUE(a.Add(9) && Contents(a) == std::vector<intptr_t>{9});

    a = std::move(moved);
    EXPECT_EQ(Contents(a), (std::vector<intptr_t>{3, 1, 2}));
    EXPECT_EQ(moved.GetCount(), 0u);
    GIntArray& self = a;
    a = std::move(self);
    EXPECT_EQ(Contents(a), (std::vector<intptr_t>{3, 1, 2}));

    GIntArray small;
    small.Reserve(1);
    small.Add(7);
    EXPECT_TRUE(small.Assign(a));
    EXPECT_TRUE(Contents(small) == Contents(a) && small.GetCapacity() == 3u);
}

} // namespace
