#pragma once
// GFixed: the engine's 24.8 fixed-point number (256 = 1.0) in a signed 32-bit value. Products
// and quotients are formed in 64 bits and saturate at the 32-bit limits instead of wrapping;
// sums wrap as 32-bit integers do. A plain value type, any thread.

#include <cstdint>

struct GFixed {
    int32_t value = 0; // 24.8

    constexpr GFixed() = default;
    constexpr explicit GFixed(int32_t raw) : value(raw) {}

    static constexpr GFixed FromRaw(int32_t raw) { return GFixed(raw); }
    static constexpr GFixed FromInt(int32_t v)
    {
        return GFixed(static_cast<int32_t>(static_cast<uint32_t>(v) << 8));
    }

    static GFixed Add(GFixed a, GFixed b);
    static GFixed Subtract(GFixed a, GFixed b);
    // (a * b) >> 8.
    static GFixed Multiply(GFixed a, GFixed b);
    // (a << 8) / b, truncated toward zero; a zero divisor gives the saturated value of a's
    // sign (0 for 0).
    static GFixed Divide(GFixed a, GFixed b);
    // Rounded to the nearest whole number, halves up: 1.5 gives 2, -1.5 gives -1.
    int32_t ToInt() const;

    GFixed& AddAssign(GFixed b);
    GFixed& MultiplyAssign(GFixed b);

    friend constexpr bool operator==(GFixed a, GFixed b) { return a.value == b.value; }
};
