#include "graphics/scene/clip_array.h"

#include <algorithm>
#include <new>

#include "graphics/scene/clip_pointer_array.h"

std::unique_ptr<GClipArray> GClipArray::Create(int16_t capacity)
{
    std::unique_ptr<GClipArray> array(new (std::nothrow) GClipArray);
    if (!array || !array->Init(capacity)) {
        return nullptr;
    }
    return array;
}

bool GClipArray::Init(int16_t capacity)
{
    m_items.reset();
    m_count = 0;
    m_capacity = 0;
    if (capacity <= 0) {
        return false;
    }
    m_items.reset(new (std::nothrow) GClip*[capacity]);
    if (!m_items) {
        return false;
    }
    m_capacity = capacity;
    return true;
}

int GClipArray::Add(GClip* clip)
{
    if (m_count >= m_capacity) {
        return -1;
    }
    m_items[m_count] = clip;
    return m_count++;
}

bool GClipArray::Insert(int index, GClip* clip)
{
    if (m_count >= m_capacity || index < 0 || index > m_count) {
        return false;
    }
    std::copy_backward(m_items.get() + index, m_items.get() + m_count, m_items.get() + m_count + 1);
    m_items[index] = clip;
    ++m_count;
    return true;
}

void GClipArray::RemoveRange(int index, int n)
{
    if (index < 0 || index >= m_count || n <= 0) {
        return;
    }
    n = std::min(n, m_count - index);
    std::copy(m_items.get() + index + n, m_items.get() + m_count, m_items.get() + index);
    m_count = int16_t(m_count - n);
}

int GClipArray::FindFrom(const GClip* clip, int first, int end) const
{
    first = std::max(first, 0);
    end = std::min(end, int(m_count));
    for (int i = first; i < end; ++i) {
        if (m_items[i] == clip) {
            return i;
        }
    }
    return -1;
}

void GClipArray::Sort(int first, int last, const GClipComparator& comparator)
{
    first = std::max(first, 0);
    last = std::min(last, m_count - 1);
    if (first < last) {
        SortClipPointers(m_items.get() + first, size_t(last - first + 1), comparator);
    }
}
