#include "tools/tolvanrise-audio/audio_synth.h"

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace audio_synth {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCycleSamples = 32;
constexpr double kPalClock = 7093789.2;
constexpr int kFullVolume = 64;
constexpr int kLoopCycles = 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WriteAll(std::FILE* file, const void* data, size_t size)
{
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

} // namespace

std::vector<int16_t> MakeTone(const std::vector<double>& frequencies, double amplitude,
                              int channels, int rate, double seconds)
{
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> pcm(frames * channels);
    const double scale = frequencies.empty() ? 0.0 : amplitude * 32767.0 / frequencies.size();
    for (size_t i = 0; i < frames; ++i) {
        double value = 0.0;
        for (double f : frequencies)
            value += std::sin(2.0 * kPi * f * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(std::lround(value * scale));
    }
    return pcm;
}

std::vector<uint8_t> MakeWav(const std::vector<int16_t>& pcm, int channels, int rate)
{
    const uint32_t bytes = static_cast<uint32_t>(pcm.size() * 2);
    const uint32_t align = static_cast<uint32_t>(channels * 2);
    std::vector<uint8_t> file;
    auto put = [&file](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            file.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    auto tag = [&file](const char* id) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(id[i]));
    };
    tag("RIFF");
    put(36 + bytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2); // PCM
    put(static_cast<uint32_t>(channels), 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate) * align, 4);
    put(align, 2);
    put(16, 2);
    tag("data");
    put(bytes, 4);
    for (int16_t sample : pcm)
        put(static_cast<uint16_t>(sample), 2);
    return file;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate)
{
    const std::vector<uint8_t> bytes = MakeWav(pcm, channels, rate);
    File file(std::fopen(path.c_str(), "wb"));
    return file && WriteAll(file.get(), bytes.data(), bytes.size());
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate,
              float quality)
{
    File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x746f6c76); // any serial number will do
    ogg_page page;
    ogg_packet packet;
    bool ok = true;

    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page))
        ok = ok && WriteAll(file.get(), page.header, page.header_len) &&
             WriteAll(file.get(), page.body, page.body_len);

    const size_t frames = pcm.size() / channels;
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        const size_t n = std::min<size_t>(4096, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** in = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    in[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    ok = ok && WriteAll(file.get(), page.header, page.header_len) &&
                         WriteAll(file.get(), page.body, page.body_len);
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
        if (n == 0 && !ended) {
            while (ogg_stream_flush(&stream, &page)) {
                ok = ok && WriteAll(file.get(), page.header, page.header_len) &&
                     WriteAll(file.get(), page.body, page.body_len);
            }
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return ok;
}

bool WriteMp3(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate,
              int kbps)
{
    lame_t lame = lame_init();
    if (!lame)
        return false;
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_brate(lame, kbps);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(lame, 0);
    bool ok = lame_init_params(lame) >= 0;
    const int frames = static_cast<int>(pcm.size() / channels);
    std::vector<unsigned char> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    int bytes = 0;
    if (ok) {
        std::vector<int16_t> left(frames), right(frames);
        for (int i = 0; i < frames; ++i) {
            left[i] = pcm[i * channels];
            right[i] = pcm[i * channels + channels - 1];
        }
        bytes = lame_encode_buffer(lame, left.data(), right.data(), frames, out.data(),
                                   static_cast<int>(out.size()));
        ok = bytes >= 0;
    }
    if (ok) {
        const int tail =
            lame_encode_flush(lame, out.data() + bytes, static_cast<int>(out.size()) - bytes);
        ok = tail >= 0;
        bytes += tail > 0 ? tail : 0;
    }
    lame_close(lame);
    if (!ok)
        return false;
    File file(std::fopen(path.c_str(), "wb"));
    return file && WriteAll(file.get(), out.data(), static_cast<size_t>(bytes));
}

double ModuleToneFrequency(int period)
{
    return kPalClock / (2.0 * period) / kCycleSamples;
}

int ModulePeriodForTone(double hz)
{
    return static_cast<int>(std::lround(kPalClock / (2.0 * kCycleSamples * hz)));
}

namespace {

// One stored pattern: the pitch it holds, whether it strikes the note at its start (a new
// pitch, or the song's very first pattern) and whether the note fades out over its last rows.
struct PatternKind {
    int period;
    bool strike;
    bool fade;
    bool operator==(const PatternKind&) const = default;
};

void PutPattern(std::vector<uint8_t>& bytes, const PatternKind& kind, int rows, int fadeRows)
{
    for (int row = 0; row < 64; ++row) {
        for (int channel = 0; channel < 4; ++channel) {
            int period = 0, sample = 0, effect = 0, param = 0;
            if (channel == 0 && row == 0 && kind.strike) {
                period = kind.period;
                sample = 1;
            }
            if (channel == 0 && kind.fade && row >= rows - fadeRows) {
                effect = 0xC; // set volume: down to nothing on the song's last row
                param = kFullVolume * (rows - 1 - row) / fadeRows;
            }
            if (channel == 1 && row == 0) {
                effect = 0xF; // speed 1: one 20 ms tick per row
                param = 1;
            }
            if (channel == 2 && row == rows - 1 && rows < 64)
                effect = 0xD; // pattern break: the pattern ends here
            for (int v : {(sample & 0xF0) | (period >> 8), period & 0xFF,
                          ((sample & 0x0F) << 4) | effect, param})
                bytes.push_back(static_cast<uint8_t>(v));
        }
    }
}

} // namespace

std::vector<uint8_t> MakeModule(const ModuleSong& song)
{
    const char title[20] = "tolvanrise tone";
    std::vector<uint8_t> bytes(title, title + 20);
    auto put = [&bytes](std::initializer_list<int> values) {
        for (int v : values)
            bytes.push_back(static_cast<uint8_t>(v));
    };
    // Sample 1: whole sine cycles, looped whole (several of them: libxmp's resampler drops a
    // step now and then where a one-cycle loop wraps); samples 2..31 empty.
    for (int s = 0; s < 31; ++s) {
        bytes.insert(bytes.end(), 22, 0);
        const int words = s == 0 ? kCycleSamples * kLoopCycles / 2 : 0;
        const int loop = s == 0 ? words : 1;
        put({words >> 8, words & 0xFF, 0, s == 0 ? 64 : 0, 0, 0, loop >> 8, loop & 0xFF});
    }
    // The orders: the periods over and over. A note goes on into the next pattern when that one
    // plays the same pitch: a note struck again starts its sample over, a gap in the tone.
    const int count = static_cast<int>(song.periods.size());
    const int orders = std::clamp(count * std::max(song.repeats, 1), 0, 128);
    std::vector<PatternKind> kinds;
    std::vector<int> order;
    for (int i = 0; i < orders; ++i) {
        const int period = song.periods[i % count];
        const PatternKind kind{period, i == 0 || song.periods[(i + count - 1) % count] != period,
                               song.fadeRows > 0 && i == orders - 1};
        const auto found = std::find(kinds.begin(), kinds.end(), kind);
        order.push_back(static_cast<int>(found - kinds.begin()));
        if (found == kinds.end())
            kinds.push_back(kind);
    }
    put({orders, 127});
    for (int i = 0; i < 128; ++i)
        bytes.push_back(static_cast<uint8_t>(i < orders ? order[i] : 0));
    put({'M', '.', 'K', '.'});
    const int rows = std::clamp(song.rows, 1, 64);
    for (const PatternKind& kind : kinds)
        PutPattern(bytes, kind, rows, std::clamp(song.fadeRows, 1, rows));
    for (int i = 0; i < kCycleSamples * kLoopCycles; ++i)
        bytes.push_back(static_cast<uint8_t>(
            static_cast<int8_t>(std::lround(std::sin(2.0 * kPi * i / kCycleSamples) * 100.0))));
    return bytes;
}

bool WriteModule(const std::string& path, const ModuleSong& song)
{
    const std::vector<uint8_t> bytes = MakeModule(song);
    File file(std::fopen(path.c_str(), "wb"));
    return file && WriteAll(file.get(), bytes.data(), bytes.size());
}

std::vector<uint8_t> MakeMidi(const MidiSong& song)
{
    struct Event {
        int tick;
        int order; // at one tick: programs, then note offs, then note ons
        std::vector<uint8_t> bytes;
    };
    std::vector<Event> events;
    std::vector<bool> programmed(16, false);
    for (const MidiNote& n : song.notes) {
        const uint8_t channel = static_cast<uint8_t>(n.channel & 15);
        if (!programmed[channel]) {
            programmed[channel] = true;
            events.push_back(
                {0,
                 0,
                 {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(n.program & 127)}});
        }
        events.push_back({n.startTick,
                          2,
                          {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(n.note & 127),
                           static_cast<uint8_t>(n.velocity & 127)}});
        events.push_back(
            {n.startTick + n.lengthTicks,
             1,
             {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(n.note & 127), 0}});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    const uint32_t tempo = static_cast<uint32_t>(song.microsPerQuarter);
    std::vector<uint8_t> track = {0x00,
                                  0xFF,
                                  0x51,
                                  0x03,
                                  static_cast<uint8_t>(tempo >> 16),
                                  static_cast<uint8_t>(tempo >> 8),
                                  static_cast<uint8_t>(tempo)};
    auto putDelta = [&track](uint32_t delta) {
        uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = static_cast<uint8_t>(delta & 0x7F);
            delta >>= 7;
        } while (delta);
        while (n > 1)
            track.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
        track.push_back(groups[0]);
    };
    int now = 0;
    for (const Event& e : events) {
        putDelta(static_cast<uint32_t>(e.tick - now));
        now = e.tick;
        track.insert(track.end(), e.bytes.begin(), e.bytes.end());
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    const int ppq = song.ticksPerQuarter;
    std::vector<uint8_t> bytes = {'M',
                                  'T',
                                  'h',
                                  'd',
                                  0,
                                  0,
                                  0,
                                  6,
                                  0,
                                  0,
                                  0,
                                  1,
                                  static_cast<uint8_t>(ppq >> 8),
                                  static_cast<uint8_t>(ppq)};
    const uint32_t length = static_cast<uint32_t>(track.size());
    bytes.insert(bytes.end(), {'M', 'T', 'r', 'k', static_cast<uint8_t>(length >> 24),
                               static_cast<uint8_t>(length >> 16),
                               static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    bytes.insert(bytes.end(), track.begin(), track.end());
    return bytes;
}

bool WriteMidi(const std::string& path, const MidiSong& song)
{
    const std::vector<uint8_t> bytes = MakeMidi(song);
    File file(std::fopen(path.c_str(), "wb"));
    return file && WriteAll(file.get(), bytes.data(), bytes.size());
}

} // namespace audio_synth
