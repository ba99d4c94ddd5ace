#include "audio/player/audio_player.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/decoders/module_decoder.h"
#include "audio/decoders/mp3_decoder.h"
#include "audio/decoders/ogg_decoder.h"
#include "audio/player/audio_level.h"
#include "platform/message_box.h"
#include "platform/module_player.h"
#include "platform/time.h"

namespace {

using platform::SoundResult;

platform::RecursiveLock g_audioPlayerLock;
GAudioPlayer* g_activeAudioPlayer = nullptr; // guarded by g_audioPlayerLock

// Restore answering "still lost" this many times (2 ms apart) counts as a failure.
constexpr int kMaxRestoreTries = 500;

bool EndsWith(const std::string& path, const char* ending)
{
    const size_t n = std::strlen(ending);
    return path.size() >= n && path.compare(path.size() - n, n, ending) == 0;
}

} // namespace

platform::RecursiveLock& GAudioPlayer::Lock()
{
    return g_audioPlayerLock;
}

GAudioPlayer* GAudioPlayer::Active()
{
    std::lock_guard lock(g_audioPlayerLock);
    return g_activeAudioPlayer;
}

GAudioPlayer::GAudioPlayer(platform::SoundDevice* device, platform::Window* window,
                           const char* folder)
    : m_device(device), m_folder(folder ? folder : ""),
      m_library(platform::ModuleLibrary::Load())
{
}

GAudioPlayer::~GAudioPlayer()
{
    Shutdown();
    m_moduleDecoder.reset(); // before the library it came from
    m_library.reset();
}

int GAudioPlayer::StartThread()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (g_activeAudioPlayer || m_thread)
        return 0;
    m_tracks.reset(new (std::nothrow) Track[kMaxTracks]);
    if (!m_tracks)
        return 0;
    m_trackCount = 0;
    m_event = std::shared_ptr<platform::AutoResetEvent>(new (std::nothrow) platform::AutoResetEvent);
    if (!m_event) { // without it the thread could neither wait nor hear its quit request
        m_tracks.reset();
        return 0;
    }
    m_thread = platform::Thread::Start([this](platform::Thread& thread) { ThreadMain(thread); });
    if (!m_thread) {
        m_event.reset();
        m_tracks.reset();
        return 0;
    }
    g_activeAudioPlayer = this;
    return 1;
}

void GAudioPlayer::ThreadMain(platform::Thread& thread)
{
    while (thread.WaitForEventOrQuit(*m_event) == platform::WaitResult::kEvent) {
        bool failed = false;
        {
            std::lock_guard lock(g_audioPlayerLock);
            GAudioPlayer* active = g_activeAudioPlayer;
            if (active && active->IsPlaying() && !active->HandleNotification())
                failed = true;
        }
        if (failed) {
            // Shown outside the lock: the main thread may go on calling the player meanwhile.
            platform::ShowMessageBox("Audio Player", "Error handling DirectSound notifications",
                                     platform::MessageBoxButtons::kOk,
                                     platform::MessageBoxIcon::kError);
            return;
        }
    }
}

int GAudioPlayer::InitModulePlayer()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (!m_library || m_moduleDecoder)
        return 0;
    auto decoder = std::make_unique<GModuleDecoder>(m_library.get());
    if (!decoder->Init())
        return 0;
    m_moduleDecoder = std::move(decoder);
    return 1;
}

void GAudioPlayer::ReleaseModulePlayer()
{
    if (m_decoder && m_decoder == m_moduleDecoder.get())
        m_decoder = nullptr;
    m_moduleDecoder.reset();
}

int GAudioPlayer::AddTrack(const char* name, int flag)
{
    std::lock_guard lock(g_audioPlayerLock);
    if (!name || !m_tracks || m_trackCount >= kMaxTracks)
        return 0;
    const size_t length = std::strlen(name);
    // Refused whole rather than cut: a shortened name could be another file's name.
    if (length > kMaxNameLength || m_folder.size() + length >= kPathBufferBytes)
        return 0;
    Track& track = m_tracks[m_trackCount++];
    std::memcpy(track.name, name, length + 1);
    track.flag = flag;
    return 1;
}

void GAudioPlayer::RemoveTrack(int index)
{
    std::lock_guard lock(g_audioPlayerLock);
    if (index < 0 || index >= m_trackCount)
        return;
    std::memmove(&m_tracks[index], &m_tracks[index + 1], sizeof(Track) * (m_trackCount - index - 1));
    --m_trackCount;
}

