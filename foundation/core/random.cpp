#include "foundation/core/random.h"

#include "platform/system/time.h"

GRandom::GRandom() : m_seed(platform::GetTickMs())
{
}

int GRandom::Next()
{
    m_seed = m_seed * 1103515245u + 12345u;
    return static_cast<int>((m_seed >> 16) & 0x7fff);
}

int GRandom::Range(int16_t lo, int16_t hi)
{
    const int value = Next();
    // hi - lo + 1 is at most 65536 in int arithmetic; an inverted range would divide by
    // zero or by a negative span.
    const int span = int{hi} - int{lo} + 1;
    if (span <= 1)
        return lo;
    return value % span + lo;
}
