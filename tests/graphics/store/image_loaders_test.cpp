#include "graphics/store/image_loaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/image/bitmap.h"
#include "foundation/files/data_files.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/data_source.h"
#include "graphics/store/graphics_resources.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/jpeg/jpeg_writer.h"
#include "graphics/store/pack_data_source.h"
#include "support/temp_files.h"
#include "support/jpeg_test_streams.h"
#include "tools/tolvanrise-packs/pack_writer.h"

using packtool::PackKind;
using packtool::Picture;

namespace {

constexpr int16_t kPoolSlots = 6;

// Smooth colours and a mask holding every kind of value. The square's hard edges are for
// exact round trips; JPEG smears them (chroma is sampled 2 x 2), so lossy checks go without.
Picture MakePicture(int32_t width, int32_t height, uint32_t seed, bool sharpSquare = true)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.resize(static_cast<size_t>(width) * height * 4);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &picture.rgba[(static_cast<size_t>(y) * width + x) * 4];
            const bool square = sharpSquare && x >= width / 4 && x < width / 2 &&
                                y >= height / 4 && y < height / 2;
            p[0] = square ? 230 : static_cast<uint8_t>(40 + 150 * x / width);
            p[1] = square ? 40 : static_cast<uint8_t>(60 + 120 * y / height);
            p[2] = square ? 60 : static_cast<uint8_t>(200 - 100 * (x + y) / (width + height));
            p[3] = static_cast<uint8_t>(random());
        }
    return picture;
}

class ImageLoadersTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Created());

        // A store with no loaded images: every slot is a pool slot.
        GMemorySetSource files;
        files.Add("bmst.bin", {0, 0, 0, 0});
        ASSERT_FALSE(m_store.TryInit(files, nullptr, kPoolSlots, 0).Failed());
        ASSERT_NE(m_store.GetPool(), nullptr);
    }

    void WritePackBytes(int32_t number, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(packtool::WritePack(m_folder.Path(), number, bytes));
    }
    void WritePicturePack(int32_t number, const Picture& picture, PackKind kind,
                          int32_t quality = 95)
    {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(packtool::MakePack(picture, kind, quality, bytes));
        WritePackBytes(number, bytes);
    }
    const char* Folder() const { return m_folder.Path().c_str(); }
    GBitmap* Pool(int16_t slot) const { return m_store.GetPool()->GetBitmap(slot); }

    // Puts a marker image into the slot, to see that a refused file leaves it alone.
    void PlaceMarker(int16_t slot)
    {
        ASSERT_EQ(m_store.CreateBitmap(3, 2, 0x123456, 1, nullptr, nullptr, slot), slot);
    }
    void ExpectMarker(int16_t slot)
    {
        GBitmap* image = Pool(slot);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetWidth(), 3);
        EXPECT_EQ(image->GetKeyColour(), 0x123456u);
    }

    tolvanrise::test::TempFolder m_folder{"tolvanrise-loaders-"};
    GGraphicsResources m_store;
};

// Exact by default; JPEG loses detail, but on a smooth picture the mean error stays small and
// no pixel is far off.
void ExpectPixels(const GBitmap& image, const Picture& picture, int maxLimit = 0,
                  double meanLimit = 1.0)
{
    ASSERT_EQ(image.GetWidth(), picture.width);
    ASSERT_EQ(image.GetHeight(), picture.height);
    double sum = 0;
    int worst = 0;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* want = &picture.rgba[(static_cast<size_t>(y) * picture.width + x) * 4];
            const uint8_t* got = image.GetPixels() + y * image.GetPitch() + x * 3;
            for (int c = 0; c < 3; ++c) {
                const int error = std::abs(got[c] - want[2 - c]);
                sum += error;
                worst = std::max(worst, error);
            }
        }
    EXPECT_LT(sum / (3.0 * picture.width * picture.height), meanLimit);
    EXPECT_LE(worst, maxLimit);
}

void ExpectMaskExact(const GBitmap& image, const Picture& picture)
{
    ASSERT_NE(image.GetAlpha(), nullptr);
    int mismatches = 0;
    for (size_t i = 0; i < static_cast<size_t>(picture.width) * picture.height; ++i)
        if (image.GetAlpha()[i] != 255 - picture.rgba[i * 4 + 3])
            ++mismatches;
    EXPECT_EQ(mismatches, 0);
}

