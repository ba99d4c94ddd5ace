#include "foundation/image/debug_font.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/image/dib_surface.h"

namespace {

// Our own 5 by 7 design with descenders, set in columns 1 to 5 of the 7-pixel cell: ten rows
// per glyph from the top, '#' a set pixel.
constexpr const char* kGlyphArt[GDebugFont::kGlyphCount] = {
    "..... ..... ..... ..... ..... ..... ..... ..... ..... .....", // space
    "..... ..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#.. ..... .....", // !
    "..... .#.#. .#.#. ..... ..... ..... ..... ..... ..... .....", // "
    "..... .#.#. .#.#. ##### .#.#. ##### .#.#. .#.#. ..... .....", // #
    "..... ..#.. .#### #.#.. .###. ..#.# ####. ..#.. ..... .....", // $
    "..... ##... ##..# ...#. ..#.. .#... #..## ...## ..... .....", // %
    "..... .##.. #..#. #.#.. .#... #.#.# #..#. .##.# ..... .....", // &
    "..... ..#.. ..#.. ..... ..... ..... ..... ..... ..... .....", // '
    "..... ...#. ..#.. .#... .#... .#... ..#.. ...#. ..... .....", // (
    "..... .#... ..#.. ...#. ...#. ...#. ..#.. .#... ..... .....", // )
    "..... ..... ..#.. #.#.# .###. #.#.# ..#.. ..... ..... .....", // *
    "..... ..... ..#.. ..#.. ##### ..#.. ..#.. ..... ..... .....", // +
    "..... ..... ..... ..... ..... ..... .##.. ..#.. .#... .....", // ,
    "..... ..... ..... ..... ##### ..... ..... ..... ..... .....", // -
    "..... ..... ..... ..... ..... ..... .##.. .##.. ..... .....", // .
    "..... ....# ...#. ...#. ..#.. .#... .#... #.... ..... .....", // /
    "..... .###. #...# #..## #.#.# ##..# #...# .###. ..... .....", // 0
    "..... ..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###. ..... .....", // 1
    "..... .###. #...# ....# ...#. ..#.. .#... ##### ..... .....", // 2
    "..... ##### ...#. ..#.. ...#. ....# #...# .###. ..... .....", // 3
    "..... ...#. ..##. .#.#. #..#. ##### ...#. ...#. ..... .....", // 4
    "..... ##### #.... ####. ....# ....# #...# .###. ..... .....", // 5
    "..... ..##. .#... #.... ####. #...# #...# .###. ..... .....", // 6
    "..... ##### ....# ...#. ..#.. .#... .#... .#... ..... .....", // 7
    "..... .###. #...# #...# .###. #...# #...# .###. ..... .....", // 8
    "..... .###. #...# #...# .#### ....# ...#. .##.. ..... .....", // 9
    "..... ..... .##.. .##.. ..... .##.. .##.. ..... ..... .....", // :
    "..... ..... .##.. .##.. ..... .##.. ..#.. .#... ..... .....", // ;
    "..... ...#. ..#.. .#... #.... .#... ..#.. ...#. ..... .....", // <
    "..... ..... ..... ##### ..... ##### ..... ..... ..... .....", // =
    "..... .#... ..#.. ...#. ....# ...#. ..#.. .#... ..... .....", // >
    "..... .###. #...# ....# ...#. ..#.. ..... ..#.. ..... .....", // ?
    "..... .###. #...# #.### #.#.# #.### #.... .#### ..... .....", // @
    "..... .###. #...# #...# ##### #...# #...# #...# ..... .....", // A
    "..... ####. #...# #...# ####. #...# #...# ####. ..... .....", // B
    "..... .###. #...# #.... #.... #.... #...# .###. ..... .....", // C
    "..... ###.. #..#. #...# #...# #...# #..#. ###.. ..... .....", // D
    "..... ##### #.... #.... ####. #.... #.... ##### ..... .....", // E
    "..... ##### #.... #.... ####. #.... #.... #.... ..... .....", // F
    "..... .###. #...# #.... #.### #...# #...# .#### ..... .....", // G
    "..... #...# #...# #...# ##### #...# #...# #...# ..... .....", // H
    "..... .###. ..#.. ..#.. ..#.. ..#.. ..#.. .###. ..... .....", // I
    "..... ..### ...#. ...#. ...#. ...#. #..#. .##.. ..... .....", // J
    "..... #...# #..#. #.#.. ##... #.#.. #..#. #...# ..... .....", // K
    "..... #.... #.... #.... #.... #.... #.... ##### ..... .....", // L
    "..... #...# ##.## #.#.# #.#.# #...# #...# #...# ..... .....", // M
    "..... #...# #...# ##..# #.#.# #..## #...# #...# ..... .....", // N
    "..... .###. #...# #...# #...# #...# #...# .###. ..... .....", // O
    "..... ####. #...# #...# ####. #.... #.... #.... ..... .....", // P
    "..... .###. #...# #...# #...# #.#.# #..#. .##.# ..... .....", // Q
    "..... ####. #...# #...# ####. #.#.. #..#. #...# ..... .....", // R
    "..... .#### #.... #.... .###. ....# ....# ####. ..... .....", // S
    "..... ##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..... .....", // T
    "..... #...# #...# #...# #...# #...# #...# .###. ..... .....", // U
    "..... #...# #...# #...# #...# #...# .#.#. ..#.. ..... .....", // V
    "..... #...# #...# #...# #.#.# #.#.# #.#.# .#.#. ..... .....", // W
    "..... #...# #...# .#.#. ..#.. .#.#. #...# #...# ..... .....", // X
    "..... #...# #...# .#.#. ..#.. ..#.. ..#.. ..#.. ..... .....", // Y
    "..... ##### ....# ...#. ..#.. .#... #.... ##### ..... .....", // Z
    "..... .###. .#... .#... .#... .#... .#... .###. ..... .....", // [
    "..... #.... .#... .#... ..#.. ...#. ...#. ....# ..... .....", // backslash
    "..... .###. ...#. ...#. ...#. ...#. ...#. .###. ..... .....", // ]
    "..... ..#.. .#.#. #...# ..... ..... ..... ..... ..... .....", // ^
    "..... ..... ..... ..... ..... ..... ..... ..... ##### .....", // _
    "..... .#... ..#.. ..... ..... ..... ..... ..... ..... .....", // `
    "..... ..... ..... .###. ....# .#### #...# .#### ..... .....", // a
    "..... #.... #.... #.##. ##..# #...# #...# ####. ..... .....", // b
    "..... ..... ..... .###. #.... #.... #...# .###. ..... .....", // c
    "..... ....# ....# .##.# #..## #...# #...# .#### ..... .....", // d
    "..... ..... ..... .###. #...# ##### #.... .###. ..... .....", // e
    "..... ..##. .#..# .#... ###.. .#... .#... .#... ..... .....", // f
    "..... ..... ..... .#### #...# #...# #...# .#### ....# .###.", // g
    "..... #.... #.... #.##. ##..# #...# #...# #...# ..... .....", // h
    "..... ..#.. ..... .##.. ..#.. ..#.. ..#.. .###. ..... .....", // i
    "..... ...#. ..... ..##. ...#. ...#. ...#. ...#. #..#. .##..", // j
    "..... #.... #.... #..#. #.#.. ##... #.#.. #..#. ..... .....", // k
    "..... .##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###. ..... .....", // l
    "..... ..... ..... ##.#. #.#.# #.#.# #.#.# #.#.# ..... .....", // m
    "..... ..... ..... #.##. ##..# #...# #...# #...# ..... .....", // n
    "..... ..... ..... .###. #...# #...# #...# .###. ..... .....", // o
    "..... ..... ..... ####. #...# #...# #...# ####. #.... #....", // p
    "..... ..... ..... .#### #...# #...# #...# .#### ....# ....#", // q
    "..... ..... ..... #.##. ##..# #.... #.... #.... ..... .....", // r
    "..... ..... ..... .#### #.... .###. ....# ####. ..... .....", // s
    "..... .#... .#... ###.. .#... .#... .#..# ..##. ..... .....", // t
    "..... ..... ..... #...# #...# #...# #..## .##.# ..... .....", // u
    "..... ..... ..... #...# #...# #...# .#.#. ..#.. ..... .....", // v
    "..... ..... ..... #...# #...# #.#.# #.#.# .#.#. ..... .....", // w
    "..... ..... ..... #...# .#.#. ..#.. .#.#. #...# ..... .....", // x
    "..... ..... ..... #...# #...# #...# #...# .#### ....# .###.", // y
    "..... ..... ..... ##### ...#. ..#.. .#... ##### ..... .....", // z
    "..... ...#. ..#.. ..#.. .#... ..#.. ..#.. ...#. ..... .....", // {
    "..... ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..... .....", // |
    "..... .#... ..#.. ..#.. ...#. ..#.. ..#.. .#... ..... .....", // }
    "..... ..... ..... .##.# #..#. ..... ..... ..... ..... .....", // ~
};

// Cells [first, last] along one axis that lie wholly inside [0, extent): a cell that sticks
// out on either side is skipped rather than cut.
void VisibleCells(int64_t origin, int64_t cells, int64_t cellSize, int64_t extent, int64_t& first,
                  int64_t& last)
{
    first = 0;
    if (origin < 0)
        first = 1 - (origin + 1) / cellSize; // division truncates toward zero
    last = cells - 1;
    if (cellSize * cells + origin > extent)
        last = cells - (cellSize * cells - extent + origin - 1) / cellSize - 2;
}

enum class Fill { GlyphOnly, WholeCell };

void DrawText(const GDebugFont& font, GDibSurface* surface, int x, int y, const char* text, Fill fill)
{
    if (!surface || !text || !surface->GetBitmapInfo())
        return;
    const uint8_t* info = surface->GetBitmapInfo();
    const int bytesPerPixel = (info[14] | (info[15] << 8)) / 8;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return;
    const int64_t width = surface->GetWidth();
    const int64_t height = surface->GetHeight();
    const int64_t cw = GDebugFont::kCellWidth;
    const int64_t ch = GDebugFont::kCellHeight;

    int64_t lines = 1;
    int64_t longest = 0;
    int64_t run = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            ++lines;
            run = 0;
        } else if (++run > longest) {
            longest = run;
        }
    }
    int64_t firstCol, lastCol, firstLine, lastLine;
    VisibleCells(x, longest, cw, width, firstCol, lastCol);
    VisibleCells(y, lines, ch, height, firstLine, lastLine);

    uint8_t* pixels = surface->Lock();
    if (!pixels) {
        surface->Unlock();
        return;
    }
    const int64_t pitch = surface->GetPitch();
    const uint8_t ink[3] = {static_cast<uint8_t>(font.textColour), static_cast<uint8_t>(font.textColour >> 8),
                            static_cast<uint8_t>(font.textColour >> 16)};
    const uint8_t paper[3] = {static_cast<uint8_t>(font.backgroundColour),
                              static_cast<uint8_t>(font.backgroundColour >> 8),
                              static_cast<uint8_t>(font.backgroundColour >> 16)};
    const int lowestGlyph = fill == Fill::WholeCell ? 0 : 1; // the transparent space draws nothing

    int64_t line = 0;
    int64_t col = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            ++line;
            col = 0;
            continue;
        }
        const int glyph = static_cast<signed char>(*p) - 32;
        if (glyph >= lowestGlyph && glyph < GDebugFont::kGlyphCount && col >= firstCol && col <= lastCol &&
            line >= firstLine && line <= lastLine) {
            const int64_t left = x + col * cw;
            const int64_t top = y + line * ch;
            for (int64_t row = 0; row < ch; ++row) {
                const int64_t py = top + row;
                if (py < 0 || py >= height)
                    continue;
                const uint8_t bits = font.glyphRows[glyph * ch + row];
                uint8_t* out = pixels + py * pitch;
                for (int64_t c = 0; c < cw; ++c) {
                    const int64_t px = left + c;
                    if (px < 0 || px >= width)
                        continue;
                    const bool set = (bits >> (6 - c)) & 1;
                    const uint8_t* colour = set ? ink : (fill == Fill::WholeCell ? paper : nullptr);
                    if (!colour)
                        continue;
                    uint8_t* dst = out + px * bytesPerPixel;
                    dst[0] = colour[0];
                    dst[1] = colour[1];
                    dst[2] = colour[2];
                }
            }
        }
        ++col;
    }
    surface->Unlock();
}

} // namespace

