#pragma once
// A private copy of the build's data folder (TOLVANRISE_DATA_DIR) with a data home beside it,
// so a game run there never touches the user's files. Entered, the copy is made current and
// the shared data folder points into it for the object's life; a program started in a copy
// not entered takes HomeEnv() instead.

#include <filesystem>
#include <optional>
#include <string>

#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace tolvanrise::test {

class GameDataFolder {
public:
    explicit GameDataFolder(std::string_view prefix = "game_data_", bool enter = true) : m_folder(prefix)
    {
        std::error_code error;
        std::filesystem::copy(TOLVANRISE_DATA_DIR, DataFolder(), std::filesystem::copy_options::recursive, error);
        if (enter) {
            m_home.emplace("XDG_DATA_HOME", m_folder.Path("home"));
            m_current.emplace(DataFolder());
        }
    }

    std::string DataFolder() const { return m_folder.Path("data"); }
    std::string Data(std::string_view name) const { return DataFolder() + "/" + std::string(name); }
    std::string ProfilesFolder() const { return m_folder.Path("home/Hallowmere/Tolvanrise/PROFILES"); }
    std::string HomeEnv() const { return "XDG_DATA_HOME=" + m_folder.Path("home"); }

private:
    TempFolder m_folder;
    std::optional<ScopedEnvVar> m_home;
    std::optional<ScopedCurrentFolder> m_current;
};

} // namespace tolvanrise::test
