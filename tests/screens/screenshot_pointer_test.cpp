// The game's drawn pointer as a player meets it on an X display with a window manager: the
// arrow's point is where a click lands, it is drawn where the mouse is after a window closes,
// after a pointer warp by another program and after a mode switch (once, never twice), and a
// fade draws around it exactly what it draws without it. The options window's full-screen box
// shows the window's mode after Alt+Enter. Skipped when Xvfb is not installed.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/image/dib_surface.h"
#include "game/profiles/player_profiles.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/button.h"
#include "platform/window/messages.h"
#include "screens/game_gui_system.h"
#include "screens/options_window.h"
#include "support/game_driver.h"
#include "support/x_session.h" // last: it brings Xlib's macros

extern "C" int __lsan_is_turned_off()
{
    return 1; // as in the other screenshot suite: the X11 backend's libraries keep allocations
}

namespace {

using namespace tolvanrise::test;
using Options = GOptionsWndControlListener;

// One arrow, its point at (x, y).
std::vector<PixelPoint> Once(int x, int y)
{
    return {PixelPoint{x, y}};
}

// The game in a window on its own X server, run in real time, with its cursor picture.
struct PointerSession {
    WindowedOnX session;
    GGameApplication game;
    std::optional<GameDriver> player;
    const GBitmap* cursor = nullptr;

    explicit PointerSession(const char* prefix) : session(prefix) {}

    bool Start()
    {
        if (!session.x.display || !session.saved ||
            !game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0))
            return false;
        game.OnBeforeShow();
        game.Show();
        game.BeginRun();
        if (!WaitForManagedMode(session.x, false))
            return false;
        player.emplace(game, [this] { RunFor(game, 10ms); });
        GGraphicsResources& store = *game.GetGameSystem()->GetResources();
        cursor = store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPicture));
        return cursor && player->WaitFor(GGameGuiSystem::kMainMenuDialog, 1000);
    }
    // The mouse moved by the game itself, then frames until the window has caught up.
    void MoveMouse(int x, int y)
    {
        game.SetCursorPos(int16_t(x), int16_t(y));
        Settle(game, session.x.display);
    }
    // Where the back buffer draws the arrow's point, once for each arrow drawn.
    std::vector<PixelPoint> TipsInBuffer()
    {
        GDibSurface& surface = *game.GetBackBuffer();
        const std::vector<PixelPoint> tips =
            DrawnTips(surface.Lock(), 800, 600, surface.GetPitch(), *cursor);
        surface.Unlock();
        return tips;
    }
    // The same on the X screen.
    std::vector<PixelPoint> TipsOnScreen()
    {
        GDibSurface& surface = *game.GetBackBuffer();
        const std::vector<uint8_t> client =
            ClientScreenshot(session.x.display, surface.Lock(), surface.GetPitch());
        surface.Unlock();
        return client.empty() ? std::vector<PixelPoint>{}
                              : DrawnTips(client.data(), 800, 600, 2400, *cursor);
    }
    std::string Pixels(const GRect& r)
    {
        GDibSurface& surface = *game.GetBackBuffer();
        const uint8_t* buffer = surface.Lock();
        std::string bytes;
        for (int y = r.top; y <= r.bottom; ++y)
            bytes.append(
                reinterpret_cast<const char*>(buffer + y * surface.GetPitch() + r.left * 3),
                r.Width() * 3);
        surface.Unlock();
        return bytes;
    }
    ~PointerSession()
    {
        if (game.IsGameStarted())
            game.OnExit();
    }
};

#define START_OR_SKIP(s)                                                                           \
    if (!(s).session.x.display)                                                                    \
        GTEST_SKIP() << "Xvfb is not available";                                                   \
    ASSERT_TRUE((s).Start())

// The point of the drawn arrow, put on the Options button's top-left pixel: the button shows its
// hover look, the arrow's point is drawn there on the screen, and a click at that pixel opens
// the options window.
TEST(PointerScreenshot, AClickAtTheArrowsPointHitsTheButton)
{
    PointerSession s("pointer_tip_");
    START_OR_SKIP(s);
    GBaseControl* options = s.player->Top()->FindControl("btnOptions");
    ASSERT_NE(options, nullptr);
    const GRect button = options->GetRect();
    s.MoveMouse(button.left, button.top);
    const std::vector<PixelPoint> tips = s.TipsOnScreen();
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(tips, Once(button.left, button.top));
    EXPECT_EQ(options->GetLook(), GControlLook::Hover);
    s.player->ClickAt(tips[0].x, tips[0].y);
    EXPECT_NE(s.player->WaitFor(GGameGuiSystem::kOptionsDialog), nullptr);
}

