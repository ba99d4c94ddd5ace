#pragma once
// What several fuzz targets share: the bitmap store the picture loaders load into, the marker
// image a refused picture must leave alone, the sum that keeps every byte read alive, and the
// binary round trip of cfg trees. Header only; each target is its own program.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/image/bitmap.h"
#include "foundation/cfg/cfg_node.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/graphics_resources.h"

namespace fuzz {

// Inputs above this many bytes are skipped by the picture targets: they only make runs slow.
constexpr size_t kMaxPictureBytes = size_t{1} << 22;

// A store with an empty index and two pool slots, made once and kept for the whole process.
inline GGraphicsResources& PictureStore()
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

// For one input: a 2 x 2 image with a known key colour in slot 1, where the loaders put their
// picture. A loader that refuses the input must leave the marker there; the slot is freed when
// this goes out of scope.
class MarkerSlot {
public:
    static constexpr int16_t kSlot = 1;
    static constexpr uint32_t kKeyColour = 0x10203;

    explicit MarkerSlot(GGraphicsResources& store)
        : m_pool(*store.GetPool())
    {
        if (store.CreateBitmap(2, 2, kKeyColour, 1, nullptr, nullptr, kSlot) != kSlot)
            __builtin_trap();
    }
    ~MarkerSlot() { m_pool.FreeBitmap(kSlot); }
    MarkerSlot(const MarkerSlot&) = delete;
    MarkerSlot& operator=(const MarkerSlot&) = delete;

    GBitmapPool& Pool() const { return m_pool; }

    // After a refusal: the loader kept to slot 1 and left the marker as it was.
    void ExpectUntouched(int16_t slot) const
    {
        const GBitmap* marker = m_pool.GetBitmap(kSlot);
        if (slot != kSlot || !marker || marker->GetKeyColour() != kKeyColour)
            __builtin_trap();
    }

private:
    GBitmapPool& m_pool;
};

inline uint32_t SumBytes(const uint8_t* bytes, size_t count)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

// Hands a sum of bytes read to a volatile, so the reads stay in the program and a read of
// memory nobody wrote shows up under the sanitizers.
inline void Keep(uint32_t sum)
{
    static volatile uint32_t sink;
    sink = sink + sum;
}

// The tree saved in the binary form with the key must load back as an equal tree.
inline void ExpectBinaryRoundTrip(const GCfgNode& node, uint8_t key)
{
    std::vector<uint8_t> bytes;
    if (!node.SaveBinary(bytes, key))
        std::abort();
    GCfgNode loaded;
    if (!loaded.LoadBinary(bytes.data(), bytes.size(), key) || !(loaded == node))
        std::abort();
}

} // namespace fuzz
