// MP3 streams through our decoder: see FuzzStreamDecoder.
#include "audio/decoders/mp3_decoder.h"
#include "fuzz/fuzz_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::FuzzStreamDecoder<GMp3Decoder>(data, size, ".mp3");
    return 0;
}
