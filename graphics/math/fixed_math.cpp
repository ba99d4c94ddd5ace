#include "graphics/math/fixed_math.h"

#include <cmath>

namespace {

// The sine of whole degrees, exact at the multiples of 90 (sin(pi) in doubles is not 0).
double SinDegrees(int d)
{
    switch (d) {
    case 0:
    case 180:
        return 0.0;
    case 90:
        return 1.0;
    case 270:
        return -1.0;
    default:
        return std::sin(d * (3.14159265358979323846 / 180.0));
    }
}

struct IntSinTable {
    int32_t entries[360];
    IntSinTable()
    {
        for (int d = 0; d < 360; ++d) {
            entries[d] = int32_t(65536.0 * SinDegrees(d));
        }
        entries[30] = 32767;
        entries[150] = 32767;
        entries[210] = -32767;
        entries[330] = -32768;
    }
};

const IntSinTable& GetIntSinTable()
{
    static const IntSinTable table;
    return table;
}

// Guess of the root of a 24.8 value of 1024 (4.0) or more: 256 << k, within a factor of two.
int SqrtGuessShift(int32_t x)
{
    const int32_t n = x >> 8;
    int k = 0;
    int32_t m = n;
    if (n > 65535) {
        k = 8;
        m = x >> 24;
    }
    if (m > 255) {
        k = n > 65535 ? 12 : 4;
        m >>= 8;
    }
    if (m > 15) {
        k += 2;
        m >>= 4;
    }
    if (m > 3) {
        k += 1;
    }
    return k;
}

} // namespace

int32_t FixedSqrt(int32_t x)
{
    if (x < 1) {
        return 0;
    }
    if (x < 64) {
        // Below 0.25 the Newton steps lose the fraction: take the root of the reciprocal.
        return 65536 / FixedSqrt(65536 / x);
    }
    int64_t g = x < 1024 ? x : int64_t(256) << SqrtGuessShift(x);
    const int64_t big = int64_t(x) << 8; // x in 16.16 scaling: sqrt of it is 24.8
    for (int step = 0; step < 3; ++step) {
        g = (big / g + g) / 2;
    }
    return int32_t(g);
}

int32_t FixedSqrtCoarse(int32_t x)
{
    if (x < 1) {
        return 0;
    }
    if (x < 64) {
        return 65536 / FixedSqrt(65536 / x);
    }
    const int64_t n = (int64_t(x) + 128) >> 8;
    if (n == 0) {
        return 0; // below 0.5 the rounded value is 0, and a guess of 0 would divide by it
    }
    int64_t g = x >= 1024 ? int64_t(1) << SqrtGuessShift(x) : n;
    for (int step = 0; step < 5; ++step) {
        g = (n / g + g) / 2;
    }
    return int32_t(g << 8);
}

uint32_t ISqrt(uint32_t x)
{
    if (x == 0) {
        return 0;
    }
    // Shift v up to at least 2^29 so the first guess v >> 15 is close to sqrt(v); the
    // result is shifted back by half of what v was shifted (plus the guess's own scale).
    uint32_t s = 1;
    uint32_t v = x;
    if (v < (1u << 15)) {
        v <<= 16;
        s = 9;
    }
    if (v < (1u << 23)) {
        v <<= 8;
        s += 4;
    }
    if (v < (1u << 27)) {
        v <<= 4;
        s += 2;
    }
    if (v < (1u << 29)) {
        v <<= 2;
        s += 1;
    }
    uint32_t g = v >> 15;
    g = (v / g + g) >> 1;
    g = (v / g + g) >> 1;
    return (v / g + g) >> s;
}

GSinTable::GSinTable()
{
    for (int d = 0; d < 360; ++d) {
        m_table[d] = int32_t(256.0 * SinDegrees(d));
    }
    m_table[30] = 128;
    m_table[150] = 127;
    m_table[210] = -128;
    m_table[330] = -127;
}

const GSinTable& GetSinTable()
{
    static const GSinTable table;
    return table;
}

int32_t IntSin(int32_t degrees)
{
    return GetIntSinTable().entries[DegreeIndex(degrees)];
}

int32_t IntCos(int32_t degrees)
{
    return GetIntSinTable().entries[DegreeIndex(int64_t(degrees) + 90)];
}

GFixedVector GFixedVector::Scale(int32_t factor, const GFixedVector& v)
{
    GFixedVector r;
    r.x = int32_t((int64_t(v.x) * factor) >> 8);
    r.y = int32_t((int64_t(v.y) * factor) >> 8);
    return r;
}

GFixedVector GFixedVector::Rotate(int32_t degrees)
{
    const GSinTable& table = GetSinTable();
    const int64_t c = table.Cos(degrees);
    const int64_t s = table.Sin(degrees);
    const int64_t nx = ((x * c) >> 8) + ((y * s) >> 8);
    const int64_t ny = ((-(x * s)) >> 8) + ((y * c) >> 8);
    x = int32_t(nx);
    y = int32_t(ny);
    return *this;
}
