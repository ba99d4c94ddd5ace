#include "audio/ogg/ogg_engine.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "audio/player/audio_level.h"

using platform::SoundResult;

namespace {

GStreamKind g_oggEngineKind{"Ogg Engine", 10};

} // namespace

bool GOggStream::Create(uint32_t size, const char* path,
                        std::shared_ptr<platform::AutoResetEvent> event, bool loop)
{
    if (!m_device || m_reader.Open(path) != kReaderOk)
        return false;
    const platform::WaveFormat format = m_reader.GetFormat();
    const uint32_t align = format.blockAlign ? format.blockAlign : 1;
    m_half = size / 2 / align * align;
    m_size = m_half * 2;
    m_dataSize = m_reader.GetDataSize();
    platform::SoundVoiceDesc desc;
    desc.flags = platform::sound_caps::kGetCurrentPosition2 |
                 platform::sound_caps::kCtrlPositionNotify | platform::sound_caps::kCtrlVolume;
    desc.bytes = m_size;
    desc.format = &format;
    const platform::SoundNotifyPosition positions[] = {{m_half - 1, event}, {m_size - 1, event}};
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk ||
        m_buffer->SetNotificationPositions(positions) != SoundResult::kOk || !Reset(loop)) {
        m_buffer.reset();
        m_reader.Close();
        return false;
    }
    return true;
}

void GOggStream::Read(uint8_t* dest, uint32_t length, bool loop)
{
    uint32_t done = 0;
    bool rewound = false; // a file that yields nothing even from its start must not spin
    while (done < length && !m_ended) {
        int32_t got = 0;
        m_reader.Read(dest + done, static_cast<int32_t>(length - done), &got);
        if (got > 0) {
            done += static_cast<uint32_t>(got);
            rewound = false;
        } else if (loop && !rewound) {
            m_reader.Rewind();
            rewound = true;
        } else {
            m_ended = true;
        }
    }
    std::memset(dest + done, 0, length - done); // 16-bit PCM: silence is 0
}

bool GOggStream::Fill(uint32_t offset, uint32_t length, bool loop)
{
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(offset, length, &part, &bytes, nullptr, nullptr) != SoundResult::kOk)
        return false;
    Read(static_cast<uint8_t*>(part), bytes, loop);
    m_buffer->Unlock(part, bytes, nullptr, 0);
    return true;
}

bool GOggStream::Reset(bool loop)
{
    if (!m_buffer)
        return false;
    m_buffer->Stop();
    m_reader.Rewind();
    m_ended = false;
    m_writeOffset = 0;
    m_lastPlay = 0;
    m_bytesPlayed = 0;
    m_buffer->SetCurrentPosition(0);
    return Fill(0, m_size, loop);
}

bool GOggStream::Refill(bool loop, const GStreamThread& stream)
{
    if (!m_buffer)
        return true;
    uint32_t status = 0;
    if (m_buffer->GetStatus(&status) != SoundResult::kOk)
        return false;
    if (status & platform::sound_status::kBufferLost) {
        // Whatever the buffer held is gone: it is written whole again from where the file is.
        if (!stream.RestoreLostBuffer(*m_buffer))
            return false;
        return Fill(0, m_size, loop);
    }
    uint32_t play = 0;
    if (m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return false;
    if (play >= m_writeOffset && play < m_writeOffset + m_half)
        return true; // still playing the half that would be written
    if (!Fill(m_writeOffset, m_half, loop))
        return false;
    m_bytesPlayed += (play + m_size - m_lastPlay) % m_size;
    m_lastPlay = play;
    if (m_ended && m_bytesPlayed >= m_dataSize)
        m_buffer->Stop();
    m_writeOffset = (m_writeOffset + m_half) % m_size;
    return true;
}

bool GOggStream::Play()
{
    return m_buffer && m_buffer->Play(true) == SoundResult::kOk;
}

void GOggStream::Stop()
{
    if (m_buffer)
        m_buffer->Stop();
}

bool GOggStream::IsPlaying() const
{
    return IsBufferPlaying(m_buffer.get());
}

void GOggStream::SetVolume(int volume)
{
    if (m_buffer)
        m_buffer->SetVolume(AudioLevelFromVolume(volume));
}

// ---------------------------------------------------------------------------------------

GOggEngine::GOggEngine(platform::SoundDevice* device, const char* folder)
    : m_device(device), m_folder(folder ? folder : "OGG\\"), m_stream(g_oggEngineKind)
{
}

GOggEngine::~GOggEngine()
{
    Shutdown();
}

platform::RecursiveLock& GOggEngine::Lock()
{
    return g_oggEngineKind.lock;
}

GOggEngine* GOggEngine::Active()
{
    return g_oggEngineKind.Running<GOggEngine>();
}

int GOggEngine::Start(int fileCount)
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (!m_stream.Start(this, [this] { return m_file ? m_file->Refill(m_loop, m_stream) : 1; }))
        return 0;
    m_fileCount = fileCount;
    return 1;
}

int GOggEngine::OpenStream(const char* path)
{
    m_file.reset();
    auto stream = std::make_unique<GOggStream>(m_device);
    if (!stream->Create(kBufferBytes, path, m_stream.Event(), m_loop))
        return 0;
    m_file = std::move(stream);
    m_file->SetVolume(m_volume);
    return 1;
}

int GOggEngine::Play(int index)
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (!m_stream.IsRunning() || index >= m_fileCount || m_fileCount <= 0)
        return 0;
    if (index < 0)
        index = std::rand() % m_fileCount;
    if (m_file) // replaced below: no need to rewind and refill it first
        m_file->Stop();
    const std::string path = m_folder + std::to_string(index) + ".ogg";
    if (!OpenStream(path.c_str()))
        return 0;
    m_paused = false;
    return m_file->Play();
}

void GOggEngine::Stop()
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (m_file)
        m_file->Reset(m_loop);
    m_paused = false;
}

void GOggEngine::Pause()
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (m_file && m_file->IsPlaying()) {
        m_file->Stop();
        m_paused = true;
    }
}

void GOggEngine::Resume()
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (m_file && m_paused) {
        m_paused = false;
        m_file->Play();
    }
}

void GOggEngine::SetVolume(int volume)
{
    std::lock_guard lock(g_oggEngineKind.lock);
    if (volume < 0 || volume > 10000)
        return;
    m_volume = volume;
    if (m_file)
        m_file->SetVolume(volume);
}

void GOggEngine::SetLoop(bool loop)
{
    std::lock_guard lock(g_oggEngineKind.lock);
    m_loop = loop;
}

bool GOggEngine::IsPlaying()
{
    std::lock_guard lock(g_oggEngineKind.lock);
    return m_file && m_file->IsPlaying();
}

void GOggEngine::Shutdown()
{
    m_stream.Shutdown(
        [this] {
            if (m_file)
                m_file->Stop();
        },
        [this] {
            m_file.reset();
            m_paused = false;
        });
}
