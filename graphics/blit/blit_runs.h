#pragma once
// GBlitRuns: for a keyed or masked image, each row as runs of pixels the kernels treat alike,
// so they skip transparent stretches whole, copy opaque ones as blocks and apply the per-pixel
// rule only where pixels blend. Built once per image (PrepareBlitRuns, called by the bitmap
// store as it makes its images) and hung on it; read by any thread that draws.
//
// Keyed formats (1, 8, 18, 19) get runs of keyed (Skip) and drawn (Opaque) pixels, by the same
// test the key rules make: the pixel's or palette entry's 24-bit colour against the key colour.
// Masked formats (2, 3, 13, 14, 20, 21) get runs of mask bytes 255 (Skip), 0 (Opaque) and the
// rest (Blend), unless short blends make up much of what they draw (soft edges all round);
// each mask rule reads the kinds its own way (lighten skips mask 0), and the mask-alpha rule,
// which gains nothing from them, none.
//
// A table of format 1 also holds a copy of the pixels it draws (three bytes per drawn pixel),
// read in place of the image by the whole-row draw.
//
// A table describes the pixels as they were when it was built: it records the image's size, key
// colour and the block it was read from (the pixels of a key table, the mask of a mask table),
// and the kernels ignore it once any of those differ. Writing new pixels
// into the same blocks is not seen: images drawn into afterwards must not be prepared.

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/image/bitmap.h"

enum class GRunKind : uint8_t { Skip, Opaque, Blend };

// A row of the common convex shape, in one piece: Skip, a Blend rim, Opaque, a Blend rim, Skip
// (any part may be empty). Rims of up to kNarrowRim pixels need a span of kNarrowRimSpan, so
// that one 16-byte window at each end holds them; rims of up to kWideRim, a span of
// kWideRimSpan, for a 30-byte window at each end. Other rows are marked `general` and drawn
// from their runs.
struct GRowSpan {
    static constexpr int32_t kNarrowRim = 5;
    static constexpr int32_t kNarrowRimSpan = 12;
    static constexpr int32_t kWideRim = 10;
    static constexpr int32_t kWideRimSpan = 20;
    uint16_t x = 0;      // first pixel drawn
    uint16_t opaque = 0; // pixels copied after the left rim
    uint8_t left = 0;    // Blend pixels from x
    uint8_t right = 0;   // Blend pixels after the opaque ones
    bool general = true;
};
// What a table was built from, which is what a rule must read to use it.
enum class GRunSource : uint8_t { None, Key, IndexedKey, Mask };

class GBlitRuns final : public GBitmapRuns {
public:
    // The table the image's format calls for; null for other formats, images without the
    // blocks their format needs, blocks too small for their rows, runs of fewer than 4 pixels
    // on average, or masks with more than a quarter of their drawn pixels in short blends.
    static std::unique_ptr<GBlitRuns> Build(const GBitmap& image);

    // The image's table when it was built from `source` and still matches the image; else null.
    // pixels and mask are the image's GetPixels() and GetAlpha() as the caller read them
    // (a kernel reads them once per call); each table is checked against what it was built
    // from, mask tables against the mask, key tables against the pixels.
    static const GBlitRuns* Of(const GBitmap& image, GRunSource source, const uint8_t* pixels,
                               const uint8_t* mask);

    // A run: kind in the low 2 bits, length in pixels above them.
    static GRunKind Kind(uint32_t run) { return GRunKind(run & 3); }
    static int32_t Length(uint32_t run) { return int32_t(run >> 2); }
    // The runs of row y (0 = top), left to right, covering the row's width exactly; in key
    // tables without the row's last Skip run.
    const uint32_t* RowBegin(int32_t y) const { return m_runs.data() + m_rowStart[size_t(y)]; }
    const uint32_t* RowEnd(int32_t y) const { return m_runs.data() + m_rowStart[size_t(y) + 1]; }
    // Where each row's runs start in the run array (RowBegin(0)); height + 1 entries.
    const uint32_t* RowStarts() const { return m_rowStart.data(); }
    // Every row's shape (height entries).
    const GRowSpan* RowSpans() const { return m_spans.data(); }
    // Tables of format 1: the Opaque runs' pixels, row after row, with nothing between them, so
    // that a whole-row draw reads one unbroken stream instead of the image's rows with their keyed
    // stretches; PackedStarts()[y] is where row y's bytes begin (height + 1 entries). Null for
    // other tables.
    const uint8_t* Packed() const { return m_packed.empty() ? nullptr : m_packed.data(); }
    const uint32_t* PackedStarts() const { return m_packedStart.data(); }

private:
    GBlitRuns() = default;
    template <class KindOf>
    void AddRows(int32_t w, int32_t h, KindOf kindOf);
    void Pack(const uint8_t* pixels, int32_t pitch);

    GRunSource m_source = GRunSource::None;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_key = 0;
    const uint8_t* m_pixels = nullptr;
    const uint8_t* m_mask = nullptr;
    std::vector<uint32_t> m_rowStart; // height + 1 indices into m_runs
    std::vector<uint32_t> m_runs;
    std::vector<GRowSpan> m_spans;
    std::vector<uint8_t> m_packed;
    std::vector<uint32_t> m_packedStart;
};

// Builds and attaches the image's table when its format has one.
void PrepareBlitRuns(GBitmap& image);
