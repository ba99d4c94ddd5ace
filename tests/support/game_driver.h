#pragma once
// Drives the game's windows as a player does, through the window's own messages: clicks on
// a control of the top window, keys, and frames until the flow has reached a window at rest.
// step runs one frame: OnFrame with 30 ms for frame-by-frame tests, RunStep in real time.

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include "gui/controls/base_control.h"
#include "gui/dialog_states.h"
#include "platform/window/messages.h"
#include "screens/game_application.h"
#include "screens/game_window.h"

namespace tolvanrise::test {

// The game's 800 x 600 window opened with no message left over from an earlier test.
inline bool OpenGame(GGameApplication& game)
{
    platform::ClearMessages();
    return game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0);
}

class GameDriver {
public:
    explicit GameDriver(GGameApplication& game, std::function<void()> step = {})
        : m_game(game), m_step(step ? std::move(step) : [&game] { game.OnFrame(30); })
    {
    }

    // The top window while it is of the file and at rest, else null.
    GGameWindow* Window(std::string_view file) const
    {
        auto* window = dynamic_cast<GGameWindow*>(m_game.GetTopForm());
        return window && window->GetFileName() == file &&
                       dynamic_cast<GDialogNormalState*>(window->GetState())
                   ? window
                   : nullptr;
    }

    // Frames (with a short pause each, for the sounds the flow waits for) until the file's
    // window is on top at rest; null after maxFrames.
    GGameWindow* WaitFor(std::string_view file, int maxFrames = 400)
    {
        for (int i = 0; i < maxFrames && !Window(file); ++i) {
            m_step();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return Window(file);
    }

    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            m_step();
    }

    // A press and a release at (x, y), a frame after each.
    void ClickAt(int x, int y)
    {
        const intptr_t at = x | (y << 16);
        m_game.WindowProc(platform::WM_MOUSEMOVE, 0, at);
        m_game.WindowProc(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, at);
        m_step();
        m_game.WindowProc(platform::WM_LBUTTONUP, 0, at);
        m_step();
    }

    // Clicks the middle of the top window's control; false when there is no such control.
    bool Click(std::string_view control)
    {
        GBaseControl* found = Top() ? Top()->FindControl(control) : nullptr;
        if (!found)
            return false;
        const GRect& r = found->GetRect();
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return true;
    }

    void Key(int virtualKey)
    {
        m_game.WindowProc(platform::WM_KEYDOWN, virtualKey, 1);
        m_game.WindowProc(platform::WM_KEYUP, virtualKey, 1);
        m_step();
    }

    GDialog* Top() const { return dynamic_cast<GDialog*>(m_game.GetTopForm()); }

private:
    GGameApplication& m_game;
    std::function<void()> m_step;
};

} // namespace tolvanrise::test
