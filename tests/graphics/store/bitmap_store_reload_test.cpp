// Reloading and unloading ranges of the bitmap store, its run-time pool, files on disk and
// the fatal exits.

#include "graphics/store/graphics_resources.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "platform/window/message_box.h"
#include "support/bitmap_store_sets.h"
#include "support/failing_allocations.h"

using namespace bitmap_store_test;

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
    EXPECT_TRUE(m_store.GetBitmap(1099) == before && m_store.GetBitmap(2100) == after);
    for (int i = 0; i < 40; ++i) {
        GBitmap* image = m_store.GetBitmap(1100 + i);
        ASSERT_NE(image, nullptr) << i;
        EXPECT_TRUE(image->GetName() == "I" + std::to_string(i) && image->GetFormat() == 2 &&
                    SameBytes(image->GetPixels(), Pattern(600 + i, 27)) &&
                    SameBytes(image->GetAlpha(), Pattern(500 + i / 4, 9)))
            << i;
    }
    for (int slot = 1140; slot <= 2099; ++slot)
        ASSERT_EQ(m_store.GetBitmap(slot), nullptr) << slot;

    // 100 start-up blocks (records 1100..1199) went; 50 new ones took the first free
    // positions, which are the ones those left.
    EXPECT_EQ(HeldPositions(m_store), 1200 - 100 + 50);
    EXPECT_EQ((std::pair(m_store.GetBlockAt(1100), m_store.GetBlockAt(1101))),
              (std::pair(m_store.GetBitmap(1100)->GetAlphaBlock(), m_store.GetBitmap(1100)->GetPixelBlock())));
    EXPECT_EQ(m_store.GetBlockAt(1100)->GetRefCount(), 1 + 4);
    EXPECT_EQ(m_store.FindBitmap("I39", 1100, 2100), 1139);

    // Again and again: the same positions are reused.
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 1100, 2099, nullptr), 1);
        ASSERT_EQ(HeldPositions(m_store), 1100 + 50) << round;
    }
    m_store.UnloadBitmaps(1100, 2099);
    EXPECT_EQ(HeldPositions(m_store), 1100);
}

TEST_F(BitmapStoreTest, ReloadRangesAreClampedAndOutsideRangesChangeNothing)
{
    Start(StartSet(), 0, 1100);
    InterfaceSet().Install(m_files, "iface");
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 2190, 0, nullptr), 1); // last before first: the set's count
    for (int i = 0; i < 10; ++i)
        EXPECT_STREQ(m_store.GetBitmap(2190 + i)->GetName(), ("I" + std::to_string(i)).c_str());
    EXPECT_EQ(m_store.GetSlotCount(), 2200);
    // last = 100 + 50: slots 100..150, of which the 40 images fill 100..139.
    ASSERT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 100, -1, nullptr), 1);
    EXPECT_STREQ(m_store.GetBitmap(139)->GetName(), "I39");
    EXPECT_TRUE(!m_store.GetBitmap(140) && !m_store.GetBitmap(150));
    EXPECT_STREQ(m_store.GetBitmap(151)->GetName(), "S151");

    Start({Rgb(0, "A", 1, 2, 1), Rgb(0, "B", 1, 2, 2)}, 4, 0);
    GBitmap* a = m_store.GetBitmap(0);
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 3, 5, nullptr), 0);
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", -1, 1, nullptr), 0);
    EXPECT_STREQ(m_store.GetFolder(), "gfx");
    EXPECT_EQ(m_store.TryLoadBitmaps(m_files, "iface", 2, 5, nullptr), 1); // first == loadedSlots: nothing
    EXPECT_EQ(m_store.GetBitmap(0), a);
    EXPECT_EQ(HeldPositions(m_store), 2);
}

