#pragma once
// GWStringArray: the growable array of GWString (fields of table rows, parts of a split).
// It owns its strings. A reserve of 0 means 256 elements; a full array doubles. A growth that
// cannot allocate fails the operation and keeps the array. One owner at a time.

#include <cstdint>

#include "foundation/core/array_block.h"
#include "foundation/text/wstring.h"

class GWStringArray : public GArrayStorage<GWString> {
public:
    GWStringArray() = default;
    GWStringArray(const GWStringArray& other);
    GWStringArray(GWStringArray&& other) noexcept = default;
    GWStringArray& operator=(const GWStringArray& other);
    GWStringArray& operator=(GWStringArray&& other) noexcept = default;

    // s may be one of this array's own elements.
    bool Add(const GWString& s);
    bool Add(GWString&& s);
    // Copies n strings (they may lie inside this array); an empty source empties the array.
    // False (array unchanged) when the storage cannot be allocated.
    bool Assign(const GWString* strings, uint32_t n);

    // Null past the end.
    GWString* GetAt(uint32_t i) { return i < m_count ? m_items + i : nullptr; }
    const GWString* GetAt(uint32_t i) const { return i < m_count ? m_items + i : nullptr; }
};
