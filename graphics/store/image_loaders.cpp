#include "graphics/store/image_loaders.h"

#include <cstring>
#include <memory>
#include <new>

#include "foundation/image/bitmap.h"
#include "foundation/files/data_files.h"
#include "foundation/files/xor_scramble.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/data_source.h"
#include "graphics/store/graphics_resources.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/store/pack_data_source.h"

namespace {

constexpr uint8_t kTgaTrueColour[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kTgaGreyscale[12] = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0};

uint16_t ReadU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Sides every image of the store can have: at least one pixel, and within its signed 16 bits.
bool IsImageSide(uint32_t side)
{
    return side >= 1 && side <= static_cast<uint32_t>(kBitmapStoreMaxSide);
}

// Makes the image in the pool, its blocks zeroed; reports the slot used (-1 when the pool
// refused) and returns the image, or null.
GBitmap* MakePoolImage(GGraphicsResources& store, int16_t* slot, uint32_t width, uint32_t height,
                       uint8_t format)
{
    const int16_t wanted = slot ? *slot : -1;
    const int16_t made = store.CreateBitmap(static_cast<uint16_t>(width),
                                            static_cast<uint16_t>(height), 0, format, nullptr,
                                            nullptr, wanted);
    if (slot)
        *slot = made;
    if (made < 0 || !store.GetPool())
        return nullptr;
    return store.GetPool()->GetBitmap(made);
}

// Decodes the stream of an attached source into a new 24-bit image of its size; the source
// must stay alive until this returns.
int LoadJpegFromSource(GDataSource& source, int16_t* slot, GGraphicsResources& store)
{
    std::unique_ptr<GJpegDecoder> decoder = GJpegDecoder::Create();
    if (!decoder || decoder->Begin(&source) != 0)
        return 0;
    const int32_t width = decoder->GetWidth();
    const int32_t height = decoder->GetHeight();
    GBitmap* image = MakePoolImage(store, slot, static_cast<uint32_t>(width),
                                   static_cast<uint32_t>(height), 0);
    if (!image)
        return 0;
    // A stream damaged in its coded data still fills every row (black past the damage), so
    // the picture is kept whatever the decoder says.
    decoder->DecodeBgr(image->GetPixels(), image->GetPitch());
    decoder->Close();
    return 1;
}

// Reads pack number `pack` whole through a cache of its own, hands its bytes to load and
// returns load's result; 0 when the pack cannot be read.
template <typename Load>
int WithPackBytes(int32_t pack, const char* folder, Load load)
{
    std::unique_ptr<GDataPackCache> cache = GDataPackCache::Create(1);
    if (!cache)
        return 0;
    uint32_t size = 0;
    const uint8_t* data = cache->Load(pack, &size, folder);
    if (!data)
        return 0;
    const int result = load(data, size);
    cache->Unload(pack, folder);
    return result;
}

} // namespace

int LoadTgaImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                          GGraphicsResources* store)
{
    if (!store || !data || size < kTgaHeaderSize)
        return 0;
    const bool trueColour = std::memcmp(data, kTgaTrueColour, sizeof kTgaTrueColour) == 0;
    const bool greyscale = std::memcmp(data, kTgaGreyscale, sizeof kTgaGreyscale) == 0;
    const uint32_t width = ReadU16(data + 12);
    const uint32_t height = ReadU16(data + 14);
    const uint8_t depth = data[16];

    uint32_t bytesPerPixel = 0;
    uint8_t format = dmCopy;
    if (trueColour && depth == 32) {
        bytesPerPixel = 4;
        format = dmAlphaMask;
    } else if (trueColour && depth == 24) {
        bytesPerPixel = 3;
        format = dmCopy;
    } else if (greyscale && depth == 8) {
        bytesPerPixel = 1;
        format = dmDarkenMask;
    } else {
        return 0;
    }
    if (!IsImageSide(width) || !IsImageSide(height))
        return 0;
    const uint64_t pixelBytes = uint64_t{width} * height * bytesPerPixel;
    if (pixelBytes > size - kTgaHeaderSize)
        return 0;

    GBitmap* image = MakePoolImage(*store, slot, width, height, format);
    if (!image)
        return 0;
    const uint8_t* in = data + kTgaHeaderSize;
    if (format == dmDarkenMask) {
        std::memcpy(image->GetAlpha(), in, static_cast<size_t>(pixelBytes));
    } else if (format == dmCopy) {
        std::memcpy(image->GetPixels(), in, static_cast<size_t>(pixelBytes));
    } else {
        // The file's first row is the picture's bottom row.
        uint8_t* pixels = image->GetPixels();
        uint8_t* alpha = image->GetAlpha();
        const size_t pitch = static_cast<size_t>(image->GetPitch());
        for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
            const uint32_t row = height - 1 - fileRow;
            const uint8_t* src = in + static_cast<size_t>(fileRow) * width * 4;
            uint8_t* dst = pixels + row * pitch;
            uint8_t* mask = alpha + static_cast<size_t>(row) * width;
            for (uint32_t x = 0; x < width; ++x) {
                dst[x * 3 + 0] = src[x * 4 + 0];
                dst[x * 3 + 1] = src[x * 4 + 1];
                dst[x * 3 + 2] = src[x * 4 + 2];
                mask[x] = static_cast<uint8_t>(255 - src[x * 4 + 3]);
            }
        }
    }
    return 1;
}

int LoadJpmImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                          GGraphicsResources* store, uint8_t key)
{
    if (!store || !data || size < kJpmHeaderSize || std::memcmp(data, "JPM", 3) != 0)
        return 0;
    const uint32_t width = ReadU32(data + 4);
    const uint32_t height = ReadU32(data + 8);
    const uint32_t colourOffset = ReadU32(data + 12);
    const uint32_t maskOffset = ReadU32(data + 16);
    if (!IsImageSide(width) || !IsImageSide(height))
        return 0;
    if (colourOffset < kJpmHeaderSize || colourOffset > maskOffset || maskOffset > size)
        return 0;
    const uint64_t maskBytes = uint64_t{width} * height;
    if (maskBytes > size - maskOffset)
        return 0;

    const uint32_t colourBytes = maskOffset - colourOffset;
    std::unique_ptr<uint8_t[]> colour(new (std::nothrow) uint8_t[colourBytes ? colourBytes : 1]);
    if (!colour)
        return 0;
    std::memcpy(colour.get(), data + colourOffset, colourBytes);
    XorScramble(colour.get(), nullptr, colourBytes, key);

    // The stream is checked before the slot is touched: it must be a picture of the size the
    // header promises, so that the pixels and the mask describe the same image.
    GMemoryDataSource source(colour.get(), colourBytes);
    std::unique_ptr<GJpegDecoder> decoder = GJpegDecoder::Create();
    if (!decoder || decoder->Begin(&source) != 0)
        return 0;
    if (static_cast<uint32_t>(decoder->GetWidth()) != width ||
        static_cast<uint32_t>(decoder->GetHeight()) != height)
        return 0;

    GBitmap* image = MakePoolImage(*store, slot, width, height, 2);
    if (!image)
        return 0;
    decoder->DecodeBgr(image->GetPixels(), image->GetPitch());
    decoder->Close();
    std::memcpy(image->GetAlpha(), data + maskOffset, static_cast<size_t>(maskBytes));
    return 1;
}

int LoadPackJpegImageFromBytes(const uint8_t* data, uint32_t size, int16_t* slot,
                               GGraphicsResources* store)
{
    if (!store || !data)
        return 0;
    std::unique_ptr<GPackDataSource> source = GPackDataSource::Create(1);
    if (!source)
        return 0;
    source->Attach(data, size);
    const int result = LoadJpegFromSource(*source, slot, *store);
    source->Close();
    return result;
}

int LoadTgaImage(int32_t pack, int16_t* slot, GGraphicsResources* store, const char* folder)
{
    if (!store)
        return 0;
    return WithPackBytes(pack, folder, [&](const uint8_t* data, uint32_t size) {
        return LoadTgaImageFromBytes(data, size, slot, store);
    });
}

int LoadJpegImageFromMemory(int32_t pack, int16_t* slot, GGraphicsResources* store,
                            const char* folder, uint8_t key)
{
    if (!store)
        return 0;
    return WithPackBytes(pack, folder, [&](const uint8_t* data, uint32_t size) {
        return LoadJpmImageFromBytes(data, size, slot, store, key);
    });
}

int LoadJpegImageFromPack(int32_t pack, int16_t* slot, GGraphicsResources* store,
                          const char* folder)
{
    if (!store)
        return 0;
    std::unique_ptr<GPackDataSource> source = GPackDataSource::Create(1);
    if (!source || !source->Open(pack, folder))
        return 0;
    const int result = LoadJpegFromSource(*source, slot, *store);
    source->Close();
    return result;
}

int LoadPackImageOfAnyKind(int32_t pack, int16_t* slot, GGraphicsResources* store,
                           const char* folder, uint8_t jpmKey)
{
    if (!store)
        return 0;
    return WithPackBytes(pack, folder, [&](const uint8_t* data, uint32_t size) {
        return LoadTgaImageFromBytes(data, size, slot, store) ||
                       LoadJpmImageFromBytes(data, size, slot, store, jpmKey) ||
                       LoadPackJpegImageFromBytes(data, size, slot, store)
                   ? 1
                   : 0;
    });
}
