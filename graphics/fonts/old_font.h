#pragma once
// GOldFont: the proportional 8-bit font of the older controls. Everything comes from one font
// sheet in the bitmap store, read through its alpha block: row 0 holds the metrics (u16 first
// height, u16 second height, then one 8-byte record {sourceX, left, width, right} per code from
// first to last, little-endian), rows 1 to height the glyph masks side by side (mask byte 255
// empty, anything lower ink, 0 full). sourceX counts sheet columns from 1.
//
// The font draws single-line narrow text in one colour into a 24-bit image and measures it.
// It observes the sheet (the store owns it) and copies the metrics at initialisation, so a
// damaged sheet is judged once: records that do not fit the metrics row count as uncovered
// codes, glyph columns are cut to the sheet and the height to its mask rows. Main thread only.

#include <cstdint>

#include "foundation/text/gstring.h"

class GBitmap;
struct GRect;

class GOldFont {
public:
    static constexpr int kMaxGlyphs = 255;

    struct Glyph {
        uint16_t sourceX = 0; // first mask column + 1
        uint16_t left = 0;    // pixels before the mask
        uint16_t width = 0;   // mask columns drawn
        uint16_t right = 0;   // pixels after the mask
    };

    // Reads the heights and the records of first..last from the sheet's alpha row 0. False
    // (and a font that draws and measures nothing but spaces) for a sheet without an alpha
    // block of its size or a range with last < first.
    bool InitFromResource(const GBitmap* sheet, uint16_t spaceWidth, uint8_t last, uint8_t first);

    // Mask rows drawn per glyph: the two header heights together, cut to the sheet's rows.
    uint16_t GetHeight() const { return m_height; }
    uint16_t GetSecondHeight() const { return m_secondHeight; }
    uint16_t GetFirstHeight() const { return m_firstHeight; }
    void SetSpaceWidth(uint16_t width) { m_spaceWidth = width; }
    uint16_t GetSpaceWidth() const { return m_spaceWidth; }
    // Every record gets the same space before and after its mask.
    void SetSpacing(uint16_t left, uint16_t right);

    // Pixels from the pen's start to its end (wraps at 16 bits, as the callers store it).
    uint16_t GetTextWidth(const char* text) const;
    uint16_t GetTextWidthN(const char* text, int n) const;
    // Start column (row) that centres the text (a line) between two edges; halves round
    // toward zero.
    int CenterX(const char* text, int left, int right) const;
    int CenterY(int top, int bottom) const;

    // Draw the text with its first pen position at x and the top mask row at y. The colour
    // is 0x00RRGGBB. clip: left and top inclusive, right and bottom exclusive; null for the
    // whole destination. The caller's rectangle counts only while the start point lies in the
    // destination and the text's rows fit it; otherwise the destination's bounds do. Every
    // draw is cut to the destination as well.
    //
    // DrawText: ink pixels become the colour, the destination's mask byte the glyph's.
    void DrawText(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                  const GRect* clip) const;
    // Ink blends: m 0 the colour, else ((d - colour) * m >> 8) + colour per channel.
    void DrawTextBlend(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                       const GRect* clip) const;
    // w = (255 - m) * alpha; d += (colour - d) * w >> 16, so alpha 255 over full ink gives
    // colour * 65025 / 65536 and alpha 0 leaves the destination as it was.
    void DrawTextAlpha(GBitmap* dst, int x, int y, const char* text, uint32_t colour,
                       uint8_t alpha, const GRect* clip) const;

    const Glyph* GetGlyph(uint8_t code) const;
    uint8_t GetFirst() const { return m_first; }
    uint8_t GetLast() const { return m_last; }
    const GBitmap* GetSheet() const { return m_sheet; }

    const GString& GetName() const { return m_name; }
    void SetName(const GString& name) { m_name = name; }

private:
    template <typename Rule>
    void Draw(GBitmap* dst, int x, int y, const char* text, const Rule& rule,
              const GRect* clip) const;
    // Advance of one character: 0 for an uncovered one.
    int Advance(uint8_t c) const;

    uint16_t m_spaceWidth = 0;
    uint16_t m_height = 0;
    uint16_t m_firstHeight = 0;
    uint16_t m_secondHeight = 0;
    uint8_t m_last = 0;
    uint8_t m_first = 0;
    uint16_t m_count = 0; // records read; codes first + count and on are not covered
    Glyph m_glyphs[kMaxGlyphs] = {};
    const GBitmap* m_sheet = nullptr;
    GString m_name;
};
