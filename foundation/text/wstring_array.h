#pragma once
// GWStringArray: the growable array of GWString (fields of table rows, parts of a split).
// It owns its strings. A reserve of 0 means 256 elements; a full array doubles. A growth that
// cannot allocate fails the operation and keeps the array. One owner at a time.

#include <cstdint>

#include "foundation/text/wstring.h"

class GWStringArray {
public:
    GWStringArray() = default;
    GWStringArray(const GWStringArray& other);
    GWStringArray(GWStringArray&& other) noexcept;
    GWStringArray& operator=(const GWStringArray& other);
    GWStringArray& operator=(GWStringArray&& other) noexcept;
    ~GWStringArray();

    void Clear();
    // Keeps the first min(count, capacity) strings.
    bool Reserve(uint32_t capacity);
    // s may be one of this array's own elements.
    bool Add(const GWString& s);
    bool Add(GWString&& s);
    // Copies n strings (they may lie inside this array); an empty source empties the array.
    // False (array unchanged) when the storage cannot be allocated.
    bool Assign(const GWString* strings, uint32_t n);

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }
    // Null past the end.
    GWString* GetAt(uint32_t i) { return i < m_count ? m_items + i : nullptr; }
    const GWString* GetAt(uint32_t i) const { return i < m_count ? m_items + i : nullptr; }
    GWString& operator[](uint32_t i) { return m_items[i]; }
    const GWString& operator[](uint32_t i) const { return m_items[i]; }

private:
    GWString* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
