#pragma once
// The tone files the audio suites play, made with our synthesiser into a scratch folder:
// Ogg and MP3 tones of known pitch and tracker modules whose patterns each play one note.

#include <string>
#include <vector>

#include "support/temp_files.h"
#include "tools/tolvanrise-audio/audio_synth.h"

namespace tolvanrise::test {

inline std::string WriteTone(const TempFolder& folder, const std::string& name, double hz,
                             int channels, int rate, double seconds, double amplitude = 0.5)
{
    const auto pcm = audio_synth::MakeTone({hz}, amplitude, channels, rate, seconds);
    const std::string path = folder.Path(name);
    const bool mp3 = name.size() > 4 && name.compare(name.size() - 4, 4, ".mp3") == 0;
    const bool ok = mp3 ? audio_synth::WriteMp3(path, pcm, channels, rate)
                        : audio_synth::WriteOgg(path, pcm, channels, rate);
    return ok ? path : std::string();
}

inline std::string WriteModule(const TempFolder& folder, const std::string& name,
                               std::vector<int> periods, int rows)
{
    const std::string path = folder.Path(name);
    return audio_synth::WriteModule(path, {std::move(periods), rows}) ? path : std::string();
}

} // namespace tolvanrise::test
