// One key table per control: the key (with Shift or Ctrl held), the control's state before
// and after, and the commands its report queued. Keys travel the whole road: window
// procedure, form stack, dialog, focused control, VirtualKeyToKeyCode.

#include <gtest/gtest.h>

#include <climits>

#include <string>

#include "graphics/scene/clip_array.h"
#include "gui/controls/button.h"
#include "gui/controls/list_box.h"
#include "gui/controls/slider_bar.h"
#include "gui/controls/st_animators.h"
#include "gui/controls/static_label.h"
#include "gui/controls/tab_control.h"
#include "gui/controls/text_image_animator.h"
#include "gui/controls/ttf_controls.h"
#include "support/failing_allocations.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

struct KeyRow {
    int modifier; // 0, VK_SHIFT or VK_CONTROL
    int key;
    std::string before;
    std::string after;
    int queued;
};

// "text|caret|selection start" for edits; the value or index as a number otherwise.
std::string StateOf(GBaseControl& control)
{
    if (auto* box = dynamic_cast<GCheckBox*>(&control))
        return box->IsChecked() ? "on" : "off";
    if (auto* slider = dynamic_cast<GSliderBar*>(&control))
        return std::to_string(slider->GetValue());
    if (auto* list = dynamic_cast<GListBox*>(&control))
        return std::to_string(list->GetSelected());
    if (auto* tabs = dynamic_cast<GTabControl*>(&control))
        return std::to_string(tabs->GetSelected());
    if (auto* edit = dynamic_cast<GBaseEdit*>(&control)) {
        const GEditBuffer& b = edit->GetBuffer();
        std::string text;
        for (char16_t c : b.GetText())
            text += char(c);
        // The control shows what the buffer holds after every edit.
        const bool shown = edit->GetText().View() == std::u16string_view(b.GetText());
        return text + "|" + std::to_string(b.GetCaret()) + "|" +
               std::to_string(b.GetSelectionStart()) + (shown ? "" : " (not shown)");
    }
    return "";
}

void SetState(GBaseControl& control, const std::string& state)
{
    if (auto* box = dynamic_cast<GCheckBox*>(&control))
        box->SetChecked(state == "on");
    else if (auto* slider = dynamic_cast<GSliderBar*>(&control))
        slider->SetValue(std::stoi(state));
    else if (auto* list = dynamic_cast<GListBox*>(&control))
        list->SetSelected(std::stoi(state));
    else if (auto* tabs = dynamic_cast<GTabControl*>(&control))
        tabs->SetSelected(std::stoi(state));
    else if (auto* edit = dynamic_cast<GBaseEdit*>(&control)) {
        const size_t bar = state.find('|');
        const size_t second = state.find('|', bar + 1);
        edit->SetText(GWString(state.substr(0, bar).c_str()));
        const int caret = std::stoi(state.substr(bar + 1, second - bar - 1));
        const int anchor = std::stoi(state.substr(second + 1));
        const_cast<GEditBuffer&>(edit->GetBuffer()).MoveTo(anchor, false);
        const_cast<GEditBuffer&>(edit->GetBuffer()).MoveTo(caret, true);
    }
}

