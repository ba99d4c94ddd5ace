// The game's road between its screens: the main menu, a game from its first level to its end,
// and back.

#include <new>
#include <string>

#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "foundation/core/random.h"
#include "foundation/files/data_files.h"
#include "foundation/files/html_log.h"
#include "game/profiles/player_profiles.h"
#include "game/score/high_score_client.h"
#include "game/score/top_scores.h"
#include "gui/dialog.h"
#include "gui/form_stack_application.h"
#include "screens/game_gui_system.h"
#include "screens/game_main_form.h"
#include "screens/select_game_window.h"

namespace {

constexpr const char* kGameEndSound = "GameEnd";

// Every window on the stack goes (the forms under the top one included).
void CloseForms(GFormStackApplication& application)
{
    for (int i = application.GetFormCount() - 1; i >= 0; --i)
        if (auto* dialog = dynamic_cast<GDialog*>(application.GetForm(i)))
            dialog->Disappear();
}

} // namespace

void GGameGuiSystem::OpenMainMenu()
{
    GetApplication()->OpenWhenSettled([this]() -> std::unique_ptr<GForm> {
        std::unique_ptr<GForm> menu = MakeDialog(kMainMenuDialog);
        if (!menu) {
            // Without its menu the player has no way on and no way out: say so and close
            // the game the usual way, so the profiles are saved.
            const std::string cause =
                std::string("Cannot open the main menu ") + kMainMenuDialog + ". Please reinstall.";
            GetLog()->PrintError("%s", cause.c_str());
            ShowAlert(cause.c_str());
            GetApplication()->Close();
        }
        return menu;
    });
    if (m_musicManager)
        m_musicManager->PlayForMode(kMusicMenu);
    GetLog()->Printf("Main menu");
}

void GGameGuiSystem::ClearGame()
{
    m_progress = GGameProgress{};
    m_progress.timed =
        GHighScoreClient::Get().GetGameMode() == GSelectGameWndControlListener::kTimedMode;
    m_progress.seed = GRandom().GetSeed();
}

void GGameGuiSystem::StartGame()
{
    CloseForms(*GetApplication());
    GetApplication()->OpenWhenSettled([this]() -> std::unique_ptr<GForm> {
        auto form = std::unique_ptr<GGameMainForm>(new (std::nothrow)
                                                       GGameMainForm(GetApplication(), this));
        if (form && form->Create()) {
            if (m_musicManager)
                m_musicManager->PlayForMode(m_progress.timed ? kMusicGameTimed : kMusicGame);
            return form;
        }
        GetLog()->PrintError("Cannot start the game: there is no level to play");
        std::unique_ptr<GForm> menu = MakeDialog(kMainMenuDialog);
        return menu;
    });
}

void GGameGuiSystem::ExitGame()
{
    CloseForms(*GetApplication());
    OpenMainMenu();
}

void GGameGuiSystem::ContinueGame()
{
    if (!m_mainForm || !m_mainForm->RequestContinue())
        return;
    // The level-end music gives way to the game's own.
    if (m_musicManager && m_musicManager->GetMode() == kMusicGameEnd)
        m_musicManager->PlayForMode(m_progress.timed ? kMusicGameTimed : kMusicGame);
}

void GGameGuiSystem::FinishGame()
{
    const int place = m_topScores ? EnterTopScore(*m_topScores, kPlayerName, m_progress.score) : -1;
    GHighScoreClient::Get().SubmitScore(kPlayerName, m_progress.score);
    if (m_soundManager)
        m_soundManager->PlayEvent(SoundEventFromName(kGameEndSound));
    GetLog()->Printf("Game over: score %d, %s", m_progress.score,
                     place >= 0 ? "a place in the top scores" : "no place in the top scores");
    // A place earned is kept at once: a game is too long to lose to a crash.
    if (place >= 0)
        SavePlayerData();
    ExitGame();
}
