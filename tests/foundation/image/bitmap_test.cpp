#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "support/temp_files.h"

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
        EXPECT_EQ(std::tuple(b->GetPixelBlock()->GetRefCount(), b->GetPitch(), b->GetBytesPerPixel()),
                  std::tuple(1, c.pitch, c.bytesPerPixel)) << f;
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
    EXPECT_TRUE(block->GetRefCount() == 2 && first->GetPixels() == second->GetPixels());
    first.reset();
    EXPECT_TRUE(block->GetRefCount() == 1 && second->GetPixels()[152] == 0x5c);
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
    EXPECT_TRUE(kept->GetPixelBlock() == own && own->GetRefCount() == 1);
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

// ---- the DIB surface ----
namespace {

using tolvanrise::test::ReadFileByteVector;
using tolvanrise::test::TempFolder;

int32_t Read32(const uint8_t* p)
{
    return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
int Read16(const uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

// Little-endian fields of a header: {offset, bytes, value}.
struct Field {
    int offset;
    int bytes;
    int32_t value;
};

void ExpectFields(const uint8_t* header, std::initializer_list<Field> fields)
{
    for (const Field& f : fields)
        EXPECT_EQ(f.bytes == 4 ? Read32(header + f.offset) : Read16(header + f.offset), f.value) << f.offset;
}

TEST(GDibSurfaceTest, PitchBitmapInfoAndLocking)
{
    // Rows are word-aligned: 9 bytes round up to 12. No columns is an empty picture, not a failure.
    for (auto [w, bits, pitch] : {std::tuple{3, 24, 12}, {800, 24, 2400}, {5, 32, 20}, {0, 24, 0}}) {
        std::unique_ptr<GDibSurface> s(GDibSurface::Create(int16_t(w), 2, bits));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetPitch(), pitch) << w;
        EXPECT_TRUE(s->GetBitmapInfo() && s->Lock()) << w;
        s->Unlock();
    }
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(800, 600, 24));
    EXPECT_EQ(std::pair(s->GetBytesPerPixel(), int(s->GetFormat())), std::pair(3, 0));
    // Top-down, with the spare row: 601 rows of 2400 bytes.
    ASSERT_NE(s->GetBitmapInfo(), nullptr);
    ExpectFields(s->GetBitmapInfo(), {{0, 4, 40}, {4, 4, 800}, {8, 4, -601}, {12, 2, 1}, {14, 2, 24}, {16, 4, 0},
                                      {20, 4, 1442400}, {24, 4, 2816}, {28, 4, 2816}, {32, 4, 0}, {36, 4, 0}});

    EXPECT_TRUE(s->GetPixels() == nullptr && s->GetAlpha() == nullptr);
    uint8_t* p = s->Lock();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(s->GetPixels() == p && s->GetDibPixels() == p);
    p[601 * 2400 - 1] = 1; // the spare row belongs to the surface
    s->Unlock();
    EXPECT_EQ(s->GetPixels(), nullptr);

    // No pixel memory: made empty, or a failed creation.
    GDibSurface none;
    EXPECT_TRUE(none.Lock() == nullptr && none.GetBitmapInfo() == nullptr);
    none.Unlock();
    std::unique_ptr<GDibSurface> failed(GDibSurface::Create(-4, 4, 24));
    ASSERT_NE(failed, nullptr);
    EXPECT_TRUE(failed->Lock() == nullptr && failed->GetPixels() == nullptr);
    failed->Unlock();
}

TEST(GDibSurfaceTest, SaveBmpWritesTheImageOrReportsFailure)
{
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(800, 600, 24));
    uint8_t* p = s->Lock();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 2400; ++x)
            p[y * 2400 + x] = static_cast<uint8_t>(x * 7 + y * 3);
    std::memset(p + 600 * 2400, 0xee, 2400); // spare row: must not be written
    s->Unlock();

    TempFolder folder("tolvanrise_dib_");
    const std::string path = folder.Path("dump.bmp");
    ASSERT_EQ(s->SaveBmp(path.c_str()), 1);
    EXPECT_EQ(s->GetPixels(), nullptr); // unlocked again
    const std::vector<uint8_t> file = ReadFileByteVector(path);
    ASSERT_EQ(file.size(), 1440054u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 2), "BM");
    ExpectFields(file.data(), {{2, 4, 1440054}, {6, 4, 0}, {10, 4, 54}, {14, 4, 40}, {18, 4, 800}, {22, 4, -600},
                               {26, 2, 1}, {28, 2, 24}, {30, 4, 0}, {34, 4, 1440000}, {38, 4, 2816}, {42, 4, 2816}});
    p = s->Lock();
    EXPECT_EQ(0, std::memcmp(&file[54], p, 1440000));
    s->Unlock();

    EXPECT_EQ(s->SaveBmp("/nonexistent-folder-for-test/x.bmp"), 0);
    EXPECT_EQ(s->SaveBmp(nullptr), 0);
    // A device that accepts the open but not the bytes: the failed write is reported, whether
    // it shows in the write (a large image) or only when the buffered bytes are flushed.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_EQ(s->SaveBmp("/dev/full"), 0);
        EXPECT_EQ(std::unique_ptr<GDibSurface>(GDibSurface::Create(4, 4, 24))->SaveBmp("/dev/full"), 0);
    }
    GDibSurface none(4, 4);
    EXPECT_EQ(none.SaveBmp(folder.Path("none.bmp").c_str()), 0);
}

} // namespace
