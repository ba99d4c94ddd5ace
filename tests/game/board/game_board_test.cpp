// The rules of the board, shot by shot: where a cube comes to rest, which groups burst, which
// targets burn, repaint and bonus fire, every way a level ends, and the gun on its ring.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/board_play.h"

namespace {

using tolvanrise::test::BoardEvents;
using tolvanrise::test::DrawLevel;
using tolvanrise::test::PlayShot;
using tolvanrise::test::SeedFor;

constexpr GGunPosition kBottom6{GSide::kBottom, 6};

// A board started on the level with rules whose scores are told apart from each other.
struct Played {
    GGameBoard board;
    BoardEvents events;
    GBoardRules rules;

    Played(const GLevel& level, uint32_t seed = 1, bool timed = false,
           GBoardRules chosen = Scores())
        : rules(chosen)
    {
        board.SetListener(&events);
        EXPECT_EQ(board.Start(level, rules, timed, seed), 1) << level.name;
    }
    static GBoardRules Scores()
    {
        GBoardRules rules;
        rules.scorePerCube = 7;
        rules.targetScore = 50;
        rules.bonusScore = 77;
        return rules;
    }
};

struct SlideCase {
    const char* name;
    std::initializer_list<const char*> cells;
    std::initializer_list<const char*> cubes;
    GGunPosition gun;
    int stopX, stopY, cellsEntered;
};

TEST(GameBoard, ACubeSlidesUntilTheNextCellIsTakenOrTheBoardEnds)
{
    const SlideCase cases[] = {
        {"to the far edge", {}, {}, kBottom6, 6, 0, 13},
        {"before a wall", {"", "", "", "", "......#"}, {}, kBottom6, 6, 5, 8},
        {"before a cube", {}, {"", "", "", "", "", "", "", "", "......0"}, kBottom6, 6, 9, 4},
        {"down from the top",
         {"", "", "", "", "", "", "", "", "", "", "...#"},
         {},
         {GSide::kTop, 3},
         3,
         9,
         10},
        {"right from the left", {}, {}, {GSide::kLeft, 2}, 12, 2, 13},
        {"left from the right",
         {},
         {"", "", "", "", "", "", "", "0"},
         {GSide::kRight, 7},
         1,
         7,
         12},
        {"stuck at the entry",
         {"", "", "", "", "", "...........#"},
         {},
         {GSide::kRight, 5},
         12,
         5,
         1},
    };
    for (const SlideCase& c : cases) {
        GLevel level = DrawLevel(c.cells, c.cubes, 30, 1);
        level.cells[12 * 13 + 0] = 'T';
        Played play(level);
        const int before = play.board.GetCubeCount();
        ASSERT_GT(PlayShot(play.board, c.gun), 0) << c.name;
        EXPECT_EQ(play.events.Count(GBoardMoment::kCubeEnters), c.cellsEntered) << c.name;
        const GBoardEvent* stop = play.events.Last(GBoardMoment::kCubeStops);
        ASSERT_NE(stop, nullptr) << c.name;
        EXPECT_EQ(stop->x, c.stopX) << c.name;
        EXPECT_EQ(stop->y, c.stopY) << c.name;
        EXPECT_EQ(play.board.At(c.stopX, c.stopY).cube, 0) << c.name;
        EXPECT_EQ(play.board.GetFlyingX(), -1) << c.name;
        EXPECT_EQ(play.board.GetCubeCount(), before + 1) << c.name;
        EXPECT_EQ(play.board.GetState(), GBoardState::kAiming) << c.name;
    }
}

struct GroupCase {
    const char* name;
    std::initializer_list<const char*> cubes;
    int colours;
    int exploded;
    int cubesLeft;
};

TEST(GameBoard, SameColouredNeighboursBurstFromTheGroupSizeOn)
{
    // The fired cube (colour 0) rests at (6, 0) or on the cubes stacked below it in column 6.
    const GroupCase cases[] = {
        {"a pair stays", {"......0"}, 1, 0, 2},
        {"three in a column burst", {"......0", "......0"}, 1, 3, 0},
        {"an L of three bursts", {".....00"}, 1, 3, 0},
        {"an L hanging down the side", {".....0", ".....0"}, 1, 3, 0},
        {"diagonal cubes do not join", {"", ".....0.0"}, 1, 0, 3},
        {"another colour does not join", {"......1", "......1"}, 2, 0, 3},
        {"the shot joins two pairs", {"....00.00"}, 1, 5, 0},
    };
    for (const GroupCase& c : cases) {
        Played play(DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T"}, c.cubes, 30,
                              c.colours),
                    SeedFor({0}, c.colours));
        ASSERT_EQ(play.board.GetNextColour(), 0) << c.name;
        ASSERT_GT(PlayShot(play.board, kBottom6), 0) << c.name;
        const GBoardEvent* burst = play.events.Last(GBoardMoment::kGroupExplodes);
        EXPECT_EQ(burst ? burst->count : 0, c.exploded) << c.name;
        EXPECT_EQ(play.board.GetCubeCount(), c.cubesLeft) << c.name;
        EXPECT_EQ(play.board.GetStats().score, c.exploded * play.rules.scorePerCube) << c.name;
        EXPECT_EQ(play.board.GetStats().cubesDestroyed, c.exploded) << c.name;
        if (burst) {
            EXPECT_EQ(burst->score, c.exploded * play.rules.scorePerCube) << c.name;
        }
    }
}

