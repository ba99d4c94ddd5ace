#include "graphics/store/image_loaders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "foundation/image/bitmap.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/jpeg/jpeg_writer.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/data_source.h"
#include "graphics/store/graphics_resources.h"
#include "graphics/store/pack_data_source.h"
#include "support/jpeg_test_streams.h"
#include "support/picture_checks.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-datapacks/pack_writer.h"

using packtool::PackKind;
using packtool::Picture;
using Bytes = std::vector<uint8_t>;
using picture_checks::ExpectMask;
using picture_checks::ExpectPixels;

namespace {

constexpr int16_t kPoolSlots = 6;

// Smooth colours and a mask holding every kind of value. The square's hard edges are for
// exact round trips; JPEG smears them (chroma is sampled 2 x 2), so lossy checks go without.
Picture MakePicture(int32_t width, int32_t height, uint32_t seed, bool sharpSquare = true)
{
    Picture picture;
    picture.width = width, picture.height = height;
    picture.rgba.resize(static_cast<size_t>(width) * height * 4);
    std::mt19937 random(seed);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &picture.rgba[(static_cast<size_t>(y) * width + x) * 4];
            const bool square = sharpSquare && x >= width / 4 && x < width / 2 && y >= height / 4 && y < height / 2;
            p[0] = square ? 230 : static_cast<uint8_t>(40 + 150 * x / width);
            p[1] = square ? 40 : static_cast<uint8_t>(60 + 120 * y / height);
            p[2] = square ? 60 : static_cast<uint8_t>(200 - 100 * (x + y) / (width + height));
            p[3] = static_cast<uint8_t>(random());
        }
    return picture;
}

// The engine's decoding of the picture encoded as a plain JPEG stream: what a loader must
// deliver exactly once the scrambling is undone.
Bytes DecodePlain(const Picture& picture, int32_t quality)
{
    const Bytes bgr = packtool::BgrOf(picture);
    Bytes plain;
    EXPECT_TRUE(EncodeJpeg(bgr.data(), picture.width, picture.height, picture.width * 3, quality, true, plain));
    return jpeg_test::DecodeBgr(plain).bgr;
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth)
{
    Bytes bytes(18, 0);
    bytes[2] = type;
    bytes[12] = uint8_t(width), bytes[13] = uint8_t(width >> 8);
    bytes[14] = uint8_t(height), bytes[15] = uint8_t(height >> 8);
    bytes[16] = depth;
    return bytes;
}

Bytes WithU32(Bytes bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
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

    void WritePicturePack(int32_t number, const Picture& picture, PackKind kind, int32_t quality = 95)
    {
        Bytes bytes;
        ASSERT_TRUE(packtool::MakePack(picture, kind, quality, bytes));
        ASSERT_TRUE(packtool::WritePack(m_folder.Path(), number, bytes));
    }
    const char* Folder() const { return m_folder.Path().c_str(); }
    GBitmap* Pool(int16_t slot) const { return m_store.GetPool()->GetBitmap(slot); }
    // The loaders by pack kind (kTga, kJpm, kJpeg), from a pack file or from bytes.
    enum Loader { kTga, kJpm, kJpeg };
    int Load(Loader loader, int32_t pack, int16_t* slot)
    {
        return loader == kTga   ? LoadTgaImage(pack, slot, &m_store, Folder())
               : loader == kJpm ? LoadJpegImageFromMemory(pack, slot, &m_store, Folder(), kBackgroundJpmKey)
                                : LoadJpegImageFromPack(pack, slot, &m_store, Folder());
    }
    int Load(Loader loader, const Bytes& b, int16_t* slot)
    {
        const uint32_t size = uint32_t(b.size());
        return loader == kTga   ? LoadTgaImageFromBytes(b.data(), size, slot, &m_store)
               : loader == kJpm ? LoadJpmImageFromBytes(b.data(), size, slot, &m_store, kBackgroundJpmKey)
                                : LoadPackJpegImageFromBytes(b.data(), size, slot, &m_store);
    }

    // A marker image in the slot shows that a refused file left it alone.
    void PlaceMarker(int16_t slot) { ASSERT_EQ(m_store.CreateBitmap(3, 2, 0x123456, 1, nullptr, nullptr, slot), slot); }
    void ExpectMarker(int16_t slot)
    {
        EXPECT_TRUE(Pool(slot) && Pool(slot)->GetWidth() == 3 && Pool(slot)->GetKeyColour() == 0x123456u) << slot;
    }
    // Each of the byte strings must be refused, leaving the slot's marker as it was.
    void ExpectRefused(Loader loader, const std::vector<std::pair<const char*, Bytes>>& cases, int16_t marker)
    {
        PlaceMarker(marker);
        for (const auto& [what, bytes] : cases) {
            int16_t slot = marker;
            EXPECT_EQ(Load(loader, bytes, &slot), 0) << what;
            EXPECT_EQ(slot, marker) << what;
        }
        ExpectMarker(marker);
    }

    tolvanrise::test::TempFolder m_folder{"tolvanrise-loaders-"};
    GGraphicsResources m_store;
};

} // namespace

