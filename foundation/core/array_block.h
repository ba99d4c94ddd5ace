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

// The storage a growable array of owned elements is built on: the block, its count and its
// capacity, with the growth step above. Classes that add elements their own way (the string
// arrays) derive from it. Moving hands the block over; copying is the derived class's.
template <typename T>
class GArrayStorage {
public:
    GArrayStorage() = default;
    GArrayStorage(const GArrayStorage&) = delete;
    GArrayStorage& operator=(const GArrayStorage&) = delete;
    GArrayStorage(GArrayStorage&& other) noexcept
        : m_items(std::exchange(other.m_items, nullptr)), m_count(std::exchange(other.m_count, 0)),
          m_capacity(std::exchange(other.m_capacity, 0))
    {
    }
    GArrayStorage& operator=(GArrayStorage&& other) noexcept
    {
        if (this != &other) {
            Clear();
            m_items = std::exchange(other.m_items, nullptr);
            m_count = std::exchange(other.m_count, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
        }
        return *this;
    }
    ~GArrayStorage() { delete[] m_items; }

    void Clear()
    {
        delete[] m_items;
        m_items = nullptr;
        m_count = 0;
        m_capacity = 0;
    }
    // Keeps the first min(count, capacity) elements.
    bool Reserve(uint32_t capacity)
    {
        return array_block::Reserve(m_items, m_count, m_capacity, capacity);
    }

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }
    T& operator[](uint32_t i) { return m_items[i]; }
    const T& operator[](uint32_t i) const { return m_items[i]; }

protected:
    bool Grow() { return array_block::Grow(m_items, m_count, m_capacity); }
    // Whether p lies inside the block: an element being added may be one of ours, which
    // growing moves away.
    bool Holds(const void* p) const
    {
        const auto* first = reinterpret_cast<const unsigned char*>(m_items);
        const auto* last = reinterpret_cast<const unsigned char*>(m_items + m_capacity);
        const auto* q = static_cast<const unsigned char*>(p);
        return m_items && q >= first && q < last;
    }
    // Frees the old block and takes `block` of `capacity` elements, `count` of them in use.
    void Adopt(T* block, uint32_t count, uint32_t capacity)
    {
        delete[] m_items;
        m_items = block;
        m_count = count;
        m_capacity = capacity;
    }

    T* m_items = nullptr;
    uint32_t m_count = 0;
    uint32_t m_capacity = 0;
};