using Bytes = std::vector<uint8_t>;
int LoadTgaBytes(const Bytes& b, int16_t* slot, GGraphicsResources* store)
{
    return LoadTgaImageFromBytes(b.data(), uint32_t(b.size()), slot, store);
}
int LoadJpmBytes(const Bytes& b, int16_t* slot, GGraphicsResources* store, uint8_t key)
{
    return LoadJpmImageFromBytes(b.data(), uint32_t(b.size()), slot, store, key);
}
int LoadPackJpegBytes(const Bytes& b, int16_t* slot, GGraphicsResources* store)
{
    return LoadPackJpegImageFromBytes(b.data(), uint32_t(b.size()), slot, store);
}

// The engine's decoding of the picture encoded as a plain JPEG stream: what a loader must
// deliver exactly once the scrambling is undone.
std::vector<uint8_t> DecodePlain(const Picture& picture, int32_t quality)
{
    const std::vector<uint8_t> bgr = packtool::BgrOf(picture);
    std::vector<uint8_t> plain;
    EXPECT_TRUE(EncodeJpeg(bgr.data(), picture.width, picture.height, picture.width * 3, quality,
                           true, plain));
    GMemoryDataSource source(plain.data(), static_cast<uint32_t>(plain.size()));
    auto decoder = GJpegDecoder::Create();
    std::vector<uint8_t> pixels(static_cast<size_t>(picture.width) * picture.height * 3);
    EXPECT_EQ(decoder->Begin(&source), 0);
    EXPECT_EQ(decoder->DecodeBgr(pixels.data(), picture.width * 3), 0);
    return pixels;
}

std::vector<uint8_t> TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth)
{
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = type;
    bytes[12] = static_cast<uint8_t>(width);
    bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height);
    bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = depth;
    return bytes;
}

