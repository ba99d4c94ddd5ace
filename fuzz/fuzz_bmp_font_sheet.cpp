// The glyph cutter and text layout on random sheets. A fixed header chooses the format, size
// and marker row of the sheet (and whether it claims to be wider than its blocks), then the
// text's format (spacings, fixed sizes, space width, anchor, vertical), its clip count,
// position and alpha, and the length of the text that follows it as UTF-16 units; the bytes
// after the text fill the sheet's blocks. Every glyph cut must fit the sheet and hold readable
// blocks; a text laid out in the font only uses clips it has, and only shows glyphs of the font.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"

namespace {

constexpr size_t kHeader = 16;

GGraphicsResources& GlyphStore()
{
    static GGraphicsResources& store = []() -> GGraphicsResources& {
        auto* made = new GGraphicsResources;
        GMemorySetSource files;
        files.Add("bmst.bin", {0, 0, 0, 0});
        if (made->TryInit(files, nullptr, 24, 0).Failed())
            __builtin_trap();
        return *made;
    }();
    return store;
}

// Lays the text out in the font with the header's format and checks the clips it used.
void LayOut(GBmpFont& font, const uint8_t* header, const std::u16string& text)
{
    GGraphicsResources& store = GlyphStore();
    auto laid = GBmpText::Create(&font, int16_t(header[14] % 24));
    if (!laid)
        return;
    GBmpTextFormat format;
    format.lineSpacing = int8_t(header[4]);
    format.fixedWidth = int16_t(int8_t(header[5]));
    format.fixedHeight = int16_t(int8_t(header[6]));
    format.spaceWidth = header[7];
    format.spacing = int8_t(header[8]);
    format.anchor = GTextAnchor(header[9] % 6);
    format.vertical = header[10] & 1;
    format.fixedSize = header[10] & 2;
    laid->SetPosition(int32_t(int8_t(header[11])) << 8, int32_t(int8_t(header[12])) << 8);
    laid->SetFormat(format);
    if (header[10] & 4)
        laid->SetAlpha(header[13]);
    laid->SetColor(uint32_t(header[13]) * 0x10101u);
    laid->SetVisible(!(header[10] & 8));
    laid->SetText(GWString(text));
    if (laid->GetCharCount() > laid->GetClipCount() || laid->GetWidth() < 0 || laid->GetHeight() < 0)
        __builtin_trap();
    for (int16_t i = 0; i < laid->GetClipCount(); ++i) {
        GClip& clip = laid->GetClip(i);
        if (clip.IsVisible() && (i >= laid->GetCharCount() || !store.FindSlot(clip.GetSlot())))
            __builtin_trap();
    }
    // Measuring another text leaves the text as it was.
    const GWString before = laid->GetText();
    int16_t w = 0, h = 0;
    laid->Measure(GWString(u"Mg\\n!"), w, h);
    if (!(laid->GetText() == before))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size <= kHeader || size > 1 << 16)
        return 0;
    static const uint8_t kFormats[] = {0, 1, 2, 3, 5, 12, 13, 14, 16, 18, 20, 21};
    const uint8_t format = kFormats[data[0] % sizeof kFormats];
    const int16_t width = int16_t(1 + data[1] % 64);
    const int16_t height = int16_t(data[2] % 12);
    const bool markerRowZero = data[3] & 1;
    const bool lies = data[3] & 2;
    const size_t textUnits = std::min<size_t>(data[15] % 48, (size - kHeader) / 2);
    std::u16string text;
    for (size_t i = 0; i < textUnits; ++i)
        text.push_back(char16_t(data[kHeader + 2 * i] | data[kHeader + 2 * i + 1] << 8));
    const uint8_t* fill = data + kHeader + 2 * textUnits;
    const size_t fillSize = size - kHeader - 2 * textUnits;
    if (fillSize == 0)
        return 0;

    std::unique_ptr<GBitmap> sheet = GBitmap::CreateOnNewBlocks(
        width, height, 0, format, nullptr,
        format == 12 ? GPixelBlock::Create(uint32_t(width) * (height + 1) + 1, nullptr) : nullptr);
    for (GPixelBlock* block : {sheet->GetPixelBlock(), sheet->GetAlphaBlock()}) {
        if (!block)
            continue;
        for (uint32_t i = 0; i < block->GetSize(); ++i)
            block->GetData()[i] = fill[i % fillSize];
        if (block == sheet->GetPixelBlock() && GBitmap::IsPalettisedFormat(format))
            std::memcpy(block->GetData(), fill, fillSize < 2 ? 0 : 2); // any header offset
    }
    if (lies)
        sheet->SetWidth(int16_t(width * 3));

    GGraphicsResources& store = GlyphStore();
    auto font = GBmpFont::Create(sheet.get(), &store, nullptr, markerRowZero);
    if (!font)
        return 0;
    uint32_t sum = 0;
    int32_t columns = 0;
    for (int16_t slot : font->GetGlyphPoolSlots()) {
        const GBitmap* glyph = store.GetPool()->GetBitmap(slot);
        if (!glyph || glyph->GetHeight() != height - 1)
            __builtin_trap();
        columns += glyph->GetWidth();
        const size_t area = size_t(glyph->GetWidth()) * glyph->GetHeight();
        if (glyph->GetPixels())
            sum += fuzz::SumBytes(glyph->GetPixels(), area);
        if (glyph->GetAlpha())
            sum += fuzz::SumBytes(glyph->GetAlpha(), area);
    }
    if (columns > sheet->GetWidth())
        __builtin_trap();
    LayOut(*font, data, text);
    fuzz::Keep(sum);
    return 0;
}
