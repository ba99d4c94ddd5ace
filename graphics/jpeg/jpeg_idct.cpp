// Accurate integer inverse DCT, 8x8, for 8-bit samples.
//
// Algorithm: the separable 2-D IDCT as two passes of the 1-D IDCT of Loeffler, Ligtenberg and
// Moschytz ("Practical fast 1-D DCT algorithms with 11 multiplications", ICASSP 1989), in the
// form with 12 multiplications that keeps every output to the same precision: an even part
// (inputs 0, 2, 4, 6) that is a rotation by sqrt(2)*c6 plus two butterflies, and an odd part
// (inputs 1, 3, 5, 7) built on the common factor z5 = (z3 + z4) * sqrt(2)*c3.
//
// Scaling: each 1-D pass computes sqrt(8) times the orthonormal 1-D IDCT (so the 2-D result
// is 8 times too large, removed by 3 extra bits of the final shift). Multipliers are fixed
// point with CONST_BITS = 13 fraction bits: FIX(x) = round(x * 8192), the twelve constants
// below. Pass 1 (rows) keeps PASS1_BITS = 2 extra fraction bits in its output:
//     row result = (x + 2^10) >> 11                      (CONST_BITS - PASS1_BITS)
// Pass 2 (columns) removes everything:
//     sample = ((x + 2^17) >> 18) + 128, clamped to 0..255 (CONST_BITS + PASS1_BITS + 3)
// A row whose AC terms are all zero is 8 copies of DC << PASS1_BITS; a column whose AC terms
// are all zero is 8 copies of ((DC + 16) >> 5) + 128. Both short cuts are exact: they equal
// what the full pass computes, so the result never depends on which path ran.
//
// Overflow: coefficients are signed 16-bit, |c| <= 2^15. Multiplied out, each output of a
// pass is a sum of inputs times integer weights whose absolute values add up to at most
// 61214, so pass-1 values stay below 61214 * 2^15 ~ 2.0e9 and pass-1 results below 2^20;
// pass-2 values below 61214 * 2^20 ~ 6.4e10. Valid 8-bit data keeps pass-1 results near
// 2^13 and everything within 32 bits, but damaged data may use the whole 16-bit range, so the
// scalar arithmetic is 64-bit (as fast as 32-bit in scalar x86-64 code). The workspace
// between the passes holds the descaled pass-1 results in 32 bits.
//
// Measured on the blocks of an 800x600 picture at quality 85 (x86-64, GCC -O2): the plain
// version of these passes took ~190 ns a block, these scalar passes ~125 ns, the SSE2 version
// below ~35 ns.
//
// Rows are transformed first, then columns (a valid order for a separable transform; the
// rounding of pass 1 makes the result differ from column-first code by at most 1 now and
// then). Rows past the last nonzero one are skipped, and when all nonzero coefficients lie
// in the upper-left 4x4 corner both passes use a variant with inputs 4..7 known to be zero,
// which the compiler folds away. Blocks with only a DC term are one shift and a fill.

#include "graphics/jpeg/jpeg_idct.h"

#include "graphics/blit/kernels.h"

#include <cstring>

namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

constexpr int64_t kFix0298631336 = 2446;   // FIX(0.298631336)
constexpr int64_t kFix0390180644 = 3196;   // FIX(0.390180644)
constexpr int64_t kFix0541196100 = 4433;   // FIX(0.541196100)
constexpr int64_t kFix0765366865 = 6270;   // FIX(0.765366865)
constexpr int64_t kFix0899976223 = 7373;   // FIX(0.899976223)
constexpr int64_t kFix1175875602 = 9633;   // FIX(1.175875602)
constexpr int64_t kFix1501321110 = 12299;  // FIX(1.501321110)
constexpr int64_t kFix1847759065 = 15137;  // FIX(1.847759065)
constexpr int64_t kFix1961570560 = 16069;  // FIX(1.961570560)
constexpr int64_t kFix2053119869 = 16819;  // FIX(2.053119869)
constexpr int64_t kFix2562915447 = 20995;  // FIX(2.562915447)
constexpr int64_t kFix3072711026 = 25172;  // FIX(3.072711026)

struct ZigzagExtent {
    uint8_t lastRow[64];      // highest row touched by zigzag positions 0..k
    uint8_t lastColumn[64];   // highest column touched by zigzag positions 0..k
};