void PutU32At(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

TEST_F(ImageLoadersTest, TgaRoundTripsAreExact)
{
    const Picture picture = MakePicture(37, 21, 1);
    WritePicturePack(1, picture, PackKind::kTga24);
    WritePicturePack(2, picture, PackKind::kTga32);
    WritePicturePack(3, picture, PackKind::kTga8);

    int16_t slot = -1;
    ASSERT_EQ(LoadTgaImage(1, &slot, &m_store, Folder()), 1);
    ASSERT_EQ(slot, 0);
    EXPECT_EQ(Pool(0)->GetFormat(), 0);
    EXPECT_EQ(Pool(0)->GetAlpha(), nullptr);
    ExpectPixels(*Pool(0), picture);

    slot = -1;
    ASSERT_EQ(LoadTgaImage(2, &slot, &m_store, Folder()), 1);
    ASSERT_EQ(slot, 1);
    EXPECT_EQ(Pool(1)->GetFormat(), 2);
    ExpectPixels(*Pool(1), picture);
    ExpectMaskExact(*Pool(1), picture);

    slot = -1;
    ASSERT_EQ(LoadTgaImage(3, &slot, &m_store, Folder()), 1);
    ASSERT_EQ(slot, 2);
    const GBitmap& mask = *Pool(2);
    EXPECT_EQ(mask.GetFormat(), 14);
    EXPECT_EQ(mask.GetPixels(), nullptr);
    ASSERT_NE(mask.GetAlpha(), nullptr);
    for (size_t i = 0; i < 37u * 21u; ++i)
        ASSERT_EQ(mask.GetAlpha()[i], packtool::GreyOf(&picture.rgba[i * 4])) << i;

    // The absolute slot follows the loaded part of the table.
    EXPECT_EQ(m_store.GetBitmap(m_store.GetLoadedSlots() + 1), Pool(1));
}

TEST_F(ImageLoadersTest, JpmRoundTripKeepsTheMaskExact)
{
    const Picture picture = MakePicture(45, 30, 2, false);
    WritePicturePack(7, picture, PackKind::kJpm, 90);
    int16_t slot = 4;
    ASSERT_EQ(LoadJpegImageFromMemory(7, &slot, &m_store, Folder(), kBackgroundJpmKey), 1);
    EXPECT_EQ(slot, 4);
    ASSERT_NE(Pool(4), nullptr);
    EXPECT_EQ(Pool(4)->GetFormat(), 2);
    ExpectPixels(*Pool(4), picture, 16, 3.0);
    ExpectMaskExact(*Pool(4), picture);
    const std::vector<uint8_t> expected = DecodePlain(picture, 90);
    EXPECT_EQ(std::memcmp(Pool(4)->GetPixels(), expected.data(), expected.size()), 0);

    // Another key does not read the colour stream.
    PlaceMarker(5);
    slot = 5;
    const uint8_t otherKey = kBackgroundJpmKey + 1;
    EXPECT_EQ(LoadJpegImageFromMemory(7, &slot, &m_store, Folder(), otherKey), 0);
    EXPECT_EQ(slot, 5);
    ExpectMarker(5);
}

TEST_F(ImageLoadersTest, PackJpegRoundTripMatchesThePlainStream)
{
    const Picture picture = MakePicture(33, 19, 3, false);
    WritePicturePack(12, picture, PackKind::kJpeg, 90);
    int16_t slot = -1;
    ASSERT_EQ(LoadJpegImageFromPack(12, &slot, &m_store, Folder()), 1);
    ASSERT_EQ(slot, 0);
    EXPECT_EQ(Pool(0)->GetFormat(), 0);
    ExpectPixels(*Pool(0), picture, 16, 3.0);

    // Unscrambling is exact: the picture equals the engine's decoding of the plain stream.
    const std::vector<uint8_t> expected = DecodePlain(picture, 90);
    EXPECT_EQ(std::memcmp(Pool(0)->GetPixels(), expected.data(), expected.size()), 0);
}

TEST_F(ImageLoadersTest, PacksCanBeLoadedAgainAndMissingPacksFail)
{
    const Picture picture = MakePicture(8, 8, 4);
    WritePicturePack(20, picture, PackKind::kTga32);
    WritePicturePack(21, picture, PackKind::kJpm);
    WritePicturePack(22, picture, PackKind::kJpeg);
    for (int round = 0; round < 2; ++round) {
        int16_t slot = 0;
        EXPECT_EQ(LoadTgaImage(20, &slot, &m_store, Folder()), 1);
        slot = 1;
        EXPECT_EQ(LoadJpegImageFromMemory(21, &slot, &m_store, Folder(), kBackgroundJpmKey), 1);
        slot = 2;
        EXPECT_EQ(LoadJpegImageFromPack(22, &slot, &m_store, Folder()), 1);
    }
    int16_t slot = 3;
    EXPECT_EQ(LoadTgaImage(99, &slot, &m_store, Folder()), 0);
    EXPECT_EQ(LoadJpegImageFromMemory(99, &slot, &m_store, Folder(), kBackgroundJpmKey), 0);
    EXPECT_EQ(LoadJpegImageFromPack(99, &slot, &m_store, Folder()), 0);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(LoadTgaImage(20, &slot, nullptr, Folder()), 0);
}

// A picture control tries the three loaders in turn on one pack; only the right one accepts.
TEST_F(ImageLoadersTest, EachLoaderRefusesTheOtherKinds)
{
    const Picture picture = MakePicture(16, 16, 5);
    WritePicturePack(30, picture, PackKind::kTga24);
    WritePicturePack(31, picture, PackKind::kJpm);
    WritePicturePack(32, picture, PackKind::kJpeg);
    const char* folder = Folder();
    int16_t slot = 0;
    PlaceMarker(0);
    EXPECT_EQ(LoadJpegImageFromMemory(30, &slot, &m_store, folder, kBackgroundJpmKey), 0);
    EXPECT_EQ(LoadJpegImageFromPack(30, &slot, &m_store, folder), 0);
    EXPECT_EQ(LoadTgaImage(31, &slot, &m_store, folder), 0);
    EXPECT_EQ(LoadJpegImageFromPack(31, &slot, &m_store, folder), 0);
    EXPECT_EQ(LoadTgaImage(32, &slot, &m_store, folder), 0);
    EXPECT_EQ(LoadJpegImageFromMemory(32, &slot, &m_store, folder, kBackgroundJpmKey), 0);
    EXPECT_EQ(slot, 0);
    ExpectMarker(0);
}

TEST_F(ImageLoadersTest, Tga32RowsTurnOverAndAlphaInverts)
{
    std::vector<uint8_t> bytes = TgaHeader(2, 2, 2, 32);
    // Row A (first in the file), then row B; pixels B, G, R, A.
    const uint8_t rows[] = {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 128, 10, 11, 12, 1};
    bytes.insert(bytes.end(), rows, rows + sizeof rows);
    int16_t slot = -1;
    ASSERT_EQ(LoadTgaBytes(bytes, &slot, &m_store), 1);
    const GBitmap& image = *Pool(slot);
    const uint8_t* pixels = image.GetPixels();
    const uint8_t expectedPixels[] = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(pixels, expectedPixels, 6), 0);
    EXPECT_EQ(std::memcmp(pixels + image.GetPitch(), expectedPixels + 6, 6), 0);
    const uint8_t expectedAlpha[] = {127, 254, 0, 255};
    EXPECT_EQ(std::memcmp(image.GetAlpha(), expectedAlpha, 4), 0);
}

