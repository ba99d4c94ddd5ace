#include "graphics/graphics_resources.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/bitmap.h"
#include "graphics/data_source.h"
#include "graphics/jpeg_decoder.h"
#include "platform/message_box.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> g_alerts;

bool RecordAlert(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    g_alerts.push_back(request.textUtf8);
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

uint8_t PatternByte(uint32_t seed, size_t i)
{
    return static_cast<uint8_t>(seed * 131u + i * 7u + (i >> 5));
}

Bytes Pattern(uint32_t seed, size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = PatternByte(seed, i);
    return bytes;
}

void Put16(Bytes& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

Bytes Record(uint16_t format, uint16_t w, uint16_t h, uint32_t value, const std::string& name,
             const Bytes& payload, bool pad)
{
    Bytes out;
    Put16(out, format);
    Put16(out, w);
    Put16(out, h);
    Put32(out, value);
    for (size_t i = 0; i < 20; ++i)
        out.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad)
        out.push_back(0xEE); // any value: the reader skips it
    return out;
}

// Records of each payload kind with patterned contents (the seed picks the pattern).
Bytes Rgb(uint16_t format, const std::string& name, uint16_t w, uint16_t h, uint32_t seed,
          uint32_t value = 0)
{
    const size_t pixels = size_t{w} * h;
    return Record(format, w, h, value, name, Pattern(seed, pixels * 3), pixels & 1);
}

Bytes OneByte(uint16_t format, const std::string& name, uint16_t w, uint16_t h, uint32_t seed,
              uint32_t value = 0)
{
    const size_t pixels = size_t{w} * h;
    return Record(format, w, h, value, name, Pattern(seed, pixels), pixels & 1);
}

Bytes Palettised(uint16_t format, const std::string& name, uint16_t w, uint16_t h,
                 uint32_t seed, uint32_t value = 0, uint16_t section = 770)
{
    const size_t pixels = size_t{w} * h;
    Bytes payload;
    Put16(payload, section);
    Bytes rest = Pattern(seed, (section >= 2 ? section - 2 : 0) + pixels);
    payload.insert(payload.end(), rest.begin(), rest.end());
    return Record(format, w, h, value, name, payload, pixels & 1);
}

Bytes JpegRecord(uint16_t format, const std::string& name, uint16_t w, uint16_t h,
                 const Bytes& stream, uint32_t value = 0)
{
    Bytes payload;
    Put32(payload, static_cast<uint32_t>(stream.size()));
    for (uint8_t b : stream)
        payload.push_back(b ^ kBitmapStoreJpegKey);
    return Record(format, w, h, value, name, payload, stream.size() & 1);
}

Bytes EncodeJpeg(int w, int h, bool progressive = false)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 255 / w);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / h);
            row[x * 3 + 2] = static_cast<uint8_t>((x + y) * 4);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

// Our decoder's B, G, R picture of a stream, for exact comparisons.
Bytes DecodeBgr(const Bytes& stream, int w, int h)
{
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(stream.data(), static_cast<uint32_t>(stream.size()));
    Bytes out(size_t(w) * h * 3, 0);
    if (decoder->Begin(&source) == 0)
        decoder->DecodeBgr(out.data(), w * 3);
    return out;
}

// A set under construction: data files of records and the index that lists them.
class SetBuilder {
public:
    SetBuilder& Add(const Bytes& record)
    {
        m_files.back().insert(m_files.back().end(), record.begin(), record.end());
        ++m_records;
        return *this;
    }
    SetBuilder& NextFile()
    {
        m_files.emplace_back();
        return *this;
    }
    int32_t GetRecordCount() const { return m_records; }
    Bytes& File(size_t i) { return m_files[i]; }

    // entryCount < 0: the number of records; fileCount < 0: the files made.
    void Install(GMemorySetSource& source, const char* folder, int32_t entryCount = -1,
                 int32_t fileCount = -1) const
    {
        Bytes index;
        Put16(index, fileCount < 0 ? static_cast<uint32_t>(m_files.size()) : fileCount);
        Put16(index, entryCount < 0 ? static_cast<uint32_t>(m_records) : entryCount);
        source.Add(BitmapIndexPath(folder), index);
        for (size_t i = 0; i < m_files.size(); ++i)
            source.Add(BitmapDataPath(folder, static_cast<int32_t>(i)), m_files[i]);
    }
    void WriteTo(const std::string& folder) const
    {
        fs::create_directories(folder);
        Bytes index;
        Put16(index, static_cast<uint32_t>(m_files.size()));
        Put16(index, static_cast<uint32_t>(m_records));
        WriteFile(folder + "/bmst.bin", index);
        for (size_t i = 0; i < m_files.size(); ++i)
            WriteFile(folder + "/bmdt" + std::to_string(i) + ".bin", m_files[i]);
    }
    static void WriteFile(const std::string& path, const Bytes& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::vector<Bytes> m_files{1};
    int32_t m_records = 0;
};

bool SameBytes(const uint8_t* data, const Bytes& expected)
{
    return data && std::memcmp(data, expected.data(), expected.size()) == 0;
}

int32_t HeldPositions(const GGraphicsResources& store)
{
    int32_t held = 0;
    for (int32_t i = 0; i < store.GetBlockPositionCount(); ++i)
        held += store.HoldsBlockAt(i) ? 1 : 0;
    return held;
}

class BitmapStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_alerts.clear();
        platform::SetMessageBoxBackend(&RecordAlert);
    }
    void TearDown() override { platform::SetMessageBoxBackend(nullptr); }

    // Starts the store from the builder's set in folder "gfx"; expects success.
    void Start(const SetBuilder& set, uint16_t memCount, uint16_t loadCount,
               int32_t entryCount = -1)
    {
        set.Install(m_files, "gfx", entryCount);
        GBitmapStoreError error = m_store.TryInit(m_files, "gfx", memCount, loadCount);
        ASSERT_FALSE(error.Failed()) << error.message;
    }
    GBitmapStoreError StartFails(const SetBuilder& set, uint16_t memCount, uint16_t loadCount,
                                 int32_t entryCount = -1, GBitmapReadLimits limits = {})
    {
        GMemorySetSource files;
        set.Install(files, "gfx", entryCount);
        GBitmapStoreError error = m_store.TryInit(files, "gfx", memCount, loadCount, limits);
        EXPECT_TRUE(error.Failed());
        EXPECT_EQ(m_store.GetSlotCount(), 0); // a failed start leaves nothing behind
        return error;
    }

    GMemorySetSource m_files;
    GGraphicsResources m_store;
};

} // namespace

