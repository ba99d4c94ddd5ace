// The window procedure, the loop's timing and the window-level operations of GApplication.
// Messages are injected into WindowProc; the loop runs on a manual clock.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/app/application.h"
#include "foundation/app/timer.h"
#include "foundation/image/dib_surface.h"
#include "foundation/app/key_codes.h"
#include "platform/window/clipboard.h"
#include "platform/window/cursor.h"
#include "platform/window/keyboard.h"
#include "platform/window/messages.h"
#include "platform/system/time.h"
#include "platform/window/window.h"

using namespace platform;

namespace {

// Records every handler call as text, e.g. "down 10,20" or "key 32768".
class RecordingApp : public GApplication {
public:
    std::vector<std::string> calls;
    std::vector<int> frames;
    int closeAnswer = 1;
    int initAnswer = 1;
    int exits = 0;
    platform::ManualClock* clock = nullptr;
    std::vector<uint32_t> frameWorkMs; // work per tick, taken from the front

    void SetInterval(uint32_t ms) { m_frameInterval = ms; }
    void SetStatistics(bool on) { m_frameStatistics = on ? 1 : 0; }

    int OnInit() override { return initAnswer; }
    void OnExit() override { ++exits; }
    void OnFrame(int elapsed) override
    {
        frames.push_back(elapsed);
        if (clock && !frameWorkMs.empty()) {
            clock->AdvanceMs(frameWorkMs.front());
            frameWorkMs.erase(frameWorkMs.begin());
        }
    }
    void OnLButtonDown(int x, int y) override { Add("down", x, y); }
    void OnLButtonUp(int x, int y) override { Add("up", x, y); }
    void OnLButtonDblClk(int x, int y) override { Add("dbl", x, y); }
    void OnLButtonDrag(int x, int y) override { Add("drag", x, y); }
    void OnMouseMove(int x, int y) override { Add("move", x, y); }
    void OnRButtonDown(int x, int y) override { Add("rdown", x, y); }
    void OnRButtonUp(int x, int y) override { Add("rup", x, y); }
    void OnRButtonDblClk(int x, int y) override { Add("rdbl", x, y); }
    void OnMButtonDown(int x, int y) override { Add("mdown", x, y); }
    void OnMButtonUp(int x, int y) override { Add("mup", x, y); }
    void OnMButtonDblClk(int x, int y) override { Add("mdbl", x, y); }
    void OnXButtonDown(int x, int y) override { Add("xdown", x, y); }
    void OnXButtonUp(int x, int y) override { Add("xup", x, y); }
    void OnXButtonDblClk(int x, int y) override { Add("xdbl", x, y); }
    void OnMouseWheel(int x, int y, int delta) override { Add("wheel", x, y, " " + std::to_string(delta)); }
    void OnKeyDown(int key) override { calls.push_back("key " + std::to_string(key)); }
    void OnKeyUp(int key) override { calls.push_back("keyup " + std::to_string(key)); }
    void OnChar(int code) override { calls.push_back("char " + std::to_string(code)); }
    void OnActivate() override { GApplication::OnActivate(); calls.push_back("activate"); }
    void OnDeactivate() override { GApplication::OnDeactivate(); calls.push_back("deactivate"); }
    int OnClose() override { calls.push_back("close"); return closeAnswer; }

    void Add(const char* what, int x, int y, const std::string& more = "")
    {
        calls.push_back(std::string(what) + " " + std::to_string(x) + "," + std::to_string(y) + more);
    }
    void Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0)
    {
        WindowProc(message, wParam, lParam);
    }
    void Press(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y)); }
    void Release(int x, int y) { Send(WM_LBUTTONUP, 0, MakeLParam(x, y)); }
    // A press and its release; the calls they made.
    std::vector<std::string> Click(int x, int y)
    {
        Press(x, y);
        Release(x, y);
        return Take();
    }
    static constexpr int kRight = 0x10000; // the right-hand key of a pair
    void KeyDown(int vk) { Send(WM_KEYDOWN, uintptr_t(vk & 0xFFFF), 1 | (vk & kRight ? kKeyExtendedBit : 0)); }
    void KeyUp(int vk)
    {
        Send(WM_KEYUP, uintptr_t(vk & 0xFFFF), 1 | kKeyRepeatBit | kKeyReleaseBit | (vk & kRight ? kKeyExtendedBit : 0));
    }
    // Keys pressed (a key code) and released (its negative), in order; the calls they made.
    std::vector<std::string> Type(std::initializer_list<int> keys)
    {
        for (int k : keys)
            k > 0 ? KeyDown(k) : KeyUp(-k);
        return Take();
    }
    std::vector<std::string> Take() { return std::exchange(calls, {}); }
};

