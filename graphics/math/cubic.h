#pragma once
// The cubic filter of the rotated renders: four values p0..p3 at t in 0..255 of the way from
// p1 to p2, in integers (t2 = t t >> 8, t3 = t2 t >> 8; the weighted sum >> 8, then / 6
// truncating toward zero). Exact at t = 0 (p1); unclamped, so it can overshoot 0..255.

#include <cstdint>

inline int32_t CubicInterpolate(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t t) {
    const int32_t t2 = t * t >> 8;
    const int32_t t3 = t2 * t >> 8;
    const int32_t q0 = p0 - p1;
    const int32_t q2 = p2 - p1;
    const int32_t q3 = p3 - p1;
    return p1 + ((((q3 - 3 * q2 - q0) * t3) + 3 * (q2 + q0) * t2 + (3 * (2 * q2 - q0) - q3) * t) >>
                 8) / 6;
}

inline int32_t ClampByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