// ---- start-up ----

// 1000 records in two files with loadCount 4100: entries and positions for 8200 records,
// holes where records make no image, 0 x 0 images in the 7200 never-filled slots.
TEST_F(BitmapStoreTest, ThousandRecordsTakeTheirEntrySlots)
{
    SetBuilder set;
    for (int i = 0; i < 1000; ++i) {
        if (i == 500)
            set.NextFile();
        const std::string name = "R" + std::to_string(i);
        switch (i % 10) {
        case 0: set.Add(OneByte(21, name, 4, 3, i)); break;       // mask, no image
        case 1: set.Add(Rgb(2, name, 4, 3, i, i - 1)); break;     // masked by the record before
        case 2: set.Add(Rgb(5, name, 4, 3, i)); break;            // no image
        case 3: set.Add(OneByte(14, name, 4, 3, i)); break;       // alpha only
        case 4: set.Add(Palettised(16, name, 4, 3, i)); break;
        case 5: set.Add(Rgb(1, name, 3, 3, i, 0x123456)); break;  // keyed, odd size
        default: set.Add(Rgb(0, name, 5, 1 + i % 3, i)); break;
        }
    }
    Start(set, 5000, 4100);

    EXPECT_EQ(m_store.GetEntryCount(), 8200);
    EXPECT_EQ(m_store.GetLoadedSlots(), 8200);
    EXPECT_EQ(m_store.GetMemCount(), 5000);
    EXPECT_EQ(m_store.GetSlotCount(), 13200);
    EXPECT_EQ(m_store.GetBlockPositionCount(), 8200 + 10000);
    EXPECT_EQ(HeldPositions(m_store), 1000);
    ASSERT_NE(m_store.GetPool(), nullptr);
    EXPECT_EQ(m_store.GetPool()->GetFirstSlot(), 8200);

    for (int i = 0; i < 1000; ++i) {
        GBitmap* image = m_store.GetBitmap(i);
        const int kind = i % 10;
        if (kind == 0 || kind == 2) {
            EXPECT_EQ(image, nullptr) << i;
            continue;
        }
        ASSERT_NE(image, nullptr) << i;
        EXPECT_STREQ(image->GetName(), ("R" + std::to_string(i)).c_str());
        EXPECT_EQ(image->GetPixelBlock() ? image->GetPixelBlock() : image->GetAlphaBlock(),
                  m_store.GetBlockAt(i));
        switch (kind) {
        case 1:
            EXPECT_EQ(image->GetFormat(), 2);
            EXPECT_EQ(image->GetAlphaBlock(), m_store.GetBlockAt(i - 1));
            EXPECT_TRUE(SameBytes(image->GetAlpha(), Pattern(i - 1, 12)));
            EXPECT_TRUE(SameBytes(image->GetPixels(), Pattern(i, 36)));
            break;
        case 3:
            EXPECT_EQ(image->GetFormat(), 14);
            EXPECT_EQ(image->GetPixelBlock(), nullptr);
            EXPECT_TRUE(SameBytes(image->GetAlpha(), Pattern(i, 12)));
            break;
        case 4:
            EXPECT_EQ(image->GetFormat(), 16);
            EXPECT_EQ(image->GetPitch(), 4);
            break;
        case 5:
            EXPECT_EQ(image->GetFormat(), 1);
            EXPECT_EQ(image->GetKeyColour(), 0x123456u);
            EXPECT_TRUE(SameBytes(image->GetPixels(), Pattern(i, 27)));
            break;
        default:
            EXPECT_EQ(image->GetFormat(), 0);
            EXPECT_EQ(image->GetWidth(), 5);
            EXPECT_EQ(image->GetHeight(), 1 + i % 3);
            break;
        }
    }
    for (int slot : {1000, 4321, 8199}) {
        GBitmap* empty = m_store.GetBitmap(slot);
        ASSERT_NE(empty, nullptr) << slot;
        EXPECT_EQ(empty->GetWidth(), 0);
        EXPECT_EQ(empty->GetHeight(), 0);
        EXPECT_EQ(empty->GetFormat(), 0);
        EXPECT_STREQ(empty->GetName(), "");
        EXPECT_EQ(m_store.GetBlockAt(slot), nullptr);
    }
    for (int slot : {8200, 10000, 13199})
        EXPECT_EQ(m_store.GetBitmap(slot), nullptr);
    EXPECT_EQ(m_store.GetBitmap(13200), nullptr);
    EXPECT_EQ(m_store.GetBitmap(-1), nullptr);
    EXPECT_EQ(m_store.CreateBitmap(2, 2, 0, 0, nullptr, nullptr, -1), 0);
    EXPECT_NE(m_store.GetBitmap(8200), nullptr);
}

// Without loadCount the entries are the index's; masks of format 15 take no loaded slot, so
// the last images move into the pool's first slots (but never past the table).
TEST_F(BitmapStoreTest, MasksOfFormat15PushTheLastImagesIntoThePool)
{
    SetBuilder set;
    set.Add(OneByte(15, "MASK", 3, 2, 1))
        .Add(Rgb(2, "IMAGE", 3, 2, 2, 0))
        .Add(Rgb(0, "LAST", 2, 2, 3));
    Start(set, 4, 0);
    EXPECT_EQ(m_store.GetEntryCount(), 3);
    EXPECT_EQ(m_store.GetLoadedSlots(), 2);
    EXPECT_EQ(m_store.GetSlotCount(), 6);
    EXPECT_EQ(m_store.GetBitmap(0), nullptr);
    ASSERT_NE(m_store.GetBitmap(1), nullptr);
    EXPECT_EQ(m_store.GetBitmap(1)->GetAlphaBlock(), m_store.GetBlockAt(0));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetAlpha(), Pattern(1, 6)));
    EXPECT_STREQ(m_store.GetBitmap(2)->GetName(), "LAST");
    EXPECT_EQ(m_store.GetPool()->GetBitmap(0), m_store.GetBitmap(2));

    EXPECT_EQ(m_store.FindBitmap("MASK"), -1);
    ASSERT_EQ(g_alerts.size(), 1u);
    EXPECT_EQ(g_alerts[0], "Cannot find bitmap MASK");

    // The pool skips the occupied slot and can replace it; the store's blocks survive that.
    EXPECT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, -1), 1);
    EXPECT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(m_store.HoldsBlockAt(2));
    EXPECT_EQ(m_store.GetBlockAt(2)->GetRefCount(), 1);
}