using Calls = std::vector<std::string>;

std::string Key(int k)
{
    return "key " + std::to_string(k);
}

bool QueueHasQuit()
{
    Message m;
    bool quit = false;
    while (PeekMessage(m)) {
        if (m.message == WM_QUIT)
            quit = true;
    }
    return quit;
}

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { ClearMessages(); SetKeyToggled(VK_NUMLOCK, false); }
    void TearDown() override { SetUp(); }
};

TEST_F(ApplicationTest, PressesInTheTopRowsOrIgnoreRectanglesAreSwallowedDragsAndOtherButtons)
{
    RecordingApp app;
    EXPECT_EQ(app.Click(100, 6), Calls{});
    EXPECT_EQ(app.Click(100, 7), (Calls{"down 100,7", "up 100,7"}));
    EXPECT_EQ(app.Click(100, -3), Calls{}); // above the client area while captured

    // Rectangles replace the top-row rule, edges included.
    ASSERT_TRUE(app.AddIgnoreRect(GRect{10, 20, 30, 40}));
    for (auto [x, y] : {std::pair{10, 20}, {30, 40}, {10, 40}, {30, 20}, {20, 30}})
        EXPECT_EQ(app.Click(x, y), Calls{}) << x << "," << y;
    for (auto [x, y] : {std::pair{9, 20}, {31, 40}, {20, 19}, {20, 41}, {50, 2}})
        EXPECT_EQ(app.Click(x, y).size(), 2u) << x << "," << y;
    for (int i = 1; i < GApplication::kMaxIgnoreRects; ++i)
        EXPECT_TRUE(app.AddIgnoreRect(GRect{0, 500, 5, 505}));
    EXPECT_FALSE(app.AddIgnoreRect(GRect{0, 0, 1, 1}));
    EXPECT_EQ(app.GetIgnoreRectCount(), GApplication::kMaxIgnoreRects);
    app.ClearIgnoreRects();
    EXPECT_EQ(app.Click(20, 30), (Calls{"down 20,30", "up 20,30"}));
    EXPECT_EQ(app.Click(20, 5), Calls{});

    // Drag comes before move only while a passed press is held.
    app.Press(100, 100);
    app.Send(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(105, 103));
    app.Release(105, 103);
    app.Send(WM_MOUSEMOVE, 0, MakeLParam(106, 103));
    EXPECT_EQ(app.Take(), (Calls{"down 100,100", "drag 105,103", "move 105,103", "up 105,103",
                                 "move 106,103"}));

    app.Press(100, 3); // ignored
    app.Send(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(101, 9));
    app.Release(101, 9);
    EXPECT_EQ(app.Take(), Calls{"move 101,9"});

    // A release that never arrived ends the drag at the next move.
    app.Press(100, 100);
    app.Send(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(110, 100));
    // The button went up elsewhere: the next move no longer carries it.
    app.Send(WM_MOUSEMOVE, 0, MakeLParam(120, 100));
    app.Send(WM_MOUSEMOVE, 0, MakeLParam(130, 100));
    EXPECT_EQ(app.Take(), (Calls{"down 100,100", "drag 110,100", "move 110,100", "up 120,100",
                                 "move 120,100", "move 130,100"}));

    // A release outside the client area (negative coordinates) ends it as well.
    app.Press(100, 100);
    app.Release(-40, 700);
    app.Send(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(-30, 700));
    EXPECT_EQ(app.Take(), (Calls{"down 100,100", "up -40,700", "move -30,700"}));

    // Other buttons and the wheel reach their handlers.
    const uintptr_t wheel = uintptr_t(uint16_t(int16_t(-240))) << 16;
    const std::tuple<uint32_t, uintptr_t, int, int> sent[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, 9, 10},
        {WM_LBUTTONUP, 0, 9, 10},
        {WM_RBUTTONDOWN, MK_RBUTTON, 1, 2},
        {WM_RBUTTONUP, 0, 1, 2},
        {WM_RBUTTONDBLCLK, 0, 1, 2},
        {WM_MBUTTONDOWN, 0, 3, 4},
        {WM_MBUTTONUP, 0, 3, 4},
        {WM_MBUTTONDBLCLK, 0, 3, 4},
        {WM_XBUTTONDOWN, XBUTTON1 << 16, 5, 6},
        {WM_XBUTTONUP, XBUTTON1 << 16, 5, 6},
        {WM_XBUTTONDBLCLK, XBUTTON2 << 16, 5, 6},
        {WM_LBUTTONDBLCLK, 0, 7, 8},
        {WM_MOUSEWHEEL, wheel, -2, 300},
        {WM_MOUSEMOVE, 0, 11, 12}};
    for (auto [message, wParam, x, y] : sent)
        EXPECT_EQ(app.WindowProc(message, wParam, MakeLParam(x, y)), 0) << message; // handled
    EXPECT_EQ(app.WindowProc(WM_SETCURSOR, 0, 0), 0);
    app.Send(WM_CHAR, 0xC6);
    EXPECT_EQ(app.Take(),
              (Calls{"down 9,10", "up 9,10", "rdown 1,2", "rup 1,2", "rdbl 1,2", "mdown 3,4",
                     "mup 3,4", "mdbl 3,4", "xdown 5,6", "xup 5,6", "xdbl 5,6", "dbl 7,8",
                     "wheel -2,300 -240", "move 11,12", "char 198"}));
}

