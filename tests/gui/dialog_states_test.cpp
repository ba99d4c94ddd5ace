// A dialog's life through its states, driven frame by frame by a form-stack application that
// records what it presents: the labels in order, the priority filter on and off at the right
// frames, "cmCancelWait" ending a wait, the can-delete state removed by the frame tick, and
// busy listeners keeping a timed state going.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/dialog.h"
#include "gui/dialog_states.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "support/gui_store_folder.h"
#include "support/recording_application.h"

namespace {

class RecordingListener : public GDialogStateListener {
public:
    std::vector<std::pair<int, std::string>> labels; // (frame, label)
    int frame = 0;
    bool busy = false;
    void OnDialogState(GDialog&, const char* label) override { labels.emplace_back(frame, label); }
    bool IsBusy() const override { return busy; }
};

// Counts its runs; priority 0, so the appear state's filter holds it back.
class CountingCommand : public GNamedCommand {
public:
    explicit CountingCommand(int* runs) : m_runs(runs) { SetName("cmCount"); }
    void Execute() override { ++*m_runs; }

private:
    int* m_runs;
};

class DialogStatesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_app.Create("States", "States", 64, 48, 0));
        ASSERT_EQ(m_system.Init(&m_app, m_folder.Path("log.html").c_str()), 1);
        m_clip.SetSlot(m_system.GetResources()->FindBitmap("PIXEL"));
        m_clip.SetPosition(FixedFromInt(5), FixedFromInt(6));
        m_clip.SetVisible(true);
    }
    void TearDown() override { m_app.RemoveAllForms(); }

    // Makes a dialog with the clip, appearing for appearMs, and puts it on the stack.
    GDialog& Open(int appearMs)
    {
        auto dialog = std::make_unique<GDialog>(&m_app, &m_system);
        dialog->AddStateListener(&m_listener);
        EXPECT_EQ(dialog->Create(appearMs), 1);
        dialog->AddClip(&m_clip);
        GDialog& result = *dialog;
        m_app.PushForm(std::move(dialog));
        return result;
    }
    void Frame()
    {
        ++m_listener.frame;
        m_app.OnFrame(30);
    }
    bool FilterOn() const { return m_system.GetInvoker()->IsPriorityFilterOn() != 0; }

    tolvanrise::test::GuiStoreFolder m_folder{"dialog_states_"};
    tolvanrise::test::RecordingApplication m_app;
    GGuiSystem m_system;
    GClip m_clip;
    GClip m_upper; // a second dialog's
    RecordingListener m_listener;
};

TEST_F(DialogStatesTest, ALifeFromAppearToDeletion)
{
    GDialog& dialog = Open(60);
    int runs = 0;
    m_system.GetInvoker()->Add(std::make_unique<CountingCommand>(&runs));
    std::vector<bool> filter{FilterOn()};
    std::vector<int> counted{runs};
    auto step = [&] {
        Frame();
        filter.push_back(FilterOn());
        counted.push_back(runs);
    };
    step(); // 1: appearing, the command held; the first frame draws the whole list
    step(); // 2: 60 ms have passed: normal
    step(); // 3: the command runs
    const GRect shown = m_app.presented.at(0);
    m_clip.SetPosition(FixedFromInt(10), FixedFromInt(6));
    step(); // 4: the moved clip's old and new places
    EXPECT_EQ(std::vector<bool>(filter.begin(), filter.end()),
              (std::vector<bool>{true, true, false, false, false}));
    EXPECT_EQ(counted, (std::vector<int>{0, 0, 0, 1, 1}));
    // Nothing changed on frames 2 and 3: nothing was presented then.
    ASSERT_EQ(m_app.presented.size(), 2u);
    EXPECT_EQ(std::tuple(shown.left, shown.top, shown.right, shown.bottom), std::tuple(5, 6, 6, 7));
    const GRect moved = m_app.presented[1];
    EXPECT_EQ(std::tuple(moved.left, moved.top, moved.right, moved.bottom),
              std::tuple(5, 6, 11, 7));

    dialog.SetState(std::make_unique<GDialogWaitState>(dialog));
    step(); // 5: waits with no limit
    step(); // 6
    EXPECT_EQ(m_system.ExecuteCommandList("cmCancelWait"), 1);
    step(); // 7: cancelled
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);
    dialog.SetState(std::make_unique<GDialogDisappearState>(dialog, 30));
    step(); // 8: disappeared; deleted on the next tick
    EXPECT_TRUE(dialog.CanDelete());
    EXPECT_EQ(m_app.GetFormCount(), 1);
    step(); // 9
    EXPECT_EQ(m_app.GetFormCount(), 0);
    EXPECT_EQ(m_system.GetClipArray()->Find(&m_clip), -1);

    const std::vector<std::pair<int, std::string>> expected{
        {0, "stAppear"},    {2, "stAppearEnd"},   {2, "stNormal"}, {4, "stNormalEnd"},
        {4, "stWait"},      {7, "stWaitEnd"},     {7, "stNormal"}, {7, "stNormalEnd"},
        {7, "stDisappear"}, {8, "stDisappearEnd"}};
    EXPECT_EQ(m_listener.labels, expected);
}

