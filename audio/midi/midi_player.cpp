#include "audio/midi/midi_player.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

#include "audio/player/stream_support.h"
#include "foundation/files/data_files.h"
#include "platform/sound/midi_synth.h"

using platform::SoundResult;

namespace {

platform::RecursiveLock g_midiLock;
GMidiPlayer* g_activeMidiPlayer = nullptr; // guarded by g_midiLock

constexpr double kTempoFactors[GMidiPlayer::kTempoCount] = {0.25, 0.5, 0.75, 1.0, 2.0, 3.0, 4.0};
constexpr int kRestoreSleepMs = 10;

std::string FolderWithSeparator(const char* folder)
{
    std::string path = folder ? folder : "MIDI\\";
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path;
}

} // namespace

GMidiPlayer::GMidiPlayer(platform::SoundDevice* device, platform::Window* window, const char* folder)
    : m_device(device), m_folder(FolderWithSeparator(folder))
{
}

GMidiPlayer::~GMidiPlayer()
{
    Shutdown();
}

platform::RecursiveLock& GMidiPlayer::Lock()
{
    return g_midiLock;
}

GMidiPlayer* GMidiPlayer::Active()
{
    std::lock_guard lock(g_midiLock);
    return g_activeMidiPlayer;
}

double GMidiPlayer::TempoFactor(int index)
{
    return index >= 0 && index < kTempoCount ? kTempoFactors[index] : 0.0;
}

int GMidiPlayer::CreateBuffer()
{
    const platform::WaveFormat format = platform::WaveFormat::Pcm(2, platform::SoundDevice::kRate, 16);
    platform::SoundBufferDesc desc;
    desc.flags = platform::sound_caps::kGetCurrentPosition2 | platform::sound_caps::kCtrlPositionNotify |
                 platform::sound_caps::kCtrlVolume;
    desc.bytes = kBufferBytes;
    desc.format = &format;
    platform::SoundNotifyPosition positions[kBlockCount];
    for (int i = 0; i < kBlockCount; ++i)
        positions[i] = {kBlockBytes * (i + 1) - 4, m_event};
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk ||
        m_buffer->SetNotificationPositions(positions) != SoundResult::kOk) {
        m_buffer.reset();
        return 0;
    }
    for (int i = 0; i < kBlockCount; ++i)
        RenderBlock(i);
    m_nextBlock = 0;
    return m_buffer->Play(true) == SoundResult::kOk ? 1 : 0;
}

int GMidiPlayer::Start(int fileCount)
{
    std::lock_guard lock(g_midiLock);
    if (g_activeMidiPlayer || m_thread)
        return 0;
    if (!m_device) {
        ShowAlert("Warning: No sound card found!");
        return 0;
    }
    platform::MidiSynthError error = platform::MidiSynthError::kNone;
    m_synth = platform::MidiSynth::Create(platform::SoundDevice::kRate, &error);
    if (!m_synth) {
        ShowAlert(error == platform::MidiSynthError::kNoSoundFont ? "Cannot Init Audio System!"
                                                                  : "Cannot init music performance!");
        return 0;
    }
    m_event = std::shared_ptr<platform::AutoResetEvent>(new (std::nothrow) platform::AutoResetEvent);
    if (!m_event || !CreateBuffer()) {
        ShowAlert("Cannot Init Audio System!");
        m_buffer.reset();
        m_event.reset();
        m_synth.reset();
        return 0;
    }
    m_thread = platform::Thread::Start([this](platform::Thread& thread) {
        RunNotificationLoop(thread, *m_event, g_midiLock, "MIDI Player", [this] { return HandleNotification(); });
    });
    if (!m_thread) {
        m_buffer.reset();
        m_event.reset();
        m_synth.reset();
        return 0;
    }
    m_fileCount = fileCount;
    m_synth->SetTempoFactor(kTempoFactors[m_tempo]);
    m_synth->SetGain(std::pow(10.0, m_level / 2000.0));
    g_activeMidiPlayer = this;
    return 1;
}

int GMidiPlayer::RenderBlock(int block)
{
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(static_cast<uint32_t>(block) * kBlockBytes, kBlockBytes, &part, &bytes, nullptr,
                       nullptr) != SoundResult::kOk)
        return 0;
    m_synth->Render(static_cast<int16_t*>(part), static_cast<int>(bytes / 4));
    m_buffer->Unlock(part, bytes, nullptr, 0);
    return 1;
}

