#pragma once
// The engine's linear volume scale (0..10000) as a sound-device level in hundredths of a
// decibel: 2000 x log10(v / 10000), truncated toward zero; -10000 for 0.

#include <cmath>
#include <cstdint>

inline int32_t AudioLevelFromVolume(int32_t volume)
{
    if (volume <= 0)
        return -10000;
    return static_cast<int32_t>(2000.0 * std::log10(volume / 10000.0));
}
