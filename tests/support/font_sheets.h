#pragma once
// Font sheets for the bitmap-font suites: glyphs of given widths side by side, each followed
// by a separator column, with patterned pixels and masks so that copies can be checked byte by
// byte; and a bitmap store of nothing but pool slots to cut them into. Header only.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/graphics_resources.h"

namespace tolvanrise::test {

// Pixel bytes and mask bytes of a sheet cell; never 0, so only separators are.
inline uint8_t SheetPixel(int x, int y, int channel) { return uint8_t(1 + x * 3 + y * 40 + channel); }
inline uint8_t SheetMask(int x, int y) { return uint8_t(1 + (x * 11 + y * 5) % 250); }

// separators: the columns whose marker pixel is 0. Formats 0..11 and 13 (24-bit with a mask
// when the format has one) and 12 (index bytes, the marker row in the mask).
inline std::unique_ptr<GBitmap> MakeSheet(uint8_t format, int width, int height,
                                          const std::vector<int>& separators, int markerRow = 1)
{
    std::unique_ptr<GPixelBlock> alpha;
    if (format == 12)
        alpha = GPixelBlock::Create(uint32_t(width) * (height + 1) + 1, nullptr);
    std::unique_ptr<GBitmap> sheet =
        GBitmap::CreateOnNewBlocks(int16_t(width), int16_t(height), 0x010203, format, nullptr, std::move(alpha));
    const int bpp = format == 12 ? 1 : 3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bpp; ++c)
                sheet->GetPixels()[y * width * bpp + x * bpp + c] = SheetPixel(x, y, c);
            if (sheet->GetAlpha())
                sheet->GetAlpha()[y * width + x] = SheetMask(x, y);
        }
    for (int x : separators) {
        if (format == 12)
            sheet->GetAlpha()[markerRow * width + x] = 0;
        else
            std::memset(sheet->GetPixels() + markerRow * width * 3 + x * 3, 0, 3);
    }
    return sheet;
}

// A sheet of glyphs of the given widths, each followed by its separator.
inline std::unique_ptr<GBitmap> MakeGlyphSheet(uint8_t format, const std::vector<int>& widths,
                                               int height)
{
    std::vector<int> separators;
    int x = 0;
    for (int w : widths) {
        x += w;
        separators.push_back(x++);
    }
    return MakeSheet(format, x, height, separators);
}

// A store with no loaded slots and poolSlots pool slots.
inline std::unique_ptr<GGraphicsResources> MakePoolStore(uint16_t poolSlots)
{
    auto store = std::make_unique<GGraphicsResources>();
    GMemorySetSource files;
    files.Add("bmst.bin", {0, 0, 0, 0});
    EXPECT_FALSE(store->TryInit(files, nullptr, poolSlots, 0).Failed());
    return store;
}

} // namespace tolvanrise::test
