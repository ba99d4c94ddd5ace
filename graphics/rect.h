#pragma once
// A screen rectangle with inclusive edges: a rectangle w pixels wide starting at left has
// right = left + w - 1. Coordinates are signed 16-bit, as the dirty list stores them.

#include <cstdint>

struct GRect {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
};
