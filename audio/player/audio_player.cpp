#include "audio/player/audio_player.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/decoders/module_decoder.h"
#include "audio/decoders/mp3_decoder.h"
#include "audio/decoders/ogg_decoder.h"
#include "audio/player/audio_level.h"
#include "platform/sound/module_player.h"

namespace {

using platform::SoundResult;

GStreamKind g_audioPlayerKind{"Audio Player", 2}; // AudioPlayerLock and ActiveAudioPlayer

bool EndsWith(const std::string& path, const char* ending)
{
    const size_t n = std::strlen(ending);
    return path.size() >= n && path.compare(path.size() - n, n, ending) == 0;
}

} // namespace

platform::RecursiveLock& GAudioPlayer::Lock()
{
    return g_audioPlayerKind.lock;
}

GAudioPlayer* GAudioPlayer::Active()
{
    return g_audioPlayerKind.Running<GAudioPlayer>();
}

const GAudioPlayer::Layout GAudioPlayer::kStreamLayout = {
    kBufferBytes, kBlockCount, kMaxTracks, false, &g_audioPlayerKind,
};

GAudioPlayer::GAudioPlayer(platform::SoundDevice* device, const char* folder)
    : GAudioPlayer(device, folder, kStreamLayout)
{
}

GAudioPlayer::GAudioPlayer(platform::SoundDevice* device, const char* folder, const Layout& layout)
    : m_layout(layout), m_blockBytes(layout.bufferBytes / static_cast<uint32_t>(layout.blockCount)),
      m_device(device), m_folder(folder ? folder : ""), m_library(platform::ModuleLibrary::Load()),
      m_stream(*layout.kind)
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
    std::lock_guard lock(m_stream.Lock());
    if (IsKindRunning())
        return 0;
    m_tracks.clear();
    // The thread belongs to this player, which is the running one while it runs.
    if (!m_stream.Start(
            this, [this] { return !IsBufferPlaying(m_buffer.get()) || HandleNotification(); }))
        return 0;
    m_started = true;
    return 1;
}

int GAudioPlayer::InitModulePlayer()
{
    std::lock_guard lock(m_stream.Lock());
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
    if (m_decoder == m_moduleDecoder.get())
        m_decoder = nullptr;
    m_moduleDecoder.reset();
}

