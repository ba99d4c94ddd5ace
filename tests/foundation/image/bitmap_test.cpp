#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "foundation/image/bitmap.h"

namespace {

uint16_t FirstWord(const GBitmap& b)
{
    uint16_t w;
    std::memcpy(&w, b.GetPixels(), 2);
    return w;
}

TEST(GBitmapTest, TrueColourBlocks)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, 0));
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->GetPixelBlock(), nullptr);
    EXPECT_EQ(b->GetPixelBlock()->GetSize(), 153u); // (10 * 5 + 1) * 3
    EXPECT_EQ(b->GetPixelBlock()->GetRefCount(), 1);
    EXPECT_EQ(b->GetAlphaBlock(), nullptr);
    EXPECT_EQ(b->GetAlpha(), nullptr);
    EXPECT_EQ(b->GetPitch(), 30);
    EXPECT_EQ(b->GetBytesPerPixel(), 3);

    std::unique_ptr<GBitmap> masked(GBitmap::Create(10, 4, 0, 2));
    ASSERT_NE(masked->GetAlphaBlock(), nullptr);
    EXPECT_EQ(masked->GetAlphaBlock()->GetSize(), 51u);
    EXPECT_EQ(masked->GetPixelBlock()->GetSize(), 153u);
}

TEST(GBitmapTest, PalettisedBlocks)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, 16));
    ASSERT_NE(b->GetPixelBlock(), nullptr);
    EXPECT_EQ(b->GetPixelBlock()->GetSize(), 821u); // 10 * 5 + 771
    EXPECT_EQ(FirstWord(*b), 770);
    EXPECT_EQ(b->GetPitch(), 10);
    EXPECT_EQ(b->GetBytesPerPixel(), 1);
    EXPECT_EQ(b->GetAlphaBlock(), nullptr);
    // Pixel (0, 0) is byte 770; the last pixel and the margin stay inside the block.
    const uint8_t* first = b->GetPixels() + FirstWord(*b);
    EXPECT_EQ(first - b->GetPixels(), 770);
    EXPECT_LE(770 + 3 * b->GetPitch() + 9 + 1 + b->GetPitch(), 821);
}

TEST(GBitmapTest, Format21IsOneLayout)
{
    // Same block as format 16 plus a mask, and pitch and pixel size that agree with it.
    std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, 21));
    EXPECT_EQ(b->GetPixelBlock()->GetSize(), 821u);
    EXPECT_EQ(FirstWord(*b), 770);
    ASSERT_NE(b->GetAlphaBlock(), nullptr);
    EXPECT_EQ(b->GetAlphaBlock()->GetSize(), 51u);
    EXPECT_EQ(b->GetPitch(), 10);
    EXPECT_EQ(b->GetBytesPerPixel(), 1);
    EXPECT_TRUE(GBitmap::IsPalettisedFormat(21));
    // A pitch-stepped walk over every row stays inside the pixel block.
    EXPECT_LE(770 + b->GetPitch() * (b->GetHeight() + 1), 821);
}

TEST(GBitmapTest, FormatsAbove21AreTrueColour)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, 40));
    EXPECT_FALSE(GBitmap::IsPalettisedFormat(40));
    EXPECT_EQ(b->GetPixelBlock()->GetSize(), 153u);
    EXPECT_EQ(b->GetPitch(), 30);
}

TEST(GBitmapTest, MaskOnly)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(10, 4, 0, 14));
    EXPECT_EQ(b->GetPixelBlock(), nullptr);
    EXPECT_EQ(b->GetPixels(), nullptr);
    ASSERT_NE(b->GetAlphaBlock(), nullptr);
    EXPECT_EQ(b->GetAlphaBlock()->GetSize(), 51u);
}

TEST(GBitmapTest, NegativeSizeGetsNoMemory)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(-5, 4, 0, 2));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetPixels(), nullptr);
    EXPECT_EQ(b->GetAlpha(), nullptr);
    std::unique_ptr<GBitmap> z(GBitmap::Create(0, 0, 0, 0));
    EXPECT_EQ(z->GetPixelBlock()->GetSize(), 3u); // the spare pixel only
}

TEST(GBitmapTest, SharedBlocksAreCounted)
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
}

TEST(GBitmapTest, BorrowedDataIsNotFreed)
{
    uint8_t memory[64] = {};
    std::unique_ptr<GPixelBlock> block = GPixelBlock::Create(sizeof memory, memory);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetData(), memory);
    {
        auto b = GBitmap::CreateOnNewBlocks(4, 4, 0, 14, nullptr, std::move(block));
        EXPECT_EQ(b->GetAlpha(), memory);
    }
    memory[0] = 1; // still ours
}

TEST(GBitmapTest, ReallocatingTheSameBlockKeepsIt)
{
    std::unique_ptr<GBitmap> b(GBitmap::Create(4, 4, 0, 0));
    GPixelBlock* block = b->GetPixelBlock();
    b->AllocBuffers(block, nullptr);
    EXPECT_EQ(b->GetPixelBlock(), block);
    EXPECT_EQ(block->GetRefCount(), 1);
}

TEST(GBitmapTest, Names)
{
    GBitmap b;
    EXPECT_STREQ(b.GetName(), "");
    b.SetName("abcdefghijklmnopqrs"); // 19
    EXPECT_STREQ(b.GetName(), "abcdefghijklmnopqrs");
    b.SetName("abcdefghijklmnopqrstuvwxyz");
    EXPECT_STREQ(b.GetName(), "abcdefghijklmnopqrs");
    b.SetName("x");
    EXPECT_STREQ(b.GetName(), "x");
    b.SetName(nullptr);
    EXPECT_STREQ(b.GetName(), "");
}

TEST(GBitmapTest, AlphaFormats)
{
    for (int f = 0; f < 256; ++f) {
        const bool expected = f == 2 || f == 3 || f == 4 || f == 5 || f == 14 || f == 20 || f == 21;
        EXPECT_EQ(GBitmap::FormatHasAlpha(static_cast<uint8_t>(f)), expected) << f;
    }
}

} // namespace
