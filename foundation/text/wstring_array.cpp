#include "foundation/text/wstring_array.h"

#include <new>
#include <utility>

#include "foundation/core/array_block.h"

GWStringArray::GWStringArray(const GWStringArray& other)
{
    Assign(other.m_items, other.m_count);
}

GWStringArray::GWStringArray(GWStringArray&& other) noexcept
    : m_items(std::exchange(other.m_items, nullptr)),
      m_count(std::exchange(other.m_count, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

GWStringArray& GWStringArray::operator=(const GWStringArray& other)
{
    if (this != &other)
        Assign(other.m_items, other.m_count);
    return *this;
}

GWStringArray& GWStringArray::operator=(GWStringArray&& other) noexcept
{
    if (this != &other) {
        Clear();
        m_items = std::exchange(other.m_items, nullptr);
        m_count = std::exchange(other.m_count, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

GWStringArray::~GWStringArray()
{
    Clear();
}

void GWStringArray::Clear()
{
    delete[] m_items;
    m_items = nullptr;
    m_count = 0;
    m_capacity = 0;
}

bool GWStringArray::Reserve(uint32_t capacity)
{
    return array_block::Reserve(m_items, m_count, m_capacity, capacity);
}

bool GWStringArray::Add(const GWString& s)
{
    // Copy first: growing moves the elements, and s may be one of them.
    return Add(GWString(s));
}

bool GWStringArray::Add(GWString&& s)
{
    if (m_count == m_capacity && !array_block::Grow(m_items, m_count, m_capacity))
        return false;
    m_items[m_count++] = std::move(s);
    return true;
}

bool GWStringArray::Assign(const GWString* strings, uint32_t n)
{
    if (n == 0 || !strings) {
        Clear();
        return true;
    }
    // Build the copy aside: the source may lie inside this array.
    auto* block = new (std::nothrow) GWString[n];
    if (!block)
        return false;
    for (uint32_t i = 0; i < n; ++i)
        block[i] = strings[i];
    delete[] m_items;
    m_items = block;
    m_count = n;
    m_capacity = n;
    return true;
}