class ControlKeysTest : public tolvanrise::test::GuiControlsTest {
protected:
    GBaseControl& Add(std::unique_ptr<GBaseControl> control)
    {
        control->SetRect(GRect{100, 100, 299, 159});
        control->SetOnClick("cmRepaintTopDialog");
        GBaseControl* added = dialog->AddControl(std::move(control));
        dialog->SetFocus(added);
        return *added;
    }
    void Check(GBaseControl& control, const std::vector<KeyRow>& rows)
    {
        for (const KeyRow& row : rows) {
            SetState(control, row.before);
            const int queued = Queued();
            if (row.modifier)
                Chord(row.modifier, row.key);
            else
                Key(row.key);
            EXPECT_EQ(StateOf(control), row.after)
                << control.GetName() << " key " << row.key << " from " << row.before;
            EXPECT_EQ(Queued() - queued, row.queued)
                << control.GetName() << " key " << row.key << " from " << row.before;
            EXPECT_EQ(dialog->GetFocus(), &control) << control.GetName() << " key " << row.key;
        }
    }
    void SetUp() override
    {
        GuiControlsTest::SetUp();
        dialog = &Open();
        font = system.GetBmpFontManager()->FindFont("Sans12");
    }
    // Dirty areas painted black, so what a control leaves behind when hidden shows.
    void BlackBackground()
    {
        dialog->SetBackgroundMode(kBackgroundFill);
        dialog->SetBackgroundColour(0);
    }
    // The rightmost column of the box (inclusive) holding a pixel of neither colour: a
    // caption's ink. -1 when there is none.
    int InkRight(const GRect& box, uint32_t a, uint32_t b)
    {
        for (int x = box.right; x >= box.left; --x)
            for (int y = box.top; y <= box.bottom; ++y)
                if (const uint32_t p = Pixel(x, y); p != a && p != b)
                    return x;
        return -1;
    }
    // A control of every kind that takes input, not yet in the dialog.
    std::vector<std::unique_ptr<GBaseControl>> OneOfEachKind()
    {
        std::vector<std::unique_ptr<GBaseControl>> kinds;
        kinds.push_back(std::make_unique<GButton>("btnOk", font));
        kinds.push_back(std::make_unique<GCheckBox>("cbMusic", font));
        kinds.push_back(std::make_unique<GSliderBar>("slMusic"));
        kinds.push_back(std::make_unique<GListBox>("lstProfiles", font, 20));
        auto tabs = std::make_unique<GTabControl>("tabOptions", font);
        tabs->AddTab(GWString("Sound"), {});
        kinds.push_back(std::move(tabs));
        kinds.push_back(std::make_unique<GTextEdit>("edName", "DejaVuSans.ttf", 12, 6));
        return kinds;
    }
    GDialog* dialog = nullptr;
    GBmpFont* font = nullptr;
};

TEST_F(ControlKeysTest, Button)
{
    Check(Add(std::make_unique<GButton>("btnOk", font)), {
                                                             {0, VK_RETURN, "", "", 1},
                                                             {0, VK_SPACE, "", "", 1},
                                                             {0, 'A', "", "", 0},
                                                             {0, VK_LEFT, "", "", 0},
                                                             {0, VK_ESCAPE, "", "", 0},
                                                         });
}

TEST_F(ControlKeysTest, CheckBox)
{
    Check(Add(std::make_unique<GCheckBox>("cbMusic", font)), {
                                                                 {0, VK_SPACE, "off", "on", 1},
                                                                 {0, VK_RETURN, "on", "off", 1},
                                                                 {0, 'A', "off", "off", 0},
                                                                 {0, VK_DOWN, "on", "on", 0},
                                                             });
}

TEST_F(ControlKeysTest, SliderBar)
{
    auto slider = std::make_unique<GSliderBar>("slMusic");
    slider->SetStep(5);
    Check(Add(std::move(slider)), {
                                      {0, VK_RIGHT, "50", "55", 1},
                                      {0, VK_UP, "50", "55", 1},
                                      {0, VK_LEFT, "50", "45", 1},
                                      {0, VK_DOWN, "50", "45", 1},
                                      {0, VK_PRIOR, "50", "60", 1},
                                      {0, VK_NEXT, "50", "40", 1},
                                      {0, VK_HOME, "50", "0", 1},
                                      {0, VK_END, "50", "100", 1},
                                      {0, VK_RIGHT, "100", "100", 0},
                                      {0, VK_LEFT, "0", "0", 0},
                                      {0, VK_PRIOR, "95", "100", 1},
                                      {0, VK_SPACE, "50", "50", 0},
                                  });
    // Values snap to whole steps counted from the minimum; the maximum stays reachable.
    auto* shown = static_cast<GSliderBar*>(dialog->FindControl("slMusic"));
    shown->SetRange(10, 112);
    std::vector<int32_t> values;
    for (int32_t value : {23, 22, -5, 200, 111, 109})
        shown->SetValue(value), values.push_back(shown->GetValue());
    EXPECT_EQ(values, (std::vector<int32_t>{25, 20, 10, 112, 110, 110}));
    // A page is a tenth of the range: 10 of 100..200.
    shown->SetRange(100, 200);
    shown->SetValue(120);
    Key(VK_PRIOR);
    EXPECT_EQ(shown->GetValue(), 130);
}

