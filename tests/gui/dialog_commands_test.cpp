// "cmShowDialog(<file>)" and "cmDisappearDialog": a dialog made from its file and put on the
// stack, refused files and arguments, the top dialog sent out, and a dialog shown right after
// one is sent out waiting until the old one has gone, so the old one's deletion never takes
// the new one's clips out of the render list.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app/command_invoker.h"
#include "graphics/scene/clip_array.h"
#include "gui/cfg_dialog.h"
#include "gui/controls/base_control.h"
#include "gui/dialog_states.h"
#include "gui/gui_system.h"
#include "support/gui_store_folder.h"
#include "support/recording_application.h"
#include "support/temp_files.h"

namespace {

// Two sliders: no font is needed.
constexpr const char* kTwoSliders = R"(Dialog {
  Control { Name = slA  X = 1 Y = 1 Width = 40 Height = 8 }
  Control { Name = slB  X = 1 Y = 20 Width = 40 Height = 8 }
})";

// A dialog of the file that takes disappearMs to disappear.
class SlowDialog : public GCfgDialog {
public:
    SlowDialog(GFormStackApplication* application, GGuiSystem* system, std::string file,
               int disappearMs)
        : GCfgDialog(application, system, std::move(file)), m_ms(disappearMs)
    {
    }
    void Disappear() override
    {
        if (!IsClosing())
            SetState(std::make_unique<GDialogDisappearState>(*this, m_ms));
    }

private:
    int m_ms;
};

class DialogCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_app.Create("Commands", "Commands", 64, 48, 0));
        ASSERT_EQ(m_system.Init(&m_app, m_folder.Path("log.html").c_str()), 1);
        for (const char* name : {"a.cfg", "b.cfg"})
            std::ofstream(m_folder.Path(name)) << kTwoSliders;
        std::ofstream(m_folder.Path("empty.cfg")) << "Other { }";
        std::ofstream(m_folder.Path("bare.cfg")) << "Dialog { BackgroundColour = 0x102030 }";
    }
    void TearDown() override { m_app.RemoveAllForms(); }

    // The file of the top dialog ("" for none), after one frame.
    std::string FrameTop()
    {
        m_app.OnFrame(30);
        auto* top = dynamic_cast<GCfgDialog*>(m_app.GetTopForm());
        return top ? top->GetFileName() : "";
    }
    std::string Log() { return tolvanrise::test::ReadFileBytes(m_folder.Path("log.html")); }

    tolvanrise::test::GuiStoreFolder m_folder{"dialog_commands_"};
    tolvanrise::test::RecordingApplication m_app;
    GGuiSystem m_system;
};

TEST_F(DialogCommandsTest, ShowDialogOpensTheFilesDialogAndRefusesWhatIsNoDialog)
{
    const struct {
        const char* list;
        int queued;
        const char* top;
        const char* logged; // a line the log must hold afterwards ("" for none)
    } cases[] = {
        {"cmShowDialog(a.cfg)", 1, "a.cfg", ""},
        {"cmShowDialog(bare.cfg)", 1, "bare.cfg", ""}, // a dialog of no controls opens
        {"cmShowDialog(missing.cfg)", 1, "", "Cannot read the dialog file missing.cfg"},
        {"cmShowDialog(empty.cfg)", 1, "", "Dialog file empty.cfg holds no Dialog"},
        {"cmShowDialog", 0, "", "cmShowDialog takes one dialog file"},
        {"cmShowDialog(a.cfg,b.cfg)", 0, "", "cmShowDialog takes one dialog file"},
        {"cmDisappearDialog", 1, "", ""}, // nothing to send out
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m_system.ExecuteCommandList(c.list), 1) << c.list;
        EXPECT_EQ(m_system.GetInvoker()->GetQueueCount(), c.queued) << c.list;
        EXPECT_EQ(FrameTop(), c.top) << c.list;
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.list;
        if (auto* dialog = dynamic_cast<GCfgDialog*>(m_app.GetTopForm());
            dialog && dialog->GetFileName() == "a.cfg") {
            ASSERT_EQ(dialog->GetControlCount(), 2);
            EXPECT_EQ(dialog->GetControl(1)->GetName(), "slB");
        }
        m_app.RemoveAllForms();
    }
}

// A dialog shown over one at rest opens at once; sent out, the one below is the top again.
TEST_F(DialogCommandsTest, ADialogOverOneAtRestOpensAtOnceAndLeavesIt)
{
    m_system.ExecuteCommandList("cmShowDialog(a.cfg)");
    std::vector<std::string> tops;
    for (int i = 0; i < 3; ++i)
        tops.push_back(FrameTop());
    m_system.ExecuteCommandList("cmShowDialog(b.cfg)");
    tops.push_back(FrameTop());
    EXPECT_EQ(m_app.GetFormCount(), 2);
    m_system.ExecuteCommandList("cmDisappearDialog");
    for (int i = 0; i < 3; ++i)
        tops.push_back(FrameTop());
    EXPECT_EQ(tops, (std::vector<std::string>{"a.cfg", "a.cfg", "a.cfg", "b.cfg", "b.cfg", "a.cfg",
                                              "a.cfg"}));
    EXPECT_EQ(m_app.GetFormCount(), 1);
}

// "cmDisappearDialog;cmShowDialog(b.cfg)": the old dialog plays its whole disappearance on top,
// then goes, then the new one opens where its clips began.
TEST_F(DialogCommandsTest, ADialogShownAfterOneSentOutWaitsUntilItHasGone)
{
    auto old = std::make_unique<SlowDialog>(&m_app, &m_system, "a.cfg", 90);
    ASSERT_EQ(old->Create(), 1);
    const int16_t firstClip = old->GetFirstClip();
    m_app.PushForm(std::move(old));
    for (int i = 0; i < 3; ++i)
        FrameTop();
    m_system.ExecuteCommandList("cmDisappearDialog;cmShowDialog(b.cfg)");
    std::vector<std::string> tops;
    std::vector<int> waiting;
    for (int i = 0; i < 6; ++i) {
        tops.push_back(FrameTop());
        waiting.push_back(m_app.GetWaitingFormCount());
    }
    // 90 ms: three frames of disappearing, the deletion on the fourth tick.
    EXPECT_EQ(tops,
              (std::vector<std::string>{"a.cfg", "a.cfg", "a.cfg", "b.cfg", "b.cfg", "b.cfg"}));
    EXPECT_EQ(waiting, (std::vector<int>{1, 1, 1, 0, 0, 0}));
    ASSERT_EQ(m_app.GetFormCount(), 1);
    auto* shown = dynamic_cast<GCfgDialog*>(m_app.GetTopForm());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->GetFirstClip(), firstClip);
    // Every clip of the new dialog is still in the list.
    EXPECT_GT(m_system.GetClipArray()->GetCount(), firstClip);
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(shown->GetState()), nullptr);

    // Sent out twice in one tick, it goes once; a closing dialog is not sent out again.
    m_system.ExecuteCommandList("cmDisappearDialog;cmDisappearDialog");
    EXPECT_EQ(FrameTop(), "b.cfg");
    EXPECT_TRUE(shown->IsClosing());
    EXPECT_EQ(FrameTop(), "");
    EXPECT_EQ(m_system.GetClipArray()->GetCount(), firstClip);
}

} // namespace
