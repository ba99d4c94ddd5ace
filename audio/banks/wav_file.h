#pragma once
// Where the PCM of a RIFF/WAVE file lies. The chunks are walked, so the canonical 44-byte
// layout (format at 20, samples at 44) and files with further chunks both read; everything is
// checked against the bytes at hand. Only plain PCM the mixer plays is taken: 1 or 2
// channels of 8 or 16 bits.

#include <cstddef>
#include <cstdint>

#include "platform/sound/sound_device.h"

struct GWavData {
    platform::WaveFormat format;
    uint32_t dataOffset = 0; // first sample byte
    uint32_t dataSize = 0;   // whole frames only
};

// False for anything else: no RIFF/WAVE header, no format chunk before the data, a format
// that is not such PCM, a data chunk that is empty or runs past the end of the bytes.
bool ParseWav(const uint8_t* bytes, size_t size, GWavData* out);
