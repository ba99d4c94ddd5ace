// The player's record files as the game reads them: the input's first two bytes split the rest
// into the profile store's file and the top scores' file, written raw (scrambled, as on disk)
// into a folder of their own and read with GPlayerProfiles::Load and GTopScoreTable::Load.
// Whatever the files held, the settings must come out on the scale and the names terminated;
// a save must then read back to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_files.h"
#include "game/profiles/player_profiles.h"

namespace {

void WriteRaw(const std::string& path, const uint8_t* data, size_t size)
{
    platform::DeleteFile((path + ".damaged").c_str());
    fuzz::WriteBytes(path, fuzz::Bytes(data, data + size));
}

void Check(const GGameSettings& s)
{
    if (!s.IsPlausible())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 64 * 1024)
        return 0;
    const std::string& folder = fuzz::ScratchFolder("record_files");
    const size_t split = std::min<size_t>(size - 2, size_t(data[0] | data[1] << 8));
    WriteRaw(folder + "00000000.bin", data + 2, split);
    WriteRaw(folder + "00009999.bin", data + 2 + split, size - 2 - split);

    GPlayerProfiles profiles(folder);
    GTopScoreTable scores(folder);
    const int storeRead = profiles.Load();
    scores.Load();
    Check(profiles.GetDefaultSettings());
    for (const GTopScoreEntry& entry : scores.Entries())
        if (!std::memchr(entry.name, 0, sizeof entry.name))
            __builtin_trap();
    if (storeRead == 1 && split != GPlayerProfiles::kStoreSize)
        __builtin_trap();

    // What was read (and mended) must survive a save as it is.
    if (scores.Save() != 1 || profiles.Save() != 1)
        __builtin_trap();
    GPlayerProfiles again(folder);
    GTopScoreTable scoresAgain(folder);
    if (again.Load() != 1 || scoresAgain.Load() != 1 ||
        std::memcmp(&again.GetDefaultSettings(), &profiles.GetDefaultSettings(),
                    sizeof(GGameSettings)) != 0 ||
        std::memcmp(scoresAgain.Entries().data(), scores.Entries().data(),
                    sizeof scores.Entries()) != 0)
        __builtin_trap();
    return 0;
}