TEST(GameBoard, TargetsBurnUnderBurstCubesOnceAndStayBurned)
{
    // Targets under the column-6 stack and one under a lone cube; another far away keeps the
    // level going.
    Played play(DrawLevel({"......T", "......T", "", "", "", "", "", "", "", "", "", "", "T.T"},
                          {"......0", "", "", "", "", "", "", "", "", "", "", "", "0"}, 30, 1));
    ASSERT_GT(PlayShot(play.board, kBottom6), 0); // rests on the target at (6, 1): a pair
    EXPECT_EQ(play.events.Count(GBoardMoment::kTargetBurns), 0);
    ASSERT_GT(PlayShot(play.board, kBottom6), 0); // the third: all burst
    EXPECT_EQ(play.events.Count(GBoardMoment::kTargetBurns), 2);
    EXPECT_TRUE(play.board.At(6, 0).burned);
    EXPECT_TRUE(play.board.At(6, 1).burned);
    EXPECT_FALSE(play.board.At(0, 12).burned) << "its cube never burst";
    EXPECT_EQ(play.board.GetTargetsLeft(), 2);
    EXPECT_EQ(play.board.GetStats().score,
              3 * play.rules.scorePerCube + 2 * play.rules.targetScore);

    // Cubes may rest on burned targets; bursting there again burns nothing new.
    for (int shot = 0; shot < 2; ++shot)
        ASSERT_GT(PlayShot(play.board, kBottom6), 0);
    EXPECT_EQ(play.board.At(6, 0).cube, 0);
    EXPECT_TRUE(play.board.At(6, 0).burned);
    ASSERT_GT(PlayShot(play.board, kBottom6), 0);
    EXPECT_EQ(play.events.Count(GBoardMoment::kGroupExplodes), 2);
    EXPECT_EQ(play.events.Count(GBoardMoment::kTargetBurns), 2);
    EXPECT_EQ(play.board.GetStats().targetsBurned, 2);
}

TEST(GameBoard, ARepaintCellGivesItsColourAndTheCubeGroupsByIt)
{
    struct Case {
        const char* name;
        char repaint;
        int repaints;
        int restingColour;
        int exploded;
    } cases[] = {
        {"another colour repaints", '1', 1, -1, 3},
        {"its own colour passes", '0', 0, 0, 0},
    };
    for (const Case& c : cases) {
        GLevel level =
            DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T"}, {".....1.1"}, 30, 2);
        level.cells[6 * 13 + 6] = c.repaint;
        Played play(level, SeedFor({0}, 2));
        ASSERT_GT(PlayShot(play.board, kBottom6), 0);
        EXPECT_EQ(play.events.Count(GBoardMoment::kRepaint), c.repaints) << c.name;
        if (c.repaints) {
            const GBoardEvent* repaint = play.events.Last(GBoardMoment::kRepaint);
            EXPECT_EQ(repaint->x, 6);
            EXPECT_EQ(repaint->y, 6);
            EXPECT_EQ(repaint->colour, 1);
            EXPECT_EQ(play.events.Last(GBoardMoment::kCubeStops)->colour, 1);
        }
        EXPECT_EQ(play.board.At(6, 0).cube, c.restingColour) << c.name;
        const GBoardEvent* burst = play.events.Last(GBoardMoment::kGroupExplodes);
        EXPECT_EQ(burst ? burst->count : 0, c.exploded) << c.name;
    }
}

