#include "graphics/fonts/bmp_font.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <limits>

#include "foundation/cfg/cfg_node.h"
#include "foundation/core/int_array.h"
#include "foundation/docs/data_doc.h"
#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"

namespace {

std::u16string_view ViewOf(const GWString& text)
{
    return {text.GetWide(), text.GetLength()};
}

// Where a sheet's bytes are, once its blocks have been checked against its size.
struct SheetLayout {
    const uint8_t* pixels = nullptr; // first pixel (after a palettised block's header)
    int32_t pitch = 0;               // bytes per pixel row
    int32_t bytesPerPixel = 0;
    const uint8_t* alpha = nullptr;   // rows of width bytes; null when the format has none
    const uint8_t* palette = nullptr; // 768 bytes of a palettised sheet
    const uint8_t* marker = nullptr;  // row 0 of the plane the marker row is read from
    int32_t markerPitch = 0;
    int32_t markerBytes = 0;
};

// The formats whose sheets carry a mask: the two alpha masks with the nameless 4 and 5 that
// follow them, the palette mask, the mask-only format and the two indexed masks.
bool FormatCopiesAlpha(uint16_t format)
{
    return (format >= dmAlphaMask && format < dmImageFormat) || format == dmPaletteMask ||
           format == dmDarkenMask || format == dmIndexedMask || format == dmIndexedMaskFaded;
}

bool BlockHolds(const GPixelBlock* block, uint64_t bytes)
{
    return block && block->GetData() && block->GetSize() >= bytes;
}

bool ReadLayout(const GBitmap& sheet, SheetLayout& out)
{
    const uint16_t format = sheet.GetFormat();
    const uint64_t w = static_cast<uint64_t>(sheet.GetWidth());
    const uint64_t h = static_cast<uint64_t>(sheet.GetHeight());
    const GPixelBlock* pixels = sheet.GetPixelBlock();
    if (FormatCopiesAlpha(format)) {
        if (!BlockHolds(sheet.GetAlphaBlock(), w * h))
            return false;
        out.alpha = sheet.GetAlphaBlock()->GetData();
    }
    if (format == dmDarkenMask)
        return false; // no pixels to read a marker row from
    if (format == dmPaletteMask) {
        // Index bytes from the block's start, rows of the width; the marker is in the mask.
        if (!BlockHolds(pixels, w * h))
            return false;
        out.pixels = pixels->GetData();
        out.pitch = static_cast<int32_t>(w);
        out.bytesPerPixel = 1;
        out.marker = out.alpha;
        out.markerPitch = out.pitch;
        out.markerBytes = 1;
        return true;
    }
    if (GBitmap::IsPalettisedFormat(static_cast<uint8_t>(format))) {
        if (!BlockHolds(pixels, 2))
            return false;
        uint16_t offset = 0;
        std::memcpy(&offset, pixels->GetData(), sizeof offset);
        if (offset < kPalettisedPixelOffset || !BlockHolds(pixels, offset + w * h))
            return false;
        out.palette = pixels->GetData() + 2;
        out.pixels = pixels->GetData() + offset;
        out.pitch = static_cast<int32_t>(w);
        out.bytesPerPixel = 1;
    } else {
        if (!BlockHolds(pixels, w * h * 3))
            return false;
        out.pixels = pixels->GetData();
        out.pitch = static_cast<int32_t>(w * 3);
        out.bytesPerPixel = 3;
    }
    out.marker = out.pixels;
    out.markerPitch = out.pitch;
    out.markerBytes = out.bytesPerPixel;
    return true;
}

void CopyRows(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch,
              int32_t rowBytes, int32_t rows)
{
    for (int32_t r = 0; r < rows; ++r)
        std::memcpy(dst + static_cast<size_t>(r) * dstPitch, src + static_cast<size_t>(r) * srcPitch,
                    static_cast<size_t>(rowBytes));
}

} // namespace

// ---- GBmpFontSymbols ------------------------------------------------------------------

void GBmpFontSymbols::SetDefault()
{
    m_base = 0;
    m_codes.resize(95);
    for (uint16_t i = 0; i < 95; ++i)
        m_codes[i] = static_cast<uint16_t>(33 + i);
}