constexpr ZigzagExtent MakeZigzagExtent()
{
    ZigzagExtent e{};
    int row = 0;
    int column = 0;
    for (int k = 0; k < 64; ++k) {
        row = kJpegZigzag[k] / 8 > row ? kJpegZigzag[k] / 8 : row;
        column = kJpegZigzag[k] % 8 > column ? kJpegZigzag[k] % 8 : column;
        e.lastRow[k] = static_cast<uint8_t>(row);
        e.lastColumn[k] = static_cast<uint8_t>(column);
    }
    return e;
}

constexpr ZigzagExtent kExtent = MakeZigzagExtent();

inline uint8_t ClampSample(int64_t v)
{
    // Out-of-range values come only from strong edges and damaged data: a rarely taken branch
    // is cheaper than two conditional moves.
    if (static_cast<uint64_t>(v) > 255)
        return v < 0 ? 0 : 255;
    return static_cast<uint8_t>(v);
}

// One 1-D IDCT of in[0..7] (inputs 4..7 known to be zero when kHalf); hands each output,
// scaled by 2^CONST_BITS * sqrt(8) and not yet descaled, to put(index, value).
template <bool kHalf, class Input, class Put>
inline void Idct1d(Input in, Put put)
{
    const int64_t in0 = in(0), in1 = in(1), in2 = in(2), in3 = in(3);
    const int64_t in4 = kHalf ? 0 : in(4), in5 = kHalf ? 0 : in(5);
    const int64_t in6 = kHalf ? 0 : in(6), in7 = kHalf ? 0 : in(7);

    // Even part: rotation of (in2, in6), butterflies with (in0, in4).
    const int64_t rot = (in2 + in6) * kFix0541196100;
    const int64_t even2 = rot - in6 * kFix1847759065;
    const int64_t even3 = rot + in2 * kFix0765366865;
    const int64_t sum04 = (in0 + in4) * (int64_t{1} << kConstBits);
    const int64_t diff04 = (in0 - in4) * (int64_t{1} << kConstBits);
    const int64_t t10 = sum04 + even3;
    const int64_t t13 = sum04 - even3;
    const int64_t t11 = diff04 + even2;
    const int64_t t12 = diff04 - even2;

    // Odd part.
    const int64_t z1 = in7 + in1;
    const int64_t z2 = in5 + in3;
    const int64_t z3 = in7 + in3;
    const int64_t z4 = in5 + in1;
    const int64_t z5 = (z3 + z4) * kFix1175875602;
    const int64_t m1 = z1 * -kFix0899976223;
    const int64_t m2 = z2 * -kFix2562915447;
    const int64_t m3 = z3 * -kFix1961570560 + z5;
    const int64_t m4 = z4 * -kFix0390180644 + z5;
    const int64_t odd0 = in7 * kFix0298631336 + m1 + m3;
    const int64_t odd1 = in5 * kFix2053119869 + m2 + m4;
    const int64_t odd2 = in3 * kFix3072711026 + m2 + m3;
    const int64_t odd3 = in1 * kFix1501321110 + m1 + m4;

    put(0, t10 + odd3);
    put(7, t10 - odd3);
    put(1, t11 + odd2);
    put(6, t11 - odd2);
    put(2, t12 + odd1);
    put(5, t12 - odd1);
    put(3, t13 + odd0);
    put(4, t13 - odd0);
}

// Pass 1 over the rows 0..lastRow; inputs 4..7 of each row are zero when kRightZero.
template <bool kRightZero>
void RowPass(const int16_t* c, int lastRow, int32_t* ws)
{
    constexpr int kShift = kConstBits - kPass1Bits;
    constexpr int64_t kRound = int64_t{1} << (kShift - 1);
    for (int r = 0; r <= lastRow; ++r, c += 8, ws += 8) {
        const bool acZero = kRightZero ? (c[1] | c[2] | c[3]) == 0
                                       : (c[1] | c[2] | c[3] | c[4] | c[5] | c[6] | c[7]) == 0;
        if (acZero) {
            const int32_t dc = c[0] * (1 << kPass1Bits);
            for (int i = 0; i < 8; ++i)
                ws[i] = dc;
            continue;
        }
        Idct1d<kRightZero>([c](int i) { return int64_t{c[i]}; },
                           [ws](int i, int64_t x) { ws[i] = static_cast<int32_t>((x + kRound) >> kShift); });
    }
}

