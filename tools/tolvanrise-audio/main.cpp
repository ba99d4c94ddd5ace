// tolvanrise-audio: writes tones and tracker modules of known pitch for tests, benchmarks and
// the data folder.
//   tolvanrise-audio tone <out.ogg|out.mp3> <channels> <rate> <seconds> <Hz>...
//   tolvanrise-audio module <out.mod> <rows per pattern> <period>...
//   tolvanrise-audio data <source folder> <data folder>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/tolvanrise-audio/audio_data.h"
#include "tools/tolvanrise-audio/audio_synth.h"

int main(int argc, char** argv)
{
    if (argc >= 7 && std::strcmp(argv[1], "tone") == 0) {
        const std::string out = argv[2];
        const int channels = std::atoi(argv[3]);
        const int rate = std::atoi(argv[4]);
        std::vector<double> tones;
        for (int i = 6; i < argc; ++i)
            tones.push_back(std::atof(argv[i]));
        const auto pcm = audio_synth::MakeTone(tones, 0.5, channels, rate, std::atof(argv[5]));
        const bool mp3 = out.size() > 4 && out.compare(out.size() - 4, 4, ".mp3") == 0;
        const bool ok = mp3 ? audio_synth::WriteMp3(out, pcm, channels, rate)
                            : audio_synth::WriteOgg(out, pcm, channels, rate);
        return ok ? 0 : 1;
    }
    if (argc >= 5 && std::strcmp(argv[1], "module") == 0) {
        audio_synth::ModuleSong song;
        song.rows = std::atoi(argv[3]);
        for (int i = 4; i < argc; ++i)
            song.periods.push_back(std::atoi(argv[i]));
        return audio_synth::WriteModule(argv[2], song) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "data") == 0)
        return audio_data::WriteAudioData(argv[2], argv[3]) ? 0 : 1;
    std::fprintf(stderr, "usage: tolvanrise-audio tone <out.ogg|out.mp3> <channels> <rate> <seconds> <Hz>...\n"
                         "       tolvanrise-audio module <out.mod> <rows per pattern> <period>...\n"
                         "       tolvanrise-audio data <source folder> <data folder>\n");
    return 2;
}
