#include "graphics/scene/rect_array.h"

#include <new>

std::unique_ptr<GRectArray> GRectArray::Create(int16_t capacity)
{
    std::unique_ptr<GRectArray> array(new (std::nothrow) GRectArray);
    if (!array || !array->Init(capacity)) {
        return nullptr;
    }
    return array;
}

bool GRectArray::Init(int16_t capacity)
{
    m_items.reset();
    m_count = 0;
    m_capacity = 0;
    if (capacity <= 0) {
        return false;
    }
    m_items.reset(new (std::nothrow) GRect[capacity]);
    if (!m_items) {
        return false;
    }
    m_capacity = capacity;
    return true;
}

int GRectArray::Add(const GRect& rect)
{
    if (m_count >= m_capacity) {
        return -1;
    }
    m_items[m_count] = rect;
    return m_count++;
}

void GRectArray::RemoveAt(int index)
{
    if (index < 0 || index >= m_count) {
        return;
    }
    --m_count;
    m_items[index] = m_items[m_count];
}

bool GRectArray::MergePass(GRect& r)
{
    bool merged = false;
    int i = 0;
    while (i < m_count) {
        if (RectsOverlap(m_items[i], r)) {
            UnionRects(r, r, m_items[i]);
            RemoveAt(i); // the former last entry now sits at i: test it next
            merged = true;
        } else {
            ++i;
        }
    }
    return merged;
}

void GRectArray::Store(GRect r)
{
    if (m_capacity <= 0) {
        return;
    }
    while (m_count >= m_capacity) {
        // Full and disjoint from every entry: dropping r would leave its area stale on screen
        // for a frame. Fold it into the entry whose bounding box grows least instead; the
        // grown rectangle may now overlap others, so it goes through the merge again. Each
        // round removes one entry, so the loop ends with room for r.
        int best = 0;
        int64_t bestGrowth = INT64_MAX;
        for (int i = 0; i < m_count; ++i) {
            GRect u;
            UnionRects(u, r, m_items[i]);
            const int64_t growth = u.Area() - m_items[i].Area();
            if (growth < bestGrowth) {
                bestGrowth = growth;
                best = i;
            }
        }
        UnionRects(r, r, m_items[best]);
        RemoveAt(best);
        while (MergePass(r)) {
        }
    }
    m_items[m_count++] = r;
}

void GRectArray::AddMerged(GRect r)
{
    if (r.IsEmpty()) {
        return;
    }
    while (MergePass(r)) {
    }
    Store(r);
}

void GRectArray::AddMergedTouching(GRect r)
{
    if (r.IsEmpty()) {
        return;
    }
    r.SetClamped(int32_t(r.left) - 1, int32_t(r.top) - 1, int32_t(r.right) + 1,
                 int32_t(r.bottom) + 1);
    MergePass(r);
    Store(r);
}
