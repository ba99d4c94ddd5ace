#include "audio/midi/midi_player.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

#include "foundation/files/data_files.h"
#include "platform/sound/midi_synth.h"

using platform::SoundResult;

namespace {

GStreamKind g_midiKind{"MIDI Player", 10};

constexpr double kTempoFactors[GMidiPlayer::kTempoCount] = {0.25, 0.5, 0.75, 1.0, 2.0, 3.0, 4.0};
constexpr const char* kLoadFailed = "Unable to load object from file";

std::string FolderWithSeparator(const char* folder)
{
    std::string path = folder ? folder : "MIDI\\";
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    return path;
}

} // namespace

GMidiPlayer::GMidiPlayer(platform::SoundDevice* device, const char* folder)
    : m_device(device), m_folder(FolderWithSeparator(folder)), m_stream(g_midiKind)
{
}

GMidiPlayer::~GMidiPlayer()
{
    Shutdown();
}

platform::RecursiveLock& GMidiPlayer::Lock()
{
    return g_midiKind.lock;
}

GMidiPlayer* GMidiPlayer::Active()
{
    return g_midiKind.Running<GMidiPlayer>();
}

double GMidiPlayer::TempoFactor(int index)
{
    return index >= 0 && index < kTempoCount ? kTempoFactors[index] : 0.0;
}

bool GMidiPlayer::CreateBuffer()
{
    const platform::WaveFormat format =
        platform::WaveFormat::Pcm(2, platform::SoundDevice::kRate, 16);
    platform::SoundVoiceDesc desc;
    desc.flags = platform::sound_caps::kGetCurrentPosition2 |
                 platform::sound_caps::kCtrlPositionNotify | platform::sound_caps::kCtrlVolume;
    desc.bytes = kBufferBytes;
    desc.format = &format;
    platform::SoundNotifyPosition positions[kBlockCount];
    for (int i = 0; i < kBlockCount; ++i)
        positions[i] = {kBlockBytes * (i + 1) - 4, m_stream.Event()};
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk ||
        m_buffer->SetNotificationPositions(positions) != SoundResult::kOk) {
        m_buffer.reset();
        return false;
    }
    for (int i = 0; i < kBlockCount; ++i)
        RenderBlock(i);
    m_nextBlock = 0;
    return m_buffer->Play(true) == SoundResult::kOk;
}

int GMidiPlayer::Start(int fileCount)
{
    const char* failure = nullptr;
    bool started = false;
    {
        std::lock_guard lock(g_midiKind.lock);
        if (g_midiKind.active)
            return 0;
        platform::MidiSynthError error = platform::MidiSynthError::kNone;
        if (!m_device) {
            failure = "Warning: No sound card found!";
        } else if (!(m_synth = platform::MidiSynth::Create(platform::SoundDevice::kRate, &error))) {
            failure = error == platform::MidiSynthError::kNoSoundFont
                          ? "Cannot Init Audio System!"
                          : "Cannot init music performance!";
        } else if (!m_stream.Start(this, [this] { return HandleNotification(); })) {
            failure = "Cannot Init Audio System!";
            m_synth.reset();
        } else if (started = true; !CreateBuffer()) {
            failure = "Cannot Init Audio System!";
        } else {
            m_fileCount = fileCount;
            m_synth->SetTempoFactor(kTempoFactors[m_tempo]);
            m_synth->SetGain(std::pow(10.0, m_level / 2000.0));
            return 1;
        }
    }
    if (started) // the thread ends outside the lock: it may be waiting for it
        m_stream.Shutdown([] {},
                          [this] {
                              m_buffer.reset();
                              m_synth.reset();
                          });
    if (failure)
        ShowAlert(failure);
    return 0;
}

bool GMidiPlayer::RenderBlock(int block)
{
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(static_cast<uint32_t>(block) * kBlockBytes, kBlockBytes, &part, &bytes,
                       nullptr, nullptr) != SoundResult::kOk)
        return false;
    m_synth->Render(static_cast<int16_t*>(part), static_cast<int>(bytes / 4));
    m_buffer->Unlock(part, bytes, nullptr, 0);
    return true;
}

