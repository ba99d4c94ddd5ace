#pragma once
// The shared linear-congruential generator: seed = seed * 1103515245 + 12345,
// value = (seed >> 16) & 0x7fff.

#include <cstdint>

class GRandom {
public:
    // Seeded from the millisecond clock.
    GRandom();
    explicit GRandom(uint32_t seed) : m_seed(seed) {}

    void SetSeed(uint32_t seed) { m_seed = seed; }
    void Reset() { m_seed = 0; }
    uint32_t GetSeed() const { return m_seed; }

    // 0 to 32767.
    int Next();
    // lo to hi, both inclusive, 16-bit bounds; steps the seed once. An inverted range
    // (hi < lo) gives lo.
    int Range(int16_t lo, int16_t hi);

private:
    uint32_t m_seed = 0;
};