TEST_F(ControlKeysTest, ListBox)
{
    auto list = std::make_unique<GListBox>("lstProfiles", font, 20); // 3 of 5 rows in view
    for (const char* item : {"a", "b", "c", "d", "e"})
        list->AddItem(GWString(item));
    GListBox* shown = list.get();
    Check(Add(std::move(list)), {
                                    {0, VK_DOWN, "-1", "0", 1},
                                    {0, VK_UP, "-1", "4", 1},
                                    {0, VK_DOWN, "4", "4", 0},
                                    {0, VK_UP, "2", "1", 1},
                                    {0, VK_HOME, "3", "0", 1},
                                    {0, VK_END, "0", "4", 1},
                                    {0, VK_NEXT, "0", "3", 1},
                                    {0, VK_PRIOR, "4", "1", 1},
                                    {0, VK_LEFT, "2", "2", 0},
                                    // A selection out of range is none.
                                    {0, VK_DOWN, "5", "0", 1},
                                    {0, VK_UP, "-2", "4", 1},
                                });
    shown->SetSelected(4);
    EXPECT_EQ(shown->GetTopIndex(), 2); // the selection stays in view
    shown->SetSelected(0);
    EXPECT_EQ(shown->GetTopIndex(), 0);
}

TEST_F(ControlKeysTest, TabControl)
{
    auto tabs = std::make_unique<GTabControl>("tabOptions", font);
    for (const char* caption : {"Sound", "Video", "Game"})
        tabs->AddTab(GWString(caption), {});
    Check(Add(std::move(tabs)), {
                                    {0, VK_RIGHT, "0", "1", 1},
                                    {0, VK_RIGHT, "2", "2", 0},
                                    {0, VK_LEFT, "1", "0", 1},
                                    {0, VK_LEFT, "0", "0", 0},
                                    {0, VK_END, "0", "2", 1},
                                    {0, VK_HOME, "2", "0", 1},
                                    {0, VK_DOWN, "1", "1", 0},
                                });
    // Three tabs share the control's 200 columns (100..299) in whole pixels.
    auto* shown = static_cast<GTabControl*>(dialog->FindControl("tabOptions"));
    std::vector<std::pair<int, int>> columns;
    for (int i = 0; i < 3; ++i)
        columns.emplace_back(shown->GetTabRect(i).left, shown->GetTabRect(i).right);
    EXPECT_EQ(columns, (std::vector<std::pair<int, int>>{{100, 165}, {166, 232}, {233, 299}}));
    // Chosen by the program, a tab is not reported as the user's choice.
    const int queued = Queued();
    const int32_t other = shown->GetSelected() == 0 ? 2 : 0;
    shown->SetSelected(other);
    EXPECT_EQ(std::pair(shown->GetSelected(), Queued()), std::pair(other, queued));
}

