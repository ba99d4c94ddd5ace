#include "gui/controls/old_font_controls.h"

#include <algorithm>

#include "foundation/image/bitmap.h"
#include "graphics/fonts/old_font.h"
#include "graphics/scene/clip_container.h"
#include "platform/text/code_page.h"

namespace {

// A line of narrow text that draws itself onto the target, cut to its rectangle.
class GOldTextClip : public GClip {
public:
    GOldTextClip()
    {
        SetDrawMode(dmCustom);
        SetAnchorMode(5);
    }

    void Show(const GOldFont* font, std::string text, uint32_t colour, uint8_t alpha,
              const GRect& rect, int32_t x, int32_t y, bool visible)
    {
        if (font != m_font || text != m_text || colour != m_colour || alpha != m_alpha ||
            !(rect == GetRect()) || x != m_x || y != m_y)
            MarkMoved();
        m_font = font;
        m_text = std::move(text);
        m_colour = colour;
        m_alpha = alpha;
        m_x = x;
        m_y = y;
        SetRect(rect);
        SetPosition(FixedFromInt(rect.left), FixedFromInt(rect.top));
        SetVisible(visible && font && !rect.IsEmpty());
    }

    void Draw(GBitmap* target, const GRect& clipRect) override
    {
        GRect area;
        if (!target || !m_font || !IntersectRects(area, GetRect(), clipRect))
            return;
        // The font's clip takes right and bottom as exclusive.
        const GRect exclusive{area.left, area.top, int16_t(area.right + 1),
                              int16_t(area.bottom + 1)};
        m_font->DrawTextAlpha(target, m_x, m_y, m_text.c_str(), m_colour, m_alpha, &exclusive);
    }

private:
    const GOldFont* m_font = nullptr;
    std::string m_text;
    uint32_t m_colour = 0;
    uint8_t m_alpha = 255;
    int32_t m_x = 0;
    int32_t m_y = 0;
};

class GStEditLabelAnimator : public GCAnimator {
public:
    void Attach(GClipContainer& container) override { container.AddClip(&m_clip); }
    void Detach(GClipContainer& container) override { container.RemoveClip(&m_clip); }

    void Refresh(const GBaseControl& control) override
    {
        const auto* label = dynamic_cast<const GEditLabel*>(&control);
        if (!label)
            return;
        const GRect& r = control.GetRect();
        const GOldFont* font = label->GetFont();
        std::string text = platform::Utf16ToAnsi(control.GetText().View());
        int32_t x = r.left;
        int32_t y = r.top;
        if (font) {
            const int32_t width = font->GetTextWidth(text.c_str());
            if (label->GetAlign() == GTextAlign::Centre)
                x = font->CenterX(text.c_str(), r.left, r.right + 1);
            else if (label->GetAlign() == GTextAlign::Right)
                x = r.right + 1 - width;
            y = font->CenterY(r.top, r.bottom + 1);
        }
        // The start point stays inside the rectangle, which the dialog keeps on the screen, so
        // the font always honours the clip.
        x = std::clamp<int32_t>(x, r.left, r.right);
        y = std::clamp<int32_t>(y, r.top, r.bottom);
        const uint32_t colour =
            control.IsEnabled() ? control.GetColours().text : control.GetColours().disabledText;
        m_clip.Show(font, std::move(text), colour, control.IsEnabled() ? 255 : 128, r, x, y,
                    control.IsVisible());
    }

private:
    GOldTextClip m_clip;
};

} // namespace

bool OldFontDraws(const GOldFont& font, char16_t c)
{
    const uint8_t narrow = platform::Utf16ToCp1251(c);
    if (narrow == '?' && c != u'?')
        return false;
    if (narrow == ' ')
        return true;
    const GOldFont::Glyph* glyph = font.GetGlyph(narrow);
    return glyph && glyph->width > 0;
}

GEdit::GEdit(std::string name, const GOldFont* font, int32_t maxLength)
    : GBaseEdit(std::move(name), maxLength), m_font(font)
{
    FontChanged();
}

bool GEdit::CanDraw(char16_t c) const
{
    return m_font && OldFontDraws(*m_font, c);
}

int32_t GEdit::TextWidthN(int32_t n) const
{
    if (!m_font)
        return 0;
    const std::string narrow = platform::Utf16ToAnsi(GetBuffer().GetText());
    return m_font->GetTextWidthN(narrow.c_str(), n);
}

int32_t GEdit::LineHeight() const
{
    return m_font ? m_font->GetHeight() : 0;
}

void GEdit::DrawRun(GBitmap& image, int32_t x, int32_t y, uint32_t colour) const
{
    if (!m_font)
        return;
    const std::string narrow = platform::Utf16ToAnsi(GetBuffer().GetText());
    m_font->DrawText(&image, x, y, narrow.c_str(), colour, nullptr);
}

GEditLabel::GEditLabel(std::string name, const GOldFont* font, GTextAlign align)
    : GBaseControl(std::move(name)), m_font(font), m_align(align)
{
    SetAnimator(std::make_unique<GStEditLabelAnimator>());
}
