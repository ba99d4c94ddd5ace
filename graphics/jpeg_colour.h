#pragma once
// Colour conversion of the JPEG decoder: YCbCr (JFIF, full range) to RGB with box upsampling
// of the chroma planes, one or two output rows per call.
//
// With k = Cb or Cr - 128, 16 fraction bits and arithmetic shifts:
//     red   = y + ((91882 * kr + 32768) >> 16)              table crRed
//     green = y + ((-46802 * kr - 22554 * kb + 32768) >> 16) tables crGreen + cbGreen, unshifted
//     blue  = y + ((116130 * kb + 32768) >> 16)             table cbBlue
// each clamped to 0..255. |table| <= 227 for red and blue and the green term lies within
// -136..135, so every sum lies in -227..482 and the clamp is one look-up in a table covering
// -256..511.
//
// Each chroma sample covers H pixels across (1 or 2) and, when two rows are converted, both of
// them: the caller passes the rows that share the chroma row. Pixel layouts are small structs
// with one Put; the loop is written once.

#include <cstdint>

struct GJpegColourTables {
    int32_t crRed[256];
    int32_t cbBlue[256];
    int32_t crGreen[256];
    int32_t cbGreen[256];
    uint8_t clamp[768];  // clamp[v + 256] = v limited to 0..255, for v in -256..511

    void Build();
    const uint8_t* Clamp() const { return clamp + 256; }
};

// 3 bytes a pixel in B, G, R order, as GBitmap stores true colour.
struct GJpegBgrPixel {
    static constexpr int kBytes = 3;
    static void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b)
    {
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
};

// 4 bytes a pixel: R, G, B and a fourth byte left as it is.
struct GJpegRgbxPixel {
    static constexpr int kBytes = 4;
    static void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b)
    {
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
};

// Converts width pixels of luma row y0 (and y1 into out1 when kTwoRows) with the chroma rows
// cb and cr, which hold (width + H - 1) / H samples.
template <class Pixel, int H, bool kTwoRows>
void GJpegConvertRows(const GJpegColourTables& t, const uint8_t* y0, const uint8_t* y1,
                      const uint8_t* cb, const uint8_t* cr, uint8_t* out0, uint8_t* out1,
                      int32_t width)
{
    static_assert(H == 1 || H == 2);
    const uint8_t* clamp = t.Clamp();
    const int32_t whole = width / H;
    for (int32_t c = 0; c < whole; ++c) {
        const int32_t red = t.crRed[cr[c]];
        const int32_t green = (t.crGreen[cr[c]] + t.cbGreen[cb[c]]) >> 16;
        const int32_t blue = t.cbBlue[cb[c]];
        for (int i = 0; i < H; ++i) {
            const int32_t y = *y0++;
            Pixel::Put(out0, clamp[y + red], clamp[y + green], clamp[y + blue]);
            out0 += Pixel::kBytes;
            if constexpr (kTwoRows) {
                const int32_t y2 = *y1++;
                Pixel::Put(out1, clamp[y2 + red], clamp[y2 + green], clamp[y2 + blue]);
                out1 += Pixel::kBytes;
            }
        }
    }
    if (H == 2 && (width & 1)) {
        const int32_t red = t.crRed[cr[whole]];
        const int32_t green = (t.crGreen[cr[whole]] + t.cbGreen[cb[whole]]) >> 16;
        const int32_t blue = t.cbBlue[cb[whole]];
        const int32_t y = *y0;
        Pixel::Put(out0, clamp[y + red], clamp[y + green], clamp[y + blue]);
        if constexpr (kTwoRows) {
            const int32_t y2 = *y1;
            Pixel::Put(out1, clamp[y2 + red], clamp[y2 + green], clamp[y2 + blue]);
        }
    }
}

// Greyscale to a colour layout: the sample in all three channels.
template <class Pixel>
void GJpegExpandGrey(const uint8_t* y, uint8_t* out, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, out += Pixel::kBytes)
        Pixel::Put(out, y[x], y[x], y[x]);
}
