#include "audio/decoders/module_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void GModuleEventListener::OnEvent(int event, int)
{
    if (!m_owner || event != 0)
        return;
    m_ended = true;
    if (m_owner->m_player)
        m_owner->m_player->SetState(platform::ModulePlayer::kEnded);
}

GModuleDecoder::GModuleDecoder(platform::ModuleLibrary* library) : m_library(library) {}

GModuleDecoder::~GModuleDecoder()
{
    if (m_player)
        Close();
}

int GModuleDecoder::Init()
{
    if (!m_library)
        return 0;
    platform::ModulePlayerParams params;
    m_player = m_library->CreatePlayer();
    if (m_player && m_player->Init(&params) != 0)
        m_player.reset();
    // The format is set also without a player: it describes what an open would give.
    m_format = platform::WaveFormat::Pcm(2, static_cast<uint32_t>(params.rate), 16, 18);
    if (!m_player)
        return 0;
    m_listener.m_owner = this;
    return params.rate;
}

int GModuleDecoder::Open(const char* path, int startPosition)
{
    if (!m_player || !path)
        return 0;
    m_listener.m_ended = false;
    m_player->SetListener(&m_listener);
    m_song = m_player->Load(path);
    if (!m_song)
        return 0;
    m_player->SelectSong(m_song);
    m_player->SetStartPosition(startPosition);
    m_player->SetState(platform::ModulePlayer::kPlaying);
    return 1;
}

void GModuleDecoder::Close()
{
    if (m_player && m_song) {
        m_player->FreeSong(m_song);
        m_song = 0;
    }
    m_carryPosition = -1;
}

// The carry-over holds the rest of the last chunk; the chunk in which the song ended holds
// only the frames the song filled, so the end of a read is the song's last real frame.
int GModuleDecoder::Read(uint8_t* buffer, int32_t length, int32_t* count)
{
    if (!buffer || length < 0)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    const auto* carry = reinterpret_cast<const uint8_t*>(m_carry);
    int32_t copied = 0;
    int32_t wanted = length;
    if (m_carryPosition >= 0) {
        const int32_t take = std::min(wanted, m_carryBytes - m_carryPosition);
        std::memcpy(buffer, carry + m_carryPosition, static_cast<size_t>(take));
        m_carryPosition += take;
        if (m_carryPosition >= m_carryBytes)
            m_carryPosition = -1;
        copied = take;
        wanted -= take;
    }
    while (wanted > 0 && !m_listener.m_ended && m_player && m_song) {
        const int frames = m_player->Render(m_render, kChunkFrames);
        for (int i = 0; i < frames * 2; ++i) {
            const float scaled = std::nearbyint(m_render[i] * 32768.0f);
            m_carry[i] = static_cast<int16_t>(scaled > 32767.0f    ? 32767
                                              : scaled < -32768.0f ? -32768
                                                                   : scaled);
        }
        if (frames <= 0)
            break; // nothing more will come, whether or not the end was announced
        m_carryBytes = frames * 4;
        const int32_t take = std::min(wanted, m_carryBytes);
        std::memcpy(buffer + copied, carry, static_cast<size_t>(take));
        if (take < m_carryBytes)
            m_carryPosition = take;
        copied += take;
        wanted -= take;
    }
    if (count)
        *count = copied;
    return 1;
}

int GModuleDecoder::Rewind()
{
    if (!m_player || !m_song)
        return 0;
    m_listener.m_ended = false;
    m_carryPosition = -1;
    m_player->SetState(platform::ModulePlayer::kPlaying);
    return 1;
}
