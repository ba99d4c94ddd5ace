#include "audio/decoders/module_decoder.h"

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
    if (m_player) {
        if (m_player->Init(&params) != 0)
            return 0;
        m_listener.m_owner = this;
    }
    m_format = platform::WaveFormat::Pcm(2, static_cast<uint32_t>(params.rate), 16, 18);
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

int GModuleDecoder::Read(uint8_t* buffer, int32_t length, int32_t* count)
{
    if (!buffer || length < 0)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(length));
    const auto* carry = reinterpret_cast<const uint8_t*>(m_carry);
    int32_t copied = 0;
    int32_t wanted = length;
    if (m_carryPosition >= 0) {
        const int32_t available = kChunkBytes - m_carryPosition;
        if (wanted <= available) {
            std::memcpy(buffer, carry + m_carryPosition, static_cast<size_t>(wanted));
            m_carryPosition += wanted;
            if (m_carryPosition >= kChunkBytes)
                m_carryPosition = -1;
            if (count)
                *count = wanted;
            return 1;
        }
        std::memcpy(buffer, carry + m_carryPosition, static_cast<size_t>(available));
        m_carryPosition = -1;
        copied = available;
        wanted -= available;
    }
    if (m_listener.m_ended || !m_player || !m_song || wanted == 0) {
        if (count)
            *count = copied;
        return 1;
    }
    for (;;) {
        m_player->Render(m_render, kChunkFrames);
        for (int i = 0; i < kChunkFrames * 2; ++i) {
            const float scaled = std::nearbyint(m_render[i] * 32768.0f);
            m_carry[i] = static_cast<int16_t>(scaled > 32767.0f ? 32767 : scaled < -32768.0f ? -32768 : scaled);
        }
        if (wanted > kChunkBytes) {
            std::memcpy(buffer + copied, carry, kChunkBytes);
            copied += kChunkBytes;
            wanted -= kChunkBytes;
            if (m_listener.m_ended) {
                if (count)
                    *count = copied;
                return 1;
            }
            continue;
        }
        std::memcpy(buffer + copied, carry, static_cast<size_t>(wanted));
        if (wanted < kChunkBytes)
            m_carryPosition = wanted;
        if (count)
            *count = copied + wanted;
        return 1;
    }
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