// Pass 2 over the 8 columns; rows 4..7 of the workspace are zero when kLowerZero.
template <bool kLowerZero>
void ColumnPass(const int32_t* ws, uint8_t* out, int32_t stride)
{
    constexpr int kShift = kConstBits + kPass1Bits + 3;
    // The rounding half and the +128 level shift in one constant.
    constexpr int64_t kBias = (int64_t{1} << (kShift - 1)) + (int64_t{128} << kShift);
    for (int col = 0; col < 8; ++col, ++ws, ++out) {
        const bool acZero = kLowerZero ? (ws[8] | ws[16] | ws[24]) == 0
                                       : (ws[8] | ws[16] | ws[24] | ws[32] | ws[40] | ws[48] | ws[56]) == 0;
        if (acZero) {
            const uint8_t v = ClampSample(((int64_t{ws[0]} + 16) >> (kPass1Bits + 3)) + 128);
            for (int r = 0; r < 8; ++r)
                out[r * stride] = v;
            continue;
        }
        Idct1d<kLowerZero>([ws](int i) { return int64_t{ws[i * 8]}; },
                           [out, stride](int i, int64_t x) { out[i * stride] = ClampSample((x + kBias) >> kShift); });
    }
}

} // namespace

void GJpegInverseDctScalar(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride)
{
    const int last = lastZigzag < 0 ? 0 : lastZigzag > 63 ? 63 : lastZigzag;
    if (last == 0) {
        // Pass 1 gives row 0 = DC << 2 and zero rows, pass 2 the flat column value.
        const uint8_t v = ClampSample(((int64_t{coefficients[0]} * 4 + 16) >> 5) + 128);
        for (int r = 0; r < 8; ++r)
            std::memset(out + r * stride, v, 8);
        return;
    }

    alignas(32) int32_t ws[64];
    const int lastRow = kExtent.lastRow[last];
    if (kExtent.lastColumn[last] < 4)
        RowPass<true>(coefficients, lastRow, ws);
    else
        RowPass<false>(coefficients, lastRow, ws);

    // Rows past the last coded one are zero; the column pass reads rows 0..3 or 0..7.
    const int rowsRead = lastRow < 4 ? 4 : 8;
    for (int i = 8 * (lastRow + 1); i < 8 * rowsRead; ++i)
        ws[i] = 0;
    if (lastRow < 4)
        ColumnPass<true>(ws, out, stride);
    else
        ColumnPass<false>(ws, out, stride);
}

#if defined(__SSE2__)

// SSE2 version, bit-identical to the scalar one.
//
// The 1-D transform is written as its exact integer linear form: every output is a sum of
// input * weight with the weights below (the butterflies multiplied out), evaluated with
// pmaddwd on interleaved input pairs. Integer sums do not depend on the order of evaluation,
// so the result equals the scalar code's as long as nothing overflows 32 bits. The largest
// sum of |weights| of an output is 61214; with 16-bit inputs every partial sum stays below
// 61214 * 2^15 + 2^17 < 2^31. Pass 1 takes the 16-bit coefficients, so it is exact for every
// block. Pass 2 needs 16-bit inputs too: pass-1 results of ordinary data are far below 2^15
// (about 2^13 for 8-bit samples), but damaged data can exceed it, and such blocks are handed
// to the scalar code instead.
//
// Rows first: the block is transposed so that each vector holds one input index for all 8
// rows, pass 1 runs on all rows at once, the results are transposed back so that each vector
// holds one workspace row, and pass 2 yields the output rows directly.

#include <emmintrin.h>

