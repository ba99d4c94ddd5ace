#pragma once
// MP3 music through libmad. A file opens only when its first three frames follow each other
// and agree in layer, sample rate and channel mode. It is read through one 4,096-byte window;
// frames are decoded one ahead and synthesised when a read needs them. A read never writes past the
// length it was given: the part of a frame that did not fit waits for the next read, so nothing is
// lost between reads.

#include <cstdint>
#include <cstdio>
#include <memory>

#include "audio/decoders/stream_decoder.h"

// libmad's fixed point (28 fraction bits) to 16 bits: rounded, clipped, shifted.
int16_t Mp3ScaleSample(int32_t sample);

class GMp3Decoder final : public GStreamDecoder {
public:
    GMp3Decoder();
    ~GMp3Decoder() override;

    int Open(const char* path, int flag) override; // flag unused
    void Close() override;
    int Read(uint8_t* buffer, int32_t length, int32_t* count) override;
    int Rewind() override;

private:
    struct State;

    bool CheckStream();
    int DecodeNextFrame();
    bool FillInput();
    void ResetState();

    std::unique_ptr<State> m_state; // libmad's stream, frame and synth, the input window
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    int m_channels = 0;
    int m_rate = 0;
    int m_bits = 0;
};
