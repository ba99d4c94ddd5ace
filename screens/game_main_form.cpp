#include "screens/game_main_form.h"

#include <algorithm>
#include <string>

#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "foundation/app/key_codes.h"
#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "foundation/text/wstring.h"
#include "game/board/level_data.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/button.h"
#include "gui/dialog_states.h"
#include "screens/game_gui_system.h"

namespace {

// What the player hears at each moment of the board (the sound list's event names).
struct MomentSound {
    GBoardMoment moment;
    const char* event;
};
constexpr MomentSound kMomentSounds[] = {
    {GBoardMoment::kShot, "ObjAnyGemOutBegin"},
    {GBoardMoment::kShotRefused, "ObjAnyGemPlaceWrong"},
    {GBoardMoment::kCubeEnters, "ObjAnyGemMoveOnCell"},
    {GBoardMoment::kRepaint, "RepaintCube"},
    {GBoardMoment::kBonusCollected, "BonusFireGetFlyBegin"},
    {GBoardMoment::kCubeStops, "ObjNrmGemStop"},
    {GBoardMoment::kGroupExplodes, "ObjMatchNearMovedKilled"},
    {GBoardMoment::kTargetBurns, "ObjTargetCellBurn"},
    {GBoardMoment::kBonusAppears, "BonusFireAppear"},
    {GBoardMoment::kTimeWarning, "GameTimeWarn"},
};
constexpr const char* kGameBeginSound = "GameBegin";
constexpr const char* kLevelBeginSound = "GameLvlBegin";
constexpr const char* kLevelWonSound = "GameLvlWiner";
constexpr const char* kLevelLostSound = "GameLvlLooser";
constexpr const char* kBonusArrivedSound = "BonusFireGetFlyOk";
constexpr const char* kScoreCountSound = "CalculateScore";
// The panel's counting sound plays at most this often.
constexpr int kScoreSoundMs = 150;

constexpr const char* kResultDialog = "cmShowDialog(result.cfg)";

} // namespace

GGameMainForm::GGameMainForm(GFormStackApplication* application, GGameGuiSystem* system)
    : GGameWindow(application, system, kDialogFile), m_game(system)
{
    m_board.SetListener(this);
}

GGameMainForm::~GGameMainForm()
{
    if (m_game && m_game->GetMainForm() == this)
        m_game->SetMainForm(nullptr);
}

void GGameMainForm::OnBeforeControls(const GCfgNode& dialog)
{
    GGameWindow::OnBeforeControls(dialog);
    GGraphicsResources* store = m_game->GetResources();
    const int16_t background = store->FindBitmap(kBackground);
    if (background >= 0) {
        m_background.SetSlot(background);
        m_background.SetVisible(true);
        AddClip(&m_background);
    }
}

int GGameMainForm::OnInit()
{
    if (!GGameWindow::OnInit())
        return 0;
    if (!LoadStartUpData())
        return 0;
    m_game->SetMainForm(this);
    if (GSoundManager* sounds = m_game->GetSoundManager(); sounds && m_game->GetProgress().level == 0)
        sounds->PlayEvent(SoundEventFromName(kGameBeginSound));
    return StartLevel() ? 1 : 0;
}

bool GGameMainForm::LoadStartUpData()
{
    GHtmlLog* log = m_game->GetLog();
    // The sound list is part of the game's own start-up data: each game plays its events from
    // the list as it is on disk when the game begins.
    if (GSoundManager* sounds = m_game->GetSoundManager())
        sounds->LoadSoundList(GGameGuiSystem::kSoundList);
    if (!LoadLevels(log))
        return false;

    std::vector<uint8_t> glow;
    GCfgNode animation;
    GLabelKeyFrameAnimator loader;
    std::unique_ptr<uint8_t[]> packed;
    uint32_t size = 0;
    if (animation.LoadFile(kGlowAnimation) == 1 &&
        loader.LoadAndCheck(GCfgObjectCursor(animation.FindObjectList(kGlowObject), 0), m_game->GetResources()) &&
        loader.SaveToMemory(&packed, &size))
        glow.assign(packed.get(), packed.get() + size);
    else
        log->PrintError("Cannot load the targets' glow %s: targets do not glow", kGlowAnimation);
    if (!m_view.Init(m_game->GetResources(), *this, std::move(glow))) {
        log->PrintError("The board's pictures are missing from the store");
        return false;
    }
    return true;
}

