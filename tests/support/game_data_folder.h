#pragma once
// A private copy of the build's data folder with a data home of its own beside it. Entered,
// the folder is made current and the shared data folder (where the profiles go) is redirected
// into the copy for the object's life: a game started here reads the shipped data, may write
// its log beside it and never touches the user's own files. A program started in a copy that
// was not entered gets HomeEnv() in its environment instead. Suites that use it define
// TOLVANRISE_DATA_DIR (the build's data folder).

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
        std::filesystem::copy(TOLVANRISE_DATA_DIR, m_folder.Path("data"),
                              std::filesystem::copy_options::recursive, error);
        std::filesystem::create_directories(m_folder.Path("home"), error);
        if (enter) {
            m_home.emplace("XDG_DATA_HOME", Home());
            m_current.emplace(m_folder.Path("data"));
        }
    }

    // A file of the data folder.
    std::string Data(std::string_view name) const { return m_folder.Path("data/" + std::string(name)); }
    std::string DataFolder() const { return m_folder.Path("data"); }
    // Where the profiles are kept.
    std::string ProfilesFolder() const { return m_folder.Path("home/Hallowmere/Tolvanrise/PROFILES"); }
    std::string Home() const { return m_folder.Path("home"); }
    std::string HomeEnv() const { return "XDG_DATA_HOME=" + Home(); }

private:
    TempFolder m_folder;
    std::optional<ScopedEnvVar> m_home;
    std::optional<ScopedCurrentFolder> m_current;
};

} // namespace tolvanrise::test
