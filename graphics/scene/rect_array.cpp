#include "graphics/scene/rect_array.h"

#include <algorithm>
#include <bit>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// RectsOverlap without its early exits: the scans test mostly entries that miss, in no
// predictable pattern, and one branch per test costs less than four.
inline bool Overlaps(const GRect& a, const GRect& b)
{
    return (a.top <= b.bottom) & (a.right >= b.left) & (b.top <= a.bottom) & (b.right >= a.left);
}

// The scans test eight entries at a time and branch once on the result: bit k of the mask is
// set when entry k overlaps the probe.
constexpr int kBlock = 8;

#if defined(__SSE2__)
class GOverlapProbe {
public:
    explicit GOverlapProbe(const GRect& r)
        // Entry lanes are (left, top, right, bottom); a lane fails when left > r.right,
        // top > r.bottom, r.left > right or r.top > bottom. The unused halves never fail.
        : m_high(_mm_setr_epi16(r.right, r.bottom, INT16_MAX, INT16_MAX, r.right, r.bottom,
                                INT16_MAX, INT16_MAX)),
          m_low(_mm_setr_epi16(INT16_MIN, INT16_MIN, r.left, r.top, INT16_MIN, INT16_MIN, r.left,
                               r.top))
    {
    }

    unsigned Block(const GRect* items) const
    {
        const __m128i* at = reinterpret_cast<const __m128i*>(items);
        // Each entry's two 32-bit lanes (four 16-bit ones) pack to one 32-bit lane, which is
        // zero exactly when the entry overlaps; those pack down to one byte per entry.
        const __m128i zero = _mm_setzero_si128();
        const __m128i hits03 =
            _mm_cmpeq_epi32(_mm_packs_epi32(Fails(at), Fails(at + 1)), zero);
        const __m128i hits47 =
            _mm_cmpeq_epi32(_mm_packs_epi32(Fails(at + 2), Fails(at + 3)), zero);
        const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(hits03, hits47), zero);
        return unsigned(_mm_movemask_epi8(bytes));
    }

private:
    __m128i Fails(const __m128i* at) const
    {
        const __m128i e = _mm_loadu_si128(at);
        return _mm_or_si128(_mm_cmpgt_epi16(e, m_high), _mm_cmpgt_epi16(m_low, e));
    }

    __m128i m_high;
    __m128i m_low;
};
#else
class GOverlapProbe {
public:
    explicit GOverlapProbe(const GRect& r) : m_r(r) {}

    unsigned Block(const GRect* items) const
    {
        unsigned mask = 0;
        for (int k = 0; k < kBlock; ++k) {
            mask |= unsigned(Overlaps(items[k], m_r)) << k;
        }
        return mask;
    }

private:
    GRect m_r;
};
#endif

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

// Both scans read whole blocks, past the count where the storage allows (the entries there are
// stale but allocated) and drop the bits beyond the range; only a list too small for a block
// is tested entry by entry.
int GRectArray::FindOverlap(const GRect& r, int from, int end) const
{
    const GRect* items = m_items.get();
    if (m_capacity < kBlock) {
        for (int i = from; i < end; ++i) {
            if (Overlaps(items[i], r)) {
                return i;
            }
        }
        return end;
    }
    const GOverlapProbe probe(r);
    for (int i = from; i < end; i += kBlock) {
        const int start = std::min(i, m_capacity - kBlock);
        unsigned hits = probe.Block(items + start) >> (i - start);
        if (end - i < kBlock) {
            hits &= (1u << (end - i)) - 1;
        }
        if (hits) {
            return i + std::countr_zero(hits);
        }
    }
    return end;
}

int GRectArray::FindOverlapBefore(const GRect& r, int end) const
{
    const GRect* items = m_items.get();
    if (m_capacity < kBlock) {
        for (int i = end - 1; i >= 0; --i) {
            if (Overlaps(items[i], r)) {
                return i;
            }
        }
        return -1;
    }
    const GOverlapProbe probe(r);
    for (int i = end; i > 0; i -= kBlock) {
        const int start = std::max(i - kBlock, 0);
        const unsigned hits = probe.Block(items + start) & ((1u << (i - start)) - 1);
        if (hits) {
            return start + (std::bit_width(hits) - 1);
        }
    }
    return -1;
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
        clean = FindOverlapBefore(r, m_count) + 1;
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
