#pragma once
// Entering a finished game's score into the top-score table: the table is kept best first; a
// score earns a place when it is above zero and beats the last entry, and goes below the
// entries of the same score already there, which then keep their places.

#include <cstdint>

class GTopScoreTable;

// The place given (0 the best), or -1 when the score earns none. The name is cut to fit.
int EnterTopScore(GTopScoreTable& table, const char* name, int32_t score);
