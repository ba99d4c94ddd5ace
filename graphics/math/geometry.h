#pragma once
// Float geometry tests: segment intersection, points in rotated rectangles and convex
// polygons, and a small polygon record. Floats in, double precision inside. Pure; any thread.

#include <cstdint>
#include <memory>

#include "graphics/math/vector2.h"

float FloatSqrt(float v);

// Intersection of the lines through p0-p1 and p2-p3, written to out (untouched for parallel
// lines). 1 when the point lies on both segments, else 0; 0 as well for parallel lines and
// for a segment of zero length.
int SegmentsIntersect(const GVector2& p0, const GVector2& p1, const GVector2& p2,
                      const GVector2& p3, GVector2& out);

// 1 when point lies in the rectangle of the given size centred on centre and turned by a
// whole angle in degrees, else 0. Edges: 0 <= q < size along each axis of the rectangle.
int PointInRotatedRect(const GVector2& centre, const GVector2& size, int32_t degrees,
                       const GVector2& point);

// 1 when (x, y) lies strictly inside the convex polygon of n points, wound so that inside
// points are on the negative side of every edge; points on an edge are outside. n < 1 gives 1.
int PointInConvexPolygon(float x, float y, const GVector2* points, int n);

// A polygon of at most a reserved number of points with its bounding box.
class GPolygon {
public:
    GPolygon() = default;
    GPolygon(const GPolygon&) = delete;
    GPolygon& operator=(const GPolygon&) = delete;

    void Free();
    // Allocates n points (all 0, 0) when no storage is there yet; false when it cannot.
    bool Reserve(uint16_t n);
    // The new point's index; the count (nothing added) when full.
    uint16_t AddPoint(float x, float y);
    // With at least one point, the box becomes the points' minimum and maximum.
    void UpdateBounds();

    uint16_t GetCount() const { return m_count; }
    uint16_t GetCapacity() const { return m_capacity; }
    const GVector2* GetPoints() const { return m_points.get(); }
    float GetMinX() const { return m_minX; }
    float GetMinY() const { return m_minY; }
    float GetMaxX() const { return m_maxX; }
    float GetMaxY() const { return m_maxY; }

private:
    float m_minX = 0.0f;
    float m_minY = 0.0f;
    float m_maxX = 0.0f;
    float m_maxY = 0.0f;
    uint16_t m_count = 0;
    std::unique_ptr<GVector2[]> m_points;
    uint16_t m_capacity = 0;
};