TEST_F(BitmapStoreTest, OddPixelCountsArePaddedToEvenRecords)
{
    SetBuilder set;
    set.Add(Rgb(0, "ODD", 3, 3, 7)).Add(Rgb(0, "EVEN", 2, 2, 8)).Add(OneByte(14, "A", 1, 3, 9))
        .Add(Palettised(16, "P", 3, 1, 10)).Add(Rgb(0, "TAIL", 1, 1, 11));
    EXPECT_EQ(set.File(0).size(), (30 + 27 + 1) + (30 + 12) + (30 + 3 + 1) + (30 + 770 + 3 + 1) +
                                      (30 + 3 + 1));
    Start(set, 0, 0);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetPixels(), Pattern(8, 12)));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(2)->GetAlpha(), Pattern(9, 3)));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(4)->GetPixels(), Pattern(11, 3)));
}

TEST_F(BitmapStoreTest, AMissingPadByteAtTheEndOfAFileLosesNothing)
{
    SetBuilder set;
    set.Add(Rgb(0, "ODD", 1, 1, 4));
    set.File(0).pop_back();
    Start(set, 0, 0);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), Pattern(4, 3)));
}

TEST_F(BitmapStoreTest, BlocksCarryAZeroedSpareRowAndPixel)
{
    SetBuilder set;
    set.Add(Rgb(0, "RGB", 3, 2, 1)).Add(OneByte(14, "MASK", 3, 2, 2)).Add(Palettised(20, "PAL", 3, 2, 3, 1));
    Start(set, 0, 0);
    GPixelBlock* rgb = m_store.GetBlockAt(0);
    ASSERT_EQ(rgb->GetSize(), (3u * 3 + 1) * 3);
    for (uint32_t i = 18; i < rgb->GetSize(); ++i)
        EXPECT_EQ(rgb->GetData()[i], 0) << i;
    GPixelBlock* mask = m_store.GetBlockAt(1);
    ASSERT_EQ(mask->GetSize(), 3u * 3 + 1);
    for (uint32_t i = 6; i < mask->GetSize(); ++i)
        EXPECT_EQ(mask->GetData()[i], 0) << i;

    // A palettised block: its u16 section size, the palette, then the indices.
    GBitmap* pal = m_store.GetBitmap(2);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal->GetFormat(), 20);
    EXPECT_EQ(pal->GetAlphaBlock(), mask);
    const uint8_t* data = pal->GetPixels();
    EXPECT_EQ(data[0] | (data[1] << 8), 770);
    EXPECT_TRUE(SameBytes(data + 2, Pattern(3, 768 + 6)));
    EXPECT_EQ(pal->GetPixelBlock()->GetSize(), 3u * 3 + 1 + 770);
    for (uint32_t i = 770 + 6; i < pal->GetPixelBlock()->GetSize(); ++i)
        EXPECT_EQ(data[i], 0);
}

TEST_F(BitmapStoreTest, UnterminatedNamesKeepNineteenCharacters)
{
    SetBuilder set;
    set.Add(Rgb(0, "ABCDEFGHIJKLMNOPQRST", 1, 2, 1)).Add(Rgb(0x1200, "HIGHBYTE", 1, 2, 2));
    Start(set, 0, 0);
    EXPECT_STREQ(m_store.GetBitmap(0)->GetName(), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(m_store.FindBitmap("ABCDEFGHIJKLMNOPQRS"), 0);
    // The high byte of the format is cleared.
    EXPECT_EQ(m_store.GetBitmap(1)->GetFormat(), 0);
}

// ---- lookups ----

TEST_F(BitmapStoreTest, FindBitmapSearchesARangeCaseSensitively)
{
    SetBuilder set;
    set.Add(Rgb(0, "Alpha", 1, 2, 1)).Add(Rgb(0, "Beta", 1, 2, 2)).Add(Rgb(0, "Alpha", 1, 2, 3));
    Start(set, 3, 0);
    ASSERT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, 1), 1);
    m_store.GetPool()->GetBitmap(1)->SetName("Glyph");

    EXPECT_EQ(m_store.FindBitmap("Alpha"), 0);
    EXPECT_EQ(m_store.FindBitmap("Alpha", 1, -1), 2);
    EXPECT_EQ(m_store.FindBitmap("Glyph"), 4); // the pool is part of the whole table
    EXPECT_EQ(m_store.FindBitmap("Beta", -7, 1000), 1);
    EXPECT_TRUE(g_alerts.empty());

    EXPECT_EQ(m_store.FindBitmap("alpha"), -1);
    EXPECT_EQ(m_store.FindBitmap("Glyph", 0, 3), -1);
    EXPECT_EQ(m_store.FindBitmap("Beta", 2, 1), -1);
    EXPECT_EQ(m_store.FindBitmap(nullptr), -1);
    EXPECT_EQ(g_alerts, (std::vector<std::string>{"Cannot find bitmap alpha",
                                                  "Cannot find bitmap Glyph",
                                                  "Cannot find bitmap Beta",
                                                  "Cannot find bitmap "}));
}

TEST_F(BitmapStoreTest, TheTableInterfaceChecksItsRange)
{
    SetBuilder set;
    set.Add(Rgb(0, "ONE", 2, 2, 1));
    Start(set, 2, 0);
    const GBitmapTable& table = m_store;
    EXPECT_EQ(table.GetSlotCount(), 3);
    EXPECT_NE(table.FindSlot(0), nullptr);
    EXPECT_EQ(table.FindSlot(1), nullptr);
    EXPECT_EQ(table.FindSlot(3), nullptr);
    EXPECT_EQ(table.FindSlot(-5), nullptr);
    EXPECT_EQ(table.GetBitmap(32767), nullptr);
}

// ---- JPEG records ----

