// The bitmap store read from files on disk, as the game starts it: the input (memCount byte,
// loadCount byte, the 4-byte index, then the data files separated by "#BM#") is written as
// bmst.bin and bmdt<n>.bin of a folder and read through GFolderSetSource. A failure must leave
// an empty store with an exit code; a store that starts must give readable images.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"
#include "graphics/store/graphics_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6 || size > fuzz::kMaxPictureBytes)
        return 0;
    const std::string folder = fuzz::ScratchFolder("folder_set_source") + "gfx";
    platform::CreateFolder(folder.c_str());
    const uint16_t memCount = data[0] % 24;
    const uint16_t loadCount = data[1] % 16;
    fuzz::WriteBytes(folder + "/bmst.bin", fuzz::Bytes(data + 2, data + 6));
    const std::vector<fuzz::Bytes> files = fuzz::SplitAt(data + 6, size - 6, "#BM#", 4);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string name = folder + "/bmdt" + std::to_string(i) + ".bin";
        // An empty part stands for a missing file.
        if (files[i].empty())
            platform::DeleteFile(name.c_str());
        else
            fuzz::WriteBytes(name, files[i]);
    }

    GFolderSetSource source;
    GBitmapReadLimits limits;
    limits.maxBlockBytes = 4u << 20;
    GGraphicsResources store;
    const GBitmapStoreError error =
        store.TryInit(source, folder.c_str(), memCount, loadCount, limits);
    if (error.Failed()) {
        if (store.GetSlotCount() != 0 || error.exitCode == 0)
            __builtin_trap();
        return 0;
    }
    uint32_t sum = 0;
    for (int32_t slot = 0; slot < store.GetSlotCount(); ++slot) {
        const GBitmap* image = store.GetBitmap(slot);
        for (const GPixelBlock* block :
             {image ? image->GetPixelBlock() : nullptr, image ? image->GetAlphaBlock() : nullptr})
            if (block)
                sum += fuzz::SumBytes(block->GetData(), block->GetSize());
    }
    fuzz::Keep(sum);
    return 0;
}
