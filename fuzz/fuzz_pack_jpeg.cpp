// JPEG pictures stored in packs with the pack source's scrambling: any bytes into a pool slot.
// Pictures above a million pixels are skipped (a few bytes can promise 8192 x 8192, which
// only makes the run slow). An accepted stream must give a format-0 image of the stream's
// size whose every pixel can be read; a refused one must leave the slot's image alone.
#include <cstddef>
#include <cstdint>

#include "foundation/bitmap.h"
#include "graphics/bitmap_pool.h"
#include "graphics/bitmap_store_reader.h"
#include "graphics/graphics_resources.h"
#include "graphics/image_loaders.h"
#include "graphics/jpeg_decoder.h"
#include "graphics/pack_data_source.h"

namespace {

GGraphicsResources& Store()
{
    static GGraphicsResources* store = [] {
        auto* made = new GGraphicsResources;
        GMemorySetSource files;
        files.Add("bmst.bin", {0, 0, 0, 0});
        if (made->TryInit(files, nullptr, 2, 0).Failed())
            __builtin_trap();
        return made;
    }();
    return *store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 22))
        return 0;
    int32_t width = 0;
    int32_t height = 0;
    {
        auto source = GPackDataSource::Create(1);
        auto decoder = GJpegDecoder::Create();
        if (!source || !decoder)
            __builtin_trap();
        source->Attach(data, static_cast<uint32_t>(size));
        if (decoder->Begin(source.get()) == 0) {
            width = decoder->GetWidth();
            height = decoder->GetHeight();
            if (int64_t{width} * height > (1 << 20))
                return 0;
        }
        decoder->Close();
    }

    GGraphicsResources& store = Store();
    GBitmapPool& pool = *store.GetPool();
    if (store.CreateBitmap(2, 2, 0x10203, 1, nullptr, nullptr, 1) != 1)
        __builtin_trap();
    int16_t slot = 1;
    const int result = LoadPackJpegImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = pool.GetBitmap(slot);
        if (slot != 1 || !image || image->GetFormat() != 0 || !image->GetPixels() ||
            image->GetWidth() != width || image->GetHeight() != height)
            __builtin_trap();
        const uint8_t* pixels = image->GetPixels();
        for (size_t i = 0; i < static_cast<size_t>(width) * static_cast<size_t>(height) * 3; ++i)
            sum += pixels[i];
    } else {
        const GBitmap* marker = pool.GetBitmap(1);
        if (slot != 1 || !marker || marker->GetKeyColour() != 0x10203 || width != 0)
            __builtin_trap();
    }
    pool.FreeBitmap(1);
    static volatile uint32_t sink;
    sink = sink + sum;
    return 0;
}
