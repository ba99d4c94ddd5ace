#include "tools/tolvanrise-audio/audio_data.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "audio/music/music_manager.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "foundation/text/wstring.h"
#include "platform/files/file_system.h"
#include "tools/tolvanrise-audio/audio_synth.h"

namespace audio_data {
namespace {

constexpr double kTrackSeconds = 4.0;
constexpr int kTrackRate = 44100;
constexpr int kEffectRate = 22050;
constexpr double kEffectSeconds = 0.25;

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "tolvanrise-audio: %s\n", what.c_str());
    return false;
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes)
{
    platform::FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    return !std::ferror(file.get());
}

// The plain list, scrambled as the managers read it.
bool WriteScrambled(const std::string& source, const std::string& target, uint8_t key)
{
    std::vector<uint8_t> bytes;
    if (!ReadBytes(source, bytes))
        return Fail("cannot read " + source);
    XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
    platform::FilePtr file(std::fopen(target.c_str(), "wb"));
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return Fail("cannot write " + target);
    return true;
}

bool LoadPlain(const std::string& path, GTableDataDoc& table)
{
    if (!table.LoadSection(path.c_str(), 0, 0, 0) || table.GetRowCount() == 0)
        return Fail("cannot read the list " + path);
    return true;
}

// One held note across 128 patterns of 1.28 s: the song starts again after 163.84 s, the
// note fading out over its last 160 ms so that the new start follows silence.
bool WriteTrack(const std::string& base, double hz)
{
    const int period = audio_synth::ModulePeriodForTone(hz);
    const auto pcm = audio_synth::MakeTone({hz}, 0.5, 2, kTrackRate, kTrackSeconds);
    return audio_synth::WriteModule(base + ".skm", {{period}, 64, 128, 8}) &&
           audio_synth::WriteOgg(base + ".ogg", pcm, 2, kTrackRate) &&
           audio_synth::WriteMp3(base + ".mp3", pcm, 2, kTrackRate);
}

bool WriteMusic(const std::string& source, const std::string& folder)
{
    GTableDataDoc table;
    if (!LoadPlain(source + "/music.ini", table))
        return false;
    for (GDataDoc* row = table.GetChild(nullptr); row; row = table.GetNextSibling(row, nullptr)) {
        const GWString mode = row->GetAttributeString("TrackName", "");
        const GWString name = row->GetAttributeString("FileName", "");
        const double hz = ModeToneHz(mode.GetNarrow());
        if (hz <= 0 || !WriteTrack(folder + "/" + name.GetNarrow(), hz))
            return Fail(std::string("cannot make the track of ") + mode.GetNarrow());
    }
    return WriteScrambled(source + "/music.ini", folder + "/music.ini", kMusicTableKey);
}

bool WriteSounds(const std::string& source, const std::string& folder)
{
    GTableDataDoc table;
    if (!LoadPlain(source + "/sound.csv", table))
        return false;
    int index = 0;
    for (GDataDoc* row = table.GetChild(nullptr); row; row = table.GetNextSibling(row, nullptr)) {
        const GWString text = row->GetAttributeString("SoundName", "");
        const std::string_view names = text.GetNarrow();
        for (size_t start = 0; start <= names.size();) {
            const size_t comma = std::min(names.find(',', start), names.size());
            const std::string name(names.substr(start, comma - start));
            start = comma + 1;
            if (name.empty())
                continue;
            const auto pcm =
                audio_synth::MakeTone({EffectToneHz(index++)}, 0.6, 1, kEffectRate, kEffectSeconds);
            if (!audio_synth::WriteOgg(folder + "/" + name + ".ogg", pcm, 1, kEffectRate, 0.3f))
                return Fail("cannot write the effect " + name);
        }
    }
    return WriteScrambled(source + "/sound.csv", folder + "/sound.csv", kSoundTableKey);
}

} // namespace

double ModeToneHz(const char* mode)
{
    static constexpr double kTones[] = {330.0, 440.0, 554.0, 660.0};
    const int32_t number = MusicModeFromName(mode);
    return number >= 0 ? kTones[number] : 0.0;
}

double EffectToneHz(int index)
{
    return 300.0 + 25.0 * index;
}

bool WriteAudioData(const std::string& sourceFolder, const std::string& dataFolder)
{
    const std::string music = dataFolder + "/MUSIC";
    const std::string sounds = dataFolder + "/SOUNDS";
    if (!platform::CreateFolders(music.c_str()) || !platform::CreateFolders(sounds.c_str()))
        return Fail("cannot make the folders under " + dataFolder);
    return WriteMusic(sourceFolder, music) && WriteSounds(sourceFolder, sounds);
}

} // namespace audio_data
