#include "platform/sound/midi_synth.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/files/file_system.h"

struct MidiSynthParts {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    std::vector<uint8_t> song; // the player reads it when it starts

    ~MidiSynthParts()
    {
        if (player)
            delete_fluid_player(player);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

namespace platform {
namespace {

constexpr float kBaseGain = 0.4f;

const char* const kSoundFonts[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
};

// FluidSynth reports to stderr by default; only its own failures matter, and those show up
// in its results.
void QuietLog(int, const char*, void*) {}

// FluidSynth trusts a file's structure: a track with a runaway length or an event running past
// its chunk can keep its player busy inside one render call for minutes. A file is handed over
// only when every chunk fits the file, there are at least as many "MTrk" chunks as the header
// counts, and every track is a sequence of whole events, each with its delta time, a tempo
// of at least one microsecond a beat, and the track ends exactly at its end-of-track event.
class MidiReader {
public:
    MidiReader(const uint8_t* at, const uint8_t* end) : m_at(at), m_end(end) {}
    bool AtEnd() const { return m_at == m_end; }
    bool Byte(uint8_t& value)
    {
        if (m_at == m_end)
            return false;
        value = *m_at++;
        return true;
    }
    // A variable-length number of at most four bytes.
    bool Number(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = 0;
            if (!Byte(b))
                return false;
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
    bool Skip(uint32_t count, const uint8_t** from = nullptr)
    {
        if (uint32_t(m_end - m_at) < count)
            return false;
        if (from)
            *from = m_at;
        m_at += count;
        return true;
    }

private:
    const uint8_t* m_at;
    const uint8_t* m_end;
};

bool IsWellFormedTrack(MidiReader track)
{
    uint8_t running = 0;
    for (;;) {
        uint32_t delta = 0;
        uint8_t status = 0;
        if (!track.Number(delta) || !track.Byte(status))
            return false;
        if (status == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            const uint8_t* data = nullptr;
            if (!track.Byte(type) || !track.Number(length) || !track.Skip(length, &data))
                return false;
            if (type == 0x51 && (length != 3 || (data[0] | data[1] | data[2]) == 0))
                return false;
            if (type == 0x2F)
                return track.AtEnd();
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            uint32_t length = 0;
            if (!track.Number(length) || !track.Skip(length))
                return false;
            running = 0;
            continue;
        }
        uint32_t dataBytes = 0;
        if (status < 0x80) {
            if (!running)
                return false;
            dataBytes = 1; // the first data byte was read as the status
            status = running;
        } else if (status < 0xF0) {
            running = status;
        } else {
            return false; // system common and real-time messages have no place in a file
        }
        const uint8_t kind = status & 0xF0;
        dataBytes = (kind == 0xC0 || kind == 0xD0 ? 1 : 2) - dataBytes;
        for (uint32_t i = 0; i < dataBytes; ++i) {
            uint8_t value = 0;
            if (!track.Byte(value) || value >= 0x80)
                return false;
        }
    }
}

bool IsWellFormedMidi(const std::vector<uint8_t>& bytes)
{
    auto chunkLength = [](const uint8_t* p) {
        return uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7];
    };
    MidiReader file(bytes.data(), bytes.data() + bytes.size());
    const uint8_t* header = nullptr;
    if (!file.Skip(8, &header) || std::memcmp(header, "MThd", 4) != 0 ||
        chunkLength(header) < 6 || !file.Skip(chunkLength(header), &header) ||
        header[0] != 0 || header[1] > 2 || (header[4] | header[5]) == 0)
        return false;
    const uint32_t tracks = uint32_t(header[2]) << 8 | header[3];
    uint32_t seen = 0;
    while (!file.AtEnd()) {
        const uint8_t* chunk = nullptr;
        const uint8_t* body = nullptr;
        if (!file.Skip(8, &chunk) || !file.Skip(chunkLength(chunk), &body))
            return false;
        if (std::memcmp(chunk, "MTrk", 4) != 0)
            continue; // chunks of other kinds are skipped, as the format allows
        if (!IsWellFormedTrack(MidiReader(body, body + chunkLength(chunk))))
            return false;
        ++seen;
    }
    return tracks > 0 && seen >= tracks;
}

} // namespace

const char* FindSoundFont()
{
    if (const char* chosen = std::getenv("TOLVANRISE_SOUNDFONT"))
        return PathExists(chosen) ? chosen : "";
    for (const char* path : kSoundFonts)
        if (PathExists(path))
            return path;
    return "";
}

std::unique_ptr<MidiSynth> MidiSynth::Create(int rate, MidiSynthError* error)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, QuietLog, nullptr);
    });
    MidiSynthError failure = MidiSynthError::kNoSynth;
    auto parts = std::make_unique<MidiSynthParts>();
    parts->settings = new_fluid_settings();
    if (parts->settings) {
        fluid_settings_setnum(parts->settings, "synth.sample-rate", rate);
        fluid_settings_setint(parts->settings, "synth.threadsafe-api", 0);
        // The song advances with the samples rendered, not with the wall clock.
        fluid_settings_setstr(parts->settings, "player.timing-source", "sample");
        parts->synth = new_fluid_synth(parts->settings);
    }
    if (parts->synth) {
        failure = MidiSynthError::kNoSoundFont;
        const char* font = FindSoundFont();
        if (*font && fluid_synth_sfload(parts->synth, font, 1) != FLUID_FAILED) {
            fluid_synth_set_gain(parts->synth, kBaseGain);
            if (error)
                *error = MidiSynthError::kNone;
            return std::unique_ptr<MidiSynth>(new MidiSynth(std::move(parts)));
        }
    }
    if (error)
        *error = failure;
    return nullptr;
}

