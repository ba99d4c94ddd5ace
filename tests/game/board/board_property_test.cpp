// Every level the build ships, played many times: by a random player, who must never bring the
// board into a state its own moments and statistics do not account for and always reach the
// level's end, and by a player looking one shot ahead, who shows that each level can be won.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "game/board/level_data.h"
#include "support/board_play.h"

namespace {

using tolvanrise::test::BoardEvents;
using tolvanrise::test::LookAheadShot;
using tolvanrise::test::PlayShot;

const std::string kLevels = std::string(TOLVANRISE_DATA_DIR) + "/LEVELS";

struct Shipped {
    std::vector<GLevel> levels;
    GBoardRules rules;
};

const Shipped& ShippedLevels()
{
    static const Shipped shipped = [] {
        Shipped made;
        const auto list = LoadLevelList(nullptr, kLevels);
        EXPECT_TRUE(list.Ok()) << list.error;
        for (const GLevelInfo& info : list.value) {
            const auto level = LoadLevel(info, nullptr, kLevels);
            EXPECT_TRUE(level.Ok()) << level.error;
            made.levels.push_back(level.value);
        }
        const auto rules = LoadBoardRules(nullptr, kLevels);
        EXPECT_TRUE(rules.Ok() && rules.value.refused.empty()) << rules.error;
        made.rules = rules.value.rules;
        return made;
    }();
    return shipped;
}

// What the moments told, added up, against what the board shows.
struct Ledger : BoardEvents {
    int fired = 0;
    int exploded = 0;
    int groups = 0;
    int burned = 0;
    int bonuses = 0;
    int64_t score = 0;
    int lastX = -1, lastY = -1;
    bool flightBroken = false;

