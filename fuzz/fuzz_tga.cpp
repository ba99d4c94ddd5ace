// TGA packs: any bytes into a pool slot. An accepted file must give an image of the header's
// size and format whose every pixel and mask byte can be read; a refused one must leave the
// slot's image alone.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "graphics/store/image_loaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > fuzz::kMaxPictureBytes)
        return 0;
    GGraphicsResources& store = fuzz::PictureStore();
    const fuzz::MarkerSlot marker(store);

    int16_t slot = fuzz::MarkerSlot::kSlot;
    const int result = LoadTgaImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = marker.Pool().GetBitmap(slot);
        if (slot != fuzz::MarkerSlot::kSlot || !image || size < kTgaHeaderSize)
            __builtin_trap();
        const size_t width = static_cast<size_t>(data[12] | (data[13] << 8));
        const size_t height = static_cast<size_t>(data[14] | (data[15] << 8));
        if (static_cast<size_t>(image->GetWidth()) != width ||
            static_cast<size_t>(image->GetHeight()) != height)
            __builtin_trap();
        const size_t depth = data[16];
        if (size < kTgaHeaderSize + width * height * (depth / 8))
            __builtin_trap();
        if (image->GetPixels())
            sum += fuzz::SumBytes(image->GetPixels(), static_cast<size_t>(image->GetPitch()) * height);
        if (image->GetAlpha())
            sum += fuzz::SumBytes(image->GetAlpha(), width * height);
        if (!image->GetPixels() && !image->GetAlpha())
            __builtin_trap();
    } else {
        marker.ExpectUntouched(slot);
    }
    fuzz::Keep(sum);
    return 0;
}
