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
// Overflow: coefficients are signed 16-bit, |c| <= 2^15. The largest intermediate of a pass is
// below 8 * 2^15 * 25172 * 2 ~ 1.3e10 in pass 1; pass 1 outputs stay below 2^21, and pass 2
// intermediates below 2^21 * 8 * 25172 * 2 ~ 8.5e11. Valid 8-bit JPEG data stays within 32
// bits (|c| < 2^11 + q/2), but damaged data may use the whole 16-bit range, so the arithmetic
// is 64-bit (as wide and as fast as 32-bit in scalar x86-64 code). The workspace between the
// passes holds the descaled pass-1 results in 32 bits.
//
// Rows are transformed first, then columns (a valid order for a separable transform; the
// rounding of pass 1 makes the result differ from column-first code by at most 1 now and
// then). Rows past the last nonzero one are skipped, and when all nonzero coefficients lie
// in the upper-left 4x4 corner both passes use a variant with inputs 4..7 known to be zero,
// which the compiler folds away. Blocks with only a DC term are one shift and a fill.

#include "graphics/jpeg_idct.h"

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
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// One 1-D IDCT, results scaled by 2^CONST_BITS * sqrt(8) (not yet descaled).
inline void Idct1d(int64_t in0, int64_t in1, int64_t in2, int64_t in3, int64_t in4, int64_t in5,
                   int64_t in6, int64_t in7, int64_t out[8])
{
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

    out[0] = t10 + odd3;
    out[7] = t10 - odd3;
    out[1] = t11 + odd2;
    out[6] = t11 - odd2;
    out[2] = t12 + odd1;
    out[5] = t12 - odd1;
    out[3] = t13 + odd0;
    out[4] = t13 - odd0;
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
        int64_t out[8];
        if (kRightZero)
            Idct1d(c[0], c[1], c[2], c[3], 0, 0, 0, 0, out);
        else
            Idct1d(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], out);
        for (int i = 0; i < 8; ++i)
            ws[i] = static_cast<int32_t>((out[i] + kRound) >> kShift);
    }
}

// Pass 2 over the 8 columns; rows 4..7 of the workspace are zero when kLowerZero.
template <bool kLowerZero>
void ColumnPass(const int32_t* ws, uint8_t* out, int32_t stride)
{
    constexpr int kShift = kConstBits + kPass1Bits + 3;
    constexpr int64_t kRound = int64_t{1} << (kShift - 1);
    for (int col = 0; col < 8; ++col, ++ws) {
        const bool acZero = kLowerZero ? (ws[8] | ws[16] | ws[24]) == 0
                                       : (ws[8] | ws[16] | ws[24] | ws[32] | ws[40] | ws[48] | ws[56]) == 0;
        if (acZero) {
            const uint8_t v = ClampSample(((int64_t{ws[0]} + 16) >> (kPass1Bits + 3)) + 128);
            for (int r = 0; r < 8; ++r)
                out[r * stride + col] = v;
            continue;
        }
        int64_t t[8];
        if (kLowerZero)
            Idct1d(ws[0], ws[8], ws[16], ws[24], 0, 0, 0, 0, t);
        else
            Idct1d(ws[0], ws[8], ws[16], ws[24], ws[32], ws[40], ws[48], ws[56], t);
        for (int r = 0; r < 8; ++r)
            out[r * stride + col] = ClampSample(((t[r] + kRound) >> kShift) + 128);
    }
}

} // namespace

void GJpegInverseDct(const int16_t* coefficients, int lastZigzag, uint8_t* out, int32_t stride)
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
    if (lastRow < 7)
        std::memset(ws + 8 * (lastRow + 1), 0, sizeof(int32_t) * 8 * (7 - lastRow));

    if (lastRow < 4)
        ColumnPass<true>(ws, out, stride);
    else
        ColumnPass<false>(ws, out, stride);
}
