#pragma once
// The game-mode window's behaviour ("select_game.cfg"): its mode buttons, known by name, give
// the high-score client the game mode the scores will belong to and start a new game through
// the GUI's command list ("cmClearAsGameOver;cmStartGame"). Owned by its window; observes the
// game system. Main thread only.

#include "gui/control_listener.h"

class GGameGuiSystem;

class GSelectGameWndControlListener : public GControlListener {
public:
    static constexpr const char* kNormalModeButton = "btnNormalMode";
    static constexpr const char* kTimedModeButton = "btnTimedMode";
    // The high-score client's game modes.
    static constexpr int kNormalMode = 0;
    static constexpr int kTimedMode = 2;
    static constexpr const char* kStartCommands = "cmClearAsGameOver;cmStartGame";

    explicit GSelectGameWndControlListener(GGameGuiSystem& system) : m_system(system) {}

    void OnControlClick(GDialog& dialog, GBaseControl& control) override;

private:
    GGameGuiSystem& m_system;
};
