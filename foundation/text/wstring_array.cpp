#include "foundation/text/wstring_array.h"

#include <new>
#include <utility>

#include "foundation/core/array_block.h"

GWStringArray::GWStringArray(const GWStringArray& other) : GArrayStorage()
{
    Assign(other.m_items, other.m_count);
}

GWStringArray& GWStringArray::operator=(const GWStringArray& other)
{
    if (this != &other)
        Assign(other.m_items, other.m_count);
    return *this;
}

bool GWStringArray::Add(const GWString& s)
{
    // Copy first: growing moves the elements, and s may be one of them. Appending, unlike the
    // copy constructor, says whether the copy found its memory.
    GWString copy;
    if (!copy.Append(s))
        return false;
    return Add(std::move(copy));
}

bool GWStringArray::Add(GWString&& s)
{
    if (m_count == m_capacity && !Grow())
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
    for (uint32_t i = 0; i < n; ++i) {
        if (!block[i].Append(strings[i])) {
            delete[] block; // the array keeps what it held
            return false;
        }
    }
    Adopt(block, n, n);
    return true;
}
