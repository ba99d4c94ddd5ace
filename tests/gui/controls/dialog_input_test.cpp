// Input through the form stack into a dialog: a subclass overriding the input slots sees every
// event in order; the default road reaches the control under the cursor or the focused one;
// clicks, hover, focus and the silent rules (a disabled control takes nothing, a press and a
// release on different controls click neither); and the appear state waiting for a label's
// animation.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/scene/clip_array.h"
#include "foundation/cfg/cfg_node.h"
#include "gui/ani_static_label_animator.h"
#include "gui/control_listener.h"
#include "gui/controls/button.h"
#include "gui/controls/list_box.h"
#include "gui/controls/slider_bar.h"
#include "gui/controls/static_label.h"
#include "gui/dialog_builder.h"
#include "gui/dialog_states.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

using Log = std::vector<std::string>;

class RecordingDialog : public GDialog {
public:
    RecordingDialog(GFormStackApplication* application, GGuiSystem* system, Log* log)
        : GDialog(application, system), m_log(log)
    {
    }
    int OnKeyDown(int32_t key) override
    {
        return Note("key " + std::to_string(key), GDialog::OnKeyDown(key));
    }
    int OnKeyUp(int32_t key) override
    {
        return Note("keyup " + std::to_string(key), GDialog::OnKeyUp(key));
    }
    int OnChar(int32_t c) override { return Note("char " + std::to_string(c), GDialog::OnChar(c)); }
    int OnLButtonDown(int32_t x, int32_t y) override
    {
        return Note(At("down", x, y), GDialog::OnLButtonDown(x, y));
    }
    int OnLButtonUp(int32_t x, int32_t y) override
    {
        return Note(At("up", x, y), GDialog::OnLButtonUp(x, y));
    }
    int OnLButtonDrag(int32_t x, int32_t y) override
    {
        return Note(At("drag", x, y), GDialog::OnLButtonDrag(x, y));
    }
    int OnLButtonDblClk(int32_t x, int32_t y) override { return Note(At("dbl", x, y), 1); }
    int OnMouseMove(int32_t x, int32_t y) override
    {
        return Note(At("move", x, y), GDialog::OnMouseMove(x, y));
    }
    int OnRButtonDown(int32_t x, int32_t y) override { return Note(At("rdown", x, y), 1); }
    int OnRButtonUp(int32_t x, int32_t y) override { return Note(At("rup", x, y), 1); }
    int OnActivate() override { return Note("activate", 1); }

private:
    static std::string At(const char* what, int x, int y)
    {
        return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
    }
    int Note(std::string line, int result)
    {
        m_log->push_back(std::move(line));
        return result;
    }
    Log* m_log;
};

class ClickListener : public GControlListener {
public:
    explicit ClickListener(Log* log) : m_log(log) {}
    void OnControlClick(GDialog&, GBaseControl& control) override
    {
        m_log->push_back("click " + control.GetName());
    }

private:
    Log* m_log;
};

using DialogInputTest = tolvanrise::test::GuiControlsTest;

TEST_F(DialogInputTest, SubclassSeesEveryEventInOrder)
{
    Log log;
    Open<RecordingDialog>(&log);
    log.clear();
    Move(40, 50);
    Press(40, 50);
    Drag(45, 52);
    Release(45, 52);
    KeyDown('A');
    app.Send(WM_CHAR, 'a', 0);
    KeyUp('A');
    app.Send(WM_RBUTTONDOWN, 0, tolvanrise::test::PointParam(7, 8));
    app.Send(WM_RBUTTONUP, 0, tolvanrise::test::PointParam(7, 8));
    app.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, tolvanrise::test::PointParam(9, 10));
    app.OnActivate();
    EXPECT_EQ(log,
              (Log{"move 40,50", "down 40,50", "drag 45,52", "move 45,52", "up 45,52", "key 65",
                   "char 97", "keyup 65", "rdown 7,8", "rup 7,8", "dbl 9,10", "activate"}));
}