TEST_F(ImageLoadersTest, TgaRoundTripsAreExact)
{
    const Picture picture = MakePicture(37, 21, 1);
    const PackKind kinds[] = {PackKind::kTga24, PackKind::kTga32, PackKind::kTga8};
    const int formats[] = {0, 2, 14};
    for (int16_t i = 0; i < 3; ++i) {
        WritePicturePack(1 + i, picture, kinds[i]);
        int16_t slot = -1;
        ASSERT_EQ(LoadTgaImage(1 + i, &slot, &m_store, Folder()), 1);
        ASSERT_EQ(slot, i);
        EXPECT_EQ(Pool(i)->GetFormat(), formats[i]);
    }
    ExpectPixels(*Pool(0), picture);
    ExpectPixels(*Pool(1), picture);
    ExpectMask(*Pool(1), picture);
    EXPECT_TRUE(!Pool(0)->GetAlpha() && !Pool(2)->GetPixels());
    ASSERT_NE(Pool(2)->GetAlpha(), nullptr);
    for (size_t i = 0; i < 37u * 21u; ++i)
        ASSERT_EQ(Pool(2)->GetAlpha()[i], packtool::GreyOf(&picture.rgba[i * 4])) << i;
    // The absolute slot follows the loaded part of the table.
    EXPECT_EQ(m_store.GetBitmap(m_store.GetLoadedSlots() + 1), Pool(1));
}

// Unscrambling is exact: the pictures equal the engine's decoding of the plain stream.
TEST_F(ImageLoadersTest, JpegRoundTripsMatchThePlainStream)
{
    const Picture jpmPicture = MakePicture(45, 30, 2, false);
    WritePicturePack(7, jpmPicture, PackKind::kJpm, 90);
    int16_t slot = 4;
    ASSERT_EQ(Load(kJpm, 7, &slot), 1);
    EXPECT_EQ(std::tuple(slot, Pool(4)->GetFormat()), std::tuple(4, 2));
    ExpectPixels(*Pool(4), jpmPicture, 16, 3.0);
    ExpectMask(*Pool(4), jpmPicture);
    EXPECT_EQ(Bytes(Pool(4)->GetPixels(), Pool(4)->GetPixels() + 45 * 30 * 3), DecodePlain(jpmPicture, 90));

    const Picture packPicture = MakePicture(33, 19, 3, false);
    WritePicturePack(12, packPicture, PackKind::kJpeg, 90);
    slot = -1;
    ASSERT_EQ(Load(kJpeg, 12, &slot), 1);
    ASSERT_EQ(std::tuple(slot, Pool(0)->GetFormat()), std::tuple(0, 0));
    ExpectPixels(*Pool(0), packPicture, 16, 3.0);
    EXPECT_EQ(Bytes(Pool(0)->GetPixels(), Pool(0)->GetPixels() + 33 * 19 * 3), DecodePlain(packPicture, 90));

    // Another key does not read the JPM's colour stream.
    PlaceMarker(5);
    slot = 5;
    EXPECT_EQ((std::pair{LoadJpegImageFromMemory(7, &slot, &m_store, Folder(), kBackgroundJpmKey + 1), slot}),
              (std::pair{0, int16_t(5)}));
    ExpectMarker(slot);
}

