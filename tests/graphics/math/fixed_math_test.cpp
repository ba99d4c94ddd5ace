#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "graphics/math/fixed_math.h"
#include "graphics/math/geometry.h"
#include "graphics/math/vector2.h"

TEST(FixedMathTest, ComparisonsAndNegation) {
    EXPECT_EQ(std::make_tuple(FixedLess(-1, 0), FixedLess(0, 0), FixedLessEqual(0, 0), FixedLessEqual(INT32_MIN, INT32_MAX)),
              std::make_tuple(1, 0, 1, 1));
    EXPECT_EQ(FixedNegate(256), -256);
    EXPECT_EQ(FixedNegate(INT32_MIN), INT32_MIN); // wraps, no overflow trap
}

// Table values (it rounds, so sin 30 and sin 150 differ by one); negative and large angles
// wrap modulo 360.
TEST(FixedMathTest, SinTableValuesAndWrapping) {
    const GSinTable& t = GetSinTable();
    const std::pair<int, int32_t> entries[] = {{0, 0},    {1, 4},    {2, 8},      {3, 13},   {4, 17},   {5, 22},
                                               {6, 26},   {7, 31},   {8, 35},     {9, 40},   {90, 256}, {180, 0},
                                               {270, -256}, {359, -4}, {30, 128}, {150, 127}, {210, -128}, {330, -127}};
    for (auto [degree, value] : entries)
        EXPECT_EQ(t.Entry(degree), value) << degree;
    EXPECT_EQ(t.Cos(0), 256);
    EXPECT_EQ(t.Sin(390), 128);
    EXPECT_EQ(t.Sin(360), 0);
    EXPECT_EQ(t.Sin(-30), t.Entry(330)); // sin(-30) = -sin(30)
    EXPECT_LT(t.Sin(-30), 0);
    EXPECT_EQ(t.Sin(-90), -256);
    EXPECT_EQ(t.Cos(-120), t.Entry(330)); // cos(-120) = -0.5
    EXPECT_EQ(t.Cos(-180), -256);
    EXPECT_EQ(t.Sin(-360), 0);
    EXPECT_EQ(t.Sin(-32768), t.Entry(DegreeIndex(-32768)));
    EXPECT_EQ(DegreeIndex(-32768), 352); // -32768 = -92 * 360 + 352
    EXPECT_EQ(t.Sin(INT32_MIN), t.Entry(DegreeIndex(INT32_MIN)));
    EXPECT_EQ(t.Cos(INT32_MAX), t.Entry(DegreeIndex(int64_t(INT32_MAX) + 90)));
    for (int a = -1000; a <= 1000; a += 7) {
        EXPECT_NEAR(t.Sin(a) / 256.0, std::sin(a * M_PI / 180.0), 0.01) << a;
        EXPECT_NEAR(t.Cos(a) / 256.0, std::cos(a * M_PI / 180.0), 0.01) << a;
    }
}

TEST(FixedMathTest, IntegerSineTable) {
    const std::pair<int, int32_t> entries[] = {{0, 0},         {90, 65536},     {270, -65536},
                                               {30, 32767},    {150, 32767},    {210, -32767},
                                               {330, -32768}, {1, 1143}};
    for (auto [degree, value] : entries)
        EXPECT_EQ(IntSin(degree), value) << degree;
    EXPECT_EQ(IntCos(0), 65536);
    EXPECT_EQ(IntCos(-90), 0);
    // Below the old bounds the index used to go negative; now the angle wraps.
    EXPECT_EQ(IntSin(-90), -65536);
    EXPECT_EQ(IntCos(-180), -65536);
    EXPECT_EQ(IntSin(-1), IntSin(359));
    EXPECT_EQ(IntSin(INT32_MIN), IntSin(DegreeIndex(INT32_MIN)));
    EXPECT_EQ(IntCos(INT32_MAX), IntSin(DegreeIndex(int64_t(INT32_MAX) + 90)));
}

