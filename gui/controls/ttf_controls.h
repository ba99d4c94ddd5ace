#pragma once
// The controls that write with the TrueType font: GTextLabel (a line of text that takes no
// input) and GTextEdit (the edit of GBaseEdit). Each makes its own GTtfFont and loads it with
// GTtfFont::LoadFromPack from the data folder's scrambled font file (the text controls' key,
// face 0), measures with MeasureText and draws with DrawTextW into its image. Without the
// font file a label draws nothing and an edit takes no characters. Main thread only.

#include <memory>

#include "gui/controls/edit_control.h"
#include "gui/controls/static_label.h"

class GTtfFont;

// The font and size the TrueType controls share: loading, measuring, drawing.
class GTtfFace {
public:
    GTtfFace(const char* fontFile, int16_t size);
    ~GTtfFace();
    bool IsLoaded() const;
    GTtfFont* GetFont() const { return m_font.get(); }
    int16_t GetSize() const { return m_size; }
    bool HasGlyph(char16_t c) const;
    int32_t Width(std::u16string_view text) const;
    // Rows from the top of a line to below its lowest glyph.
    int32_t LineHeight() const { return m_lineHeight; }
    void Draw(GBitmap& image, std::u16string_view text, int32_t x, int32_t y,
              uint32_t colour) const;

private:
    std::unique_ptr<GTtfFont> m_font; // null when the file would not load
    int16_t m_size;
    int32_t m_lineHeight = 0;
};

class GTextLabel : public GBaseControl, public GTextImageSource {
public:
    GTextLabel(std::string name, const char* fontFile, int16_t size, GTextAlign align);
    bool TakesMouse() const override { return false; }
    const GTtfFace& GetFace() const { return m_face; }
    void RenderText(GBitmap& image) const override;

private:
    GTtfFace m_face;
    GTextAlign m_align;
};

class GTextEdit : public GBaseEdit {
public:
    GTextEdit(std::string name, const char* fontFile, int16_t size, int32_t maxLength);
    const GTtfFace& GetFace() const { return m_face; }
    bool CanDraw(char16_t c) const override { return m_face.HasGlyph(c); }
    int32_t TextWidthN(int32_t n) const override;
    int32_t LineHeight() const override { return m_face.LineHeight(); }

protected:
    void DrawRun(GBitmap& image, int32_t x, int32_t y, uint32_t colour) const override;

private:
    GTtfFace m_face;
};