// Each refused reload leaves every image, block and the folder as they were; some of the
// faults end the process, the others let the game go on.
TEST_F(BitmapStoreTest, RefusedReloadsChangeNothing)
{
    using F = GBitmapStoreFault;
    Start(StartSet(), 0, 1100);
    SetBuilder bad = InterfaceSet();
    bad.Add(Palettised(16, "BAD", 2, 2, 1, 0, 700));
    bad.Install(m_files, "bad");
    InterfaceSet().Install(m_files, "short", 20); // more records than the index lists
    SetBuilder{}.Install(m_files, "empty");
    InterfaceSet().Install(m_files, "cut", 60); // the index lists 10 records more than there are
    m_files.Add("stub/bmst.bin", {1, 0});
    SetBuilder{JpegRecord(22, "J", 1, 1, Bytes(kBitmapStoreMaxJpegBytes + 1, 0))}.Install(m_files, "big");
    struct Refusal {
        const char* folder;
        F fault;
        bool ends;
        const char* message;
    };
    const Refusal cases[] = {
        {"bad", F::kBadPalette, false, nullptr},
        {"short", F::kTooManyRecords, false, nullptr},
        {"nowhere", F::kReloadIndexMissing, true, "nowhere/bmst.bin not found!"},
        {"empty", F::kReloadIndexMissing, true, "empty/bmst.bin is damaged (it lists no bitmap)"},
        {"big", F::kJpegTooBig, true, nullptr},
        {"cut", F::kTruncated, false,
         "cut/bmdt0.bin is damaged (too short): the set holds 50 of the 60 records its index lists"},
        {"stub", F::kReloadIndexMissing, true, "stub/bmst.bin is damaged (too short)"},
    };
    std::vector<GBitmap*> before;
    for (int slot = 0; slot < 1200; ++slot)
        before.push_back(m_store.GetBitmap(slot));
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.folder);
        GBitmapStoreError error;
        EXPECT_EQ(m_store.TryLoadBitmaps(m_files, c.folder, 0, 1199, &error), 0);
        EXPECT_EQ(error.fault, c.fault);
        EXPECT_EQ(EndsProcessOnReload(error.fault), c.ends);
        EXPECT_TRUE(!c.ends || error.exitCode == (c.fault == F::kJpegTooBig ? 100 : 255));
        EXPECT_TRUE(!c.message || error.message == c.message) << error.message;
        std::vector<GBitmap*> now;
        for (int slot = 0; slot < 1200; ++slot)
            now.push_back(m_store.GetBitmap(slot));
        EXPECT_TRUE(now == before && HeldPositions(m_store) == 1200 && std::string(m_store.GetFolder()) == "gfx");
    }
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
    ASSERT_NE(m_store.GetBitmap(0), nullptr);
    GBitmap* i1 = m_store.GetBitmap(1);
    // Two positions were freed; the mask and I0's pixels took them, I1's pixels did not.
    EXPECT_EQ(std::tuple(HeldPositions(m_store), i1->GetPixelBlock()->GetRefCount()), std::tuple(4, 1));
    EXPECT_TRUE(SameBytes(i1->GetPixels(), Pattern(601, 27)));
    m_store.UnloadBitmaps(0, 1);
    EXPECT_EQ(HeldPositions(m_store), 2);
}

TEST_F(BitmapStoreTest, UnloadKeepsBlocksOtherImagesStillUse)
{
    Start({OneByte(21, "M", 2, 2, 1), Rgb(2, "A", 2, 2, 2, 0), Rgb(2, "B", 2, 2, 3, 0), Rgb(0, "C", 2, 2, 4)}, 0, 0);
    GPixelBlock* mask = m_store.GetBlockAt(0);
    EXPECT_EQ(mask->GetRefCount(), 3);
    m_store.UnloadBitmaps(2, 1); // first > last: nothing
    EXPECT_NE(m_store.GetBitmap(1), nullptr);
    m_store.UnloadBitmaps(1, 1);
    EXPECT_TRUE(!m_store.GetBitmap(1) && !m_store.GetBlockAt(1) && m_store.GetBlockAt(0) == mask);
    EXPECT_EQ(mask->GetRefCount(), 2);
    m_store.UnloadBitmaps(-10, 30000); // clamped to the loaded slots
    EXPECT_TRUE(!m_store.GetBitmap(0) && !m_store.GetBitmap(2) && !m_store.GetBitmap(3) && HeldPositions(m_store) == 0);
}

