#pragma once
// The growth step the foundation's growable arrays share (GArray, the string arrays, the wide
// character buffer): a new block, the elements that fit moved over, the old block freed. A
// capacity of 0 asks for 256 elements; growing doubles. A failed allocation changes nothing.

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace array_block {

inline constexpr uint32_t kDefaultCapacity = 256;

// Keeps the first min(count, newCapacity) elements.
template <typename T>
bool Reserve(T*& items, uint32_t& count, uint32_t& capacity, uint32_t newCapacity)
{
    if (newCapacity == 0)
        newCapacity = kDefaultCapacity;
    T* block = new (std::nothrow) T[newCapacity];
    if (!block)
        return false;
    const uint32_t keep = count < newCapacity ? count : newCapacity;
    if constexpr (std::is_trivially_copyable_v<T>) {
        if (keep)
            std::memcpy(block, items, sizeof(T) * keep);
    } else {
        for (uint32_t i = 0; i < keep; ++i)
            block[i] = std::move(items[i]);
    }
    delete[] items;
    items = block;
    count = keep;
    capacity = newCapacity;
    return true;
}

// Twice the capacity (an empty array gets the default); false past 2^31 elements.
template <typename T>
bool Grow(T*& items, uint32_t& count, uint32_t& capacity)
{
    if (capacity > UINT32_MAX / 2)
        return false;
    return Reserve(items, count, capacity, capacity * 2);
}

} // namespace array_block
