#pragma once
// Growable arrays of strings and of key/value string pairs. A reserve of 0 means 256
// elements; a full array doubles. A failed growth fails the operation and keeps the array.

#include <cstdint>

#include "foundation/text/gstring.h"

struct GStringPair {
    GString key;
    GString value;
};

class GStringArray {
public:
    GStringArray() = default;
    GStringArray(const GStringArray& other);
    GStringArray& operator=(const GStringArray& other);
    ~GStringArray();

    void Clear();
    bool Reserve(uint32_t capacity);
    // s may be one of this array's own elements.
    bool Add(const GString& s);
    // Copies n strings (they may lie inside this array). When new storage cannot be
    // allocated the array is left empty.
    bool Assign(const GString* strings, uint32_t n);

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }
    GString& operator[](uint32_t i) { return m_items[i]; }
    const GString& operator[](uint32_t i) const { return m_items[i]; }

private:
    GString* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};

class GStringPairArray {
public:
    GStringPairArray() = default;
    GStringPairArray(const GStringPairArray&) = delete;
    GStringPairArray& operator=(const GStringPairArray&) = delete;
    ~GStringPairArray();

    void Clear();
    bool Reserve(uint32_t capacity);
    bool Add(const GStringPair& pair);
    // Exactly n empty pairs; the old pairs are dropped first (also when this fails).
    bool Allocate(uint32_t n);
    // Null past the end.
    GStringPair* GetAt(uint32_t index);
    // The value of the first pair whose key equals key; null when none does.
    GString* FindValue(const GString& key);

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }

private:
    GStringPair* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
