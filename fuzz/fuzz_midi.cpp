// The MIDI loader: any bytes as a Standard MIDI file, loaded and played through the
// synthesiser for a short while at a high tempo; refused bytes leave it silent.
#include "platform/sound/midi_synth.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::MidiSynth* synth = platform::MidiSynth::Create(44100).release();
    if (!synth || size > (size_t{1} << 16))
        return 0;
    static int16_t pcm[2 * 4096];
    synth->SetTempoFactor(4.0);
    if (synth->LoadBytes(std::vector<uint8_t>(data, data + size)) && synth->Play(false)) {
        for (int i = 0; i < 8 && !synth->HasEnded(); ++i) {
            synth->Render(pcm, 4096);
            fuzz::Keep(fuzz::SumBytes(reinterpret_cast<const uint8_t*>(pcm), sizeof pcm));
        }
        synth->Seek(0);
        synth->Stop();
    }
    return 0;
}
