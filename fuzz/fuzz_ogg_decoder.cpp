// Ogg Vorbis streams through our decoder: see FuzzStreamDecoder.
#include "audio/decoders/ogg_decoder.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::FuzzStreamDecoder<GOggDecoder>(data, size, ".ogg");
    return 0;
}
