// The board against a second, plainly written model of its rules: random levels, rules and
// seeds, played by random calls of every kind (wild aims and gun moves, fires and steps out of
// turn, time of every size, a new start in the middle of a shot). After each call both must have
// told the same moments and show the same board, gun, flight, shots, time and statistics.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/board_play.h"
#include "support/random_levels.h"

namespace {

using tolvanrise::test::BoardEvents;
using tolvanrise::test::RandomLevel;
using tolvanrise::test::RandomRules;

constexpr int N = GGameBoard::kSize;

// The ring walked clockwise: the top from the left, the right side downward, the bottom from
// the right, the left side upward.
std::vector<GGunPosition> ClockwiseRing()
{
    std::vector<GGunPosition> ring;
    for (int i = 0; i < N; ++i)
        ring.push_back({GSide::kTop, static_cast<int8_t>(i)});
    for (int i = 0; i < N; ++i)
        ring.push_back({GSide::kRight, static_cast<int8_t>(i)});
    for (int i = N - 1; i >= 0; --i)
        ring.push_back({GSide::kBottom, static_cast<int8_t>(i)});
    for (int i = N - 1; i >= 0; --i)
        ring.push_back({GSide::kLeft, static_cast<int8_t>(i)});
    return ring;
}

struct Model {
    GCell cells[N][N]; // [y][x]
    GBoardRules rules;
    GRandom random{0u};
    GBoardStats stats;
    GGunPosition gun;
    GBoardState state = GBoardState::kLost;
    GLossReason reason = GLossReason::kNone;
    bool timed = false, warned = false;
    int colours = 0, next = -1, shots = 0, timeLeft = 0;
    int flyX = -1, flyY = -1, flyColour = -1, dx = 0, dy = 0;
    std::vector<GBoardEvent> told;

    void Tell(GBoardMoment m, int x = -1, int y = -1, int colour = -1, int count = 0, int score = 0)
    {
        GBoardEvent e{m};
        e.x = static_cast<int8_t>(x), e.y = static_cast<int8_t>(y);
        e.colour = static_cast<int8_t>(colour), e.count = static_cast<int16_t>(count);
        e.score = score;
        told.push_back(e);
    }
    int Draw() { return random.Range(0, static_cast<int16_t>(colours - 1)); }

