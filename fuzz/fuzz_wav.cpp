// The WAV reader: any bytes as a WAV file. What the header walk accepts lies wholly inside
// the bytes; the bank maps the same bytes from a file and plays them, or refuses them whole.
#include "audio/banks/sound_bank.h"
#include "audio/banks/wav_file.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::SoundDevice* device =
        platform::SoundDevice::Create(platform::SoundOutput::kManual).release();
    GWavData wav;
    const bool parsed = ParseWav(data, size, &wav);
    if (parsed) {
        if (wav.dataSize == 0 || uint64_t{wav.dataOffset} + wav.dataSize > size)
            __builtin_trap();
        fuzz::Keep(fuzz::SumBytes(data + wav.dataOffset, wav.dataSize));
    }
    GWavBank bank(device, nullptr);
    const int added = bank.AddSound(0, fuzz::WriteInput(data, size, ".wav"));
    if (added != (parsed ? 1 : 0))
        __builtin_trap();
    if (added) {
        bank.Play(0, 1);
        std::vector<int16_t> mixed;
        device->Render(512, &mixed);
        fuzz::Keep(fuzz::SumBytes(reinterpret_cast<const uint8_t*>(mixed.data()), mixed.size() * 2));
    }
    return 0;
}
