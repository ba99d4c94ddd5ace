#include "graphics/math/geometry.h"

#include <algorithm>
#include <cmath>
#include <new>

float FloatSqrt(float v)
{
    return float(std::sqrt(double(v)));
}

int SegmentsIntersect(const GVector2& p0, const GVector2& p1, const GVector2& p2,
                      const GVector2& p3, GVector2& out)
{
    const double d1x = double(p1.x) - p0.x;
    const double d1y = double(p1.y) - p0.y;
    const double d2x = double(p3.x) - p2.x;
    const double d2y = double(p3.y) - p2.y;
    if ((d1x == 0 && d2x == 0) || (d1y == 0 && d2y == 0)) {
        return 0;
    }
    double x = 0;
    double y = 0;
    if (d1x != 0 && d1y != 0 && d2x != 0 && d2y != 0) {
        const double m1 = d1y / d1x;
        const double m2 = d2y / d2x;
        if (m1 == m2) {
            return 0;
        }
        x = (m1 * p0.x + (double(p2.y) - p0.y) - m2 * p2.x) / (m1 - m2);
        y = (x - p2.x) * m2 + p2.y;
    } else if (d1x == 0 && d2y == 0) {
        x = p0.x;
        y = p2.y;
    } else if (d1y == 0 && d2x == 0) {
        x = p2.x;
        y = p0.y;
    } else if (d1x == 0) {
        x = p0.x;
        y = (double(p0.x) - p2.x) * d2y / d2x + p2.y;
    } else if (d2x == 0) {
        x = p2.x;
        y = (double(p2.x) - p0.x) * d1y / d1x + p0.y;
    } else if (d1y == 0) {
        y = p0.y;
        x = (double(p0.y) - p2.y) * d2x / d2y + p2.x;
    } else {
        y = p2.y;
        x = (double(p2.y) - p0.y) * d1x / d1y + p0.x;
    }
    out.Set(float(x), float(y));

    const double len1 = std::sqrt(d1x * d1x + d1y * d1y);
    const double len2 = std::sqrt(d2x * d2x + d2y * d2y);
    if (len1 == 0 || len2 == 0) {
        return 0;
    }
    // Distance of the point along each segment from its start, in units of its length.
    const double t1 = ((double(out.x) - p0.x) * d1x + (double(out.y) - p0.y) * d1y) / len1;
    const double t2 = ((double(out.x) - p2.x) * d2x + (double(out.y) - p2.y) * d2y) / len2;
    return t1 >= 0 && t1 <= len1 && t2 >= 0 && t2 <= len2 ? 1 : 0;
}

int PointInRotatedRect(const GVector2& centre, const GVector2& size, int32_t degrees,
                       const GVector2& point)
{
    double dx = double(point.x) - centre.x;
    double dy = double(point.y) - centre.y;
    if (degrees != 0) {
        const double s = FloatSin(degrees);
        const double c = FloatCos(degrees);
        const double rx = dx * c + dy * s;
        const double ry = dy * c - dx * s;
        dx = rx;
        dy = ry;
    }
    const double qx = size.x / 2.0 + dx;
    const double qy = size.y / 2.0 + dy;
    return qx >= 0 && qx < size.x && qy >= 0 && qy < size.y ? 1 : 0;
}

int PointInConvexPolygon(float x, float y, const GVector2* points, int n)
{
    if (n < 1) {
        return 1;
    }
    for (int i = 0; i < n; ++i) {
        const GVector2& a = points[i];
        const GVector2& b = points[(i + 1) % n];
        const double side =
            (double(b.y) - a.y) * (double(x) - a.x) - (double(y) - a.y) * (double(b.x) - a.x);
        if (side >= 0) {
            return 0;
        }
    }
    return 1;
}

void GPolygon::Free()
{
    m_points.reset();
    m_count = 0;
    m_capacity = 0;
}

bool GPolygon::Reserve(uint16_t n)
{
    if (m_capacity != 0 || n == 0) {
        return m_capacity != 0;
    }
    m_points.reset(new (std::nothrow) GVector2[n]);
    if (!m_points) {
        return false;
    }
    m_capacity = n;
    m_count = 0;
    return true;
}

uint16_t GPolygon::AddPoint(float x, float y)
{
    if (m_count >= m_capacity) {
        return m_count;
    }
    m_points[m_count].Set(x, y);
    return m_count++;
}

void GPolygon::UpdateBounds()
{
    if (m_count == 0) {
        return;
    }
    m_minX = m_maxX = m_points[0].x;
    m_minY = m_maxY = m_points[0].y;
    for (uint16_t i = 1; i < m_count; ++i) {
        m_minX = std::min(m_minX, m_points[i].x);
        m_maxX = std::max(m_maxX, m_points[i].x);
        m_minY = std::min(m_minY, m_points[i].y);
        m_maxY = std::max(m_maxY, m_points[i].y);
    }
}
