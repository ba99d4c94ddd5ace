#pragma once
// Writes a profile store whose settings are the given ones, as a game saved it, into the
// profiles folder (made when missing). 1 when written.

#include <filesystem>
#include <string>

#include "game/profiles/player_profiles.h"

namespace tolvanrise::test {

inline int SaveSettings(const std::string& folder, int32_t music, int32_t sound, uint8_t fullScreen)
{
    std::filesystem::create_directories(folder);
    GPlayerProfiles profiles(folder);
    GGameSettings& settings = profiles.GetDefaultSettings();
    settings.musicVolume = music;
    settings.soundVolume = sound;
    settings.flags[GGameSettings::kFullScreenFlag] = fullScreen;
    return profiles.Save();
}

// The default volumes in a window.
inline int SaveWindowed(const std::string& folder)
{
    const GGameSettings defaults;
    return SaveSettings(folder, defaults.musicVolume, defaults.soundVolume, 0);
}

} // namespace tolvanrise::test
