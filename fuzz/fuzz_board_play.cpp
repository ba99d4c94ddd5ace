// The board under any input: the bytes make a level (repaired until it can be played), rules
// and a seed, then a sequence of the calls the screens make (aim, move, point, fire, step,
// let time pass). Every call keeps the board accounted for (cubes, shots, burned targets, the
// statistics against the moments told); afterwards the game is played out and must end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "game/board/game_board.h"
#include "game/board/level_data.h"

namespace {

constexpr int kSize = GGameBoard::kSize;

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0; }
    bool Done() const { return at >= size; }
};

struct Ledger : GBoardListener {
    int fired = 0;
    int exploded = 0;
    int burned = 0;
    int64_t score = 0;
    void OnBoardEvent(const GBoardEvent& event) override
    {
        if (event.x < -1 || event.x >= kSize || event.y < -1 || event.y >= kSize)
            __builtin_trap();
        score += event.score;
        fired += event.moment == GBoardMoment::kShot;
        exploded += event.moment == GBoardMoment::kGroupExplodes ? event.count : 0;
        burned += event.moment == GBoardMoment::kTargetBurns;
    }
};

GLevel MakeLevel(Bytes& in)
{
    GLevel level;
    const uint8_t flags = in.Next();
    level.colours = static_cast<int8_t>(1 + (flags >> 1) % kMaxColours);
    level.shots = static_cast<int16_t>(1 + in.Next() % 60);
    level.seconds = static_cast<int16_t>(in.Next() % 40);
    for (int i = 0; i < GLevel::kCells; ++i) {
        const uint8_t b = in.Next();
        const int kind = b & 15;
        const char colour = static_cast<char>('0' + (b >> 4) % level.colours);
        char& cell = level.cells[static_cast<size_t>(i)];
        cell = kind < 9 ? '.' : kind == 9 ? '#' : kind < 12 ? 'T' : colour;
        level.cubes[static_cast<size_t>(i)] = (b & 0x80) && cell != '#' ? colour : '.';
    }
    // Repairs of a level that cannot be played, so most inputs reach play: a target in the
    // middle, a free entry cell.
    if (LevelProblem(level)) {
        level.cells[6 * kSize + 6] = 'T';
        level.cells[12 * kSize + 6] = '.';
        level.cubes[12 * kSize + 6] = '.';
    }
    return level;
}

void Check(const GGameBoard& board, const Ledger& ledger, int startCubes,
           uint8_t (&burned)[GLevel::kCells])
{
    const GBoardStats& stats = board.GetStats();
    const int flying = board.GetFlyingX() >= 0;
    if (flying &&
        (board.GetFlyingX() >= kSize || board.GetFlyingY() < 0 || board.GetFlyingY() >= kSize))
        __builtin_trap();
    if (board.GetCubeCount() + flying != startCubes + ledger.fired - ledger.exploded)
        __builtin_trap();
    if (stats.shots != ledger.fired || stats.cubesDestroyed != ledger.exploded ||
        stats.score != ledger.score || stats.targetsBurned != ledger.burned)
        __builtin_trap();
    int count = 0;
    for (int i = 0; i < GLevel::kCells; ++i) {
        const bool now = board.At(i % kSize, i / kSize).burned;
        if (burned[i] && !now)
            __builtin_trap();
        burned[i] = now;
        count += now;
    }
    if (count != stats.targetsBurned)
        __builtin_trap();
}

void Act(GGameBoard& board, Bytes& in)
{
    switch (in.Next() % 7) {
    case 0: {
        const uint8_t side = in.Next() % 6;
        board.Aim({static_cast<GSide>(side), static_cast<int8_t>(in.Next())});
        break;
    }
    case 1:
        board.MoveGun(static_cast<int8_t>(in.Next()), static_cast<int8_t>(in.Next()));
        break;
    case 2:
        board.Fire();
        break;
    case 3:
        board.Step();
        break;
    case 4:
        board.AdvanceTime(in.Next() * 50 - 1000);
        break;
    case 5: {
        const int x = in.Next() % 19 - 3;
        board.Aim(GGameBoard::GunForCell(x, in.Next() % 19 - 3, board.GetGun()));
        break;
    }
    default:
        for (int steps = 0; board.Step(); ++steps)
            if (steps > kSize)
                __builtin_trap();
        break;
    }
}

bool Over(const GGameBoard& board)
{
    return board.GetState() == GBoardState::kWon || board.GetState() == GBoardState::kLost;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    Bytes in{data, size};
    const bool timed = in.Next() & 1;
    uint32_t seed = 0;
    for (int i = 0; i < 4; ++i)
        seed = seed << 8 | in.Next();
    GBoardRules rules;
    rules.groupSize = static_cast<int16_t>(2 + in.Next() % 8);
    rules.bonusGroupSize = static_cast<int16_t>(2 + in.Next() % 20);
    rules.timeWarnSeconds = static_cast<int16_t>(in.Next() % 30);
    const GLevel level = MakeLevel(in);
    if (LevelProblem(level) || RulesProblem(rules))
        __builtin_trap();

    GGameBoard board;
    Ledger ledger;
    board.SetListener(&ledger);
    if (!board.Start(level, rules, timed, seed))
        __builtin_trap();
    const int startCubes = board.GetCubeCount();
    uint8_t burned[GLevel::kCells] = {};
    while (!in.Done() && !Over(board)) {
        Act(board, in);
        Check(board, ledger, startCubes, burned);
    }
    // Played out: each round fires from every free ring place, so each round uses shots or
    // ends the level; more rounds than shots mean it never ends.
    for (int round = 0; !Over(board); ++round) {
        if (round > level.shots + 1)
            __builtin_trap();
        for (int place = 0; place < 4 * kSize && !Over(board); ++place) {
            while (board.Step()) {
            }
            board.Aim({static_cast<GSide>(place / kSize), static_cast<int8_t>(place % kSize)});
            board.Fire();
            Check(board, ledger, startCubes, burned);
        }
    }
    if ((board.GetState() == GBoardState::kLost) != (board.GetLossReason() != GLossReason::kNone))
        __builtin_trap();
    return 0;
}