// A listener still playing keeps a timed state going past its time; the filter holds as long.
TEST_F(DialogStatesTest, BusyListenersKeepATimedStateGoing)
{
    GDialog& dialog = Open(30);
    m_listener.busy = true;
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_TRUE(FilterOn());
    EXPECT_NE(dynamic_cast<GDialogAppearState*>(dialog.GetState()), nullptr);
    m_listener.busy = false;
    Frame();
    EXPECT_FALSE(FilterOn());
    EXPECT_NE(dynamic_cast<GDialogNormalState*>(dialog.GetState()), nullptr);

    // "cmUnLock" releases the hold of an appearing dialog at once; the appear goes on.
    GDialog& second = Open(300);
    EXPECT_TRUE(FilterOn());
    m_system.ExecuteCommandList("cmUnLock");
    Frame();
    EXPECT_FALSE(FilterOn());
    EXPECT_NE(dynamic_cast<GDialogAppearState*>(second.GetState()), nullptr);
    // A wait does not end on "cmUnLock", and "cmCancelWait" on a dialog that is not waiting
    // changes nothing.
    second.SetState(std::make_unique<GDialogWaitState>(second));
    m_system.ExecuteCommandList("cmUnLock");
    Frame();
    EXPECT_NE(dynamic_cast<GDialogWaitState*>(second.GetState()), nullptr);
    second.SetState(std::make_unique<GDialogNormalState>(second));
    EXPECT_FALSE(second.CancelWait());
}

// A wait ends by its time limit, by its condition, or never by itself.
TEST_F(DialogStatesTest, AWaitEndsByItsTimeOrItsCondition)
{
    GDialog& dialog = Open(0);
    Frame();
    bool done = false;
    const struct {
        int timeoutMs;
        bool useCondition;
        int framesUntilDone; // -1: not by itself
        int expectedFrames;  // frames until the wait has ended, -1: still waiting after 5
    } cases[] = {{60, false, -1, 2}, {0, false, -1, 1}, {-1, true, 3, 3}, {-1, false, -1, -1}};
    for (const auto& c : cases) {
        done = false;
        dialog.SetState(std::make_unique<GDialogWaitState>(
            dialog, c.timeoutMs,
            c.useCondition ? std::function<bool()>([&] { return done; })
                           : std::function<bool()>()));
        int frames = -1;
        for (int i = 1; i <= 5 && frames < 0; ++i) {
            done = c.framesUntilDone >= 0 && i >= c.framesUntilDone;
            Frame();
            if (!dynamic_cast<GDialogWaitState*>(dialog.GetState()))
                frames = i;
        }
        EXPECT_EQ(frames, c.expectedFrames) << c.timeoutMs << " " << c.useCondition;
    }
}

// A timed state's progress: 0 to 256 over its duration, counting no negative frame times and
// saturating instead of wrapping.
class ProbeState : public GDialogTimedState {
public:
    ProbeState(GDialog& dialog, int durationMs) : GDialogTimedState(dialog, "a", "b", durationMs) {}
    void FinishState() override {}
    using GDialogTimedState::AddElapsed;
    using GDialogTimedState::Progress;
};

TEST_F(DialogStatesTest, TimedProgressRunsFromZeroTo256AndSaturates)
{
    GDialog& dialog = Open(0);
    const struct {
        int durationMs;
        std::vector<int> frames;
        int progress, elapsed;
    } cases[] = {
        {0, {}, 256, 0},
        {-5, {}, 256, 0},
        {1, {}, 0, 0},
        {100, {50}, 128, 50},
        {100, {-20, 50, 0}, 128, 50},
        {100, {99}, 253, 99},
        {100, {100}, 256, 100},
        {INT_MAX, {INT_MAX - 1, 5}, 256, INT_MAX},
        {INT_MAX, {INT_MAX / 2}, 127, INT_MAX / 2},
    };
    for (const auto& c : cases) {
        ProbeState state(dialog, c.durationMs);
        for (int ms : c.frames)
            state.AddElapsed(ms);
        EXPECT_EQ(std::pair(state.Progress(), state.GetElapsed()), std::pair(c.progress, c.elapsed))
            << c.durationMs << " after " << c.frames.size() << " frames";
    }
}

// While it appears, after its first whole frame, the dialog presents only what changed.
TEST_F(DialogStatesTest, AnAppearingDialogPresentsWhatChangedAfterItsFirstFrame)
{
    Open(300);
    Frame();
    Frame();
    ASSERT_EQ(m_app.presented.size(), 1u);
    m_clip.SetPosition(FixedFromInt(20), FixedFromInt(6));
    Frame();
    ASSERT_EQ(m_app.presented.size(), 2u);
    const GRect moved = m_app.presented[1];
    EXPECT_EQ(std::tuple(moved.left, moved.top, moved.right, moved.bottom),
              std::tuple(5, 6, 21, 7));
}

