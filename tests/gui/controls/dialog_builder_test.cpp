// The dialog builder on the test dialog file and on broken files: each broken control is left
// out with one error line in the log naming it and why, and the rest of the dialog is built.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "gui/controls/button.h"
#include "gui/controls/list_box.h"
#include "gui/controls/slider_bar.h"
#include "gui/controls/tab_control.h"
#include "gui/controls/ttf_controls.h"
#include "gui/dialog_builder.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

using DialogBuilderTest = tolvanrise::test::GuiControlsTest;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(DialogBuilderTest, BuildsTheTestDialogWithEveryKind)
{
    GDialog& dialog = Open();
    GDialogBuilder builder(system);
    ASSERT_EQ(
        builder.BuildFromFile(dialog, TOLVANRISE_SOURCE_DIR "/tests/gui/dialogs/controls_test.cfg"),
        10);
    EXPECT_EQ(system.GetLog()->GetErrorCount(), 0);
    std::vector<std::string> names;
    for (int i = 0; i < dialog.GetControlCount(); ++i)
        names.push_back(dialog.GetControl(i)->GetName());
    EXPECT_EQ(names,
              (std::vector<std::string>{"lblTitle", "btnPlay", "cbMusic", "slMusic", "lstProfiles",
                                        "tabOptions", "lblName", "edName", "lblCode", "edCode"}));
    EXPECT_EQ(dialog.GetBackgroundColour(), 0x201810u);
    EXPECT_TRUE(dynamic_cast<GCheckBox*>(dialog.FindControl("cbMusic"))->IsChecked());
    EXPECT_EQ(dynamic_cast<GSliderBar*>(dialog.FindControl("slMusic"))->GetValue(), 40);
    EXPECT_EQ(dynamic_cast<GListBox*>(dialog.FindControl("lstProfiles"))->GetSelected(), 1);
    EXPECT_FALSE(dialog.FindControl("edCode")->IsEnabled());
    // The first tab's page shows; the second's (the name edit) is hidden until chosen.
    EXPECT_TRUE(dialog.FindControl("slMusic")->IsVisible() &&
                !dialog.FindControl("edName")->IsVisible());
    Click(500, 180);
    EXPECT_TRUE(!dialog.FindControl("slMusic")->IsVisible() &&
                dialog.FindControl("edName")->IsVisible());

    // The TrueType label shows its text from the first frame on, over the dialog's colour.
    app.OnFrame(30);
    const GRect name = dialog.FindControl("lblName")->GetRect();
    int inked = 0;
    for (int y = name.top; y <= name.bottom; ++y)
        for (int x = name.left; x <= name.right; ++x)
            inked += Pixel(x, y) != 0x201810u;
    EXPECT_GT(inked, 20);

    const GRect r = dialog.FindControl("btnPlay")->GetRect();
    EXPECT_TRUE(r.left == 40 && r.top == 80 && r.right == 199 && r.bottom == 115);
    const int queued = Queued();
    Click(100, 100);
    EXPECT_EQ(Queued() - queued, 2); // its OnClick list
    app.OnFrame(30);
    EXPECT_EQ(system.GetLog()->GetErrorCount(), 0);
}

