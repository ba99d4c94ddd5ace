// The music players on real track bytes: the first byte chooses the kind (Ogg, MP3, tracker
// module or MIDI) and the play flag, the rest is written as the track file the player is
// pointed at. The stream player plays it through PlayTrack, the MIDI player through Play; the
// manual device then pulls a few blocks, which wakes the refill thread. A track that cannot be
// played is taken out of the table; one that plays has a decoder of 16-bit PCM.
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/decoders/stream_decoder.h"
#include "audio/midi/midi_player.h"
#include "audio/player/audio_player.h"
#include "fuzz/fuzz_files.h"

namespace {

platform::SoundDevice& Device()
{
    static platform::SoundDevice* device =
        platform::SoundDevice::Create(platform::SoundOutput::kManual).release();
    return *device;
}

const std::string& TrackFolder()
{
    return fuzz::ScratchFolder("stream_player");
}

void PlayStream(const char* name, int flag)
{
    static GAudioPlayer* player = [] {
        auto* made = new GAudioPlayer(&Device(), TrackFolder().c_str());
        if (!made->StartThread())
            __builtin_trap();
        made->InitModulePlayer();
        return made;
    }();
    player->ClearTracks();
    if (!player->AddTrack(name, 0))
        __builtin_trap();
    player->SetPlayMode(flag & 1 ? GAudioPlayer::kRepeatTrack : GAudioPlayer::kNextTrack);
    if (player->PlayTrack(0, flag >> 1)) {
        GStreamDecoder* decoder = player->GetCurrentDecoder();
        const platform::WaveFormat& format = player->GetStreamFormat();
        if (!decoder || format.channels < 1 || format.channels > 2 ||
            format.blockAlign != format.channels * 2)
            __builtin_trap();
        for (int i = 0; i < 6; ++i)
            Device().Render(GAudioPlayer::kBlockBytes / 4);
    } else if (player->GetTrackCount() != 0) {
        __builtin_trap(); // a track that cannot be played leaves the table
    }
    player->Stop();
}

void PlayMidi()
{
    static GMidiPlayer* player = [] {
        auto* made = new GMidiPlayer(&Device(), TrackFolder().c_str());
        return made->Start(1) ? made : nullptr;
    }();
    if (!player)
        return;
    player->SetTempo(6);
    if (player->Play(0))
        for (int i = 0; i < 4; ++i)
            Device().Render(GMidiPlayer::kBlockFrames);
    player->Stop();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (size_t{1} << 18))
        return 0;
    static const char* const kNames[] = {"track.ogg", "track.mp3", "track.skm",
                                         "track.mod", "track.xm",  "0.mid"};
    const size_t kind = data[0] % 6;
    fuzz::WriteBytes(TrackFolder() + kNames[kind], fuzz::Bytes(data + 1, data + size));
    if (kind == 5)
        PlayMidi();
    else
        PlayStream(kNames[kind], data[0] / 6);
    return 0;
}
