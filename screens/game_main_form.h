#pragma once
// GGameMainForm: the form of a game in progress. It owns the board and its view, loads the
// game's start-up data when it is made (the sound list again, the level list, the rules, the
// targets' glow), and every frame moves the flying cube on, animates the view, counts the time
// and runs the game's state machine:
//
//   playing --(won or lost, once everything has settled)--> level over: the level-end music,
//   the result window opens --(cmContinueGame)--> playing the next level after a win, the same
//   level after a loss; after the last level the game is over and the main menu comes back.
//
// The player aims with the mouse over the board or its ring and with the arrow keys, and fires
// with a click, Enter or Space; Escape leaves for the main menu (the window's "OnEscape"). Each
// moment of the board plays its sound event (see kMomentSounds in the source).
// Owns the board and the view; observes the game system. Main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "game/board/board_rules.h"
#include "game/board/game_board.h"
#include "screens/board_view.h"
#include "screens/game_window.h"

class GHtmlLog;

class GGameMainForm : public GGameWindow, private GBoardListener {
public:
    static constexpr const char* kDialogFile = "game_main.cfg";
    static constexpr const char* kGlowAnimation = "target_glow.cfg";
    static constexpr const char* kGlowObject = "TargetGlow";
    static constexpr const char* kBackground = "GAME_BG";
    // A flying cube moves one cell in this time.
    static constexpr int kStepMs = 45;
    // The panel's score counts up by at most this much a frame.
    static constexpr int kScoreCountStep = 25;

    enum class Phase { kPlaying, kLevelOver, kResult, kGameOver };

    GGameMainForm(GFormStackApplication* application, GGameGuiSystem* system);
    ~GGameMainForm() override;

    // The controls, then the start-up data and the current level of the game's progress.
    // 0 when the data gives no level to play (logged).
    int OnInit() override;
    int Update(int elapsedMs) override;
    int OnKeyDown(int32_t key) override;
    int OnMouseMove(int32_t x, int32_t y) override;
    int OnLButtonDown(int32_t x, int32_t y) override;

    // "cmContinueGame": on after the result window, at the next frame this form is on top.
    // True when the game goes on (another level, or the same one again); false when it is over.
    bool RequestContinue();

    Phase GetPhase() const { return m_phase; }
    const GGameBoard& GetBoard() const { return m_board; }
    const GBoardView& GetView() const { return m_view; }
    int GetLevelCount() const { return static_cast<int>(m_levels.size()); }
    // The panel's score as shown now (it counts toward the board's).
    int32_t GetShownScore() const { return m_shownScore; }

private:
    void OnBeforeControls(const GCfgNode& dialog) override;
    void OnBoardEvent(const GBoardEvent& event) override;

    bool LoadStartUpData();
    // The rules and every level of the list; false (logged) when a level cannot be read.
    bool LoadLevels(GHtmlLog* log);
    bool StartLevel();
    void Fire();
    void Aim(int x, int y);
    void AdvanceFlight(int elapsedMs);
    void UpdatePanel(int elapsedMs);
    void SetLabel(const char* name, int32_t value);
    void FinishLevel();
    void ContinueNow();
    bool IsLastLevel() const;
    bool Playing() const;

    GGameGuiSystem* m_game; // observed
    GGameBoard m_board;
    GBoardView m_view;
    GBoardRules m_rules;
    std::vector<GLevel> m_levels;
    GClip m_background;
    Phase m_phase = Phase::kPlaying;
    bool m_continueRequested = false;
    int m_stepClock = 0;
    int32_t m_shownScore = 0;
    int m_scoreSoundMs = 0;
    int m_lastSecondShown = -1;
};
