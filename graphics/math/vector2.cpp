#include "graphics/math/vector2.h"

#include <cmath>

#include "graphics/math/fixed_math.h"

namespace {

struct FloatSinTable {
    float entries[360];
    FloatSinTable()
    {
        for (int d = 0; d < 360; ++d) {
            entries[d] = float(std::sin(d * (3.14159265358979323846 / 180.0)));
        }
        // Exact at the quarter turns (sin(pi) in doubles is about 1.2e-16, not 0).
        entries[0] = 0.0f;
        entries[90] = 1.0f;
        entries[180] = 0.0f;
        entries[270] = -1.0f;
    }
};

const FloatSinTable& GetFloatSinTable()
{
    static const FloatSinTable table;
    return table;
}

} // namespace

GVector2& GVector2::operator+=(const GVector2& other)
{
    x = float(double(x) + other.x);
    y = float(double(y) + other.y);
    return *this;
}

GVector2& GVector2::operator-=(const GVector2& other)
{
    x = float(double(x) - other.x);
    y = float(double(y) - other.y);
    return *this;
}

void GVector2::Rotate(int32_t degrees)
{
    if (degrees == 0)
        return;
    const double s = FloatSin(degrees);
    const double c = FloatCos(degrees);
    const double ox = x;
    const double oy = y;
    x = float(ox * c + oy * s);
    y = float(oy * c - ox * s);
}

float GVector2::Length() const
{
    return float(std::sqrt(double(x) * x + double(y) * y));
}

float GVector2::Project(float dx, float dy) const
{
    const double len = std::sqrt(double(dx) * dx + double(dy) * dy);
    if (len == 0.0) {
        return 0.0f;
    }
    return float((double(x) * dx + double(y) * dy) / len);
}

float GVector2::Cross(float bx, float by) const
{
    return float(double(x) * by - double(y) * bx);
}

GVector2 GVector2::Divide(const GVector2& v, float s)
{
    if (s == 0.0f) {
        return GVector2();
    }
    const double inv = 1.0 / double(s);
    return GVector2(float(v.x * inv), float(v.y * inv));
}

GVector2 operator+(const GVector2& a, const GVector2& b)
{
    GVector2 r = a;
    r += b;
    return r;
}

GVector2 operator-(const GVector2& a, const GVector2& b)
{
    GVector2 r = a;
    r -= b;
    return r;
}

float FloatSin(int32_t degrees)
{
    return GetFloatSinTable().entries[DegreeIndex(degrees)];
}

float FloatCos(int32_t degrees)
{
    return GetFloatSinTable().entries[DegreeIndex(int64_t(degrees) + 90)];
}
