#include "foundation/text/wstring.h"

#include <cstring>
#include <new>
#include <utility>

#include "foundation/core/array_block.h"

namespace {

// An empty buffer grows to a reserve's default first.
constexpr uint32_t kDefaultUnits = array_block::kDefaultCapacity;

} // namespace

bool GWCharBuffer::Grow(uint32_t extra)
{
    if (extra > UINT32_MAX - m_count)
        return false;
    const uint32_t needed = m_count + extra;
    if (needed <= m_capacity && m_items)
        return true;
    uint64_t capacity = m_capacity ? m_capacity : kDefaultUnits;
    while (capacity < needed)
        capacity *= 2;
    if (capacity > UINT32_MAX)
        capacity = needed;
    return Reserve(static_cast<uint32_t>(capacity));
}

bool GWCharBuffer::Append(char16_t c)
{
    if (!Grow(1))
        return false;
    m_items[m_count++] = c;
    return true;
}

bool GWCharBuffer::Append(const char16_t* units, uint32_t n)
{
    if (n == 0)
        return true;
    // The units may lie inside this buffer; growing would free them.
    const bool inside = Holds(units);
    const size_t offset = inside ? static_cast<size_t>(units - m_items) : 0;
    if (!Grow(n))
        return false;
    if (inside)
        units = m_items + offset;
    std::memmove(m_items + m_count, units, n * sizeof(char16_t));
    m_count += n;
    return true;
}

bool GWCharBuffer::Insert(char16_t c, uint32_t index)
{
    if (index >= m_count)
        return Append(c);
    if (!Grow(1))
        return false;
    std::memmove(m_items + index + 1, m_items + index, (m_count - index) * sizeof(char16_t));
    m_items[index] = c;
    ++m_count;
    return true;
}

void GWCharBuffer::Delete(uint32_t index, uint32_t count)
{
    if (index >= m_count || count == 0)
        return;
    if (count >= m_count - index) {
        m_count = index;
        return;
    }
    std::memmove(m_items + index, m_items + index + count,
                 (m_count - index - count) * sizeof(char16_t));
    m_count -= count;
}

int32_t GWCharBuffer::Find(char16_t c, uint32_t from, uint32_t to) const
{
    if (to > m_count)
        to = m_count;
    for (uint32_t i = from; i < to; ++i) {
        if (m_items[i] == c)
            return static_cast<int32_t>(i);
    }
    return -1;
}