TEST(GameBoard, ABigGroupLeavesABonusFireThatTheNextCubeThroughCollects)
{
    GBoardRules rules = Played::Scores();
    rules.bonusGroupSize = 4;
    Played play(
        DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T"}, {"....00.0"}, 30, 1), 1,
        false, rules);
    ASSERT_GT(PlayShot(play.board, kBottom6), 0);
    const GBoardEvent* appears = play.events.Last(GBoardMoment::kBonusAppears);
    ASSERT_NE(appears, nullptr);
    EXPECT_EQ(appears->x, 6);
    EXPECT_EQ(appears->y, 0);
    EXPECT_TRUE(play.board.At(6, 0).bonus);
    const int32_t scoreBefore = play.board.GetStats().score;

    ASSERT_GT(PlayShot(play.board, {GSide::kTop, 6}), 0); // enters (6, 0) first
    const GBoardEvent* collected = play.events.Last(GBoardMoment::kBonusCollected);
    ASSERT_NE(collected, nullptr);
    EXPECT_EQ(collected->x, 6);
    EXPECT_EQ(collected->y, 0);
    EXPECT_EQ(collected->score, rules.bonusScore);
    EXPECT_FALSE(play.board.At(6, 0).bonus);
    EXPECT_EQ(play.board.GetStats().bonuses, 1);
    EXPECT_EQ(play.board.GetStats().score, scoreBefore + rules.bonusScore);

    // A group below the bonus size leaves none.
    GBoardRules high = rules;
    high.bonusGroupSize = 6;
    Played small(
        DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T"}, {"....00.0"}, 30, 1), 1,
        false, high);
    ASSERT_GT(PlayShot(small.board, kBottom6), 0);
    EXPECT_EQ(small.events.Count(GBoardMoment::kGroupExplodes), 1);
    EXPECT_EQ(small.events.Count(GBoardMoment::kBonusAppears), 0);
}

struct EndCase {
    const char* name;
    GLevel level;
    bool timed;
    std::function<void(GGameBoard&)> play;
    GBoardState state;
    GLossReason reason;
};

std::vector<EndCase> EndCases()
{
    const GLevel winnable =
        DrawLevel({"......T", "", "", "", "", "", "", "", "", "", "", "", "T"},
                  {"......0", "......0", "", "", "", "", "", "", "", "", "", "", "0"}, 30, 1);
    GLevel closed = DrawLevel({});
    closed.cells.fill('#');
    closed.cells[12 * 13 + 6] = '.';
    closed.cells[6 * 13 + 6] = 'T';
    GLevel oneShot = winnable;
    oneShot.shots = 1;
    GLevel tenSeconds = winnable;
    tenSeconds.seconds = 10;
    GLevel burnsLast = winnable;
    burnsLast.cells[12 * 13] = '.';
    burnsLast.seconds = 10;
    auto shoot = [](GGunPosition gun) {
        return [gun](GGameBoard& board) { PlayShot(board, gun); };
    };
    auto outOfTimeInFlight = [](GGameBoard& board) {
        board.Fire();
        board.AdvanceTime(10000);
        EXPECT_EQ(board.GetState(), GBoardState::kFlying) << "the shot plays out";
        while (board.Step()) {
        }
    };
    return {
        {"the last target burns", burnsLast, false, shoot(kBottom6), GBoardState::kWon,
         GLossReason::kNone},
        {"the shots run out", oneShot, false, shoot({GSide::kTop, 2}), GBoardState::kLost,
         GLossReason::kNoMoves},
        {"no entry cell is free", closed, false, shoot(kBottom6), GBoardState::kLost,
         GLossReason::kFieldFull},
        {"the time runs out while aiming", tenSeconds, true,
         [](GGameBoard& board) { board.AdvanceTime(10000); }, GBoardState::kLost,
         GLossReason::kTimeOut},
        {"the time runs out in flight", tenSeconds, true,
         [](GGameBoard& board) {
             board.Aim({GSide::kTop, 2});
             board.Fire();
             board.AdvanceTime(10000);
             EXPECT_EQ(board.GetState(), GBoardState::kFlying) << "the shot plays out";
             while (board.Step()) {
             }
         },
         GBoardState::kLost, GLossReason::kTimeOut},
        {"the last shot in flight still wins", burnsLast, true, outOfTimeInFlight,
         GBoardState::kWon, GLossReason::kNone},
    };
}