TEST_F(DialogBuilderTest, BrokenControlsAreLeftOutWithOneLineEach)
{
    const std::string good =
        "Control { Name = btnOk X = 10 Y = 10 Width = 50 Height = 20 Font = Sans12 }\n";
    struct Case {
        const char* what;
        std::string controls;
        int made;
        const char* logged; // a piece of the one error line; null: none
    };
    const Case cases[] = {
        {"good", good, 2, nullptr},
        {"unknown keyword", "Control { Name = btnX Class = KNOB X = 1 Y = 1 Width = 5 Height = 5 }",
         1, "control 1 \"btnX\" left out: unknown keyword KNOB"},
        {"no keyword, no prefix",
         "Control { Name = okButton X = 1 Y = 1 Width = 5 Height = 5 Font = Sans12 }", 1,
         "no Class and no known type prefix"},
        {"prefix then a small letter",
         "Control { Name = btnx X = 1 Y = 1 Width = 5 Height = 5 Font = Sans12 }", 1,
         "no Class and no known type prefix"},
        {"prefix then a digit",
         "Control { Name = btn2 X = 1 Y = 1 Width = 5 Height = 5 Font = Sans12 }", 2, nullptr},
        {"missing bitmap font",
         "Control { Name = btnX X = 1 Y = 1 Width = 5 Height = 5 Font = Nope }", 1,
         "no bitmap font \"Nope\""},
        {"missing check box font",
         "Control { Name = cbX X = 1 Y = 1 Width = 5 Height = 5 Font = Nope }", 1,
         "no bitmap font \"Nope\""},
        {"missing list font",
         "Control { Name = lstX X = 1 Y = 1 Width = 5 Height = 5 Font = Nope }", 1,
         "no bitmap font \"Nope\""},
        {"missing tab font",
         "Control { Name = tabX Class = TABCONTROL X = 1 Y = 1 Width = 5 Height = 5 Font = Nope }",
         1, "no bitmap font \"Nope\""},
        {"missing label font",
         "Control { Name = lblX X = 1 Y = 1 Width = 5 Height = 5 Font = Nope }", 1,
         "no bitmap font \"Nope\""},
        {"missing raster font",
         "Control { Name = edX X = 1 Y = 1 Width = 5 Height = 5 Font = Sans12 }", 1,
         "no raster font \"Sans12\""},
        {"missing TrueType file",
         "Control { Name = edX Class = TEXTEDIT X = 1 Y = 1 Width = 5 Height = 5 Font = no.ttf }",
         1, "no TrueType font \"no.ttf\""},
        {"right of the screen", "Control { Name = slX X = 760 Y = 1 Width = 41 Height = 5 }", 1,
         "outside the screen"},
        {"above the screen", "Control { Name = slX X = 1 Y = -1 Width = 5 Height = 5 }", 1,
         "outside the screen"},
        {"huge", "Control { Name = slX X = 1 Y = 1 Width = 2147483647 Height = 5 }", 1,
         "outside the screen"},
        {"no size", "Control { Name = slX X = 1 Y = 1 Width = 0 Height = 5 }", 1, "no size"},
        {"no height", "Control { Name = slX X = 1 Y = 1 Width = 5 }", 1, "no size"},
        {"missing animation",
         "Control { Name = lblX X = 1 Y = 1 Width = 5 Height = 5 Animation = none.cfg }", 1,
         "cannot play the animation \"none.cfg\""},
        {"the whole screen", "Control { Name = slX X = 0 Y = 0 Width = 800 Height = 600 }", 2,
         nullptr},
        {"the whole screen from the corner left out",
         "Control { Name = slX Width = 800 Height = 600 }", 2, nullptr},
        {"a raster label missing its font",
         "Control { Name = lblX Class = EDITLABEL X = 1 Y = 1 Width = 5 Height = 5 Font = No }", 1,
         "no raster font \"No\""},
    };
    for (const Case& c : cases) {
        GDialog dialog(&app, &system);
        ASSERT_EQ(dialog.Create(0), 1);
        const std::string text = "Dialog {\n" + c.controls + "\n" + good + "}\n";
        GCfgNode file;
        ASSERT_EQ(file.Parse(text.data(), text.size()), 1) << c.what;
        const int errors = system.GetLog()->GetErrorCount();
        EXPECT_EQ(GDialogBuilder(system).Build(dialog, file, "case.cfg"), c.made) << c.what;
        EXPECT_EQ(dialog.GetControlCount(), c.made) << c.what;
        EXPECT_NE(dialog.FindControl("btnOk"), nullptr) << c.what;
        EXPECT_EQ(system.GetLog()->GetErrorCount() - errors, c.logged ? 1 : 0) << c.what;
        if (c.logged) {
            EXPECT_NE(ReadFile(temp.Path("log.html")).find(c.logged), std::string::npos) << c.what;
        }
    }
}