// The list as the screen shows it, row by row: the bar's colour at the row's right end and the
// rightmost column of the row's caption. Items grow by one letter each, so a row's extent tells
// which item it shows.
TEST_F(ControlKeysTest, ListDrawsItsPanelTheBarAndACaptionPerShownRow)
{
    BlackBackground();
    auto owned = std::make_unique<GListBox>("lstProfiles", font, 20);
    for (const char* item : {"a", "bb", "ccc", "dddd", "eeeee"})
        owned->AddItem(GWString(item));
    auto& list = static_cast<GListBox&>(Add(std::move(owned))); // three rows of 20 in view
    const GControlColours& c = list.GetColours();
    using Rows = std::vector<std::pair<uint32_t, int>>;
    const auto rows = [&](int count) {
        app.OnFrame(30);
        Rows shown;
        for (int i = 0; i < count; ++i) {
            const int16_t top = int16_t(100 + 20 * i);
            shown.emplace_back(Pixel(290, top + 10),
                               InkRight(GRect{101, int16_t(top + 1), 289, int16_t(top + 18)},
                                        c.face, c.selection));
        }
        return shown;
    };
    const Rows first = rows(3);
    ASSERT_TRUE(first[0].second > 100 && first[0].second < first[1].second &&
                first[1].second < first[2].second);
    const int thirdItem = first[2].second;
    EXPECT_EQ(first,
              (Rows{{c.face, first[0].second}, {c.face, first[1].second}, {c.face, thirdItem}}));
    EXPECT_EQ(std::pair(Pixel(100, 130), Pixel(299, 130)), std::pair(c.focus, c.focus));

    list.SetSelected(4); // scrolls: items 2 to 4 in view, the bar on the last row
    const Rows scrolled = rows(3);
    EXPECT_EQ(scrolled[0], std::pair(c.face, thirdItem));
    EXPECT_TRUE(scrolled[1].first == c.face && scrolled[1].second > thirdItem);
    EXPECT_TRUE(scrolled[2].first == c.selection && scrolled[2].second > scrolled[1].second);
    // The bar stops one row short of the panel's bottom edge, and inside its sides.
    EXPECT_EQ(
        (std::vector<uint32_t>{Pixel(290, 158), Pixel(290, 159), Pixel(101, 150), Pixel(100, 150)}),
        (std::vector<uint32_t>{c.selection, c.focus, c.selection, c.focus}));

    list.ClearItems();
    EXPECT_EQ(rows(3), (Rows{{c.face, -1}, {c.face, -1}, {c.face, -1}}));
    list.AddItem(GWString("ccc"));
    EXPECT_EQ(rows(1), (Rows{{c.face, thirdItem}}));
    // Grown to five rows while in the dialog: the new rows show their items too.
    list.SetRect(GRect{100, 100, 299, 199});
    for (const char* item : {"a", "a", "a", "a"})
        list.AddItem(GWString(item));
    const Rows grown = rows(5);
    EXPECT_TRUE(grown[3].second > 100 && grown[4].second == grown[3].second);
    list.SetVisible(false);
    app.OnFrame(30);
    EXPECT_EQ(InkRight(list.GetRect(), 0, 0), -1); // nothing left of it
}

// Each tab as the screen shows it: its fill, its left edge and whether its caption is inked.
TEST_F(ControlKeysTest, TabsDrawAPanelAndACaptionEach)
{
    BlackBackground();
    auto owned = std::make_unique<GTabControl>("tabOptions", font);
    for (const char* caption : {"Sound", "Video", "Game"})
        owned->AddTab(GWString(caption), {});
    auto& tabs = static_cast<GTabControl&>(Add(std::move(owned)));
    const GControlColours& c = tabs.GetColours();
    using Looks = std::vector<std::tuple<uint32_t, uint32_t, bool>>;
    const auto looks = [&] {
        app.OnFrame(30);
        Looks shown;
        for (int i = 0; i < tabs.GetTabCount(); ++i) {
            const GRect r = tabs.GetTabRect(i);
            const uint32_t fill = Pixel(r.left + 2, r.top + 2);
            const GRect inside{int16_t(r.left + 1), int16_t(r.top + 1), int16_t(r.right - 1),
                               int16_t(r.bottom - 1)};
            shown.emplace_back(fill, Pixel(r.left, r.top + 30), InkRight(inside, fill, fill) >= 0);
        }
        return shown;
    };
    EXPECT_EQ(
        looks(),
        (Looks{{c.selection, c.focus, true}, {c.face, c.focus, true}, {c.face, c.focus, true}}));
    Move(200, 105); // hovered: every tab but the chosen one lights up
    EXPECT_EQ(
        looks(),
        (Looks{{c.selection, c.focus, true}, {c.hover, c.focus, true}, {c.hover, c.focus, true}}));
    Move(10, 10);
    Key(VK_END);
    dialog->SetFocus(nullptr);
    EXPECT_EQ(
        looks(),
        (Looks{{c.face, c.border, true}, {c.face, c.border, true}, {c.selection, c.border, true}}));
    // A tab added while in the dialog gets its own panel and caption.
    tabs.AddTab(GWString("More"), {});
    EXPECT_EQ(looks(), (Looks{{c.face, c.border, true},
                              {c.face, c.border, true},
                              {c.selection, c.border, true},
                              {c.face, c.border, true}}));
    tabs.SetVisible(false);
    EXPECT_EQ(looks(), (Looks{{0, 0, false}, {0, 0, false}, {0, 0, false}, {0, 0, false}}));
}