TEST(FixedMathTest, FixedSqrtEdgesAndRange) {
    // 4.0 -> 2.0, 256.0 -> 16.0, 1/256 -> 1/16 through the reciprocal; nothing below 0.
    const std::pair<int32_t, int32_t> roots[] = {{1024, 512}, {0, 0}, {-1, 0}, {INT32_MIN, 0}, {65536, 4096}, {1, 16}};
    for (auto [x, root] : roots)
        EXPECT_EQ(FixedSqrt(x), root) << x;
    // The top of the range used to overflow the 32-bit working value.
    const double top = std::sqrt(double(INT32_MAX) * 256.0);
    EXPECT_NEAR(FixedSqrt(INT32_MAX), top, 2.0);
    EXPECT_GT(FixedSqrt(INT32_MAX), FixedSqrt(INT32_MAX / 4));
    // Across the range, within a small relative error of the true root.
    for (int64_t x = 1; x <= INT32_MAX; x = x * 3 / 2 + 1) {
        const double exact = std::sqrt(double(x) * 256.0);
        const int32_t got = FixedSqrt(int32_t(x));
        EXPECT_NEAR(got, exact, std::max(2.0, exact * 0.01)) << x;
    }
}

TEST(FixedMathTest, FixedSqrtCoarseHasNoFraction) {
    // 100 and 127 round to 0: they used to divide by zero.
    const std::pair<int32_t, int32_t> roots[] = {{1024, 512}, {0, 0}, {-5, 0}, {100, 0}, {127, 0}, {128, 256},
                                                 {100 * 256, 10 * 256}};
    for (auto [x, root] : roots)
        EXPECT_EQ(FixedSqrtCoarse(x), root) << x;
    const int32_t top = FixedSqrtCoarse(INT32_MAX);
    EXPECT_EQ(top & 255, 0);
    EXPECT_NEAR(top / 256.0, std::sqrt(INT32_MAX / 256.0), 30.0);
    for (int64_t x = 1024; x <= INT32_MAX; x = x * 3 / 2 + 1)
        EXPECT_EQ(FixedSqrtCoarse(int32_t(x)) & 255, 0) << x;
}

TEST(FixedMathTest, ISqrt) {
    EXPECT_EQ(std::make_tuple(ISqrt(0), ISqrt(1), ISqrt(4), ISqrt(1000000)), std::make_tuple(0u, 1u, 2u, 1000u));
    for (uint32_t x = 1; x < 1800000; x += 97)
        EXPECT_EQ(ISqrt(x), uint32_t(std::sqrt(double(x)))) << x;
    // Higher up three Newton steps do not settle: the result lies a little above the exact
    // root, never below it.
    for (uint64_t x = 1800000; x <= UINT32_MAX; x = x * 5 / 4 + 13) {
        const uint32_t exact = uint32_t(std::sqrt(double(x)));
        EXPECT_GE(ISqrt(uint32_t(x)), exact) << x;
        EXPECT_LE(ISqrt(uint32_t(x)), exact + 20) << x;
    }
    EXPECT_GT(ISqrt(UINT32_MAX), 65535u);
}

TEST(FixedMathTest, FixedVectorScaleAndRotate) {
    GFixedVector v;
    v.Set(512, -256);
    const GFixedVector half = GFixedVector::Scale(128, v);
    EXPECT_EQ(std::make_pair(half.x, half.y), std::make_pair(256, -128));
    const GFixedVector big = GFixedVector::Scale(INT32_MAX, v); // 64-bit product
    EXPECT_EQ(big.x, int32_t((int64_t(512) * INT32_MAX) >> 8));

    GFixedVector r;
    r.Set(256, 0);
    const GFixedVector turned = r.Rotate(90);
    EXPECT_EQ(std::make_tuple(turned.x, turned.y, r.y), std::make_tuple(0, -256, -256));
    r.Set(256, 0);
    r.Rotate(-90);
    EXPECT_EQ(std::make_pair(r.x, r.y), std::make_pair(0, 256));
    GFixedVector copy;
    copy.Assign(r);
    EXPECT_EQ(copy.y, 256);
}

