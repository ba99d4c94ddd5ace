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
    // sin(-30) = -sin(30) = cos(-120); -32768 = -92 * 360 + 352.
    EXPECT_EQ(std::make_tuple(t.Cos(0), t.Sin(390), t.Sin(360), t.Sin(-30), t.Sin(-90), t.Cos(-120), t.Cos(-180),
                              t.Sin(-360)),
              std::make_tuple(256, 128, 0, -127, -256, -127, -256, 0));
    EXPECT_EQ(DegreeIndex(-32768), 352);
    EXPECT_EQ(t.Sin(-32768), t.Entry(352));
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
    // Below the old bounds the index used to go negative; now the angle wraps.
    EXPECT_EQ(std::make_tuple(IntCos(0), IntCos(-90), IntSin(-90), IntCos(-180), IntSin(-1)),
              std::make_tuple(65536, 0, -65536, -65536, IntSin(359)));
    EXPECT_EQ(IntSin(INT32_MIN), IntSin(DegreeIndex(INT32_MIN)));
    EXPECT_EQ(IntCos(INT32_MAX), IntSin(DegreeIndex(int64_t(INT32_MAX) + 90)));
}

TEST(FixedMathTest, FixedSqrtEdgesAndRange) {
    // 4.0 -> 2.0, 256.0 -> 16.0, 1/256 -> 1/16 through the reciprocal; nothing below 0.
    const std::pair<int32_t, int32_t> roots[] = {{1024, 512}, {0, 0}, {-1, 0}, {INT32_MIN, 0}, {65536, 4096}, {1, 16}};
    for (auto [x, root] : roots)
        EXPECT_EQ(FixedSqrt(x), root) << x;
    // The top of the range used to overflow the 32-bit working value.
    EXPECT_NEAR(FixedSqrt(INT32_MAX), std::sqrt(double(INT32_MAX) * 256.0), 2.0);
    EXPECT_GT(FixedSqrt(INT32_MAX), FixedSqrt(INT32_MAX / 4));
    // Across the range, within a small relative error of the true root.
    for (int64_t x = 1; x <= INT32_MAX; x = x * 3 / 2 + 1) {
        const double exact = std::sqrt(double(x) * 256.0);
        EXPECT_NEAR(FixedSqrt(int32_t(x)), exact, std::max(2.0, exact * 0.01)) << x;
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
        const uint32_t exact = uint32_t(std::sqrt(double(x))), got = ISqrt(uint32_t(x));
        EXPECT_TRUE(got >= exact && got <= exact + 20) << x << ": " << got;
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
    GFixedVector copy;
    copy.Assign(r);
    EXPECT_EQ(std::make_pair(copy.x, copy.y), std::make_pair(0, 256));
}

TEST(FloatGeometryTest, VectorOperations) {
    GVector2 v(3.0f, 4.0f);
    // Projecting on no direction and dividing by 0 give 0, not a division by zero.
    EXPECT_EQ(std::make_tuple(v.Length(), v.Project(1.0f, 0.0f), v.Project(0.0f, 0.0f), v.Cross(1.0f, 0.0f),
                              GVector2::Divide(v, 2.0f).x, GVector2::Divide(v, 2.0f).y, GVector2::Divide(v, 0.0f).x),
              std::make_tuple(5.0f, 3.0f, 0.0f, -4.0f, 1.5f, 2.0f, 0.0f));
    v -= GVector2(1.0f, 1.0f);
    EXPECT_EQ(std::make_tuple(v.x, (v + GVector2(1, 1)).y, FloatSqrt(2.25f)), std::make_tuple(2.0f, 4.0f, 1.5f));
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
    // -270 is the same turn as 90.
    const std::tuple<int, GVector2, int> points[] = {{0, {11.5f, 10.5f}, 1},  {0, {10, 11.5f}, 0},
                                                     {90, {10.5f, 11.5f}, 1}, {-270, {10.5f, 11.5f}, 1},
                                                     {90, {11.5f, 10.5f}, 0}};
    for (auto [angle, point, inside] : points)
        EXPECT_EQ(PointInRotatedRect(centre, size, angle, point), inside) << angle << " " << point.x << "," << point.y;

    // Wound so that inside points give negative values for every edge.
    const GVector2 square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    // Inside, outside, on an edge; no polygon at all.
    EXPECT_EQ(std::make_tuple(PointInConvexPolygon(2, 2, square, 4), PointInConvexPolygon(5, 2, square, 4),
                              PointInConvexPolygon(0, 2, square, 4), PointInConvexPolygon(99, 99, nullptr, 0)),
              std::make_tuple(1, 0, 0, 1));
}

TEST(FloatGeometryTest, Polygon) {
    GPolygon p;
    EXPECT_EQ(p.AddPoint(1, 1), 0); // no room yet: the count
    EXPECT_TRUE(p.Reserve(3));
    EXPECT_TRUE(p.Reserve(10)); // only the first reserve allocates
    EXPECT_EQ(p.GetCapacity(), 3);
    // The last one does not fit: the count.
    for (auto [x, y, index] : {std::tuple{1, 5, 0}, {-2, 3, 1}, {4, -1, 2}, {9, 9, 3}})
        EXPECT_EQ(p.AddPoint(float(x), float(y)), index);
    EXPECT_EQ(p.GetCount(), 3);
    p.UpdateBounds();
    EXPECT_EQ(std::make_tuple(p.GetMinX(), p.GetMinY(), p.GetMaxX(), p.GetMaxY()), std::make_tuple(-2.0f, -1.0f, 4.0f, 5.0f));
}
