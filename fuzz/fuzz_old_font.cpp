// The raster font on random metrics rows: the input is the sheet's mask block (row 0 the
// header and records), its first bytes choose the sheet's width, the range, the text and where
// it is drawn. Measuring and every drawing variant must stay inside sheet and destination.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/core/rect.h"
#include "fuzz/fuzz_support.h"
#include "graphics/fonts/old_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 12 || size > 1 << 16)
        return 0;
    const int16_t width = int16_t(4 + (data[0] | (data[1] & 1) << 8));
    const int16_t height = int16_t(1 + data[2] % 24);
    const uint8_t first = data[3];
    const uint8_t last = data[4];
    const int x = int8_t(data[5]) * 2;
    const int y = int8_t(data[6]) / 4;
    const GRect clip{int16_t(int8_t(data[7])), int16_t(int8_t(data[8]) / 4), int16_t(data[9]),
                     int16_t(data[10] / 4)};
    const bool withClip = data[11] & 1;
    const uint8_t* body = data + 12;
    const size_t bodySize = size - 12;

    std::unique_ptr<GBitmap> sheet(GBitmap::Create(width, height, 0, 2));
    uint8_t* mask = sheet->GetAlpha();
    for (size_t i = 0; i < size_t(width) * height; ++i)
        mask[i] = bodySize ? body[i % bodySize] : 0;

    GOldFont font;
    font.InitFromResource(sheet.get(), uint16_t(data[5] % 9), last, first);
    const std::string text(reinterpret_cast<const char*>(body), bodySize < 40 ? bodySize : 40);
    fuzz::Keep(font.GetTextWidth(text.c_str()) + font.GetTextWidthN(text.c_str(), data[4] % 8));

    std::unique_ptr<GBitmap> dst(GBitmap::Create(48, 20, 0, 2));
    std::memset(dst->GetPixels(), 0x80, 48 * 20 * 3);
    std::memset(dst->GetAlpha(), 0x80, 48 * 20);
    const GRect* rect = withClip ? &clip : nullptr;
    font.DrawText(dst.get(), x, y, text.c_str(), 0x123456, rect);
    font.DrawTextBlend(dst.get(), x, y, text.c_str(), 0x654321, rect);
    font.DrawTextAlpha(dst.get(), x, y, text.c_str(), 0xABCDEF, data[6], rect);
    fuzz::Keep(fuzz::SumBytes(dst->GetPixels(), 48 * 20 * 3) + fuzz::SumBytes(dst->GetAlpha(), 48 * 20));
    return 0;
}