int GMidiPlayer::HandleNotification()
{
    if (g_activeMidiPlayer != this || !m_buffer)
        return 1;
    uint32_t status = 0;
    if (m_buffer->GetStatus(&status) != SoundResult::kOk)
        return 0;
    if (status & platform::sound_status::kBufferLost) {
        if (!RestoreLostBuffer(*m_buffer, kRestoreSleepMs))
            return 0;
        for (int i = 0; i < kBlockCount; ++i)
            RenderBlock(i);
        return m_buffer->Play(true) == SoundResult::kOk ? 1 : 0;
    }
    uint32_t play = 0;
    if (m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return 0;
    const int playing = static_cast<int>(play / kBlockBytes);
    for (; m_nextBlock != playing; m_nextBlock = (m_nextBlock + 1) % kBlockCount) {
        if (!RenderBlock(m_nextBlock))
            return 0;
    }
    if (m_segment.downloaded && !m_segment.paused && !Loops() && m_synth->HasEnded()) {
        m_segment.downloaded = false;
        // A file that does not load is passed over rather than ending the music for good.
        for (int tries = 0; m_repeatNext && tries < 2 * m_fileCount && !Play(-1); ++tries) {
        }
    }
    return 1;
}

int GMidiPlayer::Play(int index)
{
    std::lock_guard lock(g_midiLock);
    if (g_activeMidiPlayer != this || index >= m_fileCount || m_fileCount <= 0)
        return 0;
    if (index < 0) {
        do
            index = std::rand() % m_fileCount;
        while (index == m_current && m_fileCount > 1);
    }
    m_segment = {};
    const std::string path = m_folder + std::to_string(index) + ".mid";
    if (!m_synth->Load(path.c_str())) {
        ShowAlert("Unable to load object from file");
        return 0;
    }
    m_current = index;
    m_segment.downloaded = true;
    m_segment.startTick = 0;
    return m_synth->Play(Loops()) ? 1 : 0;
}

void GMidiPlayer::Stop()
{
    std::lock_guard lock(g_midiLock);
    if (m_synth)
        m_synth->Stop();
    m_segment.downloaded = false;
    m_segment.paused = false;
}

void GMidiPlayer::Pause()
{
    std::lock_guard lock(g_midiLock);
    if (!m_synth || !m_segment.downloaded || m_segment.paused)
        return;
    m_segment.pausedAt = m_synth->GetTick();
    m_synth->Stop();
    m_segment.paused = true;
}

void GMidiPlayer::Resume()
{
    std::lock_guard lock(g_midiLock);
    if (!m_synth || !m_segment.paused)
        return;
    m_synth->Seek(m_segment.pausedAt);
    m_segment.startTick = m_segment.pausedAt;
    m_segment.paused = false;
    m_synth->Play(Loops());
}

bool GMidiPlayer::IsPlaying()
{
    std::lock_guard lock(g_midiLock);
    return m_synth && m_segment.downloaded && !m_segment.paused && (Loops() || !m_synth->HasEnded());
}

bool GMidiPlayer::IsPaused()
{
    std::lock_guard lock(g_midiLock);
    return m_segment.paused;
}

void GMidiPlayer::SetVolume(int volume)
{
    std::lock_guard lock(g_midiLock);
    if (volume < 0 || volume > 10000 || volume == m_volume)
        return;
    m_volume = volume;
    m_level = volume == 0 ? kSilentLevel : static_cast<int32_t>(4000.0 * std::log10(volume / 10000.0));
    if (m_synth)
        m_synth->SetGain(volume == 0 ? 0.0 : std::pow(10.0, m_level / 2000.0));
}

void GMidiPlayer::SetTempo(int index)
{
    std::lock_guard lock(g_midiLock);
    if (index < 0 || index >= kTempoCount)
        return;
    m_tempo = index;
    if (m_synth)
        m_synth->SetTempoFactor(kTempoFactors[index]);
}

int GMidiPlayer::GetCurrentFile()
{
    std::lock_guard lock(g_midiLock);
    return m_current;
}

void GMidiPlayer::SetRepeatNext(int flag)
{
    std::lock_guard lock(g_midiLock);
    m_repeatNext = flag;
}

void GMidiPlayer::Shutdown()
{
    {
        std::lock_guard lock(g_midiLock);
        if (g_activeMidiPlayer != this)
            return;
        m_synth->Stop();
        m_buffer->Stop();
    }
    EndNotificationThread(m_thread);
    std::lock_guard lock(g_midiLock);
    m_buffer.reset();
    m_event.reset();
    m_synth.reset();
    m_segment = {};
    m_current = -1;
    g_activeMidiPlayer = nullptr;
}
