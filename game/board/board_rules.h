#pragma once
// What a level is made of and the tuning of the rules, as read from the level list
// ("LEVELS\levellist.csv"), the level files it names and "LEVELS\options.ini"
// (game/board/level_data.h reads them).

#include <array>
#include <cstdint>
#include <string>

constexpr int kMaxColours = 4;

// The tuning of the rules; every level shares it.
struct GBoardRules {
    int16_t groupSize = 3;       // cubes of one colour that explode together
    int16_t bonusGroupSize = 5;  // a group this big leaves a bonus fire
    int16_t scorePerCube = 10;
    int16_t targetScore = 50;    // each target burned
    int16_t bonusScore = 100;    // each bonus fire collected
    int16_t timedSeconds = 120;  // a timed level's time when the level names none
    int16_t timeWarnSeconds = 15;
};

// One level: its layout, row by row from the top, and its limits.
struct GLevel {
    static constexpr int kCells = 13 * 13;
    std::string name;
    // Cells: '.' floor, '#' wall, 'T' target, '0'..'3' a repaint cell of that colour.
    std::array<char, kCells> cells{};
    // Cubes: '.' none, '0'..'3' a cube of that colour.
    std::array<char, kCells> cubes{};
    int16_t shots = 0;   // cubes the player may fire
    int8_t colours = 3;  // colours the gun's cubes are drawn from
    int16_t seconds = 0; // timed mode: the level's time; 0 takes the rules'
};