bool GGameMainForm::LoadLevels(GHtmlLog* log)
{
    // Rules that cannot be read leave the defaults: the levels can still be played.
    if (GLevelDataResult<GRulesRead> rules = LoadBoardRules(log); rules.Ok())
        m_rules = rules.value.rules;
    const GLevelDataResult<std::vector<GLevelInfo>> list = LoadLevelList(log);
    if (!list.Ok())
        return false;
    m_levels.clear();
    for (const GLevelInfo& info : list.value) {
        GLevelDataResult<GLevel> level = LoadLevel(info, log);
        if (!level.Ok())
            return false;
        m_levels.push_back(std::move(level.value));
    }
    return !m_levels.empty();
}

bool GGameMainForm::StartLevel()
{
    GGameProgress& progress = m_game->GetProgress();
    progress.level = std::clamp(progress.level, 0, GetLevelCount() - 1);
    const GLevel& level = m_levels[progress.level];
    if (!m_board.Start(level, m_rules, progress.timed, progress.seed + static_cast<uint32_t>(progress.level))) {
        m_game->GetLog()->PrintError("Level %d (%s) cannot be played", progress.level + 1, level.name.c_str());
        return false;
    }
    m_view.Build(m_board);
    m_phase = Phase::kPlaying;
    m_stepClock = 0;
    m_shownScore = progress.score;
    m_lastSecondShown = -1;
    SetLabel("lblLevel", progress.level + 1);
    // Only a timed game has a time to show.
    for (const char* name : {"capTime", "lblTime"})
        if (GBaseControl* control = FindControl(name))
            control->SetVisible(progress.timed);
    UpdatePanel(0);
    if (GSoundManager* sounds = m_game->GetSoundManager())
        sounds->PlayEvent(SoundEventFromName(kLevelBeginSound));
    m_game->GetLog()->Printf("Level %d (%s), %s mode", progress.level + 1, level.name.c_str(),
                             progress.timed ? "timed" : "normal");
    return true;
}

void GGameMainForm::OnBoardEvent(const GBoardEvent& event)
{
    m_view.OnEvent(event, m_board);
    GSoundManager* sounds = m_game->GetSoundManager();
    for (const MomentSound& sound : kMomentSounds)
        if (sound.moment == event.moment && sounds)
            sounds->PlayEvent(SoundEventFromName(sound.event));
}

bool GGameMainForm::Playing() const
{
    return m_phase == Phase::kPlaying && dynamic_cast<GDialogNormalState*>(GetState()) != nullptr;
}

int GGameMainForm::OnKeyDown(int32_t key)
{
    if (Playing()) {
        switch (VirtualKeyToKeyCode(key)) {
        case kKeyLeft: m_board.MoveGun(-1, 0); m_view.ShowGun(m_board); return 1;
        case kKeyRight: m_board.MoveGun(1, 0); m_view.ShowGun(m_board); return 1;
        case kKeyUp: m_board.MoveGun(0, -1); m_view.ShowGun(m_board); return 1;
        case kKeyDown: m_board.MoveGun(0, 1); m_view.ShowGun(m_board); return 1;
        default: break;
        }
        if (IsPressKey(key)) {
            Fire();
            return 1;
        }
    }
    return GGameWindow::OnKeyDown(key);
}

void GGameMainForm::Aim(int x, int y)
{
    int cellX = 0, cellY = 0;
    if (!GBoardView::CellAt(x, y, cellX, cellY))
        return;
    const GGunPosition gun = GGameBoard::GunForCell(cellX, cellY, m_board.GetGun());
    if (!(gun == m_board.GetGun()) && m_board.Aim(gun))
        m_view.ShowGun(m_board);
}

int GGameMainForm::OnMouseMove(int32_t x, int32_t y)
{
    if (Playing())
        Aim(x, y);
    return GGameWindow::OnMouseMove(x, y);
}

int GGameMainForm::OnLButtonDown(int32_t x, int32_t y)
{
    int cellX = 0, cellY = 0;
    if (Playing() && GBoardView::CellAt(x, y, cellX, cellY)) {
        Aim(x, y);
        Fire();
        return 1;
    }
    return GGameWindow::OnLButtonDown(x, y);
}

void GGameMainForm::Fire()
{
    if (m_board.GetState() != GBoardState::kAiming)
        return;
    m_stepClock = 0;
    m_board.Fire();
    m_view.SyncCubes(m_board);
}

void GGameMainForm::AdvanceFlight(int elapsedMs)
{
    if (m_board.GetState() != GBoardState::kFlying)
        return;
    m_stepClock += elapsedMs;
    while (m_board.GetState() == GBoardState::kFlying && m_stepClock >= kStepMs) {
        m_stepClock -= kStepMs;
        m_board.Step();
        m_view.SyncCubes(m_board);
    }
    if (m_board.GetState() != GBoardState::kFlying)
        m_view.ShowGun(m_board);
}

