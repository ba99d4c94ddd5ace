#include "audio/music/music_manager.h"

#include <mutex>
#include <string>

#include "audio/music/audio_file_problem.h"
#include "audio/player/audio_player.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/text/gstring.h"
#include "foundation/text/wstring.h"

namespace {

constexpr const char* kModeNames[] = {"game", "menu", "gameend", "gametimed"};

} // namespace

int32_t MusicModeFromName(const char* name)
{
    if (!name)
        return kMusicNone;
    for (int32_t mode = 0; mode < static_cast<int32_t>(std::size(kModeNames)); ++mode)
        if (StrCompare(name, kModeNames[mode]) == 0)
            return mode;
    return kMusicNone;
}

int GMusicManager::Init(const int32_t* musicVolume, GAudioPlayer* player, const char* listPath)
{
    if (!musicVolume || !player || !listPath)
        return 0;
    m_musicVolume = musicVolume;
    m_player = player;
    return LoadTrackList(listPath);
}

int GMusicManager::LoadTrackList(const char* path)
{
    m_entries.clear();
    GTableDataDoc table;
    if (!path || !table.LoadSection(path, 0, 0, kMusicTableKey) || table.GetRowCount() == 0)
        return 0;
    for (GDataDoc* row = table.GetChild(nullptr); row; row = table.GetNextSibling(row, nullptr)) {
        GMusicTrackEntry entry;
        const GWString name = row->GetAttributeString("TrackName", "");
        entry.mode = MusicModeFromName(name.GetNarrow());
        const std::string file =
            std::string(row->GetAttributeString("FileName", "").GetNarrow()) + ".skm";
        if (m_player) {
            // The player may hold tracks already: the entry keeps the index its track gets.
            std::lock_guard lock(GAudioPlayer::Lock());
            const int index = m_player->GetTrackCount();
            if (m_player->AddTrack(file.c_str(), 0))
                entry.trackIndex = static_cast<int16_t>(index);
        }
        entry.file = file;
        entry.position = static_cast<int16_t>(row->GetAttributeInt("Pos", 0));
        entry.volume = row->GetAttributeFloat("Vol", 0.0f);
        m_entries.push_back(entry);
    }
    return 1;
}

int GMusicManager::FindEntryTrack(GMusicTrackEntry& entry)
{
    if (entry.trackIndex < 0)
        return -1;
    const int index = m_player->FindTrack(entry.file.c_str(), entry.trackIndex);
    if (index < 0)
        ForgetTrack(entry);
    else
        entry.trackIndex = static_cast<int16_t>(index);
    return index;
}

void GMusicManager::ForgetTrack(GMusicTrackEntry& entry)
{
    entry.trackIndex = -1;
    GHtmlLog* log = m_log ? m_log : GDefaultLog::Get();
    const std::string folder = m_player ? m_player->GetFolder() : std::string();
    log->PrintError("Music track %s; its mode stays silent",
                    AudioFileProblem(folder + entry.file).c_str());
}

void GMusicManager::PlayForMode(int32_t mode)
{
    if (!m_enabled || !m_player)
        return;
    GMusicTrackEntry* found = nullptr;
    for (GMusicTrackEntry& entry : m_entries) {
        if (entry.mode == mode) {
            found = &entry;
            break;
        }
    }
    if (!found)
        return;
    // The player's thread may remove a track between the look-up and the play.
    std::lock_guard lock(GAudioPlayer::Lock());
    m_player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    m_player->SetVolume(m_musicVolume ? *m_musicVolume : 10000);
    const int index = FindEntryTrack(*found);
    if (index < 0)
        m_player->Stop(); // its track was refused or removed: this mode is silent, not another's
    else if (!m_player->PlayTrack(index, found->position) &&
             m_player->FindTrack(found->file.c_str(), index) < 0)
        ForgetTrack(*found); // it could not be opened and the player removed it
    m_mode = mode;
}

void GMusicManager::SetEnabled(int32_t flag)
{
    if (flag == m_enabled)
        return;
    m_enabled = flag;
    if (flag)
        PlayForMode(m_mode);
    else if (m_player)
        m_player->Stop();
}
