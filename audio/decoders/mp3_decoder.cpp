#include "audio/decoders/mp3_decoder.h"

#include <mad.h>

#include <cstring>

#include "platform/files/file_system.h"

namespace {

constexpr int kWindowBytes = 4096;
// Frames in a row, each right behind the one before, whose headers must agree before a stream
// counts as MP3: a frame sync alone turns up somewhere in most byte streams.
constexpr int kAgreeingFrames = 3;

bool SameStream(const mad_header& a, const mad_header& b)
{
    return a.layer == b.layer && a.samplerate == b.samplerate && a.mode == b.mode;
}

} // namespace

struct GMp3Decoder::State {
    // The window, plus room for the zero guard libmad needs behind the last frame of a file.
    uint8_t input[kWindowBytes + MAD_BUFFER_GUARD];
    int valid = 0;
    bool guardAdded = false;
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    int skips = 0;           // frames refused or bytes stepped over since the last frame
    bool frameReady = false; // decoded, not yet synthesised
    int pcmPosition = 0;     // next sample of synth.pcm to hand out
    int pcmLength = 0;
    bool madStarted = false;
};

// The rounding is added in 64 bits: near the top of libmad's range (up to 0x7FFFFFFF, eight
// times full scale) it would wrap to the bottom in 32 and give a full-scale click.
int16_t Mp3ScaleSample(int32_t sample)
{
    int64_t wide = int64_t{sample} + (1 << (MAD_F_FRACBITS - 16));
    if (wide >= MAD_F_ONE)
        wide = MAD_F_ONE - 1;
    else if (wide < -MAD_F_ONE)
        wide = -MAD_F_ONE;
    return static_cast<int16_t>(wide >> (MAD_F_FRACBITS + 1 - 16));
}

GMp3Decoder::GMp3Decoder() : m_state(std::make_unique<State>()) {}

GMp3Decoder::~GMp3Decoder()
{
    Close();
}

void GMp3Decoder::ResetState()
{
    State& s = *m_state;
    if (s.madStarted) {
        mad_synth_finish(&s.synth);
        mad_frame_finish(&s.frame);
        mad_stream_finish(&s.stream);
    }
    mad_stream_init(&s.stream);
    mad_frame_init(&s.frame);
    mad_synth_init(&s.synth);
    s.madStarted = true;
    s.valid = 0;
    s.guardAdded = false;
    s.frameReady = false;
    s.pcmPosition = s.pcmLength = 0;
}

bool GMp3Decoder::FillInput()
{
    State& s = *m_state;
    const size_t got = std::fread(s.input + s.valid, 1, kWindowBytes - s.valid, m_file.get());
    if (got > 0) {
        s.valid += static_cast<int>(got);
        return true;
    }
    if (s.valid < kWindowBytes && std::feof(m_file.get()) && !s.guardAdded && s.valid > 0) {
        std::memset(s.input + s.valid, 0, MAD_BUFFER_GUARD);
        s.valid += MAD_BUFFER_GUARD;
        s.guardAdded = true;
        return true;
    }
    return false;
}

// Every pass either consumes input, reads input or returns, so junk of any length ends.
int GMp3Decoder::DecodeNextFrame()
{
    State& s = *m_state;
    for (;;) {
        if (s.valid > 0) {
            mad_stream_buffer(&s.stream, s.input, static_cast<unsigned long>(s.valid));
            const int result = mad_frame_decode(&s.frame, &s.stream);
            int consumed =
                s.stream.next_frame ? static_cast<int>(s.stream.next_frame - s.input) : 0;
            if (consumed < 0 || consumed > s.valid)
                consumed = s.valid;
            std::memmove(s.input, s.input + consumed, s.valid - consumed);
            s.valid -= consumed;
            if (result == 0)
                return 1;
            if (consumed > 0 && s.stream.error != MAD_ERROR_BUFLEN) {
                ++s.skips;
                continue;
            }
            if (s.valid == kWindowBytes) {
                ++s.skips;
                // A full window libmad cannot use: step over a byte and look again.
                std::memmove(s.input, s.input + 1, --s.valid);
                continue;
            }
        }
        if (!FillInput())
            return 0;
    }
}

// The first frame may follow a tag or junk; the ones after it must follow without a gap and
// agree with it, else the stream is refused. Then decoding starts again from the file's start.
bool GMp3Decoder::CheckStream()
{
    State& s = *m_state;
    if (!DecodeNextFrame())
        return false;
    const mad_header first = s.frame.header;
    for (int i = 1; i < kAgreeingFrames; ++i) {
        s.skips = 0;
        if (!DecodeNextFrame() || s.skips > 0 || !SameStream(first, s.frame.header))
            return false;
    }
    return std::fseek(m_file.get(), 0, SEEK_SET) == 0;
}

int GMp3Decoder::Open(const char* path, int)
{
    if (!path)
        return 0;
    Close();
    m_file.reset(platform::OpenFile(path, "rb"));
    if (!m_file)
        return 0;
    ResetState();
    if (!CheckStream()) {
        Close();
        return 0;
    }
    ResetState();
    if (!DecodeNextFrame()) {
        Close();
        return 0;
    }
    State& s = *m_state;
    s.frameReady = true;
    m_channels = s.frame.header.mode == MAD_MODE_SINGLE_CHANNEL ? 1 : 2;
    m_rate = static_cast<int>(s.frame.header.samplerate);
    m_bits = 16;
    m_format = platform::WaveFormat::Pcm(static_cast<uint16_t>(m_channels),
                                         static_cast<uint32_t>(m_rate), 16, 18);
    return 1;
}

void GMp3Decoder::Close()
{
    m_file.reset();
    State& s = *m_state;
    if (s.madStarted) {
        mad_synth_finish(&s.synth);
        mad_frame_finish(&s.frame);
        mad_stream_finish(&s.stream);
        s.madStarted = false;
    }
    s.frameReady = false;
    s.pcmPosition = s.pcmLength = 0;
}

int GMp3Decoder::Read(uint8_t* buffer, int32_t length, int32_t* count)
{
    if (!buffer || length < 0)
        return 0;
    State& s = *m_state;
    const int32_t frameBytes = m_channels * 2;
    int32_t written = 0;
    while (m_file && frameBytes > 0 && length - written >= frameBytes) {
        if (s.pcmPosition < s.pcmLength) {
            const mad_pcm& pcm = s.synth.pcm;
            // A mono frame inside a stereo stream goes to both sides.
            const int right = pcm.channels > 1 ? 1 : 0;
            while (s.pcmPosition < s.pcmLength && length - written >= frameBytes) {
                const int16_t l = Mp3ScaleSample(pcm.samples[0][s.pcmPosition]);
                std::memcpy(buffer + written, &l, 2);
                if (m_channels == 2) {
                    const int16_t r = Mp3ScaleSample(pcm.samples[right][s.pcmPosition]);
                    std::memcpy(buffer + written + 2, &r, 2);
                }
                written += frameBytes;
                ++s.pcmPosition;
            }
            continue;
        }
        if (!s.frameReady) {
            if (!DecodeNextFrame())
                break;
            s.frameReady = true;
        }
        mad_synth_frame(&s.synth, &s.frame);
        s.frameReady = false;
        s.pcmPosition = 0;
        s.pcmLength = s.synth.pcm.length;
    }
    if (count)
        *count = written;
    return 1;
}

int GMp3Decoder::Rewind()
{
    if (!m_file)
        return 0;
    std::fseek(m_file.get(), 0, SEEK_SET);
    ResetState();
    if (DecodeNextFrame())
        m_state->frameReady = true;
    return 1;
}
