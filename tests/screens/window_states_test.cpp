// The game's window states on a small window: the slide down lands exactly in place, the fades
// run the clips' global alpha up and down and put their draw modes back, the wait animation
// pulses and is put back when "cmCancelWait" ends the wait, and every step presents what it
// redrew.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/app/command_invoker.h"
#include "foundation/image/dib_surface.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "screens/window_states.h"
#include "support/gui_store_folder.h"
#include "support/recording_application.h"

namespace {

// Adds its clips as it is made, before its appear state begins.
class ClipDialog : public GDialog {
public:
    ClipDialog(GFormStackApplication* app, GGuiSystem* system, std::vector<GClip*> clips)
        : GDialog(app, system), m_clips(std::move(clips))
    {
    }
    int OnInit() override
    {
        for (GClip* clip : m_clips)
            AddClip(clip);
        return 1;
    }
    void OnStateLabel(const char* label) override
    {
        labels.push_back(label);
        GDialog::OnStateLabel(label);
    }
    std::vector<std::string> labels; // every state label, in order

private:
    std::vector<GClip*> m_clips;
};

class WindowStatesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_app.Create("States", "States", 64, 48, 0));
        ASSERT_EQ(m_system.Init(&m_app, m_folder.Path("log.html").c_str()), 1);
        m_slot = m_system.GetResources()->FindBitmap("PIXEL");
        for (GClip* clip : {&m_clip, &m_other}) {
            clip->SetSlot(m_slot);
            clip->SetVisible(true);
        }
        m_clip.SetPosition(FixedFromInt(5), FixedFromInt(6));
        m_other.SetPosition(FixedFromInt(20), FixedFromInt(30));
        m_other.SetDrawMode(dmFaded);
        m_other.SetAlpha(100);
    }
    void TearDown() override { m_app.RemoveAllForms(); }

    // A dialog holding the clips (both of the fixture's by default); its appear state is made
    // by make(dialog).
    template <class Make>
    ClipDialog& Open(Make make, std::vector<GClip*> clips = {})
    {
        if (clips.empty())
            clips = {&m_clip, &m_other};
        auto dialog = std::make_unique<ClipDialog>(&m_app, &m_system, std::move(clips));
        ClipDialog& result = *dialog;
        m_app.PushForm(std::move(dialog));
        EXPECT_EQ(result.Create(make(result)), 1);
        return result;
    }
    // The first clip's pixel at (x, y) is the picture's top-left pixel.
    bool ShowsPicture(int x, int y)
    {
        GDibSurface& surface = *m_app.GetBackBuffer();
        const uint8_t* pixels = surface.Lock();
        const bool same =
            std::memcmp(pixels + y * surface.GetPitch() + x * 3,
                        m_system.GetResources()->GetBitmap(m_slot)->GetPixels(), 3) == 0;
        surface.Unlock();
        return same;
    }

    tolvanrise::test::GuiStoreFolder m_folder{"window_states_"};
    tolvanrise::test::RecordingApplication m_app;
    GGuiSystem m_system;
    GClip m_clip;
    GClip m_other;
    int16_t m_slot = -1;
};

TEST_F(WindowStatesTest, MovingDownLandsInPlaceAndPresentsEveryStep)
{
    GDialog& dialog =
        Open([](GDialog& d) { return std::make_unique<GAppearStateMovingDown>(d, 90); });
    EXPECT_EQ(FixedWhole(m_clip.GetY()), 6 - 48);
    std::vector<int> ys;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(m_system.GetInvoker()->IsPriorityFilterOn()) << i;
        m_app.presented.clear();
        m_app.OnFrame(30);
        ys.push_back(FixedWhole(m_clip.GetY()));
        ASSERT_FALSE(m_app.presented.empty()) << i;
        // The presented area spans both clips down to the lower one's new bottom row.
        const GRect& r = m_app.presented.back();
        EXPECT_TRUE(r.left <= 5 && r.right >= 21 && r.bottom == FixedWhole(m_other.GetY()) + 1)
            << i;
    }
    EXPECT_EQ(ys, (std::vector<int>{6 - 32, 6 - 16, 6}));
    EXPECT_EQ(FixedWhole(m_other.GetY()), 30);
    EXPECT_FALSE(m_system.GetInvoker()->IsPriorityFilterOn());
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);
    EXPECT_TRUE(ShowsPicture(5, 6));
}

