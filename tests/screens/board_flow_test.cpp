// A game played as a player plays it, through the window's own messages: the main menu, Play,
// a mode, the shot that wins a level, the result window, Continue, and Escape back to the menu;
// the music follows each step and the game's sound list is read once more, by the board.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "game/profiles/player_profiles.h"
#include "platform/window/messages.h"
#include "screens/board_view.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/game_main_form.h"
#include "screens/target_glow.h"
#include "platform/sound/sound_device.h"
#include "support/audio_measure.h"
#include "support/disk_output.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/one_shot_level.h"
#include "support/saved_settings.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::GameDataFolder;
using tolvanrise::test::GameDriver;
using tolvanrise::test::kOneShotLevelFile;
using tolvanrise::test::WriteDataFile;

// The level's only target.
constexpr int kTargetX = 5;
constexpr int kTargetY = 1;

void WriteTestLevels(const GameDataFolder& data)
{
    WriteDataFile(
        data.Data("LEVELS/levellist.csv"),
        "Name;File;Shots;Colours;Seconds\nFirst;test1.ini;5;1;60\nSecond;test2.ini;5;1;60\n");
    WriteDataFile(data.Data("LEVELS/test1.ini"), kOneShotLevelFile);
    WriteDataFile(data.Data("LEVELS/test2.ini"), kOneShotLevelFile);
}

// The sound list cut to its header and first rows, scrambled as the game reads it.
void WriteShortSoundList(const GameDataFolder& data, int rows)
{
    const std::string path = data.Data("SOUNDS/sound.csv");
    std::string bytes = tolvanrise::test::ReadFileBytes(path);
    XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), kSoundTableKey);
    size_t kept = 0;
    for (int line = 0; line <= rows; ++line)
        kept = bytes.find('\n', kept) + 1;
    bytes.resize(kept);
    XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), kSoundTableKey);
    WriteDataFile(path, bytes);
}

GGameMainForm* MainForm(GGameApplication& game)
{
    return dynamic_cast<GGameMainForm*>(game.GetTopForm());
}

struct ModeCase {
    const char* name;
    const char* button;
    bool musicOn;
    int32_t playingMode;  // while the level is played
    int32_t continueMode; // after Continue
};

class BoardFlow : public testing::TestWithParam<ModeCase> {};

TEST_P(BoardFlow, MenuModeWinResultContinueEscape)
{
    const ModeCase& mode = GetParam();
    GameDataFolder data("board_flow_");
    WriteTestLevels(data);
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    GameDriver player(game);
    ASSERT_NE(player.WaitFor("main_menu.cfg"), nullptr);
    GGameGuiSystem* system = game.GetGameSystem();
    GMusicManager* music = system->GetMusicManager();
    GSoundManager* sounds = system->GetSoundManager();
    ASSERT_NE(music, nullptr);
    ASSERT_NE(sounds, nullptr);
    const size_t fullList = sounds->GetEntries().size();
    WriteShortSoundList(data, 3);
    if (!mode.musicOn)
        music->SetEnabled(0);

    ASSERT_TRUE(player.Click("btnPlay"));
    ASSERT_NE(player.WaitFor("select_game.cfg"), nullptr);
    EXPECT_EQ(sounds->GetEntries().size(), fullList)
        << "nothing reads the sound list before the board";
    ASSERT_TRUE(player.Click(mode.button));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    GGameMainForm* form = MainForm(game);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(sounds->GetEntries().size(), 3u) << "the board reads the sound list as it opens";
    EXPECT_EQ(music->GetMode(), mode.playingMode);

    // The glow of the target as it burns: its loop, the flare, the burned cell it settles on.
    const GTargetGlow* glow = form->GetView().GlowAt(kTargetX, kTargetY);
    ASSERT_NE(glow, nullptr);
    EXPECT_TRUE(glow->GetAnimator().IsAtKeyFrame("stNormal"));
    player.ClickAt(GBoardView::CentreX(6), GBoardView::CentreY(GGameBoard::kSize));
    std::vector<std::string> labels;
    for (int i = 0; i < 200 && !player.Window("result.cfg"); ++i) {
        for (const char* label : {"stNormal", "st_GlowNormalEnd2", "st_GlowBurn",
                                  "st_GlowNormalEnd3", "st_GlowEmptyEnd"})
            if (MainForm(game) == form && glow->GetAnimator().IsAtKeyFrame(label) &&
                (labels.empty() || labels.back() != label))
                labels.push_back(label);
        player.Frames(1);
    }
    ASSERT_NE(player.Window("result.cfg"), nullptr) << "a won level ends in the result window";
    EXPECT_EQ(form->GetBoard().GetState(), GBoardState::kWon);
    const std::vector<std::string> burn = {"st_GlowBurn", "st_GlowNormalEnd3", "st_GlowEmptyEnd"};
    ASSERT_GE(labels.size(), burn.size());
    EXPECT_EQ(std::vector<std::string>(labels.end() - 3, labels.end()), burn)
        << "the flare, then the settled cell";
    const GBitmapClip& cell = form->GetView().CellClip(kTargetX, kTargetY);
    EXPECT_EQ(cell.GetX(), FixedFromInt(GBoardView::CentreX(kTargetX)))
        << "the glow stays on its cell";
    EXPECT_EQ(cell.GetY(), FixedFromInt(GBoardView::CentreY(kTargetY)));
    EXPECT_TRUE(cell.IsVisible());
    EXPECT_EQ(music->GetMode(), mode.musicOn ? kMusicGameEnd : kMusicMenu);

    WriteShortSoundList(data, 2);
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    EXPECT_EQ(music->GetMode(), mode.continueMode);
    EXPECT_EQ(system->GetProgress().level, 1) << "a win goes on to the next level";
    EXPECT_EQ(MainForm(game)->GetBoard().GetState(), GBoardState::kAiming);

    player.Key(platform::VK_ESCAPE);
    ASSERT_NE(player.WaitFor("main_menu.cfg"), nullptr);
    EXPECT_EQ(music->GetMode(), kMusicMenu);
    EXPECT_EQ(sounds->GetEntries().size(), 3u) << "the sound list is read once more, not again";
}

