// The system sound output: an SDL audio device that pulls the mix from its callback thread.

#include <SDL.h>

#include "platform/sound/sound_device.h"

namespace platform {
namespace {

class SdlSoundSink final : public SoundOutputSink {
public:
    ~SdlSoundSink() override
    {
        if (m_device)
            SDL_CloseAudioDevice(m_device);
        if (m_started)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open(SoundDevice& device)
    {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        m_started = true;
        SDL_AudioSpec want{};
        want.freq = SoundDevice::kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024; // 23 ms: small enough for the effects, large enough not to starve
        want.callback = [](void* user, Uint8* stream, int len) {
            static_cast<SoundDevice*>(user)->Mix(reinterpret_cast<int16_t*>(stream),
                                                 static_cast<uint32_t>(len / 4));
        };
        want.userdata = &device;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts if the hardware wants something else.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (!m_device)
            return false;
        SDL_PauseAudioDevice(m_device, 0);
        return true;
    }

private:
    SDL_AudioDeviceID m_device = 0;
    bool m_started = false;
};

} // namespace

std::unique_ptr<SoundOutputSink> OpenSdlSoundSink(SoundDevice& device)
{
    auto sink = std::make_unique<SdlSoundSink>();
    if (!sink->Open(device))
        return nullptr;
    return sink;
}

} // namespace platform
