// A dialog over the shared render list: its appear state holds back low-priority commands for
// its first frame, the normal state redraws only what changed, Repaint redraws everything and
// the dialog takes its clips out of the list when it goes. Its background shows the picture it
// loaded into the pool, which does not start at slot 0.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "foundation/app/command_invoker.h"
#include "foundation/image/dib_surface.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/background.h"
#include "gui/dialog.h"
#include "gui/dialog_states.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "support/font_sheets.h"
#include "support/gui_store_folder.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-datapacks/pack_writer.h"

namespace {

class App : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
};

// Bytes of the back buffer at (x, y).
const uint8_t* At(GDibSurface& surface, const uint8_t* pixels, int x, int y)
{
    return pixels + y * surface.GetPitch() + x * 3;
}

TEST(Dialog, AppearsHeldThenRedrawsWhatChangedAndRepaintsWhole)
{
    tolvanrise::test::GuiStoreFolder folder("dialog_");
    App app;
    ASSERT_TRUE(app.Create("Dialog", "Dialog", 64, 48, 0));
    GGuiSystem system;
    ASSERT_EQ(system.Init(&app, folder.Path("log.html").c_str()), 1);
    GGraphicsResources& store = *system.GetResources();
    const GBitmap* image = store.GetBitmap(store.FindBitmap("PIXEL"));
    ASSERT_NE(image, nullptr);

    packtool::Picture picture;
    picture.width = 3;
    picture.height = 2;
    picture.rgba.assign(3 * 2 * 4, 90);
    std::vector<uint8_t> pack;
    ASSERT_TRUE(packtool::MakePack(picture, packtool::PackKind::kTga24, 90, pack) && packtool::WritePack(".", 7, pack));
    GBackground background;
    ASSERT_EQ(background.Load(&store, 7, nullptr), 1);
    ASSERT_GT(background.GetSlot(), 0);
    EXPECT_EQ(store.GetBitmap(background.GetClip().GetSlot())->GetWidth(), 3);
    background.GetClip().SetVisible(true);

    GClip clip;
    clip.SetSlot(store.FindBitmap("PIXEL"));
    clip.SetPosition(FixedFromInt(5), FixedFromInt(6));
    clip.SetVisible(true);
    GClipArray& list = *system.GetClipArray();
    {
        GDialog dialog(&app, &system);
        ASSERT_EQ(dialog.Create(), 1);
        dialog.SetBackgroundMode(1);
        dialog.SetBackgroundColour(0x102030);
        dialog.AddClip(&background.GetClip());
        dialog.AddClip(&clip);
        GCommandInvoker& invoker = *system.GetInvoker();
        EXPECT_TRUE(invoker.IsPriorityFilterOn());
        EXPECT_EQ(invoker.GetPriorityThreshold(), 1024);

        dialog.Update(30);
        EXPECT_FALSE(invoker.IsPriorityFilterOn());
        EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);

        GDibSurface& surface = *app.GetBackBuffer();
        uint8_t* pixels = surface.Lock();
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(At(surface, pixels, 2, 1)[0], 90);
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(std::memcmp(At(surface, pixels, 5, 6 + y), image->GetPixels() + y * image->GetPitch(), 6), 0);
        // Nothing changed: the next frame writes nothing, even over a wiped buffer.
        std::memset(pixels, 0, static_cast<size_t>(surface.GetPitch()) * 48);
        surface.Unlock();
        dialog.Update(30);
        pixels = surface.Lock();
        EXPECT_EQ(At(surface, pixels, 5, 6)[0] | At(surface, pixels, 6, 7)[1], 0);
        surface.Unlock();

        dialog.Repaint();
        pixels = surface.Lock();
        EXPECT_EQ(std::memcmp(At(surface, pixels, 5, 6), image->GetPixels(), 6), 0);
        surface.Unlock();
        EXPECT_EQ(list.Find(&background.GetClip()), dialog.GetFirstClip());
    }
    EXPECT_EQ(list.Find(&clip), -1);
}

// A dialog that keeps its own activation slot hears each time it becomes the top form: when
// it first reaches the top and when the dialog above it has gone, never while covered.
TEST(Dialog, ItsOwnActivationSlotRunsWhenItBecomesTheTopForm)
{
    class Heard : public GDialog {
    public:
        using GDialog::GDialog;
        int OnActivate() override { return ++activations; }
        int activations = 0;
    };
    tolvanrise::test::GuiStoreFolder folder("dialog_activate_");
    App app;
    ASSERT_TRUE(app.Create("Dialog", "Dialog", 64, 48, 0));
    GGuiSystem system;
    ASSERT_EQ(system.Init(&app, folder.Path("log.html").c_str()), 1);
    auto lower = std::make_unique<Heard>(&app, &system);
    auto upper = std::make_unique<Heard>(&app, &system);
    ASSERT_EQ(lower->Create() + upper->Create(), 2);
    Heard* below = lower.get();
    Heard* above = upper.get();
    app.PushForm(std::move(lower));
    app.OnFrame(30);
    EXPECT_EQ(below->activations, 1);
    app.PushForm(std::move(upper));
    app.OnFrame(30);
    app.OnFrame(30);
    EXPECT_EQ(std::tuple(below->activations, above->activations), std::tuple(1, 1));
    above->Disappear();
    for (int i = 0; i < 5 && app.GetFormCount() > 1; ++i)
        app.OnFrame(30);
    ASSERT_EQ(app.GetFormCount(), 1);
    EXPECT_EQ(below->activations, 2);
    app.RemoveAllForms(); // the dialogs go before the system they draw through
}

// A dialog's picture from each kind of pack, and from none.
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
