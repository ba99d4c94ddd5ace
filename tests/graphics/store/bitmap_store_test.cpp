#include "graphics/store/graphics_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"
#include "support/bitmap_store_sets.h"
#include "support/jpeg_test_streams.h"

using namespace bitmap_store_test;

namespace {

// A colour stream of a smooth picture from libjpeg, and our decoder's B, G, R picture of a stream.
Bytes EncodeJpeg(int w, int h, bool progressive = false)
{
    Bytes rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) {
        const int x = int(i / 3) % w, y = int(i / 3) / w;
        rgb[i] = static_cast<uint8_t>(i % 3 == 0 ? x * 255 / w : i % 3 == 1 ? y * 255 / h : (x + y) * 4);
    }
    return jpeg_test::EncodeWithLibjpeg(rgb, w, h, {.quality = 90, .progressive = progressive});
}
Bytes DecodeBgr(const Bytes& stream)
{
    const jpeg_test::Ours ours = jpeg_test::DecodeBgr(stream);
    EXPECT_EQ(ours.begin, 0); // the whole picture is there to compare with
    return ours.bgr;
}

} // namespace

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

    ASSERT_NE(m_store.GetPool(), nullptr);
    EXPECT_EQ((std::vector<int>{m_store.GetEntryCount(), m_store.GetLoadedSlots(), m_store.GetMemCount(),
                                m_store.GetSlotCount(), m_store.GetBlockPositionCount(), HeldPositions(m_store),
                                m_store.GetPool()->GetFirstSlot()}),
              (std::vector<int>{8200, 8200, 5000, 13200, 8200 + 10000, 1000, 8200}));

    for (int i = 0; i < 1000; ++i) {
        GBitmap* image = m_store.GetBitmap(i);
        const int kind = i % 10;
        if (kind == 0 || kind == 2) {
            EXPECT_EQ(image, nullptr) << i;
            continue;
        }
        ASSERT_NE(image, nullptr) << i;
        const int formats[10] = {-1, 2, -1, 14, 16, 1, 0, 0, 0, 0};
        EXPECT_TRUE(image->GetName() == "R" + std::to_string(i) && image->GetFormat() == formats[kind] &&
                    (image->GetPixelBlock() ? image->GetPixelBlock() : image->GetAlphaBlock()) == m_store.GetBlockAt(i))
            << i;
        // Per kind: its mask the record before, alpha only, a palette, a key, or plain.
        const bool fits = kind == 1 ? image->GetAlphaBlock() == m_store.GetBlockAt(i - 1) &&
                                          SameBytes(image->GetAlpha(), Pattern(i - 1, 12)) &&
                                          SameBytes(image->GetPixels(), Pattern(i, 36))
                          : kind == 3 ? !image->GetPixelBlock() && SameBytes(image->GetAlpha(), Pattern(i, 12))
                          : kind == 4 ? image->GetPitch() == 4
                          : kind == 5
                              ? image->GetKeyColour() == 0x123456u && SameBytes(image->GetPixels(), Pattern(i, 27))
                              : image->GetWidth() == 5 && image->GetHeight() == 1 + i % 3;
        EXPECT_TRUE(fits) << i;
    }
    for (int slot : {1000, 4321, 8199}) {
        GBitmap* empty = m_store.GetBitmap(slot);
        ASSERT_NE(empty, nullptr) << slot;
        EXPECT_TRUE(!(empty->GetWidth() | empty->GetHeight() | empty->GetFormat()) && !*empty->GetName() &&
                    !m_store.GetBlockAt(slot));
    }
    for (int slot : {8200, 10000, 13199, 13200, -1})
        EXPECT_EQ(m_store.GetBitmap(slot), nullptr);
    EXPECT_EQ(m_store.CreateBitmap(2, 2, 0, 0, nullptr, nullptr, -1), 0);
    EXPECT_NE(m_store.GetBitmap(8200), nullptr);
}