TEST_F(BitmapStoreTest, JpegRecordsDecodeToBgrImages)
{
    const Bytes colour = EncodeJpeg(17, 13);
    SetBuilder set;
    set.Add(OneByte(15, "MASK", 17, 13, 5))
        .Add(JpegRecord(22, "PLAIN", 17, 13, colour))
        .Add(JpegRecord(23, "MASKED", 17, 13, colour, 0));
    Start(set, 1, 0);
    const Bytes expected = DecodeBgr(colour, 17, 13);

    GBitmap* plain = m_store.GetBitmap(1);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->GetFormat(), 0);
    EXPECT_EQ(plain->GetPixelBlock()->GetSize(), (17u * 14 + 1) * 3);
    EXPECT_TRUE(SameBytes(plain->GetPixels(), expected));
    EXPECT_EQ(plain->GetPixels()[17 * 13 * 3], 0); // the spare row stays zero

    GBitmap* masked = m_store.GetBitmap(2);
    ASSERT_NE(masked, nullptr);
    EXPECT_EQ(masked->GetFormat(), 2);
    EXPECT_TRUE(SameBytes(masked->GetPixels(), expected));
    EXPECT_TRUE(SameBytes(masked->GetAlpha(), Pattern(5, 17 * 13)));
}

TEST_F(BitmapStoreTest, JpegOfExactlyOneMebibyteLoadsAndOneByteMoreEndsWith100)
{
    Bytes stream = EncodeJpeg(16, 8);
    stream.resize(kBitmapStoreMaxJpegBytes, 0); // bytes after the end of the image are ignored
    SetBuilder fits;
    fits.Add(JpegRecord(22, "BIG", 16, 8, stream));
    Start(fits, 0, 0);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), DecodeBgr(stream, 16, 8)));

    stream.push_back(0);
    SetBuilder tooBig;
    tooBig.Add(JpegRecord(22, "BIG", 16, 8, stream));
    const GBitmapStoreError error = StartFails(tooBig, 0, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kJpegTooBig);
    EXPECT_EQ(error.exitCode, 100);
    EXPECT_EQ(error.message, "Jpeg data too big!");
}

TEST_F(BitmapStoreTest, RefusedOrDamagedJpegStreamsLeaveZeroedPixels)
{
    const Bytes progressive = EncodeJpeg(16, 16, true);
    Bytes cut = EncodeJpeg(16, 64);
    cut.resize(cut.size() / 2);
    SetBuilder set;
    set.Add(JpegRecord(22, "PROG", 16, 16, progressive))
        .Add(JpegRecord(22, "CUT", 16, 64, cut))
        .Add(JpegRecord(22, "NOISE", 5, 5, Pattern(3, 99)));
    Start(set, 0, 0);
    for (int slot : {0, 2}) {
        GPixelBlock* block = m_store.GetBitmap(slot)->GetPixelBlock();
        ASSERT_NE(block, nullptr);
        for (uint32_t i = 0; i < block->GetSize(); ++i)
            ASSERT_EQ(block->GetData()[i], 0) << slot;
    }
    // A stream cut short still delivers every row, the missing part without detail.
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetPixels(), DecodeBgr(cut, 16, 64)));
}

// ---- malformed sets: each start-up failure with its exit code ----

TEST_F(BitmapStoreTest, AMissingIndexEndsWith255AndShowsThePointer)
{
    GMemorySetSource none;
    GBitmapStoreError error = m_store.TryInit(none, "gfx", 10, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kIndexMissing);
    EXPECT_EQ(error.exitCode, 255);
    EXPECT_TRUE(error.showCursor);
    EXPECT_EQ(error.message, "gfx\\bmst.bin not found!");
    error = m_store.TryInit(none, nullptr, 10, 0);
    EXPECT_EQ(error.message, "bmst.bin not found!");

    GMemorySetSource shortIndex;
    shortIndex.Add("gfx\\bmst.bin", {1, 0, 0});
    error = m_store.TryInit(shortIndex, "gfx", 10, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kIndexMissing);
}

TEST_F(BitmapStoreTest, AllCountsZeroEndsWithoutAMessage)
{
    SetBuilder set;
    const GBitmapStoreError error = StartFails(set, 0, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kEmptyStore);
    EXPECT_EQ(error.exitCode, 255);
    EXPECT_TRUE(error.message.empty());
}

TEST_F(BitmapStoreTest, AMissingDataFileNamesItsPath)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 1, 2, 1));
    GMemorySetSource files;
    set.Install(files, "gfx", -1, 2);
    const GBitmapStoreError error = m_store.TryInit(files, "gfx", 0, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kDataFileMissing);
    EXPECT_EQ(error.exitCode, 255);
    EXPECT_EQ(error.message, "Cannot open file gfx\\bmdt1.bin");
}

TEST_F(BitmapStoreTest, CutShortRecordsAreRefused)
{
    Bytes full = Rgb(0, "A", 4, 4, 1);
    for (size_t keep : {size_t{1}, size_t{29}, size_t{30}, full.size() - 1}) {
        SetBuilder set;
        set.Add(Rgb(0, "OK", 2, 2, 0)).Add(Bytes(full.begin(), full.begin() + keep));
        const GBitmapStoreError error = StartFails(set, 0, 0);
        EXPECT_EQ(error.fault, GBitmapStoreFault::kTruncated) << keep;
        EXPECT_EQ(error.exitCode, 255);
    }
    Bytes jpeg = JpegRecord(22, "J", 16, 8, EncodeJpeg(16, 8));
    jpeg.resize(jpeg.size() - 10);
    SetBuilder set;
    set.Add(jpeg);
    EXPECT_EQ(StartFails(set, 0, 0).fault, GBitmapStoreFault::kTruncated);
    Bytes palette = Palettised(16, "P", 4, 4, 1);
    palette.resize(31);
    SetBuilder set2;
    set2.Add(palette);
    EXPECT_EQ(StartFails(set2, 0, 0).fault, GBitmapStoreFault::kTruncated);
}

TEST_F(BitmapStoreTest, SidesAbove32767AreRefused)
{
    for (uint16_t w : {uint16_t{32768}, uint16_t{65535}}) {
        SetBuilder set;
        set.Add(Record(0, w, 1, 0, "WIDE", Bytes(size_t{w} * 3), false));
        EXPECT_EQ(StartFails(set, 0, 0).fault, GBitmapStoreFault::kBadSize);
        SetBuilder tall;
        tall.Add(Record(14, 1, w, 0, "TALL", Bytes(w), false));
        EXPECT_EQ(StartFails(tall, 0, 0).fault, GBitmapStoreFault::kBadSize);
    }
    // A JPEG record whose header claims a huge picture never gets to allocate it.
    SetBuilder jpeg;
    jpeg.Add(JpegRecord(22, "HUGE", 65535, 65535, EncodeJpeg(8, 8)));
    EXPECT_EQ(StartFails(jpeg, 0, 0).fault, GBitmapStoreFault::kBadSize);
}