void GAudioPlayer::ClearTracks()
{
    std::lock_guard lock(g_audioPlayerLock);
    m_trackCount = 0;
}

int GAudioPlayer::GetTrackCount()
{
    std::lock_guard lock(g_audioPlayerLock);
    return m_trackCount;
}

int GAudioPlayer::GetCurrentTrack()
{
    std::lock_guard lock(g_audioPlayerLock);
    return m_current;
}

void GAudioPlayer::SetPlayMode(int mode)
{
    std::lock_guard lock(g_audioPlayerLock);
    m_playMode = mode;
}

void GAudioPlayer::SetRandomNext(int flag)
{
    std::lock_guard lock(g_audioPlayerLock);
    m_randomNext = flag;
}

void GAudioPlayer::SetPath(int index)
{
    m_path = m_folder;
    m_path += m_tracks[index].name;
}

int GAudioPlayer::SelectNextTrack()
{
    if (m_trackCount <= 0)
        return -1;
    int next;
    if (m_playMode == kNextTrack && m_randomNext) {
        if (m_trackCount < 2)
            return -1;
        do
            next = std::rand() % m_trackCount;
        while (next == m_current);
    } else if (m_playMode == kNextTrack) {
        next = (m_current + 1) % m_trackCount;
        if (next < 0)
            next = 0;
    } else if (m_playMode == kRepeatTrack) {
        next = m_current < 0 || m_current >= m_trackCount ? 0 : m_current;
    } else {
        return -1;
    }
    m_current = next;
    SetPath(next);
    return next;
}

void GAudioPlayer::DropDecoder()
{
    if (!m_decoder)
        return;
    if (m_decoder == m_moduleDecoder.get()) {
        m_decoder = nullptr;
        m_moduleDecoder->Close(); // kept for the next module track
    } else {
        delete m_decoder;
        m_decoder = nullptr;
    }
}

int GAudioPlayer::OpenDecoder(const char* path, int flag, bool newFormatAllowed)
{
    m_formatChanged = false;
    if (!g_activeAudioPlayer || !path)
        return 0;
    DropDecoder();
    const std::string name = path; // path may be m_path itself
    GStreamDecoder* decoder = nullptr;
    if (EndsWith(name, "ogg")) {
        decoder = new (std::nothrow) GOggDecoder;
    } else if (EndsWith(name, "mp3")) {
        decoder = new (std::nothrow) GMp3Decoder;
    } else if (EndsWith(name, "skm") || EndsWith(name, ".xm") || EndsWith(name, "mod")) {
        if (!m_moduleDecoder && !InitModulePlayer())
            return 0;
        decoder = m_moduleDecoder.get();
    }
    if (!decoder)
        return 0;
    if (!decoder->Open(name.c_str(), flag)) {
        if (decoder != m_moduleDecoder.get())
            delete decoder;
        return 0;
    }
    m_decoder = decoder;
    m_playedBytes = 0;
    if (m_buffer && decoder->GetFormat() == m_format)
        return 1;
    if (!newFormatAllowed) {
        // Kept open: the caller restarts the stream with it or drops it.
        m_formatChanged = true;
        return 0;
    }
    m_format = decoder->GetFormat();
    return CreateStreamBuffer() ? SetNotifications() : 0;
}

int GAudioPlayer::CreateStreamBuffer()
{
    m_buffer.reset();
    if (!m_device)
        return 0;
    platform::SoundBufferDesc desc;
    desc.flags = platform::sound_caps::kGetCurrentPosition2 |
                 platform::sound_caps::kCtrlPositionNotify | platform::sound_caps::kCtrlVolume;
    desc.bytes = kBufferBytes;
    desc.format = &m_format;
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk) {
        m_buffer.reset();
        return 0;
    }
    SetVolume(m_volume);
    return 1;
}

int GAudioPlayer::SetNotifications()
{
    if (!m_buffer || !m_event)
        return 0;
    platform::SoundNotifyPosition positions[kBlockCount];
    const uint32_t align = m_format.blockAlign ? m_format.blockAlign : 1;
    for (int i = 0; i < kBlockCount; ++i)
        positions[i] = {(kBlockBytes * (i + 1) - 1) / align * align, m_event};
    return m_buffer->SetNotificationPositions(positions) == SoundResult::kOk ? 1 : 0;
}