// Without loadCount the entries are the index's; masks of format 15 take no loaded slot, so
// the last images move into the pool's first slots (but never past the table).
TEST_F(BitmapStoreTest, MasksOfFormat15PushTheLastImagesIntoThePool)
{
    Start({OneByte(15, "MASK", 3, 2, 1), Rgb(2, "IMAGE", 3, 2, 2, 0), Rgb(0, "LAST", 2, 2, 3)}, 4, 0);
    EXPECT_EQ((std::tuple(m_store.GetEntryCount(), m_store.GetLoadedSlots(), m_store.GetSlotCount())),
              std::tuple(3, 2, 6));
    EXPECT_EQ(m_store.GetBitmap(0), nullptr);
    ASSERT_NE(m_store.GetBitmap(1), nullptr);
    EXPECT_EQ(m_store.GetBitmap(1)->GetAlphaBlock(), m_store.GetBlockAt(0));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetAlpha(), Pattern(1, 6)));
    EXPECT_STREQ(m_store.GetBitmap(2)->GetName(), "LAST");
    EXPECT_EQ(m_store.GetPool()->GetBitmap(0), m_store.GetBitmap(2));
    EXPECT_EQ(m_store.FindBitmap("MASK"), -1);
    EXPECT_EQ(g_alerts, std::vector<std::string>{"Cannot find bitmap MASK"});

    // The pool skips the occupied slot and can replace it; the store's blocks survive that.
    EXPECT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, -1), 1);
    EXPECT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(m_store.HoldsBlockAt(2));
    EXPECT_EQ(m_store.GetBlockAt(2)->GetRefCount(), 1);
}

// The pad byte of the file's last record may be missing: nothing is lost. Blocks carry a
// zeroed spare row and pixel; names without a terminator keep 19 characters.
TEST_F(BitmapStoreTest, RecordLayoutPaddingSpareBytesAndNames)
{
    SetBuilder set{Rgb(0, "ODD", 3, 3, 7), Rgb(0, "EVEN", 2, 2, 8), OneByte(14, "A", 1, 3, 9),
                   Palettised(16, "P", 3, 1, 10), Rgb(0, "TAIL", 1, 1, 11)};
    EXPECT_EQ(set.File(0).size(), (30 + 27 + 1) + (30 + 12) + (30 + 3 + 1) + (30 + 770 + 3 + 1) + (30 + 3 + 1));
    set.File(0).pop_back();
    Start(set, 0, 0);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetPixels(), Pattern(8, 12)));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(2)->GetAlpha(), Pattern(9, 3)));
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(4)->GetPixels(), Pattern(11, 3)));

    Start({Rgb(0, "RGB", 3, 2, 1), OneByte(14, "MASK", 3, 2, 2), Palettised(20, "PAL", 3, 2, 3, 1),
           Rgb(0, "ABCDEFGHIJKLMNOPQRST", 1, 2, 1), Rgb(0x1200, "HIGHBYTE", 1, 2, 2)}, 0, 0);
    // The spare bytes after the picture (RGB, mask, palettised) are zero.
    GPixelBlock* mask = m_store.GetBlockAt(1);
    GBitmap* pal = m_store.GetBitmap(2);
    for (auto [block, used, size] : {std::tuple{m_store.GetBlockAt(0), 18u, (3u * 3 + 1) * 3}, {mask, 6u, 3u * 3 + 1},
                                     {pal->GetPixelBlock(), 770u + 6, 3u * 3 + 1 + 770}}) {
        ASSERT_EQ(block->GetSize(), size);
        EXPECT_EQ(Bytes(block->GetData() + used, block->GetData() + size), Bytes(size - used, 0)) << size;
    }
    // A palettised block: its u16 section size, the palette, then the indices.
    EXPECT_EQ(pal->GetFormat(), 20);
    EXPECT_EQ(pal->GetAlphaBlock(), mask);
    const uint8_t* data = pal->GetPixels();
    EXPECT_EQ(data[0] | (data[1] << 8), 770);
    EXPECT_TRUE(SameBytes(data + 2, Pattern(3, 768 + 6)));
    EXPECT_STREQ(m_store.GetBitmap(3)->GetName(), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(m_store.FindBitmap("ABCDEFGHIJKLMNOPQRS"), 3);
    EXPECT_EQ(m_store.GetBitmap(4)->GetFormat(), 0); // the high byte of the format is cleared
}