TEST_F(BitmapStoreTest, PaletteSectionsOtherThan770AreRefused)
{
    for (uint16_t section : {uint16_t{0}, uint16_t{2}, uint16_t{769}, uint16_t{771}, uint16_t{1026}}) {
        SetBuilder set;
        set.Add(Palettised(18, "P", 2, 2, 1, 0, section));
        const GBitmapStoreError error = StartFails(set, 0, 0);
        EXPECT_EQ(error.fault, GBitmapStoreFault::kBadPalette) << section;
        EXPECT_EQ(error.exitCode, 255);
    }
}

TEST_F(BitmapStoreTest, MoreRecordsThanEntriesAreRefused)
{
    SetBuilder set;
    for (int i = 0; i < 3; ++i)
        set.Add(Rgb(0, "R", 1, 2, i));
    EXPECT_EQ(StartFails(set, 0, 0, 2).fault, GBitmapStoreFault::kTooManyRecords);
    EXPECT_EQ(StartFails(set, 5, 1).fault, GBitmapStoreFault::kTooManyRecords); // 2 entries
    Start(set, 0, 2);                                                           // 4 entries
    EXPECT_EQ(m_store.GetEntryCount(), 4);
}

TEST_F(BitmapStoreTest, MaskReferencesMustNameAReadRecordOfTheSameSize)
{
    struct Case {
        uint32_t mask;
        uint16_t maskW;
        uint16_t maskH;
    };
    // Out of range, never filled (entry 3 of 8), of another width, another height, itself
    // a 24-bit record of the right size (allowed).
    for (Case c : {Case{99, 4, 4}, Case{3, 4, 4}, Case{0, 5, 4}, Case{0, 4, 3}}) {
        SetBuilder set;
        set.Add(OneByte(15, "M", c.maskW, c.maskH, 1)).Add(Rgb(2, "I", 4, 4, 2, c.mask)).Add(Rgb(0, "X", 1, 2, 3));
        const GBitmapStoreError error = StartFails(set, 0, 4);
        EXPECT_EQ(error.fault, GBitmapStoreFault::kBadMaskReference) << c.mask;
        EXPECT_EQ(error.exitCode, 255);
    }
    for (uint16_t format : {uint16_t{12}, uint16_t{20}}) {
        SetBuilder set;
        set.Add(OneByte(15, "M", 2, 2, 1));
        set.Add(format == 12 ? OneByte(12, "I", 2, 2, 2, 7) : Palettised(20, "I", 2, 2, 2, 7));
        EXPECT_EQ(StartFails(set, 0, 0).fault, GBitmapStoreFault::kBadMaskReference);
    }
    SetBuilder fine;
    fine.Add(Rgb(0, "M", 4, 4, 1)).Add(Rgb(2, "I", 4, 4, 2, 0)).Add(OneByte(12, "S", 2, 1, 3, 2));
    Start(fine, 0, 0);
    EXPECT_EQ(m_store.GetBitmap(2)->GetAlphaBlock(), m_store.GetBitmap(2)->GetPixelBlock());
}

TEST_F(BitmapStoreTest, JpegRecordsOfAnotherSizeThanTheirHeaderAreRefused)
{
    const Bytes stream = EncodeJpeg(16, 8);
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{15, 8}, {16, 9}, {8, 16}, {0, 0}}) {
        SetBuilder set;
        set.Add(JpegRecord(23, "J", w, h, stream, 0));
        const GBitmapStoreError error = StartFails(set, 0, 0);
        EXPECT_EQ(error.fault, GBitmapStoreFault::kJpegSizeMismatch) << w << "x" << h;
        EXPECT_EQ(error.exitCode, 255);
    }
}

TEST_F(BitmapStoreTest, ImagesWhoseSlotPassesTheTableAreRefused)
{
    // Three masks take no loaded slot: one loaded slot, no pool, the image's slot is 3.
    SetBuilder set;
    set.Add(OneByte(15, "M", 1, 1, 1)).Add(OneByte(15, "M", 1, 1, 2)).Add(OneByte(15, "M", 1, 1, 3))
        .Add(Rgb(0, "I", 1, 1, 4));
    const GBitmapStoreError error = StartFails(set, 0, 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kSlotPastTable);
    EXPECT_EQ(error.exitCode, 255);
    Start(set, 3, 0); // a pool of 3 makes room: slot 3 is pool slot 2
    EXPECT_EQ(m_store.GetPool()->GetBitmap(2), m_store.GetBitmap(3));
}

TEST_F(BitmapStoreTest, CountsBeyondSixteenBitSlotsAreRefused)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 1, 2, 1));
    EXPECT_EQ(StartFails(set, 0, 0, 40000).fault, GBitmapStoreFault::kTooManyBitmaps);
    EXPECT_EQ(StartFails(set, 0, 20000).fault, GBitmapStoreFault::kTooManyBitmaps);
    EXPECT_EQ(StartFails(set, 40000, 0).fault, GBitmapStoreFault::kTooManyBitmaps);
    EXPECT_EQ(StartFails(set, 20000, 16000).fault, GBitmapStoreFault::kTooManyBitmaps);
}

TEST_F(BitmapStoreTest, ASetLargerThanTheBudgetIsRefused)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 100, 100, 1)).Add(Rgb(0, "B", 100, 100, 2));
    GBitmapReadLimits limits;
    limits.maxBlockBytes = 40000;
    EXPECT_EQ(StartFails(set, 0, 0, -1, limits).fault, GBitmapStoreFault::kOverBudget);
    limits.maxBlockBytes = 2 * (100 * 101 + 1) * 3;
    set.Install(m_files, "gfx");
    EXPECT_FALSE(m_store.TryInit(m_files, "gfx", 0, 0, limits).Failed());
}

// ---- reloading ranges ----

namespace {

// The start-up set of the reload tests: 1200 named 2 x 2 records, 2200 entries.
SetBuilder StartSet()
{
    SetBuilder set;
    for (int i = 0; i < 1200; ++i)
        set.Add(Rgb(0, "S" + std::to_string(i), 2, 2, i));
    return set;
}

// 10 masks and 40 images, each mask followed by the four images it serves.
SetBuilder InterfaceSet()
{
    SetBuilder set;
    int record = 0;
    for (int m = 0; m < 10; ++m) {
        const int mask = record;
        set.Add(OneByte(15, "IM" + std::to_string(m), 3, 3, 500 + m));
        ++record;
        for (int k = 0; k < 4; ++k, ++record)
            set.Add(Rgb(2, "I" + std::to_string(m * 4 + k), 3, 3, 600 + m * 4 + k, mask));
    }
    return set;
}

} // namespace

