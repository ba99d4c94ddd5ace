#pragma once
// The cubic filter of the rotated renders: four values p0..p3 at t in 0..255 of the way from
// p1 to p2, in integers (t2 = t t >> 8, t3 = t2 t >> 8; the weighted sum >> 8, then / 6
// truncating toward zero). Exact at t = 0 (p1); unclamped, so it can overshoot 0..255.

#include <cstdint>

#include "graphics/math/masked_image.h"

inline int32_t CubicInterpolate(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t t)
{
    const int32_t t2 = t * t >> 8;
    const int32_t t3 = t2 * t >> 8;
    const int32_t q0 = p0 - p1;
    const int32_t q2 = p2 - p1;
    const int32_t q3 = p3 - p1;
    return p1 +
           ((((q3 - 3 * q2 - q0) * t3) + 3 * (q2 + q0) * t2 + (3 * (2 * q2 - q0) - q3) * t) >> 8) /
               6;
}

inline int32_t ClampByte(int32_t v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The 4 x 4 pixels from (x0, y0): each row reduced with fx, then the four row results
// (unclamped) with fy. out: blue, green, red, mask, clamped to 0..255. The caller keeps the
// 4 x 4 block inside the image.
inline void CubicSample(const GMaskedImageView& s, int32_t x0, int32_t y0, int32_t fx, int32_t fy,
                        int32_t out[4])
{
    int32_t rows[4][4]; // row, channel
    for (int r = 0; r < 4; ++r) {
        const uint8_t* p = s.Pixel(x0, y0 + r);
        const uint8_t* m = s.MaskAt(x0, y0 + r);
        for (int k = 0; k < 3; ++k)
            rows[r][k] = CubicInterpolate(p[k], p[k + 3], p[k + 6], p[k + 9], fx);
        rows[r][3] = CubicInterpolate(m[0], m[1], m[2], m[3], fx);
    }
    for (int k = 0; k < 4; ++k)
        out[k] = ClampByte(CubicInterpolate(rows[0][k], rows[1][k], rows[2][k], rows[3][k], fy));
}