TEST_F(BitmapStoreTest, FindBitmapSearchesARangeCaseSensitivelyAndTheTableChecksItsRange)
{
    Start({Rgb(0, "Alpha", 1, 2, 1), Rgb(0, "Beta", 1, 2, 2), Rgb(0, "Alpha", 1, 2, 3)}, 3, 0);
    ASSERT_EQ(m_store.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, 1), 1);
    m_store.GetPool()->GetBitmap(1)->SetName("Glyph");

    // Name, range, slot found: the pool is part of the whole table; the search is case-sensitive.
    const std::tuple<const char*, int, int, int> searches[] = {
        {"Alpha", 0, -1, 0},  {"Alpha", 1, -1, 2},  {"Glyph", 0, -1, 4}, {"Beta", -7, 1000, 1},
        {"alpha", 0, -1, -1}, {"Glyph", 0, 3, -1}, {"Beta", 2, 1, -1},  {nullptr, 0, -1, -1}};
    for (auto [name, first, last, slot] : searches)
        EXPECT_EQ(m_store.FindBitmap(name, int16_t(first), int16_t(last)), slot) << (name ? name : "null");
    EXPECT_EQ(g_alerts, (std::vector<std::string>{"Cannot find bitmap alpha", "Cannot find bitmap Glyph",
                                                  "Cannot find bitmap Beta", "Cannot find bitmap "}));

    const GBitmapTable& table = m_store;
    EXPECT_EQ(table.GetSlotCount(), 6);
    EXPECT_NE(table.FindSlot(0), nullptr);
    EXPECT_EQ(table.FindSlot(3), nullptr);
    for (int32_t slot : {6, -5, 32767})
        EXPECT_EQ(table.FindSlot(slot), nullptr) << slot;
}

TEST_F(BitmapStoreTest, JpegRecordsDecodeToBgrImages)
{
    const Bytes colour = EncodeJpeg(17, 13);
    Start({OneByte(15, "MASK", 17, 13, 5), JpegRecord(22, "PLAIN", 17, 13, colour),
           JpegRecord(23, "MASKED", 17, 13, colour, 0)}, 1, 0);
    const Bytes expected = DecodeBgr(colour);
    GBitmap* plain = m_store.GetBitmap(1);
    GBitmap* masked = m_store.GetBitmap(2);
    ASSERT_TRUE(plain && masked);
    EXPECT_EQ((std::tuple(plain->GetFormat(), plain->GetPixelBlock()->GetSize(), masked->GetFormat())),
              (std::tuple(uint8_t(0), (17u * 14 + 1) * 3, uint8_t(2))));
    EXPECT_TRUE(SameBytes(plain->GetPixels(), expected) && SameBytes(masked->GetPixels(), expected));
    EXPECT_EQ(plain->GetPixels()[17 * 13 * 3], 0); // the spare row stays zero
    EXPECT_TRUE(SameBytes(masked->GetAlpha(), Pattern(5, 17 * 13)));

    // Exactly 1 MiB loads (bytes after the end of the image are ignored).
    Bytes big = EncodeJpeg(16, 8);
    big.resize(kBitmapStoreMaxJpegBytes, 0);
    Start({JpegRecord(22, "BIG", 16, 8, big)}, 0, 0);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), DecodeBgr(big)));
}

TEST_F(BitmapStoreTest, RefusedOrDamagedJpegStreamsLeaveZeroedPixels)
{
    Bytes cut = EncodeJpeg(16, 64);
    const size_t scan = jpeg_test::FindMarker(cut, 0xDA);
    cut.resize(scan + (cut.size() - scan) / 2); // half way through the coded data
    Start({JpegRecord(22, "PROG", 16, 16, EncodeJpeg(16, 16, true)), JpegRecord(22, "CUT", 16, 64, cut),
           JpegRecord(22, "NOISE", 5, 5, Pattern(3, 99))}, 0, 0);
    for (int slot : {0, 2}) {
        GPixelBlock* block = m_store.GetBitmap(slot)->GetPixelBlock();
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(Bytes(block->GetData(), block->GetData() + block->GetSize()), Bytes(block->GetSize(), 0)) << slot;
    }
    // A stream cut short still delivers every row, the missing part without detail.
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(1)->GetPixels(), DecodeBgr(cut)));
}