namespace {

// Two 16-bit weights for pmaddwd: lane pairs (a, b).
inline __m128i Weights(int a, int b)
{
    return _mm_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(a) | static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

inline void Transpose8x8(__m128i v[8])
{
    const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]);
    const __m128i a1 = _mm_unpackhi_epi16(v[0], v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]);
    const __m128i a3 = _mm_unpackhi_epi16(v[2], v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]);
    const __m128i a5 = _mm_unpackhi_epi16(v[4], v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]);
    const __m128i a7 = _mm_unpackhi_epi16(v[6], v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

// The 1-D IDCT of four lanes: p04, p26, p13, p57 hold the interleaved input pairs (0, 4),
// (2, 6), (1, 3), (5, 7) as 32-bit lanes. Writes the 8 outputs plus bias, shifted right by
// kShift, as 32-bit lanes.
template <int kShift>
inline void Idct4Lanes(__m128i p04, __m128i p26, __m128i p13, __m128i p57, __m128i bias, __m128i out[8])
{
    const __m128i sum04 = _mm_add_epi32(_mm_madd_epi16(p04, Weights(8192, 8192)), bias);
    const __m128i diff04 = _mm_add_epi32(_mm_madd_epi16(p04, Weights(8192, -8192)), bias);
    const __m128i even3 = _mm_madd_epi16(p26, Weights(10703, 4433));   // A + C, A
    const __m128i even2 = _mm_madd_epi16(p26, Weights(4433, -10704));  // A, A - B
    const __m128i t10 = _mm_add_epi32(sum04, even3);
    const __m128i t13 = _mm_sub_epi32(sum04, even3);
    const __m128i t11 = _mm_add_epi32(diff04, even2);
    const __m128i t12 = _mm_sub_epi32(diff04, even2);

    // odd0..odd3 of the scalar code with z1..z5 and m1..m4 multiplied out.
    const __m128i odd0 = _mm_add_epi32(_mm_madd_epi16(p13, Weights(2260, -6436)), _mm_madd_epi16(p57, Weights(9633, -11363)));
    const __m128i odd1 = _mm_add_epi32(_mm_madd_epi16(p13, Weights(6437, -11362)), _mm_madd_epi16(p57, Weights(2261, 9633)));
    const __m128i odd2 = _mm_add_epi32(_mm_madd_epi16(p13, Weights(9633, -2259)), _mm_madd_epi16(p57, Weights(-11362, -6436)));
    const __m128i odd3 = _mm_add_epi32(_mm_madd_epi16(p13, Weights(11363, 9633)), _mm_madd_epi16(p57, Weights(6437, 2260)));

    out[0] = _mm_srai_epi32(_mm_add_epi32(t10, odd3), kShift);
    out[7] = _mm_srai_epi32(_mm_sub_epi32(t10, odd3), kShift);
    out[1] = _mm_srai_epi32(_mm_add_epi32(t11, odd2), kShift);
    out[6] = _mm_srai_epi32(_mm_sub_epi32(t11, odd2), kShift);
    out[2] = _mm_srai_epi32(_mm_add_epi32(t12, odd1), kShift);
    out[5] = _mm_srai_epi32(_mm_sub_epi32(t12, odd1), kShift);
    out[3] = _mm_srai_epi32(_mm_add_epi32(t13, odd0), kShift);
    out[4] = _mm_srai_epi32(_mm_sub_epi32(t13, odd0), kShift);
}

// The 1-D IDCT across the vectors in[0..7] (input index j in vector j, 8 lanes of 16 bits);
// out[k] receives output k for the 8 lanes as 32-bit halves lo (lanes 0..3), hi (4..7).
template <int kShift>
inline void Idct8Lanes(const __m128i in[8], __m128i bias, __m128i lo[8], __m128i hi[8])
{
    Idct4Lanes<kShift>(_mm_unpacklo_epi16(in[0], in[4]), _mm_unpacklo_epi16(in[2], in[6]),
                       _mm_unpacklo_epi16(in[1], in[3]), _mm_unpacklo_epi16(in[5], in[7]), bias, lo);
    Idct4Lanes<kShift>(_mm_unpackhi_epi16(in[0], in[4]), _mm_unpackhi_epi16(in[2], in[6]),
                       _mm_unpackhi_epi16(in[1], in[3]), _mm_unpackhi_epi16(in[5], in[7]), bias, hi);
}

// Nonzero lanes where a 32-bit value lies outside the 16-bit range.
inline __m128i Outside16(__m128i v)
{
    return _mm_srli_epi32(_mm_add_epi32(v, _mm_set1_epi32(0x8000)), 16);
}


// AVX2: the same sums with the lanes of both halves (rows or columns 0..3 and 4..7) in one
// 256-bit register, so each pass takes half the multiply-adds. About 1.4x the SSE2 version.
#include <immintrin.h>

[[gnu::target("avx2")]] inline __m256i Weights256(int a, int b)
{
    return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint16_t>(a) | static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

[[gnu::target("avx2")]] inline __m256i Pair(__m128i a, __m128i b)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(a, b)), _mm_unpackhi_epi16(a, b), 1);
}