MidiSynth::MidiSynth(std::unique_ptr<MidiSynthParts> parts) : m_parts(std::move(parts)) {}

MidiSynth::~MidiSynth() = default;

void MidiSynth::DropSong()
{
    if (m_parts->player) {
        fluid_player_stop(m_parts->player);
        delete_fluid_player(m_parts->player);
        m_parts->player = nullptr;
    }
    fluid_synth_all_sounds_off(m_parts->synth, -1);
    fluid_synth_system_reset(m_parts->synth);
    m_parts->song.clear();
    m_stopped = true;
}

bool MidiSynth::Load(const char* path)
{
    FilePtr file(OpenFile(path, "rb"));
    std::vector<uint8_t> bytes;
    if (file) {
        uint8_t chunk[8192];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
            bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return LoadBytes(std::move(bytes));
}

bool MidiSynth::LoadBytes(std::vector<uint8_t> bytes)
{
    DropSong();
    if (!IsWellFormedMidi(bytes))
        return false;
    m_parts->player = new_fluid_player(m_parts->synth);
    if (!m_parts->player)
        return false;
    m_parts->song = std::move(bytes);
    if (fluid_player_add_mem(m_parts->player, m_parts->song.data(), m_parts->song.size()) != FLUID_OK) {
        DropSong();
        return false;
    }
    fluid_player_set_tempo(m_parts->player, FLUID_PLAYER_TEMPO_INTERNAL, m_tempo);
    return true;
}

bool MidiSynth::Play(bool loop)
{
    if (!m_parts->player)
        return false;
    fluid_player_set_loop(m_parts->player, loop ? -1 : 1);
    m_stopped = false;
    return fluid_player_play(m_parts->player) == FLUID_OK;
}

void MidiSynth::Stop()
{
    m_stopped = true;
    if (m_parts->player)
        fluid_player_stop(m_parts->player);
    fluid_synth_all_notes_off(m_parts->synth, -1);
}

void MidiSynth::Seek(int tick)
{
    if (m_parts->player)
        fluid_player_seek(m_parts->player, tick);
}

int MidiSynth::GetTick() const
{
    return m_parts->player ? fluid_player_get_current_tick(m_parts->player) : 0;
}

bool MidiSynth::IsPlaying() const
{
    return m_parts->player && fluid_player_get_status(m_parts->player) == FLUID_PLAYER_PLAYING;
}

bool MidiSynth::HasEnded() const
{
    if (!m_parts->player || m_stopped)
        return false;
    // The player itself reports the end only once every voice has died away; the song has
    // ended when its last event has passed.
    const int total = fluid_player_get_total_ticks(m_parts->player);
    return fluid_player_get_status(m_parts->player) == FLUID_PLAYER_DONE ||
           (total > 0 && fluid_player_get_current_tick(m_parts->player) >= total);
}

void MidiSynth::SetGain(double factor)
{
    fluid_synth_set_gain(m_parts->synth, static_cast<float>(kBaseGain * factor));
}

void MidiSynth::SetTempoFactor(double factor)
{
    m_tempo = factor;
    if (m_parts->player)
        fluid_player_set_tempo(m_parts->player, FLUID_PLAYER_TEMPO_INTERNAL, factor);
}

void MidiSynth::Render(int16_t* stereo, int frames)
{
    if (frames > 0)
        fluid_synth_write_s16(m_parts->synth, frames, stereo, 0, 2, stereo, 1, 2);
}

} // namespace platform
