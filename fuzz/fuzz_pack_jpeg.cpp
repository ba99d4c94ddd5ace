// JPEG pictures stored in packs with the pack source's scrambling: any bytes into a pool slot.
// Pictures above a million pixels are skipped (a few bytes can promise 8192 x 8192, which
// only makes the run slow). An accepted stream must give a format-0 image of the stream's
// size whose every pixel can be read; a refused one must leave the slot's image alone.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "graphics/store/image_loaders.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/store/pack_data_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > fuzz::kMaxPictureBytes)
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

    GGraphicsResources& store = fuzz::PictureStore();
    const fuzz::MarkerSlot marker(store);
    int16_t slot = fuzz::MarkerSlot::kSlot;
    const int result = LoadPackJpegImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = marker.Pool().GetBitmap(slot);
        if (slot != fuzz::MarkerSlot::kSlot || !image || image->GetFormat() != 0 ||
            !image->GetPixels() || image->GetWidth() != width || image->GetHeight() != height)
            __builtin_trap();
        sum += fuzz::SumBytes(image->GetPixels(),
                              static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    } else {
        marker.ExpectUntouched(slot);
        if (width != 0)
            __builtin_trap();
    }
    fuzz::Keep(sum);
    return 0;
}
