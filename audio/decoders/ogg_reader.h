#pragma once
// Decodes a whole Ogg Vorbis file into memory: the sound-effect bank opens it, reads
// GetDataSize bytes in one go and keeps the PCM. Results are S_OK-style codes.

#include <cstdint>

#include "platform/sound/sound_device.h"

#include "audio/decoders/ogg_file.h"

constexpr int32_t kReaderOk = 0;
constexpr int32_t kReaderInvalidArg = static_cast<int32_t>(0x80070057);

class GOggReader {
public:
    GOggReader() = default;
    ~GOggReader() { Close(); }
    GOggReader(const GOggReader&) = delete;
    GOggReader& operator=(const GOggReader&) = delete;

    // kReaderInvalidArg for a null path and every failure; nothing stays allocated then.
    int32_t Open(const char* path);
    int32_t Read(uint8_t* buffer, int32_t length, int32_t* count);
    int32_t Rewind();
    int32_t Close();

    bool IsOpen() const { return m_file != nullptr; }
    const platform::WaveFormat& GetFormat() const { return m_format; }
    // Bytes of the whole decoded stream, as its last page claims (0 when closed).
    int64_t GetDataSize() const { return m_dataSize; }

private:
    platform::WaveFormat m_format;
    ogg_file::FilePtr m_file;
    int64_t m_dataSize = 0;
};
