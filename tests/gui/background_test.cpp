// A dialog's picture from each kind of pack, and from none.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/graphics_resources.h"
#include "gui/background.h"
#include "support/font_sheets.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-packs/pack_writer.h"

namespace {

TEST(Background, LoadsEachKindOfPackIntoAPoolSlot)
{
    tolvanrise::test::TempFolder folder("background_");
    const auto pool = tolvanrise::test::MakePoolStore(4);
    GGraphicsResources& store = *pool;

    packtool::Picture picture;
    picture.width = 24;
    picture.height = 10;
    picture.rgba.assign(24 * 10 * 4, 200);
    const packtool::PackKind kinds[] = {packtool::PackKind::kTga24, packtool::PackKind::kJpm, packtool::PackKind::kJpeg};
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(packtool::MakePack(picture, kinds[i], 90, bytes));
        ASSERT_TRUE(packtool::WritePack(folder.Path(), 10 + i, bytes));
        GBackground background;
        ASSERT_EQ(background.Load(&store, 10 + i, folder.Path().c_str()), 1) << i;
        ASSERT_GE(background.GetSlot(), 0);
        const GClip& clip = background.GetClip();
        EXPECT_EQ(std::tuple(clip.GetSlot(), clip.GetRect().Width(), clip.GetRect().Height(),
                             store.GetBitmap(background.GetSlot())->GetWidth()),
                  std::tuple(background.GetSlot(), 24, 10, int16_t(24)));
    }
    GBackground missing;
    EXPECT_EQ(missing.Load(&store, 99, folder.Path().c_str()) + missing.Load(nullptr, 10, folder.Path().c_str()), 0);
    EXPECT_EQ(std::tuple(missing.GetSlot(), missing.GetClip().GetFrame()), std::tuple(-1, 0));
}

} // namespace