TEST_F(ImageLoadersTest, Tga24KeepsTheRowOrder)
{
    std::vector<uint8_t> bytes = TgaHeader(2, 1, 3, 24);
    const uint8_t rows[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    bytes.insert(bytes.end(), rows, rows + sizeof rows);
    int16_t slot = -1;
    ASSERT_EQ(LoadTgaBytes(bytes, &slot, &m_store), 1);
    EXPECT_EQ(std::memcmp(Pool(slot)->GetPixels(), rows, sizeof rows), 0);
    // The spare row and pixel of the block are zeroed, not left over.
    const GPixelBlock* block = Pool(slot)->GetPixelBlock();
    for (uint32_t i = sizeof rows; i < block->GetSize(); ++i)
        EXPECT_EQ(block->GetData()[i], 0) << i;
}

TEST_F(ImageLoadersTest, MalformedTgaHeadersAreRefused)
{
    const std::vector<uint8_t> good = [] {
        std::vector<uint8_t> bytes = TgaHeader(2, 4, 3, 24);
        bytes.resize(18 + 4 * 3 * 3, 0x55);
        return bytes;
    }();
    int16_t slot = -1;
    ASSERT_EQ(LoadTgaBytes(good, &slot, &m_store), 1);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto withByte = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = value;
        return bytes;
    };
    cases.push_back({"ID field", withByte(0, 1)});
    cases.push_back({"colour map", withByte(1, 1)});
    cases.push_back({"run-length type", withByte(2, 10)});
    cases.push_back({"colour-mapped type", withByte(2, 1)});
    cases.push_back({"origin field", withByte(8, 1)});
    cases.push_back({"16-bit depth", withByte(16, 16)});
    cases.push_back({"greyscale at 24 bits", withByte(2, 3)});
    cases.push_back({"zero width", withByte(12, 0)});
    cases.push_back({"one pixel short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 18)});
    cases.push_back({"short header", std::vector<uint8_t>(good.begin(), good.begin() + 17)});
    {
        std::vector<uint8_t> huge = TgaHeader(2, 65535, 65535, 32);
        huge.resize(4096, 0);
        cases.push_back({"65535 x 65535 in 4 KiB", huge});
    }
    {
        std::vector<uint8_t> wide = TgaHeader(3, 40000, 1, 8);
        wide.resize(18 + 40000, 0);
        cases.push_back({"side beyond 16-bit images", wide});
    }

    PlaceMarker(2);
    for (const Case& c : cases) {
        slot = 2;
        EXPECT_EQ(LoadTgaBytes(c.bytes, &slot, &m_store), 0) << c.what;
        EXPECT_EQ(slot, 2) << c.what;
        ExpectMarker(2);
    }
    EXPECT_EQ(LoadTgaImageFromBytes(nullptr, 100, &slot, &m_store), 0);
}

TEST_F(ImageLoadersTest, MalformedJpmHeadersAreRefused)
{
    const Picture picture = MakePicture(10, 6, 6);
    std::vector<uint8_t> good;
    ASSERT_TRUE(packtool::MakeJpm(picture, 90, kBackgroundJpmKey, good));
    const uint32_t maskOffset = static_cast<uint32_t>(good.size()) - 60;
    int16_t slot = -1;
    ASSERT_EQ(LoadJpmBytes(good, &slot, &m_store, kBackgroundJpmKey), 1);

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto withU32 = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        PutU32At(bytes, at, value);
        return bytes;
    };
    {
        std::vector<uint8_t> bytes = good;
        bytes[2] = 'X';
        cases.push_back({"third byte not M", bytes});
    }
    cases.push_back({"width beyond 16 bits", withU32(4, 0x10000 + 10)});
    cases.push_back({"height beyond 16 bits", withU32(8, 0x10000 + 6)});
    cases.push_back({"width beyond signed 16 bits", withU32(4, 40000)});
    cases.push_back({"zero height", withU32(8, 0)});
    cases.push_back({"width other than the stream's", withU32(4, 9)});
    cases.push_back({"height other than the stream's", withU32(8, 3)});
    cases.push_back({"colour inside the header", withU32(12, 4)});
    cases.push_back({"colour after the mask", withU32(12, maskOffset + 1)});
    cases.push_back({"mask past the end", withU32(16, static_cast<uint32_t>(good.size()) + 1)});
    cases.push_back({"mask offset near 4 GiB", withU32(16, 0xFFFFFFF0u)});
    cases.push_back({"mask one byte short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
    cases.push_back({"short header", std::vector<uint8_t>(good.begin(), good.begin() + 19)});
    {
        std::vector<uint8_t> bytes = good;
        PutU32At(bytes, 16, 20); // empty colour stream
        cases.push_back({"no colour stream", bytes});
    }

    PlaceMarker(3);
    for (const Case& c : cases) {
        slot = 3;
        EXPECT_EQ(LoadJpmBytes(c.bytes, &slot, &m_store, kBackgroundJpmKey), 0) << c.what;
        EXPECT_EQ(slot, 3) << c.what;
        ExpectMarker(3);
    }
}

// A mask longer than the picture needs is read up to its width * height bytes.
TEST_F(ImageLoadersTest, JpmWithASurplusMaskTailLoads)
{
    const Picture picture = MakePicture(12, 9, 7);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(packtool::MakeJpm(picture, 95, kBackgroundJpmKey, bytes));
    bytes.insert(bytes.end(), 50, 0xAB);
    int16_t slot = -1;
    ASSERT_EQ(LoadJpmBytes(bytes, &slot, &m_store, kBackgroundJpmKey), 1);
    ExpectMaskExact(*Pool(slot), picture);
}

TEST_F(ImageLoadersTest, TruncatedJpegStreamsStillGiveWholeImages)
{
    const Picture picture = MakePicture(40, 40, 8, false);
    std::vector<uint8_t> jpm, pack;
    ASSERT_TRUE(packtool::MakeJpm(picture, 90, kBackgroundJpmKey, jpm));

    // Cut a pack JPEG half way through its coded data, after the scan header.
    const std::vector<uint8_t> bgr = packtool::BgrOf(picture);
    ASSERT_TRUE(EncodeJpeg(bgr.data(), 40, 40, 40 * 3, 90, true, pack));
    size_t scan = 0;
    while (scan + 1 < pack.size() && !(pack[scan] == 0xFF && pack[scan + 1] == 0xDA))
        ++scan;
    ASSERT_LT(scan + 1, pack.size());
    pack.resize(scan + (pack.size() - scan) / 2);
    GPackDataSource::Scramble(pack.data(), pack.size(), kPackJpegWriteKey);
    int16_t slot = -1;
    ASSERT_EQ(LoadPackJpegBytes(pack, &slot, &m_store), 1);
    const GBitmap& cut = *Pool(slot);
    EXPECT_EQ(cut.GetWidth(), 40);
    EXPECT_EQ(cut.GetHeight(), 40);
    // The top rows still carry the picture.
    const uint8_t* top = cut.GetPixels();
    EXPECT_NEAR(top[2], picture.rgba[0], 8);

    // Damage a JPM's coded data in the middle (but keep the header and the mask).
    const uint32_t colourOffset = 20;
    const uint32_t maskOffset = jpm[16] | (jpm[17] << 8) | (jpm[18] << 16) | (jpm[19] << 24);
    for (uint32_t i = colourOffset + (maskOffset - colourOffset) * 3 / 4; i < maskOffset - 2; ++i)
        jpm[i] ^= 0x5A;
    slot = -1;
    ASSERT_EQ(LoadJpmBytes(jpm, &slot, &m_store, kBackgroundJpmKey), 1);
    ExpectMaskExact(*Pool(slot), picture);
}

// Greyscale streams deliver one byte per pixel; both JPEG loaders turn them into grey pixels
// rather than reading them as four-byte colour.
TEST_F(ImageLoadersTest, GreyscaleJpegsBecomeGreyPixels)
{
    const int32_t width = 19, height = 11;
    std::vector<uint8_t> grey(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            grey[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(60 + 6 * x + 3 * y);
    // libjpeg turns R = G = B back into exactly that grey.
    std::vector<uint8_t> rgb;
    for (uint8_t value : grey)
        rgb.insert(rgb.end(), {value, value, value});
    const std::vector<uint8_t> stream =
        jpeg_test::EncodeWithLibjpeg(rgb, width, height, {.components = 1, .quality = 95});

    std::vector<uint8_t> pack = stream;
    GPackDataSource::Scramble(pack.data(), pack.size(), kPackJpegWriteKey);
    std::vector<uint8_t> jpm = {'J', 'P', 'M', 0};
    for (uint32_t value : {uint32_t(width), uint32_t(height), 20u, uint32_t(20 + stream.size())})
        for (int i = 0; i < 4; ++i)
            jpm.push_back(static_cast<uint8_t>(value >> (8 * i)));
    const size_t colourAt = jpm.size();
    jpm.insert(jpm.end(), stream.begin(), stream.end());
    XorScramble(jpm.data() + colourAt, nullptr, static_cast<uint32_t>(stream.size()),
                kBackgroundJpmKey);
    jpm.insert(jpm.end(), grey.begin(), grey.end()); // any mask will do

    int16_t packSlot = -1, jpmSlot = -1;
    ASSERT_EQ(LoadPackJpegBytes(pack, &packSlot, &m_store), 1);
    ASSERT_EQ(LoadJpmBytes(jpm, &jpmSlot, &m_store, kBackgroundJpmKey), 1);
    for (const GBitmap* image : {Pool(packSlot), Pool(jpmSlot)}) {
        ASSERT_EQ(image->GetWidth(), width);
        ASSERT_EQ(image->GetHeight(), height);
        int worst = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* p = image->GetPixels() + y * image->GetPitch() + x * 3;
                EXPECT_EQ(p[0], p[1]);
                EXPECT_EQ(p[1], p[2]);
                worst = std::max(worst, std::abs(p[0] - grey[static_cast<size_t>(y) * width + x]));
            }
        EXPECT_LE(worst, 6);
    }
    EXPECT_EQ(std::memcmp(Pool(jpmSlot)->GetAlpha(), grey.data(), grey.size()), 0);
}

TEST_F(ImageLoadersTest, NotAJpegIsRefused)
{
    int16_t slot = 1;
    PlaceMarker(1);
    std::vector<uint8_t> bytes(600, 0x11);
    EXPECT_EQ(LoadPackJpegBytes(bytes, &slot, &m_store), 0);
    EXPECT_EQ(LoadPackJpegImageFromBytes(bytes.data(), 0, &slot, &m_store), 0);
    ExpectMarker(1);

    // A progressive stream is refused by the decoder, and so by the loader.
    std::vector<uint8_t> progressive = {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x11, 0x08, 0x00, 0x08, 0x00,
                                        0x08, 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03,
                                        0x11, 0x01, 0xFF, 0xD9};
    GPackDataSource::Scramble(progressive.data(), progressive.size(), 0x42);
    EXPECT_EQ(LoadPackJpegBytes(progressive, &slot, &m_store), 0);
    EXPECT_EQ(slot, 1);
    ExpectMarker(1);
}

TEST_F(ImageLoadersTest, SlotsFirstFreeExplicitAndFullPool)
{
    const Picture picture = MakePicture(5, 4, 9);
    WritePicturePack(40, picture, PackKind::kTga24);
    const char* folder = Folder();

    PlaceMarker(0);
    PlaceMarker(2);
    int16_t slot = -1;
    ASSERT_EQ(LoadTgaImage(40, &slot, &m_store, folder), 1);
    EXPECT_EQ(slot, 1);
    // An explicit slot replaces what it held.
    slot = 2;
    ASSERT_EQ(LoadTgaImage(40, &slot, &m_store, folder), 1);
    EXPECT_EQ(slot, 2);
    EXPECT_EQ(Pool(2)->GetWidth(), 5);
    // A null slot means the first free one.
    ASSERT_EQ(LoadTgaImage(40, nullptr, &m_store, folder), 1);
    EXPECT_NE(Pool(3), nullptr);

    for (int16_t i = 4; i < kPoolSlots; ++i)
        PlaceMarker(i);
    slot = -1;
    EXPECT_EQ(LoadTgaImage(40, &slot, &m_store, folder), 0);
    EXPECT_EQ(slot, -1) << "the pool refused";
    slot = kPoolSlots;
    EXPECT_EQ(LoadTgaImage(40, &slot, &m_store, folder), 0);
    EXPECT_EQ(slot, -1);
}

TEST_F(ImageLoadersTest, AStoreWithoutPoolRefuses)
{
    GGraphicsResources empty;
    const Picture picture = MakePicture(5, 4, 10);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(packtool::MakeTga(picture, PackKind::kTga24, bytes));
    int16_t slot = 0;
    EXPECT_EQ(LoadTgaBytes(bytes, &slot, &empty), 0);
    EXPECT_EQ(slot, -1);
}

TEST(PackDataSourceTest, KeyStep)
{
    EXPECT_EQ(GPackDataSource::NextKey(0), 2);    // 0: remainder 0
    EXPECT_EQ(GPackDataSource::NextKey(5), 11);   // 10: remainder 1
    EXPECT_EQ(GPackDataSource::NextKey(14), 29);  // 28: remainder 1
    EXPECT_EQ(GPackDataSource::NextKey(127), 0);  // 254 + 2 wraps
    EXPECT_EQ(GPackDataSource::NextKey(128), 2);  // 256 + 2 in 8 bits
    EXPECT_EQ(GPackDataSource::NextKey(221), 187); // 442: remainder 1, 443 in 8 bits
    EXPECT_EQ(GPackDataSource::NextKey(255), 0);  // 510: remainder 6, 512 in 8 bits
}

TEST(PackDataSourceTest, FirstByteReadsAsFFAndChunksDoNotMatter)
{
    std::vector<uint8_t> plain(5000);
    std::mt19937 random(11);
    for (auto& b : plain)
        b = static_cast<uint8_t>(random());
    plain[0] = 0xFF;
    for (int startKey : {0, 1, 0x7F, 0xA6, 0xFF}) {
        std::vector<uint8_t> stored = plain;
        GPackDataSource::Scramble(stored.data(), stored.size(), static_cast<uint8_t>(startKey));
        auto source = GPackDataSource::Create(1);
        source->Attach(stored.data(), static_cast<uint32_t>(stored.size()));
        std::vector<uint8_t> read;
        bool end = false;
        int32_t step = 1;
        while (!end) {
            uint8_t buffer[700];
            const int32_t n = source->Read(buffer, step, &end);
            ASSERT_GE(n, 0);
            read.insert(read.end(), buffer, buffer + n);
            step = step % 700 + 37;
        }
        EXPECT_EQ(read, plain) << startKey;
        uint8_t buffer[4];
        EXPECT_EQ(source->Read(buffer, 4, &end), 0);
        EXPECT_TRUE(end);
        EXPECT_EQ(source->Read(buffer, -3, &end), 0);
    }
    // Whatever the first stored byte is, it reads back as 0xFF.
    for (int first = 0; first < 256; ++first) {
        uint8_t stored[2] = {static_cast<uint8_t>(first), 0};
        auto source = GPackDataSource::Create(1);
        source->Attach(stored, 2);
        uint8_t out = 0;
        bool end = true;
        ASSERT_EQ(source->Read(&out, 1, &end), 1);
        EXPECT_EQ(out, 0xFF);
        EXPECT_FALSE(end);
    }
}

TEST_F(ImageLoadersTest, PackSourceOpensAndGivesBackItsPack)
{
    WritePackBytes(50, {0x10, 0x20, 0x30});
    auto source = GPackDataSource::Create(1);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->Open(50, Folder()), 1);
    EXPECT_EQ(source->GetSize(), 3u);
    EXPECT_EQ(source->GetData()[1], 0x20);
    // Opening again closes first, so the one-pack cache has room.
    ASSERT_EQ(source->Open(50, Folder()), 1);
    EXPECT_EQ(source->Open(51, Folder()), 0);
    EXPECT_EQ(source->GetData(), nullptr);
    EXPECT_EQ(source->GetSize(), 0u);
    bool end = false;
    uint8_t buffer[4];
    EXPECT_EQ(source->Read(buffer, 4, &end), 0);
    EXPECT_TRUE(end);
    ASSERT_EQ(source->Open(50, Folder()), 1);
    source->Close();
    ASSERT_EQ(source->Open(50, Folder()), 1);
}
