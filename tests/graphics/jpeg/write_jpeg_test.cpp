#include "graphics/jpeg/jpeg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

// An image that keeps its own pixels with rows further apart than the row itself (as a
// surface with aligned rows does), the gap filled with loud bytes that must not show.
class PaddedImage : public GBitmap {
public:
    PaddedImage(int16_t width, int16_t height, int32_t pitch)
        : GBitmap(width, height, 0, 0), m_pitch(pitch),
          m_memory(static_cast<size_t>(pitch) * height, 0)
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
    std::vector<uint8_t> m_memory;
};

void FillPicture(uint8_t* pixels, int32_t width, int32_t height, int32_t pitch)
{
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = pixels + y * pitch + x * 3;
            p[0] = static_cast<uint8_t>(30 + 200 * x / width);  // blue grows to the right
            p[1] = static_cast<uint8_t>(50 + 150 * y / height); // green grows downwards
            p[2] = static_cast<uint8_t>(220 - 100 * x / width); // red fades to the right
        }
}

std::unique_ptr<GBitmap> MakeImage(int16_t width, int16_t height)
{
    std::unique_ptr<GBitmap> image(GBitmap::Create(width, height, 0, 0));
    FillPicture(image->GetPixels(), width, height, image->GetPitch());
    return image;
}

struct Decoded {
    int32_t width = 0;
    int32_t height = 0;
    int32_t components = 0;
    std::vector<uint8_t> bgr;
};

Decoded Decode(const std::vector<uint8_t>& bytes)
{
    Decoded out;
    GMemoryDataSource source(bytes.data(), static_cast<uint32_t>(bytes.size()));
    auto decoder = GJpegDecoder::Create();
    if (decoder->Begin(&source) != 0)
        return out;
    out.width = decoder->GetWidth();
    out.height = decoder->GetHeight();
    out.components = decoder->GetComponentCount();
    out.bgr.resize(static_cast<size_t>(out.width) * out.height * 3);
    if (decoder->DecodeBgr(out.bgr.data(), out.width * 3) != 0)
        out.bgr.clear();
    return out;
}

// Mean and largest channel difference between a decoded picture and the image's pixels.
void ExpectClose(const Decoded& decoded, const GBitmap& image, double meanLimit, int maxLimit)
{
    ASSERT_EQ(decoded.width, image.GetWidth());
    ASSERT_EQ(decoded.height, image.GetHeight());
    ASSERT_FALSE(decoded.bgr.empty());
    double sum = 0;
    int worst = 0;
    for (int32_t y = 0; y < decoded.height; ++y)
        for (int32_t x = 0; x < decoded.width * 3; ++x) {
            const int error = std::abs(decoded.bgr[static_cast<size_t>(y) * decoded.width * 3 + x] -
                                       image.GetPixels()[y * image.GetPitch() + x]);
            sum += error;
            worst = std::max(worst, error);
        }
    EXPECT_LT(sum / (3.0 * decoded.width * decoded.height), meanLimit);
    EXPECT_LE(worst, maxLimit);
}

class WriteJpegTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Created()); }
    std::string PathOf(const char* name) const { return m_folder.Path(name); }

    TempFolder m_folder{"tolvanrise-jpeg-"};
};

} // namespace

TEST_F(WriteJpegTest, WritesAnRgbJpegThatDecodesClose)
{
    auto image = MakeImage(53, 29);
    ASSERT_EQ(WriteJpegFile(PathOf("out.jpg").c_str(), image.get(), 95, 1), 1);
    const std::vector<uint8_t> bytes = ReadFileByteVector(PathOf("out.jpg"));
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const Decoded decoded = Decode(bytes);
    EXPECT_EQ(decoded.components, 3);
    ExpectClose(decoded, *image, 2.0, 24);

    // Red stays red: B, G, R in memory are written as R, G, B.
    std::unique_ptr<GBitmap> red(GBitmap::Create(16, 16, 0, 0));
    std::memset(red->GetPixels(), 0, 16 * 16 * 3);
    for (int i = 0; i < 16 * 16; ++i)
        red->GetPixels()[i * 3 + 2] = 255;
    ASSERT_EQ(WriteJpegFile(PathOf("red.jpg").c_str(), red.get(), 90, 0), 1);
    const Decoded redDecoded = Decode(ReadFileByteVector(PathOf("red.jpg")));
    ASSERT_FALSE(redDecoded.bgr.empty());
    EXPECT_LT(redDecoded.bgr[0], 8);
    EXPECT_LT(redDecoded.bgr[1], 8);
    EXPECT_GT(redDecoded.bgr[2], 247);
}

TEST_F(WriteJpegTest, RowsFollowThePitchNotTheWidth)
{
    const int16_t width = 21, height = 13;
    PaddedImage padded(width, height, width * 3 + 17);
    FillPicture(padded.GetPixels(), width, height, padded.GetPitch());
    auto compact = MakeImage(width, height);

    ASSERT_EQ(WriteJpegFile(PathOf("padded.jpg").c_str(), &padded, 90, 1), 1);
    ASSERT_EQ(WriteJpegFile(PathOf("compact.jpg").c_str(), compact.get(), 90, 1), 1);
    // Same picture, same encoder settings: the same file, byte for byte.
    EXPECT_EQ(ReadFileByteVector(PathOf("padded.jpg")), ReadFileByteVector(PathOf("compact.jpg")));
    ExpectClose(Decode(ReadFileByteVector(PathOf("padded.jpg"))), *compact, 5.0, 32);
}