void BuildDebugFont(GDebugFont& font)
{
    font.textColour = 0;
    font.backgroundColour = 0xffffff;
    font.buffer[0] = 0;
    font.cellWidth = GDebugFont::kCellWidth;
    font.cellHeight = GDebugFont::kCellHeight;
    font.glyphCount = GDebugFont::kGlyphCount;
    for (int g = 0; g < GDebugFont::kGlyphCount; ++g) {
        const char* art = kGlyphArt[g];
        for (int row = 0; row < GDebugFont::kCellHeight; ++row) {
            uint8_t bits = 0;
            for (int c = 0; c < 5; ++c) {
                if (art[row * 6 + c] == '#')
                    bits |= static_cast<uint8_t>(1 << (5 - c)); // column 1 + c of 0..6
            }
            font.glyphRows[g * GDebugFont::kCellHeight + row] = bits;
        }
    }
}

void GDebugFont::DrawTransparent(GDibSurface* surface, int x, int y, const char* text)
{
    DrawText(*this, surface, x, y, text, Fill::GlyphOnly);
}

void GDebugFont::DrawOpaque(GDibSurface* surface, int x, int y, const char* text)
{
    DrawText(*this, surface, x, y, text, Fill::WholeCell);
}

void GDebugFont::PrintfTransparent(GDibSurface* surface, int x, int y, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    PrintfV(surface, x, y, false, format, args);
    va_end(args);
}

void GDebugFont::PrintfOpaque(GDibSurface* surface, int x, int y, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    PrintfV(surface, x, y, true, format, args);
    va_end(args);
}

void GDebugFont::PrintfV(GDibSurface* surface, int x, int y, bool opaque, const char* format,
                         va_list args)
{
    buffer[0] = 0;
    if (format)
        std::vsnprintf(buffer, sizeof buffer, format, args);
    DrawText(*this, surface, x, y, buffer, opaque ? Fill::WholeCell : Fill::GlyphOnly);
}