TEST_F(WindowStatesTest, TheFadesRunTheAlphaAndPutTheDrawModesBack)
{
    GDialog& dialog = Open([](GDialog& d) { return std::make_unique<GAppearStateAlpha>(d, 90); });
    // Faded from nothing: a plain clip up to full, a faded one up to its own alpha.
    EXPECT_EQ(m_clip.GetDrawMode(), dmFaded);
    std::vector<int> alphas{m_clip.GetAlpha()}, others{m_other.GetAlpha()};
    for (int i = 0; i < 2; ++i) {
        m_app.OnFrame(30);
        alphas.push_back(m_clip.GetAlpha());
        others.push_back(m_other.GetAlpha());
    }
    EXPECT_EQ(alphas, (std::vector<int>{0, 84, 169}));
    EXPECT_EQ(others, (std::vector<int>{0, 32, 66}));
    EXPECT_FALSE(ShowsPicture(5, 6));
    m_app.OnFrame(30);
    EXPECT_EQ(std::tuple(m_clip.GetDrawMode(), m_clip.GetAlpha(), m_other.GetDrawMode(),
                         m_other.GetAlpha()),
              std::tuple(uint8_t(dmImageFormat), uint8_t(0), uint8_t(dmFaded), uint8_t(100)));
    EXPECT_TRUE(ShowsPicture(5, 6));

    dialog.SetState(std::make_unique<GDisappearStateAlpha>(dialog, 60));
    m_app.OnFrame(30);
    EXPECT_EQ(std::tuple(m_clip.GetAlpha(), m_other.GetAlpha()),
              std::tuple(uint8_t(128), uint8_t(50)));
    m_app.OnFrame(30);
    EXPECT_EQ(m_clip.GetAlpha(), 0);
    EXPECT_TRUE(dialog.CanDelete());
    m_app.OnFrame(30);
    EXPECT_EQ(m_app.GetFormCount(), 0);
}

TEST_F(WindowStatesTest, TheWaitAnimationPulsesUntilTheWaitIsCancelled)
{
    m_other.SetVisible(false);
    GDialog& dialog = Open([](GDialog& d) { return std::make_unique<GDialogAppearState>(d, 0); });
    m_app.OnFrame(30);
    dialog.SetState(std::make_unique<GWaitAnimationWaitState>(dialog, &m_other, -1, nullptr, 120));
    EXPECT_TRUE(m_other.IsVisible());
    std::vector<int> alphas;
    for (int i = 0; i < 5; ++i) {
        m_app.OnFrame(30);
        alphas.push_back(m_other.GetAlpha());
    }
    EXPECT_EQ(alphas, (std::vector<int>{192, 128, 192, 255, 192}));
    m_system.ExecuteCommandList("cmCancelWait");
    m_app.OnFrame(30);
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);
    EXPECT_EQ(std::tuple(m_other.IsVisible(), m_other.GetAlpha(), m_other.GetDrawMode()),
              std::tuple(false, uint8_t(100), uint8_t(dmFaded)));

    // Disappearing after a wait hides the animation at once.
    m_other.SetVisible(true);
    dialog.SetState(std::make_unique<GWaitAnimationDisappearState>(dialog, &m_other, 30));
    EXPECT_FALSE(m_other.IsVisible());
    m_app.OnFrame(30);
    EXPECT_TRUE(dialog.CanDelete());
}

// A shown clip pulsed by the wait is put back shown and in its own draw mode once the wait
// ends, and drawn whole again even when its alpha (which its own mode ignores) is the one the
// pulse ended on; the window hears the wait's labels.
TEST_F(WindowStatesTest, AShownAnimationIsDrawnWholeAgainAfterTheWait)
{
    m_clip.SetAlpha(128);
    ClipDialog& dialog =
        Open([](GDialog& d) { return std::make_unique<GDialogAppearState>(d, 0); });
    dialog.SetBackgroundMode(kBackgroundFill);
    m_app.OnFrame(30);
    ASSERT_TRUE(ShowsPicture(5, 6));
    dialog.labels.clear();
    dialog.SetState(std::make_unique<GWaitAnimationWaitState>(dialog, &m_clip, -1, nullptr, 120));
    m_app.OnFrame(30);
    m_app.OnFrame(30);
    EXPECT_EQ(m_clip.GetAlpha(), 128); // half way through the period
    EXPECT_FALSE(ShowsPicture(5, 6));
    m_system.ExecuteCommandList("cmCancelWait");
    m_app.OnFrame(30);
    EXPECT_EQ(std::tuple(m_clip.IsVisible(), m_clip.GetDrawMode(), m_clip.GetAlpha()),
              std::tuple(true, uint8_t(dmImageFormat), uint8_t(128)));
    EXPECT_TRUE(ShowsPicture(5, 6));
    EXPECT_EQ(dialog.labels,
              (std::vector<std::string>{kStateNormalEnd, kStateWait, kStateWaitEnd, kStateNormal}));

    // A fade out shows at once what changed before it began.
    m_clip.SetPosition(FixedFromInt(9), FixedFromInt(6));
    m_app.presented.clear();
    dialog.SetState(std::make_unique<GDisappearStateAlpha>(dialog, 60));
    EXPECT_FALSE(m_app.presented.empty());
}

// A fade begun again on another window takes that window's clips only.
TEST_F(WindowStatesTest, AFadeBegunOnAnotherWindowLeavesTheFirstAlone)
{
    GDialog& first = Open([](GDialog& d) { return std::make_unique<GDialogAppearState>(d, 0); });
    GClip third;
    third.SetSlot(m_slot);
    third.SetVisible(true);
    GDialog& second =
        Open([](GDialog& d) { return std::make_unique<GDialogAppearState>(d, 0); }, {&third});
    m_app.OnFrame(30);
    GWindowFade fade;
    fade.Begin(first);
    fade.Begin(second);
    fade.SetLevel(second, 0);
    EXPECT_EQ(std::tuple(m_other.GetAlpha(), third.GetAlpha()),
              std::tuple(uint8_t(100), uint8_t(0)));
}

} // namespace