    void Start(const GLevel& level, const GBoardRules& r, bool t, uint32_t seed)
    {
        *this = Model{};
        rules = r, timed = t, colours = level.colours, shots = level.shots;
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x) {
                const char c = level.cells[static_cast<size_t>(y * N + x)];
                const char q = level.cubes[static_cast<size_t>(y * N + x)];
                GCell& cell = cells[y][x];
                cell.kind = c == '#'   ? GCellKind::kWall
                            : c == 'T' ? GCellKind::kTarget
                            : c == '.' ? GCellKind::kFloor
                                       : GCellKind::kRepaint;
                cell.repaintColour = static_cast<int8_t>(c >= '0' && c <= '3' ? c - '0' : -1);
                cell.cube = static_cast<int8_t>(q == '.' ? -1 : q - '0');
                stats.targetsTotal += cell.kind == GCellKind::kTarget;
            }
        state = GBoardState::kAiming;
        timeLeft = timed ? 1000 * (level.seconds ? level.seconds : r.timedSeconds) : 0;
        random.SetSeed(seed);
        next = Draw();
    }
    static void Entry(GGunPosition g, int& x, int& y, int& sx, int& sy)
    {
        const int l = g.line;
        switch (g.side) {
        case GSide::kTop:
            x = l, y = 0, sx = 0, sy = 1;
            break;
        case GSide::kBottom:
            x = l, y = N - 1, sx = 0, sy = -1;
            break;
        case GSide::kLeft:
            x = 0, y = l, sx = 1, sy = 0;
            break;
        default:
            x = N - 1, y = l, sx = -1, sy = 0;
            break;
        }
    }
    bool Free(int x, int y) const
    {
        return cells[y][x].kind != GCellKind::kWall && cells[y][x].cube < 0;
    }
    int Aim(GGunPosition g)
    {
        if (state != GBoardState::kAiming || static_cast<int>(g.side) > 3 || g.line < 0 ||
            g.line >= N)
            return 0;
        gun = g;
        return 1;
    }
    void MoveGun(int mx, int my)
    {
        if (state != GBoardState::kAiming)
            return;
        const std::vector<GGunPosition> ring = ClockwiseRing();
        const long at = std::find(ring.begin(), ring.end(), gun) - ring.begin();
        const bool across = gun.side == GSide::kTop || gun.side == GSide::kBottom;
        const bool against = gun.side == GSide::kBottom || gun.side == GSide::kLeft;
        const long move = (against ? -1L : 1L) * (across ? mx : my);
        gun = ring[static_cast<size_t>(((at + move) % 52 + 52) % 52)];
    }
    void Enter(int x, int y)
    {
        Tell(GBoardMoment::kCubeEnters, x, y, flyColour);
        GCell& cell = cells[y][x];
        if (cell.kind == GCellKind::kRepaint && cell.repaintColour != flyColour) {
            flyColour = cell.repaintColour;
            Tell(GBoardMoment::kRepaint, x, y, flyColour);
        }
        if (cell.bonus) {
            cell.bonus = false;
            ++stats.bonuses, stats.score += rules.bonusScore;
            Tell(GBoardMoment::kBonusCollected, x, y, flyColour, 0, rules.bonusScore);
        }
    }
    int Fire()
    {
        if (state != GBoardState::kAiming)
            return 0;
        int x, y;
        Entry(gun, x, y, dx, dy);
        if (!Free(x, y)) {
            Tell(GBoardMoment::kShotRefused, x, y, next);
            return 0;
        }
        ++stats.shots;
        flyX = x, flyY = y, flyColour = next, next = Draw();
        state = GBoardState::kFlying;
        Tell(GBoardMoment::kShot, x, y, flyColour);
        Enter(x, y);
        return 1;
    }
    int Step()
    {
        if (state != GBoardState::kFlying)
            return 0;
        const int x = flyX + dx, y = flyY + dy;
        if (x >= 0 && y >= 0 && x < N && y < N && Free(x, y)) {
            flyX = x, flyY = y;
            Enter(x, y);
            return 1;
        }
        Settle();
        return 0;
    }
    void Settle()
    {
        const int x = flyX, y = flyY, colour = flyColour;
        cells[y][x].cube = static_cast<int8_t>(colour);
        flyX = flyY = flyColour = -1;
        Tell(GBoardMoment::kCubeStops, x, y, colour);
        bool in[N][N] = {};
        std::deque<std::pair<int, int>> open{{x, y}};
        in[y][x] = true;
        int count = 0;
        for (; !open.empty(); open.pop_front(), ++count) {
            const auto [cx, cy] = open.front();
            for (const auto& [nx, ny] :
                 {std::pair{cx - 1, cy}, {cx + 1, cy}, {cx, cy - 1}, {cx, cy + 1}})
                if (nx >= 0 && ny >= 0 && nx < N && ny < N && !in[ny][nx] &&
                    cells[ny][nx].cube == colour)
                    in[ny][nx] = true, open.push_back({nx, ny});
        }
        if (count >= rules.groupSize) {
            ++stats.groups, stats.cubesDestroyed += count,
                stats.score += count * rules.scorePerCube;
            Tell(GBoardMoment::kGroupExplodes, x, y, colour, count, count * rules.scorePerCube);
            for (int cy = 0; cy < N; ++cy)
                for (int cx = 0; cx < N; ++cx) {
                    if (!in[cy][cx])
                        continue;
                    GCell& cell = cells[cy][cx];
                    cell.cube = -1;
                    if (cell.kind == GCellKind::kTarget && !cell.burned) {
                        cell.burned = true;
                        ++stats.targetsBurned, stats.score += rules.targetScore;
                        Tell(GBoardMoment::kTargetBurns, cx, cy, colour, 0, rules.targetScore);
                    }
                }
            if (count >= rules.bonusGroupSize) {
                cells[y][x].bonus = true;
                Tell(GBoardMoment::kBonusAppears, x, y, colour);
            }
        }
        bool entry = false;
        for (GGunPosition g : ClockwiseRing()) {
            int ex, ey, sx, sy;
            Entry(g, ex, ey, sx, sy);
            entry = entry || Free(ex, ey);
        }
        if (stats.targetsBurned == stats.targetsTotal) {
            state = GBoardState::kWon;
            Tell(GBoardMoment::kLevelWon);
        } else if (timed && timeLeft == 0)
            Lose(GLossReason::kTimeOut);
        else if (stats.shots >= shots)
            Lose(GLossReason::kNoMoves);
        else if (!entry)
            Lose(GLossReason::kFieldFull);
        else
            state = GBoardState::kAiming;
    }
    void Lose(GLossReason why)
    {
        state = GBoardState::kLost, reason = why;
        Tell(GBoardMoment::kLevelLost);
    }
    void AdvanceTime(int ms)
    {
        if ((state != GBoardState::kAiming && state != GBoardState::kFlying) || ms <= 0)
            return;
        stats.timeMs += ms;
        if (!timed || timeLeft == 0)
            return;
        timeLeft = std::max(0, timeLeft - ms);
        if (!warned && timeLeft > 0 && timeLeft <= 1000 * rules.timeWarnSeconds) {
            warned = true;
            Tell(GBoardMoment::kTimeWarning);
        }
        if (timeLeft == 0 && state == GBoardState::kAiming)
            Lose(GLossReason::kTimeOut);
    }
};