// Escape closes the options window with the mouse held still over it: once the menu is back,
// the arrow is drawn at the mouse, on the screen as in the back buffer, and only there.
TEST(PointerScreenshot, AfterTheWindowClosesThePointerIsAtTheStillMouse)
{
    PointerSession s("pointer_close_");
    START_OR_SKIP(s);
    ASSERT_TRUE(s.player->Click("btnOptions"));
    ASSERT_NE(s.player->WaitFor(GGameGuiSystem::kOptionsDialog), nullptr);
    s.MoveMouse(400, 560);
    s.player->Key(platform::VK_ESCAPE);
    ASSERT_NE(s.player->WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
    Settle(s.game, s.session.x.display);
    EXPECT_EQ(s.TipsInBuffer(), Once(400, 560));
    EXPECT_EQ(s.TipsOnScreen(), Once(400, 560));
}

// Another program moves the pointer (as xdotool does, by a warp on the X server): the arrow
// follows to the new place.
TEST(PointerScreenshot, AWarpByAnotherProgramMovesTheArrow)
{
    PointerSession s("pointer_warp_");
    START_OR_SKIP(s);
    s.MoveMouse(200, 200);
    ASSERT_EQ(s.TipsInBuffer(), Once(200, 200));
    // Where the window's client area is on the screen: the game's own warp says.
    Display* display = s.session.x.display;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX, &winY,
                  &mask);
    XWarpPointer(display, 0, DefaultRootWindow(display), 0, 0, 0, 0, rootX + 250, rootY + 130);
    Settle(s.game, display);
    EXPECT_EQ(s.TipsInBuffer(), Once(450, 330));
    EXPECT_EQ(s.TipsOnScreen(), Once(450, 330));
}

// The options window fading out, frame by frame from Escape, once with the mouse away from the
// window and once with the arrow over it: around the arrow (its picture's place, the arrow's own
// pixels left out) the frame is the same as the one without a pointer.
TEST(PointerScreenshot, AFadeAroundThePointerIsTheFadeWithoutIt)
{
    PointerSession s("pointer_fade_");
    START_OR_SKIP(s);
    const PixelPoint mouse{120, 540};
    const PixelPoint tip = TipOf(*s.cursor);
    const GRect area{int16_t(mouse.x - tip.x), int16_t(mouse.y - tip.y),
                     int16_t(mouse.x - tip.x + s.cursor->GetWidth() - 1),
                     int16_t(mouse.y - tip.y + s.cursor->GetHeight() - 1)};
    auto fadeFrame = [&](PixelPoint at) {
        EXPECT_TRUE(s.player->Click("btnOptions"));
        EXPECT_NE(s.player->WaitFor(GGameGuiSystem::kOptionsDialog), nullptr);
        s.MoveMouse(at.x, at.y);
        const std::string atRest = s.Pixels(area);
        s.game.WindowProc(platform::WM_KEYDOWN, platform::VK_ESCAPE, 1);
        s.game.WindowProc(platform::WM_KEYUP, platform::VK_ESCAPE, 1);
        for (int i = 0; i < 4; ++i)
            s.game.OnFrame(30);
        const std::string frame = s.Pixels(area);
        EXPECT_TRUE(frame != atRest) << "the fade has begun";
        EXPECT_NE(s.player->WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        return frame;
    };
    const std::string without = fadeFrame({-50, -40});
    const std::string with = fadeFrame(mouse);
    int differing = 0;
    for (int y = 0; y < area.Height(); ++y)
        for (int x = 0; x < area.Width(); ++x) {
            const size_t at = (size_t(y) * area.Width() + x) * 3;
            if (IsKeyPixel(*s.cursor, x, y))
                differing += without.compare(at, 3, with, at, 3) != 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(with != without) << "the arrow is drawn";
}

// Alt+Enter in the options window switches to full screen and back: the full-screen box then
// looks like the checked music box, and back in a window like the sound box switched off; the
// arrow is drawn once, at the mouse, after each switch.
TEST(PointerScreenshot, AltEnterInTheOptionsWindowTheBoxShowsTheMode)
{
    PointerSession s("pointer_mode_");
    START_OR_SKIP(s);
    ASSERT_TRUE(s.player->Click("btnOptions"));
    GGameWindow* options = s.player->WaitFor(GGameGuiSystem::kOptionsDialog);
    ASSERT_NE(options, nullptr);
    s.game.GetGameSystem()->GetProfiles()->GetDefaultSettings().soundVolume = 0;
    s.MoveMouse(120, 540);
    // Inside the square of a box: its left end, as high as the box, less a margin.
    auto square = [&](const char* name) {
        const GRect r = options->FindControl(name)->GetRect();
        return s.Pixels(GRect{int16_t(r.left + 2), int16_t(r.top + 2),
                              int16_t(r.left + r.Height() - 3), int16_t(r.bottom - 2)});
    };
    auto altEnter = [&] {
        s.game.WindowProc(platform::WM_KEYDOWN, platform::VK_MENU, 1);
        s.game.WindowProc(platform::WM_KEYDOWN, platform::VK_RETURN, 1);
        s.game.WindowProc(platform::WM_KEYUP, platform::VK_RETURN, 1);
        s.game.WindowProc(platform::WM_KEYUP, platform::VK_MENU, 1);
        EXPECT_TRUE(WaitForManagedMode(s.session.x, s.game.IsFullscreen()));
        Settle(s.game, s.session.x.display);
    };
    EXPECT_TRUE(square(Options::kFullScreenBox) == square(Options::kSoundBox));
    for (bool fullScreen : {true, false}) {
        altEnter();
        ASSERT_EQ(s.game.IsFullscreen(), fullScreen);
        EXPECT_TRUE(square(Options::kFullScreenBox) ==
                    square(fullScreen ? Options::kMusicBox : Options::kSoundBox))
            << (fullScreen ? "full screen" : "windowed");
        int16_t x = 0, y = 0;
        s.game.GetCursorClientPos(x, y);
        const std::vector<PixelPoint> tips = s.TipsInBuffer();
        EXPECT_EQ(tips, Once(x, y)) << fullScreen;
    }
}

} // namespace
