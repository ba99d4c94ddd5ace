#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>

#include "foundation/image/bitmap.h"

namespace {

uint16_t FirstWord(const GBitmap& b)
{
    uint16_t w;
    std::memcpy(&w, b.GetPixels(), 2);
    return w;
}

TEST(GBitmapTest, BlocksPerFormat)
{
    // A 10 x 4 bitmap. Palettised formats keep a 770-byte palette header before the pixels
    // (the first word says where they start); format 21 is the palettised one with a mask.
    struct Case {
        uint8_t format;
        uint32_t pixelBytes; // 0: no pixel block
        uint32_t alphaBytes; // 0: no mask
        int pitch;
        int bytesPerPixel;
    };
    const Case cases[] = {
        {0, 153, 0, 30, 3},   // (10 * 5 + 1) * 3
        {2, 153, 51, 30, 3},
        {16, 821, 0, 10, 1},  // 10 * 5 + 771
        {21, 821, 51, 10, 1},
        {40, 153, 0, 30, 3},  // above 21: true colour
        {14, 0, 51, 0, 0},    // mask only
    };
    for (const Case& c : cases) {
        std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, c.format));
        ASSERT_NE(b, nullptr);
        const int f = c.format;
        EXPECT_EQ(b->GetPixelBlock() ? b->GetPixelBlock()->GetSize() : 0u, c.pixelBytes) << f;
        EXPECT_EQ(b->GetAlphaBlock() ? b->GetAlphaBlock()->GetSize() : 0u, c.alphaBytes) << f;
        EXPECT_EQ(b->GetAlpha() != nullptr, c.alphaBytes != 0) << f;
        if (!c.pixelBytes) {
            EXPECT_EQ(b->GetPixels(), nullptr);
            continue;
        }
        EXPECT_EQ(b->GetPixelBlock()->GetRefCount(), 1);
        EXPECT_EQ(b->GetPitch(), c.pitch) << f;
        EXPECT_EQ(b->GetBytesPerPixel(), c.bytesPerPixel) << f;
        EXPECT_EQ(GBitmap::IsPalettisedFormat(c.format), c.bytesPerPixel == 1) << f;
        if (c.bytesPerPixel == 1) {
            EXPECT_EQ(FirstWord(*b), 770) << f;
            // A pitch-stepped walk over every row and the margin stays inside the block.
            EXPECT_LE(770 + b->GetPitch() * (b->GetHeight() + 1), int(c.pixelBytes)) << f;
        }
    }
}

TEST(GBitmapTest, NegativeSizeGetsNoMemory)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(-5, 4, 0, 2));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->GetPixels() == nullptr && b->GetAlpha() == nullptr);
    std::unique_ptr<GBitmap> z(GBitmap::Create(0, 0, 0, 0));
    EXPECT_EQ(z->GetPixelBlock()->GetSize(), 3u); // the spare pixel only
}

TEST(GBitmapTest, PixelBlocksAreCountedBorrowedOrKept)
{
    std::unique_ptr<GPixelBlock> fresh = GPixelBlock::Create(153, nullptr);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetRefCount(), 0);
    GPixelBlock* block = fresh.get();
    block->GetData()[152] = 0x5c;
    std::unique_ptr<GBitmap> first = GBitmap::CreateOnNewBlocks(10, 4, 0, 0, std::move(fresh), nullptr);
    std::unique_ptr<GBitmap> second = GBitmap::Create(10, 4, 0, 0, block);
    EXPECT_EQ(block->GetRefCount(), 2);
    EXPECT_EQ(first->GetPixels(), second->GetPixels());
    first.reset();
    EXPECT_EQ(block->GetRefCount(), 1);
    EXPECT_EQ(second->GetPixels()[152], 0x5c);
    second.reset(); // frees the block and its data (checked by the sanitizer build)

    // Borrowed data is not freed.
    uint8_t memory[64] = {};
    std::unique_ptr<GPixelBlock> borrowed = GPixelBlock::Create(sizeof memory, memory);
    ASSERT_NE(borrowed, nullptr);
    EXPECT_EQ(borrowed->GetData(), memory);
    {
        auto b = GBitmap::CreateOnNewBlocks(4, 4, 0, 14, nullptr, std::move(borrowed));
        EXPECT_EQ(b->GetAlpha(), memory);
    }
    memory[0] = 1; // still ours

    // Reallocating the same block keeps it.
    std::unique_ptr<GBitmap> kept(GBitmap::Create(4, 4, 0, 0));
    GPixelBlock* own = kept->GetPixelBlock();
    kept->AllocBuffers(own, nullptr);
    EXPECT_EQ(kept->GetPixelBlock(), own);
    EXPECT_EQ(own->GetRefCount(), 1);
}

TEST(GBitmapTest, NamesAndAlphaFormats)
{
    GBitmap b;
    EXPECT_STREQ(b.GetName(), "");
    // Nineteen characters fit; longer names are cut there.
    for (auto [name, kept] : {std::pair{"abcdefghijklmnopqrs", "abcdefghijklmnopqrs"},
                              {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrs"}, {nullptr, ""}}) {
        b.SetName(name);
        EXPECT_STREQ(b.GetName(), kept);
    }

    for (int f = 0; f < 256; ++f) {
        const bool expected = f == 2 || f == 3 || f == 4 || f == 5 || f == 14 || f == 20 || f == 21;
        EXPECT_EQ(GBitmap::FormatHasAlpha(static_cast<uint8_t>(f)), expected) << f;
    }
}

} // namespace
