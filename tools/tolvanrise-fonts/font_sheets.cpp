#include "tools/tolvanrise-fonts/font_sheets.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

#include "platform/text/code_page.h"
#include "tools/common/drawing.h"

namespace fonttool {

namespace {

FT_Library g_library = nullptr;
FT_Face g_face = nullptr;

struct Rendered {
    std::vector<uint8_t> coverage;
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
};

bool SetPoints(int points, std::string& error)
{
    if (!g_face || FT_Set_Char_Size(g_face, points * 64, 0, 96, 96) != 0) {
        error = "cannot size the face";
        return false;
    }
    return true;
}

// False when the face has no glyph for the code.
bool Render(char16_t code, Rendered& out)
{
    const FT_UInt index = FT_Get_Char_Index(g_face, code);
    if (index == 0 || FT_Load_Glyph(g_face, index, FT_LOAD_DEFAULT) != 0 ||
        FT_Render_Glyph(g_face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_GlyphSlot slot = g_face->glyph;
    out.width = static_cast<int>(slot->bitmap.width);
    out.rows = static_cast<int>(slot->bitmap.rows);
    out.left = slot->bitmap_left;
    out.top = slot->bitmap_top;
    out.advance = static_cast<int>(slot->advance.x >> 6);
    out.coverage.resize(static_cast<size_t>(out.width) * out.rows);
    for (int r = 0; r < out.rows; ++r)
        std::copy_n(slot->bitmap.buffer + r * slot->bitmap.pitch, out.width,
                    out.coverage.begin() + static_cast<ptrdiff_t>(r) * out.width);
    return true;
}

int Ascender()
{
    return static_cast<int>(g_face->size->metrics.ascender >> 6);
}

int Descender()
{
    return static_cast<int>(-(g_face->size->metrics.descender >> 6));
}

// Sand at the top of a glyph running to a deeper gold at its foot.
void ColourAt(int row, int rows, double rgb[3])
{
    const double t = rows > 1 ? static_cast<double>(row) / (rows - 1) : 0.0;
    rgb[0] = tools::Mix(255, 214, t);
    rgb[1] = tools::Mix(238, 160, t);
    rgb[2] = tools::Mix(176, 60, t);
}

} // namespace

bool OpenFace(const std::string& path, std::string& error)
{
    if (!g_library && FT_Init_FreeType(&g_library) != 0) {
        error = "cannot start FreeType";
        return false;
    }
    if (FT_New_Face(g_library, path.c_str(), 0, &g_face) != 0) {
        error = path + ": not a font FreeType can read";
        return false;
    }
    return true;
}

void CloseFace()
{
    if (g_face)
        FT_Done_Face(g_face);
    if (g_library)
        FT_Done_FreeType(g_library);
    g_face = nullptr;
    g_library = nullptr;
}

std::u16string SheetCodes()
{
    std::u16string codes;
    for (char16_t c = 33; c <= 126; ++c)
        codes.push_back(c);
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char16_t c = platform::Cp1251ToUtf16(static_cast<uint8_t>(byte));
        if (c >= 0x400 && c <= 0x4FF)
            codes.push_back(c);
    }
    return codes;
}

bool RenderBitmapFontSheet(const std::u16string& codes, int points, SheetKind kind,
                           BitmapFontSheet& out, std::string& error)
{
    if (!SetPoints(points, error))
        return false;
    const int ascender = Ascender();
    const int glyphRows = ascender + Descender();
    // Row 0 unused, row 1 the marker row, then the glyph rows.
    const int height = 2 + glyphRows;
    std::vector<Rendered> glyphs;
    std::vector<int> offsets;
    int width = 0;
    out.symbols.clear();
    for (char16_t c : codes) {
        Rendered r;
        if (!Render(c, r))
            continue;
        const int shift = std::max(0, -r.left);
        offsets.push_back(width + shift);
        width += std::max(r.advance, shift + r.left + r.width) + 1; // cell and its separator
        glyphs.push_back(std::move(r));
        out.symbols.push_back(c);
    }
    if (glyphs.empty() || width > tools::kMaxPictureSide) {
        error = "no glyphs, or a sheet too wide";
        return false;
    }

    tools::Picture& p = out.picture;
    p.Resize(width, height);
    int column = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const Rendered& g = glyphs[i];
        const int cell = std::max(g.advance, std::max(0, -g.left) + g.left + g.width);
        for (int x = column; x < column + cell; ++x)
            tools::PutPixel(p, x, 1, 1, 1, 1, 0); // not a separator, transparent
        for (int r = 0; r < g.rows; ++r) {
            const int y = 2 + ascender - g.top + r;
            if (y < 2 || y >= height)
                continue;
            for (int c = 0; c < g.width; ++c) {
                const int x = offsets[i] + g.left + c;
                const uint8_t cover = g.coverage[static_cast<size_t>(r) * g.width + c];
                if (cover == 0)
                    continue;
                if (kind == SheetKind::kColour) {
                    double rgb[3];
                    ColourAt(y - 2, glyphRows, rgb);
                    tools::PutPixel(p, x, y, rgb[0], rgb[1], rgb[2], cover);
                } else {
                    const double index = 255 - cover;
                    tools::PutPixel(p, x, y, index, index, index, cover);
                }
            }
        }
        column += cell;
        // The separator: black, and opaque so that a format-12 sheet finds it in its mask.
        tools::PutPixel(p, column, 1, 0, 0, 0, 255);
        ++column;
    }
    return true;
}

bool RenderRasterFontSheet(uint8_t first, uint8_t last, int points, tools::Picture& out,
                           std::string& error)
{
    if (!SetPoints(points, error) || last < first)
        return false;
    const int ascender = Ascender();
    const int descender = Descender();
    const int count = last - first + 1;
    std::vector<Rendered> glyphs(static_cast<size_t>(count));
    std::vector<bool> present(static_cast<size_t>(count), false);
    int masks = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = platform::Cp1251ToUtf16(static_cast<uint8_t>(first + i));
        present[i] = c != 0xFFFD && Render(c, glyphs[i]);
        if (present[i])
            masks += glyphs[i].width;
    }
    const int width = std::max(4 + 8 * count, masks);
    const int height = 1 + ascender + descender;
    if (width > tools::kMaxPictureSide) {
        error = "raster sheet too wide";
        return false;
    }
    out.Resize(width, height);
    // Every mask byte starts empty (255), written as the picture's alpha 0.
    std::vector<uint8_t> header;
    auto put16 = [&header](int v) {
        header.push_back(static_cast<uint8_t>(v));
        header.push_back(static_cast<uint8_t>(v >> 8));
    };
    put16(ascender);
    put16(descender);
    int column = 0;
    for (int i = 0; i < count; ++i) {
        const Rendered& g = glyphs[i];
        if (!present[i]) {
            put16(0), put16(0), put16(0), put16(0);
            continue;
        }
        const int left = std::max(0, g.left);
        put16(column + 1);
        put16(left);
        put16(g.width);
        put16(std::max(0, g.advance - left - g.width));
        for (int r = 0; r < g.rows; ++r) {
            const int y = 1 + ascender - g.top + r;
            if (y < 1 || y >= height)
                continue;
            for (int c = 0; c < g.width; ++c)
                out.At(column + c, y)[3] = g.coverage[static_cast<size_t>(r) * g.width + c];
        }
        column += g.width;
    }
    for (size_t i = 0; i < header.size(); ++i)
        out.At(static_cast<int32_t>(i), 0)[3] = static_cast<uint8_t>(255 - header[i]);
    return true;
}

} // namespace fonttool
