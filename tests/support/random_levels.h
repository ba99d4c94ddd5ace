#pragma once
// Playable levels and rules drawn at random, for the suites that compare the board, or what
// shows it, with a model over many games. Header only.

#include <cstdint>
#include <random>

#include "game/board/board_rules.h"
#include "game/board/game_board.h"

namespace tolvanrise::test {

// Walls, targets, repaint cells and cubes scattered by the draw, at least one target, and the
// bottom middle entry left free; small shot and time limits, so games end every way.
inline GLevel RandomLevel(std::mt19937& draw)
{
    constexpr int n = GGameBoard::kSize;
    auto chance = [&](int percent) { return static_cast<int>(draw() % 100) < percent; };
    GLevel level;
    level.name = "random";
    level.colours = static_cast<int8_t>(1 + draw() % 4);
    level.shots = static_cast<int16_t>(1 + draw() % 40);
    level.seconds = static_cast<int16_t>(chance(50) ? 0 : 1 + draw() % 8);
    // Some levels are nearly full, so that the entries run out; some have few targets, so
    // that a random player wins them.
    const int crowd = chance(15) ? 97 : 10 + static_cast<int>(draw() % 50);
    const int targets = chance(40) ? 1 : 12;
    for (size_t i = 0; i < GLevel::kCells; ++i) {
        const char colour = static_cast<char>('0' + draw() % level.colours);
        level.cells[i] = chance(8) ? '#' : chance(targets) ? 'T' : chance(10) ? colour : '.';
        level.cubes[i] = level.cells[i] != '#' && chance(crowd)
                             ? static_cast<char>('0' + draw() % level.colours)
                             : '.';
    }
    const size_t entry = (n - 1) * n + n / 2;
    level.cells[entry] = '.';
    level.cubes[entry] = '.';
    const size_t target = draw() % (GLevel::kCells - 1);
    level.cells[target == entry ? GLevel::kCells - 1 : target] = 'T';
    return level;
}

// Small groups, so bursts and bonus fires come often, and scores told apart from each other.
inline GBoardRules RandomRules(std::mt19937& draw)
{
    GBoardRules rules;
    rules.groupSize = static_cast<int16_t>(2 + draw() % 3);
    rules.bonusGroupSize = static_cast<int16_t>(rules.groupSize + draw() % 3);
    rules.scorePerCube = static_cast<int16_t>(1 + draw() % 20);
    rules.targetScore = static_cast<int16_t>(100 + draw() % 100);
    rules.bonusScore = static_cast<int16_t>(1000 + draw() % 100);
    rules.timedSeconds = static_cast<int16_t>(10 + draw() % 5);
    rules.timeWarnSeconds = static_cast<int16_t>(draw() % 12);
    return rules;
}

} // namespace tolvanrise::test
