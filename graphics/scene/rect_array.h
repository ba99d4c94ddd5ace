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
    void Clear()
    {
        m_count = 0;
        m_disjoint = true;
    }

    // Inserts r so that no two entries overlap: every entry r overlaps is removed and merged
    // into r, repeatedly, as r grows. When the list is full and r overlaps nothing, r is
    // merged with the entry whose bounding box grows least, and that merge starts over, so
    // the list always covers every rectangle ever added (at the price of some extra area)
    // and never holds more than its capacity. Empty rectangles cover nothing and are ignored.
    void AddMerged(GRect r)
    {
        // Most of a frame's rectangles fall inside the entry that grew last, which is stored
        // last. Among disjoint entries that entry is the only one r overlaps: the rule would
        // merge it alone and store it again at the end, which leaves the list as it is.
        if (m_disjoint && m_count > 0 && Holds(m_items[m_count - 1], r)) {
            return;
        }
        AddMergedSearch(r);
    }
    // Grows r by one pixel on every side, merges it in one pass with every entry it then
    // overlaps and stores it with the margin (so touching rectangles join too). A single pass
    // may leave overlaps behind; the full-list fallback of AddMerged applies.
    void AddMergedTouching(GRect r);

    int16_t GetCount() const { return m_count; }
    int16_t GetCapacity() const { return m_capacity; }
    // Read-only: the merge relies on knowing whether the entries overlap.
    const GRect& GetAt(int index) const { return m_items[index]; }

private:
    static bool Holds(const GRect& outer, const GRect& inner)
    {
        return outer.left <= inner.left && outer.top <= inner.top &&
               outer.right >= inner.right && outer.bottom >= inner.bottom;
    }
    // AddMerged past its test of the last entry.
    void AddMergedSearch(GRect r);
    // The merge rule's passes, repeated until one merges nothing; entries at or past `clean`
    // are known not to overlap r.
    void MergeAll(GRect& r, int clean);
    // One walk of the merge rule over the list, from index 0: entries at or past `clean` are
    // known not to overlap r and are skipped until r grows. The index of the last merge, or
    // -1 when nothing merged.
    int MergePass(GRect& r, int clean);
    // The first index in [from, end) whose entry overlaps r; end when none does.
    int FindOverlap(const GRect& r, int from, int end) const;
    // The last index below end whose entry overlaps r; -1 when none does.
    int FindOverlapBefore(const GRect& r, int end) const;
    // Appends r, first making room by the fallback merge when the list is full.
    void Store(GRect r);

    std::unique_ptr<GRect[]> m_items;
    int16_t m_count = 0;
    int16_t m_capacity = 0;
    // No two entries overlap: true whenever only AddMerged, RemoveAt and Clear have changed
    // the list (or Add appended a rectangle that overlaps nothing).
    bool m_disjoint = true;
};
