#include "graphics/scene/clip_pointer_array.h"

#include <algorithm>
#include <new>
#include <utility>

#include "graphics/scene/clip.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"

namespace {

using Index = std::ptrdiff_t;

// Ranges this short are finished by insertion sort: fewer compares than partitioning them.
constexpr Index kInsertionSortLimit = 16;

class ClipSorter {
public:
    ClipSorter(GClip** items, const GClipComparator& comparator) : m_items(items), m_cmp(comparator)
    {
    }

    // Sorts [first, last]. Recursion goes into the smaller part only, so each nested call
    // handles at most half of its caller's range: depth <= log2(n).
    void Sort(Index first, Index last, int depthBudget)
    {
        while (last - first >= kInsertionSortLimit) {
            if (depthBudget-- <= 0) {
                HeapSort(first, last);
                return;
            }
            const Index p = Partition(first, last);
            if (p - first < last - p) {
                Sort(first, p - 1, depthBudget);
                first = p + 1;
            } else {
                Sort(p + 1, last, depthBudget);
                last = p - 1;
            }
        }
        InsertionSort(first, last);
    }

private:
    bool Less(const GClip* a, const GClip* b) const { return m_cmp.Compare(a, b) < 0; }

    // Hoare partition around the median of the first, middle and last entries, placed last.
    // Both scans stop at entries equal to the pivot, which splits runs of equal keys evenly.
    Index Partition(Index first, Index last)
    {
        const Index mid = first + (last - first) / 2;
        if (Less(m_items[mid], m_items[first])) {
            std::swap(m_items[mid], m_items[first]);
        }
        if (Less(m_items[last], m_items[first])) {
            std::swap(m_items[last], m_items[first]);
        }
        if (Less(m_items[last], m_items[mid])) {
            std::swap(m_items[last], m_items[mid]);
        }
        std::swap(m_items[mid], m_items[last]);
        const GClip* pivot = m_items[last];
        Index i = first - 1;
        Index j = last;
        for (;;) {
            do {
                ++i;
            } while (i < last && Less(m_items[i], pivot));
            do {
                --j;
            } while (j > first && Less(pivot, m_items[j]));
            if (i >= j) {
                break;
            }
            std::swap(m_items[i], m_items[j]);
        }
        std::swap(m_items[i], m_items[last]);
        return i;
    }

    void InsertionSort(Index first, Index last)
    {
        for (Index i = first + 1; i <= last; ++i) {
            for (Index j = i; j > first && Less(m_items[j], m_items[j - 1]); --j) {
                std::swap(m_items[j], m_items[j - 1]);
            }
        }
    }

    void SiftDown(Index base, Index root, Index n)
    {
        for (;;) {
            Index child = 2 * root + 1;
            if (child >= n) {
                return;
            }
            if (child + 1 < n && Less(m_items[base + child], m_items[base + child + 1])) {
                ++child;
            }
            if (!Less(m_items[base + root], m_items[base + child])) {
                return;
            }
            std::swap(m_items[base + root], m_items[base + child]);
            root = child;
        }
    }

    void HeapSort(Index first, Index last)
    {
        const Index n = last - first + 1;
        for (Index root = n / 2 - 1; root >= 0; --root) {
            SiftDown(first, root, n);
        }
        for (Index end = n - 1; end > 0; --end) {
            std::swap(m_items[first], m_items[first + end]);
            SiftDown(first, 0, end);
        }
    }

    GClip** m_items;
    const GClipComparator& m_cmp;
};

int DepthBudget(size_t n)
{
    int log2 = 0;
    while (n > 1) {
        n >>= 1;
        ++log2;
    }
    return 2 * log2 + 2;
}

} // namespace

void SortClipPointers(GClip** items, size_t n, const GClipComparator& comparator)
{
    if (!items || n < 2) {
        return;
    }
    // Marking by final place (not by swap) leaves a clip that only passed through other
    // places, or an already ordered run, unmarked: it need not be redrawn.
    std::unique_ptr<GClip*[]> before(new (std::nothrow) GClip*[n]);
    if (before) {
        std::copy(items, items + n, before.get());
    }
    ClipSorter(items, comparator).Sort(0, Index(n) - 1, DepthBudget(n));
    for (size_t k = 0; k < n; ++k) {
        if (items[k] && (!before || items[k] != before[k])) {
            items[k]->MarkMoved();
        }
    }
}

void GClipPtrArray::Free()
{
    m_items.reset();
    m_count = 0;
    m_capacity = 0;
}

bool GClipPtrArray::Reserve(uint32_t capacity)
{
    if (capacity == 0) {
        capacity = 256;
    }
    std::unique_ptr<GClip*[]> items(new (std::nothrow) GClip*[capacity]);
    if (!items) {
        return false;
    }
    const uint32_t keep = std::min(m_count, capacity);
    std::copy(m_items.get(), m_items.get() + keep, items.get());
    m_items = std::move(items);
    m_count = keep;
    m_capacity = capacity;
    return true;
}

