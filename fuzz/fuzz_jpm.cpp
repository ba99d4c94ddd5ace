// "JPM" packs (scrambled JPEG colour plus a plain mask): any bytes into a pool slot, with the
// picture control's key. An accepted file must give a format-2 image of the header's size
// whose pixels and mask can all be read, the mask equal to the file's; a refused one must
// leave the slot's image alone.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/files/scramble_keys.h"
#include "fuzz/fuzz_support.h"
#include "graphics/store/image_loaders.h"

namespace {

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > fuzz::kMaxPictureBytes)
        return 0;
    GGraphicsResources& store = fuzz::PictureStore();
    const fuzz::MarkerSlot marker(store);

    int16_t slot = fuzz::MarkerSlot::kSlot;
    const int result =
        LoadJpmImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store, kBackgroundJpmKey);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = marker.Pool().GetBitmap(slot);
        if (slot != fuzz::MarkerSlot::kSlot || !image || image->GetFormat() != 2 ||
            !image->GetPixels() || !image->GetAlpha() || size < kJpmHeaderSize)
            __builtin_trap();
        const size_t width = ReadU32(data + 4);
        const size_t height = ReadU32(data + 8);
        const size_t maskOffset = ReadU32(data + 16);
        if (static_cast<size_t>(image->GetWidth()) != width ||
            static_cast<size_t>(image->GetHeight()) != height || maskOffset > size ||
            size - maskOffset < width * height ||
            std::memcmp(image->GetAlpha(), data + maskOffset, width * height) != 0)
            __builtin_trap();
        sum += fuzz::SumBytes(image->GetPixels(), width * height * 3);
    } else {
        marker.ExpectUntouched(slot);
    }
    fuzz::Keep(sum);
    return 0;
}