TEST_F(WriteJpegTest, UnwritablePathsFailCleanly)
{
    auto image = MakeImage(8, 8);
    // A folder that is a file, a missing folder, and a folder in the way of the file.
    m_folder.WriteFile("plain.txt", "x");
    EXPECT_EQ(WriteJpegFile(PathOf("plain.txt/out.jpg").c_str(), image.get(), 90, 1), 0);
    EXPECT_EQ(WriteJpegFile(PathOf("missing/out.jpg").c_str(), image.get(), 90, 1), 0);
    fs::create_directory(PathOf("taken.jpg"));
    EXPECT_EQ(WriteJpegFile(PathOf("taken.jpg").c_str(), image.get(), 90, 1), 0);
    EXPECT_TRUE(fs::is_directory(PathOf("taken.jpg")));
    EXPECT_EQ(WriteJpegFile(nullptr, image.get(), 90, 1), 0);
    // Nothing half-written is left behind.
    EXPECT_EQ(FolderEntries(m_folder.Path()).size(), 2u);
}

TEST_F(WriteJpegTest, ImagesWithoutTrueColourPixelsAreRefused)
{
    const std::string path = PathOf("refused.jpg");
    EXPECT_EQ(WriteJpegFile(path.c_str(), nullptr, 90, 1), 0);
    std::unique_ptr<GBitmap> mask(GBitmap::Create(8, 8, 0, 14));
    EXPECT_EQ(WriteJpegFile(path.c_str(), mask.get(), 90, 1), 0);
    std::unique_ptr<GBitmap> palettised(GBitmap::Create(8, 8, 0, 16));
    EXPECT_EQ(WriteJpegFile(path.c_str(), palettised.get(), 90, 1), 0);
    std::unique_ptr<GBitmap> empty(GBitmap::Create(0, 5, 0, 0));
    EXPECT_EQ(WriteJpegFile(path.c_str(), empty.get(), 90, 1), 0);
    EXPECT_FALSE(fs::exists(path));

    std::vector<uint8_t> out = {1, 2, 3};
    uint8_t pixels[12] = {};
    EXPECT_FALSE(EncodeJpeg(pixels, 4, 1, 11, 90, true, out)) << "pitch below the row";
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(EncodeJpeg(nullptr, 4, 1, 12, 90, true, out));
    EXPECT_FALSE(EncodeJpeg(pixels, 40000, 1, 120000, 90, true, out));
}

TEST_F(WriteJpegTest, QualityOutsideTheRangeMeansBest)
{
    auto image = MakeImage(24, 24);
    auto encode = [&](int32_t quality) {
        std::vector<uint8_t> out;
        EXPECT_TRUE(EncodeJpeg(image->GetPixels(), 24, 24, image->GetPitch(), quality, true, out));
        return out;
    };
    const std::vector<uint8_t> best = encode(100);
    for (int32_t outside : {9, 101, 0})
        EXPECT_EQ(encode(outside), best) << outside;
    const std::vector<uint8_t> ten = encode(10);
    EXPECT_NE(ten, best);
    EXPECT_LT(ten.size(), best.size());
}

TEST_F(WriteJpegTest, ReplacingAFileKeepsItWhole)
{
    auto small = MakeImage(8, 8);
    auto large = MakeImage(200, 120);
    const std::string path = PathOf("replace.jpg");
    ASSERT_EQ(WriteJpegFile(path.c_str(), large.get(), 95, 1), 1);
    ASSERT_EQ(WriteJpegFile(path.c_str(), small.get(), 95, 1), 1);
    const Decoded decoded = Decode(ReadFileByteVector(path));
    EXPECT_EQ(decoded.width, 8);
    EXPECT_EQ(decoded.height, 8);
}

TEST_F(WriteJpegTest, LargePicturesGrowTheOutput)
{
    // Noise compresses badly, so the encoder's output has to grow several times.
    const int16_t width = 300, height = 200;
    std::unique_ptr<GBitmap> image(GBitmap::Create(width, height, 0, 0));
    uint32_t seed = 12345;
    for (int32_t i = 0; i < width * height * 3; ++i) {
        seed = seed * 1103515245u + 12345u;
        image->GetPixels()[i] = static_cast<uint8_t>(seed >> 16);
    }
    std::vector<uint8_t> out;
    ASSERT_TRUE(EncodeJpeg(image->GetPixels(), width, height, image->GetPitch(), 100, true, out));
    EXPECT_GT(out.size(), 16384u * 4);
    const Decoded decoded = Decode(out);
    EXPECT_EQ(decoded.width, width);
    EXPECT_EQ(decoded.height, height);
    EXPECT_FALSE(decoded.bgr.empty());
    EXPECT_EQ(out[out.size() - 2], 0xFF);
    EXPECT_EQ(out[out.size() - 1], 0xD9);
}
