#pragma once
// Bitmap fonts: every glyph is its own image in the bitmap store's pool, cut out of one font
// sheet, and found by character code through a GBmpFontSymbols table read from the font's
// description (values "Symbols", "Indexes", "BaseSymbol").
//
// The sheet holds the glyphs side by side. Its marker row (row 1 for the game's fonts, row 0
// when the creator asks) marks every glyph's end with a separator pixel whose bytes are all 0
// (read from the mask for format 12). A glyph is the columns between two separators over the
// sheet's rows 1 to height - 1. A separator right after another or in column 0 ends nothing:
// its column belongs to the next glyph. Pixels after the last separator make no glyph.
//
// GBmpFont owns its glyphs' pool slots (FreeGlyphs, also on destruction) and its symbol
// table; it observes the store, which must outlive it. Main thread only.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "foundation/text/wstring.h"

class GBitmap;
class GCfgNode;
class GDataDoc;
class GGraphicsResources;

class GBmpFontSymbols {
public:
    // Larger tables are cut here: a sheet of the store's widest side holds fewer glyphs.
    static constexpr int32_t kMaxSymbols = 16384;

    GBmpFontSymbols() { SetDefault(); }
    virtual ~GBmpFontSymbols() = default;

    // 95 codes 33 to 127 in order, base 0.
    virtual void SetDefault();

    // Builds the table from a description: max(index) + 1 entries of 0, entry index[i] set to
    // symbols[i] for every i both lists give; base = position of baseSymbol's first unit (0
    // when it is empty or absent). Negative indexes and indexes of kMaxSymbols and more are
    // passed over. An empty result gives the default table.
    void Build(const std::vector<int32_t>& indexes, std::u16string_view symbols,
               std::u16string_view baseSymbol);

    // Position (glyph number) of the code; base when the table lacks it.
    int16_t FindCode(uint16_t code) const;
    // Base becomes the position of the code (the current base when absent).
    void SetBaseCode(uint16_t code) { m_base = FindCode(code); }
    // The code stored at a position; 0 outside the table.
    uint16_t GetIndex(int32_t position) const;
    int16_t GetCount() const { return static_cast<int16_t>(m_codes.size()); }
    int16_t GetBase() const { return m_base; }

private:
    int16_t m_base = 0;
    std::vector<uint16_t> m_codes;
};

class GBmpFont {
public:
    GBmpFont(const GBmpFont&) = delete;
    GBmpFont& operator=(const GBmpFont&) = delete;
    ~GBmpFont();

    // Reads "Symbols" (Windows-1251 text), "Indexes" (integer list) and "BaseSymbol" from a
    // cfg node into the table. Without any index the glyph numbers are 0 to the length of
    // Symbols - 1.
    static void LoadDescription(const GCfgNode& node, GBmpFontSymbols& symbols);
    // The same from a data document's attributes; "Indexes" is a text of integers separated
    // by any of space, comma, tab and newline.
    static void LoadDescription(const GDataDoc& doc, GBmpFontSymbols& symbols);
    // Integers of an "Indexes" text, in order. Runs of digits too long for 32 bits saturate.
    static std::vector<int32_t> ParseIndexes(std::u16string_view text);

    // Cuts the sheet's glyphs into pool slots of the store (until the pool is full). Null
    // without a sheet or store, and for a sheet whose blocks are smaller than its size says,
    // that lacks a block its format needs, or that is less than two rows high. markerRowZero:
    // the marker row is row 0 instead of row 1.
    static std::unique_ptr<GBmpFont> Create(const GBitmap* sheet, GGraphicsResources* store,
                                            std::unique_ptr<GBmpFontSymbols> symbols,
                                            bool markerRowZero = false);

    // Frees every glyph's pool slot and empties the list.
    void FreeGlyphs();

    // Absolute store slot of the code's glyph (the base symbol's for an unknown code); -1
    // when that glyph number has no glyph.
    int32_t GetGlyphSlot(uint16_t code) const;
    // Size of an absolute slot's image; false (0 x 0) for an empty slot.
    bool GetSlotSize(int32_t slot, int16_t& width, int16_t& height) const;
    bool GetGlyphSize(uint16_t code, int16_t& width, int16_t& height) const
    {
        return GetSlotSize(GetGlyphSlot(code), width, height);
    }
    // Pool slots of the glyphs, by glyph number.
    const std::vector<int16_t>& GetGlyphPoolSlots() const { return m_glyphs; }
    uint16_t GetFormat() const { return m_format; }
    GBmpFontSymbols& GetSymbols() { return *m_symbols; }
    GGraphicsResources* GetStore() const { return m_store; }

    const GWString& GetName() const { return m_name; }
    void SetName(const GWString& name) { m_name = name; }

private:
    GBmpFont() = default;
    bool CutGlyphs(const GBitmap& sheet, int markerRow);

    GWString m_name;
    GGraphicsResources* m_store = nullptr;
    std::vector<int16_t> m_glyphs;
    std::unique_ptr<GBmpFontSymbols> m_symbols;
    uint16_t m_format = 0;
};