// Numbers the file leaves out take their defaults; those out of range are clamped to it.
TEST_F(DialogBuilderTest, ValuesAreDefaultedAndClamped)
{
    const char* ttf = "Font = DejaVuSans.ttf X = 1 Y = 1 Width = 50 Height = 20";
    const struct {
        std::string control;
        int32_t value; // the edit's maximum length, the face's size or the slider's step
    } cases[] = {
        {std::string("Name = edA Class = TEXTEDIT MaxLength = -5 ") + ttf, 0},
        {std::string("Name = edA Class = TEXTEDIT MaxLength = 3 Size = 500 ") + ttf, 3},
        {std::string("Name = lblA Class = TEXTLABEL Size = 500 ") + ttf, 200},
        {std::string("Name = lblA Class = TEXTLABEL Size = 3 ") + ttf, 4},
        {"Name = slA X = 1 Y = 1 Width = 50 Height = 20 Max = 10", 1},
        {"Name = slA X = 1 Y = 1 Width = 50 Height = 20 Max = 10 Step = 3", 3},
    };
    for (const auto& c : cases) {
        GDialog dialog(&app, &system);
        ASSERT_EQ(dialog.Create(0), 1);
        const std::string text = "Dialog { Control { " + c.control + " } }\n";
        GCfgNode file;
        ASSERT_EQ(file.Parse(text.data(), text.size()), 1) << c.control;
        ASSERT_EQ(GDialogBuilder(system).Build(dialog, file, "case.cfg"), 1) << c.control;
        GBaseControl* control = dialog.GetControl(0);
        int32_t value = -1;
        if (auto* edit = dynamic_cast<GTextEdit*>(control))
            value = edit->GetBuffer().GetMaxLength();
        else if (auto* label = dynamic_cast<GTextLabel*>(control))
            value = label->GetFace().GetSize();
        else if (auto* slider = dynamic_cast<GSliderBar*>(control))
            value = slider->GetStep();
        EXPECT_EQ(value, c.value) << c.control;
    }
}

TEST_F(DialogBuilderTest, UnreadableFilesBuildNothing)
{
    GDialog dialog(&app, &system);
    ASSERT_EQ(dialog.Create(0), 1);
    GDialogBuilder builder(system);
    EXPECT_EQ(builder.BuildFromFile(dialog, "no_such_dialog.cfg"), -1);
    const std::string path = temp.Path("broken.cfg");
    std::ofstream(path) << "Dialog { Control { Name = btnOk ";
    EXPECT_EQ(builder.BuildFromFile(dialog, path.c_str()), -1);
    std::ofstream(path) << "Window { }";
    EXPECT_EQ(builder.BuildFromFile(dialog, path.c_str()), -1);
    // A dialog of no controls is built, empty, without complaint.
    std::ofstream(path) << "Dialog { BackgroundColour = 0x102030 }";
    EXPECT_EQ(builder.BuildFromFile(dialog, path.c_str()), 0);
    EXPECT_EQ(dialog.GetControlCount(), 0);
    EXPECT_EQ(system.GetLog()->GetErrorCount(), 3);
}

// Pages apply wherever the tab control stands among the controls: first, between its pages'
// controls, or last; and a second tab control hides its own pages as well.
TEST_F(DialogBuilderTest, EveryTabControlShowsOnlyItsFirstPageWhereverItStands)
{
    const std::string tabs =
        "Control { Name = tabA Class = TABCONTROL X = 300 Y = 10 Width = 200 Height = 24 Font = "
        "Sans12\n"
        "  Tab { Text = One  Controls = [ slA ] }  Tab { Text = Two  Controls = [ slB ] } }\n";
    const std::string second =
        "Control { Name = tabB Class = TABCONTROL X = 300 Y = 50 Width = 200 Height = 24 Font = "
        "Sans12\n"
        "  Tab { Text = One  Controls = [ slC ] }  Tab { Text = Two  Controls = [ slD ] } }\n";
    auto slider = [](const char* name, int y) {
        return std::string("Control { Name = ") + name + " X = 10 Y = " + std::to_string(y) +
               " Width = 100 Height = 20 }\n";
    };
    const std::string sliders = slider("slA", 10) + slider("slB", 40);
    const std::string others = slider("slC", 70) + slider("slD", 100);
    for (const std::string& controls :
         {tabs + sliders + second + others, sliders + tabs + others + second,
          slider("slA", 10) + tabs + slider("slB", 40) + others + second}) {
        GDialog dialog(&app, &system);
        ASSERT_EQ(dialog.Create(0), 1);
        const std::string text = "Dialog {\n" + controls + "}\n";
        GCfgNode file;
        ASSERT_EQ(file.Parse(text.data(), text.size()), 1);
        ASSERT_EQ(GDialogBuilder(system).Build(dialog, file, "pages.cfg"), 6);
        EXPECT_TRUE(dialog.FindControl("slA")->IsVisible()) << controls;
        EXPECT_FALSE(dialog.FindControl("slB")->IsVisible()) << controls;
        EXPECT_TRUE(dialog.FindControl("slC")->IsVisible()) << controls;
        EXPECT_FALSE(dialog.FindControl("slD")->IsVisible()) << controls;
    }
}

} // namespace
