// Bitmap store from bytes. Input: memCount byte, loadCount byte, a byte choosing the reload
// range, the 4-byte index, then the data files separated by "#BM#". The same files also serve
// as a second set that is reloaded over the start-up one. Fatal errors come back as results
// (the Try entry points), so nothing exits; every byte of every block is read back to catch
// reads of memory the store never wrote.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/image/bitmap.h"
#include "fuzz/fuzz_support.h"
#include "graphics/store/graphics_resources.h"
#include "platform/window/message_box.h"

namespace {

bool QuietAlert(const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer)
{
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

uint32_t Touch(const GPixelBlock* block)
{
    return block ? fuzz::SumBytes(block->GetData(), block->GetSize()) : 0;
}

uint32_t TouchAll(const GGraphicsResources& store)
{
    uint32_t sum = 0;
    for (int32_t slot = 0; slot < store.GetSlotCount(); ++slot) {
        const GBitmap* image = store.GetBitmap(slot);
        if (!image)
            continue;
        sum += Touch(image->GetPixelBlock()) + Touch(image->GetAlphaBlock());
        sum += static_cast<uint32_t>(std::strlen(image->GetName()));
    }
    return sum;
}

void AddSet(GMemorySetSource& files, const char* folder, const uint8_t* index,
            const std::vector<std::vector<uint8_t>>& data)
{
    files.Add(BitmapIndexPath(folder), std::vector<uint8_t>(index, index + 4));
    for (size_t i = 0; i < data.size(); ++i)
        files.Add(BitmapDataPath(folder, static_cast<int32_t>(i)), data[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7)
        return 0;
    platform::SetMessageBoxBackend(&QuietAlert);
    const uint16_t memCount = data[0] % 24;
    const uint16_t loadCount = data[1] % 16;
    const int16_t first = data[2] % 12;
    const int16_t last = static_cast<int16_t>((data[2] >> 4) - 2);
    const uint8_t* index = data + 3;

    std::vector<std::vector<uint8_t>> files(1);
    static const char kSeparator[] = "#BM#";
    for (size_t i = 7; i < size;) {
        if (i + 4 <= size && std::memcmp(data + i, kSeparator, 4) == 0 && files.size() < 4) {
            files.emplace_back();
            i += 4;
        } else {
            files.back().push_back(data[i++]);
        }
    }

    GMemorySetSource source;
    AddSet(source, "gfx", index, files);
    AddSet(source, "re", index, files);
    GBitmapReadLimits limits;
    limits.maxBlockBytes = 4u << 20;

    GGraphicsResources store;
    volatile uint32_t sum = 0;
    const GBitmapStoreError error = store.TryInit(source, "gfx", memCount, loadCount, limits);
    if (error.Failed()) {
        if (store.GetSlotCount() != 0 || error.exitCode == 0)
            std::abort();
        return 0;
    }
    sum = sum + TouchAll(store);

    GBitmapStoreError reload;
    store.TryLoadBitmaps(source, "re", first, last, &reload, limits);
    sum = sum + TouchAll(store);

    const int16_t a = store.CreateBitmap(3, 2, 0, 20, nullptr, nullptr, -1);
    const int16_t b = store.CreateBitmap(2, 2, 0, 2, store.GetBlockAt(0), nullptr, -1);
    if (store.GetPool() && (a >= store.GetPool()->GetCount() || b >= store.GetPool()->GetCount()))
        std::abort();
    if (a >= 0)
        store.GetPool()->FreeBitmap(a);
    sum = sum + static_cast<uint32_t>(store.FindBitmap("FX_NoMoveLevel") + 1);
    store.UnloadBitmaps(first, last);
    sum = sum + TouchAll(store);
    store.Release();
    return 0;
}
