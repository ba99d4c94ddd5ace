#include "foundation/text/wstring.h"

#include <cstring>
#include <new>
#include <utility>

#include "foundation/core/array_block.h"

namespace {

// An empty buffer grows to a reserve's default first.
constexpr uint32_t kDefaultUnits = array_block::kDefaultCapacity;

} // namespace

GWCharBuffer::GWCharBuffer(GWCharBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_length(std::exchange(other.m_length, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

GWCharBuffer& GWCharBuffer::operator=(GWCharBuffer&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_length = std::exchange(other.m_length, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

bool GWCharBuffer::Reserve(uint32_t capacity)
{
    return array_block::Reserve(m_data, m_length, m_capacity, capacity);
}

bool GWCharBuffer::Grow(uint32_t extra)
{
    if (extra > UINT32_MAX - m_length)
        return false;
    const uint32_t needed = m_length + extra;
    if (needed <= m_capacity && m_data)
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
    m_data[m_length++] = c;
    return true;
}

bool GWCharBuffer::Append(const char16_t* units, uint32_t n)
{
    if (n == 0)
        return true;
    // The units may lie inside this buffer; growing would free them.
    const bool inside = m_data && units >= m_data && units < m_data + m_capacity;
    const size_t offset = inside ? static_cast<size_t>(units - m_data) : 0;
    if (!Grow(n))
        return false;
    if (inside)
        units = m_data + offset;
    std::memmove(m_data + m_length, units, n * sizeof(char16_t));
    m_length += n;
    return true;
}

bool GWCharBuffer::Insert(char16_t c, uint32_t index)
{
    if (index >= m_length)
        return Append(c);
    if (!Grow(1))
        return false;
    std::memmove(m_data + index + 1, m_data + index, (m_length - index) * sizeof(char16_t));
    m_data[index] = c;
    ++m_length;
    return true;
}

void GWCharBuffer::Delete(uint32_t index, uint32_t count)
{
    if (index >= m_length || count == 0)
        return;
    if (count >= m_length - index) {
        m_length = index;
        return;
    }
    std::memmove(m_data + index, m_data + index + count, (m_length - index - count) * sizeof(char16_t));
    m_length -= count;
}

int32_t GWCharBuffer::Find(char16_t c, uint32_t from, uint32_t to) const
{
    if (to > m_length)
        to = m_length;
    for (uint32_t i = from; i < to; ++i) {
        if (m_data[i] == c)
            return static_cast<int32_t>(i);
    }
    return -1;
}

void GWCharBuffer::Free()
{
    delete[] m_data;
    m_data = nullptr;
    m_length = 0;
    m_capacity = 0;
}
