#pragma once
// GDebugFont: the built-in 7 by 10 pixel text font for debug output on a surface, with its
// colours and a formatting buffer. It owns its glyph rows and buffer, nothing else. Main
// thread only (it draws into the back buffer).

#include <cstdarg>
#include <cstdint>

class GDibSurface;

struct GDebugFont {
    static constexpr int kGlyphCount = 95; // ' ' to '~'
    static constexpr int kCellWidth = 7;   // pixels
    static constexpr int kCellHeight = 10; // pixels

    uint32_t textColour = 0;           // 0x00RRGGBB
    uint32_t backgroundColour = 0xffffff;
    char buffer[256] = {};             // formatted text, cut to fit
    int16_t cellWidth = kCellWidth;
    int16_t cellHeight = kCellHeight;
    int16_t glyphCount = kGlyphCount;
    // Glyph g draws character 32 + g; one byte per row from the top, bit 6 the leftmost of
    // the 7 pixels.
    uint8_t glyphRows[kGlyphCount * kCellHeight] = {};

    // Text at (x, y) pixels, '\n' starting a new line 10 pixels lower. The transparent form
    // sets only the glyphs' pixels; the opaque form fills the rest of each cell with the
    // background colour (also for spaces). Cells not wholly inside the surface are skipped.
    // Draws on 24- and 32-bit surfaces; nothing when the surface has no pixels.
    void DrawTransparent(GDibSurface* surface, int x, int y, const char* text);
    void DrawOpaque(GDibSurface* surface, int x, int y, const char* text);
    // printf-style into the buffer (at most 255 characters kept), then drawn.
    void PrintfTransparent(GDibSurface* surface, int x, int y, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    void PrintfOpaque(GDibSurface* surface, int x, int y, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    // The same with the arguments gathered by the caller; a null format draws nothing.
    void PrintfV(GDibSurface* surface, int x, int y, bool opaque, const char* format,
                 va_list args);
};

// Sets the colours, the cell sizes and the glyph rows.
void BuildDebugFont(GDebugFont& font);
