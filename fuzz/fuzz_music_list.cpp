// The music list: any bytes as the scrambled "music.ini". Every entry of a loaded list names a
// track the player really holds (or none), and playing any mode stays within the table.
#include "audio/music/music_manager.h"
#include "audio/player/audio_player.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::SoundDevice* device =
        platform::SoundDevice::Create(platform::SoundOutput::kManual).release();
    static GAudioPlayer* player = [] {
        auto* made = new GAudioPlayer(device, "/nonexistent/");
        if (!made->StartThread())
            __builtin_trap();
        return made;
    }();
    player->ClearTracks();
    const int32_t volume = 5000;
    GMusicManager music;
    music.Init(&volume, player, fuzz::WriteInput(data, size, ".ini"));
    for (const GMusicTrackEntry& entry : music.GetEntries())
        if (entry.trackIndex >= player->GetTrackCount() || entry.trackIndex < -1)
            __builtin_trap();
    for (int32_t mode = -1; mode <= 4; ++mode)
        music.PlayForMode(mode);
    music.SetEnabled(0);
    music.SetEnabled(7);
    return 0;
}
