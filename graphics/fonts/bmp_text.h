#pragma once
// GBmpText: a piece of text on screen in a bitmap font, as a fixed set of clips (one per
// character up to the maximum length, made at once) that a clip container draws like any other
// sprite. Laying out a text gives each character clip its glyph's slot as frame and its place;
// spaces take no clip. Lines are split at the two characters backslash and n.
//
// Every clip's palette is the text's 256-entry colour ramp (entry 0 the text colour, running
// to white), which a sheet of format 12 draws through; other formats draw their own colours.
//
// Owns its clips and ramp; observes the font (which must outlive it). Clips added to a
// container must be removed before the text goes. Main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/core/rect.h"
#include "foundation/text/wstring.h"
#include "graphics/scene/clip.h"

class GBmpFont;
class GClipContainer;

// Where a text stands against its position. Its own numbering, not a clip's anchor mode: a
// text's 5 lays each line out justified in the rectangle the text keeps.
enum GTextAnchor : uint8_t {
    kTextTopLeft = 0,
    kTextCentre = 1,
    kTextTopRight = 2,
    kTextBottomLeft = 3,
    kTextBottomRight = 4,
    kTextJustified = 5,
};

struct GBmpTextFormat {
    int8_t lineSpacing = 0; // pixels between lines
    int16_t fixedWidth = 0; // advance of every glyph in fixed-size mode
    int16_t fixedHeight = 0;
    uint8_t spaceWidth = 5;
    int8_t spacing = 0; // pixels between characters
    GTextAnchor anchor = kTextTopLeft;
    bool vertical = false; // lines run downwards, one column per line
    bool fixedSize = false;
};

class GBmpText {
public:
    GBmpText(const GBmpText&) = delete;
    GBmpText& operator=(const GBmpText&) = delete;
    virtual ~GBmpText();

    // Null without a font or with a maximum length below 1.
    static std::unique_ptr<GBmpText> Create(GBmpFont* font, int16_t maxLength);

    virtual void Update() {}
    // 24.8 position of the text's anchor point; moves every clip and the rectangle with it.
    virtual void SetPosition(int32_t x, int32_t y);
    virtual void GetPosition(int32_t& x, int32_t& y) const;
    virtual void SetNumber(int32_t n);
    virtual void SetText(const GWString& text);
    // The first call switches the clips to their global-alpha draw mode.
    virtual void SetAlpha(uint8_t alpha);
    virtual uint8_t GetAlpha() const { return m_alpha; }

    void SetFont(GBmpFont* font);
    GBmpFont* GetFont() const { return m_font; }
    // Anchors past kTextJustified count as kTextTopLeft.
    void SetFormat(const GBmpTextFormat& format);
    const GBmpTextFormat& GetFormat() const { return m_format; }
    // Rebuilds the ramp from the colour (0x00RRGGBB).
    void SetColor(uint32_t colour);
    uint32_t GetColor() const { return m_colour; }
    // 0: the sheet's own format (mapped in the alpha mode).
    void SetDrawModeOverride(uint8_t mode);
    void SetVisible(bool visible);
    bool IsVisible() const { return !m_hidden; }

    void AddToContainer(GClipContainer& container);
    void RemoveFromContainer(GClipContainer& container);

    // Lays the text out to read its size, then lays the current text out again.
    void Measure(const GWString& text, int16_t& width, int16_t& height);

    const GWString& GetText() const { return m_text; }
    int16_t GetWidth() const { return m_width; }
    int16_t GetHeight() const { return m_height; }
    // Whole pixels, inclusive; 3 pixels of margin around the laid-out lines.
    const GRect& GetRect() const { return m_rect; }
    int16_t GetClipCount() const { return m_clipCount; }
    GClip& GetClip(int16_t i) { return m_clips[i]; }
    // Characters that took a clip in the last layout.
    int16_t GetCharCount() const { return m_charCount; }
    const uint32_t* GetColourRamp() const { return m_ramp; }

private:
    // One character of the line being laid out: its clip (-1 for a space) and glyph size.
    struct LineItem {
        int16_t clip;
        int16_t width;
        int16_t height;
    };

    // A line's size in pixels: along and across its direction, and as width and height.
    struct LineMeasure {
        int32_t along = 0;
        int32_t across = 0;
        int32_t spaces = 0;
        int32_t width = 0;
        int32_t height = 0;
    };
    // Where a line starts (whole pixels) and how far a space moves the pen.
    struct LineOrigin {
        int32_t left;
        int32_t top;
        int32_t spaceAdvance;
    };

    GBmpText() = default;
    void ApplyDrawMode();
    // The layout of one line in three steps: give each character its clip and glyph size,
    // anchor the line, then place the clips along it.
    LineMeasure CollectLine(const char16_t* begin, const char16_t* end);
    LineOrigin AnchorLine(int32_t penX, int32_t penY, const LineMeasure& m) const;
    void PlaceLineClips(const LineOrigin& origin, int32_t lineWidth);
    // Lays out one line at the pen; returns its size along and across the line.
    void LayoutLine(const char16_t* begin, const char16_t* end, int32_t penX, int32_t penY,
                    int32_t& lineWidth, int32_t& lineHeight, GRect& bounds, bool& anyBounds);

    uint8_t m_drawModeOverride = 0;
    bool m_alphaMode = false;
    bool m_hidden = false;
    GRect m_rect;
    int32_t m_x = 0;
    int32_t m_y = 0;
    GBmpFont* m_font = nullptr;
    std::unique_ptr<GClip[]> m_clips;
    int16_t m_clipCount = 0;
    GBmpTextFormat m_format;
    uint32_t m_ramp[256] = {};
    uint32_t m_colour = 0;
    uint8_t m_alpha = 0;
    GWString m_text;
    int16_t m_width = 0;
    int16_t m_height = 0;
    int16_t m_charCount = 0;
    std::vector<LineItem> m_line; // kept between layouts to save the allocation
};