// The slider's track and thumb in the colours of its look.
TEST_F(ControlKeysTest, SliderDrawsItsTrackAndThumbInTheColoursOfItsLook)
{
    BlackBackground();
    GBaseControl& slider = Add(std::make_unique<GSliderBar>("slMusic"));
    static_cast<GSliderBar&>(slider).SetValue(50);
    const GControlColours& c = slider.GetColours();
    const GRect thumb = static_cast<GSliderBar&>(slider).GetThumbRect();
    // Thumb fill, thumb edge, track fill, track edge, and the rectangle above the track.
    const auto look = [&] {
        app.OnFrame(30);
        return std::vector<uint32_t>{Pixel(thumb.left + 3, thumb.top + 3),
                                     Pixel(thumb.left, thumb.top + 3), Pixel(105, 129),
                                     Pixel(105, 127), Pixel(105, 110)};
    };
    EXPECT_EQ(look(), (std::vector<uint32_t>{c.face, c.focus, c.pressed, c.focus, 0}));
    // Moved by a key, the thumb is drawn at its new place on the next frame.
    Key(VK_END);
    app.OnFrame(30);
    const GRect end = static_cast<GSliderBar&>(slider).GetThumbRect();
    EXPECT_EQ(std::pair(Pixel(end.right - 3, end.top + 3), Pixel(thumb.left + 3, thumb.top + 3)),
              std::pair(c.face, 0u));
    Key(VK_HOME);
    static_cast<GSliderBar&>(slider).SetValue(50);
    Move(thumb.left + 3, thumb.top + 3);
    dialog->SetFocus(nullptr);
    EXPECT_EQ(look(), (std::vector<uint32_t>{c.hover, c.border, c.pressed, c.border, 0}));
    slider.SetEnabled(false);
    EXPECT_EQ(look(), (std::vector<uint32_t>{c.disabled, c.border, c.pressed, c.border, 0}));
}

// A small check box's tick stands inside its square, clear of its border, and is gone when the
// box is not checked; the focused box has a ring of the focus colour around its square.
TEST_F(ControlKeysTest, ASmallCheckBoxShowsItsMarkInsideItsSquare)
{
    BlackBackground();
    auto owned = std::make_unique<GCheckBox>("cbMusic", font);
    owned->SetChecked(true);
    auto& box = static_cast<GCheckBox&>(Add(std::move(owned)));
    box.SetRect(GRect{100, 100, 199, 107}); // an 8-pixel square at the left
    app.OnFrame(30);
    const GControlColours& c = box.GetColours();
    auto marked = [&](int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                count += Pixel(x, y) == c.text;
        return count;
    };
    EXPECT_GE(marked(101, 101, 106, 106), 5);
    EXPECT_EQ(std::vector<uint32_t>({Pixel(100, 103), Pixel(107, 103), Pixel(97, 103),
                                     Pixel(99, 103), Pixel(96, 103)}),
              std::vector<uint32_t>({c.focus, c.focus, c.focus, c.focus, 0u}));
    box.SetChecked(false);
    app.OnFrame(30);
    EXPECT_EQ(marked(101, 101, 106, 106), 0);
}

// Keys a control has no use for go on to the dialog: Tab moves the focus on from every kind.
TEST_F(ControlKeysTest, TabLeavesEveryKind)
{
    auto first = std::make_unique<GButton>("btnFirst", font);
    first->SetRect(GRect{400, 400, 499, 439});
    GBaseControl* next = dialog->AddControl(std::move(first));
    for (std::unique_ptr<GBaseControl>& kind : OneOfEachKind()) {
        GBaseControl& control = Add(std::move(kind));
        Key(VK_TAB);
        EXPECT_EQ(dialog->GetFocus(), next) << control.GetName();
        control.SetVisible(false);
    }
}

// A control named on two pages shows while either page does.
TEST_F(ControlKeysTest, AControlOnTwoPagesShowsWithEither)
{
    for (const char* name : {"btnA", "btnB"}) {
        auto button = std::make_unique<GButton>(name, font);
        button->SetRect(GRect{400, 400, 499, 439});
        dialog->AddControl(std::move(button));
    }
    auto owned = std::make_unique<GTabControl>("tabOptions", font);
    owned->AddTab(GWString("One"), {"btnA", "btnB"});
    owned->AddTab(GWString("Two"), {"btnB"});
    auto& tabs = static_cast<GTabControl&>(Add(std::move(owned)));
    std::vector<std::pair<bool, bool>> shown;
    for (int32_t tab : {1, 0}) {
        tabs.SetSelected(tab);
        shown.emplace_back(dialog->FindControl("btnA")->IsVisible(),
                           dialog->FindControl("btnB")->IsVisible());
    }
    EXPECT_EQ(shown, (std::vector<std::pair<bool, bool>>{{false, true}, {true, true}}));
}

