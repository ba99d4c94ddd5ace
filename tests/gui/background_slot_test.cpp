// A background loaded into a store whose pool does not start at slot 0 shows its own picture:
// the clip takes the absolute slot, not the pool's.

#include <gtest/gtest.h>

#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/background.h"
#include "support/bitmap_store_sets.h"
#include "tools/tolvanrise-packs/pack_writer.h"

TEST(BackgroundSlot, TheClipShowsTheAbsoluteSlotOfThePoolImage)
{
    using namespace bitmap_store_test;
    TempFolder folder("background_slot_");
    GMemorySetSource files;
    SetBuilder{Rgb(0, "A", 3, 2, 1), Rgb(0, "B", 5, 4, 2)}.Install(files, nullptr);
    GGraphicsResources store;
    ASSERT_FALSE(store.TryInit(files, nullptr, 4, 0).Failed());
    ASSERT_GT(store.GetPool()->GetFirstSlot(), 0);

    packtool::Picture picture;
    picture.width = 24;
    picture.height = 10;
    picture.rgba.assign(24 * 10 * 4, 90);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(packtool::MakePack(picture, packtool::PackKind::kTga24, 90, bytes));
    ASSERT_TRUE(packtool::WritePack(folder.Path(), 7, bytes));

    GBackground background;
    ASSERT_EQ(background.Load(&store, 7, folder.Path().c_str()), 1);
    EXPECT_GE(background.GetSlot(), store.GetPool()->GetFirstSlot());
    EXPECT_EQ(background.GetClip().GetFrame(), background.GetSlot() << 8);
    const GBitmap* shown = store.GetBitmap(background.GetClip().GetSlot());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->GetWidth(), 24);
    EXPECT_EQ(shown->GetHeight(), 10);
}
