#pragma once
// A read view of a 24-bit image with its mask, checked once to hold every byte of its w x h
// pixels, for the transformed draws (rotations, the drawable image). Rows are w pixels (the
// 24-bit pitch) and w mask bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "foundation/image/bitmap.h"

struct GMaskedImageView {
    const uint8_t* pixels = nullptr;
    const uint8_t* mask = nullptr;
    int32_t w = 0;
    int32_t h = 0;
    int32_t pitch = 0;

    // False for an empty image, one that is not 24-bit or lacks a block, or whose blocks are
    // too small for its size.
    bool Bind(const GBitmap* image)
    {
        if (!image || image->GetBytesPerPixel() != 3 || !image->GetPixels() || !image->GetAlpha() ||
            image->GetWidth() <= 0 || image->GetHeight() <= 0)
            return false;
        w = image->GetWidth();
        h = image->GetHeight();
        pitch = image->GetPitch();
        const uint64_t area = uint64_t(w) * uint64_t(h);
        if (image->GetPixelBlock()->GetSize() < area * 3 ||
            image->GetAlphaBlock()->GetSize() < area)
            return false;
        pixels = image->GetPixels();
        mask = image->GetAlpha();
        return true;
    }
    const uint8_t* Pixel(int32_t x, int32_t y) const
    {
        return pixels + size_t(y) * pitch + size_t(x) * 3;
    }
    const uint8_t* MaskAt(int32_t x, int32_t y) const { return mask + size_t(y) * w + x; }
};