// Every start-up refusal: the fault, the exit code it ends with and, where it shows one, the
// alert. A failed start leaves nothing behind (checked by StartFails).
TEST_F(BitmapStoreTest, MalformedSetsAreRefusedWithTheirFaultAndExitCode)
{
    using F = GBitmapStoreFault;
    struct Refusal {
        std::string what;
        SetBuilder set;
        F fault;
        uint16_t memCount = 0, loadCount = 0;
        int32_t entryCount = -1, fileCount = -1;
        uint64_t maxBlockBytes = uint64_t{1} << 30;
        const char* message = nullptr; // not checked when null
    };
    const Bytes jpeg = EncodeJpeg(16, 8);
    const Bytes full = Rgb(0, "A", 4, 4, 1);
    Bytes cutJpeg = JpegRecord(22, "J", 16, 8, jpeg);
    cutJpeg.resize(cutJpeg.size() - 10);
    Bytes cutPalette = Palettised(16, "P", 4, 4, 1);
    cutPalette.resize(31);
    const SetBuilder three{Rgb(0, "R", 1, 2, 0), Rgb(0, "R", 1, 2, 1), Rgb(0, "R", 1, 2, 2)};
    const SetBuilder one{Rgb(0, "A", 1, 2, 1)};
    std::vector<Refusal> cases = {
        {"no records, no pool", {}, F::kEmptyStore, 0, 0, -1, -1, uint64_t{1} << 30, ""},
        {"a data file missing", one, F::kDataFileMissing, 0, 0, -1, 2, uint64_t{1} << 30,
         "Cannot open file gfx/bmdt1.bin"},
        {"JPEG of 1 MiB + 1", {JpegRecord(22, "BIG", 16, 8, [&] { Bytes b = jpeg; b.resize(kBitmapStoreMaxJpegBytes + 1); return b; }())},
         F::kJpegTooBig, 0, 0, -1, -1, uint64_t{1} << 30, "Jpeg data too big!"},
        {"JPEG cut short", {cutJpeg}, F::kTruncated},
        // Data files ending before the records their index lists: damage, named by the file.
        {"an empty data file", {}, F::kTruncated, 0, 0, 3, 1, uint64_t{1} << 30,
         "gfx/bmdt0.bin is damaged (too short): it holds no record"},
        {"fewer records than listed", one, F::kTruncated, 0, 2, 3, -1, uint64_t{1} << 30,
         "gfx/bmdt0.bin is damaged (too short): the set holds 1 of the 3 records its index lists"},
        {"palette cut short", {cutPalette}, F::kTruncated},
        {"JPEG header claims a huge picture", {JpegRecord(22, "HUGE", 65535, 65535, jpeg)}, F::kBadSize},
        {"3 records, 2 entries", three, F::kTooManyRecords, 0, 0, 2},
        {"3 records, loadCount 1", three, F::kTooManyRecords, 5, 1},
        {"index of 40000 entries", one, F::kTooManyBitmaps, 0, 0, 40000},
        {"loadCount 20000", one, F::kTooManyBitmaps, 0, 20000},
        {"pool of 40000", one, F::kTooManyBitmaps, 40000, 0},
        {"pool and loads together", one, F::kTooManyBitmaps, 20000, 16000},
        {"over the budget", {Rgb(0, "A", 100, 100, 1), Rgb(0, "B", 100, 100, 2)}, F::kOverBudget, 0, 0, -1, -1, 40000},
        // Three masks take no loaded slot: one loaded slot, no pool, the image's slot is 3.
        {"image slot past the table",
         {OneByte(15, "M", 1, 1, 1), OneByte(15, "M", 1, 1, 2), OneByte(15, "M", 1, 1, 3), Rgb(0, "I", 1, 1, 4)},
         F::kSlotPastTable},
    };
    for (size_t keep : {size_t{1}, size_t{29}, size_t{30}, full.size() - 1})
        cases.push_back({"record cut to " + std::to_string(keep), {Rgb(0, "OK", 2, 2, 0), Bytes(full.begin(), full.begin() + keep)},
                         F::kTruncated});
    for (uint16_t w : {uint16_t{32768}, uint16_t{65535}}) {
        cases.push_back({"width " + std::to_string(w), {Record(0, w, 1, 0, "WIDE", Bytes(size_t{w} * 3), false)}, F::kBadSize});
        cases.push_back({"height " + std::to_string(w), {Record(14, 1, w, 0, "TALL", Bytes(w), false)}, F::kBadSize});
    }
    for (uint16_t section : {0, 2, 769, 771, 1026})
        cases.push_back({"palette section " + std::to_string(section), {Palettised(18, "P", 2, 2, 1, 0, section)},
                         F::kBadPalette});
    // Mask out of range, never filled (entry 3 of 8), of another width, of another height.
    for (auto [mask, w, h] : {std::tuple{99u, 4, 4}, {3u, 4, 4}, {0u, 5, 4}, {0u, 4, 3}})
        cases.push_back({"mask reference " + std::to_string(mask) + " " + std::to_string(w) + "x" + std::to_string(h),
                         {OneByte(15, "M", w, h, 1), Rgb(2, "I", 4, 4, 2, mask), Rgb(0, "X", 1, 2, 3)},
                         F::kBadMaskReference, 0, 4});
    for (const Bytes& image : {OneByte(12, "I", 2, 2, 2, 7), Palettised(20, "I", 2, 2, 2, 7)})
        cases.push_back({"mask reference past the set", {OneByte(15, "M", 2, 2, 1), image}, F::kBadMaskReference});
    for (auto [w, h] : {std::pair<uint16_t, uint16_t>{15, 8}, {16, 9}, {8, 16}, {0, 0}})
        cases.push_back({"JPEG record of " + std::to_string(w) + "x" + std::to_string(h),
                         {JpegRecord(23, "J", w, h, jpeg, 0)}, F::kJpegSizeMismatch});

    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        GBitmapReadLimits limits;
        limits.maxBlockBytes = c.maxBlockBytes;
        const GBitmapStoreError error = StartFails(c.set, c.memCount, c.loadCount, c.entryCount, limits, c.fileCount);
        EXPECT_EQ(error.fault, c.fault);
        EXPECT_EQ(error.exitCode, c.fault == F::kJpegTooBig ? 100 : 255);
        EXPECT_TRUE(!c.message || error.message == c.message) << error.message;
    }

    // No index, or one shorter than its 4 bytes: the alert names the path and shows the pointer.
    GMemorySetSource none, shortIndex;
    shortIndex.Add("gfx/bmst.bin", {1, 0, 0});
    GBitmapStoreError error = m_store.TryInit(none, "gfx", 10, 0);
    EXPECT_EQ((std::tuple(error.fault, error.exitCode, error.showCursor, error.message)),
              (std::tuple(F::kIndexMissing, 255, true, std::string("gfx/bmst.bin not found!"))));
    EXPECT_EQ(m_store.TryInit(none, nullptr, 10, 0).message, "bmst.bin not found!");
    error = m_store.TryInit(shortIndex, "gfx", 10, 0);
    EXPECT_EQ((std::tuple(error.fault, error.exitCode, error.message)),
              (std::tuple(F::kIndexMissing, 255, std::string("gfx/bmst.bin is damaged (too short)"))));
}

