// TGA packs: any bytes into a pool slot. An accepted file must give an image of the header's
// size and format whose every pixel and mask byte can be read; a refused one must leave the
// slot's image alone.
#include <cstddef>
#include <cstdint>

#include "foundation/bitmap.h"
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

uint32_t SumBytes(const uint8_t* bytes, size_t count)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 22))
        return 0;
    GGraphicsResources& store = Store();
    GBitmapPool& pool = *store.GetPool();
    // A marker in slot 1 that a refused file must not disturb.
    if (store.CreateBitmap(2, 2, 0x10203, 1, nullptr, nullptr, 1) != 1)
        __builtin_trap();

    int16_t slot = 1;
    const int result = LoadTgaImageFromBytes(data, static_cast<uint32_t>(size), &slot, &store);
    uint32_t sum = 0;
    if (result == 1) {
        const GBitmap* image = pool.GetBitmap(slot);
        if (slot != 1 || !image || size < kTgaHeaderSize)
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
            sum += SumBytes(image->GetPixels(), static_cast<size_t>(image->GetPitch()) * height);
        if (image->GetAlpha())
            sum += SumBytes(image->GetAlpha(), width * height);
        if (!image->GetPixels() && !image->GetAlpha())
            __builtin_trap();
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
