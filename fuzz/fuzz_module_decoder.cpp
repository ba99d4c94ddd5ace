// tracker modules through the libxmp adapter: any bytes as a module file. Opening may fail; an opened song is read to its
// end (or a bounded number of reads) and rewound once, never past a read's length.
#include "audio/decoders/module_decoder.h"
#include "fuzz/fuzz_audio.h"
#include "platform/sound/module_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static platform::ModuleLibrary* library = platform::ModuleLibrary::Load().release();
    static GModuleDecoder* decoder = [] {
        auto* made = new GModuleDecoder(library);
        made->Init();
        return made;
    }();
    const char* path = fuzz::WriteInput(data, size, ".mod");
    if (decoder->Open(path, size ? data[0] % 4 : 0)) {
        fuzz::ReadToEnd(*decoder);
        decoder->Rewind();
        fuzz::ReadToEnd(*decoder);
    }
    decoder->Close();
    return 0;
}
