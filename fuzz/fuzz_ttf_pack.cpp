// LoadFromPack on random bytes (written as a data file, read back scrambled from the first
// byte's key): a face FreeType refuses leaves no face; one it accepts is measured and drawn
// into a small image and a pool image.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_support.h"
#include "graphics/fonts/ttf_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 1 << 20)
        return 0;
    static const std::string path = fuzz::ScratchFolder("ttf_pack") + "input.ttf";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);

    GTtfFont font;
    const int loaded = font.LoadFromPack(path.c_str(), data[0], 0);
    if (loaded != (font.HasFace() ? 1 : 0))
        __builtin_trap();
    if (!loaded)
        return 0;
    GGraphicsResources& store = fuzz::PictureStore();
    font.SetStore(&store);
    int w = 0, h = 0;
    font.MeasureText(u"Tg Ж", 10, &w, &h, {});
    std::unique_ptr<GBitmap> dst(GBitmap::Create(40, 16, 0, 2));
    font.DrawTextW(u"Tg Ж", dst.get(), 10, 0xFFFFFF, -3, -2);
    const int16_t slot = font.DrawTextW(u"Tg", nullptr, 8, 0xFFFFFF, 0, 0);
    if (slot >= 0)
        store.GetPool()->FreeBitmap(int16_t(slot - store.GetLoadedSlots()));
    fuzz::Keep(fuzz::SumBytes(dst->GetPixels(), 40 * 16 * 3) + uint32_t(w + h));
    return 0;
}
