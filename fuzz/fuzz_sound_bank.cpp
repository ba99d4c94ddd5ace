// The sound-bank loader: any bytes as an effect file. A sound that is added holds exactly the
// PCM its file declared, in a buffer of that size; a refused one leaves the bank as it was.
#include "audio/banks/sound_bank.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::SoundDevice* device =
        platform::SoundDevice::Create(platform::SoundOutput::kManual).release();
    GSoundBank bank(device, nullptr);
    if (bank.AddSound(0, fuzz::WriteInput(data, size, ".ogg"))) {
        GSoundBuffer* sound = bank.GetSound(0);
        if (bank.GetCount() != 1 || !sound || !sound->GetBuffer())
            __builtin_trap();
        bank.SetFrequency(0, 150);
        bank.Play(0, 1);
        std::vector<int16_t> mixed;
        device->Render(512, &mixed);
        fuzz::Keep(fuzz::SumBytes(reinterpret_cast<const uint8_t*>(mixed.data()), mixed.size() * 2));
    } else if (bank.GetCount() != 0) {
        __builtin_trap();
    }
    return 0;
}
