// The end of a level and of a game as a player reaches them: the panel beside the board and the
// result window tell the level's numbers; the last level won and Continue pressed, the score
// enters the top scores, which are kept on disk at once, and the main menu comes back; a level
// lost is played again from its start without its score.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/profiles/player_profiles.h"
#include "platform/window/messages.h"
#include "screens/board_view.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/game_main_form.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/one_shot_level.h"

namespace {

using tolvanrise::test::GameDataFolder;
using tolvanrise::test::GameDriver;
using tolvanrise::test::kOneShotLevelFile;
using tolvanrise::test::WriteDataFile;

GGameMainForm* MainForm(GGameApplication& game)
{
    return dynamic_cast<GGameMainForm*>(game.GetTopForm());
}

class GameOver : public testing::Test {
protected:
    // Two levels of one shot each; the second has a second target no shot reaches when
    // twoTargets, so that it is lost with a score.
    void Open(bool twoTargets, const char* mode = "btnNormalMode")
    {
        WriteDataFile(data.Data("LEVELS/levellist.csv"),
                      "Name;File;Shots;Colours;Seconds\nFirst;a.ini;1;1;60\nLast;b.ini;1;1;60\n");
        WriteDataFile(data.Data("LEVELS/a.ini"), kOneShotLevelFile);
        std::string second = kOneShotLevelFile;
        if (twoTargets)
            second.replace(second.find("Row13=.............\n"), 20, "Row13=............T\n");
        WriteDataFile(data.Data("LEVELS/b.ini"), second);
        ASSERT_TRUE(tolvanrise::test::OpenGame(game));
        ASSERT_NE(player.WaitFor("main_menu.cfg"), nullptr);
        ASSERT_TRUE(player.Click("btnPlay"));
        ASSERT_NE(player.WaitFor("select_game.cfg"), nullptr);
        ASSERT_TRUE(player.Click(mode));
        ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
        system = game.GetGameSystem();
    }
    // Fires up the column and waits for the result window; the board's state then.
    GBoardState Shoot(int column)
    {
        GGameMainForm* form = MainForm(game);
        if (!form)
            return GBoardState::kLost;
        player.ClickAt(GBoardView::CentreX(column), GBoardView::CentreY(GGameBoard::kSize));
        for (int i = 0; i < 300 && !player.Window("result.cfg"); ++i)
            player.Frames(1);
        EXPECT_NE(player.Window("result.cfg"), nullptr);
        return form->GetBoard().GetState();
    }

    void PlayFirstLevel(bool timed);
    // The text of a label of the top window ("-" when there is none), and whether it shows.
    std::string Label(const char* name) const
    {
        const GBaseControl* label =
            game.GetTopForm() ? static_cast<GDialog*>(game.GetTopForm())->FindControl(name)
                              : nullptr;
        return label ? label->GetText().GetNarrow() : "-";
    }
    bool Shown(const char* name) const
    {
        const GBaseControl* label = static_cast<GDialog*>(game.GetTopForm())->FindControl(name);
        return label && label->IsVisible();
    }

    GameDataFolder data{"game_over_"};
    GGameApplication game;
    GameDriver player{game};
    GGameGuiSystem* system = nullptr;
};

TEST_F(GameOver, TheLastLevelWonEntersTheScoreKeepsItAndOpensTheMenu)
{
    ASSERT_NO_FATAL_FAILURE(Open(false));
    ASSERT_EQ(Shoot(6), GBoardState::kWon);
    const int32_t first = system->GetMainForm()->GetBoard().GetStats().score;
    EXPECT_GT(first, 0);
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    EXPECT_EQ(system->GetProgress().level, 1);
    EXPECT_EQ(system->GetProgress().score, first);
    ASSERT_EQ(Shoot(6), GBoardState::kWon);
    const int32_t total = first + system->GetMainForm()->GetBoard().GetStats().score;
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("main_menu.cfg"), nullptr) << "the game is over: the menu again";
    EXPECT_EQ(system->GetMainForm(), nullptr);
    ASSERT_NE(system->GetTopScores(), nullptr);
    const auto& entries = system->GetTopScores()->Entries();
    EXPECT_EQ(entries[0].score, total);
    EXPECT_STREQ(entries[0].name, GGameGuiSystem::kPlayerName);
    // Kept on disk at once, as the next start reads it.
    GTopScoreTable read(data.ProfilesFolder());
    ASSERT_EQ(read.Load(), 1);
    EXPECT_EQ(read.Entries()[0].score, total);
}

