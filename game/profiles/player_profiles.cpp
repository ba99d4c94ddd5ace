#include "game/profiles/player_profiles.h"

#include <cstring>
#include <utility>

#include "foundation/files/data_files.h"

bool GGameSettings::IsPlausible() const
{
    const auto volume = [](int32_t v) { return v >= 0 && v <= kMaxVolume; };
    return flags[0] <= 1 && flags[1] <= 1 && volume(musicVolume) && volume(soundVolume);
}

GPlayerProfiles::GPlayerProfiles(std::string profilesFolder) : m_folder(std::move(profilesFolder))
{
    ResetToDefaults();
}

void GPlayerProfiles::ResetToDefaults()
{
    m_store.fill(0);
    m_settings = GGameSettings();
    std::memcpy(m_store.data(), &m_settings, sizeof m_settings);
}

int GPlayerProfiles::Load()
{
    std::array<uint8_t, kStoreSize> read{};
    GGameSettings settings;
    if (ReadUserRecordFile(kRecordNumber, read.data(), kStoreSize, m_folder.c_str()) == 1) {
        std::memcpy(&settings, read.data(), sizeof settings);
        if (settings.IsPlausible()) {
            m_store = read;
            m_settings = settings;
            return 1;
        }
    }
    ResetToDefaults();
    return 0;
}

int GPlayerProfiles::Save()
{
    CreateDataSubfolder(m_folder.c_str());
    std::memcpy(m_store.data(), &m_settings, sizeof m_settings);
    return WriteUserRecordFile(kRecordNumber, m_store.data(), kStoreSize, m_folder.c_str());
}

int GTopScoreTable::Load()
{
    if (ReadUserRecordFile(kRecordNumber, m_entries.data(), sizeof m_entries, m_folder.c_str()) == 1) {
        // Names are shown as text: each ends inside its field whatever the file held.
        for (GTopScoreEntry& entry : m_entries)
            entry.name[sizeof entry.name - 1] = '\0';
        return 1;
    }
    m_entries.fill(GTopScoreEntry());
    return 0;
}

int GTopScoreTable::Save()
{
    CreateDataSubfolder(m_folder.c_str());
    return WriteUserRecordFile(kRecordNumber, m_entries.data(), sizeof m_entries, m_folder.c_str());
}