TEST_F(BitmapStoreTest, PoolSlotsAreFoundRangeCheckedAndRefusedWhenFull)
{
    Start({Rgb(0, "A", 2, 2, 1)}, 3, 0);
    GBitmapPool* pool = m_store.GetPool();
    // Asked slot -> slot taken: explicit, first free twice, full, out of range, too wide.
    for (auto [width, asked, got] :
         {std::tuple{4, 1, 1}, {4, -1, 0}, {4, -1, 2}, {4, -1, -1}, {4, 3, -1}, {40000, 0, -1}})
        EXPECT_EQ(pool->CreateBitmap(int16_t(width), 4, 0, 0, nullptr, nullptr, int16_t(asked)), got) << asked;
    EXPECT_EQ(m_store.GetBitmap(1), pool->GetBitmap(0));
    EXPECT_TRUE(!pool->GetBitmap(3) && !pool->GetBitmap(-1));
    // Replacing a slot frees what it held.
    EXPECT_EQ(pool->CreateBitmap(1, 1, 0, 14, nullptr, nullptr, 0), 0);
    EXPECT_EQ(pool->GetBitmap(0)->GetFormat(), 14);

    GGraphicsResources empty;
    EXPECT_EQ(empty.CreateBitmap(1, 1, 0, 0, nullptr, nullptr, -1), -1);
    EXPECT_TRUE(empty.GetSlotCount() == 0 && !empty.GetBitmap(0));

    // A fresh block of nobody's: a refusal must not take it over (and free it).
    std::unique_ptr<GPixelBlock> block(GPixelBlock::Create(16, nullptr));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(m_store.CreateBitmap(32768, 1, 0, 2, block.get(), nullptr, 0), -1);
    EXPECT_EQ(block->GetRefCount(), 0);
}

// A pool image whose own block cannot be allocated is refused: the blocks handed in keep their
// counts and live on, nothing is recorded, and the pool takes images again afterwards.
TEST_F(BitmapStoreTest, PoolImagesWhoseBlocksCannotBeMadeAreRefused)
{
    Start({Rgb(0, "A", 2, 2, 1)}, 2, 0);
    GBitmapPool* pool = m_store.GetPool();
    GPixelBlock* loaded = m_store.GetBlockAt(0);
    std::unique_ptr<GPixelBlock> mask(GPixelBlock::Create(64, nullptr));
    ASSERT_TRUE(loaded && mask);
    const int16_t loadedCount = loaded->GetRefCount();
    // Pixels handed in, the mask made; the mask handed in, the pixels made; both made.
    const std::pair<GPixelBlock*, GPixelBlock*> handed[] = {
        {loaded, nullptr}, {nullptr, mask.get()}, {nullptr, nullptr}};
    for (auto [pixels, alpha] : handed) {
        {
            FailArrayAllocationsAfter fail(0);
            EXPECT_EQ(pool->CreateBitmap(2, 2, 0, 2, pixels, alpha, 1), -1);
        }
        EXPECT_EQ(std::tuple(loaded->GetRefCount(), mask->GetRefCount(), pool->GetBitmap(1)),
                  std::tuple(loadedCount, int16_t(0), static_cast<GBitmap*>(nullptr)));
        for (int32_t p = 1; p < m_store.GetBlockPositionCount(); ++p)
            ASSERT_EQ(m_store.GetBlockAt(p), nullptr) << p;
    }
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), Pattern(1, 12)));
    EXPECT_EQ(pool->CreateBitmap(2, 2, 0, 2, nullptr, nullptr, -1), 0);
}

