#pragma once
// Fixed-point and table math: comparisons and square roots of 24.8 values, a 24.8 vector,
// the two whole-degree sine tables (8.8 built at run time, 16.16 fixed) and an integer
// square root. Values are raw 24.8 integers (256 = 1.0), as GFixed holds them.
//
// Angles of any sign and size index the tables by their true remainder modulo 360, so
// Sin(-30) reads the entry of 330. Everything here is pure and thread-safe (the tables are
// built once, on first use).

#include <cstdint>

inline int FixedLess(int32_t a, int32_t b)
{
    return a < b;
}
inline int FixedLessEqual(int32_t a, int32_t b)
{
    return a <= b;
}
// Wraps like 32-bit arithmetic: the negation of INT32_MIN is INT32_MIN.
inline int32_t FixedNegate(int32_t v)
{
    return int32_t(0u - uint32_t(v));
}

// Square root of a 24.8 value as a 24.8 value; 0 for values below 1/256 (negatives too).
// Three Newton steps from a guess within a factor of two, carried in 64 bits so that the
// whole 32-bit input range works (the root of the largest input is about 741455, 2896.3).
int32_t FixedSqrt(int32_t x);
// The same rounded to whole-number precision: the result has a zero fraction.
int32_t FixedSqrtCoarse(int32_t x);

// Integer square root of an unsigned 32-bit value by three Newton steps after normalising.
// Exact up to about 1.8 million; above that the steps do not quite settle and the result is
// up to 20 above the exact root (never below it).
uint32_t ISqrt(uint32_t x);

// The index of a whole-degree angle in a 360-entry table: angle mod 360 in 0..359.
constexpr int32_t DegreeIndex(int64_t angle)
{
    const int64_t r = angle % 360;
    return int32_t(r < 0 ? r + 360 : r);
}

// 360 entries of 256 x sin(d degrees) truncated toward zero (8.8 fixed point): 0, 4, 8,
// 13 ... 256 at 90 ... -4 at 359. The half values are kept as the engine has always had them:
// 30 gives 128, 150 gives 127, 210 gives -128, 330 gives -127.
class GSinTable {
public:
    GSinTable();

    int32_t Sin(int32_t degrees) const { return m_table[DegreeIndex(degrees)]; }
    int32_t Cos(int32_t degrees) const { return m_table[DegreeIndex(int64_t(degrees) + 90)]; }
    int32_t Entry(int index) const { return m_table[index]; }

private:
    int32_t m_table[360];
};

// The process-wide table, built on first use.
const GSinTable& GetSinTable();

// 16.16 sine and cosine of whole degrees (65536 at 90). The half values are 32767 at 30 and
// 150, -32767 at 210 and -32768 at 330.
int32_t IntSin(int32_t degrees);
int32_t IntCos(int32_t degrees);

// Two 24.8 values.
struct GFixedVector {
    int32_t x = 0;
    int32_t y = 0;

    void Assign(const GFixedVector& other) { *this = other; }
    void Set(int32_t nx, int32_t ny)
    {
        x = nx;
        y = ny;
    }
    // (v.x * factor >> 8, v.y * factor >> 8); products in 64 bits, results wrap to 32.
    static GFixedVector Scale(int32_t factor, const GFixedVector& v);
    // Turns the vector by whole degrees through the 8.8 table: x' = (x c >> 8) + (y s >> 8),
    // y' = (-(x s) >> 8) + (y c >> 8). On a screen whose y axis points down a positive angle
    // turns counter-clockwise. Returns the new value.
    GFixedVector Rotate(int32_t degrees);
};