TEST_F(ApplicationTest, ClipboardChordsModifiersAndTheKeypad)
{
    RecordingApp app;
    const int right = RecordingApp::kRight;
    EXPECT_EQ(app.Type({VK_CONTROL, 'C', VK_INSERT, 'V', 'X', VK_DELETE, 'A', -VK_CONTROL}),
              (Calls{Key(VK_CONTROL), Key(0x8000), Key(0x8000), Key(0x8001), Key(0x8002), Key(VK_DELETE), Key('A'),
                     "keyup 17"}));
    // Shift+Insert pastes, Shift+Delete cuts; with Ctrl+Shift+Insert Ctrl decides.
    EXPECT_EQ(app.Type({VK_SHIFT, VK_INSERT, VK_DELETE, 'C', VK_CONTROL, VK_INSERT, -VK_CONTROL, -VK_SHIFT, 'C',
                        VK_INSERT}),
              (Calls{Key(VK_SHIFT), Key(0x8001), Key(0x8002), Key('C'), Key(VK_CONTROL), Key(0x8000), "keyup 17",
                     "keyup 16", Key('C'), Key(VK_INSERT)}));

    // Ctrl with (right) Alt is AltGr and types instead of copying.
    EXPECT_EQ(app.Type({VK_CONTROL, VK_MENU | right, 'C', 'V'}), (Calls{Key(VK_CONTROL), Key(VK_MENU), Key('C'), Key('V')}));
    EXPECT_EQ(app.Type({-(VK_MENU | right), 'C', -VK_CONTROL}), (Calls{"keyup 18", Key(0x8000), "keyup 17"}));

    // Modifiers are dropped when the focus goes: Ctrl pressed, then the release goes elsewhere.
    app.KeyDown(VK_CONTROL);
    app.Send(WM_ACTIVATE, WA_INACTIVE);
    app.Send(WM_ACTIVATE, WA_ACTIVE);
    app.Take();
    EXPECT_EQ(app.Type({'C'}), Calls{Key('C')});

    // Right and left Ctrl are separate keys: releasing one leaves the other held.
    EXPECT_EQ(app.Type({VK_CONTROL, VK_CONTROL | right, -(VK_CONTROL | right), 'C', -VK_CONTROL, 'C'}).back(), Key('C'));
    EXPECT_EQ(app.Type({VK_CONTROL, VK_CONTROL | right, -(VK_CONTROL | right), 'V', -VK_CONTROL})[3], Key(0x8001));

    // A Ctrl release seen as a system key (Alt held) still counts.
    app.KeyDown(VK_CONTROL);
    app.Send(WM_SYSKEYUP, VK_CONTROL, 1 | kKeyReleaseBit);
    EXPECT_EQ(app.Type({'C'}).back(), Key('C'));

    // Of the system keys only Alt+Enter reaches the program: after an Alt press it saw, or with
    // the message's Alt bit when that press went to another window; a bare system Return does not.
    app.Send(WM_SYSKEYDOWN, VK_RETURN, 1);
    app.Send(WM_SYSKEYDOWN, VK_RETURN, 1 | kKeyAltHeldBit);
    EXPECT_TRUE(app.IsAltDown());
    app.Send(WM_SYSKEYUP, VK_MENU, 1 | kKeyReleaseBit);
    app.Send(WM_SYSKEYDOWN, VK_RETURN, 1);
    app.Send(WM_SYSKEYDOWN, VK_MENU, 1 | kKeyAltHeldBit);
    app.Send(WM_SYSKEYDOWN, VK_F4, 1 | kKeyAltHeldBit);
    app.Send(WM_SYSKEYDOWN, VK_RETURN, 1 | kKeyAltHeldBit);
    app.Send(WM_SYSKEYUP, VK_MENU, 1 | kKeyReleaseBit);
    EXPECT_EQ(app.Take(), (Calls{Key(VK_RETURN), Key(VK_RETURN)}));
    EXPECT_FALSE(app.IsAltDown());

    // Keypad digits with Num Lock arrive only as characters.
    SetKeyToggled(VK_NUMLOCK, true);
    for (int vk = VK_NUMPAD0; vk <= VK_NUMPAD9; ++vk) {
        app.KeyDown(vk);
        app.Send(WM_CHAR, uintptr_t('0' + vk - VK_NUMPAD0));
    }
    app.KeyDown(VK_DECIMAL);
    EXPECT_EQ(app.Take(), (Calls{"char 48", "char 49", "char 50", "char 51", "char 52", "char 53", "char 54",
                                 "char 55", "char 56", "char 57", Key(VK_DECIMAL)}));

    SetKeyToggled(VK_NUMLOCK, false);
    app.KeyDown(VK_NUMPAD5);
    EXPECT_EQ(app.Take(), Calls{Key(VK_NUMPAD5)});
}

