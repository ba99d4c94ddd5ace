#pragma once
// GVector2: a 2D vector of floats, and the float sine and cosine of whole degrees read from a
// 360-entry table. Operations compute in double precision and store floats. Angles of any
// sign index the table by their true remainder modulo 360. Pure; any thread.

#include <cstdint>

struct GVector2 {
    float x = 0.0f;
    float y = 0.0f;

    GVector2() = default;
    GVector2(float nx, float ny) : x(nx), y(ny) {}

    void Set(float nx, float ny)
    {
        x = nx;
        y = ny;
    }
    GVector2& operator+=(const GVector2& other);
    GVector2& operator-=(const GVector2& other);

    // Turns the vector by whole degrees with the float table: x' = x cos + y sin,
    // y' = y cos - x sin. On a screen whose y axis points down a positive angle turns
    // counter-clockwise (right becomes up). Nothing for 0.
    void Rotate(int32_t degrees);

    float Length() const;
    // Length of this vector's projection onto the direction (dx, dy); 0 when that direction
    // has no length.
    float Project(float dx, float dy) const;
    // x * by - y * bx.
    float Cross(float bx, float by) const;
    // (v.x / s, v.y / s), as the product with 1 / s; the zero vector when s is 0.
    static GVector2 Divide(const GVector2& v, float s);
};

GVector2 operator+(const GVector2& a, const GVector2& b);
GVector2 operator-(const GVector2& a, const GVector2& b);

// sin and cos of whole degrees from a table of 360 floats (0 at 0, 1 at 90, -1 at 270).
float FloatSin(int32_t degrees);
float FloatCos(int32_t degrees);
