#include "graphics/jpeg/jpeg_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "support/jpeg_test_streams.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;
using Bytes = std::vector<uint8_t>;

namespace {

// An image that keeps its own pixels with rows further apart than the row itself (as a
// surface with aligned rows does), the gap filled with loud bytes that must not show.
class PaddedImage : public GBitmap {
public:
    PaddedImage(int16_t width, int16_t height, int32_t pitch)
        : GBitmap(width, height, 0, 0), m_pitch(pitch), m_memory(static_cast<size_t>(pitch) * height, 0)
    {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = width * 3; x < pitch; ++x)
                m_memory[static_cast<size_t>(y) * pitch + x] = (x & 1) ? 0xFF : 0x00;
    }
    uint8_t* GetPixels() const override { return const_cast<uint8_t*>(m_memory.data()); }
    uint8_t* GetAlpha() const override { return nullptr; }
    int32_t GetPitch() const override { return m_pitch; }

private:
    int32_t m_pitch;
    Bytes m_memory;
};

// Blue grows to the right, green downwards, red fades to the right.
void FillPicture(const GBitmap& image)
{
    for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            uint8_t* p = image.GetPixels() + y * image.GetPitch() + x * 3;
            p[0] = static_cast<uint8_t>(30 + 200 * x / image.GetWidth());
            p[1] = static_cast<uint8_t>(50 + 150 * y / image.GetHeight());
            p[2] = static_cast<uint8_t>(220 - 100 * x / image.GetWidth());
        }
}

std::unique_ptr<GBitmap> MakeImage(int16_t width, int16_t height)
{
    std::unique_ptr<GBitmap> image(GBitmap::Create(width, height, 0, 0));
    FillPicture(*image);
    return image;
}

// Mean and largest channel difference between a decoded picture and the image's pixels.
void ExpectClose(const jpeg_test::Ours& decoded, const GBitmap& image, double meanLimit, int maxLimit)
{
    ASSERT_EQ(std::tuple(decoded.result, decoded.width, decoded.height),
              std::tuple(0, int32_t(image.GetWidth()), int32_t(image.GetHeight())));
    double sum = 0;
    int worst = 0;
    for (int32_t y = 0; y < decoded.height; ++y)
        for (int32_t x = 0; x < decoded.width * 3; ++x) {
            const int error = std::abs(decoded.bgr[static_cast<size_t>(y) * decoded.width * 3 + x] -
                                       image.GetPixels()[y * image.GetPitch() + x]);
            sum += error;
            worst = std::max(worst, error);
        }
    EXPECT_TRUE(sum / (3.0 * decoded.width * decoded.height) < meanLimit && worst <= maxLimit) << sum << " " << worst;
}

class WriteJpegTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Created()); }
    std::string PathOf(const char* name) const { return m_folder.Path(name); }
    jpeg_test::Ours DecodeFile(const char* name) const { return jpeg_test::DecodeBgr(ReadFileByteVector(PathOf(name))); }

    TempFolder m_folder{"tolvanrise-jpeg-"};
};

} // namespace

TEST_F(WriteJpegTest, WritesAnRgbJpegThatDecodesClose)
{
    auto image = MakeImage(53, 29);
    ASSERT_EQ(WriteJpegFile(PathOf("out.jpg").c_str(), image.get(), 95, 1), 1);
    const jpeg_test::Ours out = DecodeFile("out.jpg");
    EXPECT_EQ(out.components, 3);
    ExpectClose(out, *image, 2.0, 24);

    // Red stays red: B, G, R in memory are written as R, G, B.
    std::unique_ptr<GBitmap> red(GBitmap::Create(16, 16, 0, 0));
    for (int i = 0; i < 16 * 16 * 3; ++i)
        red->GetPixels()[i] = i % 3 == 2 ? 255 : 0;
    ASSERT_EQ(WriteJpegFile(PathOf("red.jpg").c_str(), red.get(), 90, 0), 1);
    const jpeg_test::Ours decoded = DecodeFile("red.jpg");
    ASSERT_FALSE(decoded.bgr.empty());
    EXPECT_TRUE(decoded.bgr[0] < 8 && decoded.bgr[1] < 8 && decoded.bgr[2] > 247);
}

