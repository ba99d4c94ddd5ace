// The sound list: any bytes as the scrambled "sound.csv". Every variant id of a loaded list is
// one the list gave out, and playing any event draws within its row's ranges without fault.
#include "audio/banks/sound_bank.h"
#include "audio/music/sound_manager.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::SoundDevice* device =
        platform::SoundDevice::Create(platform::SoundOutput::kManual).release();
    GSoundBank bank(device, nullptr);
    const int32_t volume = 5000;
    GSoundManager sounds;
    sounds.Init(&volume, &bank, fuzz::WriteInput(data, size, ".csv"));
    int next = 0;
    for (const GSoundEventEntry& entry : sounds.GetEntries())
        for (uint32_t i = 0; i < entry.variants.GetCount(); ++i)
            if (entry.variants[i] != next++)
                __builtin_trap();
    for (int32_t event = -1; event <= kSoundEventCount; ++event) {
        sounds.PlayEvent(event);
        sounds.PickEventSound(event);
    }
    return 0;
}
