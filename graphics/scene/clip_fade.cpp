#include "graphics/scene/clip_fade.h"

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_table.h"
#include "graphics/scene/clip.h"

uint8_t FadedDrawMode(uint8_t mode)
{
    switch (mode) {
    case dmCopy:
        return dmFaded;
    case dmColorKey:
        return dmColorKeyFaded;
    case dmAlphaMask:
        return dmAlphaMaskFaded;
    case dmPaletteMask:
        return dmPaletteMaskFaded;
    case dmIndexed:
        return dmIndexedFaded;
    case dmIndexedColorKey:
        return dmIndexedColorKeyFaded;
    case dmIndexedMask:
        return dmIndexedMaskFaded;
    default:
        return mode;
    }
}

void MakeClipAlphaBlended(GClip& clip, const GBitmapTable* table)
{
    const uint8_t mode = clip.GetDrawMode();
    if (mode != dmImageFormat) {
        clip.SetDrawMode(FadedDrawMode(mode));
        return;
    }
    if (!table) {
        return;
    }
    const GBitmap* image = table->FindSlot(clip.GetSlot());
    if (!image) {
        return;
    }
    const uint8_t format = image->GetFormat();
    const uint8_t faded = FadedDrawMode(format);
    if (faded != format) {
        clip.SetDrawMode(faded);
    }
}
