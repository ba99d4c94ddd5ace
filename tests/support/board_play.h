#pragma once
// Playing the game board in tests: levels drawn as text, a listener that keeps every moment,
// a whole shot in one call, seeds that give chosen colours, and a player that looks one shot
// ahead (for the property tests and for showing that a level can be won).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/core/random.h"
#include "game/board/game_board.h"

namespace tolvanrise::test {

// A level of floor without cubes, then the rows given (from the top; shorter lists leave the
// rest as it is). Cells '.', '#', 'T', '0'..'3'; cubes '.', '0'..'3'.
inline GLevel DrawLevel(std::initializer_list<const char*> cells,
                        std::initializer_list<const char*> cubes = {}, int shots = 30,
                        int colours = 3)
{
    GLevel level;
    level.name = "test";
    level.cells.fill('.');
    level.cubes.fill('.');
    level.shots = static_cast<int16_t>(shots);
    level.colours = static_cast<int8_t>(colours);
    auto copy = [](std::initializer_list<const char*> rows,
                   std::array<char, GLevel::kCells>& grid) {
        int y = 0;
        for (const char* row : rows) {
            for (int x = 0; x < GGameBoard::kSize && row[x]; ++x)
                grid[static_cast<size_t>(y * GGameBoard::kSize + x)] = row[x];
            ++y;
        }
    };
    copy(cells, level.cells);
    copy(cubes, level.cubes);
    return level;
}

struct BoardEvents : GBoardListener {
    std::vector<GBoardEvent> events;
    void OnBoardEvent(const GBoardEvent& event) override { events.push_back(event); }
    int Count(GBoardMoment moment) const
    {
        return static_cast<int>(
            std::count_if(events.begin(), events.end(),
                          [moment](const GBoardEvent& e) { return e.moment == moment; }));
    }
    const GBoardEvent* Last(GBoardMoment moment) const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->moment == moment)
                return &*it;
        return nullptr;
    }
};

// Aims, fires and steps until the cube rests; the Steps it took, or -1 when nothing flew.
// A flight longer than the board is a fault of the board.
inline int PlayShot(GGameBoard& board, GGunPosition gun)
{
    if (!board.Aim(gun) || !board.Fire())
        return -1;
    int steps = 0;
    while (board.Step()) {
        if (++steps > GGameBoard::kSize + 1) {
            ADD_FAILURE() << "a cube flew past the board";
            return steps;
        }
    }
    return steps + 1;
}

// A seed whose first draws of 0..colours-1 are the colours given, as Start and each Fire draw
// them; 0 when none of the first million seeds does.
inline uint32_t SeedFor(std::initializer_list<int> wanted, int colours)
{
    for (uint32_t seed = 1; seed < 1000000; ++seed) {
        GRandom random(seed);
        bool all = true;
        for (int colour : wanted)
            all = all && random.Range(0, static_cast<int16_t>(colours - 1)) == colour;
        if (all)
            return seed;
    }
    return 0;
}

inline std::vector<GGunPosition> EveryGunPosition()
{
    std::vector<GGunPosition> all;
    for (int side = 0; side < 4; ++side)
        for (int line = 0; line < GGameBoard::kSize; ++line)
            all.push_back({static_cast<GSide>(side), static_cast<int8_t>(line)});
    return all;
}

// For every cell, the size of the 4-connected group of one colour its cube belongs to (0 for
// no cube).
inline std::array<int, GLevel::kCells> GroupSizes(const GGameBoard& board)
{
    constexpr int n = GGameBoard::kSize;
    std::array<int, GLevel::kCells> size{};
    std::array<int, GLevel::kCells> members{};
    for (int start = 0; start < GLevel::kCells; ++start) {
        const int colour = board.At(start % n, start / n).cube;
        if (colour < 0 || size[static_cast<size_t>(start)])
            continue;
        int count = 0;
        int open = 0;
        members[static_cast<size_t>(count++)] = start;
        size[static_cast<size_t>(start)] = -1;
        while (open < count) {
            const int at = members[static_cast<size_t>(open++)];
            const int cx = at % n;
            const int cy = at / n;
            const int next[4][2] = {{cx + 1, cy}, {cx - 1, cy}, {cx, cy + 1}, {cx, cy - 1}};
            for (const auto& [nx, ny] : next) {
                const size_t i = static_cast<size_t>(ny * n + nx);
                if (nx >= 0 && ny >= 0 && nx < n && ny < n && !size[i] &&
                    board.At(nx, ny).cube == colour) {
                    size[i] = -1;
                    members[static_cast<size_t>(count++)] = static_cast<int>(i);
                }
            }
        }
        for (int m = 0; m < count; ++m)
            size[static_cast<size_t>(members[static_cast<size_t>(m)])] = count;
    }
    return size;
}

// A player that tries every ring place on a copy of the board and keeps the best outcome:
// a win, then targets burned, then cubes in large groups of their colour, on unburned targets
// above all, and fewer cubes on the board.
inline GGunPosition LookAheadShot(const GGameBoard& board)
{
    GGunPosition best = board.GetGun();
    long bestValue = -1000000000L;
    for (GGunPosition gun : EveryGunPosition()) {
        GGameBoard trial = board;
        trial.SetListener(nullptr);
        if (PlayShot(trial, gun) < 0)
            continue;
        long value = 0;
        if (trial.GetState() == GBoardState::kWon)
            value = 100000000L;
        else if (trial.GetState() == GBoardState::kLost)
            value = -100000000L;
        value += 100000L * (trial.GetStats().targetsBurned - board.GetStats().targetsBurned);
        value -= 50L * trial.GetCubeCount();
        const std::array<int, GLevel::kCells> groups = GroupSizes(trial);
        for (int i = 0; i < GLevel::kCells; ++i) {
            const GCell& cell = trial.At(i % GGameBoard::kSize, i / GGameBoard::kSize);
            if (cell.kind == GCellKind::kTarget && !cell.burned)
                value += 200L * groups[static_cast<size_t>(i)];
            value += 10L * groups[static_cast<size_t>(i)];
        }
        if (value > bestValue) {
            bestValue = value;
            best = gun;
        }
    }
    return best;
}

} // namespace tolvanrise::test
