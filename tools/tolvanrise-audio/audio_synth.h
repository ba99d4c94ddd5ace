#pragma once
// Our own test and data audio: tones and chords of known frequencies as 16-bit PCM, written as
// Ogg Vorbis (libvorbisenc), MP3 (libmp3lame) or a small four-channel tracker module of our own
// making, whose patterns hold the notes of a looped sine sample.

#include <cstdint>
#include <string>
#include <vector>

namespace audio_synth {

// Interleaved PCM: the sum of sines at these frequencies (Hz), peak amplitude 0..1 shared
// between them, the same on every channel.
std::vector<int16_t> MakeTone(const std::vector<double>& frequencies, double amplitude,
                              int channels, int rate, double seconds);

// A canonical 44-byte-header WAV file of 16-bit PCM.
std::vector<uint8_t> MakeWav(const std::vector<int16_t>& pcm, int channels, int rate);
bool WriteWav(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate);

bool WriteOgg(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate,
              float quality = 0.5f);
bool WriteMp3(const std::string& path, const std::vector<int16_t>& pcm, int channels, int rate,
              int kbps = 128);

// Amiga periods of the note each pattern plays, the whole list played repeats times over (at
// most 128 patterns in all); each pattern lasts rows rows of one tick (20 ms) each. A note
// is struck only where the pitch changes, so a held pitch goes on across patterns; with
// fadeRows, its volume falls to nothing over the song's last rows, where it starts again.
struct ModuleSong {
    std::vector<int> periods;
    int rows = 8;
    int repeats = 1;
    int fadeRows = 0;
};
// The module file's bytes ("M.K." four-channel form).
std::vector<uint8_t> MakeModule(const ModuleSong& song);
bool WriteModule(const std::string& path, const ModuleSong& song);
// The tone frequency a period gives with our 32-sample sine cycle (PAL clock).
double ModuleToneFrequency(int period);
// The period whose tone comes nearest to hz.
int ModulePeriodForTone(double hz);

// A Standard MIDI file (format 0, one track) of these notes: each channel's instrument is the
// program of its first note; the tempo is fixed.
struct MidiNote {
    int channel;
    int program;
    int note; // 69 = A4, 440 Hz
    int startTick;
    int lengthTicks;
    int velocity = 100;
};
struct MidiSong {
    int ticksPerQuarter = 480;
    int microsPerQuarter = 500000; // 120 beats per minute
    std::vector<MidiNote> notes;
};
std::vector<uint8_t> MakeMidi(const MidiSong& song);
bool WriteMidi(const std::string& path, const MidiSong& song);

} // namespace audio_synth