// Just inside each limit the refused sets above load.
TEST_F(BitmapStoreTest, SetsJustInsideTheLimitsLoad)
{
    // A 24-bit record of the right size serves as a mask; a one-byte image may mask itself.
    Start({Rgb(0, "M", 4, 4, 1), Rgb(2, "I", 4, 4, 2, 0), OneByte(12, "S", 2, 1, 3, 2)}, 0, 0);
    EXPECT_EQ(m_store.GetBitmap(2)->GetAlphaBlock(), m_store.GetBitmap(2)->GetPixelBlock());

    const SetBuilder three{Rgb(0, "R", 1, 2, 0), Rgb(0, "R", 1, 2, 1), Rgb(0, "R", 1, 2, 2)};
    Start(three, 0, 2); // 4 entries
    EXPECT_EQ(m_store.GetEntryCount(), 4);

    const SetBuilder masks{OneByte(15, "M", 1, 1, 1), OneByte(15, "M", 1, 1, 2), OneByte(15, "M", 1, 1, 3),
                           Rgb(0, "I", 1, 1, 4)};
    Start(masks, 3, 0); // a pool of 3 makes room: slot 3 is pool slot 2
    EXPECT_EQ(m_store.GetPool()->GetBitmap(2), m_store.GetBitmap(3));
    // Never-filled entries past the table only lose their empty placeholders.
    Start({OneByte(15, "M", 1, 1, 1), OneByte(15, "M", 1, 1, 2), Rgb(0, "I", 1, 1, 3)}, 1, 2);
    EXPECT_EQ(m_store.GetSlotCount(), 3);
    EXPECT_STREQ(m_store.GetBitmap(2)->GetName(), "I");

    GBitmapReadLimits limits;
    limits.maxBlockBytes = 2 * (100 * 101 + 1) * 3;
    SetBuilder{Rgb(0, "A", 100, 100, 1), Rgb(0, "B", 100, 100, 2)}.Install(m_files, "gfx");
    EXPECT_FALSE(m_store.TryInit(m_files, "gfx", 0, 0, limits).Failed());
}