std::string Describe(const GBoardEvent& e)
{
    std::ostringstream out;
    out << int(e.moment) << "@" << int(e.x) << "," << int(e.y) << " c" << int(e.colour) << " n"
        << e.count << " s" << e.score;
    return out.str();
}

// Both tell and show the same; the first difference fails the game.
void ExpectSame(const GGameBoard& board, BoardEvents& heard, Model& model, const std::string& after)
{
    std::vector<std::string> got, want;
    for (const GBoardEvent& e : heard.events)
        got.push_back(Describe(e));
    for (const GBoardEvent& e : model.told)
        want.push_back(Describe(e));
    ASSERT_EQ(got, want) << after;
    heard.events.clear(), model.told.clear();
    ASSERT_EQ(board.GetState(), model.state) << after;
    ASSERT_EQ(board.GetLossReason(), model.reason) << after;
    ASSERT_EQ(board.GetGun(), model.gun) << after;
    ASSERT_EQ(board.GetNextColour(), model.next) << after;
    ASSERT_EQ(board.GetFlyingX(), model.flyX) << after;
    ASSERT_EQ(board.GetFlyingY(), model.flyY) << after;
    ASSERT_EQ(board.GetFlyingColour(), model.flyColour) << after;
    ASSERT_EQ(board.GetShotsLeft(), std::max(0, model.shots - model.stats.shots)) << after;
    ASSERT_EQ(board.GetTimeLeftMs(), model.timeLeft) << after;
    ASSERT_EQ(board.IsTimed(), model.timed) << after;
    ASSERT_EQ(board.GetTargetsLeft(), model.stats.targetsTotal - model.stats.targetsBurned)
        << after;
    const GBoardStats& s = board.GetStats();
    const GBoardStats& m = model.stats;
    ASSERT_EQ(std::vector<int>({s.score, s.shots, s.groups, s.cubesDestroyed, s.targetsBurned,
                                s.targetsTotal, s.bonuses, s.timeMs}),
              std::vector<int>({m.score, m.shots, m.groups, m.cubesDestroyed, m.targetsBurned,
                                m.targetsTotal, m.bonuses, m.timeMs}))
        << after;
    int cubes = 0;
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const GCell& a = board.At(x, y);
            const GCell& b = model.cells[y][x];
            cubes += b.cube >= 0;
            ASSERT_TRUE(a.kind == b.kind && a.repaintColour == b.repaintColour &&
                        a.burned == b.burned && a.cube == b.cube && a.bonus == b.bonus)
                << after << " at " << x << "," << y;
        }
    ASSERT_EQ(board.GetCubeCount(), cubes) << after;
}