int64_t GClipPtrArray::Add(GClip* clip)
{
    if (m_count >= m_capacity) {
        if (m_capacity > UINT32_MAX / 2) {
            return -1;
        }
        if (!Reserve(m_capacity == 0 ? 256 : m_capacity * 2)) {
            return -1;
        }
    }
    m_items[m_count] = clip;
    return m_count++;
}

void GClipPtrArray::EraseRange(uint32_t index, uint32_t n)
{
    if (index >= m_count) {
        return;
    }
    n = std::min(n, m_count - index);
    std::copy(m_items.get() + index + n, m_items.get() + m_count, m_items.get() + index);
    m_count -= n;
}

int64_t GClipPtrArray::FindInRange(const GClip* clip, uint32_t first, uint32_t last) const
{
    if (m_count == 0) {
        return -1;
    }
    last = std::min(last, m_count - 1);
    for (uint32_t i = first; i <= last; ++i) {
        if (m_items[i] == clip) {
            return i;
        }
    }
    return -1;
}

int64_t GClipPtrArray::IndexOf(const GClip* clip) const
{
    return m_count == 0 ? -1 : FindInRange(clip, 0, m_count - 1);
}

void GClipPtrArray::Sort(uint32_t first, uint32_t last, const GClipComparator& comparator)
{
    if (m_count == 0) {
        return;
    }
    last = std::min(last, m_count - 1);
    if (first < last) {
        SortClipPointers(m_items.get() + first, size_t(last - first) + 1, comparator);
    }
}

// --- GClipGroup ---

GClipContainer* GClipGroup::Attach(GClipContainer* container)
{
    if (m_container) {
        return m_container;
    }
    if (!container || !container->GetClips()) {
        return nullptr;
    }
    GClipArray* list = container->GetClips();
    const int first = list->GetCount();
    if (uint32_t(list->GetCapacity() - first) < m_clips.GetCount()) {
        // A partial run could not be removed again without taking other clips with it.
        return nullptr;
    }
    for (uint32_t i = 0; i < m_clips.GetCount(); ++i) {
        container->AddClip(m_clips.GetAt(i));
    }
    m_container = container;
    m_index = first;
    container->OnNotify(0, 0, 0);
    return container;
}

bool GClipGroup::LocateRun()
{
    GClipArray* list = m_container->GetClips();
    const uint32_t n = m_clips.GetCount();
    auto matches = [&] {
        if (m_index < 0 || int64_t(m_index) + n > list->GetCount()) {
            return false;
        }
        for (uint32_t i = 0; i < n; ++i) {
            if (list->GetAt(m_index + int(i)) != m_clips.GetAt(i)) {
                return false;
            }
        }
        return true;
    };
    if (matches()) {
        return true;
    }
    RefreshIndex();
    return matches();
}

void GClipGroup::Detach()
{
    if (!m_container) {
        return;
    }
    if (m_index >= 0 && m_container->GetClips()) {
        if (LocateRun()) {
            m_container->GetClips()->RemoveRange(m_index, int(m_clips.GetCount()));
        } else {
            // The run was broken up from outside: take out each of our clips, and only them.
            for (uint32_t i = 0; i < m_clips.GetCount(); ++i) {
                m_container->RemoveClip(m_clips.GetAt(i));
            }
        }
        m_container->OnNotify(0, 0, 0);
    }
    m_container = nullptr;
    m_index = -1;
}

void GClipGroup::DetachAndClear()
{
    Detach();
    m_clips.Clear();
}

void GClipGroup::RefreshIndex()
{
    if (!IsPlaced() || m_clips.GetCount() == 0 || !m_container->GetClips()) {
        return;
    }
    const int found = m_container->GetClips()->Find(m_clips.GetAt(0));
    if (found >= 0) {
        m_index = found;
    }
}

void GClipGroup::Remove(GClip* clip)
{
    const int64_t own = m_clips.IndexOf(clip);
    if (own < 0) {
        return;
    }
    if (IsPlaced() && m_container->GetClips()) {
        GClipArray* list = m_container->GetClips();
        int at = -1;
        if (LocateRun()) {
            at = m_index + int(own);
        } else {
            at = list->Find(clip);
        }
        if (at >= 0) {
            list->RemoveRange(at, 1);
        }
    }
    m_clips.EraseRange(uint32_t(own), 1);
    if (IsPlaced()) {
        m_container->OnNotify(0, 0, 0);
    }
}

void GClipGroup::Sort(const GClipComparator* comparator)
{
    const GClipComparator& cmp = comparator ? *comparator : m_defaultComparator;
    const uint32_t n = m_clips.GetCount();
    if (n < 2) {
        return;
    }
    // Locate before sorting our own array: the run is recognised by the group's order.
    const bool runFound = IsPlaced() && m_container->GetClips() && LocateRun();
    m_clips.Sort(0, n - 1, cmp);
    if (runFound) {
        // The run held the group's old order, so it takes the new one as it is; the clips
        // that moved were marked by the sort above.
        GClipArray* list = m_container->GetClips();
        for (uint32_t i = 0; i < n; ++i) {
            list->SetAt(m_index + int(i), m_clips.GetAt(i));
        }
    }
}