// A picture control tries the three loaders in turn on one pack; only the right one accepts,
// as often as asked. Missing packs and a missing store fail.
TEST_F(ImageLoadersTest, EachLoaderTakesItsKindAgainAndRefusesTheOthers)
{
    const Picture picture = MakePicture(16, 16, 5);
    const PackKind kinds[] = {PackKind::kTga32, PackKind::kJpm, PackKind::kJpeg};
    for (int k = 0; k < 3; ++k)
        WritePicturePack(30 + k, picture, kinds[k]);
    PlaceMarker(0);
    for (int round = 0; round < 2; ++round)
        for (Loader loader : {kTga, kJpm, kJpeg})
            for (int pack = 0; pack < 3; ++pack) {
                int16_t slot = loader == pack ? int16_t(1 + loader) : 0;
                EXPECT_EQ((std::pair{Load(loader, 30 + pack, &slot), int(slot)}),
                          (std::pair{loader == pack ? 1 : 0, loader == pack ? 1 + loader : 0})) << loader << " " << pack;
            }
    ExpectMarker(0);
    for (Loader loader : {kTga, kJpm, kJpeg}) {
        int16_t slot = 4;
        EXPECT_EQ((std::pair{Load(loader, 99, &slot), slot}), (std::pair{0, int16_t(4)}));
        EXPECT_EQ(LoadTgaImage(30, &slot, nullptr, Folder()), 0);
    }
}

