#pragma once
// Reading the level data of the data folder: the level list "LEVELS\levellist.csv" (a
// semicolon table, columns Name;File;Shots;Colours;Seconds, one row a level), the level files
// it names (INI-like: sections [Cells] and [Cubes], keys Row1..Row13 of 13 characters each, the
// characters of board_rules.h) and "LEVELS\options.ini" (section [Rules]). All files are plain
// text (no scrambling key) and read through the engine's data documents.
//
// Every reader answers by return value: a result with the value and, on failure, the error
// text. The file readers write that text as one error line to the log (when one is given);
// the byte readers, for the tools and the fuzzers, write nothing. Damaged data never throws or
// crashes. Main thread only (the logs are single-threaded).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/board/board_rules.h"

class GHtmlLog;

// The folder of the level data, under the data folder.
inline constexpr const char* kLevelFolder = "LEVELS";

// A level as the list names it: its limits and the file with its layout (a plain name in the
// level folder).
struct GLevelInfo {
    std::string name;
    std::string file;
    int16_t shots = 0;
    int8_t colours = 0;
    int16_t seconds = 0;
};

// What a level row may hold; the same limits Start and the tools hold a level to.
inline constexpr int kMaxShots = 999;
inline constexpr int kMaxLevelSeconds = 3600;

template <class T>
struct GLevelDataResult {
    T value{};
    std::string error; // empty on success
    bool Ok() const { return error.empty(); }
};

// The options: the rules with every accepted value, and one note per value that was refused
// (out of range or no number; the default stays). A missing or damaged file fails and leaves
// all defaults. Ranges: GroupSize 2..9, BonusGroupSize 2..169, ScorePerCube 0..1000,
// TargetScore and BonusScore 0..10000, TimedSeconds 10..3600, TimeWarnSeconds 0..600.
struct GRulesRead {
    GBoardRules rules;
    std::vector<std::string> refused;
};

// Why a level cannot be played (a colour count outside 1..kMaxColours, shots outside
// 1..kMaxShots, seconds outside 0..kMaxLevelSeconds, a character of neither table, a cube on a
// wall, a cube or repaint colour not below the colour count, no target, or no free entry cell
// on the ring), or null when it can. GGameBoard::Start refuses the same levels.
const char* LevelProblem(const GLevel& level);
// Why rules cannot be played with (a value outside the range options.ini accepts), or null.
const char* RulesProblem(const GBoardRules& rules);

// The level list: every row checked (a bad row fails the whole list: the game cannot say
// which level comes next without it). At least one row.
GLevelDataResult<std::vector<GLevelInfo>> ReadLevelList(const uint8_t* bytes, size_t size);
// One level file, completed with the limits of its row and checked with LevelProblem.
GLevelDataResult<GLevel> ReadLevel(const GLevelInfo& info, const uint8_t* bytes, size_t size);
// The options file; fails when it holds no [Rules] section.
GLevelDataResult<GRulesRead> ReadBoardRules(const uint8_t* bytes, size_t size);

// The same from the files of folder (default: the data folder's level folder); a failure is one
// error line in the log, and each refused option a line of its own.
GLevelDataResult<std::vector<GLevelInfo>> LoadLevelList(GHtmlLog* log,
                                                        const std::string& folder = kLevelFolder);
GLevelDataResult<GLevel> LoadLevel(const GLevelInfo& info, GHtmlLog* log,
                                   const std::string& folder = kLevelFolder);
GLevelDataResult<GRulesRead> LoadBoardRules(GHtmlLog* log,
                                            const std::string& folder = kLevelFolder);