// Idct8Lanes with lo in the low and hi in the high half of out[k].
template <int kShift>
[[gnu::target("avx2")]] inline void Idct8LanesAvx2(const __m128i in[8], __m256i bias, __m256i out[8])
{
    const __m256i p04 = Pair(in[0], in[4]), p26 = Pair(in[2], in[6]);
    const __m256i p13 = Pair(in[1], in[3]), p57 = Pair(in[5], in[7]);
    const __m256i sum04 = _mm256_add_epi32(_mm256_madd_epi16(p04, Weights256(8192, 8192)), bias);
    const __m256i diff04 = _mm256_add_epi32(_mm256_madd_epi16(p04, Weights256(8192, -8192)), bias);
    const __m256i even3 = _mm256_madd_epi16(p26, Weights256(10703, 4433));
    const __m256i even2 = _mm256_madd_epi16(p26, Weights256(4433, -10704));
    const __m256i t10 = _mm256_add_epi32(sum04, even3);
    const __m256i t13 = _mm256_sub_epi32(sum04, even3);
    const __m256i t11 = _mm256_add_epi32(diff04, even2);
    const __m256i t12 = _mm256_sub_epi32(diff04, even2);
    const __m256i odd0 = _mm256_add_epi32(_mm256_madd_epi16(p13, Weights256(2260, -6436)), _mm256_madd_epi16(p57, Weights256(9633, -11363)));
    const __m256i odd1 = _mm256_add_epi32(_mm256_madd_epi16(p13, Weights256(6437, -11362)), _mm256_madd_epi16(p57, Weights256(2261, 9633)));
    const __m256i odd2 = _mm256_add_epi32(_mm256_madd_epi16(p13, Weights256(9633, -2259)), _mm256_madd_epi16(p57, Weights256(-11362, -6436)));
    const __m256i odd3 = _mm256_add_epi32(_mm256_madd_epi16(p13, Weights256(11363, 9633)), _mm256_madd_epi16(p57, Weights256(6437, 2260)));
    out[0] = _mm256_srai_epi32(_mm256_add_epi32(t10, odd3), kShift);
    out[7] = _mm256_srai_epi32(_mm256_sub_epi32(t10, odd3), kShift);
    out[1] = _mm256_srai_epi32(_mm256_add_epi32(t11, odd2), kShift);
    out[6] = _mm256_srai_epi32(_mm256_sub_epi32(t11, odd2), kShift);
    out[2] = _mm256_srai_epi32(_mm256_add_epi32(t12, odd1), kShift);
    out[5] = _mm256_srai_epi32(_mm256_sub_epi32(t12, odd1), kShift);
    out[3] = _mm256_srai_epi32(_mm256_add_epi32(t13, odd0), kShift);
    out[4] = _mm256_srai_epi32(_mm256_sub_epi32(t13, odd0), kShift);
}

// The eight 32-bit lanes packed to 16 bits, in order.
[[gnu::target("avx2")]] inline __m128i Pack16(__m256i v)
{
    return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Both passes from v[j] = coefficient j of every row (the first pass's input); `natural` gives
// the block in natural order to the scalar passes when a pass-1 value leaves 16 bits.
template <class Natural>
[[gnu::target("avx2")]] inline void PassesAvx2(__m128i v[8], int lastZigzag, uint8_t* out, int32_t stride,
                                               Natural natural)
{
    __m256i w[8];
    Idct8LanesAvx2<kConstBits - kPass1Bits>(v, _mm256_set1_epi32(1 << (kConstBits - kPass1Bits - 1)), w);
    __m256i outside = _mm256_setzero_si256();
    for (int k = 0; k < 8; ++k) {
        outside = _mm256_or_si256(outside, _mm256_srli_epi32(_mm256_add_epi32(w[k], _mm256_set1_epi32(0x8000)), 16));
        v[k] = Pack16(w[k]);
    }
    if (!_mm256_testz_si256(outside, outside)) {
        GJpegInverseDctScalar(natural(), lastZigzag, out, stride);
        return;
    }
    Transpose8x8(v);
    constexpr int kShift = kConstBits + kPass1Bits + 3;
    Idct8LanesAvx2<kShift>(v, _mm256_set1_epi32(1 << (kShift - 1)), w);
    // Four rows at a time: packed to 16 bits pairwise (row r's columns 0-3 and row r+1's in
    // the low half, their columns 4-7 in the high one), levelled, packed to bytes, and the
    // 4-byte halves of each row brought together, which saturates and wraps exactly as row by
    // row.
    const __m256i level = _mm256_set1_epi16(128);
    const __m256i rowOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    for (int r = 0; r < 8; r += 4) {
        const __m256i rows01 = _mm256_add_epi16(_mm256_packs_epi32(w[r], w[r + 1]), level);
        const __m256i rows23 = _mm256_add_epi16(_mm256_packs_epi32(w[r + 2], w[r + 3]), level);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(rows01, rows23), rowOrder);
        const __m128i low = _mm256_castsi256_si128(bytes), high = _mm256_extracti128_si256(bytes, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), low);
        _mm_storeh_pd(reinterpret_cast<double*>(out + (r + 1) * stride), _mm_castsi128_pd(low));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 2) * stride), high);
        _mm_storeh_pd(reinterpret_cast<double*>(out + (r + 3) * stride), _mm_castsi128_pd(high));
    }
}

