#pragma once
// What the audio fuzz targets share: the decoders read files by name, so each input is written
// to one scratch file of the process first (in a folder removed at exit); and a read loop that
// checks every count against its length and a guard byte behind it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/decoders/stream_decoder.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

// The one scratch file of the process (in its scratch folder, removed at exit).
inline const std::string& InputPath(const char* ending)
{
    static const std::string path = ScratchFolder("audio") + "input" + ending;
    return path;
}

inline const char* WriteInput(const uint8_t* data, size_t size, const char* ending)
{
    const std::string& path = InputPath(ending);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size && std::fwrite(data, 1, size, file) != size))
        __builtin_trap();
    std::fclose(file);
    return path.c_str();
}

// Odd lengths, so frames and chunks end inside reads; bounded so junk cannot run forever.
inline void ReadToEnd(GStreamDecoder& decoder)
{
    static const int32_t lengths[] = {4099, 36864, 7, 8192, 1};
    std::vector<uint8_t> buffer(36864 + 1);
    for (int i = 0; i < 200; ++i) {
        const int32_t length = lengths[i % 5];
        buffer[length] = 0xA5;
        int32_t count = -1;
        if (!decoder.Read(buffer.data(), length, &count) || count < 0 || count > length ||
            buffer[length] != 0xA5)
            __builtin_trap();
        Keep(SumBytes(buffer.data(), static_cast<size_t>(count)));
        if (count < length && length > 4)
            return;
    }
}

// Any bytes as a music file for a decoder made empty per input: opening may fail; an opened
// stream must describe 16-bit PCM of 1 or 2 channels, and is read to its end and once more
// after a rewind.
template <typename Decoder>
void FuzzStreamDecoder(const uint8_t* data, size_t size, const char* ending)
{
    Decoder decoder;
    if (!decoder.Open(WriteInput(data, size, ending), 0))
        return;
    const platform::WaveFormat& format = decoder.GetFormat();
    if (format.channels < 1 || format.channels > 2 || format.blockAlign != format.channels * 2)
        __builtin_trap();
    ReadToEnd(decoder);
    decoder.Rewind();
    ReadToEnd(decoder);
}

} // namespace fuzz
