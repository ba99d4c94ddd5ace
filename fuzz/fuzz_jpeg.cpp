// Fuzz target of the JPEG decoder: headers, entropy-coded data and restarts from any bytes.
// Each input is decoded twice, through the line interface and into a whole-picture buffer,
// with one decoder reused across inputs (as the bitmap store reuses one). Pictures above a
// million pixels are only opened, to keep runs fast. Every output byte is summed so that a
// read of memory the decoder never wrote shows up under MemorySanitizer.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_decoder.h"

namespace {

constexpr int64_t kMaxPixels = 1 << 20;

volatile uint32_t g_sink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<GJpegDecoder> decoder = GJpegDecoder::Create();
    if (!decoder || size > (1u << 24))
        return 0;

    GMemoryDataSource source(data, static_cast<uint32_t>(size));
    if (decoder->Begin(&source) != 0)
        return 0;
    const int32_t width = decoder->GetWidth();
    const int32_t height = decoder->GetHeight();
    if (static_cast<int64_t>(width) * height > kMaxPixels)
        return 0;

    uint32_t sum = 0;
    int32_t lines = 0;
    const uint8_t* line = nullptr;
    int32_t length = 0;
    while (decoder->Decode(&line, &length) == 0) {
        if (length != width * decoder->GetBytesPerPixel() || ++lines > height)
            __builtin_trap();
        for (int32_t i = 0; i < length; ++i)
            sum += line[i];
    }

    source.Init(static_cast<uint32_t>(size), data);
    if (decoder->Begin(&source) == 0) {
        std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
        decoder->DecodeBgr(bgr.data(), width * 3);
        for (uint8_t b : bgr)
            sum += b;
    }
    g_sink = sum;
    return 0;
}
