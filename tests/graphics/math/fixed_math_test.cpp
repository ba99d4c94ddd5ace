#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/kernels.h"
#include "graphics/math/fixed_math.h"
#include "graphics/math/geometry.h"
#include "graphics/math/rotation.h"
#include "graphics/math/vector2.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "support/font_sheets.h"

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
}

TEST(FloatGeometryTest, SegmentsIntersect) {
    // Crossing diagonals, vertical against horizontal; no point for lines crossing outside the
    // second segment, parallel ones (out left alone) and a segment of no length.
    const std::tuple<GVector2, GVector2, GVector2, GVector2, int, GVector2> cases[] = {
        {{0, 0}, {4, 4}, {0, 4}, {4, 0}, 1, {2, 2}},      {{1, -1}, {1, 5}, {-2, 3}, {6, 3}, 1, {1, 3}},
        {{0, 0}, {4, 4}, {10, 0}, {9, 1}, 0, {}},        {{0, 0}, {4, 0}, {0, 1}, {4, 1}, 0, {-7, -7}},
        {{0, 0}, {2, 2}, {0, 1}, {2, 3}, 0, {-7, -7}},  {{1, 1}, {1, 1}, {0, 0}, {2, 2}, 0, {}}};
    for (const auto& [a, b, c, d, crosses, point] : cases) {
        GVector2 out(-7, -7);
        EXPECT_EQ(SegmentsIntersect(a, b, c, d, out), crosses) << a.x << "," << a.y << " " << c.x << "," << c.y;
        EXPECT_TRUE((point.x == 0 && point.y == 0) || (out.x == point.x && out.y == point.y)) << c.x << "," << c.y;
    }
}

