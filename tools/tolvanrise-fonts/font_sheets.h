#pragma once
// The font sheets of the data folder, rendered with FreeType from an outline font:
//
// - bitmap-font sheets: the glyphs side by side, each followed by a separator column; row 0
//   unused, row 1 the marker row (transparent, its separator pixels black and opaque in the
//   mask), the glyph rows below. Kind "masked" (format 2, the glyphs' own sand-gold colours)
//   or "indexed_masked" (format 12: index = 255 - coverage, drawn through the text's ramp);
//   the mask is 255 - coverage either way. Each glyph cell is its advance wide.
// - a raster-font sheet (kind "alpha", format 14): mask row 0 holds the metrics header and
//   one record per code, the rows below the glyph masks (255 - coverage).
//
// Pictures are RGBA with the mask as 255 - A, the packer's convention. One thread.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/picture.h"

namespace fonttool {

class FaceRenderer;

enum class SheetKind { kColour, kRamp };

struct BitmapFontSheet {
    tools::Picture picture;
    std::u16string symbols; // in glyph order
};

// Opens the face; false with the reason.
bool OpenFace(const std::string& path, std::string& error);
void CloseFace();

// Size in points at 96 dpi, as the engine sizes its TrueType fonts.
bool RenderBitmapFontSheet(const std::u16string& codes, int points, SheetKind kind,
                           BitmapFontSheet& out, std::string& error);
// Codes first to last of the narrow (Windows-1251) code page.
bool RenderRasterFontSheet(uint8_t first, uint8_t last, int points, tools::Picture& out,
                           std::string& error);

// Printable ASCII (33 to 126) and the Cyrillic letters of the 1251 code page.
std::u16string SheetCodes();

} // namespace fonttool
