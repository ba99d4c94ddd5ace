// The bitmap fonts as the game starts them: the input holds the font list (XML), the font
// configuration (binary or text cfg) and a bitmap set (its 4-byte index, then one data file)
// separated by "#FM#". The set starts a store; GBmpFontManager::Init reads the list, then the
// configuration, and cuts each font's glyphs from its sheet into the store's pool. Every glyph
// made must be a readable image of the pool; dropping the fonts must free their slots.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/store/graphics_resources.h"
#include "gui/bmp_font_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > fuzz::kMaxPictureBytes)
        return 0;
    const std::string& folder = fuzz::ScratchFolder("font_manager");
    const std::vector<fuzz::Bytes> parts = fuzz::SplitAt(data, size, "#FM#", 3);
    fuzz::WriteBytes(folder + "fonts.xml", parts[0]);
    fuzz::WriteBytes(folder + "fonts.cfg", parts[1]);
    GMemorySetSource set;
    const fuzz::Bytes& stored = parts[2];
    set.Add("bmst.bin",
            fuzz::Bytes(stored.begin(), stored.begin() + std::min<size_t>(4, stored.size())));
    set.Add("bmdt0.bin",
            fuzz::Bytes(stored.begin() + std::min<size_t>(4, stored.size()), stored.end()));
    GBitmapReadLimits limits;
    limits.maxBlockBytes = 4u << 20;
    GGraphicsResources store;
    if (store.TryInit(set, nullptr, 600, 0, limits).Failed())
        return 0;

    // Images of the set may lie in the pool's first slots (records that take no loaded slot
    // push them there): those are the store's, not the fonts'.
    GBitmapPool& pool = *store.GetPool();
    std::vector<bool> taken(size_t(pool.GetCount()));
    for (int16_t slot = 0; slot < pool.GetCount(); ++slot)
        taken[size_t(slot)] = pool.GetBitmap(slot) != nullptr;
    GBmpFontManager manager;
    // The list names its configuration relative to the current folder, as in the game's data
    // folder; libFuzzer itself must find its own files between inputs.
    const fuzz::InFolder entered(folder);
    const int made = manager.Init(&store, "fonts.xml", nullptr);
    if (made != manager.GetCount())
        __builtin_trap();
    uint32_t sum = 0;
    for (const char* name : {"Sans12", "Sans12Ramp", "A"}) {
        GBmpFont* font = manager.FindFont(name);
        if (!font)
            continue;
        for (int16_t poolSlot : font->GetGlyphPoolSlots()) {
            const GBitmap* glyph = poolSlot >= 0 ? pool.GetBitmap(poolSlot) : nullptr;
            if (poolSlot >= 0 && !glyph)
                __builtin_trap();
            for (const GPixelBlock* block : {glyph ? glyph->GetPixelBlock() : nullptr,
                                             glyph ? glyph->GetAlphaBlock() : nullptr})
                if (block)
                    sum += fuzz::SumBytes(block->GetData(), block->GetSize());
        }
        int16_t w = 0, h = 0;
        font->GetGlyphSize(u'A', w, h);
        sum += uint32_t(w + h);
    }
    manager.DropAll();
    for (int16_t slot = 0; slot < pool.GetCount(); ++slot)
        if ((pool.GetBitmap(slot) != nullptr) != taken[size_t(slot)])
            __builtin_trap();
    fuzz::Keep(sum);
    return 0;
}