// Segments between grid points, many axis-parallel, against the exact solution of
// p0 + t (p1 - p0) = p2 + u (p3 - p2): they meet when the directions are not parallel and t, u
// lie in [0, 1]; the point found is that one. Ends touching exactly are left to the table above.
TEST(FloatGeometryTest, SegmentsIntersectLikeTheExactSolution)
{
    std::mt19937 rng(11);
    int met = 0;
    for (int i = 0; i < 4000; ++i) {
        auto coordinate = [&] { return int(rng() % 9) - 4; };
        int v[8];
        for (int& c : v)
            c = coordinate();
        // Each segment slanted, vertical or horizontal, in every pairing.
        for (int segment : {0, 1})
            if (const int kind = (i >> (2 * segment)) % 4; kind == 1 || kind == 2)
                v[4 * segment + 2 + (kind - 1)] = v[4 * segment + (kind - 1)];
        const int d1x = v[2] - v[0], d1y = v[3] - v[1], d2x = v[6] - v[4], d2y = v[7] - v[5];
        const int denominator = d1x * d2y - d1y * d2x;
        const int ex = v[4] - v[0], ey = v[5] - v[1];
        const int tn = ex * d2y - ey * d2x, un = ex * d1y - ey * d1x;
        if (denominator != 0 && (tn == 0 || un == 0 || tn == denominator || un == denominator))
            continue; // an end on the other segment
        const bool within =
            denominator != 0 &&
            (denominator > 0 ? tn > 0 && tn < denominator && un > 0 && un < denominator
                             : tn < 0 && tn > denominator && un < 0 && un > denominator);
        GVector2 out(-99, -99);
        const GVector2 p0{float(v[0]), float(v[1])}, p1{float(v[2]), float(v[3])};
        const GVector2 p2{float(v[4]), float(v[5])}, p3{float(v[6]), float(v[7])};
        SCOPED_TRACE(testing::Message()
                     << v[0] << "," << v[1] << " " << v[2] << "," << v[3] << " x " << v[4] << ","
                     << v[5] << " " << v[6] << "," << v[7]);
        ASSERT_EQ(SegmentsIntersect(p0, p1, p2, p3, out), within ? 1 : 0);
        if (denominator != 0) {
            met += within;
            const double t = double(tn) / denominator;
            EXPECT_NEAR(out.x, v[0] + t * d1x, 1e-4);
            EXPECT_NEAR(out.y, v[1] + t * d1y, 1e-4);
        }
    }
    EXPECT_GT(met, 200);
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

// Convex polygons wound like the square above, against an even-odd ray cast: every edge
// counts, whichever comes first in the list (points near an edge are left out).
TEST(FloatGeometryTest, PointInConvexPolygonAgreesWithARayCast)
{
    std::mt19937 rng(47);
    for (int i = 0; i < 300; ++i) {
        std::vector<double> angles(3 + rng() % 6);
        for (double& a : angles)
            a = (rng() % 3600) / 3600.0 * 2 * M_PI;
        std::sort(angles.begin(), angles.end());
        std::vector<GVector2> poly;
        for (double a : angles)
            poly.emplace_back(float(10 + 8 * std::cos(a)), float(10 + 8 * std::sin(a)));
        std::rotate(poly.begin(), poly.begin() + std::ptrdiff_t(rng() % poly.size()), poly.end());
        for (int k = 0; k < 50; ++k) {
            const double x = (rng() % 2000) / 100.0, y = (rng() % 2000) / 100.0;
            bool inside = false, near = false;
            for (size_t e = 0; e < poly.size(); ++e) {
                const GVector2& a = poly[e];
                const GVector2& b = poly[(e + 1) % poly.size()];
                const double length = std::hypot(double(b.x) - a.x, double(b.y) - a.y);
                const double distance = std::abs((double(b.y) - a.y) * (x - a.x) - (y - a.y) * (double(b.x) - a.x));
                near |= length == 0 || distance / length < 1e-3;
                if ((a.y > y) != (b.y > y) && x < (double(b.x) - a.x) * (y - a.y) / (double(b.y) - a.y) + a.x)
                    inside = !inside;
            }
            if (near)
                continue;
            ASSERT_EQ(PointInConvexPolygon(float(x), float(y), poly.data(), int(poly.size())), inside ? 1 : 0)
                << i << ": " << x << "," << y;
        }
    }
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

// ---- rotation ----
namespace {

std::unique_ptr<GBitmap> Image(int16_t w, int16_t h, uint8_t format, uint32_t seed) {
    std::unique_ptr<GBitmap> image(GBitmap::Create(w, h, 0, format));
    std::mt19937 rng(seed);
    for (int i = 0; i < w * h * 3; ++i)
        image->GetPixels()[i] = uint8_t(rng());
    for (int i = 0; image->GetAlpha() && i < w * h; ++i)
        image->GetAlpha()[i] = rng() % 5 == 0 ? 255 : (rng() % 5 == 0 ? uint8_t(rng()) : 0);
    return image;
}

bool Same(const GBitmap& a, const GBitmap& b) {
    return std::memcmp(a.GetPixels(), b.GetPixels(), size_t(a.GetPitch()) * a.GetHeight()) == 0;
}

TEST(VectorRotationTest, QuarterTurnsAndNegativeAngles) {
    const int32_t cases[][3] = {{90, 0, -1}, {0, 1, 0}, {-90, 0, 1}, {180, -1, 0}, {-270, 0, -1}, {450, 0, -1}};
    for (const auto& c : cases) {
        GVector2 v(1, 0);
        v.Rotate(c[0]);
        EXPECT_TRUE(v.x == float(c[1]) && v.y == float(c[2])) << c[0] << ": " << v.x << "," << v.y;
    }
    EXPECT_EQ(std::make_tuple(FloatSin(360), FloatSin(90), FloatSin(-90), FloatCos(0), FloatSin(-30), FloatCos(-180)),
              std::make_tuple(0.0f, 1.0f, -1.0f, 1.0f, -0.5f, -1.0f));
}

TEST(RotationTest, BoxesOfQuarterTurns) {
    GRotatedBox box;
    ASSERT_TRUE(GetRotatedBox(10, 6, 90, -1, -1, box));
    EXPECT_TRUE(box.left == 2 && box.top == -2 && box.width == 6 && box.height == 10);
    ASSERT_TRUE(GetRotatedBox(10, 6, 0, 0, 0, box));
    EXPECT_TRUE(box.left == 0 && box.top == 0 && box.width == 10 && box.height == 6);
    ASSERT_TRUE(GetRotatedBox(10, 6, 45, 0, 0, box));
    EXPECT_EQ(box.width, 13); // x from -4.24 to 7.07, widened to whole pixels
    EXPECT_FALSE(GetRotatedBox(0, 6, 45, 0, 0, box));
}

TEST(RotationTest, CopyThenMaskBlitEqualsTheDraw) {
    const auto pool = tolvanrise::test::MakePoolStore(4);
    GGraphicsResources& store = *pool;
    auto source = Image(23, 17, 2, 3);
    const GRect clip{3, 2, 40, 30};
    for (int degrees : {0, 30, 90, 135, -60, 300}) {
        int16_t slot = -1;
        ASSERT_EQ(RotateCopy(store, source.get(), degrees, 5, 4, &slot), 1);
        const GBitmap* turned = store.GetPool()->GetBitmap(slot);
        ASSERT_NE(turned, nullptr);
        auto viaCopy = Image(48, 36, 0, 9), direct = Image(48, 36, 0, 9);
        BlitMask(viaCopy.get(), turned, -2, 3, &clip);
        DrawRotatedBilinear(direct.get(), source.get(), -2, 3, degrees, 5, 4, &clip);
        EXPECT_TRUE(Same(*viaCopy, *direct)) << degrees;
        // The float walk lands on the same source pixels almost everywhere.
        auto floating = Image(48, 36, 0, 9);
        DrawRotatedFloat(floating.get(), source.get(), -2, 3, degrees, 5, 4, &clip);
        int differing = 0;
        for (int i = 0; i < 48 * 36 * 3; ++i)
            differing += std::abs(floating->GetPixels()[i] - direct->GetPixels()[i]) > 2;
        EXPECT_LT(differing, 48 * 36 * 3 / 20) << degrees;
        store.GetPool()->FreeBitmap(slot);
    }
    // Turned by 0, an opaque picture is copied exactly (one row and column fewer: no
    // neighbours there).
    std::memset(source->GetAlpha(), 0, 23 * 17);
    int16_t slot = -1;
    ASSERT_EQ(RotateCopy(store, source.get(), 0, -1, -1, &slot, false), 1);
    const GBitmap* copy = store.GetPool()->GetBitmap(slot);
    EXPECT_EQ(std::memcmp(copy->GetPixels(), source->GetPixels(), 22 * 3), 0);
    auto plain = Image(5, 5, 0, 1); // no mask: refused
    EXPECT_EQ(RotateCopy(store, plain.get(), 10, -1, -1, &slot), 0);
}

TEST(RotationTest, CubicKeepsAConstantPicture) {
    auto source = Image(12, 12, 2, 4);
    std::memset(source->GetPixels(), 77, 12 * 12 * 3);
    std::memset(source->GetAlpha(), 0, 12 * 12);
    auto target = Image(20, 20, 0, 5), before = Image(20, 20, 0, 5);
    DrawRotatedCubic(target.get(), source.get(), 2, 2, 20, -1, -1);
    int drawn = 0, other = 0;
    for (int i = 0; i < 20 * 20 * 3; ++i)
        if (target->GetPixels()[i] != before->GetPixels()[i])
            ++(target->GetPixels()[i] == 77 ? drawn : other);
    EXPECT_TRUE(drawn > 100 && other == 0) << drawn << " " << other;
}

// Each source pixel lands where the turn says, by the mask rule, and nothing outside the
// clip changes.
TEST(RotationTest, QuarterTurnBlitsAgainstTheirMapping) {
    using Blit = void (*)(GBitmap*, const GBitmap*, int32_t, int32_t, const GRect*);
    const struct {
        Blit blit;
        int kind;
    } blits[] = {{BlitMaskQuarterTurn, 0}, {BlitMaskQuarterTurnBack, 1}, {BlitMaskTransposed, 2}};
    auto source = Image(7, 4, 2, 6);
    const int W = 7, H = 4;
    const GRect clip{1, 0, 8, 7};
    for (const auto& b : blits)
        for (auto [x, y] : {std::pair{2, 1}, std::pair{-1, -3}, std::pair{5, 4}}) {
            auto target = Image(10, 9, 0, 8), expected = Image(10, 9, 0, 8);
            b.blit(target.get(), source.get(), x, y, &clip);
            for (int r = 0; r < H; ++r)
                for (int c = 0; c < W; ++c) {
                    const int tx = b.kind == 0 ? x + H - 1 - r : x + r;
                    const int ty = b.kind == 1 ? y + W - 1 - c : y + c;
                    if (tx < clip.left || tx > clip.right || ty < clip.top || ty > clip.bottom ||
                        tx >= 10 || ty >= 9 || tx < 0 || ty < 0)
                        continue;
                    const int m = source->GetAlpha()[r * W + c];
                    if (m == 255)
                        continue;
                    uint8_t* d = expected->GetPixels() + (ty * 10 + tx) * 3;
                    const uint8_t* s = source->GetPixels() + (r * W + c) * 3;
                    for (int k = 0; k < 3; ++k)
                        d[k] = uint8_t(((d[k] - s[k]) * m >> 8) + s[k]);
                }
            EXPECT_TRUE(Same(*target, *expected)) << b.kind << " at " << x << "," << y;
        }
}

// Every turned draw, with a clip rectangle cutting its picture on any side or sides: inside the
// clip the bytes of the unclipped draw, outside it the target as it was.
TEST(RotationTest, EveryTurnedDrawKeepsToItsClipOnEverySide)
{
    using Clipped = std::function<void(GBitmap*, const GRect*)>;
    auto source = Image(9, 6, 2, 12);
    const GBitmap* s = source.get();
    const Clipped draws[] = {
        [s](GBitmap* t, const GRect* c) { DrawRotatedBilinear(t, s, 3, 2, 30, -1, -1, c); },
        [s](GBitmap* t, const GRect* c) { DrawRotatedCubic(t, s, 3, 2, 200, -1, -1, c); },
        [s](GBitmap* t, const GRect* c) { DrawRotatedFloat(t, s, 3, 2, 75, -1, -1, c); },
        [s](GBitmap* t, const GRect* c) { BlitMaskQuarterTurn(t, s, 4, 3, c); },
        [s](GBitmap* t, const GRect* c) { BlitMaskQuarterTurnBack(t, s, 4, 3, c); },
        [s](GBitmap* t, const GRect* c) { BlitMaskTransposed(t, s, 4, 3, c); },
    };
    const GRect clips[] = {{0, 0, 8, 19}, {8, 0, 19, 19}, {0, 0, 19, 6}, {0, 7, 19, 19}, {6, 5, 9, 8}, {5, 4, 5, 4}};
    for (size_t d = 0; d < std::size(draws); ++d) {
        auto whole = Image(20, 20, 0, 3), original = Image(20, 20, 0, 3);
        draws[d](whole.get(), nullptr);
        ASSERT_FALSE(Same(*whole, *original)) << d;
        for (const GRect& clip : clips) {
            auto target = Image(20, 20, 0, 3);
            draws[d](target.get(), &clip);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 20; ++x) {
                    const bool inside = x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
                    const GBitmap& want = inside ? *whole : *original;
                    ASSERT_EQ(0, std::memcmp(target->GetPixels() + (y * 20 + x) * 3, want.GetPixels() + (y * 20 + x) * 3, 3))
                        << "draw " << d << " clip " << clip.left << "," << clip.top << " at " << x << "," << y;
                }
        }
    }
}

} // namespace
