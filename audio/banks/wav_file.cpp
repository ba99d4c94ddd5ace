#include "audio/banks/wav_file.h"

#include <cstring>

namespace {

uint16_t Read16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Read32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool ReadFormat(const uint8_t* chunk, uint32_t size, platform::WaveFormat* format)
{
    if (size < 16)
        return false;
    format->formatTag = Read16(chunk);
    format->channels = Read16(chunk + 2);
    format->samplesPerSec = Read32(chunk + 4);
    format->avgBytesPerSec = Read32(chunk + 8);
    format->blockAlign = Read16(chunk + 12);
    format->bitsPerSample = Read16(chunk + 14);
    format->extraSize = size >= 18 ? Read16(chunk + 16) : 0;
    return format->formatTag == 1 && (format->channels == 1 || format->channels == 2) &&
           (format->bitsPerSample == 8 || format->bitsPerSample == 16) &&
           format->blockAlign == format->channels * format->bitsPerSample / 8 &&
           format->samplesPerSec >= platform::kFrequencyMin &&
           format->samplesPerSec <= platform::kFrequencyMax;
}

} // namespace

bool ParseWav(const uint8_t* bytes, size_t size, GWavData* out)
{
    if (!bytes || !out || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0 || size > UINT32_MAX)
        return false;
    bool haveFormat = false;
    uint64_t at = 12;
    while (at + 8 <= size) {
        const uint8_t* header = bytes + at;
        const uint32_t chunkSize = Read32(header + 4);
        const uint64_t body = at + 8;
        if (body + chunkSize > size)
            return false; // a chunk claiming more than the file holds
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (!ReadFormat(bytes + body, chunkSize, &out->format))
                return false;
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            out->dataOffset = static_cast<uint32_t>(body);
            out->dataSize = chunkSize - chunkSize % out->format.blockAlign;
            return out->dataSize > 0;
        }
        at = body + chunkSize + (chunkSize & 1); // chunks start on even offsets
    }
    return false;
}