TEST(GameBoard, ALevelIsWonWhenNoTargetIsLeftAndLostInEachOtherWay)
{
    for (const EndCase& c : EndCases()) {
        Played play(c.level, 1, c.timed);
        c.play(play.board);
        EXPECT_EQ(play.board.GetState(), c.state) << c.name;
        EXPECT_EQ(play.board.GetLossReason(), c.reason) << c.name;
        const GBoardMoment end =
            c.state == GBoardState::kWon ? GBoardMoment::kLevelWon : GBoardMoment::kLevelLost;
        ASSERT_FALSE(play.events.events.empty()) << c.name;
        EXPECT_EQ(play.events.events.back().moment, end) << c.name;
        EXPECT_EQ(play.events.Count(end), 1) << c.name;

        // Over is over: nothing fires, flies, moves or counts any more.
        const size_t told = play.events.events.size();
        const GBoardStats stats = play.board.GetStats();
        EXPECT_EQ(play.board.Fire(), 0) << c.name;
        EXPECT_EQ(play.board.Step(), 0) << c.name;
        EXPECT_EQ(play.board.Aim({GSide::kTop, 0}), 0) << c.name;
        play.board.AdvanceTime(5000);
        EXPECT_EQ(play.events.events.size(), told) << c.name;
        EXPECT_EQ(play.board.GetStats().timeMs, stats.timeMs) << c.name;
    }
}

TEST(GameBoard, TheTimeWarningComesOnceAsTheWarningTimeIsReached)
{
    GBoardRules rules = Played::Scores();
    rules.timeWarnSeconds = 5;
    GLevel level = DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T"}, {}, 30, 1);
    level.seconds = 12;
    Played play(level, 1, true, rules);
    EXPECT_EQ(play.board.GetTimeLeftMs(), 12000);
    play.board.AdvanceTime(6000);
    EXPECT_EQ(play.events.Count(GBoardMoment::kTimeWarning), 0) << "6 s left";
    play.board.AdvanceTime(1000);
    EXPECT_EQ(play.events.Count(GBoardMoment::kTimeWarning), 1) << "5 s left";
    play.board.AdvanceTime(1000);
    play.board.AdvanceTime(-500);
    EXPECT_EQ(play.events.Count(GBoardMoment::kTimeWarning), 1);
    EXPECT_EQ(play.board.GetTimeLeftMs(), 4000);
    EXPECT_EQ(play.board.GetStats().timeMs, 8000);

    // The rules' time when the level names none; a level that is not timed only counts.
    level.seconds = 0;
    Played ruled(level, 1, true, rules);
    EXPECT_EQ(ruled.board.GetTimeLeftMs(), rules.timedSeconds * 1000);
    Played untimed(level, 1, false, rules);
    untimed.board.AdvanceTime(1000000);
    EXPECT_EQ(untimed.board.GetState(), GBoardState::kAiming);
    EXPECT_EQ(untimed.board.GetStats().timeMs, 1000000);
    EXPECT_EQ(untimed.events.events.size(), 0u);
}

TEST(GameBoard, AShotIntoATakenEntryCellIsRefusedAndNotCounted)
{
    GLevel level = DrawLevel({"", "", "", "", "", "", "", "", "", "", "", "", "T..#"},
                             {"", "", "", "", "", "", "", "", "", "", "", "", "......1"}, 30, 2);
    for (GGunPosition gun : {kBottom6, GGunPosition{GSide::kBottom, 3}}) {
        Played play(level);
        const int next = play.board.GetNextColour();
        ASSERT_EQ(play.board.Aim(gun), 1);
        EXPECT_EQ(play.board.Fire(), 0);
        ASSERT_EQ(play.events.events.size(), 1u);
        EXPECT_EQ(play.events.events[0].moment, GBoardMoment::kShotRefused);
        EXPECT_EQ(play.events.events[0].x, gun.line);
        EXPECT_EQ(play.events.events[0].y, 12);
        EXPECT_EQ(play.board.GetStats().shots, 0);
        EXPECT_EQ(play.board.GetShotsLeft(), 30);
        EXPECT_EQ(play.board.GetNextColour(), next) << "the cube stays in the gun";
        EXPECT_EQ(play.board.GetState(), GBoardState::kAiming);
    }
}

