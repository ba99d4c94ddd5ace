// Reloading and unloading ranges of the bitmap store, its run-time pool, files on disk and
// the fatal exits.

#include "graphics/store/graphics_resources.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/bitmap_store_sets.h"
#include "foundation/image/bitmap.h"
#include "platform/message_box.h"

using namespace bitmap_store_test;

// ---- reloading ranges ----

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
    std::unique_ptr<GPixelBlock> block = GPixelBlock::Create(16, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(m_store.CreateBitmap(32768, 1, 0, 2, block.get(), nullptr, 0), -1);
    EXPECT_EQ(block->GetRefCount(), 0);
}

// ---- files on disk and the fatal exits ----

TEST_F(BitmapStoreFilesTest, CreateReadsTheFolderThroughThePlatformLayer)
{
    SetBuilder set;
    set.Add(OneByte(15, "M", 2, 2, 1)).Add(Rgb(2, "IMG", 2, 2, 2, 0));
    set.NextFile().Add(Rgb(0, "NEXT", 1, 2, 3));
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
