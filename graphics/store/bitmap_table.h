#pragma once
// GBitmapTable: the view of the bitmap store that placement, the draw dispatch and fading
// need: an image by its absolute slot (a clip's frame >> 8). The bitmap store implements it;
// tests use small fakes. Main thread only.

#include <cstdint>

class GBitmap;

class GBitmapTable {
public:
    virtual ~GBitmapTable() = default;

    // The image in an absolute slot; null when the slot is empty or outside the table.
    virtual GBitmap* GetBitmap(int32_t slot) const = 0;
    // Number of slots, loaded and pool together: valid slots are 0 to GetSlotCount() - 1.
    virtual int32_t GetSlotCount() const = 0;

    // GetBitmap with the range checked here, so a caller never depends on the store's check.
    GBitmap* FindSlot(int32_t slot) const
    {
        return slot >= 0 && slot < GetSlotCount() ? GetBitmap(slot) : nullptr;
    }
};