INSTANTIATE_TEST_SUITE_P(
    , BoardFlow,
    testing::Values(ModeCase{"Timed", "btnTimedMode", true, kMusicGameTimed, kMusicGameTimed},
                    ModeCase{"Normal", "btnNormalMode", true, kMusicGame, kMusicGame},
                    ModeCase{"MusicOff", "btnTimedMode", false, kMusicMenu, kMusicMenu}),
    [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

// Opens the game's main form on the test levels in normal mode; null when it does not open.
GGameMainForm* OpenBoard(GGameApplication& game, GameDriver& player)
{
    if (!tolvanrise::test::OpenGame(game) || !player.WaitFor("main_menu.cfg") ||
        !player.Click("btnPlay") || !player.WaitFor("select_game.cfg") ||
        !player.Click("btnNormalMode") || !player.WaitFor("game_main.cfg"))
        return nullptr;
    return MainForm(game);
}

// The keyboard plays as the mouse does: the arrows walk the gun around the ring, Enter fires;
// a shot into a taken cell is refused and costs nothing.
TEST(BoardKeys, ArrowsAimEnterFiresATakenEntryRefuses)
{
    GameDataFolder data("board_keys_");
    WriteTestLevels(data);
    GGameApplication game;
    GameDriver player(game);
    GGameMainForm* form = OpenBoard(game, player);
    ASSERT_NE(form, nullptr);
    const GGunPosition start = form->GetBoard().GetGun();
    player.Key(platform::VK_LEFT);
    EXPECT_EQ(form->GetBoard().GetGun().line, start.line - 1)
        << "Left moves the gun one column left";
    player.Key(platform::VK_RIGHT);
    EXPECT_EQ(form->GetBoard().GetGun(), start);
    // Column 5 leads up to the cube on the target: the cube fired stops under it.
    player.Key(platform::VK_LEFT);
    const int shots = form->GetBoard().GetShotsLeft();
    player.Key(platform::VK_RETURN);
    EXPECT_EQ(form->GetBoard().GetShotsLeft(), shots - 1);
    player.Frames(40);
    EXPECT_EQ(form->GetBoard().At(5, 2).cube, 0) << "it stopped under the cube of column 5";

    // From the top of column 6 the entry cell is the wall: refused.
    // Clockwise: left along the bottom, up the left side, right along the top.
    for (int i = 0; i < 40 && !(form->GetBoard().GetGun() == GGunPosition{GSide::kTop, 6}); ++i) {
        const GSide side = form->GetBoard().GetGun().side;
        player.Key(side == GSide::kBottom ? platform::VK_LEFT
                   : side == GSide::kLeft ? platform::VK_UP
                                          : platform::VK_RIGHT);
    }
    ASSERT_EQ(form->GetBoard().GetGun(), (GGunPosition{GSide::kTop, 6}))
        << "the gun walks round the corner";
    player.Key(platform::VK_SPACE);
    EXPECT_EQ(form->GetBoard().GetShotsLeft(), shots - 1) << "a refused shot costs no cube";
    EXPECT_EQ(form->GetBoard().GetState(), GBoardState::kAiming);
}

// Level data the game cannot use: one line in the log, and the main menu again.
TEST(BoardKeys, DamagedLevelDataLeadsBackToTheMenu)
{
    GameDataFolder data("board_damaged_");
    WriteTestLevels(data);
    WriteDataFile(data.Data("LEVELS/test1.ini"), "[Cells]\nRow1=#\n");
    GGameApplication game;
    GameDriver player(game);
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    ASSERT_NE(player.WaitFor("main_menu.cfg"), nullptr);
    ASSERT_TRUE(player.Click("btnPlay"));
    ASSERT_NE(player.WaitFor("select_game.cfg"), nullptr);
    ASSERT_TRUE(player.Click("btnTimedMode"));
    EXPECT_NE(player.WaitFor("main_menu.cfg"), nullptr);
    EXPECT_EQ(game.GetGameSystem()->GetMusicManager()->GetMode(), kMusicMenu);
    game.OnExit();
    const std::string log = tolvanrise::test::ReadFileBytes(data.Data("Tolvanrise.html"));
    EXPECT_NE(log.find("test1.ini"), std::string::npos) << "the log names the damaged file";
    EXPECT_NE(log.find("Cannot start the game"), std::string::npos);
}

// The music the player hears, on SDL's disk driver: the game's track while the level is
// played, the level-end track once it is over. The sound effects are off (a saved sound
// volume of 0), so only the music is in the output.
TEST(BoardFlowAudio, TheLevelEndTrackFollowsTheGameTrackWhenTheLevelIsOver)
{
    using namespace std::chrono_literals;
    // The data tool's tones of the game and level-end tracks.
    constexpr double kGameToneHz = 330.0;
    constexpr double kLevelEndToneHz = 554.0;
    constexpr int kRate = static_cast<int>(platform::SoundDevice::kRate);
    GameDataFolder data("board_audio_");
    WriteTestLevels(data);
    ASSERT_EQ(tolvanrise::test::SaveSettings(data.ProfilesFolder(), 4000, 0, 0), 1);
    const std::string output = data.Data("board.raw");
    const tolvanrise::test::ScopedEnvVar driver("SDL_AUDIODRIVER", "disk");
    const tolvanrise::test::ScopedEnvVar file("SDL_DISKAUDIOFILE", output);
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    game.BeginRun();
    auto runFor = [&game](std::chrono::milliseconds ms) {
        for (const auto end = std::chrono::steady_clock::now() + ms;
             std::chrono::steady_clock::now() < end;)
            game.RunStep();
    };
    GameDriver player(game, [&] { runFor(10ms); });
    // A third of a second of what is played once the window has come to rest: its track was
    // asked for before then.
    auto heard = [&] {
        const size_t from =
            tolvanrise::test::FramesWritten(output) + tolvanrise::test::kUnwrittenFrames;
        EXPECT_TRUE(tolvanrise::test::StepUntilWritten(output, from + kRate / 3,
                                                       [&game] { game.RunStep(); }));
        return tolvanrise::test::Written(output, from, from + kRate / 3);
    };
    ASSERT_NE(player.WaitFor("main_menu.cfg", 1000), nullptr);
    ASSERT_TRUE(player.Click("btnPlay"));
    ASSERT_NE(player.WaitFor("select_game.cfg", 1000), nullptr);
    ASSERT_TRUE(player.Click("btnNormalMode"));
    ASSERT_NE(player.WaitFor("game_main.cfg", 1000), nullptr);
    const std::vector<double> playing = heard();
    EXPECT_NEAR(tolvanrise::test::ToneFrequency(playing, kRate), kGameToneHz, kGameToneHz * 0.02);

    player.ClickAt(GBoardView::CentreX(6), GBoardView::CentreY(GGameBoard::kSize));
    ASSERT_NE(player.WaitFor("result.cfg", 1000), nullptr);
    const std::vector<double> over = heard();
    EXPECT_GT(tolvanrise::test::ToneLevel(over), 300.0);
    EXPECT_NEAR(tolvanrise::test::ToneFrequency(over, kRate), kLevelEndToneHz,
                kLevelEndToneHz * 0.02);
    game.OnExit();
}

} // namespace