TEST(GameBoard, TheGunWalksTheRingAroundItsCorners)
{
    struct Move {
        GGunPosition from;
        int dx, dy;
        GGunPosition to;
    } moves[] = {
        {{GSide::kBottom, 6}, 1, 0, {GSide::kBottom, 7}},
        {{GSide::kBottom, 6}, 0, 1, {GSide::kBottom, 6}}, // the other axis is ignored
        {{GSide::kBottom, 12}, 1, 0, {GSide::kRight, 12}},
        {{GSide::kRight, 0}, 0, -1, {GSide::kTop, 12}},
        {{GSide::kTop, 0}, -1, 0, {GSide::kLeft, 0}},
        {{GSide::kLeft, 12}, 0, 1, {GSide::kBottom, 0}},
        {{GSide::kBottom, 0}, -1, 0, {GSide::kLeft, 12}},
        {{GSide::kTop, 11}, 3, 0, {GSide::kRight, 1}},
        {{GSide::kLeft, 5}, 0, -2, {GSide::kLeft, 3}},
    };
    Played play(DrawLevel({"T"}));
    for (const Move& m : moves) {
        ASSERT_EQ(play.board.Aim(m.from), 1);
        play.board.MoveGun(m.dx, m.dy);
        EXPECT_EQ(play.board.GetGun(), m.to)
            << int(m.from.side) << "/" << int(m.from.line) << " by " << m.dx << "," << m.dy;
    }
    // 52 steps one way bring the gun back through every place once.
    play.board.Aim(kBottom6);
    std::vector<GGunPosition> seen;
    for (int i = 0; i < 52; ++i) {
        const GGunPosition gun = play.board.GetGun();
        const bool horizontal = gun.side == GSide::kTop || gun.side == GSide::kBottom;
        const int way = gun.side == GSide::kTop || gun.side == GSide::kRight ? 1 : -1;
        play.board.MoveGun(horizontal ? way : 0, horizontal ? 0 : way);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), play.board.GetGun()), 0);
        seen.push_back(play.board.GetGun());
    }
    EXPECT_EQ(play.board.GetGun(), kBottom6);
    EXPECT_EQ(play.board.Aim({GSide::kTop, 13}), 0);
    EXPECT_EQ(play.board.Aim({GSide::kTop, -1}), 0);
    EXPECT_EQ(play.board.GetGun(), kBottom6);
}

TEST(GameBoard, TheGunPointsAtTheCellUnderTheMouse)
{
    const GGunPosition left5{GSide::kLeft, 5};
    struct Case {
        int x, y;
        GGunPosition current, expected;
    } cases[] = {
        {4, -1, kBottom6, {GSide::kTop, 4}},
        {4, 13, left5, {GSide::kBottom, 4}},
        {-1, 9, kBottom6, {GSide::kLeft, 9}},
        {13, 0, kBottom6, {GSide::kRight, 0}},
        {-1, -1, left5, left5},
        {13, 13, kBottom6, kBottom6},
        {3, 8, kBottom6, {GSide::kBottom, 3}},
        {3, 8, left5, {GSide::kLeft, 8}},
        {12, 12, {GSide::kTop, 0}, {GSide::kTop, 12}},
    };
    for (const Case& c : cases) {
        const GGunPosition got = GGameBoard::GunForCell(c.x, c.y, c.current);
        EXPECT_EQ(got, c.expected) << c.x << "," << c.y;
    }
}