TEST_F(WriteJpegTest, RowsFollowThePitchNotTheWidth)
{
    PaddedImage padded(21, 13, 21 * 3 + 17);
    FillPicture(padded);
    auto compact = MakeImage(21, 13);
    ASSERT_EQ(WriteJpegFile(PathOf("padded.jpg").c_str(), &padded, 90, 1), 1);
    ASSERT_EQ(WriteJpegFile(PathOf("compact.jpg").c_str(), compact.get(), 90, 1), 1);
    // Same picture, same encoder settings: the same file, byte for byte.
    EXPECT_EQ(ReadFileByteVector(PathOf("padded.jpg")), ReadFileByteVector(PathOf("compact.jpg")));
    ExpectClose(DecodeFile("padded.jpg"), *compact, 5.0, 32);
}

TEST_F(WriteJpegTest, UnwritablePathsAndImagesWithoutTrueColourAreRefused)
{
    auto image = MakeImage(8, 8);
    // A folder that is a file, a missing folder, and a folder in the way of the file.
    m_folder.WriteFile("plain.txt", "x");
    fs::create_directory(PathOf("taken.jpg"));
    for (const char* name : {"plain.txt/out.jpg", "missing/out.jpg", "taken.jpg"})
        EXPECT_EQ(WriteJpegFile(PathOf(name).c_str(), image.get(), 90, 1), 0) << name;
    EXPECT_TRUE(fs::is_directory(PathOf("taken.jpg")));
    EXPECT_EQ(WriteJpegFile(nullptr, image.get(), 90, 1), 0);

    const std::string path = PathOf("refused.jpg");
    EXPECT_EQ(WriteJpegFile(path.c_str(), nullptr, 90, 1), 0);
    const std::pair<int16_t, uint8_t> refused[] = {{8, 14}, {8, 16}, {0, 0}}; // mask, palettised, empty
    for (auto [width, format] : refused) {
        std::unique_ptr<GBitmap> other(GBitmap::Create(width, 8, 0, format));
        EXPECT_EQ(WriteJpegFile(path.c_str(), other.get(), 90, 1), 0) << int(format);
    }
    // Nothing half-written is left behind.
    EXPECT_EQ(FolderEntries(m_folder.Path()), (std::set<std::string>{"plain.txt", "taken.jpg"}));

    Bytes out = {1, 2, 3};
    uint8_t pixels[12] = {};
    EXPECT_FALSE(EncodeJpeg(pixels, 4, 1, 11, 90, true, out)) << "pitch below the row";
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(EncodeJpeg(nullptr, 4, 1, 12, 90, true, out) || EncodeJpeg(pixels, 40000, 1, 120000, 90, true, out));
}

TEST_F(WriteJpegTest, QualityOutsideTheRangeMeansBestAndReplacingKeepsTheFileWhole)
{
    auto image = MakeImage(24, 24);
    auto encode = [&](int32_t quality) {
        Bytes out;
        EXPECT_TRUE(EncodeJpeg(image->GetPixels(), 24, 24, image->GetPitch(), quality, true, out));
        return out;
    };
    const Bytes best = encode(100);
    for (int32_t outside : {9, 101, 0})
        EXPECT_EQ(encode(outside), best) << outside;
    EXPECT_LT(encode(10).size(), best.size());

    auto large = MakeImage(200, 120);
    ASSERT_EQ(WriteJpegFile(PathOf("replace.jpg").c_str(), large.get(), 95, 1), 1);
    ASSERT_EQ(WriteJpegFile(PathOf("replace.jpg").c_str(), image.get(), 95, 1), 1);
    const jpeg_test::Ours decoded = DecodeFile("replace.jpg");
    EXPECT_EQ(std::make_pair(decoded.width, decoded.height), std::make_pair(24, 24));
}

TEST_F(WriteJpegTest, LargePicturesGrowTheOutput)
{
    // Noise compresses badly, so the encoder's output has to grow several times.
    std::unique_ptr<GBitmap> image(GBitmap::Create(300, 200, 0, 0));
    uint32_t seed = 12345;
    for (int32_t i = 0; i < 300 * 200 * 3; ++i) {
        seed = seed * 1103515245u + 12345u;
        image->GetPixels()[i] = static_cast<uint8_t>(seed >> 16);
    }
    Bytes out;
    ASSERT_TRUE(EncodeJpeg(image->GetPixels(), 300, 200, image->GetPitch(), 100, true, out));
    EXPECT_GT(out.size(), 16384u * 4);
    EXPECT_EQ(out[out.size() - 2] << 8 | out[out.size() - 1], 0xFFD9);
    const jpeg_test::Ours decoded = jpeg_test::DecodeBgr(out);
    EXPECT_EQ(std::tuple(decoded.result, decoded.width, decoded.height), std::tuple(0, 300, 200));
}