void GBmpFontSymbols::Build(const std::vector<int32_t>& indexes, std::u16string_view symbols,
                            std::u16string_view baseSymbol)
{
    const size_t given = std::min(indexes.size(), symbols.size());
    int32_t largest = -1;
    for (size_t i = 0; i < given; ++i)
        if (indexes[i] >= 0 && indexes[i] < kMaxSymbols)
            largest = std::max(largest, indexes[i]);
    if (largest < 0) {
        SetDefault();
        return;
    }
    m_codes.assign(static_cast<size_t>(largest) + 1, 0);
    for (size_t i = 0; i < given; ++i)
        if (indexes[i] >= 0 && indexes[i] < kMaxSymbols)
            m_codes[static_cast<size_t>(indexes[i])] = symbols[i];
    m_base = 0;
    if (!baseSymbol.empty())
        m_base = FindCode(baseSymbol[0]);
}

int16_t GBmpFontSymbols::FindCode(uint16_t code) const
{
    const auto it = std::find(m_codes.begin(), m_codes.end(), code);
    return it == m_codes.end() ? m_base : static_cast<int16_t>(it - m_codes.begin());
}

uint16_t GBmpFontSymbols::GetIndex(int32_t position) const
{
    return position >= 0 && position < static_cast<int32_t>(m_codes.size())
               ? m_codes[static_cast<size_t>(position)]
               : 0;
}

// ---- GBmpFont -------------------------------------------------------------------------

namespace {

// Glyph numbers 0 to n - 1 when a description gives none.
void BuildWithFallback(std::vector<int32_t> indexes, const GWString& symbols,
                       const GWString& base, GBmpFontSymbols& out)
{
    if (indexes.empty())
        for (uint32_t i = 0; i < symbols.GetLength(); ++i)
            indexes.push_back(static_cast<int32_t>(i));
    out.Build(indexes, ViewOf(symbols), ViewOf(base));
}

} // namespace