TEST_F(BitmapStoreTest, ReloadFillsTheRangeConsecutively)
{
    Start(StartSet(), 20, 1100);
    ASSERT_EQ(m_store.GetLoadedSlots(), 2200);
    InterfaceSet().Install(m_files, "iface");
    GBitmap* before = m_store.GetBitmap(1099);
    GBitmap* after = m_store.GetBitmap(2100);

    GBitmapStoreError error;
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 1100, 2099, &error), 1);
    EXPECT_FALSE(error.Failed());
    EXPECT_STREQ(m_store.GetFolder(), "iface");
    EXPECT_EQ(m_store.GetBitmap(1099), before);
    EXPECT_EQ(m_store.GetBitmap(2100), after);
    for (int i = 0; i < 40; ++i) {
        GBitmap* image = m_store.GetBitmap(1100 + i);
        ASSERT_NE(image, nullptr) << i;
        EXPECT_STREQ(image->GetName(), ("I" + std::to_string(i)).c_str());
        EXPECT_EQ(image->GetFormat(), 2);
        EXPECT_TRUE(SameBytes(image->GetPixels(), Pattern(600 + i, 27)));
        EXPECT_TRUE(SameBytes(image->GetAlpha(), Pattern(500 + i / 4, 9)));
    }
    for (int slot = 1140; slot <= 2099; ++slot)
        ASSERT_EQ(m_store.GetBitmap(slot), nullptr) << slot;

    // 100 start-up blocks (records 1100..1199) went; 50 new ones took the first free
    // positions, which are the ones those left.
    EXPECT_EQ(HeldPositions(m_store), 1200 - 100 + 50);
    EXPECT_EQ(m_store.GetBlockAt(1100), m_store.GetBitmap(1100)->GetAlphaBlock());
    EXPECT_EQ(m_store.GetBlockAt(1101), m_store.GetBitmap(1100)->GetPixelBlock());
    EXPECT_EQ(m_store.GetBlockAt(1100)->GetRefCount(), 1 + 4);
    EXPECT_EQ(m_store.FindBitmap("I39", 1100, 2100), 1139);
}

TEST_F(BitmapStoreTest, ReloadWithLastBeforeFirstTakesTheSetsCountClamped)
{
    Start(StartSet(), 0, 1100);
    InterfaceSet().Install(m_files, "iface");
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 2190, 0, nullptr), 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_STREQ(m_store.GetBitmap(2190 + i)->GetName(), ("I" + std::to_string(i)).c_str());
    EXPECT_EQ(m_store.GetSlotCount(), 2200);

    // last = 100 + 50: slots 100..150, of which the 40 images fill 100..139.
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 100, -1, nullptr), 1);
    EXPECT_STREQ(m_store.GetBitmap(139)->GetName(), "I39");
    EXPECT_EQ(m_store.GetBitmap(140), nullptr);
    EXPECT_EQ(m_store.GetBitmap(150), nullptr);
    EXPECT_STREQ(m_store.GetBitmap(151)->GetName(), "S151");
}

TEST_F(BitmapStoreTest, ReloadOutsideTheLoadedSlotsChangesNothing)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 1, 2, 1)).Add(Rgb(0, "B", 1, 2, 2));
    Start(set, 4, 0);
    InterfaceSet().Install(m_files, "iface");
    GBitmap* a = m_store.GetBitmap(0);
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 3, 5, nullptr), 0);
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", -1, 1, nullptr), 0);
    EXPECT_EQ(m_store.GetBitmap(0), a);
    EXPECT_STREQ(m_store.GetFolder(), "gfx");
    // first == loadedSlots is allowed and fills nothing.
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 2, 5, nullptr), 1);
    EXPECT_EQ(m_store.GetBitmap(0), a);
    EXPECT_EQ(HeldPositions(m_store), 2);
}

TEST_F(BitmapStoreTest, AMalformedReloadIsRefusedAndChangesNothing)
{
    Start(StartSet(), 0, 1100);
    SetBuilder bad = InterfaceSet();
    bad.Add(Palettised(16, "BAD", 2, 2, 1, 0, 700));
    bad.Install(m_files, "bad");
    std::vector<GBitmap*> before;
    for (int slot = 0; slot < 1200; ++slot)
        before.push_back(m_store.GetBitmap(slot));

    GBitmapStoreError error;
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "bad", 0, 1199, &error), 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kBadPalette);
    EXPECT_FALSE(EndsProcessOnReload(error.fault));
    for (int slot = 0; slot < 1200; ++slot)
        ASSERT_EQ(m_store.GetBitmap(slot), before[slot]);
    EXPECT_EQ(HeldPositions(m_store), 1200);
    EXPECT_STREQ(m_store.GetFolder(), "gfx");

    // More records than the set's index lists: refused as well.
    InterfaceSet().Install(m_files, "short", 20);
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "short", 0, 10, &error), 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kTooManyRecords);
    EXPECT_EQ(m_store.GetBitmap(5), before[5]);
}

TEST_F(BitmapStoreTest, ReloadFaultsThatEndTheProcess)
{
    Start(StartSet(), 0, 1100);
    GBitmapStoreError error;
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "nowhere", 0, 10, &error), 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kReloadIndexMissing);
    EXPECT_EQ(error.message, "nowhere\\bmst.bin");
    EXPECT_EQ(error.exitCode, 255);
    EXPECT_TRUE(EndsProcessOnReload(error.fault));

    SetBuilder empty;
    empty.Install(m_files, "empty");
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "empty", 0, 10, &error), 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kReloadIndexMissing);
    EXPECT_EQ(error.message, "empty\\bmst.bin");

    SetBuilder big;
    Bytes stream(kBitmapStoreMaxJpegBytes + 1, 0);
    big.Add(JpegRecord(22, "J", 1, 1, stream));
    big.Install(m_files, "big");
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "big", 0, 10, &error), 0);
    EXPECT_EQ(error.fault, GBitmapStoreFault::kJpegTooBig);
    EXPECT_EQ(error.exitCode, 100);
    EXPECT_TRUE(EndsProcessOnReload(error.fault));
    EXPECT_STREQ(m_store.GetBitmap(3)->GetName(), "S3");
}