// Three buttons side by side (x 100-199, 200-299, 300-399; y 100-139) and a slider below.
class MouseRoadTest : public tolvanrise::test::GuiControlsTest {
protected:
    void SetUp() override
    {
        GuiControlsTest::SetUp();
        dialog = &Open();
        dialog->AddControlListener(std::make_unique<ClickListener>(&clicks));
        GBmpFont* font = system.GetBmpFontManager()->FindFont("Sans12");
        for (int i = 0; i < 3; ++i) {
            auto button = std::make_unique<GButton>("btn" + std::to_string(i), font);
            button->SetRect(GRect{int16_t(100 + 100 * i), 100, int16_t(199 + 100 * i), 139});
            button->SetOnClick("cmRepaintTopDialog");
            buttons[i] = static_cast<GButton*>(dialog->AddControl(std::move(button)));
        }
        auto slider = std::make_unique<GSliderBar>("slVolume");
        slider->SetRect(GRect{100, 200, 299, 219});
        this->slider = static_cast<GSliderBar*>(dialog->AddControl(std::move(slider)));
    }
    GDialog* dialog = nullptr;
    GButton* buttons[3] = {};
    GSliderBar* slider = nullptr;
    Log clicks;
};

TEST_F(MouseRoadTest, ClicksReachOnlyTheControlPressedAndReleasedOn)
{
    struct Case {
        const char* what;
        int pressX, releaseX;
        bool disableFirst;
        Log clicks;
        int queued;
    };
    const Case cases[] = {
        {"press and release on one button", 150, 160, false, {"click btn0"}, 1},
        {"press on one, release on another", 150, 250, false, {}, 0},
        {"press on one, release outside all", 150, 50, false, {}, 0},
        {"press outside, release on a button", 50, 150, false, {}, 0},
        {"a disabled button", 150, 150, true, {}, 0},
        {"the button beside a disabled one", 250, 250, true, {"click btn1"}, 1},
    };
    for (const Case& c : cases) {
        clicks.clear();
        buttons[0]->SetEnabled(!c.disableFirst);
        const int before = Queued();
        Move(c.pressX, 120);
        Press(c.pressX, 120);
        Drag(c.releaseX, 120);
        Release(c.releaseX, 120);
        EXPECT_EQ(clicks, c.clicks) << c.what;
        EXPECT_EQ(Queued() - before, c.queued) << c.what;
        EXPECT_FALSE(buttons[0]->IsPressed() || buttons[1]->IsPressed()) << c.what;
    }
}

TEST_F(MouseRoadTest, HoverFollowsTheCursorAndPressLightsOnlyItsControl)
{
    Move(150, 120);
    EXPECT_EQ(dialog->GetHover(), buttons[0]);
    EXPECT_EQ(buttons[0]->GetLook(), GControlLook::Hover);
    Press(150, 120);
    EXPECT_EQ(buttons[0]->GetLook(), GControlLook::Pressed);
    Drag(250, 120); // away from the pressed control: nothing lights up
    EXPECT_TRUE(dialog->GetHover() == nullptr && buttons[1]->GetLook() == GControlLook::Normal);
    EXPECT_EQ(buttons[0]->GetLook(), GControlLook::Normal);
    Release(250, 120);
    EXPECT_EQ(dialog->GetHover(), buttons[1]);
    buttons[1]->SetEnabled(false);
    EXPECT_TRUE(dialog->GetHover() == nullptr && buttons[1]->GetLook() == GControlLook::Disabled);

    // The slots report whether a control took the event.
    EXPECT_EQ((std::vector<int>{dialog->OnMouseMove(350, 120), dialog->OnMouseMove(50, 50),
                                dialog->OnLButtonDown(350, 120), dialog->OnLButtonDrag(360, 120),
                                dialog->OnLButtonUp(350, 120), dialog->OnLButtonDown(50, 50),
                                dialog->OnLButtonDrag(60, 60), dialog->OnLButtonUp(50, 50),
                                dialog->OnKeyDown(VK_F1), dialog->OnLButtonDown(150, 210),
                                dialog->OnLButtonDrag(200, 210), dialog->OnLButtonUp(200, 210)}),
              (std::vector<int>{1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1}));
}

