#pragma once
// Growable arrays of clip pointers, the sort they share with the render list, and GClipGroup,
// a set of clips kept as one contiguous run of a container's render list (bitmap-font text
// and the clip-storage animator use them). None of them owns the clips. Main thread only.

#include <cstddef>
#include <cstdint>
#include <memory>

class GClip;
class GClipContainer;

// Orders two clips: negative when a goes before b. The base orders nothing (every pair
// compares equal), which leaves an array as it is.
class GClipComparator {
public:
    virtual ~GClipComparator() = default;
    virtual int Compare(const GClip* a, const GClip* b) const { return 0; }
};

// Sorts n clip pointers in place; every clip that ends at another index is marked moved
// (GClip::MarkMoved) so the next flush redraws it in its new order.
//
// A quicksort (Hoare partition, median-of-three pivot) that recurses only into the smaller
// part and loops on the larger, so its stack depth stays below log2(n) frames whatever the
// input; past a depth budget it finishes the range by heapsort, so time stays n log n too.
// Every scan is bounded by the range, so a comparator that is not a consistent order
// scrambles the result but never reads outside the array.
void SortClipPointers(GClip** items, size_t n, const GClipComparator& comparator);

class GClipPtrArray {
public:
    GClipPtrArray() = default;
    GClipPtrArray(const GClipPtrArray&) = delete;
    GClipPtrArray& operator=(const GClipPtrArray&) = delete;

    void Free();
    void Clear() { m_count = 0; }
    // Capacity 0 means 256. Keeps min(count, capacity) entries; false (and the old array
    // unchanged) when the allocation fails.
    bool Reserve(uint32_t capacity);
    // Doubles the capacity when full (256 from empty); the new index, or -1 when the array
    // cannot grow.
    int64_t Add(GClip* clip);
    // Removes min(n, count - index) entries from index; nothing when index >= count.
    void EraseRange(uint32_t index, uint32_t n);
    // First index in [first, min(last, count - 1)] holding clip; -1 when none.
    int64_t FindInRange(const GClip* clip, uint32_t first, uint32_t last) const;
    int64_t IndexOf(const GClip* clip) const;
    // Sorts entries first..last (inclusive, clamped to the array).
    void Sort(uint32_t first, uint32_t last, const GClipComparator& comparator);

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }
    GClip* GetAt(uint32_t index) const { return m_items[index]; }
    GClip** GetData() { return m_items.get(); }

private:
    std::unique_ptr<GClip*[]> m_items;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};

// A set of clips shown as one run of a container's render list. Clips join through
// GetClips().Add before the group is attached; attaching appends them all to the container,
// so they are drawn together and can be sorted or removed together.
class GClipGroup {
public:
    GClipGroup() = default;
    GClipGroup(const GClipGroup&) = delete;
    GClipGroup& operator=(const GClipGroup&) = delete;
    virtual ~GClipGroup() = default;

    // Appends the group's clips to the container's list and notifies it. Returns the container
    // the group is attached to: the present one when already attached, none for a null
    // container or when the list has no room for the whole group (nothing is then added).
    GClipContainer* Attach(GClipContainer* container);
    // Takes the group's clips out of the container's list and notifies it; the group can be
    // attached again afterwards.
    void Detach();
    void DetachAndClear();
    // Finds the run again after clips before it were added or removed.
    void RefreshIndex();
    // Removes the clip from the group and, when attached, from the container's list.
    void Remove(GClip* clip);
    // Sorts the group and its run of the render list; null uses the default comparator.
    void Sort(const GClipComparator* comparator);

    // Index of the first clip in the container's list; -1 when not placed.
    int GetIndex() const { return m_index; }
    GClipContainer* GetContainer() const { return m_container; }
    GClipPtrArray& GetClips() { return m_clips; }

private:
    bool IsPlaced() const { return m_container && m_index >= 0; }
    // True when the container's list holds the group's clips, in the group's order, from
    // m_index on; looks the run up again once when it does not.
    bool LocateRun();

    GClipContainer* m_container = nullptr;
    GClipPtrArray m_clips;
    int m_index = -1;
    GClipComparator m_defaultComparator;
};
