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

#include <bit>
#include <cstdint>
#include <cstring>

struct GJpegColourTables {
    int32_t crRed[256];
    int32_t cbBlue[256];
    int32_t crGreen[256];
    int32_t cbGreen[256];
    uint8_t clamp[768];  // clamp[v + 256] = v limited to 0..255, for v in -256..511

    void Build();
    const uint8_t* Clamp() const { return clamp + 256; }
};

// Pixel layouts. Put writes exactly the pixel's bytes; PutWide writes 4 bytes at once, one
// store instead of three, and may be used wherever 4 bytes are writable (for 3-byte pixels:
// not on the last pixel of a row, whose fourth byte the next pixel then overwrites).
static_assert(std::endian::native == std::endian::little, "PutWide packs bytes little-endian");

// 3 bytes a pixel in B, G, R order, as GBitmap stores true colour.
struct GJpegBgrPixel {
    static constexpr int kBytes = 3;
    static void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b)
    {
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    static void PutWide(uint8_t* p, uint8_t r, uint8_t g, uint8_t b)
    {
        const uint32_t v = b | g << 8 | static_cast<uint32_t>(r) << 16;
        std::memcpy(p, &v, 4);
    }
};

// 4 bytes a pixel: R, G, B and a fourth byte that stays 0.
struct GJpegRgbxPixel {
    static constexpr int kBytes = 4;
    static void Put(uint8_t* p, uint8_t r, uint8_t g, uint8_t b) { PutWide(p, r, g, b); }
    static void PutWide(uint8_t* p, uint8_t r, uint8_t g, uint8_t b)
    {
        const uint32_t v = r | g << 8 | static_cast<uint32_t>(b) << 16;
        std::memcpy(p, &v, 4);
    }
};

// A SIMD prefix of GJpegConvertRows (same arguments, tables aside): converts whole groups of 16
// pixels from the start of the row and returns how many pixels that was (a multiple of 16, at
// most width); the table loop converts the rest. Nothing past the group is read or written
// but luma, chroma and output bytes of that group.
using GJpegConvertFn = int32_t (*)(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                                   uint8_t* out0, uint8_t* out1, int32_t width);
// The prefix for pixels of pixelBytes (3 or 4) bytes, H and one or two rows, in the instruction
// set the blit kernels use (GetKernelIsa); null when that set has none.
GJpegConvertFn GJpegSimdConvert(int pixelBytes, int h, bool twoRows);

namespace jpeg_colour_detail {

// The pixels of one chroma sample: H across, in one row or two.
template <class Pixel, int H, bool kTwoRows, bool kWide>
inline void ConvertSample(const GJpegColourTables& t, const uint8_t* clamp, int32_t c, int32_t count,
                          const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr,
                          uint8_t* out0, uint8_t* out1)
{
    const int32_t red = t.crRed[cr[c]];
    const int32_t green = (t.crGreen[cr[c]] + t.cbGreen[cb[c]]) >> 16;
    const int32_t blue = t.cbBlue[cb[c]];
    for (int i = 0; i < (kWide ? H : count); ++i) {
        const int32_t x = c * H + i;
        const int32_t ya = y0[x];
        if constexpr (kWide)
            Pixel::PutWide(out0 + x * Pixel::kBytes, clamp[ya + red], clamp[ya + green], clamp[ya + blue]);
        else
            Pixel::Put(out0 + x * Pixel::kBytes, clamp[ya + red], clamp[ya + green], clamp[ya + blue]);
        if constexpr (kTwoRows) {
            const int32_t yb = y1[x];
            if constexpr (kWide)
                Pixel::PutWide(out1 + x * Pixel::kBytes, clamp[yb + red], clamp[yb + green], clamp[yb + blue]);
            else
                Pixel::Put(out1 + x * Pixel::kBytes, clamp[yb + red], clamp[yb + green], clamp[yb + blue]);
        }
    }
}

} // namespace jpeg_colour_detail

// Converts width pixels of luma row y0 (and y1 into out1 when kTwoRows) with the chroma rows
// cb and cr, which hold (width + H - 1) / H samples.
template <class Pixel, int H, bool kTwoRows>
void GJpegConvertRows(const GJpegColourTables& t, const uint8_t* y0, const uint8_t* y1,
                      const uint8_t* cb, const uint8_t* cr, uint8_t* out0, uint8_t* out1,
                      int32_t width)
{
    static_assert(H == 1 || H == 2);
    using jpeg_colour_detail::ConvertSample;
    const uint8_t* clamp = t.Clamp();
    int32_t first = 0;
    if (const GJpegConvertFn simd = GJpegSimdConvert(Pixel::kBytes, H, kTwoRows))
        first = simd(y0, y1, cb, cr, out0, out1, width) / H;
    // Samples whose pixels are all followed by another pixel of the row take 4-byte stores.
    const int32_t wide = (width - 1) / H;
    const int32_t samples = (width + H - 1) / H;
    for (int32_t c = first; c < wide; ++c)
        ConvertSample<Pixel, H, kTwoRows, true>(t, clamp, c, H, y0, y1, cb, cr, out0, out1);
    for (int32_t c = first > wide ? first : wide; c < samples; ++c)
        ConvertSample<Pixel, H, kTwoRows, false>(t, clamp, c, c * H + H <= width ? H : 1, y0, y1, cb, cr, out0, out1);
}

// Greyscale to a colour layout: the sample in all three channels.
template <class Pixel>
void GJpegExpandGrey(const uint8_t* y, uint8_t* out, int32_t width)
{
    for (int32_t x = 0; x < width; ++x, out += Pixel::kBytes)
        Pixel::Put(out, y[x], y[x], y[x]);
}