TEST_F(BitmapStoreTest, RepeatedReloadsReuseTheirPositions)
{
    Start(StartSet(), 8, 1100);
    InterfaceSet().Install(m_files, "iface");
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 1100, 2099, nullptr), 1);
        ASSERT_EQ(HeldPositions(m_store), 1100 + 50) << round;
    }
    m_store.UnloadBitmaps(1100, 2099);
    EXPECT_EQ(HeldPositions(m_store), 1100);
}

// Kept blocks beyond the free positions: the images keep them alive on their own.
TEST_F(BitmapStoreTest, KeptBlocksWithoutAPositionLiveWithTheirImages)
{
    SetBuilder set;
    for (int i = 0; i < 4; ++i)
        set.Add(Rgb(0, "S" + std::to_string(i), 3, 3, i));
    Start(set, 0, 2);
    ASSERT_EQ(m_store.GetBlockPositionCount(), 4);
    InterfaceSet().Install(m_files, "iface");
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 0, 1, nullptr), 1);
    GBitmap* i0 = m_store.GetBitmap(0);
    GBitmap* i1 = m_store.GetBitmap(1);
    ASSERT_NE(i0, nullptr);
    EXPECT_STREQ(i1->GetName(), "I1");
    // Two positions were freed; the mask and I0's pixels took them, I1's pixels did not.
    EXPECT_EQ(HeldPositions(m_store), 4);
    EXPECT_EQ(i1->GetPixelBlock()->GetRefCount(), 1);
    EXPECT_TRUE(SameBytes(i1->GetPixels(), Pattern(601, 27)));
    m_store.UnloadBitmaps(0, 1);
    EXPECT_EQ(HeldPositions(m_store), 2);
}

// ---- unloading ----

TEST_F(BitmapStoreTest, UnloadKeepsBlocksOtherImagesStillUse)
{
    SetBuilder set;
    set.Add(OneByte(21, "M", 2, 2, 1)).Add(Rgb(2, "A", 2, 2, 2, 0)).Add(Rgb(2, "B", 2, 2, 3, 0))
        .Add(Rgb(0, "C", 2, 2, 4));
    Start(set, 0, 0);
    GPixelBlock* mask = m_store.GetBlockAt(0);
    EXPECT_EQ(mask->GetRefCount(), 3);

    m_store.UnloadBitmaps(2, 1); // first > last: nothing
    EXPECT_NE(m_store.GetBitmap(1), nullptr);

    m_store.UnloadBitmaps(1, 1);
    EXPECT_EQ(m_store.GetBitmap(1), nullptr);
    EXPECT_EQ(m_store.GetBlockAt(1), nullptr);
    EXPECT_EQ(m_store.GetBlockAt(0), mask);
    EXPECT_EQ(mask->GetRefCount(), 2);

    m_store.UnloadBitmaps(-10, 30000); // clamped to the loaded slots
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(m_store.GetBitmap(slot), nullptr);
    EXPECT_EQ(HeldPositions(m_store), 0);
}

// ---- the pool ----

TEST_F(BitmapStoreTest, PoolSlotsAreFoundRangeCheckedAndRefusedWhenFull)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 2, 2, 1));
    Start(set, 3, 0);
    GBitmapPool* pool = m_store.GetPool();
    EXPECT_EQ(pool->CreateBitmap(4, 4, 0, 0, nullptr, nullptr, 1), 1);
    EXPECT_EQ(pool->CreateBitmap(4, 4, 0, 0, nullptr, nullptr, -1), 0);
    EXPECT_EQ(pool->CreateBitmap(4, 4, 0, 0, nullptr, nullptr, -1), 2);
    EXPECT_EQ(pool->CreateBitmap(4, 4, 0, 0, nullptr, nullptr, -1), -1);
    EXPECT_EQ(pool->CreateBitmap(4, 4, 0, 0, nullptr, nullptr, 3), -1);
    EXPECT_EQ(pool->CreateBitmap(40000, 4, 0, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(m_store.GetBitmap(1), pool->GetBitmap(0));
    EXPECT_EQ(pool->GetBitmap(3), nullptr);
    EXPECT_EQ(pool->GetBitmap(-1), nullptr);

    // Replacing a slot frees what it held.
    EXPECT_EQ(pool->CreateBitmap(1, 1, 0, 14, nullptr, nullptr, 0), 0);
    EXPECT_EQ(pool->GetBitmap(0)->GetFormat(), 14);

    GGraphicsResources empty;
    EXPECT_EQ(empty.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, -1), -1);
    EXPECT_EQ(empty.GetSlotCount(), 0);
    EXPECT_EQ(empty.GetBitmap(0), nullptr);
}

TEST_F(BitmapStoreTest, PoolImagesStartZeroedAndRecordTheirOwnBlocks)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 2, 2, 1));
    Start(set, 2, 0);
    GBitmapPool* pool = m_store.GetPool();
    ASSERT_EQ(pool->CreateBitmap(5, 3, 0, 20, nullptr, nullptr, 0), 0);
    GBitmap* image = pool->GetBitmap(0);
    const GPixelBlock* pixels = image->GetPixelBlock();
    EXPECT_EQ(image->GetPixels()[0] | (image->GetPixels()[1] << 8), 770);
    for (uint32_t i = 2; i < pixels->GetSize(); ++i)
        ASSERT_EQ(image->GetPixels()[i], 0);
    for (uint32_t i = 0; i < image->GetAlphaBlock()->GetSize(); ++i)
        ASSERT_EQ(image->GetAlpha()[i], 0);
    EXPECT_EQ(m_store.GetBlockAt(1), pixels);
    EXPECT_EQ(m_store.GetBlockAt(2), image->GetAlphaBlock());
    EXPECT_FALSE(m_store.HoldsBlockAt(1));

    // A block handed in is shared, not recorded, and outlives the pool image.
    GPixelBlock* loaded = m_store.GetBlockAt(0);
    ASSERT_EQ(pool->CreateBitmap(2, 2, 0, 0, loaded, nullptr, 1), 1);
    EXPECT_EQ(loaded->GetRefCount(), 3);
    EXPECT_EQ(m_store.GetBlockAt(3), nullptr);
    pool->FreeBitmap(1);
    EXPECT_EQ(loaded->GetRefCount(), 2);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), Pattern(1, 12)));

    pool->FreeBitmap(0);
    EXPECT_EQ(m_store.GetBlockAt(1), nullptr);
    EXPECT_EQ(m_store.GetBlockAt(2), nullptr);
}

