#include "screens/select_game_window.h"

#include "game/score/high_score_client.h"
#include "gui/controls/base_control.h"
#include "screens/game_gui_system.h"

void GSelectGameWndControlListener::OnControlClick(GDialog&, GBaseControl& control)
{
    const std::string& name = control.GetName();
    int mode = kNormalMode;
    if (name == kTimedModeButton)
        mode = kTimedMode;
    else if (name != kNormalModeButton)
        return;
    GHighScoreClient::Get().SetGameMode(mode);
    m_system.ExecuteCommandList(kStartCommands);
}