bool GMidiPlayer::HandleNotification()
{
    if (!m_stream.IsRunning() || !m_buffer)
        return true;
    uint32_t status = 0;
    if (m_buffer->GetStatus(&status) != SoundResult::kOk)
        return false;
    if (status & platform::sound_status::kBufferLost) {
        if (!m_stream.RestoreLostBuffer(*m_buffer))
            return false;
        for (int i = 0; i < kBlockCount; ++i)
            RenderBlock(i);
        return m_buffer->Play(true) == SoundResult::kOk;
    }
    uint32_t play = 0;
    if (m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return false;
    const int playing = static_cast<int>(play / kBlockBytes);
    for (; m_nextBlock != playing; m_nextBlock = (m_nextBlock + 1) % kBlockCount) {
        if (!RenderBlock(m_nextBlock))
            return false;
    }
    if (m_segment.downloaded && !m_segment.paused && !Loops() && m_synth->HasEnded()) {
        m_segment.downloaded = false;
        // A file that does not load is passed over rather than ending the music for good; the
        // user hears of it once the thread has let go of the lock.
        bool loadFailed = false;
        for (int tries = 0; m_repeatNext && tries < 2 * m_fileCount && !PlayFile(-1, &loadFailed);
             ++tries) {
        }
        if (loadFailed)
            m_stream.Alert(kLoadFailed);
    }
    return true;
}

int GMidiPlayer::Play(int index)
{
    bool loadFailed = false;
    int result;
    {
        std::lock_guard lock(g_midiKind.lock);
        result = PlayFile(index, &loadFailed);
    }
    if (loadFailed)
        ShowAlert(kLoadFailed);
    return result;
}

int GMidiPlayer::PlayFile(int index, bool* loadFailed)
{
    if (!m_stream.IsRunning() || index >= m_fileCount || m_fileCount <= 0)
        return 0;
    if (index < 0) {
        do
            index = std::rand() % m_fileCount;
        while (index == m_current && m_fileCount > 1);
    }
    m_segment = {};
    const std::string path = m_folder + std::to_string(index) + ".mid";
    if (!m_synth->Load(path.c_str())) {
        *loadFailed = true;
        return 0;
    }
    m_current = index;
    m_segment.downloaded = true;
    m_segment.startTick = 0;
    return m_synth->Play(Loops()) ? 1 : 0;
}

void GMidiPlayer::Stop()
{
    std::lock_guard lock(g_midiKind.lock);
    if (m_synth)
        m_synth->Stop();
    m_segment.downloaded = false;
    m_segment.paused = false;
}

void GMidiPlayer::Pause()
{
    std::lock_guard lock(g_midiKind.lock);
    if (!m_synth || !m_segment.downloaded || m_segment.paused)
        return;
    m_segment.pausedAt = m_synth->GetTick();
    m_synth->Stop();
    m_segment.paused = true;
}

void GMidiPlayer::Resume()
{
    std::lock_guard lock(g_midiKind.lock);
    if (!m_synth || !m_segment.paused)
        return;
    m_synth->Seek(m_segment.pausedAt);
    m_segment.startTick = m_segment.pausedAt;
    m_segment.paused = false;
    m_synth->Play(Loops());
}

bool GMidiPlayer::IsPlaying()
{
    std::lock_guard lock(g_midiKind.lock);
    return m_synth && m_segment.downloaded && !m_segment.paused &&
           (Loops() || !m_synth->HasEnded());
}

bool GMidiPlayer::IsPaused()
{
    std::lock_guard lock(g_midiKind.lock);
    return m_segment.paused;
}

void GMidiPlayer::SetVolume(int volume)
{
    std::lock_guard lock(g_midiKind.lock);
    if (volume < 0 || volume > 10000 || volume == m_volume)
        return;
    m_volume = volume;
    m_level =
        volume == 0 ? kSilentLevel : static_cast<int32_t>(4000.0 * std::log10(volume / 10000.0));
    if (m_synth)
        m_synth->SetGain(volume == 0 ? 0.0 : std::pow(10.0, m_level / 2000.0));
}

void GMidiPlayer::SetTempo(int index)
{
    std::lock_guard lock(g_midiKind.lock);
    if (index < 0 || index >= kTempoCount)
        return;
    m_tempo = index;
    if (m_synth)
        m_synth->SetTempoFactor(kTempoFactors[index]);
}

int GMidiPlayer::GetCurrentFile()
{
    std::lock_guard lock(g_midiKind.lock);
    return m_current;
}

void GMidiPlayer::SetRepeatNext(int flag)
{
    std::lock_guard lock(g_midiKind.lock);
    m_repeatNext = flag;
}

void GMidiPlayer::Shutdown()
{
    m_stream.Shutdown(
        [this] {
            m_synth->Stop();
            m_buffer->Stop();
        },
        [this] {
            m_buffer.reset();
            m_synth.reset();
            m_segment = {};
            m_current = -1;
        });
}