TEST_F(BitmapStoreTest, FreeingPoolImagesClearsTheirPositionsForEver)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 2, 2, 1));
    Start(set, 4, 0);
    GBitmapPool* pool = m_store.GetPool();
    for (int round = 0; round < 50; ++round) {
        for (int16_t slot = 0; slot < 4; ++slot)
            ASSERT_EQ(pool->CreateBitmap(3, 3, 0, 2, nullptr, nullptr, -1), slot);
        int32_t recorded = 0;
        for (int32_t p = 1; p < m_store.GetBlockPositionCount(); ++p)
            recorded += m_store.GetBlockAt(p) != nullptr;
        ASSERT_EQ(recorded, 8) << round;
        pool->FreeAll();
        for (int32_t p = 1; p < m_store.GetBlockPositionCount(); ++p)
            ASSERT_EQ(m_store.GetBlockAt(p), nullptr);
    }
}

TEST_F(BitmapStoreTest, ARefusedCreateLeavesHandedInBlocksAlone)
{
    SetBuilder set;
    set.Add(Rgb(0, "A", 2, 2, 1));
    Start(set, 1, 0);
    // A fresh block of nobody's: a refusal must not take it over (and free it).
    GPixelBlock* block = GPixelBlock::Create(16, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(m_store.CreateBitmap(32768, 1, 0, 2, block, nullptr, 0), -1);
    EXPECT_EQ(block->GetRefCount(), 0);
    delete block;
}

// ---- files on disk and the fatal exits ----

class BitmapStoreFilesTest : public BitmapStoreTest {
protected:
    void SetUp() override
    {
        BitmapStoreTest::SetUp();
        m_home = fs::current_path().string();
        std::string pattern = m_home + "/bitmap_store_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        ASSERT_NE(::mkdtemp(buffer.data()), nullptr);
        m_dir = buffer.data();
        ASSERT_EQ(::chdir(m_dir.c_str()), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(::chdir(m_home.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        BitmapStoreTest::TearDown();
    }

    std::string m_home;
    std::string m_dir;
};

TEST_F(BitmapStoreFilesTest, CreateReadsTheFolderThroughThePlatformLayer)
{
    SetBuilder set;
    set.Add(OneByte(15, "M", 2, 2, 1)).Add(Rgb(2, "IMG", 2, 2, 2, 0)).NextFile().Add(Rgb(0, "NEXT", 1, 2, 3));
    set.WriteTo("Gfx"); // the engine names it "gfx": letter case is resolved
    std::unique_ptr<GGraphicsResources> store = GGraphicsResources::Create("gfx", 5, 0);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->FindBitmap("NEXT"), 2);
    EXPECT_TRUE(SameBytes(store->GetBitmap(1)->GetAlpha(), Pattern(1, 4)));
    uint16_t files = 0, entries = 0;
    EXPECT_EQ(store->ReadIndexHeader(&files, &entries), 1);
    EXPECT_EQ(files, 2);
    EXPECT_EQ(entries, 3);

    InterfaceSet().WriteTo("iface");
    EXPECT_EQ(store->LoadBitmaps("iface", 0, 1), 1);
    EXPECT_STREQ(store->GetBitmap(0)->GetName(), "I0");

    // Ten masks take no loaded slot: the last ten images go to the pool's slots.
    store->Reinit("iface", 10);
    EXPECT_EQ(store->GetEntryCount(), 50);
    EXPECT_EQ(store->GetLoadedSlots(), 40);
    EXPECT_EQ(store->GetSlotCount(), 50);
    EXPECT_STREQ(store->GetBitmap(49)->GetName(), "I39");

    // Current folder.
    set.WriteTo(".");
    std::unique_ptr<GGraphicsResources> here = GGraphicsResources::Create(nullptr, 1, 0);
    EXPECT_EQ(here->GetFolder(), nullptr);
    EXPECT_EQ(here->FindBitmap("IMG"), 1);
}

using BitmapStoreDeathTest = BitmapStoreFilesTest;

TEST_F(BitmapStoreDeathTest, FatalStartUpErrorsEndTheProcessWithTheirCodes)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::SetMessageBoxBackend(nullptr); // alerts go to stderr, where the check reads them
    EXPECT_EXIT(GGraphicsResources::Create("missing", 10, 0), testing::ExitedWithCode(255),
                "missing.bmst.bin not found!");
    EXPECT_EXIT(GGraphicsResources::Create(nullptr, 0, 0), testing::ExitedWithCode(255),
                "bmst.bin not found!");

    SetBuilder big;
    big.Add(JpegRecord(22, "J", 1, 1, Bytes(kBitmapStoreMaxJpegBytes + 1, 0)));
    big.WriteTo("big");
    EXPECT_EXIT(GGraphicsResources::Create("big", 10, 0), testing::ExitedWithCode(100),
                "Jpeg data too big!");

    SetBuilder bad;
    bad.Add(Palettised(16, "P", 1, 1, 1, 0, 12));
    bad.WriteTo("bad");
    EXPECT_EXIT(GGraphicsResources::Create("bad", 10, 0), testing::ExitedWithCode(255),
                "palette section");

    SetBuilder empty;
    empty.WriteTo("empty");
    EXPECT_EXIT(GGraphicsResources::Create("empty", 0, 0), testing::ExitedWithCode(255), "");
}

TEST_F(BitmapStoreDeathTest, ReloadEndsOnlyForItsDocumentedFaults)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::SetMessageBoxBackend(nullptr);
    StartSet().WriteTo("gfx");
    std::unique_ptr<GGraphicsResources> store = GGraphicsResources::Create("gfx", 0, 1100);
    EXPECT_EXIT(store->LoadBitmaps("nowhere", 0, 5), testing::ExitedWithCode(255),
                "nowhere.bmst.bin");
    SetBuilder oneFile = InterfaceSet();
    oneFile.WriteTo("iface");
    fs::remove("iface/bmdt0.bin");
    EXPECT_EXIT(store->LoadBitmaps("iface", 0, 5), testing::ExitedWithCode(255),
                "Cannot open file iface.bmdt0.bin");

    SetBuilder bad;
    bad.Add(OneByte(15, "M", 2, 2, 1)).Add(Rgb(2, "I", 3, 3, 2, 0));
    bad.WriteTo("bad");
    EXPECT_EQ(store->LoadBitmaps("bad", 0, 5), 0); // refused, the game goes on
    EXPECT_STREQ(store->GetBitmap(0)->GetName(), "S0");
}