uint32_t GAudioPlayer::ReadIntoBuffer(uint32_t offset, uint32_t length)
{
    if (!m_decoder || !m_buffer)
        return 0;
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(offset, length, &part, &bytes, nullptr, nullptr) != SoundResult::kOk)
        return 0;
    int32_t count = 0;
    if (!m_decoder->Read(static_cast<uint8_t*>(part), static_cast<int32_t>(bytes), &count) ||
        count < 0 || static_cast<uint32_t>(count) > bytes)
        count = 0;
    m_buffer->Unlock(part, bytes, nullptr, 0);
    return static_cast<uint32_t>(count);
}

int GAudioPlayer::FillSilence(uint32_t offset, uint32_t length)
{
    if (!m_buffer || length == 0)
        return m_buffer ? 1 : 0;
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(offset, length, &part, &bytes, nullptr, nullptr) != SoundResult::kOk)
        return 0;
    std::memset(part, m_format.bitsPerSample == 8 ? 0x80 : 0, bytes);
    m_buffer->Unlock(part, bytes, nullptr, 0);
    return 1;
}

void GAudioPlayer::EndStream(uint32_t position, uint32_t length)
{
    m_endBlock = static_cast<int>((position / kBlockBytes + 1) % kBlockCount);
    FillSilence(position, length);
    m_current = -1;
}

int GAudioPlayer::FillRegion(uint32_t offset, uint32_t length)
{
    if (!RestoreBuffer())
        return 0;
    uint32_t count = ReadIntoBuffer(offset, length);
    // Tries in a row that gave no data; once every listed track had its chance, the list
    // counts as ended (the refill runs on the player's thread under the lock: it must end).
    int fruitless = 0;
    const int limit = m_trackCount > 0 ? m_trackCount : 1;
    while (count < length) {
        const uint32_t position = offset + count;
        if (position >= kBufferBytes)
            return 1;
        const int next = fruitless < limit ? SelectNextTrack() : -1;
        if (next < 0) {
            EndStream(position, length - count);
            return 1;
        }
        ++fruitless;
        if (!OpenDecoder(m_path.c_str(), m_tracks[next].flag, false)) {
            if (m_formatChanged) {
                // Its PCM does not fit this buffer: what the buffer holds plays out, and on
                // reaching the end block a buffer of the new format starts with this track.
                EndStream(position, length - count);
                m_current = next;
                m_restartPending = true;
                return 1;
            }
            // Removed once; the one after it moves into its place and is what mode 1 asks
            // for next. In mode 2 the track that should repeat is gone: the stream ends.
            RemoveTrack(next);
            m_current = next - 1;
            if (m_playMode == kRepeatTrack) {
                EndStream(position, length - count);
                return 1;
            }
            continue;
        }
        const uint32_t got = ReadIntoBuffer(position, length - count);
        if (got > 0)
            fruitless = 0;
        count += got;
    }
    return 1;
}

// The open decoder's PCM needs a buffer of its own format: a new one, filled from its
// start and played from there.
int GAudioPlayer::RestartStream()
{
    m_restartPending = false;
    if (!m_decoder)
        return 0;
    m_format = m_decoder->GetFormat();
    if (!CreateStreamBuffer() || !SetNotifications())
        return 0;
    m_blockPlaying = 0;
    m_endBlock = -1;
    if (!FillRegion(0, kBufferBytes))
        return 0;
    m_lastRefilled = kBlockCount - 1;
    m_buffer->SetCurrentPosition(0);
    return PlayLooping();
}

int GAudioPlayer::Open(const char* path, int flag)
{
    if (!g_activeAudioPlayer)
        return 0;
    m_blockPlaying = 0;
    m_endBlock = -1;
    m_restartPending = false;
    if (!OpenDecoder(path, flag, true) || !FillRegion(0, kBufferBytes) || !m_buffer)
        return 0;
    m_lastRefilled = kBlockCount - 1;
    m_buffer->SetCurrentPosition(0);
    return 1;
}

int GAudioPlayer::PlayTrack(int index, int flag)
{
    std::lock_guard lock(g_audioPlayerLock);
    if (index < 0 || index >= m_trackCount)
        return 0;
    m_current = index;
    SetPath(index);
    m_tracks[index].flag = flag;
    Stop();
    if (!Open(m_path.c_str(), flag)) {
        RemoveTrack(index);
        m_current = -1;
        return 0;
    }
    return PlayLooping();
}

