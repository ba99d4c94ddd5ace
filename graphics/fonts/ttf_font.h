#pragma once
// GTtfFont: wide text in an outline (TrueType) font through FreeType, measured at a size in
// points (96 dpi) and drawn in one colour into a 24-bit image with a mask, or into a new pool
// image of the bitmap store made to fit. The text controls load it from a scrambled font
// file of the data folder.
//
// All fonts share one FreeType library object: the first font constructed initialises it,
// the last one destroyed shuts it down. Each font owns its face and, for a face opened from
// memory, the file's bytes; a load that fails leaves neither. Rendered glyphs are kept per
// size and character, so a text drawn again costs only its copies. Main thread only.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "foundation/text/wstring.h"

class GBitmap;
class GGraphicsResources;
struct FT_FaceRec_;

struct GTtfRenderOptions {
    uint32_t styleFlags = 0; // 1 bold, 2 italic (the face's flags only: nothing is synthesised)
    int32_t renderMode = 1;  // 1 anti-aliased, 0 monochrome, anything else: not rendered
};

class GTtfFont {
public:
    GTtfFont();
    GTtfFont(const GTtfFont&) = delete;
    GTtfFont& operator=(const GTtfFont&) = delete;
    virtual ~GTtfFont();

    // Fonts alive, and whether the shared library object exists.
    static int GetInstanceCount();
    static bool HasLibrary();

    // Opens the file; when that fails, the file of the same name in the system's font folders
    // (platform/text/system_fonts.h). 1 on success, else 0 with no face.
    int LoadFromFile(const char* path, int faceIndex);
    // Reads the data folder's file whole, unscrambles it from the key (0: a plain file) and
    // opens a face over the kept bytes. 1 on success, else 0 with no face and no bytes.
    int LoadFromPack(const char* fileName, uint8_t key, int faceIndex);

    // Whether the face maps the character to a glyph of its own (not the missing-glyph box).
    bool HasGlyph(uint32_t code) const;
    // Loads and renders one glyph into FreeType's slot with the font's own render mode. 1 on
    // success; 0 without a face, when FreeType fails, or when the glyph's box or advance lies
    // far beyond a few ems of the size (a damaged font): such a glyph draws nothing.
    int LoadGlyph(uint32_t code);

    // Width (advances) and height (the tallest glyph below the ascender line) of the text at
    // size points. Nothing is written when the size cannot be set or an output is null.
    void MeasureText(const GWString& text, int size, int* width, int* height,
                     const GTtfRenderOptions& options);
    // Draws the text with its ascender line at y + ascender and its pen starting at x. With a
    // destination, draws only into formats 2 and 3 and returns -1; without one, makes a pool
    // image of the measured size (format 2, fully transparent) and returns its absolute slot.
    // -1 without a face, a settable size, or (no destination) a store or a free pool slot.
    int16_t RenderText(const GWString& text, GBitmap* dst, const GTtfRenderOptions& options,
                       int16_t size, uint32_t colour, int x, int y);
    // RenderText with default options.
    int16_t DrawTextW(const GWString& text, GBitmap* dst, int16_t size, uint32_t colour, int x,
                      int y);

    void SetStore(GGraphicsResources* store) { m_store = store; }
    GTtfRenderOptions& GetOptions() { return m_options; }
    bool HasFace() const { return m_face != nullptr; }
    int GetLastError() const { return m_lastError; }
    // Character size last set, 26.6 points (size * 64); 0 before any.
    int32_t GetCharSize() const { return m_charSize; }

private:
    // One rendered glyph: coverage bytes (0 none, 255 full), width bytes per row.
    struct CachedGlyph {
        std::vector<uint8_t> coverage;
        // Per row, the columns from the first to past the last covered byte: the copy skips
        // the empty margins of round and thin glyphs.
        std::vector<uint16_t> spanFrom;
        std::vector<uint16_t> spanTo;
        int32_t width = 0;
        int32_t rows = 0;
        int32_t left = 0;
        int32_t top = 0;
        int32_t advanceX = 0; // 26.6
        int32_t advanceY = 0;
        bool loaded = false;
    };

    void CloseFace();
    bool SetSize(int size);
    const CachedGlyph& Glyph(uint32_t code);
    int32_t Ascender() const;
    // Pixels a glyph may reach in any direction at the current size, and whether the slot's
    // glyph stays within them.
    int32_t PlausibleExtent() const;
    bool PlausibleGlyph() const;
    void CopyGlyph(const CachedGlyph& glyph, GBitmap& dst, int x, int y, uint32_t colour) const;

    GTtfRenderOptions m_options;
    FT_FaceRec_* m_face = nullptr;
    int m_lastError = 0;
    GGraphicsResources* m_store = nullptr; // observed
    std::unique_ptr<char[]> m_bytes;       // a memory face's file
    int32_t m_charSize = 0;
    std::unordered_map<uint64_t, CachedGlyph> m_cache;
    // Codes below 256 at the current size and mode, straight into the cache (whose nodes stay
    // put until it is cleared): most texts need no hashing at all.
    const CachedGlyph* m_direct[256] = {};
    uint64_t m_directKey = 0; // size and mode the direct table holds
};
