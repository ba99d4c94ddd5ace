#include "graphics/jpeg/jpeg_colour.h"

void GJpegColourTables::Build()
{
    for (int i = 0; i < 256; ++i) {
        const int32_t k = i - 128;
        crRed[i] = (91882 * k + 32768) >> 16;
        cbBlue[i] = (116130 * k + 32768) >> 16;
        crGreen[i] = -46802 * k;
        cbGreen[i] = -22554 * k + 32768;
    }
    for (int v = -256; v < 512; ++v)
        clamp[v + 256] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}
