#pragma once
// Arithmetic the picture generators of the tools share: values rounded into bytes, linear
// blends and a pixel set from four such values. Header only.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tools/common/picture.h"

namespace tools {

// Rounded to the nearest whole number, then clamped to 0 to 255.
inline uint8_t ToByte(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// a at t = 0, b at t = 1.
inline double Mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

inline void PutPixel(Picture& picture, int32_t x, int32_t y, double r, double g, double b,
                     double a = 255)
{
    uint8_t* p = picture.At(x, y);
    p[0] = ToByte(r);
    p[1] = ToByte(g);
    p[2] = ToByte(b);
    p[3] = ToByte(a);
}

} // namespace tools