// A button's panel shows its look on the next frame: face, hover, pressed, and face again.
TEST_F(MouseRoadTest, AButtonsPanelFollowsItsLook)
{
    const GControlColours& c = buttons[0]->GetColours();
    std::vector<uint32_t> fills;
    const auto frame = [&] {
        app.OnFrame(30);
        fills.push_back(Pixel(105, 135));
    };
    frame();
    Move(150, 120);
    frame();
    Press(150, 120);
    frame();
    Release(150, 120);
    Move(50, 50);
    frame();
    buttons[0]->SetEnabled(false);
    frame();
    EXPECT_EQ(fills, (std::vector<uint32_t>{c.face, c.hover, c.pressed, c.face, c.disabled}));
    EXPECT_EQ(Pixel(100, 135), c.border); // disabled, it lost the focus its press gave it
}

TEST_F(MouseRoadTest, FocusMovesWithTabSkippingWhatTakesNoInputAndDisabledFocusGoes)
{
    buttons[1]->SetEnabled(false);
    Key(VK_TAB);
    EXPECT_EQ(dialog->GetFocus(), buttons[0]);
    Key(VK_TAB);
    EXPECT_EQ(dialog->GetFocus(), buttons[2]);
    Key(VK_TAB);
    EXPECT_EQ(dialog->GetFocus(), slider);
    Key(VK_TAB); // wraps
    EXPECT_EQ(dialog->GetFocus(), buttons[0]);
    Chord(VK_SHIFT, VK_TAB);
    EXPECT_EQ(dialog->GetFocus(), slider);
    slider->SetVisible(false);
    EXPECT_TRUE(dialog->GetFocus() == nullptr && !slider->IsFocused());
    Key(VK_RIGHT); // no focus: nothing moves, nothing breaks
    Click(150, 120);
    EXPECT_EQ(dialog->GetFocus(), buttons[0]);
    const int before = Queued();
    Key(VK_RETURN);
    EXPECT_EQ(Queued() - before, 1);
    EXPECT_EQ(clicks, (Log{"click btn0", "click btn0"}));
}

TEST_F(MouseRoadTest, SliderFollowsPressAndDragWithinItsRange)
{
    slider->SetRange(0, 100);
    Press(100, 210);
    EXPECT_EQ(slider->GetValue(), 0);
    Drag(299, 210);
    EXPECT_EQ(slider->GetValue(), 100);
    Drag(1000, 210);
    EXPECT_EQ(slider->GetValue(), 100);
    Drag(200, 210);
    EXPECT_NEAR(slider->GetValue(), 50, 3);
    Release(200, 210);
    const GRect thumb = slider->GetThumbRect();
    EXPECT_TRUE(thumb.left >= 100 && thumb.right <= 299 &&
                (thumb.left + thumb.right) / 2 - 200 <= 2);
    EXPECT_EQ(clicks.size(), 2u); // 0 was the value already; then 100, nothing past the end, ~50

    // A range of one value, or reversed: every place on the track is that value.
    for (auto [low, high, value] : {std::tuple{7, 7, 7}, {9, 3, 9}}) {
        slider->SetRange(low, high);
        Press(250, 210);
        EXPECT_TRUE(slider->IsPressed()); // drawn pressed while held
        Drag(120, 210);
        Release(120, 210);
        EXPECT_EQ(slider->GetValue(), value) << low << ".." << high;
    }
    // Narrower than its thumb, a slider has no track to travel: a press gives the minimum.
    slider->SetRange(5, 50);
    slider->SetValue(30);
    slider->SetRect(GRect{100, 200, 102, 219});
    Press(101, 210);
    Release(101, 210);
    EXPECT_EQ(slider->GetValue(), 5);

    // A check box set by the program shows its mark at the next frame.
    GClipArray& list = *dialog->GetClips();
    const auto visible = [&] {
        int n = 0;
        for (int i = 0; i < list.GetCount(); ++i)
            n += list.GetAt(i) && list.GetAt(i)->IsVisible();
        return n;
    };
    auto box =
        std::make_unique<GCheckBox>("cbMusic", system.GetBmpFontManager()->FindFont("Sans12"));
    box->SetRect(GRect{100, 300, 299, 319});
    auto* music = static_cast<GCheckBox*>(dialog->AddControl(std::move(box)));
    app.OnFrame(30);
    const int before = visible();
    music->SetChecked(true);
    app.OnFrame(30);
    EXPECT_EQ(visible(), before + 1);
}

