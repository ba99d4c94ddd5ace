#pragma once
// What the picture generators of the tools draw with: values rounded into bytes, linear
// blends of values and of colours, a pixel set from four values or a colour, and an empty
// picture to start from. Header only.

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

// A colour of whole channel values; PutPixel clamps what lies outside 0 to 255.
struct Rgb {
    int r, g, b;
};

// Each channel truncated towards zero.
inline Rgb Mix(Rgb a, Rgb b, double t)
{
    return {static_cast<int>(Mix(a.r, b.r, t)), static_cast<int>(Mix(a.g, b.g, t)),
            static_cast<int>(Mix(a.b, b.b, t))};
}

inline void PutPixel(Picture& picture, int32_t x, int32_t y, Rgb c, int a = 255)
{
    PutPixel(picture, x, y, c.r, c.g, c.b, a);
}

// width x height transparent black pixels.
inline Picture Blank(int32_t width, int32_t height)
{
    Picture picture;
    picture.Resize(width, height);
    return picture;
}

} // namespace tools
