#pragma once
// The inverse DCT of the JPEG decoder: dequantised coefficients of one 8x8 block to samples.

#include <cstdint>

// Natural (row-major) index of each zigzag position k (T.81 Figure A.6).
inline constexpr uint8_t kJpegZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// coefficients: 64 values in natural (row-major) order, row = vertical frequency.
// lastZigzag: the highest zigzag index that may be nonzero (0 to 63); every coefficient after
// it in zigzag order must be 0. It only selects short cuts: the result is the same.
// out: the top-left sample of the 8x8 block, rows stride bytes apart.
// Uses SSE2 where the compiler targets it; the result is always that of the scalar version.
void GJpegInverseDct(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride);
// The same transform in the widest instruction set in use by the blit kernels (GetKernelIsa),
// picked once per picture by the decoder: AVX2, else the function above.
using GJpegInverseDctFn = void (*)(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride);
GJpegInverseDctFn GJpegSelectInverseDct();
// The same transform reading its coefficients transposed (index column * 8 + row), which
// saves the vector code a transpose; null where the instruction set in use has none. With it,
// a decoder stores coefficient k of the zigzag order at kJpegZigzagTransposed[k].
GJpegInverseDctFn GJpegSelectTransposedInverseDct();
inline constexpr uint8_t kJpegZigzagTransposed[64] = {
    0,  8,  1,  2,  9,  16, 24, 17, 10, 3,  4,  11, 18, 25, 32, 40, 33, 26, 19, 12, 5,  6,
    13, 20, 27, 34, 41, 48, 56, 49, 42, 35, 28, 21, 14, 7,  15, 22, 29, 36, 43, 50, 57, 58,
    51, 44, 37, 30, 23, 31, 38, 45, 52, 59, 60, 53, 46, 39, 47, 54, 61, 62, 55, 63,
};
// The scalar reference.
void GJpegInverseDctScalar(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride);