TEST_F(BitmapStoreTest, PoolImagesStartZeroedAndRecordTheirOwnBlocks)
{
    Start({Rgb(0, "A", 2, 2, 1)}, 2, 0);
    GBitmapPool* pool = m_store.GetPool();
    ASSERT_EQ(pool->CreateBitmap(5, 3, 0, 20, nullptr, nullptr, 0), 0);
    GBitmap* image = pool->GetBitmap(0);
    const GPixelBlock* pixels = image->GetPixelBlock();
    EXPECT_EQ(image->GetPixels()[0] | (image->GetPixels()[1] << 8), 770);
    EXPECT_EQ(Bytes(image->GetPixels() + 2, image->GetPixels() + pixels->GetSize()), Bytes(pixels->GetSize() - 2, 0));
    EXPECT_EQ(Bytes(image->GetAlpha(), image->GetAlpha() + image->GetAlphaBlock()->GetSize()),
              Bytes(image->GetAlphaBlock()->GetSize(), 0));
    EXPECT_TRUE(m_store.GetBlockAt(1) == pixels && m_store.GetBlockAt(2) == image->GetAlphaBlock());
    EXPECT_FALSE(m_store.HoldsBlockAt(1));

    // An alpha fill starts the mask there and leaves the pixels zeroed.
    ASSERT_EQ(pool->CreateBitmap(5, 3, 0, 20, nullptr, nullptr, 1, 255), 1);
    const GBitmap* filled = pool->GetBitmap(1);
    const uint32_t maskSize = filled->GetAlphaBlock()->GetSize();
    const uint32_t pixelSize = filled->GetPixelBlock()->GetSize();
    EXPECT_EQ(Bytes(filled->GetAlpha(), filled->GetAlpha() + maskSize), Bytes(maskSize, 255));
    EXPECT_EQ(Bytes(filled->GetPixels() + 2, filled->GetPixels() + pixelSize), Bytes(pixelSize - 2, 0));
    pool->FreeBitmap(1);

    // A block handed in is shared, not recorded, and outlives the pool image.
    GPixelBlock* loaded = m_store.GetBlockAt(0);
    ASSERT_EQ(pool->CreateBitmap(2, 2, 0, 0, loaded, nullptr, 1), 1);
    EXPECT_EQ(loaded->GetRefCount(), 3);
    EXPECT_EQ(m_store.GetBlockAt(3), nullptr);
    pool->FreeBitmap(1);
    EXPECT_EQ(loaded->GetRefCount(), 2);
    EXPECT_TRUE(SameBytes(m_store.GetBitmap(0)->GetPixels(), Pattern(1, 12)));
    pool->FreeBitmap(0);
    EXPECT_TRUE(!m_store.GetBlockAt(1) && !m_store.GetBlockAt(2));

    // Freed pool images clear their positions for ever, round after round.
    for (int round = 0; round < 50; ++round) {
        for (int16_t slot = 0; slot < 2; ++slot)
            ASSERT_EQ(pool->CreateBitmap(3, 3, 0, 2, nullptr, nullptr, -1), slot);
        int32_t recorded = 0;
        for (int32_t p = 1; p < m_store.GetBlockPositionCount(); ++p)
            recorded += m_store.GetBlockAt(p) != nullptr;
        ASSERT_EQ(recorded, 4) << round;
        pool->FreeAll();
        for (int32_t p = 1; p < m_store.GetBlockPositionCount(); ++p)
            ASSERT_EQ(m_store.GetBlockAt(p), nullptr);
    }
}