// An animator given a control of another kind draws nothing for it, and breaks nothing.
TEST_F(ControlKeysTest, AnimatorsIgnoreControlsOfAnotherKind)
{
    BlackBackground();
    std::vector<std::unique_ptr<GCAnimator>> animators;
    animators.push_back(std::make_unique<GStCheckBoxAnimator>(font));
    animators.push_back(std::make_unique<GStStaticLabelAnimator>(font));
    animators.push_back(std::make_unique<GStSliderBarAnimator>());
    animators.push_back(std::make_unique<GStListBoxAnimator>(font));
    animators.push_back(std::make_unique<GStTabControlAnimator>(font));
    animators.push_back(std::make_unique<GStTextImageAnimator>());
    for (std::unique_ptr<GCAnimator>& animator : animators) {
        auto owned = std::make_unique<GButton>("btnOk", font);
        owned->SetText(GWString("Ok"));
        GBaseControl& button = Add(std::move(owned));
        button.SetAnimator(std::move(animator));
        button.SetRect(GRect{100, 100, 299, 159});
        app.OnFrame(30);
        EXPECT_EQ(InkRight(button.GetRect(), 0, 0), -1) << dialog->GetControlCount();
        button.SetVisible(false);
    }
}

// A caption shows what it is given and keeps its clips in the container as it grows; detached,
// it leaves none behind.
TEST_F(ControlKeysTest, CaptionShowsWhatItIsGivenAndGrowsInItsContainer)
{
    GCaption caption(font);
    caption.Attach(*dialog);
    GClipArray& list = *dialog->GetClips();
    const struct {
        const char* text;
        uint32_t colour;
        uint8_t alpha;
        bool visible;
    } shows[] = {
        {"ab", 0x102030, 255, true},
        {"ab", 0x405060, 128, true},
        {"a caption far longer than the first", 0x405060, 0, false},
        {"", 0, 255, true},
    };
    std::vector<GBmpText*> texts;
    for (const auto& s : shows) {
        caption.Show(GWString(s.text), s.colour, s.alpha, static_cast<GTextAnchor>(1), 50, 60,
                     s.visible);
        GBmpText* text = caption.GetText();
        ASSERT_TRUE(text);
        texts.push_back(text);
        EXPECT_TRUE(text->GetText() == s.text && text->GetColor() == s.colour &&
                    text->GetAlpha() == s.alpha && text->IsVisible() == s.visible)
            << s.text;
        EXPECT_GE(list.Find(&text->GetClip(0)), 0) << s.text;
    }
    EXPECT_NE(texts.front(), texts.back()); // outgrown and replaced
    caption.Detach(*dialog);
    EXPECT_EQ(list.Find(&caption.GetText()->GetClip(0)), -1);
    // Shown before it is attached, its text joins the container with it.
    GCaption early(font);
    early.Show(GWString("ab"), 0, 255, static_cast<GTextAnchor>(0), 5, 5, true);
    early.Attach(*dialog);
    EXPECT_GE(list.Find(&early.GetText()->GetClip(0)), 0);

    // Out of memory for a longer text, a caption goes on with the clips it has; one that never
    // had any shows nothing.
    GBmpText* kept = early.GetText();
    GCaption never(font);
    {
        FailObjectAllocationsAfter none(0);
        early.Show(GWString("a far longer caption"), 0x405060, 255, static_cast<GTextAnchor>(0), 5,
                   5, true);
        never.Show(GWString("ab"), 0, 255, static_cast<GTextAnchor>(0), 5, 5, true);
    }
    EXPECT_TRUE(early.GetText() == kept && kept->GetColor() == 0x405060u);
    EXPECT_EQ(never.GetText(), nullptr);
    early.Detach(*dialog);
}

// A press on a control is used by it, whatever its kind.
TEST_F(ControlKeysTest, EveryKindUsesAPressOnIt)
{
    for (std::unique_ptr<GBaseControl>& kind : OneOfEachKind()) {
        GBaseControl& control = Add(std::move(kind));
        EXPECT_EQ(std::pair(control.OnLButtonDown(150, 130), control.OnLButtonUp(150, 130)),
                  std::pair(1, 1))
            << control.GetName();
        control.SetVisible(false);
    }
}