TEST_F(ApplicationTest, CloseCanBeRefusedMovingIsSwallowedActivationTogglesTheInactiveFlag)
{
    RecordingApp app;
    app.closeAnswer = 0;
    EXPECT_EQ(app.WindowProc(WM_CLOSE, 0, 0), 0);
    for (uintptr_t request : {SC_MAXIMIZE, SC_KEYMENU, SC_MOVE, SC_SCREENSAVE, SC_MONITORPOWER})
        EXPECT_EQ(app.WindowProc(WM_SYSCOMMAND, request, 0), 0);
    EXPECT_FALSE(QueueHasQuit());
    app.closeAnswer = 1;
    app.Send(WM_CLOSE);
    EXPECT_EQ((std::pair{QueueHasQuit(), app.Take()}), std::pair(true, Calls{"close", "close"}));
    RecordingApp other;
    other.Send(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ((std::pair{QueueHasQuit(), other.Take()}), std::pair(true, Calls{"close"}));

    const uintptr_t minimised = WA_INACTIVE | (uintptr_t(1) << 16);
    for (uintptr_t state : {uintptr_t(WA_INACTIVE), uintptr_t(WA_CLICKACTIVE), minimised, uintptr_t(WA_ACTIVE)}) {
        app.Send(WM_ACTIVATE, state);
        app.calls.push_back(app.IsInactive() ? "inactive" : "active");
    }
    EXPECT_EQ(app.Take(),
              (Calls{"deactivate", "inactive", "activate", "active", "deactivate", "inactive", "activate", "active"}));
}

TEST_F(ApplicationTest, ClipboardTextIsCutToTheAskedLengthAndTheLastKeyTranslates)
{
    RecordingApp app;
    EXPECT_EQ(::SetClipboardText("abcdefg", 0), 7);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(app.GetClipboardText(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 7), std::string("abcde\0#", 7));
    EXPECT_EQ(app.GetClipboardText(buffer, 15), 7);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(app.GetClipboardText(nullptr, 5) + app.GetClipboardText(buffer, 0), 0);

    EXPECT_EQ(::SetClipboardText("\xC6\xE0\xE1", 2), 2); // Windows-1251 text survives
    EXPECT_TRUE(app.GetClipboardText(buffer, 15) == 2 && std::string(buffer) == "\xC6\xE0");
    EXPECT_EQ(::SetClipboardText(nullptr, 3), 0);

    // Key, scan code (the key's position), character.
    for (auto [vk, scan, expected] : {std::tuple{int('A'), 4, int(u'a')}, {VK_NUMPAD7, 0, int(u'7')}, {VK_F1, 58, 0}}) {
        app.Send(WM_KEYDOWN, uintptr_t(vk), 1 | (scan << 16));
        EXPECT_EQ(app.TranslateLastKeyToChar(), expected) << vk;
    }
    // The keyboard's state takes part: with Caps Lock on the same key is a capital.
    SetKeyToggled(VK_CAPITAL, true);
    app.Send(WM_KEYDOWN, uintptr_t('A'), 1 | (4 << 16));
    EXPECT_EQ(app.TranslateLastKeyToChar(), u'A');
    SetKeyToggled(VK_CAPITAL, false);
}

// Messages the program only answers, and modifiers the system reports: losing the focus drops
// Ctrl and Shift (their releases go elsewhere), a Ctrl or Shift press seen as a system key
// counts like a plain one.
TEST_F(ApplicationTest, FocusLossDropsModifiersAndSystemKeyPressesCount)
{
    RecordingApp app;
    for (uint32_t message : {WM_CREATE, WM_COMMAND, WM_DISPLAYCHANGE})
        EXPECT_EQ(app.WindowProc(message, 1, 1), 0) << message;
    EXPECT_EQ(app.WindowProc(WM_ACTIVATEAPP, 0, 0), 0);
    for (uint32_t modifier : {uint32_t(VK_CONTROL), uint32_t(VK_SHIFT)}) {
        app.KeyDown(int(modifier));
        app.Send(WM_KILLFOCUS);
        app.Take();
        EXPECT_EQ(app.Type({VK_INSERT}), Calls{Key(VK_INSERT)}) << modifier;
        app.Send(WM_SYSKEYDOWN, modifier, 1);
        EXPECT_EQ(app.Type({VK_INSERT}), Calls{Key(modifier == VK_CONTROL ? 0x8000 : 0x8001)}) << modifier;
        app.Send(WM_SYSKEYUP, modifier, 1 | kKeyReleaseBit);
        EXPECT_EQ(app.Type({VK_INSERT}), Calls{Key(VK_INSERT)}) << modifier;
    }
    app.KeyDown(VK_MENU);
    app.Send(WM_KILLFOCUS);
    EXPECT_FALSE(app.IsAltDown());
}

// Every message the window gets is answered 0, whatever part of the program handles it and
// whether the program or the window system's default does.
TEST_F(ApplicationTest, EveryMessageIsAnsweredZero)
{
    RecordingApp app;
    const uint32_t messages[] = {WM_NULL, WM_CREATE, WM_SIZE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_PAINT,
                                 WM_ACTIVATEAPP, WM_SETCURSOR, WM_DISPLAYCHANGE, WM_KEYDOWN, WM_KEYUP, WM_CHAR,
                                 WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_COMMAND, WM_MOUSEMOVE, WM_LBUTTONDOWN,
                                 WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK,
                                 WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_MOUSEWHEEL, WM_XBUTTONDOWN,
                                 WM_XBUTTONUP, WM_XBUTTONDBLCLK, WM_DESTROY, WM_CLOSE};
    for (uint32_t message : messages)
        for (uintptr_t w : {uintptr_t(0), uintptr_t(1), uintptr_t(VK_RETURN)})
            EXPECT_EQ(app.WindowProc(message, w, MakeLParam(20, 30)), 0) << message << " " << w;
    for (uintptr_t request : {SC_CLOSE, SC_MINIMIZE, SC_RESTORE, SC_MAXIMIZE, SC_MOVE, uintptr_t(0xF0F0)})
        EXPECT_EQ(app.WindowProc(WM_SYSCOMMAND, request, 0), 0) << request;
    ClearMessages();
}

// The loop on a manual clock: every idle pass waits 1 ms of test time.
class LoopTest : public ApplicationTest {
protected:
    platform::ManualClock clock{1000000};
    RecordingApp app; // made after the clock, so it reads test time
};

TEST_F(LoopTest, TicksComeAtTheIntervalWithTheRealGap)
{
    app.SetStatistics(false);
    app.BeginRun();
    for (int i = 0; i < 90; ++i)
        ASSERT_TRUE(app.RunStep());
    EXPECT_EQ(app.frames, (std::vector<int>{30, 30, 30}));

    // A long pause (a slow frame elsewhere) is reported in full, never cut to the interval.
    clock.AdvanceMs(44);
    app.RunStep();
    EXPECT_EQ(app.frames.back(), 45);

    // Messages are handled one per pass and do not wait.
    const uint64_t before = clock.GetUs();
    PostMessage(WM_CHAR, 'a', 0);
    PostMessage(WM_CHAR, 'b', 0);
    app.RunStep();
    app.RunStep();
    EXPECT_EQ((std::pair{clock.GetUs(), app.Take()}), std::pair(before, Calls{"char 97", "char 98"}));

    PostQuitMessage(0);
    EXPECT_FALSE(app.RunStep());
}

TEST_F(LoopTest, NoFramesWhileInactiveButTheTimingGoesOn)
{
    app.SetStatistics(false);
    app.BeginRun();
    app.Send(WM_ACTIVATE, WA_INACTIVE);
    for (int i = 0; i < 200; ++i)
        app.RunStep();
    EXPECT_TRUE(app.frames.empty());
    app.Send(WM_ACTIVATE, WA_ACTIVE);
    for (int i = 0; i < 31; ++i)
        app.RunStep();
    // The ticks kept their pace while inactive: the first one after activation reports one
    // interval, not the whole time away.
    ASSERT_EQ(app.frames.size(), 1u);
    EXPECT_NEAR(app.frames[0], 30.5, 0.5);
}

TEST_F(LoopTest, RunEndsWithQuitAndCallsOnExit)
{
    PostMessage(WM_CHAR, 'z', 0);
    PostMessage(WM_CLOSE, 0, 0);
    app.Run();
    EXPECT_EQ((std::pair{app.exits, app.Take()}), std::pair(1, Calls{"char 122", "close"}));
}

// With a window (the dummy video driver under test).
class WindowedTest : public ApplicationTest {
protected:
    // The window's client area as the platform reports it: width, height in pixels.
    static std::pair<int, int> ClientSize(RecordingApp& app)
    {
        int w = 0;
        int h = 0;
        app.GetWindowHandle()->GetClientSize(w, h);
        return {w, h};
    }
};

TEST_F(WindowedTest, CreateGivesTheExactClientSizeAndABackBufferOrFailsAfterOnExit)
{
    RecordingApp app;
    ASSERT_TRUE(app.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    ASSERT_NE(app.GetWindowHandle(), nullptr);
    EXPECT_EQ(ClientSize(app), std::make_pair(800, 600));
    ASSERT_NE(app.GetBackBuffer(), nullptr);
    const GDibSurface* buffer = app.GetBackBuffer();
    EXPECT_EQ(std::make_pair(int(buffer->GetWidth()), int(buffer->GetHeight())), ClientSize(app));

    RecordingApp refusing;
    refusing.initAnswer = 0;
    EXPECT_TRUE(!refusing.Create("Tolvanrise", "Tolvanrise", 800, 600, 0) && refusing.exits == 1);
}

TEST_F(WindowedTest, PresentsAreClippedToTheBackBuffer)
{
    RecordingApp app;
    ASSERT_TRUE(app.Create("t", "t", 64, 48, 0));
    // Rectangles partly or wholly outside, and inverted ones: nothing outside is read (the
    // sanitizer build checks this), nothing fails.
    for (GRect r : {GRect{-100, -100, 1000, 1000}, GRect{60, 40, 200, 200}, GRect{-5, -5, -1, -1},
                    GRect{64, 0, 70, 10}, GRect{10, 10, 5, 5}, GRect{-32768, -32768, 32767, 32767}})
        app.PresentRect(r);
    GRect inner{8, 8, 55, 39};
    app.SetBorderRect(&inner);
    app.PresentRect(GRect{-20, -20, 100, 100});
    GRect outside{-50, -50, 200, 200}; // inner larger than the buffer: strips lie outside
    app.SetBorderRect(&outside);
    app.PresentRect(GRect{0, 0, 63, 47});
    app.SetBorderRect(nullptr);
    app.Send(WM_PAINT);
}

// Statistics average eleven ticks and go to the title.
TEST_F(WindowedTest, StatisticsAverageElevenTicksIntoTheTitle)
{
    platform::ManualClock clock{5000};
    RecordingApp app;
    app.clock = &clock;
    ASSERT_TRUE(app.Create("Tolvanrise", "Tolvanrise", 64, 48, 0));
    app.SetStatistics(true);
    app.SetInterval(30);
    app.frameWorkMs = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3};
    ClearMessages();
    app.BeginRun();
    while (app.frames.size() < 10)
        app.RunStep();
    EXPECT_EQ((std::pair{app.GetAverageFrameTime(), app.GetWindowHandle()->GetTitle()}),
              std::pair(0.0, std::string("0.00 ms"))); // ten ticks are not enough
    while (app.frames.size() < 11)
        app.RunStep();
    EXPECT_NEAR(app.GetAverageFrameTime(), 23.0 / 11.0, 1e-9);
    EXPECT_EQ(app.GetWindowHandle()->GetTitle(), "2.09 ms");

    // A tick with more than 500 ms of work closes the window of ticks at once.
    app.frameWorkMs = {501};
    while (app.frames.size() < 12)
        app.RunStep();
    EXPECT_NEAR(app.GetAverageFrameTime(), 501.0, 1e-9);
}

TEST_F(WindowedTest, FullScreenCursorModesAndImages)
{
    RecordingApp app;
    ASSERT_TRUE(app.Create("t", "t", 800, 600, 0));
    app.Show();
    for (bool failing : {false, true, false}) {
        Window::SimulateFullscreenFailure(failing);
        app.SetFullscreen(1);
        Window::SimulateFullscreenFailure(false);
        EXPECT_TRUE(app.IsFullscreen() == !failing && app.GetWindowHandle()->IsFullscreen() == !failing);
        // After a failure nothing half-entered blocks the next attempt.
        app.SetFullscreen(0);
        EXPECT_FALSE(app.IsFullscreen() || app.GetWindowHandle()->IsFullscreen());
        EXPECT_EQ(ClientSize(app), std::make_pair(800, 600));
    }

    // Cursor modes are states, not counters.
    for (int i = 0; i < 3; ++i)
        app.SetCursorMode(0, 0);
    EXPECT_FALSE(platform::IsCursorShown());
    app.SetCursorMode(1, 0);
    EXPECT_TRUE(platform::IsCursorShown() && app.IsCursorShown());

    app.SetCursorMode(1, 1);
    EXPECT_TRUE(app.GetWindowHandle()->IsCursorConfined());
    // Losing the focus frees the pointer, and coming back does not confine it again.
    app.Send(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_FALSE(app.GetWindowHandle()->IsCursorConfined());
    app.Send(WM_ACTIVATE, WA_ACTIVE);
    EXPECT_FALSE(app.GetWindowHandle()->IsCursorConfined() || app.IsCursorClipped());

    // In full screen confining means the whole screen: no window confinement.
    app.SetFullscreen(1);
    app.SetCursorMode(1, 1);
    EXPECT_FALSE(app.GetWindowHandle()->IsCursorConfined());
    app.SetFullscreen(0);
    EXPECT_TRUE(app.GetWindowHandle()->IsCursorConfined());
    app.RestoreOrMinimize(0);
    EXPECT_TRUE(app.IsInactive() && !app.GetWindowHandle()->IsCursorConfined());
    app.RestoreOrMinimize(-1);
    EXPECT_FALSE(app.IsInactive());

    // Setting the current full-screen state again does nothing: the cursor mode is not
    // applied again over a cursor changed behind the application's back.
    app.SetCursorMode(1, 0);
    platform::ShowCursor(false);
    app.SetFullscreen(0);
    EXPECT_FALSE(platform::IsCursorShown());
    platform::ShowCursor(true);

    // Close asks OnClose, ends the loop and lets the pointer go.
    app.SetCursorMode(1, 1);
    app.closeAnswer = 0;
    app.Close();
    EXPECT_FALSE(QueueHasQuit());
    app.closeAnswer = 1;
    app.Close();
    EXPECT_TRUE(QueueHasQuit() && !app.GetWindowHandle()->IsCursorConfined());
    ClearMessages();

    // Cursor images come from numbered resources.
    RecordingApp shaped;
    ASSERT_TRUE(shaped.Create("t", "t", 800, 600, 0));
    // Each call's answer and the cursor id after it; cursor 7 is resource 109.
    auto set = [&shaped](int id) { return std::pair{shaped.SetCursor(id), shaped.GetCursorId()}; };
    EXPECT_EQ(shaped.GetCursorId(), -1);
    EXPECT_EQ(set(7), std::pair(false, -1));
    std::vector<uint32_t> picture(16 * 16, 0xFFFFFFFF);
    ASSERT_TRUE(RegisterCursorResource(109, picture.data(), 16, 16, 1, 1));
    EXPECT_EQ(set(7), std::pair(true, 7));
    EXPECT_EQ(set(8), std::pair(false, 7));
    shaped.Send(WM_SETCURSOR);
    EXPECT_EQ(set(-1), std::pair(true, -1));
    ClearCursorResources();
}

// The system menu and losing the program's turn in full screen reach the window without harm
// (the test display has no minimised state to read back); the pointer goes where the program
// puts it; debug text draws into the back buffer, opaque or over what is there.
TEST_F(WindowedTest, SystemMenuFocusPointerAndDebugText)
{
    RecordingApp app;
    ASSERT_TRUE(app.Create("t", "t", 320, 200, 0));
    app.Show();
    for (uintptr_t request : {SC_MINIMIZE | 3, SC_RESTORE, uintptr_t(0xF0F0)})
        EXPECT_EQ(app.WindowProc(WM_SYSCOMMAND, request, 0), 0);
    app.SetFullscreen(1);
    EXPECT_EQ(app.WindowProc(WM_ACTIVATEAPP, 0, 0), 0);
    app.SetFullscreen(0);

    app.SetCursorPos(40, 30);
    int16_t x = 0, y = 0;
    app.GetCursorClientPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(int16_t(40), int16_t(30)));

    GDibSurface* buffer = app.GetBackBuffer();
    ASSERT_NE(buffer, nullptr);
    const auto pixels = [&] {
        return std::vector<uint8_t>(buffer->GetDibPixels(), buffer->GetDibPixels() + buffer->GetPitch() * 200);
    };
    std::memset(buffer->Lock(), 0x40, size_t(buffer->GetPitch()) * 200);
    buffer->Unlock();
    const std::vector<uint8_t> grey = pixels();
    app.DrawDebugText(4, 4, nullptr);
    EXPECT_EQ(pixels(), grey);
    app.DrawDebugTextTransparent(4, 4, "%d", 7);
    const std::vector<uint8_t> over = pixels();
    EXPECT_NE(over, grey);
    std::memset(buffer->Lock(), 0x40, size_t(buffer->GetPitch()) * 200);
    buffer->Unlock();
    app.DrawDebugText(4, 4, "%d", 7);
    const std::vector<uint8_t> opaque = pixels();
    EXPECT_NE(opaque, grey);
    EXPECT_NE(opaque, over); // the opaque text also paints its background
}

// The timers the loop measures with.
TEST(GTimerTest, HighResolutionReadsTheCounterLowResolutionTheWrappingTickAndLaps)
{
    platform::ManualClock clock(5000999); // 5 s and 999 us
    GTimer high(true);
    GTimer low(false);
    EXPECT_TRUE(high.IsHighResolution() && !low.IsHighResolution());
    const std::vector<double> starts{high.GetStartTime(), low.GetStartTime()};
    clock.AdvanceUs(1500);
    const std::vector<double> reads{high.QueryTimerMs(), high.GetLastReading(), low.QueryTimerMs()};
    EXPECT_EQ(starts, (std::vector<double>{5000.999, 5000.0}));
    EXPECT_EQ(reads, (std::vector<double>{5002.499, 5002.499, 5002.0}));

    // The tick is 32 bits: 2^32 ms later it reads small again, never negative.
    clock.SetUs((uint64_t{1} << 32) * 1000 + 2000);
    GTimer timer(false);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 2.0);
    clock.SetUs((uint64_t{1} << 32) * 1000 - 1000);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 4294967295.0);

    clock.SetUs(0);
    GTimer laps;
    // Each call's answer in order; the time between laps is not counted.
    std::vector<double> seen{laps.StartLap(), laps.EndLap(), laps.StartLap()};
    clock.AdvanceUs(2500);
    seen.push_back(laps.EndLap());
    clock.AdvanceMs(100);
    seen.push_back(laps.StartLap());
    clock.AdvanceMs(4);
    seen.insert(seen.end(), {laps.EndLap(), double(laps.GetLapCount()), laps.GetLapSum(), laps.Reset(),
                             double(laps.GetLapCount()), laps.GetLapSum()});
    EXPECT_EQ(seen, (std::vector<double>{0, 0, 0, 2.5, 2.5, 6.5, 3, 6.5, 0, 0, 0}));
}

} // namespace
