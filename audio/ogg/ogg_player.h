#pragma once
// The Ogg player: a playlist of numbered Ogg Vorbis files (folder + number + ".ogg", folder
// "OGG\\" by default) streamed like the stream player's tracks, through a 262,144-byte buffer
// of 8 blocks, by its own thread ("Ogg Player") under its own lock. The list has no length
// limit; random next with a single entry plays it again. It is the stream player's code with
// that layout; only one Ogg player runs at a time, and the audio facade never lets it run
// beside a stream player.

#include <cstdint>

#include "audio/player/audio_player.h"

class GOggPlayer : private GAudioPlayer {
public:
    static constexpr uint32_t kBufferBytes = 0x40000;
    static constexpr int kBlockCount = 8;
    static constexpr uint32_t kBlockBytes = kBufferBytes / kBlockCount; // 32,768

    // device borrowed; folder copied (null: "OGG\\").
    GOggPlayer(platform::SoundDevice* device, const char* folder);

    using GAudioPlayer::StartThread;
    // Appends the file number.
    int AddTrack(int number);
    // Takes out the first entry of that number.
    void RemoveTrack(int number);
    using GAudioPlayer::ClearTracks;
    using GAudioPlayer::GetCurrentTrack;
    using GAudioPlayer::GetPlayedBytes;
    using GAudioPlayer::GetPlayedMs;
    using GAudioPlayer::GetStreamBuffer;
    using GAudioPlayer::GetThreadHandle;
    using GAudioPlayer::GetTrackCount;
    using GAudioPlayer::GetVolume;
    using GAudioPlayer::IsPlaying;
    using GAudioPlayer::kNextTrack;
    using GAudioPlayer::kRepeatTrack;
    using GAudioPlayer::Pause;
    using GAudioPlayer::Resume;
    using GAudioPlayer::SetPlayMode;
    using GAudioPlayer::SetRandomNext;
    using GAudioPlayer::SetVolume;
    using GAudioPlayer::Shutdown;
    using GAudioPlayer::Stop;
    // Plays the playlist entry at index (not a file number) from its start, looping by the
    // play mode; an entry whose file cannot be played is removed.
    int PlayTrack(int index) { return GAudioPlayer::PlayTrack(index, 0); }

    static platform::RecursiveLock& Lock();
    static GOggPlayer* Active();

private:
    static const Layout kLayout;
};