int GAudioPlayer::AddTrack(const char* name, int flag)
{
    std::lock_guard lock(m_stream.Lock());
    if (!name || !m_started || (m_layout.maxTracks > 0 && GetTrackCount() >= m_layout.maxTracks))
        return 0;
    const size_t length = std::strlen(name);
    // Refused whole rather than cut: a shortened name could be another file's name.
    if (length > kMaxNameLength || m_folder.size() + length >= kPathBufferBytes)
        return 0;
    try {
        m_tracks.push_back({name, flag});
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

void GAudioPlayer::RemoveTrack(int index)
{
    std::lock_guard lock(m_stream.Lock());
    if (index < 0 || index >= GetTrackCount())
        return;
    m_tracks.erase(m_tracks.begin() + index);
}

int GAudioPlayer::FindTrack(const char* name, int preferred)
{
    std::lock_guard lock(m_stream.Lock());
    if (!name)
        return -1;
    if (preferred >= 0 && preferred < GetTrackCount() && m_tracks[preferred].name == name)
        return preferred;
    for (size_t i = 0; i < m_tracks.size(); ++i)
        if (m_tracks[i].name == name)
            return static_cast<int>(i);
    return -1;
}

void GAudioPlayer::ClearTracks()
{
    std::lock_guard lock(m_stream.Lock());
    m_tracks.clear();
}

int GAudioPlayer::GetTrackCount()
{
    std::lock_guard lock(m_stream.Lock());
    return static_cast<int>(m_tracks.size());
}

int GAudioPlayer::GetCurrentTrack()
{
    std::lock_guard lock(m_stream.Lock());
    return m_current;
}

void GAudioPlayer::SetPlayMode(int mode)
{
    std::lock_guard lock(m_stream.Lock());
    m_playMode = mode;
}

void GAudioPlayer::SetRandomNext(int flag)
{
    std::lock_guard lock(m_stream.Lock());
    m_randomNext = flag;
}

void GAudioPlayer::SetPath(int index)
{
    m_path = m_folder;
    m_path += m_tracks[index].name;
}

int GAudioPlayer::SelectNextTrack()
{
    const int count = GetTrackCount();
    if (count <= 0)
        return -1;
    int next;
    if (m_playMode == kNextTrack && m_randomNext) {
        if (count < 2 && !m_layout.loneRandomRepeats)
            return -1;
        if (count < 2)
            next = 0;
        else
            do
                next = std::rand() % count;
            while (next == m_current);
    } else if (m_playMode == kNextTrack) {
        next = (m_current + 1) % count;
        if (next < 0)
            next = 0;
    } else if (m_playMode == kRepeatTrack) {
        next = m_current < 0 || m_current >= count ? 0 : m_current;
    } else {
        return -1;
    }
    m_current = next;
    SetPath(next);
    return next;
}

void GAudioPlayer::DropDecoder()
{
    if (m_decoder && m_decoder == m_moduleDecoder.get())
        m_moduleDecoder->Close(); // kept for the next module track
    m_decoder = nullptr;
    m_fileDecoder.reset();
}

int GAudioPlayer::OpenDecoder(const char* path, int flag, bool newFormatAllowed)
{
    m_formatChanged = false;
    if (!IsKindRunning() || !path)
        return 0;
    const std::string name = path; // path may be m_path itself
    DropDecoder();
    GStreamDecoder* decoder = nullptr;
    if (EndsWith(name, "ogg") || EndsWith(name, "mp3")) {
        if (EndsWith(name, "ogg"))
            m_fileDecoder.reset(new (std::nothrow) GOggDecoder);
        else
            m_fileDecoder.reset(new (std::nothrow) GMp3Decoder);
        decoder = m_fileDecoder.get();
    } else if (EndsWith(name, "skm") || EndsWith(name, ".xm") || EndsWith(name, "mod")) {
        if (!m_moduleDecoder && !InitModulePlayer())
            return 0;
        decoder = m_moduleDecoder.get();
    }
    if (!decoder)
        return 0;
    if (!decoder->Open(name.c_str(), flag)) {
        m_fileDecoder.reset(); // the module decoder stays, closed
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

bool GAudioPlayer::CreateStreamBuffer()
{
    m_buffer.reset();
    if (!m_device)
        return false;
    platform::SoundVoiceDesc desc;
    desc.flags = platform::sound_caps::kGetCurrentPosition2 |
                 platform::sound_caps::kCtrlPositionNotify | platform::sound_caps::kCtrlVolume;
    desc.bytes = m_layout.bufferBytes;
    desc.format = &m_format;
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk) {
        m_buffer.reset();
        return false;
    }
    SetVolume(m_volume);
    return true;
}

int GAudioPlayer::SetNotifications()
{
    if (!m_buffer || !m_stream.Event())
        return 0;
    std::vector<platform::SoundNotifyPosition> positions;
    const uint32_t align = m_format.blockAlign ? m_format.blockAlign : 1;
    for (int i = 0; i < m_layout.blockCount; ++i)
        positions.push_back({(m_blockBytes * (i + 1) - 1) / align * align, m_stream.Event()});
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
    m_endBlock = static_cast<int>((position / m_blockBytes + 1) % m_layout.blockCount);
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
    const int limit = std::max(GetTrackCount(), 1);
    while (count < length) {
        const uint32_t position = offset + count;
        if (position >= m_layout.bufferBytes)
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
bool GAudioPlayer::RestartStream()
{
    m_restartPending = false;
    if (!m_decoder)
        return false;
    m_format = m_decoder->GetFormat();
    if (!CreateStreamBuffer() || !SetNotifications())
        return false;
    m_blockPlaying = 0;
    m_endBlock = -1;
    if (!FillRegion(0, m_layout.bufferBytes))
        return false;
    m_lastRefilled = m_layout.blockCount - 1;
    m_buffer->SetCurrentPosition(0);
    return PlayLooping();
}

int GAudioPlayer::Open(const char* path, int flag)
{
    if (!IsKindRunning())
        return 0;
    m_blockPlaying = 0;
    m_endBlock = -1;
    m_restartPending = false;
    if (!OpenDecoder(path, flag, true) || !FillRegion(0, m_layout.bufferBytes) || !m_buffer)
        return 0;
    m_lastRefilled = m_layout.blockCount - 1;
    m_buffer->SetCurrentPosition(0);
    return 1;
}

int GAudioPlayer::PlayTrack(int index, int flag)
{
    std::lock_guard lock(m_stream.Lock());
    if (index < 0 || index >= GetTrackCount())
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
    std::lock_guard lock(m_stream.Lock());
    if (IsKindRunning() && m_buffer)
        m_buffer->Stop();
    return 1;
}

int GAudioPlayer::Pause()
{
    std::lock_guard lock(m_stream.Lock());
    if (IsPlaying())
        m_buffer->Stop();
    return 1;
}

int GAudioPlayer::Resume()
{
    std::lock_guard lock(m_stream.Lock());
    if (!m_buffer || !RestoreBuffer())
        return 0;
    return PlayLooping();
}

int GAudioPlayer::SetVolume(int volume)
{
    std::lock_guard lock(m_stream.Lock());
    if (!IsKindRunning() || volume < 0 || volume > 10000)
        return 0;
    m_volume = volume;
    return m_buffer && m_buffer->SetVolume(AudioLevelFromVolume(volume)) == SoundResult::kOk ? 1
                                                                                             : 0;
}

int GAudioPlayer::IsPlaying()
{
    std::lock_guard lock(m_stream.Lock());
    return IsKindRunning() && IsBufferPlaying(m_buffer.get()) ? 1 : 0;
}

uint32_t GAudioPlayer::GetPlayedBytes()
{
    std::lock_guard lock(m_stream.Lock());
    uint32_t play = 0;
    if (!m_buffer || m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return 0;
    return m_playedBytes - static_cast<uint32_t>(m_blockPlaying) * m_blockBytes + play;
}

double GAudioPlayer::GetPlayedMs()
{
    std::lock_guard lock(m_stream.Lock());
    if (m_format.avgBytesPerSec == 0)
        return 0.0;
    return GetPlayedBytes() * 1000.0 / m_format.avgBytesPerSec;
}

int GAudioPlayer::RestoreBuffer()
{
    return m_buffer ? m_stream.RestoreLostBuffer(*m_buffer) : 0;
}

// Without a decoder too: a refill that could not open the next track has ended the list, and
// what remains is to play out to the end block.
int GAudioPlayer::HandleNotification()
{
    if (!m_buffer || !RestoreBuffer())
        return 0;
    uint32_t play = 0;
    if (m_buffer->GetCurrentPosition(&play, nullptr) != SoundResult::kOk)
        return 0;
    const int block = static_cast<int>(play / m_blockBytes);
    if (block == m_blockPlaying)
        return 1;
    if (block == m_endBlock) {
        if (m_restartPending)
            return RestartStream();
        m_buffer->Stop();
        return 1;
    }
    if (m_endBlock == -1) {
        for (int i = (m_lastRefilled + 1) % m_layout.blockCount; i != m_blockPlaying;
             i = (i + 1) % m_layout.blockCount) {
            if (!FillRegion(static_cast<uint32_t>(i) * m_blockBytes, m_blockBytes))
                return 0;
            m_playedBytes += m_blockBytes;
        }
        if (!FillRegion(static_cast<uint32_t>(m_blockPlaying) * m_blockBytes, m_blockBytes))
            return 0;
    } else if ((block + 1) % m_layout.blockCount == m_endBlock) {
        FillSilence(static_cast<uint32_t>(m_endBlock) * m_blockBytes, m_blockBytes);
    }
    m_lastRefilled = m_blockPlaying;
    m_blockPlaying = block;
    m_playedBytes += m_blockBytes;
    return 1;
}

void GAudioPlayer::Shutdown()
{
    m_stream.Shutdown(
        [this] {
            if (m_buffer)
                m_buffer->Stop();
        },
        [this] {
            m_buffer.reset();
            ReleaseModulePlayer();
            DropDecoder();
            m_tracks.clear();
            m_started = false;
            m_current = -1;
            m_format = {};
        });
}
