// Ogg Vorbis streams: any bytes as a music file. Opening may fail; an opened stream is read to its
// end (or a bounded number of reads) and rewound once, never past a read's length.
#include "audio/decoders/ogg_decoder.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GOggDecoder decoder;
    if (decoder.Open(fuzz::WriteInput(data, size, ".ogg"), 0)) {
        const platform::WaveFormat& format = decoder.GetFormat();
        if (format.channels < 1 || format.channels > 2 || format.blockAlign != format.channels * 2)
            __builtin_trap();
        fuzz::ReadToEnd(decoder);
        decoder.Rewind();
        fuzz::ReadToEnd(decoder);
    }
    return 0;
}
