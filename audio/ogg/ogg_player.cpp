#include "audio/ogg/ogg_player.h"

#include <mutex>
#include <string>

namespace {

platform::RecursiveLock g_oggPlayerLock;
GAudioPlayer* g_activeOggPlayer = nullptr; // guarded by g_oggPlayerLock

std::string FileName(int number)
{
    return std::to_string(number) + ".ogg";
}

} // namespace

const GAudioPlayer::Layout GOggPlayer::kLayout = {
    kBufferBytes, kBlockCount, 0, 10, true, "Ogg Player", &g_oggPlayerLock, &g_activeOggPlayer,
};

GOggPlayer::GOggPlayer(platform::SoundDevice* device, platform::Window* window, const char* folder)
    : GAudioPlayer(device, window, folder ? folder : "OGG\\", kLayout)
{
}

int GOggPlayer::AddTrack(int number)
{
    return GAudioPlayer::AddTrack(FileName(number).c_str(), 0);
}

void GOggPlayer::RemoveTrack(int number)
{
    std::lock_guard lock(g_oggPlayerLock);
    GAudioPlayer::RemoveTrack(FindTrack(FileName(number).c_str()));
}

platform::RecursiveLock& GOggPlayer::Lock()
{
    return g_oggPlayerLock;
}

GOggPlayer* GOggPlayer::Active()
{
    std::lock_guard lock(g_oggPlayerLock);
    return static_cast<GOggPlayer*>(g_activeOggPlayer);
}