// The top dialog draws and presents only what changed among its own clips: a change beneath it
// waits until the dialog below is the top again, which then draws itself whole.
TEST_F(DialogStatesTest, TheTopDialogPresentsOnlyItsOwnChanges)
{
    Open(0);
    Frame();
    m_upper.SetSlot(m_system.GetResources()->FindBitmap("PIXEL"));
    m_upper.SetPosition(FixedFromInt(30), FixedFromInt(20));
    m_upper.SetVisible(true);
    auto owned = std::make_unique<GDialog>(&m_app, &m_system);
    ASSERT_EQ(owned->Create(0), 1);
    owned->AddClip(&m_upper);
    GDialog& top = *owned;
    m_app.PushForm(std::move(owned));
    Frame(); // appears: the whole list
    Frame(); // normal, nothing changed
    const size_t shown = m_app.presented.size();
    m_clip.SetPosition(FixedFromInt(10), FixedFromInt(6));
    Frame();
    Frame();
    EXPECT_EQ(m_app.presented.size(), shown);
    m_clip.SetPosition(FixedFromInt(5), FixedFromInt(6));

    top.Disappear();
    Frame(); // its one frame of disappearing
    const size_t gone = m_app.presented.size();
    Frame(); // deleted; the dialog below is the top again and draws itself whole
    ASSERT_EQ(m_app.presented.size(), gone + 1);
    const GRect whole = m_app.presented.back();
    EXPECT_TRUE(whole.left <= 5 && whole.top <= 6 && whole.right >= 6 && whole.bottom >= 7)
        << whole.left << "," << whole.top << " " << whole.right << "," << whole.bottom;
    Frame(); // and then rests
    EXPECT_EQ(m_app.presented.size(), gone + 1);
}

// Each frame runs the clips' own update pass before the state draws: a turned clip's angle is
// brought into 0..359 there.
TEST_F(DialogStatesTest, AFrameUpdatesTheDialogsClips)
{
    GDialog& dialog = Open(0);
    GBitmapClip turned;
    turned.SetAngle(370);
    turned.SetVisible(true);
    dialog.AddClip(&turned);
    Frame();
    EXPECT_EQ(turned.GetAngle(), 10);
    dialog.RemoveClip(&turned);
}

// Before it has a state a dialog takes no input and its frames go on; a listener is told once
// however often it was added, and a null one is never added.
TEST_F(DialogStatesTest, WithoutAStateADialogTakesNoInput)
{
    GDialog bare(&m_app, &m_system);
    for (GDialogStateListener* listener :
         std::vector<GDialogStateListener*>{nullptr, &m_listener, &m_listener})
        bare.AddStateListener(listener);
    EXPECT_EQ(
        (std::vector<int>{bare.Update(30), bare.OnKeyUp('A'), bare.OnChar('a'), bare.OnKeyDown('A'),
                          bare.OnLButtonDrag(1, 1), bare.OnLButtonUp(1, 1)}),
        (std::vector<int>{1, 0, 0, 0, 0, 0}));
    bare.SetState(std::make_unique<GDialogNormalState>(bare));
    EXPECT_EQ(m_listener.labels, (std::vector<std::pair<int, std::string>>{{0, "stNormal"}}));
    // A listener removed hears nothing more.
    bare.RemoveStateListener(&m_listener);
    bare.SetState(nullptr);
    EXPECT_EQ(m_listener.labels.size(), 1u);
}

// A dialog deleted while it appears does not leave every later command held.
TEST_F(DialogStatesTest, ADialogDeletedWhileAppearingReleasesTheFilter)
{
    Open(1000);
    EXPECT_TRUE(FilterOn());
    m_app.RemoveAllForms();
    EXPECT_FALSE(FilterOn());
}

} // namespace

// Each state's frame answers that the dialog lives on, from its first frame to the last frame of
// its disappearance, with time left or not.
TEST_F(DialogStatesTest, EveryStatesFrameSaysTheDialogLivesOn)
{
    GDialog& dialog = Open(60);
    std::vector<int> answers;
    for (int ms : {0, 30, 30, 30})
        answers.push_back(dialog.Update(ms)); // appearing, then normal
    dialog.SetState(std::make_unique<GDialogWaitState>(dialog));
    answers.push_back(dialog.Update(30));
    dialog.CancelWait();
    answers.push_back(dialog.Update(30));
    dialog.SetState(std::make_unique<GDialogDisappearState>(dialog, 60));
    answers.push_back(dialog.Update(0));
    answers.push_back(dialog.Update(30));
    EXPECT_EQ(answers, std::vector<int>(8, 1));
}
