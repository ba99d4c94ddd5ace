#include "foundation/core/fixed.h"

namespace {

int32_t Saturate(int64_t v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

} // namespace

GFixed GFixed::Add(GFixed a, GFixed b)
{
    return GFixed(static_cast<int32_t>(static_cast<uint32_t>(a.value) + static_cast<uint32_t>(b.value)));
}

GFixed GFixed::Subtract(GFixed a, GFixed b)
{
    return GFixed(static_cast<int32_t>(static_cast<uint32_t>(a.value) - static_cast<uint32_t>(b.value)));
}

GFixed GFixed::Multiply(GFixed a, GFixed b)
{
    // |a * b| < 2^62, so the 64-bit product is exact; the shift is arithmetic.
    return GFixed(Saturate((int64_t{a.value} * int64_t{b.value}) >> 8));
}

GFixed GFixed::Divide(GFixed a, GFixed b)
{
    if (b.value == 0) {
        if (a.value == 0)
            return GFixed(0);
        return GFixed(a.value > 0 ? INT32_MAX : INT32_MIN);
    }
    return GFixed(Saturate((int64_t{a.value} * 256) / b.value));
}

int32_t GFixed::ToInt() const
{
    return static_cast<int32_t>((int64_t{value} + 128) >> 8);
}

GFixed& GFixed::AddAssign(GFixed b)
{
    *this = Add(*this, b);
    return *this;
}

GFixed& GFixed::MultiplyAssign(GFixed b)
{
    *this = Multiply(*this, b);
    return *this;
}
