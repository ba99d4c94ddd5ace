#include "audio/player/audio_system.h"

#include <cstdlib>

#include "audio/banks/sound_bank.h"
#include "audio/ogg/ogg_engine.h"
#include "audio/ogg/ogg_player.h"
#include "audio/player/audio_player.h"
#include "platform/window/message_box.h"
#include "platform/system/time.h"

using platform::SoundResult;

GAudioSystem::GAudioSystem(GApplication*)
{
    std::srand(platform::GetTickMs());
}

GAudioSystem::~GAudioSystem()
{
    Shutdown();
}

int GAudioSystem::InitDirectSound(platform::SoundOutput output)
{
    if (m_device)
        return 0;
    if (CreateDirectSound(output) != SoundResult::kOk) {
        platform::ShowMessageBox("Ogg Engine", "Error initializing DirectSound",
                                 platform::MessageBoxButtons::kOk,
                                 platform::MessageBoxIcon::kError);
        return 0;
    }
    return 1;
}

SoundResult GAudioSystem::CreateDirectSound(platform::SoundOutput output)
{
    SoundResult result = SoundResult::kOk;
    m_device = platform::SoundDevice::Create(output, &result);
    if (!m_device)
        return result;
    return SetPrimaryFormat(2, 44100, 16);
}

SoundResult GAudioSystem::SetPrimaryFormat(int channels, int rate, int bits)
{
    if (!m_device)
        return SoundResult::kNoDevice;
    platform::SoundVoiceDesc desc;
    desc.flags = platform::sound_caps::kPrimary | platform::sound_caps::kCtrlVolume;
    std::unique_ptr<platform::SoundVoice> primary;
    SoundResult result = m_device->CreateBuffer(desc, &primary);
    if (result != SoundResult::kOk)
        return result;
    return primary->SetFormat(platform::WaveFormat::Pcm(
        static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), static_cast<uint16_t>(bits)));
}

GAudioPlayer* GAudioSystem::CreateAudioPlayer(const char* folder)
{
    if (!m_device || m_oggPlayer)
        return nullptr;
    if (!m_audioPlayer) {
        auto player = std::make_unique<GAudioPlayer>(m_device.get(), folder);
        if (player->StartThread())
            m_audioPlayer = std::move(player);
    }
    return m_audioPlayer.get();
}

GSoundBank* GAudioSystem::CreateSoundBank(int count, const char* folder)
{
    if (!m_device)
        return nullptr;
    if (!m_soundBank) {
        m_soundBank = std::make_unique<GSoundBank>(m_device.get(), folder);
        m_soundBank->Preload(count);
    }
    return m_soundBank.get();
}

GWavBank* GAudioSystem::CreateWavBank(int count, const char* folder)
{
    if (!m_device)
        return nullptr;
    if (!m_wavBank) {
        m_wavBank = std::make_unique<GWavBank>(m_device.get(), folder);
        m_wavBank->Preload(count);
    }
    return m_wavBank.get();
}

void GAudioSystem::DestroyWavBank()
{
    m_wavBank.reset();
}

GOggEngine* GAudioSystem::CreateOggEngine(int fileCount, const char* folder)
{
    if (!m_device)
        return nullptr;
    if (!m_oggEngine) {
        auto engine = std::make_unique<GOggEngine>(m_device.get(), folder);
        if (engine->Start(fileCount))
            m_oggEngine = std::move(engine);
    }
    return m_oggEngine.get();
}

void GAudioSystem::DestroyOggEngine()
{
    m_oggEngine.reset();
}

GOggPlayer* GAudioSystem::CreateOggPlayer(const char* folder)
{
    if (!m_device)
        return nullptr;
    if (!m_oggPlayer && !m_audioPlayer) {
        auto player = std::make_unique<GOggPlayer>(m_device.get(), folder);
        if (player->StartThread())
            m_oggPlayer = std::move(player);
    }
    return m_oggPlayer.get();
}

void GAudioSystem::DestroyOggPlayer()
{
    m_oggPlayer.reset();
}

void GAudioSystem::DestroyAudioPlayer()
{
    m_audioPlayer.reset();
}

void GAudioSystem::DestroySoundBank()
{
    m_soundBank.reset();
}

void GAudioSystem::Shutdown()
{
    DestroyWavBank();
    DestroySoundBank();
    DestroyOggEngine();
    DestroyOggPlayer();
    DestroyAudioPlayer();
    m_device.reset();
}
