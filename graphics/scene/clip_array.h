#pragma once
// GClipArray: the render list, a fixed-capacity list of clip pointers drawn in order (a later
// entry is drawn over an earlier one). One list serves every screen; each clip container
// knows the index of its own first clip. Owns its storage, not the clips. Main thread only.

#include <cstdint>
#include <memory>

class GClip;
class GClipComparator;

class GClipArray {
public:
    GClipArray() = default;
    GClipArray(const GClipArray&) = delete;
    GClipArray& operator=(const GClipArray&) = delete;

    // Null when the storage cannot be allocated or the capacity is not positive.
    static std::unique_ptr<GClipArray> Create(int16_t capacity);
    bool Init(int16_t capacity);

    // The new index, or -1 when full.
    int Add(GClip* clip);
    // Moves the entries from index up by one place; false when full or index > count.
    bool Insert(int index, GClip* clip);
    // Removes min(n, count - index) entries from index, keeping the order of the rest.
    // Nothing when index is outside the list or n is not positive.
    void RemoveRange(int index, int n);
    void Clear() { m_count = 0; }

    // First index in [first, end) holding clip, -1 when none.
    int FindFrom(const GClip* clip, int first, int end) const;
    int Find(const GClip* clip) const { return FindFrom(clip, 0, m_count); }

    // Sorts entries first..last (inclusive) by the comparator; clips that change place are
    // marked moved so the next flush redraws them in their new order.
    void Sort(int first, int last, const GClipComparator& comparator);

    int16_t GetCount() const { return m_count; }
    int16_t GetCapacity() const { return m_capacity; }
    GClip* GetAt(int index) const { return m_items[index]; }
    void SetAt(int index, GClip* clip) { m_items[index] = clip; }
    GClip** GetData() { return m_items.get(); }

private:
    std::unique_ptr<GClip*[]> m_items;
    int16_t m_count = 0;
    int16_t m_capacity = 0;
};
