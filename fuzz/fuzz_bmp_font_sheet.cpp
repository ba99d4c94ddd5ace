// The glyph cutter on random sheets: the first bytes choose the format, size and marker row
// (and whether the sheet claims to be wider than its blocks), the rest fill its blocks. Every
// glyph cut must fit the sheet and hold readable blocks; a text laid out in the font must only
// use clips it has.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5 || size > 1 << 16)
        return 0;
    static const uint8_t kFormats[] = {0, 1, 2, 3, 5, 12, 13, 14, 16, 18, 20, 21};
    const uint8_t format = kFormats[data[0] % sizeof kFormats];
    const int16_t width = int16_t(1 + data[1] % 64);
    const int16_t height = int16_t(data[2] % 12);
    const bool markerRowZero = data[3] & 1;
    const bool lies = data[3] & 2;
    const uint8_t* fill = data + 4;
    const size_t fillSize = size - 4;

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

    static GGraphicsResources& store = [] () -> GGraphicsResources& {
        auto* made = new GGraphicsResources;
        GMemorySetSource files;
        files.Add("bmst.bin", {0, 0, 0, 0});
        if (made->TryInit(files, nullptr, 24, 0).Failed())
            __builtin_trap();
        return *made;
    }();
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

    auto text = GBmpText::Create(font.get(), 6);
    text->SetText(u"!\"#$%&'()*+\\n,-./");
    for (int16_t i = 0; i < text->GetClipCount(); ++i)
        if (text->GetClip(i).IsVisible() && !store.FindSlot(text->GetClip(i).GetSlot()))
            __builtin_trap();
    fuzz::Keep(sum);
    return 0;
}
