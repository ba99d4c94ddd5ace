#include "graphics/blit/blit_runs.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/blit/kernel_area.h"
#include "graphics/blit/kernel_rules.h"

namespace {

GRunSource SourceOfFormat(uint8_t format)
{
    switch (format) {
    case dmColorKey:
    case dmColorKeyFaded:
        return GRunSource::Key;
    case dmIndexedColorKey:
    case dmIndexedColorKeyFaded:
        return GRunSource::IndexedKey;
    case dmAlphaMask:
    case dmAlphaMaskFaded:
    case dmLightenMask:
    case dmDarkenMask:
    case dmIndexedMask:
    case dmIndexedMaskFaded:
        return GRunSource::Mask;
    default:
        return GRunSource::None;
    }
}

} // namespace

// In mask tables, Skip and Opaque runs shorter than this join the Blend runs around them: a
// pixel or two of either costs less drawn by the blend than walked as a run of its own.
constexpr int32_t kMinSolidMask = 8;
// Images whose runs are shorter than this on average get no table.
constexpr size_t kMinAverageRun = 4;
// Blend runs shorter than this are drawn pixel by pixel (the SIMD rows need 16 pixels). A
// masked image with more than 1 in kShortBlendShare of its drawn pixels in such runs gets no
// table: a soft-edged sprite draws faster by the SIMD rows over its whole rows.
constexpr int32_t kShortBlend = 16;
constexpr size_t kShortBlendShare = 4;

namespace {

struct Run {
    GRunKind kind;
    int32_t length;
};

void Append(std::vector<Run>& runs, GRunKind kind, int32_t length)
{
    if (!runs.empty() && runs.back().kind == kind)
        runs.back().length += length;
    else if (length > 0)
        runs.push_back(Run{kind, length});
}

// Short solid runs become Blend, which draws any pixel right (by the rule's per-pixel test).
std::vector<Run> Settle(const std::vector<Run>& raw, int32_t minSolid)
{
    std::vector<Run> merged;
    for (const Run& run : raw)
        Append(merged, run.kind != GRunKind::Blend && run.length < minSolid ? GRunKind::Blend : run.kind,
               run.length);
    return merged;
}

// The row's shape when it is Skip, Blend, Opaque, Blend, Skip (each optional) with short rims.
GRowSpan SpanOf(const std::vector<Run>& runs)
{
    GRowSpan span;
    size_t i = 0;
    int32_t x = 0, left = 0, opaque = 0, right = 0;
    auto take = [&](GRunKind kind, int32_t& length) {
        if (i < runs.size() && runs[i].kind == kind)
            length = runs[i++].length;
    };
    take(GRunKind::Skip, x);
    take(GRunKind::Blend, left);
    take(GRunKind::Opaque, opaque);
    take(GRunKind::Blend, right);
    int32_t after = 0;
    take(GRunKind::Skip, after);
    const int32_t rim = std::max(left, right), n = left + opaque + right;
    if (i != runs.size() || rim > GRowSpan::kWideRim ||
        (rim > GRowSpan::kNarrowRim && n < GRowSpan::kWideRimSpan) ||
        (rim > 0 && n < GRowSpan::kNarrowRimSpan))
        return span;
    span.x = uint16_t(x);
    span.opaque = uint16_t(opaque);
    span.left = uint8_t(left);
    span.right = uint8_t(right);
    span.general = false;
    return span;
}

} // namespace

template <class KindOf>
void GBlitRuns::AddRows(int32_t w, int32_t h, KindOf kindOf)
{
    m_rowStart.reserve(size_t(h) + 1);
    m_spans.reserve(size_t(h));
    std::vector<Run> raw;
    for (int32_t y = 0; y < h; ++y) {
        m_rowStart.push_back(uint32_t(m_runs.size()));
        raw.clear();
        for (int32_t x = 0; x < w; ++x)
            Append(raw, kindOf(x, y), 1);
        const bool mask = m_source == GRunSource::Mask;
        // Every key rule skips Skip runs: a row's last one is left out.
        if (!mask && !raw.empty() && raw.back().kind == GRunKind::Skip)
            raw.pop_back();
        const std::vector<Run> settled = Settle(raw, mask ? kMinSolidMask : 1);
        for (const Run& run : settled)
            m_runs.push_back(uint32_t(run.length) << 2 | uint32_t(run.kind));
        m_spans.push_back(SpanOf(settled));
    }
    m_rowStart.push_back(uint32_t(m_runs.size()));
}

