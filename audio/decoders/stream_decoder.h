#pragma once
// The one PCM source the stream player reads music through: open a file, read interleaved
// signed 16-bit little-endian PCM described by GetFormat, rewind, close. A read that returns
// fewer bytes than asked has reached the end of the data. Implementations: GOggDecoder,
// GMp3Decoder, GModuleDecoder. Used by one thread at a time (the player's lock covers it).

#include <cstdint>

#include "platform/sound/sound_device.h"

class GStreamDecoder {
public:
    virtual ~GStreamDecoder() = default;

    // flag: the track's flag (the start position for modules). Nonzero on success, after
    // which GetFormat describes the PCM.
    virtual int Open(const char* path, int flag) = 0;
    virtual void Close() = 0;
    // Writes at most length bytes at buffer and stores how many in *count (when given).
    // Zero only for a null buffer or a negative length.
    virtual int Read(uint8_t* buffer, int32_t length, int32_t* count) = 0;
    virtual int Rewind() = 0;

    const platform::WaveFormat& GetFormat() const { return m_format; }

protected:
    platform::WaveFormat m_format; // all zero until an open succeeds
};