// Every format byte against the record layout the index documents: what payload follows the
// header, which image the record makes, and whether it counts towards the loaded slots.
TEST(BitmapStoreFormats, EveryFormatByteHasItsPayloadImageAndSlot)
{
    for (int f = 0; f < 256; ++f) {
        const bool jpeg = f == 22 || f == 23;
        const bool palette = f >= 16 && f <= 20;
        const bool rgb = f <= 11 || f == 13;
        const GBitmapPayload payload = jpeg      ? GBitmapPayload::kJpeg
                                       : palette ? GBitmapPayload::kPalettised
                                       : rgb     ? GBitmapPayload::kRgb
                                                 : GBitmapPayload::kBytes;
        const bool plain = f == 0 || f == 1 || f == 16 || f == 18;
        const bool masked = f == 2 || f == 12 || f == 20;
        const GBitmapImageKind kind = plain     ? GBitmapImageKind::kPlain
                                      : masked  ? GBitmapImageKind::kMasked
                                      : f == 14 ? GBitmapImageKind::kAlphaOnly
                                                : GBitmapImageKind::kNone;
        const bool loaded = f <= 14 || (f >= 16 && f <= 21);
        EXPECT_EQ(std::make_tuple(PayloadOfFormat(uint8_t(f)), ImageKindOfFormat(uint8_t(f)),
                                  CountsAsLoadedSlot(uint8_t(f))),
                  std::make_tuple(payload, kind, loaded))
            << f;
    }
}

// The index and data file names with and without a folder, the index read into either count
// alone, and what a player is told of an index that is missing or too short.
TEST(BitmapStoreFormats, IndexAndDataPathsCountsAndProblems)
{
    EXPECT_EQ(BitmapIndexPath(nullptr) + "|" + BitmapIndexPath("") + "|" +
                  BitmapIndexPath("800x600"),
              "bmst.bin|bmst.bin|800x600/bmst.bin");
    EXPECT_EQ(BitmapDataPath(nullptr, 0) + "|" + BitmapDataPath("", 12) + "|" +
                  BitmapDataPath("iface", 3),
              "bmdt0.bin|bmdt12.bin|iface/bmdt3.bin");
    GMemorySetSource files;
    files.Add("bmst.bin", {0x02, 0x01, 0x34, 0x12});
    files.Add("short/bmst.bin", {0x02, 0x01, 0x34});
    uint16_t fileCount = 0, entryCount = 0;
    EXPECT_EQ(ReadBitmapIndex(files, "", &fileCount, nullptr), GBitmapIndexState::kRead);
    EXPECT_EQ(ReadBitmapIndex(files, nullptr, nullptr, &entryCount), GBitmapIndexState::kRead);
    EXPECT_EQ(std::make_pair(fileCount, entryCount),
              std::make_pair(uint16_t(0x102), uint16_t(0x1234)));
    EXPECT_EQ(ReadBitmapIndex(files, "short", &fileCount, &entryCount),
              GBitmapIndexState::kTooShort);
    EXPECT_EQ(ReadBitmapIndex(files, "none", &fileCount, &entryCount), GBitmapIndexState::kMissing);
    EXPECT_TRUE(ReadBitmapIndexHeader(files, nullptr, nullptr, nullptr) &&
                !ReadBitmapIndexHeader(files, "short", nullptr, nullptr));
    EXPECT_EQ(BitmapIndexProblem("short", GBitmapIndexState::kTooShort),
              "short/bmst.bin is damaged (too short)");
    EXPECT_EQ(BitmapIndexProblem(nullptr, GBitmapIndexState::kMissing), "bmst.bin not found!");
}