std::unique_ptr<GBlitRuns> GBlitRuns::Build(const GBitmap& image)
{
    using kernel_detail::BlockHolds;
    const GRunSource source = SourceOfFormat(image.GetFormat());
    const int32_t w = image.GetWidth();
    const int32_t h = image.GetHeight();
    if (source == GRunSource::None || w <= 0 || h <= 0)
        return nullptr;
    std::unique_ptr<GBlitRuns> runs(new (std::nothrow) GBlitRuns);
    if (!runs)
        return nullptr;
    runs->m_source = source;
    runs->m_width = w;
    runs->m_height = h;
    runs->m_key = image.GetKeyColour();
    const uint8_t* pixels = image.GetPixels();
    const uint8_t* mask = image.GetAlpha();
    const size_t area = size_t(w) * size_t(h);

    switch (source) {
    case GRunSource::Key: {
        const int32_t pitch = image.GetPitch();
        if (!pixels || pitch < w * 3 ||
            !BlockHolds(image.GetPixelBlock(), pixels, size_t(pitch) * (h - 1) + size_t(w) * 3))
            return nullptr;
        const uint32_t key = runs->m_key;
        runs->AddRows(w, h, [&](int32_t x, int32_t y) {
            const bool keyed = kernel_detail::Rgb24(pixels + ptrdiff_t(y) * pitch + x * 3) == key;
            return keyed ? GRunKind::Skip : GRunKind::Opaque;
        });
        break;
    }
    case GRunSource::IndexedKey: {
        // The same test as the indexed key rule: the entry's 24-bit colour against the key.
        if (!pixels || !BlockHolds(image.GetPixelBlock(), pixels, 2 + 256 * 3))
            return nullptr;
        uint16_t offset = 0;
        std::memcpy(&offset, pixels, sizeof offset);
        const uint8_t* indices = pixels + offset;
        if (!BlockHolds(image.GetPixelBlock(), indices, area))
            return nullptr;
        bool keyed[256];
        for (int e = 0; e < 256; ++e)
            keyed[e] = kernel_detail::Rgb24(pixels + 2 + e * 3) == runs->m_key;
        runs->AddRows(w, h, [&](int32_t x, int32_t y) {
            return keyed[indices[size_t(y) * w + x]] ? GRunKind::Skip : GRunKind::Opaque;
        });
        break;
    }
    default: {
        if (!mask || !BlockHolds(image.GetAlphaBlock(), mask, area))
            return nullptr;
        runs->AddRows(w, h, [&](int32_t x, int32_t y) {
            const uint8_t m = mask[size_t(y) * w + x];
            return m == 255 ? GRunKind::Skip : m == 0 ? GRunKind::Opaque : GRunKind::Blend;
        });
        break;
    }
    }
    // A fragmented image (runs of a few pixels on average) draws faster pixel by pixel, and
    // its table would take up to four bytes a pixel.
    if (runs->m_runs.size() > area / kMinAverageRun)
        return nullptr;
    if (source == GRunSource::Mask) {
        size_t drawn = 0, shortBlend = 0;
        for (const uint32_t run : runs->m_runs) {
            const size_t n = size_t(Length(run));
            drawn += Kind(run) == GRunKind::Skip ? 0 : n;
            shortBlend += Kind(run) == GRunKind::Blend && n < size_t(kShortBlend) ? n : 0;
        }
        if (shortBlend * kShortBlendShare > drawn)
            return nullptr;
    }
    runs->m_pixels = pixels;
    runs->m_mask = mask;
    runs->m_runs.shrink_to_fit();
    // Only the plain key rule copies pixels as they are; images of the faded format are drawn
    // by blending, which reads the image and the frame alike.
    if (image.GetFormat() == dmColorKey)
        runs->Pack(pixels, image.GetPitch());
    return runs;
}

void GBlitRuns::Pack(const uint8_t* pixels, int32_t pitch)
{
    size_t bytes = 0;
    for (const uint32_t run : m_runs)
        bytes += Kind(run) == GRunKind::Opaque ? size_t(Length(run)) * 3 : 0;
    m_packed.resize(bytes);
    m_packedStart.reserve(size_t(m_height) + 1);
    uint8_t* to = m_packed.data();
    for (int32_t y = 0; y < m_height; ++y) {
        m_packedStart.push_back(uint32_t(to - m_packed.data()));
        const uint8_t* from = pixels + ptrdiff_t(y) * pitch;
        for (const uint32_t* r = RowBegin(y); r != RowEnd(y); ++r) {
            const size_t n = size_t(Length(*r)) * 3;
            if (Kind(*r) == GRunKind::Opaque) {
                std::memcpy(to, from, n);
                to += n;
            }
            from += n;
        }
    }
    m_packedStart.push_back(uint32_t(bytes));
}

const GBlitRuns* GBlitRuns::Of(const GBitmap& image, GRunSource source, const uint8_t* pixels,
                               const uint8_t* mask)
{
    // Only this class derives from GBitmapRuns; the source check below rejects a table that is
    // not of the kind the caller reads.
    const auto* runs = static_cast<const GBlitRuns*>(image.GetRuns());
    if (!runs || source == GRunSource::None || runs->m_source != source ||
        runs->m_width != image.GetWidth() || runs->m_height != image.GetHeight() ||
        (source == GRunSource::Mask ? runs->m_mask != mask : runs->m_pixels != pixels))
        return nullptr;
    if (source != GRunSource::Mask && runs->m_key != image.GetKeyColour())
        return nullptr;
    return runs;
}

void PrepareBlitRuns(GBitmap& image)
{
    image.SetRuns(GBlitRuns::Build(image));
}