TEST_F(GameOver, ALostLevelIsPlayedAgainFromItsStartWithoutItsScore)
{
    ASSERT_NO_FATAL_FAILURE(Open(true));
    ASSERT_EQ(Shoot(6), GBoardState::kWon);
    const int32_t first = system->GetMainForm()->GetBoard().GetStats().score;
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    ASSERT_EQ(Shoot(6), GBoardState::kLost) << "one target of two burned";
    EXPECT_GT(system->GetMainForm()->GetBoard().GetStats().score, 0);
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    GGameMainForm* form = MainForm(game);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(system->GetProgress().level, 1) << "the same level again";
    EXPECT_EQ(system->GetProgress().score, first) << "without the lost level's score";
    EXPECT_EQ(form->GetBoard().GetState(), GBoardState::kAiming);
    EXPECT_EQ(form->GetBoard().GetShotsLeft(), 1);
    EXPECT_EQ(form->GetBoard().GetCubeCount(), 2) << "the level as it began";
    EXPECT_EQ(form->GetBoard().GetTargetsLeft(), 2);
}

// The panel counts the score up a frame at a time to the board's and shows the targets and shots
// left, and in a timed game the whole seconds begun; the result window then tells the level's
// numbers, and the next level's panel its number and the score so far.
void GameOver::PlayFirstLevel(bool timed)
{
    ASSERT_NO_FATAL_FAILURE(Open(true, timed ? "btnTimedMode" : "btnNormalMode"));
    const GGameBoard& board = system->GetMainForm()->GetBoard();
    EXPECT_EQ(Label("lblLevel"), "1");
    EXPECT_EQ(Label("lblScore"), "0");
    EXPECT_EQ(Label("lblTargets"), "1");
    EXPECT_EQ(Label("lblShots"), "1");
    EXPECT_EQ(Shown("lblTime"), timed);
    EXPECT_EQ(Shown("capTime"), timed);
    for (int i = 0; timed && i < 60; ++i) {
        // The level's 60 s: a second begun is shown whole.
        ASSERT_EQ(Label("lblTime"), std::to_string((board.GetTimeLeftMs() + 999) / 1000));
        ASSERT_GE(board.GetTimeLeftMs(), 60000 - 30 * (i + 60));
        player.Frames(1);
    }
    player.ClickAt(GBoardView::CentreX(6), GBoardView::CentreY(GGameBoard::kSize));
    int shown = 0, counts = 0;
    for (int i = 0; i < 300 && !player.Window("result.cfg"); ++i) {
        if (static_cast<GGameWindow*>(game.GetTopForm())->GetFileName() == "game_main.cfg") {
            const int now = std::stoi(Label("lblScore"));
            EXPECT_GE(now, shown) << "the score only counts up";
            EXPECT_LE(now - shown, 25) << "a little a frame";
            counts += now > shown;
            shown = now;
        }
        player.Frames(1);
    }
    ASSERT_NE(player.Window("result.cfg"), nullptr);
    const GBoardStats& stats = board.GetStats();
    EXPECT_EQ(shown, stats.score) << "the panel reached the board's score before the result";
    EXPECT_GT(counts, 1) << "counted, not jumped";
    EXPECT_EQ(Label("lblScore"), std::to_string(stats.score));
    EXPECT_EQ(Label("lblShots"), "1");
    EXPECT_EQ(Label("lblGroups"), "1");
    EXPECT_EQ(Label("lblTargets"), "1");
    EXPECT_EQ(Label("lblTime"), std::to_string(stats.timeMs / 1000));
    EXPECT_NE(Label("lblOutcome"), "");
    ASSERT_TRUE(player.Click("btnContinue"));
    ASSERT_NE(player.WaitFor("game_main.cfg"), nullptr);
    EXPECT_EQ(Label("lblLevel"), "2");
    EXPECT_EQ(Label("lblScore"), std::to_string(system->GetProgress().score));
    EXPECT_EQ(system->GetProgress().score, shown);
    EXPECT_EQ(Label("lblTargets"), "2");
}

TEST_F(GameOver, ThePanelAndTheResultTellTheLevelsNumbers)
{
    PlayFirstLevel(false);
}

TEST_F(GameOver, ATimedGamesPanelCountsTheSecondsDown)
{
    PlayFirstLevel(true);
}

} // namespace
