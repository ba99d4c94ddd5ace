#include "audio/banks/sound_bank.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "audio/banks/wav_file.h"
#include "audio/decoders/ogg_reader.h"
#include "audio/player/audio_level.h"
#include "audio/player/stream_thread.h"
#include "platform/files/mapped_file.h"

using platform::SoundResult;

GSoundBuffer::GSoundBuffer(platform::SoundDevice* device, GEffectFormat kind)
    : m_kind(kind), m_device(device)
{
}

GSoundBuffer::~GSoundBuffer()
{
    Release();
}

int GSoundBuffer::LoadOgg(const char* path)
{
    GOggReader reader;
    if (reader.Open(path) != kReaderOk)
        return 0;
    const int64_t size = reader.GetDataSize();
    if (size <= 0 || size > kMaxPcmBytes)
        return 0;
    try {
        m_decoded.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    int32_t got = 0;
    if (reader.Read(m_decoded.data(), static_cast<int32_t>(size), &got) != kReaderOk ||
        got != size) {
        m_decoded.clear();
        return 0;
    }
    m_format = reader.GetFormat();
    m_pcm = m_decoded.data();
    m_pcmSize = static_cast<uint32_t>(size);
    return 1;
}

// The samples stay in the mapped file: nothing is decoded or copied but into the buffer.
int GSoundBuffer::LoadWav(const char* path)
{
    auto mapping = platform::MappedFile::Open(path);
    GWavData wav;
    if (!mapping || !ParseWav(mapping->GetData(), mapping->GetSize(), &wav))
        return 0;
    m_mapping = std::move(mapping);
    m_format = wav.format;
    m_pcm = m_mapping->GetData() + wav.dataOffset;
    m_pcmSize = wav.dataSize;
    return 1;
}

int GSoundBuffer::CreateBuffer(const char* path)
{
    Release();
    if (!m_device || !(m_kind == GEffectFormat::kWav ? LoadWav(path) : LoadOgg(path)))
        return 0;
    platform::SoundVoiceDesc desc;
    desc.flags = platform::sound_caps::kCtrlPan | platform::sound_caps::kCtrlVolume;
    if (m_kind == GEffectFormat::kOgg)
        desc.flags |= platform::sound_caps::kCtrlFrequency;
    desc.bytes = m_pcmSize;
    desc.format = &m_format;
    if (m_device->CreateBuffer(desc, &m_buffer) != SoundResult::kOk) {
        Release(); // a refused effect keeps no PCM to read back
        return 0;
    }
    return 1;
}

uint32_t GSoundBuffer::ReadPcm(uint8_t* dest, uint32_t length)
{
    if (!m_pcm || m_readPosition >= m_pcmSize)
        return 0;
    const uint32_t copied = std::min<uint32_t>(length, m_pcmSize - m_readPosition);
    std::memcpy(dest, m_pcm + m_readPosition, copied);
    std::memset(dest + copied, m_format.bitsPerSample == 8 ? 0x80 : 0, length - copied);
    m_readPosition += copied;
    return copied;
}

int GSoundBuffer::FillBuffer()
{
    m_readPosition = 0;
    if (!m_buffer)
        return 1;
    void* part = nullptr;
    uint32_t bytes = 0;
    if (m_buffer->Lock(0, m_pcmSize, &part, &bytes, nullptr, nullptr) == SoundResult::kOk) {
        ReadPcm(static_cast<uint8_t*>(part), bytes);
        m_buffer->Unlock(part, bytes, nullptr, 0);
    }
    return 1;
}

SoundResult GSoundBuffer::Play(bool restart)
{
    if (!m_buffer)
        return SoundResult::kInvalidParam;
    uint32_t status = 0;
    m_buffer->GetStatus(&status);
    if (status & platform::sound_status::kBufferLost) {
        if (m_buffer->Restore() != SoundResult::kOk)
            return SoundResult::kBufferLost;
        FillBuffer();
    }
    if (restart) {
        if (status & platform::sound_status::kPlaying)
            m_buffer->Stop();
        m_buffer->SetCurrentPosition(0);
    }
    return m_buffer->Play(false);
}

void GSoundBuffer::Stop()
{
    if (m_buffer)
        m_buffer->Stop();
}

bool GSoundBuffer::IsPlaying() const
{
    return IsBufferPlaying(m_buffer.get());
}

void GSoundBuffer::SetLevel(int32_t level)
{
    if (m_buffer)
        m_buffer->SetVolume(AudioLevelFromVolume(level));
}

void GSoundBuffer::SetPan(int32_t pan)
{
    if (m_buffer)
        m_buffer->SetPan(pan);
}

void GSoundBuffer::SetFrequency(uint32_t hz)
{
    if (m_buffer)
        m_buffer->SetFrequency(hz);
}

uint32_t GSoundBuffer::GetFrequency() const
{
    uint32_t hz = 0;
    if (m_buffer)
        m_buffer->GetFrequency(&hz);
    return hz;
}

void GSoundBuffer::Release()
{
    m_buffer.reset();
    m_decoded.clear();
    m_decoded.shrink_to_fit();
    m_mapping.reset();
    m_pcm = nullptr;
    m_pcmSize = 0;
    m_readPosition = 0;
}

// ---------------------------------------------------------------------------------------

GSoundBank::GSoundBank(platform::SoundDevice* device, const char* folder, GEffectFormat kind)
    : m_kind(kind), m_folder(folder                        ? folder
                             : kind == GEffectFormat::kWav ? "WAV\\"
                                                           : "SOUNDS\\"),
      m_device(device)
{
    // Refused whole: a cut folder would name another place. Preload then adds nothing.
    m_folderFits = m_folder.size() < kPathBytes;
}

void GSoundBank::Preload(int count)
{
    ReleaseAll();
    m_records.reset(new (std::nothrow) Record[kMaxSounds]);
    for (int i = 0; i < count && m_records && m_folderFits; ++i) {
        std::string path =
            m_folder + std::to_string(i) + (m_kind == GEffectFormat::kWav ? ".wav" : ".ogg");
        if (path.size() < kPathBytes)
            AddSound(i, path.c_str());
    }
}

std::unique_ptr<GSoundBuffer> GSoundBank::CreateSound(const char* path)
{
    auto sound = std::make_unique<GSoundBuffer>(m_device, m_kind);
    if (!sound->CreateBuffer(path) || !sound->FillBuffer())
        return nullptr;
    return sound;
}

int GSoundBank::AddSound(int id, const char* path)
{
    if (id < 0 || !path)
        return 0;
    if (!m_records) {
        m_records.reset(new (std::nothrow) Record[kMaxSounds]);
        if (!m_records)
            return 0;
    }
    RemoveSound(id);
    if (m_count >= kMaxSounds)
        return 0;
    Record& record = m_records[m_count];
    record = Record{};
    record.id = id;
    record.sound = CreateSound(path);
    if (!record.sound)
        return 0;
    record.sound->SetFrequency(0);
    record.baseFrequency = record.sound->GetFrequency();
    ++m_count;
    return 1;
}

void GSoundBank::RemoveSound(int id)
{
    const int index = FindIndex(id);
    if (index < 0)
        return;
    --m_count;
    if (index != m_count)
        m_records[index] = std::move(m_records[m_count]);
    m_records[m_count] = Record{};
}

void GSoundBank::ApplyLevel(Record& record)
{
    record.sound->SetLevel(record.volume * m_masterVolume / 10000);
}

void GSoundBank::Play(int id, int restart)
{
    const int index = FindIndex(id);
    if (!m_enabled || index < 0 || !m_device || !m_records[index].sound)
        return;
    Record& record = m_records[index];
    ApplyLevel(record);
    record.sound->SetPan(record.pan);
    record.sound->Play(restart != 0);
}

void GSoundBank::StopSound(int id)
{
    if (!m_device || !m_records)
        return;
    for (int i = 0; i < m_count; ++i) {
        Record& record = m_records[i];
        if (!record.sound || !(id < 0 ? record.sound->IsPlaying() : record.id == id))
            continue;
        record.sound->Stop();
        record.sound->GetBuffer()->SetCurrentPosition(0);
        if (id >= 0)
            return;
    }
}

void GSoundBank::SetEnabled(int flag)
{
    m_enabled = flag;
    if (!flag)
        StopSound(-1);
}

void GSoundBank::SetVolume(int id, int volume)
{
    const int index = FindIndex(id);
    if (volume < 0 || volume > 10000 || index < 0)
        return;
    m_records[index].volume = volume;
    ApplyLevel(m_records[index]);
}

void GSoundBank::SetMasterVolume(int volume)
{
    if (volume < 0 || volume > 10000)
        return;
    m_masterVolume = volume;
    for (int i = 0; i < m_count; ++i)
        if (m_records[i].sound && m_records[i].sound->IsPlaying())
            ApplyLevel(m_records[i]);
}

void GSoundBank::SetFrequency(int id, int percent)
{
    const int index = FindIndex(id);
    if (percent < 0 || index < 0)
        return;
    Record& record = m_records[index];
    record.frequency = percent;
    const uint64_t hz = uint64_t{record.baseFrequency} * static_cast<uint32_t>(percent) / 100;
    record.sound->SetFrequency(static_cast<uint32_t>(
        std::clamp<uint64_t>(hz, platform::kFrequencyMin, platform::kFrequencyMax)));
}

void GSoundBank::SetPan(int id, int pan)
{
    const int index = FindIndex(id);
    if (pan < platform::kPanLeft || pan > platform::kPanRight || index < 0)
        return;
    m_records[index].pan = pan;
    m_records[index].sound->SetPan(pan);
}

int GSoundBank::IsPlaying(int id)
{
    const int index = FindIndex(id);
    if (index >= 0)
        return m_records[index].sound->IsPlaying() ? 1 : 0;
    for (int i = 0; i < m_count; ++i)
        if (m_records[i].sound->IsPlaying())
            return 1;
    return 0;
}

int GSoundBank::GetVolume(int id)
{
    const int index = FindIndex(id);
    return index < 0 ? -1 : m_records[index].volume;
}

int GSoundBank::GetFrequency(int id)
{
    const int index = FindIndex(id);
    return index < 0 ? -1 : m_records[index].frequency;
}

int GSoundBank::GetPan(int id)
{
    const int index = FindIndex(id);
    return index < 0 ? kUnknownPan : m_records[index].pan;
}

int GSoundBank::GetBaseFrequency(int id)
{
    const int index = FindIndex(id);
    return index < 0 ? -1 : static_cast<int>(m_records[index].baseFrequency);
}

GSoundBuffer* GSoundBank::GetSound(int id)
{
    const int index = FindIndex(id);
    return index < 0 ? nullptr : m_records[index].sound.get();
}

int GSoundBank::FindIndex(int id)
{
    if (!m_records)
        return -1;
    for (int i = 0; i < m_count; ++i)
        if (m_records[i].id == id)
            return i;
    return -1;
}

void GSoundBank::ReleaseAll()
{
    m_records.reset();
    m_count = 0;
}
