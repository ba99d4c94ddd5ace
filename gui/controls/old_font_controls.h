#pragma once
// The older controls on the raster font (GOldFont): GEdit, the edit of GBaseEdit, which
// measures with GetTextWidthN and draws with DrawText into its image; and GEditLabel, its
// label, a line of narrow text drawn straight onto the screen with DrawTextAlpha (half
// strength while disabled) and placed with GetTextWidth. Texts are kept as UTF-16 and
// written in the engine's narrow code page; characters without a narrow form or a glyph are
// refused. Both observe their font (the GUI's raster-font manager owns it). Main thread only.

#include <string>

#include "gui/controls/edit_control.h"
#include "gui/controls/static_label.h"

class GOldFont;

class GEdit : public GBaseEdit {
public:
    // font may be null: the edit then takes no characters.
    GEdit(std::string name, const GOldFont* font, int32_t maxLength);
    const GOldFont* GetFont() const { return m_font; }
    bool CanDraw(char16_t c) const override;
    int32_t TextWidthN(int32_t n) const override;
    int32_t LineHeight() const override;

protected:
    void DrawRun(GBitmap& image, int32_t x, int32_t y, uint32_t colour) const override;

private:
    const GOldFont* m_font;
};

class GEditLabel : public GBaseControl {
public:
    GEditLabel(std::string name, const GOldFont* font, GTextAlign align);
    bool TakesMouse() const override { return false; }
    const GOldFont* GetFont() const { return m_font; }
    GTextAlign GetAlign() const { return m_align; }

private:
    const GOldFont* m_font;
    GTextAlign m_align;
};

// Whether a raster font draws the character (a space always counts).
bool OldFontDraws(const GOldFont& font, char16_t c);