TEST_F(ImageLoadersTest, TgaRowsTurnOverAt32BitsAlphaInverts24BitsKeepTheOrderAndMalformedHeadersAreRefused)
{
    Bytes tga32 = TgaHeader(2, 2, 2, 32);
    // Row A (first in the file), then row B; pixels B, G, R, A.
    tga32.insert(tga32.end(), {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 128, 10, 11, 12, 1});
    int16_t slot = -1;
    ASSERT_EQ(Load(kTga, tga32, &slot), 1);
    const GBitmap& image = *Pool(slot);
    EXPECT_EQ(Bytes(image.GetPixels(), image.GetPixels() + 6), (Bytes{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(Bytes(image.GetPixels() + image.GetPitch(), image.GetPixels() + image.GetPitch() + 6),
              (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Bytes(image.GetAlpha(), image.GetAlpha() + 4), (Bytes{127, 254, 0, 255}));

    Bytes tga24 = TgaHeader(2, 1, 3, 24);
    const Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    tga24.insert(tga24.end(), rows.begin(), rows.end());
    slot = -1;
    ASSERT_EQ(Load(kTga, tga24, &slot), 1);
    const GPixelBlock* block = Pool(slot)->GetPixelBlock();
    Bytes expected = rows;
    expected.resize(block->GetSize(), 0); // the spare row and pixel are zeroed
    EXPECT_EQ(Bytes(block->GetData(), block->GetData() + block->GetSize()), expected);

    Bytes good = TgaHeader(2, 4, 3, 24);
    good.resize(18 + 4 * 3 * 3, 0x55);
    slot = -1;
    ASSERT_EQ(Load(kTga, good, &slot), 1);
    auto with = [&](size_t at, uint8_t value) {
        Bytes bytes = good;
        bytes[at] = value;
        return bytes;
    };
    Bytes huge = TgaHeader(2, 65535, 65535, 32), wide = TgaHeader(3, 40000, 1, 8);
    huge.resize(4096, 0);
    wide.resize(18 + 40000, 0);
    ExpectRefused(kTga, {{"ID field", with(0, 1)},
                   {"colour map", with(1, 1)},
                   {"run-length type", with(2, 10)},
                   {"colour-mapped type", with(2, 1)},
                   {"origin field", with(8, 1)},
                   {"16-bit depth", with(16, 16)},
                   {"greyscale at 24 bits", with(2, 3)},
                   {"zero width", with(12, 0)},
                   {"one pixel short", Bytes(good.begin(), good.end() - 1)},
                   {"header only", Bytes(good.begin(), good.begin() + 18)},
                   {"short header", Bytes(good.begin(), good.begin() + 17)},
                   {"65535 x 65535 in 4 KiB", huge},
                   {"side beyond 16-bit images", wide}},
                  2);
    EXPECT_EQ(LoadTgaImageFromBytes(nullptr, 100, &slot, &m_store), 0);
}

TEST_F(ImageLoadersTest, MalformedJpmHeadersNotAJpegOrAProgressiveOneAreRefused)
{
    Bytes good;
    ASSERT_TRUE(packtool::MakeJpm(MakePicture(10, 6, 6), 90, kBackgroundJpmKey, good));
    const uint32_t size = static_cast<uint32_t>(good.size()), maskOffset = size - 60;
    int16_t slot = -1;
    ASSERT_EQ(Load(kJpm, good, &slot), 1);
    Bytes notM = good;
    notM[2] = 'X';
    ExpectRefused(kJpm, {{"third byte not M", notM},
                   {"width beyond 16 bits", WithU32(good, 4, 0x10000 + 10)},
                   {"height beyond 16 bits", WithU32(good, 8, 0x10000 + 6)},
                   {"width beyond signed 16 bits", WithU32(good, 4, 40000)},
                   {"zero height", WithU32(good, 8, 0)},
                   {"width other than the stream's", WithU32(good, 4, 9)},
                   {"height other than the stream's", WithU32(good, 8, 3)},
                   {"colour inside the header", WithU32(good, 12, 4)},
                   {"colour after the mask", WithU32(good, 12, maskOffset + 1)},
                   {"mask past the end", WithU32(good, 16, size + 1)},
                   {"mask offset near 4 GiB", WithU32(good, 16, 0xFFFFFFF0u)},
                   {"no colour stream", WithU32(good, 16, 20)},
                   {"mask one byte short", Bytes(good.begin(), good.end() - 1)},
                   {"header only", Bytes(good.begin(), good.begin() + 20)},
                   {"short header", Bytes(good.begin(), good.begin() + 19)}},
                  3);

    // A mask longer than the picture needs is read up to its width * height bytes.
    const Picture picture = MakePicture(12, 9, 7);
    Bytes surplus;
    ASSERT_TRUE(packtool::MakeJpm(picture, 95, kBackgroundJpmKey, surplus));
    surplus.insert(surplus.end(), 50, 0xAB);
    slot = -1;
    ASSERT_EQ(Load(kJpm, surplus, &slot), 1);
    ExpectMask(*Pool(slot), picture);

    const Bytes noise(600, 0x11);
    // A progressive stream is refused by the decoder, and so by the loader.
    Bytes progressive = {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x11, 0x08, 0x00, 0x08, 0x00, 0x08, 0x03,
                         0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0xFF, 0xD9};
    GPackDataSource::Scramble(progressive.data(), progressive.size(), 0x42);
    ExpectRefused(kJpeg, {{"noise", noise}, {"progressive", progressive}}, 1);
    slot = 1;
    EXPECT_EQ(LoadPackJpegImageFromBytes(noise.data(), 0, &slot, &m_store), 0);
}

// Greyscale streams deliver one byte per pixel; both JPEG loaders turn them into grey pixels
// rather than reading them as four-byte colour.
TEST_F(ImageLoadersTest, GreyscaleJpegsBecomeGreyPixels)
{
    const int32_t width = 19, height = 11;
    Bytes grey, rgb;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            grey.push_back(static_cast<uint8_t>(60 + 6 * x + 3 * y));
    for (uint8_t value : grey) // libjpeg turns R = G = B back into exactly that grey
        rgb.insert(rgb.end(), {value, value, value});
    const Bytes stream = jpeg_test::EncodeWithLibjpeg(rgb, width, height, {.components = 1, .quality = 95});

    Bytes pack = stream;
    GPackDataSource::Scramble(pack.data(), pack.size(), kPackJpegWriteKey);
    Bytes jpm = {'J', 'P', 'M', 0};
    for (uint32_t value : {uint32_t(width), uint32_t(height), 20u, uint32_t(20 + stream.size())})
        for (int i = 0; i < 4; ++i)
            jpm.push_back(static_cast<uint8_t>(value >> (8 * i)));
    jpm.insert(jpm.end(), stream.begin(), stream.end());
    XorScramble(jpm.data() + 20, nullptr, static_cast<uint32_t>(stream.size()), kBackgroundJpmKey);
    jpm.insert(jpm.end(), grey.begin(), grey.end()); // any mask will do

    int16_t packSlot = -1, jpmSlot = -1;
    ASSERT_TRUE(Load(kJpeg, pack, &packSlot) && Load(kJpm, jpm, &jpmSlot));
    for (const GBitmap* image : {Pool(packSlot), Pool(jpmSlot)}) {
        ASSERT_EQ((std::pair<int, int>(image->GetWidth(), image->GetHeight())), std::make_pair(width, height));
        int worst = 0, coloured = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* p = image->GetPixels() + y * image->GetPitch() + x * 3;
                coloured += p[0] != p[1] || p[1] != p[2];
                worst = std::max(worst, std::abs(p[0] - grey[static_cast<size_t>(y) * width + x]));
            }
        EXPECT_TRUE(coloured == 0 && worst <= 6) << coloured << " " << worst;
    }
    EXPECT_EQ(Bytes(Pool(jpmSlot)->GetAlpha(), Pool(jpmSlot)->GetAlpha() + grey.size()), grey);
}

TEST_F(ImageLoadersTest, SlotsFirstFreeExplicitAndFullPool)
{
    WritePicturePack(40, MakePicture(5, 4, 9), PackKind::kTga24);
    PlaceMarker(0);
    PlaceMarker(2);
    // The first free slot; an explicit slot replaces what it held.
    for (auto [asked, got] : {std::pair{-1, 1}, {2, 2}}) {
        int16_t slot = int16_t(asked);
        EXPECT_EQ((std::pair{LoadTgaImage(40, &slot, &m_store, Folder()), int(slot)}), (std::pair{1, got}));
    }
    EXPECT_EQ(Pool(2)->GetWidth(), 5);
    ASSERT_EQ(LoadTgaImage(40, nullptr, &m_store, Folder()), 1); // a null slot: the first free one
    EXPECT_NE(Pool(3), nullptr);
    for (int16_t i = 4; i < kPoolSlots; ++i)
        PlaceMarker(i);
    int16_t slot;
    for (int16_t asked : {int16_t(-1), kPoolSlots}) {
        slot = asked;
        EXPECT_EQ((std::pair{LoadTgaImage(40, &slot, &m_store, Folder()), int(slot)}), (std::pair{0, -1}));
    }

    GGraphicsResources empty; // a store without pool
    Bytes bytes;
    ASSERT_TRUE(packtool::MakeTga(MakePicture(5, 4, 10), PackKind::kTga24, bytes));
    slot = 0;
    EXPECT_EQ((std::pair{LoadTgaImageFromBytes(bytes.data(), uint32_t(bytes.size()), &slot, &empty), int(slot)}),
              (std::pair{0, -1}));
}

TEST(PackDataSourceTest, KeyStepFirstByteAndChunks)
{
    const std::pair<int, int> steps[] = {{0, 2}, {5, 11}, {14, 29}, {127, 0}, {128, 2}, {221, 187}, {255, 0}};
    for (auto [key, next] : steps)
        EXPECT_EQ(GPackDataSource::NextKey(uint8_t(key)), next) << key;

    Bytes plain(5000);
    std::mt19937 random(11);
    for (auto& b : plain)
        b = static_cast<uint8_t>(random());
    plain[0] = 0xFF;
    for (int startKey : {0, 1, 0x7F, 0xA6, 0xFF}) {
        Bytes stored = plain;
        GPackDataSource::Scramble(stored.data(), stored.size(), static_cast<uint8_t>(startKey));
        auto source = GPackDataSource::Create(1);
        source->Attach(stored.data(), static_cast<uint32_t>(stored.size()));
        Bytes read;
        bool end = false;
        uint8_t buffer[700];
        for (int32_t step = 1; !end; step = step % 700 + 37) {
            const int32_t n = source->Read(buffer, step, &end);
            ASSERT_GE(n, 0);
            read.insert(read.end(), buffer, buffer + n);
        }
        EXPECT_EQ(read, plain) << startKey;
        EXPECT_EQ(source->Read(buffer, 4, &end), 0);
        EXPECT_TRUE(end && source->Read(buffer, -3, &end) == 0);
    }
    // Whatever the first stored byte is, it reads back as 0xFF.
    for (int first = 0; first < 256; ++first) {
        uint8_t stored[2] = {static_cast<uint8_t>(first), 0}, out = 0;
        auto source = GPackDataSource::Create(1);
        source->Attach(stored, 2);
        bool end = true;
        ASSERT_EQ(source->Read(&out, 1, &end), 1);
        EXPECT_TRUE(out == 0xFF && !end) << first;
    }
}

TEST_F(ImageLoadersTest, PackSourceOpensAndGivesBackItsPack)
{
    ASSERT_TRUE(packtool::WritePack(m_folder.Path(), 50, {0x10, 0x20, 0x30}));
    auto source = GPackDataSource::Create(1);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->Open(50, Folder()), 1);
    EXPECT_EQ(std::tuple(source->GetSize(), source->GetData()[1]), std::tuple(3u, uint8_t(0x20)));
    // Opening again closes first, so the one-pack cache has room.
    ASSERT_EQ(source->Open(50, Folder()), 1);
    EXPECT_EQ(source->Open(51, Folder()), 0);
    EXPECT_TRUE(!source->GetData() && source->GetSize() == 0);
    bool end = false;
    uint8_t buffer[4];
    EXPECT_TRUE(source->Read(buffer, 4, &end) == 0 && end);
    ASSERT_EQ(source->Open(50, Folder()), 1);
    source->Close();
    ASSERT_EQ(source->Open(50, Folder()), 1);
}

// One read of the pack tried as each kind in turn: the kind that accepts decides, and a pack
// none accepts (another JPM key, noise, a missing pack, no store) loads nothing.
TEST_F(ImageLoadersTest, AnyKindLoadsWhateverThePackHolds)
{
    const Picture picture = MakePicture(12, 9, 6, false);
    const PackKind kinds[] = {PackKind::kTga24, PackKind::kTga8, PackKind::kJpm, PackKind::kJpeg};
    const int formats[] = {0, 14, 2, 0};
    for (int16_t k = 0; k < 4; ++k) {
        WritePicturePack(60 + k, picture, kinds[k], 90);
        int16_t slot = -1;
        ASSERT_EQ(LoadPackImageOfAnyKind(60 + k, &slot, &m_store, Folder(), kBackgroundJpmKey), 1)
            << k;
        ASSERT_EQ(slot, k);
        EXPECT_EQ(std::tuple(int(Pool(k)->GetFormat()), Pool(k)->GetWidth(), Pool(k)->GetHeight()),
                  std::tuple(formats[k], 12, 9))
            << k;
    }
    ExpectPixels(*Pool(0), picture);
    ExpectMask(*Pool(2), picture);
    ASSERT_TRUE(packtool::WritePack(m_folder.Path(), 70, Bytes(300, 0x5A)));
    PlaceMarker(5);
    for (auto [pack, key, store] :
         {std::tuple{62, uint8_t(kBackgroundJpmKey + 1), &m_store},
          {70, kBackgroundJpmKey, &m_store},
          {71, kBackgroundJpmKey, &m_store},
          {60, kBackgroundJpmKey, static_cast<GGraphicsResources*>(nullptr)}}) {
        int16_t slot = 5;
        EXPECT_EQ((std::pair{LoadPackImageOfAnyKind(pack, &slot, store, Folder(), key), slot}),
                  (std::pair{0, int16_t(5)}))
            << pack;
    }
    ExpectMarker(5);
}

// Without a store, or without bytes, every loader refuses and leaves the slot alone, even when
// the pack holds its own kind.
TEST_F(ImageLoadersTest, EveryLoaderRefusesWithoutAStoreOrBytes)
{
    const Picture picture = MakePicture(8, 8, 7, false);
    const PackKind kinds[] = {PackKind::kTga24, PackKind::kJpm, PackKind::kJpeg};
    std::vector<Bytes> packs(3);
    for (int k = 0; k < 3; ++k) {
        WritePicturePack(80 + k, picture, kinds[k], 90);
        ASSERT_TRUE(packtool::MakePack(picture, kinds[k], 90, packs[k]));
    }
    GGraphicsResources* none = nullptr;
    const uint32_t size[] = {uint32_t(packs[0].size()), uint32_t(packs[1].size()),
                             uint32_t(packs[2].size())};
    int16_t slot = 3;
    const std::vector<int> results = {
        LoadTgaImage(80, &slot, none, Folder()),
        LoadJpegImageFromMemory(81, &slot, none, Folder(), kBackgroundJpmKey),
        LoadJpegImageFromPack(82, &slot, none, Folder()),
        LoadPackImageOfAnyKind(80, &slot, none, Folder(), kBackgroundJpmKey),
        LoadTgaImageFromBytes(packs[0].data(), size[0], &slot, none),
        LoadJpmImageFromBytes(packs[1].data(), size[1], &slot, none, kBackgroundJpmKey),
        LoadPackJpegImageFromBytes(packs[2].data(), size[2], &slot, none),
        LoadTgaImageFromBytes(nullptr, size[0], &slot, &m_store),
        LoadJpmImageFromBytes(nullptr, size[1], &slot, &m_store, kBackgroundJpmKey),
        LoadPackJpegImageFromBytes(nullptr, size[2], &slot, &m_store)};
    EXPECT_EQ(results, std::vector<int>(10, 0));
    EXPECT_TRUE(slot == 3 && !Pool(3));
}