TEST(BoardReference, RandomGamesTellAndShowWhatASecondModelOfTheRulesDoes)
{
    std::mt19937 draw(20261207);
    const std::vector<GGunPosition> ring = ClockwiseRing();
    int won = 0, lost[4] = {}, bonuses = 0, repaints = 0, warnings = 0;
    for (int game = 0; game < 600; ++game) {
        GGameBoard board;
        BoardEvents heard;
        board.SetListener(&heard);
        Model model;
        for (int call = 0; call < 400; ++call) {
            const int kind = static_cast<int>(draw() % 100);
            std::ostringstream after;
            after << "game " << game << " call " << call << " kind " << kind;
            if (call == 0 || kind == 99) {
                const GLevel level = RandomLevel(draw);
                const GBoardRules rules = RandomRules(draw);
                const bool timed = draw() % 2;
                const uint32_t seed = draw();
                ASSERT_EQ(board.Start(level, rules, timed, seed), 1) << after.str();
                model.Start(level, rules, timed, seed);
            } else if (kind < 15) {
                GGunPosition gun = ring[draw() % ring.size()];
                if (kind < 2)
                    gun.line = static_cast<int8_t>(kind ? -1 : N);
                if (kind == 2)
                    gun.side = static_cast<GSide>(4);
                ASSERT_EQ(board.Aim(gun), model.Aim(gun)) << after.str();
            } else if (kind < 25) {
                const int far = kind == 15 ? INT_MAX : kind == 16 ? INT_MIN + 1 : 60;
                const int mx = static_cast<int>(draw() % 121) - 60,
                          my = static_cast<int>(draw() % 121) - 60;
                board.MoveGun(kind < 17 ? far : mx, kind < 17 ? -far : my);
                model.MoveGun(kind < 17 ? far : mx, kind < 17 ? -far : my);
            } else if (kind < 45) {
                ASSERT_EQ(board.Fire(), model.Fire()) << after.str();
            } else if (kind < 85) {
                ASSERT_EQ(board.Step(), model.Step()) << after.str();
            } else {
                const int ms =
                    kind < 87 ? -static_cast<int>(draw() % 100) : static_cast<int>(draw() % 1600);
                board.AdvanceTime(ms);
                model.AdvanceTime(ms);
            }
            for (const GBoardEvent& e : model.told) {
                bonuses += e.moment == GBoardMoment::kBonusCollected;
                repaints += e.moment == GBoardMoment::kRepaint;
                warnings += e.moment == GBoardMoment::kTimeWarning;
                won += e.moment == GBoardMoment::kLevelWon;
            }
            if (model.state == GBoardState::kLost && !model.told.empty() &&
                model.told.back().moment == GBoardMoment::kLevelLost)
                ++lost[static_cast<int>(model.reason)];
            ExpectSame(board, heard, model, after.str());
            if (HasFatalFailure())
                return;
        }
    }
    // The draw reached every way a game goes.
    EXPECT_GT(won, 10);
    EXPECT_GT(lost[int(GLossReason::kNoMoves)], 10);
    EXPECT_GT(lost[int(GLossReason::kTimeOut)], 10);
    EXPECT_GT(lost[int(GLossReason::kFieldFull)], 0);
    EXPECT_GT(bonuses, 10);
    EXPECT_GT(repaints, 10);
    EXPECT_GT(warnings, 10);
}

TEST(BoardReference, EachCellPointsTheGunAsTheRingAndTheEntriesSay)
{
    const std::vector<GGunPosition> ring = ClockwiseRing();
    for (GGunPosition current : ring) {
        for (int y = -1; y <= N; ++y)
            for (int x = -1; x <= N; ++x) {
                const GGunPosition got = GGameBoard::GunForCell(x, y, current);
                const bool corner = (x < 0 || x == N) && (y < 0 || y == N);
                if (corner) {
                    EXPECT_EQ(got, current) << x << "," << y;
                    continue;
                }
                // The gun's first cell is the pointed cell's neighbour on the ring (or its own
                // line inside the board).
                int ex, ey, sx, sy;
                GGameBoard::EntryOf(got, ex, ey, sx, sy);
                int mx, my, msx, msy;
                Model::Entry(got, mx, my, msx, msy);
                EXPECT_TRUE(ex == mx && ey == my && sx == msx && sy == msy) << x << "," << y;
                if (x < 0 || y < 0 || x == N || y == N) {
                    EXPECT_EQ(ex - sx, x) << x << "," << y;
                    EXPECT_EQ(ey - sy, y) << x << "," << y;
                } else {
                    EXPECT_EQ(got.side, current.side) << x << "," << y;
                    EXPECT_TRUE(sx ? ey == y : ex == x) << x << "," << y;
                }
            }
    }
}

TEST(BoardReference, BeforeAnyStartNothingPlays)
{
    GGameBoard board;
    BoardEvents heard;
    board.SetListener(&heard);
    EXPECT_EQ(board.Aim({GSide::kTop, 3}), 0);
    board.MoveGun(1, 1);
    EXPECT_EQ(board.Fire(), 0);
    EXPECT_EQ(board.Step(), 0);
    board.AdvanceTime(1000);
    EXPECT_TRUE(heard.events.empty());
    EXPECT_EQ(board.GetState(), GBoardState::kLost);
    EXPECT_EQ(board.GetLossReason(), GLossReason::kNone);
    EXPECT_EQ(board.GetStats().timeMs, 0);
    EXPECT_EQ(board.GetCubeCount(), 0);
    EXPECT_EQ(board.GetGun(), GGunPosition{});
}

} // namespace
