#pragma once
// GRectArray: the frame's list of dirty rectangles, of fixed capacity. AddMerged keeps the
// entries pairwise disjoint, so a clip redrawn once per dirty rectangle never blends a pixel
// twice. The order of entries carries no meaning.
//
// Owns its storage. The GUI system makes one list and every clip container shares it.
// Main thread only.

#include <cstdint>
#include <memory>

#include "foundation/core/rect.h"

class GRectArray {
public:
    GRectArray() = default;
    GRectArray(const GRectArray&) = delete;
    GRectArray& operator=(const GRectArray&) = delete;

    // Null when the storage cannot be allocated or the capacity is not positive.
    static std::unique_ptr<GRectArray> Create(int16_t capacity);
    // Allocates the storage; false (and an empty list of capacity 0) when that fails.
    bool Init(int16_t capacity);

    // Appends without merging; the new index, or -1 when full.
    int Add(const GRect& rect);
    // The entry at index moves out and the last entry takes its place.
    void RemoveAt(int index);
    void Clear() { m_count = 0; }

    // Inserts r so that no two entries overlap: every entry r overlaps is removed and merged
    // into r, repeatedly, as r grows. When the list is full and r overlaps nothing, r is
    // merged with the entry whose bounding box grows least, and that merge starts over, so
    // the list always covers every rectangle ever added (at the price of some extra area)
    // and never holds more than its capacity. Empty rectangles cover nothing and are ignored.
    void AddMerged(GRect r);
    // Grows r by one pixel on every side, merges it in one pass with every entry it then
    // overlaps and stores it with the margin (so touching rectangles join too). A single pass
    // may leave overlaps behind; the full-list fallback of AddMerged applies.
    void AddMergedTouching(GRect r);

    int16_t GetCount() const { return m_count; }
    int16_t GetCapacity() const { return m_capacity; }
    const GRect& GetAt(int index) const { return m_items[index]; }
    GRect& GetAt(int index) { return m_items[index]; }

private:
    // One walk of the merge rule over the list; true when it merged something.
    bool MergePass(GRect& r);
    // Appends r, first making room by the fallback merge when the list is full.
    void Store(GRect r);

    std::unique_ptr<GRect[]> m_items;
    int16_t m_count = 0;
    int16_t m_capacity = 0;
};