TEST_F(MouseRoadTest, ClicksToggleCheckBoxesAndSelectListRowsAndADoubleClickCountsAsAPress)
{
    GBmpFont* font = system.GetBmpFontManager()->FindFont("Sans12");
    auto box = std::make_unique<GCheckBox>("cbMusic", font);
    box->SetRect(GRect{100, 300, 299, 319});
    auto* music = static_cast<GCheckBox*>(dialog->AddControl(std::move(box)));
    auto rows = std::make_unique<GListBox>("lstNames", font, 20);
    rows->SetRect(GRect{400, 300, 599, 359});
    for (const char* item : {"a", "b", "c", "d"})
        rows->AddItem(GWString(item));
    auto* list = static_cast<GListBox*>(dialog->AddControl(std::move(rows)));

    Click(150, 310);
    EXPECT_TRUE(music->IsChecked());
    app.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, tolvanrise::test::PointParam(150, 310));
    Release(150, 310);
    EXPECT_FALSE(music->IsChecked());
    Click(450, 345); // third row
    EXPECT_EQ(list->GetSelected(), 2);
    Click(450, 365); // below the list: nothing
    EXPECT_EQ(list->GetSelected(), 2);
    Press(450, 305);
    Drag(450, 325);
    Release(450, 325);
    EXPECT_EQ(list->GetSelected(), 1);
    EXPECT_EQ(clicks, (Log{"click cbMusic", "click cbMusic", "click lstNames", "click lstNames",
                           "click lstNames"}));
    EXPECT_EQ(dialog->GetFocus(), list);
}

TEST_F(DialogInputTest, AppearHoldsWhileALabelsAnimationIsBusy)
{
    GDialog dialog(&app, &system);
    ASSERT_EQ(dialog.Create(0), 1);
    GCfgNode file;
    ASSERT_EQ(file.LoadFile("intro.cfg"), 1);
    auto animator = std::make_unique<GAniStaticLabelAnimator>();
    ASSERT_EQ(animator->Play(file, "IntroLabel", system.GetResources(), 300, 300), 1);
    // Played at (300, 300), the label stands where the same animation at the origin stands,
    // moved by that much.
    GAniStaticLabelAnimator atOrigin;
    ASSERT_EQ(atOrigin.Play(file, "IntroLabel", system.GetResources(), 0, 0), 1);
    EXPECT_EQ(std::pair(animator->GetClip().GetX() - atOrigin.GetClip().GetX(),
                        animator->GetClip().GetY() - atOrigin.GetClip().GetY()),
              std::pair(FixedFromInt(300), FixedFromInt(300)));
    auto label = std::make_unique<GStaticLabel>("lblLogo", nullptr, GTextAlign::Left);
    label->SetAnimator(std::move(animator));
    GBaseControl* added = dialog.AddControl(std::move(label));
    ASSERT_TRUE(added->IsBusy());
    int frames = 0;
    while (system.GetInvoker()->IsPriorityFilterOn() && frames < 100) {
        dialog.Update(30);
        ++frames;
    }
    // "stAppearEnd" is key frame 30 of the animation.
    EXPECT_TRUE(frames >= 29 && frames <= 32) << frames;
    EXPECT_FALSE(added->IsBusy());
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);

    // A label of a dialog file without a place plays at the origin.
    {
        GDialog built(&app, &system);
        ASSERT_EQ(built.Create(0), 1);
        const std::string text = "Dialog { Control { Name = lblLogo Animation = intro.cfg "
                                 "AnimationName = IntroLabel Width = 5 Height = 5 } }";
        GCfgNode dialogFile;
        ASSERT_EQ(dialogFile.Parse(text.data(), text.size()), 1);
        ASSERT_EQ(GDialogBuilder(system).Build(built, dialogFile, "label.cfg"), 1);
        auto* played = static_cast<GAniStaticLabelAnimator*>(built.GetControl(0)->GetAnimator());
        EXPECT_EQ(std::pair(played->GetClip().GetX(), played->GetClip().GetY()),
                  std::pair(atOrigin.GetClip().GetX(), atOrigin.GetClip().GetY()));
    }
    GAniStaticLabelAnimator missing;
    EXPECT_EQ(missing.Play(file, "NoSuchAnimation", system.GetResources(), 0, 0), 0);
    EXPECT_FALSE(missing.IsBusy());
}

} // namespace
