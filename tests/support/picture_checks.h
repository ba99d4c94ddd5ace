#pragma once
// Checks of an engine image against the tools' picture it was packed from: B, G, R pixels
// against R, G, B (exact, or within a mean and a worst error for lossy streams), and the mask
// against the inverted alpha.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/image/bitmap.h"
#include "tools/common/picture.h"

namespace picture_checks {

inline void ExpectPixels(const GBitmap& image, const tools::Picture& picture, int maxLimit = 0, double meanLimit = 1.0)
{
    ASSERT_EQ((std::pair<int, int>(image.GetWidth(), image.GetHeight())), std::make_pair(picture.width, picture.height));
    double sum = 0;
    int worst = 0;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width * 3; ++x) {
            const int error = std::abs(image.GetPixels()[y * image.GetPitch() + x] - picture.At(x / 3, y)[2 - x % 3]);
            sum += error;
            worst = std::max(worst, error);
        }
    EXPECT_LT(sum / (3.0 * picture.width * picture.height), meanLimit);
    EXPECT_LE(worst, maxLimit);
}

inline void ExpectMask(const GBitmap& image, const tools::Picture& picture)
{
    ASSERT_NE(image.GetAlpha(), nullptr);
    int mismatches = 0;
    for (size_t i = 0; i < static_cast<size_t>(picture.width) * picture.height; ++i)
        mismatches += image.GetAlpha()[i] != 255 - picture.rgba[i * 4 + 3];
    EXPECT_EQ(mismatches, 0);
}

} // namespace picture_checks
