#pragma once
// Growable arrays of strings and of key/value string pairs. A reserve of 0 means 256
// elements; a full array doubles. A failed growth fails the operation and keeps the array.

#include <cstdint>

#include "foundation/core/array_block.h"
#include "foundation/text/gstring.h"

struct GStringPair {
    GString key;
    GString value;
};

class GStringArray : public GArrayStorage<GString> {
public:
    GStringArray() = default;
    GStringArray(const GStringArray& other);
    GStringArray& operator=(const GStringArray& other);

    // s may be one of this array's own elements.
    bool Add(const GString& s);
    // Copies n strings (they may lie inside this array). When new storage cannot be
    // allocated the array is left empty.
    bool Assign(const GString* strings, uint32_t n);
};

class GStringPairArray : public GArrayStorage<GStringPair> {
public:
    GStringPairArray() = default;

    bool Add(const GStringPair& pair);
    // Exactly n empty pairs; the old pairs are dropped first (also when this fails).
    bool Allocate(uint32_t n);
    // Null past the end.
    GStringPair* GetAt(uint32_t index);
    // The value of the first pair whose key equals key; null when none does.
    GString* FindValue(const GString& key);
};