// A static label's text starts at its left edge, centres on its middle or ends at its right
// edge as aligned: the span of its visible glyph clips, in whole pixels.
TEST_F(ControlKeysTest, StaticLabelPlacesItsTextAsAligned)
{
    GClipArray& list = *dialog->GetClips();
    std::vector<std::pair<int, int>> spans;
    for (const GTextAlign align : {GTextAlign::Left, GTextAlign::Centre, GTextAlign::Right}) {
        auto label = std::make_unique<GStaticLabel>("lblTitle", font, align);
        label->SetRect(
            GRect{100, int16_t(300 + 40 * spans.size()), 499, int16_t(329 + 40 * spans.size())});
        label->SetText(GWString("Menu"));
        const int first = list.GetCount();
        dialog->AddControl(std::move(label));
        app.OnFrame(30);
        int left = INT32_MAX, right = INT32_MIN;
        for (int i = first; i < list.GetCount(); ++i)
            if (const GClip* clip = list.GetAt(i); clip && clip->IsVisible()) {
                left = std::min(left, FixedWhole(clip->GetX()));
                right = std::max(right, FixedWhole(clip->GetX()));
            }
        ASSERT_LT(left, right) << int(align);
        spans.emplace_back(left, right);
    }
    const int width = spans[0].second - spans[0].first;
    EXPECT_LE(std::abs(spans[0].first - 100), 2);
    EXPECT_LE(std::abs((spans[1].first + spans[1].second) / 2 - 299), width / 2 + 2);
    EXPECT_TRUE(spans[0].first < spans[1].first && spans[1].first < spans[2].first &&
                spans[2].second < 499);
    EXPECT_GT(spans[2].first, 499 - 2 * width);
}

TEST_F(ControlKeysTest, TextEdit)
{
    Check(Add(std::make_unique<GTextEdit>("edName", "DejaVuSans.ttf", 12, 6)),
          {
              {0, 'D', "abc|3|3", "abcd|4|4", 0},
              {0, 'D', "abc|0|0", "dabc|1|1", 0},
              {0, VK_SPACE, "ab|2|2", "ab |3|3", 0},
              {0, '7', "ab|1|1", "a7b|2|2", 0},
              {0, 'Z', "abcdef|6|6", "abcdef|6|6", 0}, // full
              {0, VK_BACK, "abc|3|3", "ab|2|2", 0},
              {0, VK_BACK, "abc|0|0", "abc|0|0", 0},
              {0, VK_DELETE, "abc|1|1", "ac|1|1", 0},
              {0, VK_DELETE, "abc|3|3", "abc|3|3", 0},
              {0, VK_LEFT, "abc|3|3", "abc|2|2", 0},
              {0, VK_LEFT, "abc|0|0", "abc|0|0", 0},
              {0, VK_RIGHT, "abc|1|1", "abc|2|2", 0},
              {0, VK_HOME, "abc|2|2", "abc|0|0", 0},
              {0, VK_END, "abc|1|1", "abc|3|3", 0},
              {VK_SHIFT, VK_LEFT, "abc|3|3", "abc|2|2", 0}, // selects: caret 2, anchor 3
              {0, VK_LEFT, "abc|1|3", "abc|1|1", 0},        // a selection collapses first
              {VK_SHIFT, VK_HOME, "abc|2|2", "abc|0|0", 0},
              {0, 'X', "abcd|3|1", "axd|2|2", 0}, // typing replaces the selection
              {0, VK_BACK, "abcd|3|1", "ad|1|1", 0},
              {0, VK_DELETE, "abcd|3|1", "ad|1|1", 0},
              {0, VK_RIGHT, "abc|1|3", "abc|3|3", 0}, // to the selection's end
              {VK_CONTROL, 'A', "abc|1|1", "abc|3|0", 0},
              {0, VK_RETURN, "abc|1|1", "abc|1|1", 0},
              {0, VK_ESCAPE, "abc|1|1", "abc|1|1", 0},
              {0, VK_F1, "abc|1|1", "abc|1|1", 0},
          });
}

} // namespace