TEST_F(BitmapStoreFilesTest, CreateReadsTheFolderThroughThePlatformLayer)
{
    SetBuilder set{OneByte(15, "M", 2, 2, 1), Rgb(2, "IMG", 2, 2, 2, 0)};
    set.NextFile().Add(Rgb(0, "NEXT", 1, 2, 3));
    set.WriteTo("Gfx"); // the engine names it "gfx": letter case is resolved
    std::unique_ptr<GGraphicsResources> store = GGraphicsResources::Create("gfx", 5, 0);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->FindBitmap("NEXT"), 2);
    EXPECT_TRUE(SameBytes(store->GetBitmap(1)->GetAlpha(), Pattern(1, 4)));
    uint16_t files = 0, entries = 0;
    EXPECT_EQ(store->ReadIndexHeader(&files, &entries), 1);
    EXPECT_EQ((std::pair(files, entries)), (std::pair<uint16_t, uint16_t>(2, 3)));

    InterfaceSet().WriteTo("iface");
    EXPECT_EQ(store->LoadBitmaps("iface", 0, 1), 1);
    EXPECT_STREQ(store->GetBitmap(0)->GetName(), "I0");
    // Ten masks take no loaded slot: the last ten images go to the pool's slots.
    store->Reinit("iface", 10);
    EXPECT_EQ((std::tuple(store->GetEntryCount(), store->GetLoadedSlots(), store->GetSlotCount())),
              std::tuple(50, 40, 50));
    EXPECT_STREQ(store->GetBitmap(49)->GetName(), "I39");

    set.WriteTo("."); // the current folder
    std::unique_ptr<GGraphicsResources> here = GGraphicsResources::Create(nullptr, 1, 0);
    EXPECT_EQ(here->GetFolder(), nullptr);
    EXPECT_EQ(here->FindBitmap("IMG"), 1);
}

using BitmapStoreDeathTest = BitmapStoreFilesTest;

TEST_F(BitmapStoreDeathTest, FatalFaultsEndTheProcessWithTheirCodes)
{
    platform::SetMessageBoxBackend(nullptr); // alerts go to stderr, where the check reads them
    SetBuilder{JpegRecord(22, "J", 1, 1, Bytes(kBitmapStoreMaxJpegBytes + 1, 0))}.WriteTo("big");
    SetBuilder{Palettised(16, "P", 1, 1, 1, 0, 12)}.WriteTo("bad");
    SetBuilder{}.WriteTo("empty");
    EXPECT_EXIT(GGraphicsResources::Create("missing", 10, 0), testing::ExitedWithCode(255), "missing.bmst.bin not found!");
    EXPECT_EXIT(GGraphicsResources::Create(nullptr, 0, 0), testing::ExitedWithCode(255), "bmst.bin not found!");
    EXPECT_EXIT(GGraphicsResources::Create("big", 10, 0), testing::ExitedWithCode(100), "Jpeg data too big!");
    EXPECT_EXIT(GGraphicsResources::Create("bad", 10, 0), testing::ExitedWithCode(255), "palette section");
    EXPECT_EXIT(GGraphicsResources::Create("empty", 0, 0), testing::ExitedWithCode(255), "");

    // Reloads end only for their documented faults.
    StartSet().WriteTo("gfx");
    std::unique_ptr<GGraphicsResources> store = GGraphicsResources::Create("gfx", 0, 1100);
    EXPECT_EXIT(store->LoadBitmaps("nowhere", 0, 5), testing::ExitedWithCode(255), "nowhere.bmst.bin");
    InterfaceSet().WriteTo("iface");
    fs::remove("iface/bmdt0.bin");
    EXPECT_EXIT(store->LoadBitmaps("iface", 0, 5), testing::ExitedWithCode(255), "Cannot open file iface.bmdt0.bin");
    SetBuilder{OneByte(15, "M", 2, 2, 1), Rgb(2, "I", 3, 3, 2, 0)}.WriteTo("mismatch");
    EXPECT_EQ(store->LoadBitmaps("mismatch", 0, 5), 0); // refused, the game goes on
    EXPECT_STREQ(store->GetBitmap(0)->GetName(), "S0");
}