int GGameMainForm::Update(int elapsedMs)
{
    if (m_continueRequested) {
        m_continueRequested = false;
        ContinueNow();
    }
    if (m_phase == Phase::kPlaying) {
        AdvanceFlight(elapsedMs);
        if (m_board.GetState() == GBoardState::kAiming || m_board.GetState() == GBoardState::kFlying)
            m_board.AdvanceTime(elapsedMs);
    }
    const GBoardView::Arrivals arrivals = m_view.Update(elapsedMs, m_board, m_stepClock * 256 / kStepMs);
    if (GSoundManager* sounds = m_game->GetSoundManager(); sounds && arrivals.bonuses > 0)
        sounds->PlayEvent(SoundEventFromName(kBonusArrivedSound));
    UpdatePanel(elapsedMs);
    if (m_phase == Phase::kPlaying && (m_board.GetState() == GBoardState::kWon || m_board.GetState() == GBoardState::kLost))
        m_phase = Phase::kLevelOver;
    if (m_phase == Phase::kLevelOver && m_view.IsSettled() && m_shownScore == m_game->GetProgress().score + m_board.GetStats().score)
        FinishLevel();
    return GGameWindow::Update(elapsedMs);
}

void GGameMainForm::UpdatePanel(int elapsedMs)
{
    const int32_t score = m_game->GetProgress().score + m_board.GetStats().score;
    m_scoreSoundMs -= elapsedMs;
    if (m_shownScore != score) {
        m_shownScore = score > m_shownScore ? std::min(score, m_shownScore + kScoreCountStep) : score;
        if (m_scoreSoundMs <= 0) {
            if (GSoundManager* sounds = m_game->GetSoundManager())
                sounds->PlayEvent(SoundEventFromName(kScoreCountSound));
            m_scoreSoundMs = kScoreSoundMs;
        }
    }
    SetLabel("lblScore", m_shownScore);
    SetLabel("lblTargets", m_board.GetTargetsLeft());
    SetLabel("lblShots", m_board.GetShotsLeft());
    if (m_board.IsTimed()) {
        const int seconds = (std::max(m_board.GetTimeLeftMs(), 0) + 999) / 1000;
        if (seconds != m_lastSecondShown)
            SetLabel("lblTime", seconds);
        m_lastSecondShown = seconds;
    }
}

void GGameMainForm::SetLabel(const char* name, int32_t value)
{
    GBaseControl* label = FindControl(name);
    if (!label)
        return;
    const GWString text(std::to_string(value).c_str());
    if (!(label->GetText() == text))
        label->SetText(text);
}

void GGameMainForm::FinishLevel()
{
    m_phase = Phase::kResult;
    const bool won = m_board.GetState() == GBoardState::kWon;
    if (GMusicManager* music = m_game->GetMusicManager())
        music->PlayForMode(kMusicGameEnd);
    if (GSoundManager* sounds = m_game->GetSoundManager())
        sounds->PlayEvent(SoundEventFromName(won ? kLevelWonSound : kLevelLostSound));
    const GBoardStats& stats = m_board.GetStats();
    m_game->GetLog()->Printf("Level %d %s: score %d, shots %d, groups %d, targets %d of %d, %d s",
                             m_game->GetProgress().level + 1, won ? "won" : "lost", stats.score, stats.shots,
                             stats.groups, stats.targetsBurned, stats.targetsTotal, stats.timeMs / 1000);
    m_game->ExecuteCommandList(kResultDialog);
}

bool GGameMainForm::IsLastLevel() const
{
    return m_game->GetProgress().level + 1 >= GetLevelCount();
}

bool GGameMainForm::RequestContinue()
{
    if (m_phase != Phase::kResult)
        return false;
    m_continueRequested = true;
    return !(m_board.GetState() == GBoardState::kWon && IsLastLevel());
}

void GGameMainForm::ContinueNow()
{
    GGameProgress& progress = m_game->GetProgress();
    if (m_board.GetState() == GBoardState::kWon) {
        progress.score += m_board.GetStats().score;
        if (IsLastLevel()) {
            m_phase = Phase::kGameOver;
            m_game->FinishGame();
            return;
        }
        ++progress.level;
    }
    // A lost level is played again from its start, its score with it.
    if (!StartLevel()) {
        m_phase = Phase::kGameOver;
        m_game->FinishGame();
    }
}
