#include "graphics/scene/rect_array.h"

#include <algorithm>
#include <bit>
#include <new>
#include <utility>

namespace {

// RectsOverlap without its early exits: the scans test mostly entries that miss, in no
// predictable pattern, and one branch per test costs less than four.
inline bool Overlaps(const GRect& a, const GRect& b)
{
    return (a.top <= b.bottom) & (a.right >= b.left) & (b.top <= a.bottom) & (b.right >= a.left);
}

} // namespace


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
    m_disjoint = true;
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
    for (int i = 0; m_disjoint && i < m_count; ++i) {
        m_disjoint = !RectsOverlap(m_items[i], rect);
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

int GRectArray::FindOverlap(const GRect& r, int from, int end) const
{
    // Blocks of eight tests with one branch between them: which entry r overlaps follows no
    // pattern the branch predictor could learn.
    const GRect probe = r;
    const GRect* items = m_items.get();
    int i = from;
    for (; i + 8 <= end; i += 8) {
        unsigned hits = 0;
        for (int k = 0; k < 8; ++k) {
            hits |= unsigned(Overlaps(items[i + k], probe)) << k;
        }
        if (hits) {
            return i + std::countr_zero(hits);
        }
    }
    for (; i < end; ++i) {
        if (Overlaps(items[i], probe)) {
            return i;
        }
    }
    return end;
}

int GRectArray::MergePass(GRect& r, int clean)
{
    int last = -1;
    int end = std::min<int>(clean, m_count);
    for (int i = FindOverlap(r, 0, end); i < end; i = FindOverlap(r, i, end)) {
        UnionRects(r, r, m_items[i]);
        RemoveAt(i); // the former last entry now sits at i: test it next
        last = i;
        end = m_count; // once r grows, every entry left has to be tested against it
    }
    return last;
}

void GRectArray::MergeAll(GRect& r, int clean)
{
    // The entries from the last merge on were tested against r as it now is; only those
    // before it may overlap the grown r.
    while ((clean = MergePass(r, clean)) > 0) {
    }
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
        MergeAll(r, m_count);
    }
    m_items[m_count++] = r;
}

void GRectArray::AddMergedSearch(GRect r)
{
    if (r.IsEmpty()) {
        return;
    }
    int clean = m_count;
    if (m_disjoint) {
        // Disjoint entries are searched from the end: when none overlaps r, r is stored as it
        // is; when the first that does holds r whole, it is the only one r overlaps, and the
        // rule would merge it alone, move the last entry into its place and store it again at
        // the end. Otherwise the passes need not test the entries found clean.
        while (clean > 0 && !Overlaps(m_items[clean - 1], r)) {
            --clean;
        }
        if (clean == 0) {
            Store(r);
            return;
        }
        if (Holds(m_items[clean - 1], r)) {
            std::swap(m_items[clean - 1], m_items[m_count - 1]);
            return;
        }
    }
    MergeAll(r, clean);
    Store(r);
}

void GRectArray::AddMergedTouching(GRect r)
{
    if (r.IsEmpty()) {
        return;
    }
    r.SetClamped(int32_t(r.left) - 1, int32_t(r.top) - 1, int32_t(r.right) + 1,
                 int32_t(r.bottom) + 1);
    MergePass(r, m_count);
    m_disjoint = false; // one pass may leave r over entries it passed before it grew
    Store(r);
}
