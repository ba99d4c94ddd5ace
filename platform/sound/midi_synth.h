#pragma once
// A General MIDI synthesiser for Standard MIDI files, rendering 16-bit stereo PCM on demand:
// FluidSynth with a GM sound font from the system (the first of the known Debian places, or
// the file named by TOLVANRISE_SOUNDFONT). The song advances only as frames are rendered, so
// playback follows whatever clock pulls the samples. One thread at a time.

#include <cstdint>
#include <memory>
#include <vector>

struct MidiSynthParts;

namespace platform {

enum class MidiSynthError { kNone, kNoSynth, kNoSoundFont };

class MidiSynth {
public:
    // Null when FluidSynth cannot start or no sound font loads (*error says which).
    static std::unique_ptr<MidiSynth> Create(int rate, MidiSynthError* error = nullptr);
    ~MidiSynth();
    MidiSynth(const MidiSynth&) = delete;
    MidiSynth& operator=(const MidiSynth&) = delete;

    // Replaces the song (silencing the old one) with a Standard MIDI file; false when the
    // bytes do not start as one (the old song is gone either way). Names resolve as every
    // engine file name does.
    bool Load(const char* path);
    bool LoadBytes(std::vector<uint8_t> bytes);
    // Plays from the current position; loops forever while loop is set.
    bool Play(bool loop);
    // Stops where it is (sounding notes are released); Play goes on from there.
    void Stop();
    // Back to the given tick (0: the start).
    void Seek(int tick);
    int GetTick() const;
    bool IsPlaying() const;
    // The song ran to its end (not stopped by Stop).
    bool HasEnded() const;
    // Amplitude factor of the whole output (1: the synthesiser's own level).
    void SetGain(double factor);
    // The song's own tempo times factor.
    void SetTempoFactor(double factor);
    // Writes frames stereo frames; silence without a song.
    void Render(int16_t* stereo, int frames);

private:
    explicit MidiSynth(std::unique_ptr<MidiSynthParts> parts);
    void DropSong();

    std::unique_ptr<MidiSynthParts> m_parts;
    double m_tempo = 1.0;
    bool m_stopped = true;
};

// The sound font Create would load ("" when there is none). The pointer stays valid while the
// environment variable is not changed.
const char* FindSoundFont();

} // namespace platform
