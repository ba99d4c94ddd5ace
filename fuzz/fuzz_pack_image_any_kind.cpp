// A picture pack as the game loads it when it does not know its kind: the input's first byte
// is the JPM key, the rest is written as "Data7.dat" of a folder and read with
// LoadPackImageOfAnyKind, which tries TGA, then JPM, then pack JPEG on the same bytes. A pack
// taken must give a readable image in the slot asked for; one refused must leave the slot alone.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"
#include "graphics/store/image_loaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > fuzz::kMaxPictureBytes)
        return 0;
    const std::string folder = fuzz::ScratchFolder("pack_image_any_kind");
    fuzz::WriteBytes(folder + "Data7.dat", fuzz::Bytes(data + 1, data + size));

    GGraphicsResources& store = fuzz::PictureStore();
    const fuzz::MarkerSlot marker(store);
    int16_t slot = fuzz::MarkerSlot::kSlot;
    const std::string noSlash = folder.substr(0, folder.size() - 1);
    const int result = LoadPackImageOfAnyKind(7, &slot, &store, noSlash.c_str(), data[0]);
    if (result != 1) {
        marker.ExpectUntouched(slot);
        return 0;
    }
    const GBitmap* image = marker.Pool().GetBitmap(slot);
    if (slot != fuzz::MarkerSlot::kSlot || !image || (!image->GetPixels() && !image->GetAlpha()))
        __builtin_trap();
    uint32_t sum = 0;
    for (const GPixelBlock* block : {image->GetPixelBlock(), image->GetAlphaBlock()})
        if (block)
            sum += fuzz::SumBytes(block->GetData(), block->GetSize());
    fuzz::Keep(sum);
    return 0;
}
