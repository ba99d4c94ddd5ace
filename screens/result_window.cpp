#include "screens/result_window.h"

#include <string>

#include "audio/music/sound_manager.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "gui/controls/base_control.h"
#include "gui/dialog.h"
#include "screens/game_gui_system.h"
#include "screens/game_main_form.h"

namespace {

constexpr const char* kStatisticsSound = "SaluteCalc";

void SetText(GDialog& window, const char* control, const GWString& text)
{
    if (GBaseControl* label = window.FindControl(control))
        label->SetText(text);
}

void SetNumber(GDialog& window, const char* control, int32_t value)
{
    SetText(window, control, GWString(std::to_string(value).c_str()));
}

} // namespace

void ShowResult(GDialog& window, const GGameMainForm& form, GGameGuiSystem& system)
{
    const GGameBoard& board = form.GetBoard();
    const GBoardStats& stats = board.GetStats();
    const bool won = board.GetState() == GBoardState::kWon;
    SetText(window, "lblOutcome", system.GetDictionary()->Translate(GWString(won ? "ResultWon" : "ResultLost")));
    SetNumber(window, "lblScore", system.GetProgress().score + stats.score);
    SetNumber(window, "lblShots", stats.shots);
    SetNumber(window, "lblGroups", stats.groups);
    SetNumber(window, "lblTargets", stats.targetsBurned);
    SetNumber(window, "lblTime", stats.timeMs / 1000);
    if (GSoundManager* sounds = system.GetSoundManager())
        sounds->PlayEvent(SoundEventFromName(kStatisticsSound));
}
