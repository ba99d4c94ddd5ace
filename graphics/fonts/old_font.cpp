#include "graphics/fonts/old_font.h"

#include <algorithm>
#include <iterator>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/kernel_area.h"

namespace {

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The three pixel rules; d points at B, G, R of a pixel, m is the glyph's mask byte (< 255).
struct InkRule {
    uint8_t c[3];
    void Apply(uint8_t* d, uint8_t* mask, uint8_t m) const
    {
        d[0] = c[0];
        d[1] = c[1];
        d[2] = c[2];
        if (mask)
            *mask = m;
    }
};

struct BlendRule {
    uint8_t c[3];
    void Apply(uint8_t* d, uint8_t*, uint8_t m) const
    {
        for (int i = 0; i < 3; ++i)
            d[i] = static_cast<uint8_t>((((d[i] - c[i]) * m) >> 8) + c[i]);
    }
};

struct AlphaRule {
    uint8_t c[3];
    int alpha;
    void Apply(uint8_t* d, uint8_t*, uint8_t m) const
    {
        const int w = (255 - m) * alpha;
        for (int i = 0; i < 3; ++i)
            d[i] = static_cast<uint8_t>((((c[i] - d[i]) * w) >> 16) + d[i]);
    }
};

void SplitColour(uint32_t colour, uint8_t out[3])
{
    out[0] = static_cast<uint8_t>(colour);
    out[1] = static_cast<uint8_t>(colour >> 8);
    out[2] = static_cast<uint8_t>(colour >> 16);
}

} // namespace

bool GOldFont::InitFromResource(const GBitmap* sheet, uint16_t spaceWidth, uint8_t last,
                                uint8_t first)
{
    m_sheet = sheet;
    m_last = last;
    m_first = first;
    m_spaceWidth = spaceWidth;
    m_name.Clear();
    m_count = 0;
    m_height = m_firstHeight = m_secondHeight = 0;
    std::fill(std::begin(m_glyphs), std::end(m_glyphs), Glyph{});

    const int width = sheet ? sheet->GetWidth() : 0;
    const int height = sheet ? sheet->GetHeight() : 0;
    const GPixelBlock* alpha = sheet ? sheet->GetAlphaBlock() : nullptr;
    if (!alpha || !alpha->GetData() || width < 4 || height < 1 || last < first ||
        alpha->GetSize() < static_cast<uint32_t>(width) * height) {
        m_sheet = nullptr;
        return false;
    }
    const uint8_t* row = alpha->GetData();
    m_firstHeight = ReadU16(row);
    m_secondHeight = ReadU16(row + 2);
    // The mask rows are 1 to height; a header asking for more than the sheet has is cut.
    m_height = static_cast<uint16_t>(std::min(m_firstHeight + m_secondHeight, height - 1));

    const int wanted = std::min(last - first + 1, kMaxGlyphs);
    const int fitting = (width - 4) / 8;
    m_count = static_cast<uint16_t>(std::min(wanted, fitting));
    for (int i = 0; i < m_count; ++i) {
        const uint8_t* r = row + 4 + i * 8;
        Glyph& g = m_glyphs[i];
        g = {ReadU16(r), ReadU16(r + 2), ReadU16(r + 4), ReadU16(r + 6)};
        // Mask columns outside the sheet are never read: sourceX 0 has none, a wide glyph is
        // cut at the sheet's right edge (its advance keeps the stated width).
        if (g.sourceX == 0)
            g.width = 0;
        else if (g.sourceX - 1 + g.width > width)
            g.width = static_cast<uint16_t>(std::max(0, width - (g.sourceX - 1)));
    }
    return true;
}

void GOldFont::SetSpacing(uint16_t left, uint16_t right)
{
    for (Glyph& g : m_glyphs) {
        g.left = left;
        g.right = right;
    }
}

const GOldFont::Glyph* GOldFont::GetGlyph(uint8_t code) const
{
    if (code < m_first || code - m_first >= m_count)
        return nullptr;
    return &m_glyphs[code - m_first];
}

int GOldFont::Advance(uint8_t c) const
{
    if (c == ' ')
        return m_spaceWidth;
    const Glyph* g = GetGlyph(c);
    return g ? g->left + g->width + g->right : 0;
}