    void OnBoardEvent(const GBoardEvent& event) override
    {
        score += event.score;
        switch (event.moment) {
        case GBoardMoment::kShot:
            ++fired;
            lastX = -2;
            break;
        case GBoardMoment::kCubeEnters:
            // The first cell is the entry cell, every later one the neighbour of the one before.
            if (lastX != -2 && std::abs(event.x - lastX) + std::abs(event.y - lastY) != 1)
                flightBroken = true;
            lastX = event.x;
            lastY = event.y;
            break;
        case GBoardMoment::kGroupExplodes:
            exploded += event.count;
            ++groups;
            break;
        case GBoardMoment::kTargetBurns:
            ++burned;
            break;
        case GBoardMoment::kBonusCollected:
            ++bonuses;
            break;
        default:
            break;
        }
        BoardEvents::OnBoardEvent(event);
    }
};

void ExpectAccountedFor(const GGameBoard& board, const Ledger& ledger, int startCubes,
                        const GLevel& level, std::vector<bool>& burnedBefore,
                        const std::string& where)
{
    const GBoardStats& stats = board.GetStats();
    const int flying = board.GetFlyingX() >= 0 ? 1 : 0;
    ASSERT_EQ(board.GetCubeCount() + flying, startCubes + ledger.fired - ledger.exploded) << where;
    ASSERT_EQ(stats.shots, ledger.fired) << where;
    ASSERT_EQ(board.GetShotsLeft(), level.shots - ledger.fired) << where;
    ASSERT_EQ(stats.cubesDestroyed, ledger.exploded) << where;
    ASSERT_EQ(stats.groups, ledger.groups) << where;
    ASSERT_EQ(stats.bonuses, ledger.bonuses) << where;
    ASSERT_EQ(stats.score, ledger.score) << where;
    ASSERT_FALSE(ledger.flightBroken) << where;
    int burned = 0;
    for (int i = 0; i < GLevel::kCells; ++i) {
        const GCell& cell = board.At(i % GGameBoard::kSize, i / GGameBoard::kSize);
        ASSERT_FALSE(burnedBefore[static_cast<size_t>(i)] && !cell.burned)
            << where << ": a target un-burned";
        ASSERT_FALSE(cell.burned && cell.kind != GCellKind::kTarget) << where;
        ASSERT_FALSE(cell.cube >= 0 && cell.kind == GCellKind::kWall) << where;
        ASSERT_LT(cell.cube, level.colours) << where;
        burnedBefore[static_cast<size_t>(i)] = cell.burned;
        burned += cell.burned ? 1 : 0;
    }
    ASSERT_EQ(burned, ledger.burned) << where;
    ASSERT_EQ(stats.targetsBurned, burned) << where;
    ASSERT_EQ(board.GetTargetsLeft(), stats.targetsTotal - burned) << where;
}

// One random game: aims by every way the screens have, fires, steps, and in a timed game lets
// time pass between the calls. 1 won, 0 lost.
int PlayRandomly(const GLevel& level, const GBoardRules& rules, uint32_t seed, bool timed)
{
    std::mt19937 random(seed);
    GGameBoard board;
    Ledger ledger;
    board.SetListener(&ledger);
    EXPECT_EQ(board.Start(level, rules, timed, seed), 1);
    const int startCubes = board.GetCubeCount();
    std::vector<bool> burned(GLevel::kCells, false);
    const std::string where =
        level.name + " seed " + std::to_string(seed) + (timed ? " timed" : "");
    // Each shot either fires (and uses one of the shots) or is refused; a refused one moves the
    // gun on, and some of the 52 places are free while aiming. So the game ends within this.
    int calls = 0;
    const int bound = level.shots * 4 * 52 * (GGameBoard::kSize + 2);
    while (board.GetState() == GBoardState::kAiming || board.GetState() == GBoardState::kFlying) {
        if (++calls > bound) {
            ADD_FAILURE() << where << ": no end after " << bound << " calls";
            return 0;
        }
        switch (random() % 6) {
        case 0:
            board.MoveGun(static_cast<int>(random() % 5) - 2, static_cast<int>(random() % 5) - 2);
            break;
        case 1:
            board.Aim(tolvanrise::test::EveryGunPosition()[random() % 52]);
            break;
        case 2:
            board.Aim(GGameBoard::GunForCell(static_cast<int>(random() % 15) - 1,
                                             static_cast<int>(random() % 15) - 1, board.GetGun()));
            break;
        case 3:
            board.AdvanceTime(timed ? static_cast<int>(random() % 400) : 16);
            break;
        default:
            if (!board.Fire())
                board.Step();
            break;
        }
        if (board.GetFlyingX() >= 0) {
            EXPECT_TRUE(board.GetFlyingX() < GGameBoard::kSize && board.GetFlyingY() >= 0 &&
                        board.GetFlyingY() < GGameBoard::kSize)
                << where;
        }
        ExpectAccountedFor(board, ledger, startCubes, level, burned, where);
        if (testing::Test::HasFatalFailure())
            return 0;
    }
    EXPECT_EQ(ledger.events.back().moment, board.GetState() == GBoardState::kWon
                                               ? GBoardMoment::kLevelWon
                                               : GBoardMoment::kLevelLost)
        << where;
    EXPECT_EQ(board.GetState() == GBoardState::kLost, board.GetLossReason() != GLossReason::kNone)
        << where;
    return board.GetState() == GBoardState::kWon ? 1 : 0;
}

TEST(BoardProperty, RandomPlayOnEveryShippedLevelStaysAccountedForAndEnds)
{
    const Shipped& shipped = ShippedLevels();
    ASSERT_GE(shipped.levels.size(), 3u);
    for (const GLevel& level : shipped.levels) {
        for (uint32_t seed = 1; seed <= 30; ++seed) {
            PlayRandomly(level, shipped.rules, seed * 7919u, seed % 2 == 0);
            if (HasFatalFailure())
                return;
        }
    }
}

// 1 won, 0 lost; shots counts the shots the game took.
int PlayAhead(const GLevel& level, const GBoardRules& rules, uint32_t seed, int& shots)
{
    GGameBoard board;
    EXPECT_EQ(board.Start(level, rules, false, seed), 1);
    while (board.GetState() == GBoardState::kAiming)
        PlayShot(board, LookAheadShot(board));
    shots = board.GetStats().shots;
    return board.GetState() == GBoardState::kWon ? 1 : 0;
}

TEST(BoardProperty, EveryShippedLevelCanBeWonAndTheFirstIsEasy)
{
    const Shipped& shipped = ShippedLevels();
    constexpr uint32_t kSeeds = 16;
    std::vector<int> wins;
    for (const GLevel& level : shipped.levels) {
        int won = 0;
        int shotsInAll = 0;
        int mostShots = 0;
        for (uint32_t seed = 1; seed <= kSeeds; ++seed) {
            int shots = 0;
            won += PlayAhead(level, shipped.rules, seed, shots);
            shotsInAll += shots;
            mostShots = std::max(mostShots, shots);
        }
        wins.push_back(won);
        std::printf("%-14s shots %3d colours %d: won %2d of %u looking one shot ahead, in %.1f "
                    "shots (at most %d)\n",
                    level.name.c_str(), level.shots, level.colours, won, kSeeds,
                    static_cast<double>(shotsInAll) / kSeeds, mostShots);
        EXPECT_GT(won, 0) << level.name << " was never won";
    }
    ASSERT_FALSE(wins.empty());
    EXPECT_EQ(wins.front(), static_cast<int>(kSeeds))
        << "the first level is won whatever the colours";
}

} // namespace
