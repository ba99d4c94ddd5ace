#include "foundation/text/string_array.h"

#include <new>
#include <utility>

#include "foundation/core/array_block.h"

namespace {

// A copy that reports failure: GString's assignment has no result.
bool CopyString(GString& dst, const GString& src)
{
    if (&dst == &src)
        return true;
    if (!src.GetData()) {
        dst.Clear();
        return true;
    }
    return dst.AssignBytes(src.GetData(), src.GetSize());
}

} // namespace

// ---------------------------------------------------------------------------------------

GStringArray::GStringArray(const GStringArray& other) : GArrayStorage()
{
    *this = other;
}

GStringArray& GStringArray::operator=(const GStringArray& other)
{
    if (this == &other)
        return *this;
    if (other.m_items)
        Assign(other.m_items, other.m_count);
    else
        Clear();
    return *this;
}

bool GStringArray::Add(const GString& s)
{
    if (m_count == m_capacity) {
        // s may be one of our own elements, which the growth moves away.
        if (Holds(&s)) {
            const GString copy(s);
            if (copy.GetData() == nullptr && s.GetData() != nullptr)
                return false;
            return Add(copy);
        }
        if (!Grow())
            return false;
    }
    if (!CopyString(m_items[m_count], s))
        return false;
    ++m_count;
    return true;
}

bool GStringArray::Assign(const GString* strings, uint32_t n)
{
    if (m_capacity < n) {
        GString* block = new (std::nothrow) GString[n];
        if (!block) {
            Clear();
            return false;
        }
        bool ok = true;
        for (uint32_t i = 0; i < n && ok; ++i)
            ok = CopyString(block[i], strings[i]);
        Adopt(block, ok ? n : 0, n);
        return ok;
    }
    // Forward copy also handles a source that starts later inside this array.
    for (uint32_t i = 0; i < n; ++i) {
        if (!CopyString(m_items[i], strings[i])) {
            m_count = 0;
            return false;
        }
    }
    m_count = n;
    return true;
}

// ---------------------------------------------------------------------------------------

bool GStringPairArray::Add(const GStringPair& pair)
{
    if (m_count == m_capacity) {
        if (Holds(&pair)) {
            GStringPair copy;
            if (!CopyString(copy.key, pair.key) || !CopyString(copy.value, pair.value))
                return false;
            return Add(copy);
        }
        if (!Grow())
            return false;
    }
    GStringPair& slot = m_items[m_count];
    if (!CopyString(slot.key, pair.key) || !CopyString(slot.value, pair.value))
        return false;
    ++m_count;
    return true;
}

bool GStringPairArray::Allocate(uint32_t n)
{
    if (m_count == n && m_capacity == n)
        return true;
    Clear();
    if (n == 0)
        return true;
    m_items = new (std::nothrow) GStringPair[n];
    if (!m_items)
        return false;
    m_count = n;
    m_capacity = n;
    return true;
}

GStringPair* GStringPairArray::GetAt(uint32_t index)
{
    return index < m_count ? &m_items[index] : nullptr;
}

GString* GStringPairArray::FindValue(const GString& key)
{
    for (uint32_t i = 0; i < m_count; ++i) {
        if (GString::Compare(m_items[i].key, key) == 0)
            return &m_items[i].value;
    }
    return nullptr;
}
