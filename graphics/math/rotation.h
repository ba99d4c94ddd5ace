#pragma once
// Image rotation by whole degrees about a pivot, and masked blits turned by quarter turns.
// Sources are 24-bit images with a mask (0 opaque, 255 transparent); others give nothing.
//
// Geometry shared by every rotation here: a positive angle turns the picture clockwise on a
// screen whose y axis points down. The pivot is a source pixel position; (-1, -1) means the
// centre (W / 2, H / 2). The turned picture's box is the bounding box of the four turned
// corners, widened to whole pixels (floor of the minimum, ceiling of the maximum). Each
// target pixel is turned back to the source with the float sine table, in 24.8 fixed point;
// the sample lies at the pixel's top-left corner, like the kernels' own. Where the 2 x 2
// (cubic: 4 x 4) pixels of a sample do not all exist, the pixel is outside: transparent in a
// copy, untouched by a draw.
//
// The bilinear weights are (256 - fx)(256 - fy), fx (256 - fy), fx fy and (256 - fx) fy,
// the sum shifted right by 16: they add up to 65536, so a picture turned by 0 keeps its
// colours exactly. The cubic filter is the drawable image's. Draws mix with the
// mask rule: m 255 skips, otherwise d = ((d - c) * m >> 8) + c.
//
// Stateless; one thread at a time per target.

#include <cstdint>

class GBitmap;
class GGraphicsResources;
struct GRect;

// The box of the source turned by degrees about the pivot: (left, top) relative to the
// source's top-left pixel and the size. False for an empty source.
struct GRotatedBox {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};
bool GetRotatedBox(int32_t width, int32_t height, int32_t degrees, int32_t pivotX, int32_t pivotY,
                   GRotatedBox& box);

// Makes the turned picture as a new image (format 2) in the store's pool at *slot (negative:
// the first empty one); *slot receives the pool slot used. withMask false: the mask is not
// written and stays fully opaque. 1, or 0 when the source is unusable, the picture's side
// exceeds 32767 or the pool fails.
int RotateCopy(GGraphicsResources& store, const GBitmap* source, int32_t degrees, int32_t pivotX,
               int32_t pivotY, int16_t* slot, bool withMask = true);

// Draws the turned picture with its box's top-left at (x, y), touching only pixels inside
// the target and the clip rectangle (inclusive; null = the whole target). RotateCopy then
// BlitMask at (x, y) gives the same bytes as DrawRotatedBilinear at (x, y).
void DrawRotatedBilinear(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                         int32_t degrees, int32_t pivotX, int32_t pivotY,
                         const GRect* clip = nullptr);
void DrawRotatedCubic(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, int32_t degrees,
                      int32_t pivotX, int32_t pivotY, const GRect* clip = nullptr);
// The bilinear draw with every target pixel turned back in floating point.
void DrawRotatedFloat(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, int32_t degrees,
                      int32_t pivotX, int32_t pivotY, const GRect* clip = nullptr);

// A masked 24-bit source turned by a quarter turn and drawn at (x, y) (the turned picture's
// top-left), clipped to the target and the optional rectangle. Rule: m 255 skips, 0 copies,
// otherwise d = ((d - s) * m >> 8) + s. Source pixel (c, r) of a W x H source lands at:
//   clockwise          (x + H - 1 - r, y + c)
//   counter-clockwise  (x + r, y + W - 1 - c)
//   transposed         (x + r, y + c)       (a quarter turn and a mirror)
void BlitMaskQuarterTurn(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                         const GRect* clip = nullptr);
void BlitMaskQuarterTurnBack(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                             const GRect* clip = nullptr);
void BlitMaskTransposed(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                        const GRect* clip = nullptr);
