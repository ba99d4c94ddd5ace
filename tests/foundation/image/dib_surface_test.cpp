#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/image/dib_surface.h"
#include "support/temp_files.h"

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

TEST(GDibSurfaceTest, PitchIsWordAligned)
{
    std::unique_ptr<GDibSurface> narrow(GDibSurface::Create(3, 2, 24));
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(narrow->GetPitch(), 12); // 9 bytes rounded up
    std::unique_ptr<GDibSurface> wide(GDibSurface::Create(800, 600, 24));
    EXPECT_EQ(wide->GetPitch(), 2400);
    EXPECT_EQ(wide->GetBytesPerPixel(), 3);
    EXPECT_EQ(wide->GetFormat(), 0);
    std::unique_ptr<GDibSurface> odd(GDibSurface::Create(5, 1, 32));
    EXPECT_EQ(odd->GetPitch(), 20);
}

TEST(GDibSurfaceTest, BitmapInfoDescribesTopDownWithSpareRow)
{
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(800, 600, 24));
    const uint8_t* info = s->GetBitmapInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(Read32(info + 0), 40);
    EXPECT_EQ(Read32(info + 4), 800);
    EXPECT_EQ(Read32(info + 8), -601);
    EXPECT_EQ(Read16(info + 12), 1);
    EXPECT_EQ(Read16(info + 14), 24);
    EXPECT_EQ(Read32(info + 16), 0);
    EXPECT_EQ(Read32(info + 20), 1442400); // 601 rows of 2400 bytes
    EXPECT_EQ(Read32(info + 24), 2816);
    EXPECT_EQ(Read32(info + 28), 2816);
    EXPECT_EQ(Read32(info + 32), 0);
    EXPECT_EQ(Read32(info + 36), 0);
}

TEST(GDibSurfaceTest, PixelsOnlyWhileLocked)
{
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(800, 600, 24));
    EXPECT_EQ(s->GetPixels(), nullptr);
    EXPECT_EQ(s->GetAlpha(), nullptr);
    uint8_t* p = s->Lock();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(s->GetPixels(), p);
    EXPECT_EQ(s->GetDibPixels(), p);
    p[601 * 2400 - 1] = 1; // the spare row belongs to the surface
    s->Unlock();
    EXPECT_EQ(s->GetPixels(), nullptr);

    GDibSurface none;
    EXPECT_EQ(none.Lock(), nullptr);
    EXPECT_EQ(none.GetBitmapInfo(), nullptr);
    none.Unlock();
}

TEST(GDibSurfaceTest, SaveBmpWritesTheImage)
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
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Read32(&file[2]), 1440054);
    EXPECT_EQ(Read32(&file[6]), 0);
    EXPECT_EQ(Read32(&file[10]), 54);
    EXPECT_EQ(Read32(&file[14]), 40);
    EXPECT_EQ(Read32(&file[18]), 800);
    EXPECT_EQ(Read32(&file[22]), -600);
    EXPECT_EQ(Read16(&file[26]), 1);
    EXPECT_EQ(Read16(&file[28]), 24);
    EXPECT_EQ(Read32(&file[30]), 0);
    EXPECT_EQ(Read32(&file[34]), 1440000);
    EXPECT_EQ(Read32(&file[38]), 2816);
    EXPECT_EQ(Read32(&file[42]), 2816);
    p = s->Lock();
    EXPECT_EQ(0, std::memcmp(&file[54], p, 1440000));
    s->Unlock();
}

TEST(GDibSurfaceTest, SaveBmpReportsFailure)
{
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(4, 4, 24));
    EXPECT_EQ(s->SaveBmp("/nonexistent-folder-for-test/x.bmp"), 0);
    EXPECT_EQ(s->SaveBmp(nullptr), 0);
    // A device that accepts the open but not the bytes: the failed write is reported.
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_EQ(s->SaveBmp("/dev/full"), 0);
    }
    GDibSurface none(4, 4);
    TempFolder folder("tolvanrise_dib_");
    EXPECT_EQ(none.SaveBmp(folder.Path("none.bmp").c_str()), 0);
}

TEST(GDibSurfaceTest, FailedCreationLeavesNoPixels)
{
    std::unique_ptr<GDibSurface> s(GDibSurface::Create(-4, 4, 24));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Lock(), nullptr);
    EXPECT_EQ(s->GetPixels(), nullptr);
    s->Unlock();
}

} // namespace
