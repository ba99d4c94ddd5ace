#include "gui/background.h"

#include "foundation/files/scramble_keys.h"
#include "foundation/image/bitmap.h"
#include "graphics/store/graphics_resources.h"
#include "graphics/store/image_loaders.h"

int GBackground::Load(GGraphicsResources* store, int32_t pack, const char* folder)
{
    if (!store)
        return 0;
    int16_t slot = -1;
    const bool loaded = LoadPackImageOfAnyKind(pack, &slot, store, folder, kBackgroundJpmKey) == 1;
    // The loaders give a slot of the pool; the clip shows an absolute slot of the store.
    const int32_t absolute = loaded ? store->AbsoluteSlotOfPoolSlot(slot) : -1;
    const GBitmap* image = absolute >= 0 ? store->GetBitmap(absolute) : nullptr;
    if (!image)
        return 0;
    m_slot = static_cast<int16_t>(absolute);
    m_clip.SetSlot(absolute);
    GRect size;
    size.SetSize(image->GetWidth(), image->GetHeight());
    m_clip.SetRect(size);
    return 1;
}
