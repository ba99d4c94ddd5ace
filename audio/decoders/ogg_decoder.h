#pragma once
// Ogg Vorbis music through libvorbisfile, decoded straight into the caller's buffer.

#include "audio/decoders/stream_decoder.h"

struct OggVorbis_File;

class GOggDecoder final : public GStreamDecoder {
public:
    GOggDecoder() = default;
    ~GOggDecoder() override { Close(); }

    int Open(const char* path, int flag) override; // flag unused
    void Close() override;
    int Read(uint8_t* buffer, int32_t length, int32_t* count) override;
    int Rewind() override;

private:
    OggVorbis_File* m_file = nullptr; // owned
};
