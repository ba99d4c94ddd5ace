#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "foundation/core/rect.h"
#include "graphics/scene/rect_array.h"

namespace {

// The merge rule as written first: whole passes repeated until one merges nothing, a full
// list folding r into the entry that grows least. The list's shortcuts must leave exactly the
// same entries in the same order.
struct Reference {
    std::vector<GRect> items;
    size_t capacity;

    bool Pass(GRect& r)
    {
        bool merged = false;
        for (size_t i = 0; i < items.size();) {
            if (RectsOverlap(items[i], r)) {
                UnionRects(r, r, items[i]);
                items[i] = items.back();
                items.pop_back();
                merged = true;
            } else {
                ++i;
            }
        }
        return merged;
    }
    void Store(GRect r)
    {
        while (items.size() >= capacity) {
            size_t best = 0;
            int64_t bestGrowth = INT64_MAX;
            for (size_t i = 0; i < items.size(); ++i) {
                GRect u;
                UnionRects(u, r, items[i]);
                if (u.Area() - items[i].Area() < bestGrowth) {
                    bestGrowth = u.Area() - items[i].Area();
                    best = i;
                }
            }
            UnionRects(r, r, items[best]);
            items[best] = items.back();
            items.pop_back();
            while (Pass(r)) {
            }
        }
        items.push_back(r);
    }
};

} // namespace

// Random mixes of every operation, with rectangles from small sprites to most of the area so
// that they land inside, across and outside the entries, and lists made to overlap by Add and
// by the touching variant's single pass.
TEST(RectMergeTest, EveryOperationLeavesTheListTheReferenceRuleLeaves) {
    std::mt19937 rng(2026);
    for (int16_t capacity : {int16_t(1), int16_t(3), int16_t(8), int16_t(64)})
        for (int round = 0; round < 300; ++round) {
            auto list = GRectArray::Create(capacity);
            ASSERT_NE(list, nullptr);
            Reference ref{{}, size_t(capacity)};
            const int span = round % 3 == 0 ? 40 : 200;
            for (int op = 0; op < 60; ++op) {
                const int l = int(rng() % span) - 10, t = int(rng() % span) - 10;
                const int size = rng() % 8 == 0 ? span / 2 : 12;
                GRect r;
                r.SetClamped(l, t, l + int(rng() % size) - 1, t + int(rng() % size) - 1);
                const unsigned kind = rng() % 40;
                if (kind == 0) {
                    list->Clear();
                    ref.items.clear();
                } else if (kind == 1 && list->GetCount() > 0) {
                    const int at = int(rng() % list->GetCount());
                    list->RemoveAt(at);
                    ref.items[at] = ref.items.back();
                    ref.items.pop_back();
                } else if (kind == 2) {
                    list->Add(r);
                    if (ref.items.size() < ref.capacity)
                        ref.items.push_back(r);
                } else if (kind == 3) {
                    list->AddMergedTouching(r);
                    if (!r.IsEmpty()) {
                        r.SetClamped(r.left - 1, r.top - 1, r.right + 1, r.bottom + 1);
                        ref.Pass(r);
                        ref.Store(r);
                    }
                } else {
                    list->AddMerged(r);
                    if (!r.IsEmpty()) {
                        while (ref.Pass(r)) {
                        }
                        ref.Store(r);
                    }
                }
                const std::vector<GRect> got(&list->GetAt(0), &list->GetAt(0) + list->GetCount());
                ASSERT_EQ(got, ref.items) << "capacity " << capacity << " round " << round << " op " << op;
            }
        }
}
