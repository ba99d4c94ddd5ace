// "JPM" packs (scrambled JPEG colour plus a plain mask): any bytes into a pool slot, with the
// picture control's key. An accepted file must give a format-2 image of the header's size
// whose pixels and mask can all be read, the mask equal to the file's; a refused one must
// leave the slot's image alone.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/bitmap.h"
#include "foundation/scramble_keys.h"
#include "graphics/bitmap_pool.h"
#include "graphics/bitmap_store_reader.h"
#include "graphics/graphics_resources.h"
#include "graphics/image_loaders.h"

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

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 22))
        return 0;
    GGraphicsResources& store = Store();
    GBitmapPool& pool = *store.GetPool();
    if (store.CreateBitmap(2, 2, 0x10203, 1, nullptr, nullptr, 1) != 1)
        __builtin_trap();

    int16_t slot = 1;
    const int result =
        LoadJpmImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store, kBackgroundJpmKey);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = pool.GetBitmap(slot);
        if (slot != 1 || !image || image->GetFormat() != 2 || !image->GetPixels() ||
            !image->GetAlpha() || size < kJpmHeaderSize)
            __builtin_trap();
        const size_t width = ReadU32(data + 4);
        const size_t height = ReadU32(data + 8);
        const size_t maskOffset = ReadU32(data + 16);
        if (static_cast<size_t>(image->GetWidth()) != width ||
            static_cast<size_t>(image->GetHeight()) != height || maskOffset > size ||
            size - maskOffset < width * height ||
            std::memcmp(image->GetAlpha(), data + maskOffset, width * height) != 0)
            __builtin_trap();
        for (size_t i = 0; i < width * height * 3; ++i)
            sum += image->GetPixels()[i];
    } else {
        const GBitmap* marker = pool.GetBitmap(1);
        if (slot != 1 || !marker || marker->GetKeyColour() != 0x10203)
            __builtin_trap();
    }
    pool.FreeBitmap(1);
    static volatile uint32_t sink;
    sink = sink + sum;
    return 0;
}
