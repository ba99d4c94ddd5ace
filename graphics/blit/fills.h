#pragma once
// Solid-colour primitives for 24-bit surfaces, beside the blitter kernels: a rectangle fill
// (the flush paints dirty areas in the background colour with it) and horizontal or vertical
// lines (line clips). Stateless; same threading as the kernels.
//
// Colour: 0x??RRGGBB as a u32; a pixel gets its bytes c & 0xFF, (c >> 8) & 0xFF,
// (c >> 16) & 0xFF in that order (blue, green, red in the back buffer); the top byte is ignored.
// Slanted lines draw nothing. Everything is clipped to the surface, so no call writes outside
// it whatever its coordinates.

#include <cstdint>

class GBitmap;
struct GRect;

// Fills the part of r (inclusive) that lies on the surface.
void FillRect(GBitmap* surface, uint32_t colour, const GRect& r);

// A horizontal or vertical line from (x1, y1) to (x2, y2), both end points included.
void DrawLine(GBitmap* surface, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t colour);

// The same line, drawn only inside the clip rectangle (and the surface).
void DrawLineClipped(GBitmap* surface, int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                     uint32_t colour, const GRect& clip);