TEST(FloatGeometryTest, VectorOperations) {
    GVector2 v(3.0f, 4.0f);
    EXPECT_FLOAT_EQ(v.Length(), 5.0f);
    EXPECT_FLOAT_EQ(v.Project(1.0f, 0.0f), 3.0f);
    EXPECT_FLOAT_EQ(v.Project(0.0f, 0.0f), 0.0f); // no direction: no division by zero
    EXPECT_FLOAT_EQ(v.Cross(1.0f, 0.0f), -4.0f);
    const GVector2 d = GVector2::Divide(v, 2.0f);
    EXPECT_EQ(std::make_pair(d.x, d.y), std::make_pair(1.5f, 2.0f));
    EXPECT_EQ(GVector2::Divide(v, 0.0f).x, 0.0f);
    v -= GVector2(1.0f, 1.0f);
    EXPECT_FLOAT_EQ(v.x, 2.0f);
    EXPECT_FLOAT_EQ((v + GVector2(1, 1)).y, 4.0f);
    EXPECT_FLOAT_EQ(FloatSqrt(2.25f), 1.5f);
    EXPECT_EQ(std::make_tuple(FloatSin(360), FloatSin(90), FloatCos(0), FloatSin(-90)), std::make_tuple(0.0f, 1.0f, 1.0f, -1.0f));
}

TEST(FloatGeometryTest, SegmentsIntersect) {
    GVector2 out(-7, -7);
    // General case: two diagonals of a square cross in its middle.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {4, 4}, {0, 4}, {4, 0}, out), 1);
    EXPECT_EQ(std::make_pair(out.x, out.y), std::make_pair(2.0f, 2.0f));
    // Vertical against horizontal.
    EXPECT_EQ(SegmentsIntersect({1, -1}, {1, 5}, {-2, 3}, {6, 3}, out), 1);
    EXPECT_EQ(std::make_pair(out.x, out.y), std::make_pair(1.0f, 3.0f));
    // Lines cross outside the second segment.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {4, 4}, {10, 0}, {9, 1}, out), 0);
    // Parallel.
    out.Set(-7, -7);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {4, 0}, {0, 1}, {4, 1}, out), 0);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {2, 2}, {0, 1}, {2, 3}, out), 0);
    EXPECT_EQ(out.x, -7.0f);
    // A segment of no length.
    EXPECT_EQ(SegmentsIntersect({1, 1}, {1, 1}, {0, 0}, {2, 2}, out), 0);
}

TEST(FloatGeometryTest, PointInRotatedRectAndPolygon) {
    const GVector2 centre(10, 10);
    const GVector2 size(4, 2);
    EXPECT_EQ(PointInRotatedRect(centre, size, 0, {11.5f, 10.5f}), 1);
    EXPECT_EQ(PointInRotatedRect(centre, size, 0, {10, 11.5f}), 0);
    EXPECT_EQ(PointInRotatedRect(centre, size, 90, {10.5f, 11.5f}), 1);
    EXPECT_EQ(PointInRotatedRect(centre, size, -270, {10.5f, 11.5f}), 1); // same turn
    EXPECT_EQ(PointInRotatedRect(centre, size, 90, {11.5f, 10.5f}), 0);

    // Wound so that inside points give negative values for every edge.
    const GVector2 square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    EXPECT_EQ(PointInConvexPolygon(2, 2, square, 4), 1);
    EXPECT_EQ(PointInConvexPolygon(5, 2, square, 4), 0);
    EXPECT_EQ(PointInConvexPolygon(0, 2, square, 4), 0); // on an edge
    EXPECT_EQ(PointInConvexPolygon(99, 99, nullptr, 0), 1);
}

TEST(FloatGeometryTest, Polygon) {
    GPolygon p;
    EXPECT_EQ(p.AddPoint(1, 1), 0); // no room yet: the count
    EXPECT_TRUE(p.Reserve(3));
    EXPECT_TRUE(p.Reserve(10)); // only the first reserve allocates
    EXPECT_EQ(p.GetCapacity(), 3);
    EXPECT_EQ(p.AddPoint(1, 5), 0);
    EXPECT_EQ(p.AddPoint(-2, 3), 1);
    EXPECT_EQ(p.AddPoint(4, -1), 2);
    EXPECT_EQ(p.AddPoint(9, 9), 3); // full: the count
    EXPECT_EQ(p.GetCount(), 3);
    p.UpdateBounds();
    EXPECT_EQ(std::make_tuple(p.GetMinX(), p.GetMinY(), p.GetMaxX(), p.GetMaxY()), std::make_tuple(-2.0f, -1.0f, 4.0f, 5.0f));
}