int GAudioPlayer::PlayLooping()
{
    if (!m_buffer)
        return 0;
    SetVolume(m_volume);
    return m_buffer->Play(true) == SoundResult::kOk ? 1 : 0;
}

int GAudioPlayer::Stop()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (g_activeAudioPlayer && m_buffer)
        m_buffer->Stop();
    return 1;
}

int GAudioPlayer::Pause()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (IsPlaying())
        m_buffer->Stop();
    return 1;
}

int GAudioPlayer::Resume()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (!m_buffer || !RestoreBuffer())
        return 0;
    return PlayLooping();
}

int GAudioPlayer::SetVolume(int volume)
{
    std::lock_guard lock(g_audioPlayerLock);
    if (!g_activeAudioPlayer || volume < 0 || volume > 10000)
        return 0;
    m_volume = volume;
    return m_buffer && m_buffer->SetVolume(AudioLevelFromVolume(volume)) == SoundResult::kOk ? 1 : 0;
}

int GAudioPlayer::IsPlaying()
{
    std::lock_guard lock(g_audioPlayerLock);
    uint32_t status = 0;
    return g_activeAudioPlayer && m_buffer && m_buffer->GetStatus(&status) == SoundResult::kOk &&
                   (status & platform::sound_status::kPlaying)
               ? 1
               : 0;
}

uint32_t GAudioPlayer::GetPlayedBytes()
{
    std::lock_guard lock(g_audioPlayerLock);
    uint32_t play = 0;
    if (!m_buffer || m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return 0;
    return m_playedBytes - static_cast<uint32_t>(m_blockPlaying) * kBlockBytes + play;
}

double GAudioPlayer::GetPlayedMs()
{
    std::lock_guard lock(g_audioPlayerLock);
    if (m_format.avgBytesPerSec == 0)
        return 0.0;
    return GetPlayedBytes() * 1000.0 / m_format.avgBytesPerSec;
}

int GAudioPlayer::RestoreBuffer()
{
    uint32_t status = 0;
    if (!m_buffer || m_buffer->GetStatus(&status) != SoundResult::kOk)
        return 0;
    if (!(status & platform::sound_status::kBufferLost))
        return 1;
    for (int tries = 0; tries < kMaxRestoreTries; ++tries) {
        const SoundResult result = m_buffer->Restore();
        if (result == SoundResult::kOk)
            return 1;
        if (result != SoundResult::kBufferLost)
            return 0; // another error will not go away by asking again
        platform::SleepMs(2);
    }
    return 0;
}

int GAudioPlayer::HandleNotification()
{
    if (!m_buffer || !m_decoder || !RestoreBuffer())
        return 0;
    uint32_t play = 0;
    if (m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return 0;
    const int block = static_cast<int>(play / kBlockBytes);
    if (block == m_blockPlaying)
        return 1;
    if (block == m_endBlock) {
        if (m_restartPending)
            return RestartStream();
        m_buffer->Stop();
        return 1;
    }
    if (m_endBlock == -1) {
        for (int i = (m_lastRefilled + 1) % kBlockCount; i != m_blockPlaying; i = (i + 1) % kBlockCount) {
            if (!FillRegion(static_cast<uint32_t>(i) * kBlockBytes, kBlockBytes))
                return 0;
            m_playedBytes += kBlockBytes;
        }
        if (!FillRegion(static_cast<uint32_t>(m_blockPlaying) * kBlockBytes, kBlockBytes))
            return 0;
    } else if ((block + 1) % kBlockCount == m_endBlock) {
        FillSilence(static_cast<uint32_t>(m_endBlock) * kBlockBytes, kBlockBytes);
    }
    m_lastRefilled = m_blockPlaying;
    m_blockPlaying = block;
    m_playedBytes += kBlockBytes;
    return 1;
}

void GAudioPlayer::Shutdown()
{
    {
        std::lock_guard lock(g_audioPlayerLock);
        if (g_activeAudioPlayer != this)
            return;
        if (m_buffer)
            m_buffer->Stop();
    }
    // Not under the lock: the thread may be waiting for it to finish a refill.
    if (m_thread) {
        m_thread->PostQuit();
        m_thread->Join();
        m_thread.reset();
    }
    std::lock_guard lock(g_audioPlayerLock);
    m_buffer.reset();
    m_event.reset();
    ReleaseModulePlayer();
    DropDecoder();
    g_activeAudioPlayer = nullptr;
    m_tracks.reset();
    m_trackCount = 0;
    m_current = -1;
    m_format = {};
}
