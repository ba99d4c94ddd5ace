#pragma once
// GArray<T>: the engine's growable array of plain values (numbers, observed or owned
// pointers). It owns its element block and nothing the elements point to. A reserve of 0
// means 256 elements; a full array doubles. A growth that cannot allocate fails the
// operation and leaves the array exactly as it was. Not thread-safe: one owner at a time.
//
// GIntArray holds pointer-sized integers so that command queues can store object pointers
// in it; GFloatArray holds 32-bit floats.

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "foundation/core/array_block.h"

template <typename T>
class GArray : public GArrayStorage<T> {
    static_assert(std::is_trivially_copyable_v<T>, "GArray moves its elements as bytes");
    using GArrayStorage<T>::m_items;
    using GArrayStorage<T>::m_count;
    using GArrayStorage<T>::m_capacity;
    using GArrayStorage<T>::Grow;

public:
    using GArrayStorage<T>::Clear;

    GArray() = default;
    GArray(const GArray& other) : GArrayStorage<T>() { Assign(other); }
    GArray(GArray&& other) noexcept = default;
    GArray& operator=(const GArray& other)
    {
        if (this != &other)
            Assign(other);
        return *this;
    }
    GArray& operator=(GArray&& other) noexcept = default;

    // Copies other's elements; an empty source empties this array. False (and this array
    // unchanged) when the storage cannot be allocated.
    bool Assign(const GArray& other)
    {
        if (this == &other)
            return true;
        if (other.m_count == 0) {
            Clear();
            return true;
        }
        if (m_capacity < other.m_count) {
            T* block = new (std::nothrow) T[other.m_count];
            if (!block)
                return false;
            this->Adopt(block, m_count, other.m_count);
        }
        std::memcpy(m_items, other.m_items, sizeof(T) * other.m_count);
        m_count = other.m_count;
        return true;
    }

    bool PushBack(T value)
    {
        if (m_count == m_capacity && !Grow())
            return false;
        m_items[m_count++] = value;
        return true;
    }
    bool Add(T value) { return PushBack(value); }

    // An index at or past the end appends.
    bool InsertAt(T value, uint32_t index)
    {
        if (index >= m_count)
            return PushBack(value);
        if (m_count == m_capacity && !Grow())
            return false;
        std::memmove(m_items + index + 1, m_items + index, sizeof(T) * (m_count - index));
        m_items[index] = value;
        ++m_count;
        return true;
    }

    // Removes up to n elements from index; a range running past the end stops at the end.
    void RemoveRange(uint32_t index, uint32_t n)
    {
        if (index >= m_count || n == 0)
            return;
        if (n >= m_count - index) {
            m_count = index;
            return;
        }
        std::memmove(m_items + index, m_items + index + n, sizeof(T) * (m_count - index - n));
        m_count -= n;
    }

    // Sorts elements low..high (inclusive) with less(const T*, const T*). Not stable.
    // Indices outside the array are ignored.
    template <typename Less>
    void QuickSort(int64_t low, int64_t high, Less less)
    {
        if (low < 0 || high >= static_cast<int64_t>(m_count))
            return;
        // Recurse into the smaller part and loop on the larger so sorted input cannot
        // exhaust the stack; the parts are disjoint, so the result is the same.
        while (high > low) {
            const int64_t i = Partition(low, high, less);
            if (i - low < high - i) {
                if (low < i)
                    QuickSort(low, i - 1, less);
                low = i + 1;
            } else {
                if (i < high)
                    QuickSort(i + 1, high, less);
                high = i - 1;
            }
        }
    }
    template <typename Less>
    void Sort(Less less)
    {
        if (m_count > 0)
            QuickSort(0, static_cast<int64_t>(m_count) - 1, less);
    }

    T* GetData() { return m_items; }
    const T* GetData() const { return m_items; }
    // Null past the end.
    T* GetAt(uint32_t i) { return i < m_count ? m_items + i : nullptr; }
    const T* GetAt(uint32_t i) const { return i < m_count ? m_items + i : nullptr; }

private:
    // Hoare-style partition around element[high]; returns the pivot's final index.
    template <typename Less>
    int64_t Partition(int64_t low, int64_t high, Less& less)
    {
        const T pivot = m_items[high];
        int64_t i = low - 1;
        int64_t j = high;
        for (;;) {
            ++i;
            while (i != high && less(&m_items[i], &pivot))
                ++i;
            --j;
            while (j > low && less(&pivot, &m_items[j]))
                --j;
            if (i >= j)
                break;
            std::swap(m_items[i], m_items[j]);
        }
        std::swap(m_items[i], m_items[high]);
        return i;
    }
};

using GIntArray = GArray<intptr_t>;
using GFloatArray = GArray<float>;