uint16_t GOldFont::GetTextWidth(const char* text) const
{
    return GetTextWidthN(text, -1);
}

uint16_t GOldFont::GetTextWidthN(const char* text, int n) const
{
    uint32_t width = 0;
    for (int i = 0; text && text[i] && (n < 0 || i < n); ++i)
        width += Advance(static_cast<uint8_t>(text[i]));
    return static_cast<uint16_t>(width);
}

int GOldFont::CenterX(const char* text, int left, int right) const
{
    return (right - left - GetTextWidth(text)) / 2 + left;
}

int GOldFont::CenterY(int top, int bottom) const
{
    return (bottom - top - m_height) / 2 + top;
}

template <typename Rule>
void GOldFont::Draw(GBitmap* dst, int x, int y, const char* text, const Rule& rule,
                    const GRect* clip) const
{
    if (!dst || !text || !m_sheet || dst->GetBytesPerPixel() != 3)
        return;
    int32_t dw = 0, dh = 0;
    ptrdiff_t pitch = 0;
    // The same surface check as the fills: a surface that keeps its own memory (the back
    // buffer) has no block to measure.
    uint8_t* pixels = kernel_detail::SurfacePixels(dst, dw, dh, pitch);
    if (!pixels)
        return;
    const GPixelBlock* dstMaskBlock = dst->GetAlphaBlock();
    uint8_t* dstMask = dstMaskBlock && dstMaskBlock->GetSize() >= uint32_t(dw) * dh
                           ? dstMaskBlock->GetData()
                           : nullptr;

    int left = 0, top = 0, right = dw, bottom = dh;
    const bool startInside = x >= 0 && x < dw && y >= 0 && y < dh && y + m_height <= dh;
    if (startInside && clip) {
        // Never beyond the destination, whatever the caller's rectangle says.
        left = std::max<int>(clip->left, 0);
        top = std::max<int>(clip->top, 0);
        right = std::min<int>(clip->right, dw);
        bottom = std::min<int>(clip->bottom, dh);
    }
    if (y > bottom || y + m_height < top)
        return;
    const int rowFrom = std::max(y, top);
    const int rowTo = std::min(y + m_height, bottom);
    if (rowFrom >= rowTo || left >= right)
        return;

    const int sheetWidth = m_sheet->GetWidth();
    const uint8_t* masks = m_sheet->GetAlpha();
    int pen = x;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<uint8_t>(*p);
        if (c == ' ') {
            pen += m_spaceWidth;
            continue;
        }
        const Glyph* g = GetGlyph(c);
        if (!g)
            continue;
        const int glyphLeft = pen + g->left;
        pen += g->left + g->width + g->right;
        if (glyphLeft >= right)
            break;
        const int colFrom = std::max(glyphLeft, left);
        const int colTo = std::min(glyphLeft + g->width, right);
        for (int row = rowFrom; row < rowTo; ++row) {
            const uint8_t* m = masks + (1 + row - y) * sheetWidth + (g->sourceX - 1) +
                               (colFrom - glyphLeft);
            uint8_t* d = pixels + row * pitch + colFrom * 3;
            uint8_t* dm = dstMask ? dstMask + row * dw + colFrom : nullptr;
            for (int col = colFrom; col < colTo; ++col, ++m, d += 3) {
                if (*m != 255)
                    rule.Apply(d, dm, *m);
                if (dm)
                    ++dm;
            }
        }
    }
}

void GOldFont::DrawText(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                        const GRect* clip) const
{
    InkRule rule;
    SplitColour(colour, rule.c);
    Draw(dst, x, y, text, rule, clip);
}

void GOldFont::DrawTextBlend(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                             const GRect* clip) const
{
    BlendRule rule;
    SplitColour(colour, rule.c);
    Draw(dst, x, y, text, rule, clip);
}

void GOldFont::DrawTextAlpha(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                             uint8_t alpha, const GRect* clip) const
{
    if (alpha == 0)
        return;
    AlphaRule rule{{}, alpha};
    SplitColour(colour, rule.c);
    Draw(dst, x, y, text, rule, clip);
}