TEST(GameBoard, OneScriptedShotTellsEveryMomentInOrder)
{
    GBoardRules rules;
    rules.scorePerCube = 10;
    rules.targetScore = 50;
    rules.bonusGroupSize = 3;
    // From the left along row 4: a repaint cell of colour 1 at (3, 4), then a cube of colour 1 at
    // (9, 4) stops the shot on the target (8, 4), under the target (8, 3) with its cube.
    GLevel level = DrawLevel({"", "", "", "........T", "...1....T"},
                             {"", "", "", "........1", ".........1"}, 30, 2);
    Played play(level, SeedFor({0}, 2), false, rules);
    ASSERT_EQ(PlayShot(play.board, {GSide::kLeft, 4}), 9);
    using M = GBoardMoment;
    struct Told {
        M moment;
        int x, y, colour, count, score;
    };
    std::vector<Told> expected = {{M::kShot, 0, 4, 0, 0, 0}};
    for (int x = 0; x <= 8; ++x) {
        expected.push_back({M::kCubeEnters, x, 4, x <= 3 ? 0 : 1, 0, 0});
        if (x == 3)
            expected.push_back({M::kRepaint, 3, 4, 1, 0, 0});
    }
    const std::vector<Told> end = {
        {M::kCubeStops, 8, 4, 1, 0, 0},    {M::kGroupExplodes, 8, 4, 1, 3, 30},
        {M::kTargetBurns, 8, 3, 1, 0, 50}, {M::kTargetBurns, 8, 4, 1, 0, 50},
        {M::kBonusAppears, 8, 4, 1, 0, 0}, {M::kLevelWon, -1, -1, -1, 0, 0},
    };
    expected.insert(expected.end(), end.begin(), end.end());
    ASSERT_EQ(play.events.events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const GBoardEvent& got = play.events.events[i];
        const Told& want = expected[i];
        EXPECT_EQ(got.moment, want.moment) << "moment " << i;
        EXPECT_EQ(got.x, want.x) << "moment " << i;
        EXPECT_EQ(got.y, want.y) << "moment " << i;
        EXPECT_EQ(got.colour, want.colour) << "moment " << i;
        EXPECT_EQ(got.count, want.count) << "moment " << i;
        EXPECT_EQ(got.score, want.score) << "moment " << i;
    }
    EXPECT_EQ(play.board.GetStats().score, 130);
    EXPECT_EQ(play.board.GetStats().groups, 1);
    EXPECT_EQ(play.board.GetStats().shots, 1);
}

// The level readers' suite tries every kind of bad layout; here Start holds a level to the same.
TEST(GameBoard, StartRefusesALevelThatCannotBePlayedAndKeepsTheGameItHad)
{
    const GLevel good = DrawLevel({"T"}, {"0"}, 20, 2);
    auto changed = [&](auto change) {
        GLevel level = good;
        change(level);
        return level;
    };
    GLevel walled = DrawLevel({}, {}, 20, 2);
    walled.cells.fill('#');
    walled.cells[6 * 13 + 6] = 'T';
    const std::pair<const char*, GLevel> bad[] = {
        {"no colours", changed([](GLevel& l) { l.colours = 0; })},
        {"a cube colour past the count", changed([](GLevel& l) { l.cubes[40] = '3'; })},
        {"no target", changed([](GLevel& l) { l.cells[0] = '.'; })},
        {"no shots", changed([](GLevel& l) { l.shots = 0; })},
        {"no free entry cell", walled},
    };
    Played play(good);
    ASSERT_GT(PlayShot(play.board, kBottom6), 0);
    const GBoardStats before = play.board.GetStats();
    for (const auto& [name, level] : bad) {
        EXPECT_EQ(play.board.Start(level, play.rules, false, 1), 0) << name;
        EXPECT_EQ(play.board.GetStats().shots, before.shots) << name;
        EXPECT_EQ(play.board.GetCubeCount(), 2) << name;
    }
    GBoardRules loose = play.rules;
    loose.groupSize = 1;
    EXPECT_EQ(play.board.Start(good, loose, false, 1), 0) << "a group of one";

    GGameBoard fresh;
    EXPECT_EQ(fresh.GetState(), GBoardState::kLost) << "nothing to play before Start";
    EXPECT_EQ(fresh.Fire(), 0);
}

TEST(GameBoard, AStartBeginsAfreshWithTheColoursOfItsSeed)
{
    const GLevel level = DrawLevel({"T"}, {}, 20, 3);
    const uint32_t seed = SeedFor({2, 1}, 3);
    Played play(level, seed);
    EXPECT_EQ(play.board.GetNextColour(), 2);
    ASSERT_EQ(play.board.Fire(), 1);
    EXPECT_EQ(play.board.GetNextColour(), 1);
    // Started again with a cube in flight: nothing flies, nothing was fired, the same colours.
    ASSERT_EQ(play.board.Start(level, play.rules, false, seed), 1);
    EXPECT_EQ(play.board.GetFlyingX(), -1);
    EXPECT_EQ(play.board.GetFlyingColour(), -1);
    EXPECT_EQ(play.board.Step(), 0);
    EXPECT_EQ(play.board.GetState(), GBoardState::kAiming);
    EXPECT_EQ(play.board.GetStats().shots, 0);
    EXPECT_EQ(play.board.GetNextColour(), 2);
}

} // namespace