void GBmpFont::LoadDescription(const GCfgNode& node, GBmpFontSymbols& symbols)
{
    GIntArray list;
    std::vector<int32_t> indexes;
    if (node.HasValue("Indexes")) {
        node.GetIList("Indexes", list);
        for (uint32_t i = 0; i < list.GetCount(); ++i)
            indexes.push_back(static_cast<int32_t>(std::clamp<intptr_t>(
                list[i], std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
    }
    const GWString text(node.HasValue("Symbols") ? node.Get("Symbols", "") : "");
    const GWString base(node.HasValue("BaseSymbol") ? node.Get("BaseSymbol", "") : "");
    BuildWithFallback(std::move(indexes), text, base, symbols);
}

void GBmpFont::LoadDescription(const GDataDoc& doc, GBmpFontSymbols& symbols)
{
    const GWString text = doc.GetAttributeString("Symbols", "");
    const GWString base = doc.GetAttributeString("BaseSymbol", "");
    const GWString indexes = doc.GetAttributeString("Indexes", "");
    BuildWithFallback(ParseIndexes(ViewOf(indexes)), text, base, symbols);
}

std::vector<int32_t> GBmpFont::ParseIndexes(std::u16string_view text)
{
    std::vector<int32_t> out;
    size_t i = 0;
    auto separator = [](char16_t c) { return c == u' ' || c == u',' || c == u'\t' || c == u'\n'; };
    while (i < text.size()) {
        while (i < text.size() && separator(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !separator(text[i]))
            ++i;
        if (i == start)
            break;
        // A token reads as the engine's integers do: sign, digits, and whatever follows ignored.
        size_t j = start;
        bool negative = false;
        if (text[j] == u'-' || text[j] == u'+')
            negative = text[j++] == u'-';
        int64_t value = 0;
        bool digits = false;
        for (; j < i && text[j] >= u'0' && text[j] <= u'9'; ++j) {
            digits = true;
            value = std::min<int64_t>(value * 10 + (text[j] - u'0'), int64_t{1} << 31);
        }
        if (!digits)
            continue;
        value = negative ? -value : value;
        out.push_back(static_cast<int32_t>(std::clamp<int64_t>(
            value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
    }
    return out;
}

std::unique_ptr<GBmpFont> GBmpFont::Create(const GBitmap* sheet, GGraphicsResources* store,
                                           std::unique_ptr<GBmpFontSymbols> symbols,
                                           bool markerRowZero)
{
    if (!sheet || !store || !store->GetPool())
        return nullptr;
    std::unique_ptr<GBmpFont> font(new (std::nothrow) GBmpFont);
    if (!font)
        return nullptr;
    font->m_store = store;
    font->m_symbols = symbols ? std::move(symbols) : std::make_unique<GBmpFontSymbols>();
    font->m_format = sheet->GetFormat();
    if (!font->CutGlyphs(*sheet, markerRowZero ? 0 : 1))
        return nullptr;
    return font;
}

bool GBmpFont::CutGlyphs(const GBitmap& sheet, int markerRow)
{
    SheetLayout layout;
    const int32_t width = sheet.GetWidth();
    const int32_t height = sheet.GetHeight();
    if (height < 2 || width < 1 || !ReadLayout(sheet, layout))
        return false;
    const int32_t rows = height - 1;
    const bool palettised = layout.palette != nullptr;
    GBitmapPool* pool = m_store->GetPool();

    int32_t last = -1;
    const uint8_t* marker = layout.marker + static_cast<size_t>(markerRow) * layout.markerPitch;
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* px = marker + static_cast<size_t>(x) * layout.markerBytes;
        uint32_t value = 0;
        for (int32_t b = 0; b < layout.markerBytes; ++b)
            value |= static_cast<uint32_t>(px[b]) << (8 * b);
        if (value != 0)
            continue;
        const int32_t w = x - last - 1;
        if (w <= 0)
            continue;

        std::unique_ptr<GPixelBlock> ownAlpha;
        if (m_format == dmPaletteMask) {
            ownAlpha = GPixelBlock::Create(static_cast<uint32_t>(height) * w + 1, nullptr);
            if (!ownAlpha)
                return true;
        }
        const int16_t slot = pool->CreateBitmap(static_cast<uint16_t>(w), static_cast<uint16_t>(rows),
                                                sheet.GetKeyColour(), static_cast<uint8_t>(m_format),
                                                nullptr, ownAlpha.get(), -1);
        if (slot < 0)
            return true; // the pool is full: the glyphs cut so far make the font (a refused
                         // block was never referenced and goes with ownAlpha)
        ownAlpha.release(); // the glyph's reference owns it now
        GBitmap* glyph = pool->GetBitmap(slot);
        const int32_t from = last + 1;
        if (m_format < 16 && m_format != 14) {
            CopyRows(glyph->GetPixels(), w * layout.bytesPerPixel,
                     layout.pixels + layout.pitch + static_cast<size_t>(from) * layout.bytesPerPixel,
                     layout.pitch, w * layout.bytesPerPixel, rows);
        } else if (palettised) {
            uint8_t* block = glyph->GetPixels();
            std::memcpy(block + 2, layout.palette, kPalettisedPixelOffset - 2);
            CopyRows(block + kPalettisedPixelOffset, w, layout.pixels + layout.pitch + from,
                     layout.pitch, w, rows);
        }
        if (layout.alpha && glyph->GetAlpha())
            CopyRows(glyph->GetAlpha(), w, layout.alpha + width + from, width, w, rows);
        m_glyphs.push_back(slot);
        last = x;
    }
    return true;
}

GBmpFont::~GBmpFont()
{
    FreeGlyphs();
}

void GBmpFont::FreeGlyphs()
{
    GBitmapPool* pool = m_store ? m_store->GetPool() : nullptr;
    if (pool)
        for (int16_t slot : m_glyphs)
            pool->FreeBitmap(slot);
    m_glyphs.clear();
}

int32_t GBmpFont::GetGlyphSlot(uint16_t code) const
{
    const int16_t position = m_symbols->FindCode(code);
    if (position < 0 || position >= static_cast<int32_t>(m_glyphs.size()) || !m_store)
        return -1;
    return m_store->AbsoluteSlotOfPoolSlot(m_glyphs[static_cast<size_t>(position)]);
}

bool GBmpFont::GetSlotSize(int32_t slot, int16_t& width, int16_t& height) const
{
    const GBitmap* image = m_store ? m_store->FindSlot(slot) : nullptr;
    width = image ? image->GetWidth() : 0;
    height = image ? image->GetHeight() : 0;
    return image != nullptr;
}
