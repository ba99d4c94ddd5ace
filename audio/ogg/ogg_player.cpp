#include "audio/ogg/ogg_player.h"

#include <mutex>
#include <string>

namespace {

GStreamKind g_oggPlayerKind{"Ogg Player", 10};

std::string FileName(int number)
{
    return std::to_string(number) + ".ogg";
}

} // namespace

const GAudioPlayer::Layout GOggPlayer::kLayout = {
    kBufferBytes, kBlockCount, 0, true, &g_oggPlayerKind,
};

GOggPlayer::GOggPlayer(platform::SoundDevice* device, const char* folder)
    : GAudioPlayer(device, folder ? folder : "OGG\\", kLayout)
{
}

int GOggPlayer::AddTrack(int number)
{
    return GAudioPlayer::AddTrack(FileName(number).c_str(), 0);
}

void GOggPlayer::RemoveTrack(int number)
{
    std::lock_guard lock(g_oggPlayerKind.lock);
    GAudioPlayer::RemoveTrack(FindTrack(FileName(number).c_str()));
}

platform::RecursiveLock& GOggPlayer::Lock()
{
    return g_oggPlayerKind.lock;
}

GOggPlayer* GOggPlayer::Active()
{
    std::lock_guard lock(g_oggPlayerKind.lock);
    return static_cast<GOggPlayer*>(
        static_cast<GAudioPlayer*>(const_cast<void*>(g_oggPlayerKind.active)));
}
