#pragma once
// GBaseEdit: the one-line text edit, whatever its font: GTextEdit draws with a TrueType font,
// GEdit with a raster font. It takes the focus; Left, Right, Home and End move the caret
// (with Shift they select), Backspace and Delete erase, Ctrl+A selects everything, the
// clipboard pseudo keys copy, cut and paste through the GUI system's clipboard buffer, and any
// other key types the character GApplication::TranslateLastKeyToChar gives for it. The text
// never grows past the maximum length, and characters the font cannot draw are refused. A
// press places the caret, a drag selects. Tab, Enter and Escape are left to the dialog.
// Main thread only.

#include "gui/controls/base_control.h"
#include "gui/controls/edit_buffer.h"
#include "gui/controls/text_image_animator.h"

class GBaseEdit : public GBaseControl, public GTextImageSource {
public:
    // Pixels between the rectangle's edge and the text.
    static constexpr int32_t kPadding = 3;

    GBaseEdit(std::string name, int32_t maxLength);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;
    int OnLButtonDown(int32_t x, int32_t y) override;
    int OnLButtonDrag(int32_t x, int32_t y) override;
    void SetText(const GWString& text) override;

    const GEditBuffer& GetBuffer() const { return m_buffer; }
    // The text's first column inside the rectangle (scrolled left when the caret would leave
    // the visible part).
    int32_t GetScroll() const { return m_scroll; }
    // The caret position nearest to screen column x.
    int32_t PositionAt(int32_t x) const;

    // Whether the font draws the character.
    virtual bool CanDraw(char16_t c) const = 0;
    // Width in pixels of the text's first n characters.
    virtual int32_t TextWidthN(int32_t n) const = 0;
    virtual int32_t LineHeight() const = 0;

    // GTextImageSource: selection bar, text and (when focused) caret.
    void RenderText(GBitmap& image) const override;
    bool IsFramed() const override { return true; }

protected:
    // Draws the whole text with its pen at (x, y) of the image.
    virtual void DrawRun(GBitmap& image, int32_t x, int32_t y, uint32_t colour) const = 0;
    // The font is ready: filters and lays the current text out again.
    void FontChanged();

private:
    // After each edit: mirror the text, keep the caret in view, redraw.
    void Edited();
    int CopySelection(bool cut);
    int Paste();

    GEditBuffer m_buffer;
    int32_t m_scroll = 0;
};
