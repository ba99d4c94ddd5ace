#pragma once
// GShortArray: the growable array of signed 16-bit values the sound events keep their variant
// ids in and the Ogg player its playlist in. It is the engine's GArray: a reserve of 0 means
// 256 elements, a full array doubles, and RemoveRange(index, n) moves the later elements down.

#include <cstdint>

#include "foundation/core/int_array.h"

using GShortArray = GArray<int16_t>;