[[gnu::target("avx2")]] void InverseDctAvx2(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride)
{
    if (lastZigzag <= 0) {
        GJpegInverseDctScalar(coefficients, 0, out, stride);
        return;
    }
    __m128i v[8];
    for (int r = 0; r < 8; ++r)
        v[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * r));
    Transpose8x8(v);
    PassesAvx2(v, lastZigzag, out, stride, [coefficients] { return coefficients; });
}

// Coefficients stored column by column need no transpose before the first pass; the rare
// block that leaves 16 bits is put back in natural order for the scalar passes.
[[gnu::target("avx2")]] void InverseDctTransposedAvx2(const int16_t* transposed, int lastZigzag, uint8_t* out,
                                                      int32_t stride)
{
    if (lastZigzag <= 0) {
        GJpegInverseDctScalar(transposed, 0, out, stride); // the DC term sits at 0 either way
        return;
    }
    __m128i v[8];
    for (int j = 0; j < 8; ++j)
        v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(transposed + 8 * j));
    alignas(16) int16_t natural[64];
    PassesAvx2(v, lastZigzag, out, stride, [&] {
        for (int r = 0; r < 8; ++r)
            for (int j = 0; j < 8; ++j)
                natural[8 * r + j] = transposed[8 * j + r];
        return natural;
    });
}

} // namespace

void GJpegInverseDct(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride)
{
    if (lastZigzag <= 0) {
        GJpegInverseDctScalar(coefficients, 0, out, stride);
        return;
    }
    __m128i v[8];
    for (int r = 0; r < 8; ++r)
        v[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * r));

    // Pass 1: rows. After the transpose v[j] holds coefficient j of every row.
    Transpose8x8(v);
    __m128i lo[8];
    __m128i hi[8];
    Idct8Lanes<kConstBits - kPass1Bits>(v, _mm_set1_epi32(1 << (kConstBits - kPass1Bits - 1)), lo, hi);
    __m128i outside = _mm_setzero_si128();
    for (int k = 0; k < 8; ++k) {
        outside = _mm_or_si128(outside, _mm_or_si128(Outside16(lo[k]), Outside16(hi[k])));
        v[k] = _mm_packs_epi32(lo[k], hi[k]);  // output k of rows 0..7
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) != 0xFFFF) {
        GJpegInverseDctScalar(coefficients, lastZigzag, out, stride);
        return;
    }

    // Pass 2: columns. After the transpose v[r] holds workspace row r.
    Transpose8x8(v);
    constexpr int kShift = kConstBits + kPass1Bits + 3;
    Idct8Lanes<kShift>(v, _mm_set1_epi32(1 << (kShift - 1)), lo, hi);
    const __m128i level = _mm_set1_epi16(128);
    for (int r = 0; r < 8; ++r) {
        // |value| < 2^13 here, so the 16-bit pack is exact and the byte pack is the clamp.
        const __m128i row = _mm_add_epi16(_mm_packs_epi32(lo[r], hi[r]), level);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), _mm_packus_epi16(row, row));
    }
}

GJpegInverseDctFn GJpegSelectInverseDct()
{
    return GetKernelIsa() == GKernelIsa::Avx2 ? InverseDctAvx2 : GJpegInverseDct;
}

GJpegInverseDctFn GJpegSelectTransposedInverseDct()
{
    return GetKernelIsa() == GKernelIsa::Avx2 ? InverseDctTransposedAvx2 : nullptr;
}

#else

void GJpegInverseDct(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride)
{
    GJpegInverseDctScalar(coefficients, lastZigzag, out, stride);
}

GJpegInverseDctFn GJpegSelectInverseDct() { return GJpegInverseDct; }

GJpegInverseDctFn GJpegSelectTransposedInverseDct() { return nullptr; }

#endif
