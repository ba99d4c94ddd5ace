#pragma once
// Ogg Vorbis music through libvorbisfile, decoded straight into the caller's buffer.

#include "audio/decoders/stream_decoder.h"

#include "audio/decoders/ogg_file.h"

class GOggDecoder final : public GStreamDecoder {
public:
    GOggDecoder() = default;
    ~GOggDecoder() override { Close(); }

    int Open(const char* path, int flag) override; // flag unused
    void Close() override;
    int Read(uint8_t* buffer, int32_t length, int32_t* count) override;
    int Rewind() override;

private:
    ogg_file::FilePtr m_file;
};
