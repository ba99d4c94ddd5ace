#include "gui/controls/ttf_controls.h"

#include <algorithm>
#include <new>

#include "foundation/files/scramble_keys.h"
#include "foundation/image/bitmap.h"
#include "graphics/fonts/ttf_font.h"

GTtfFace::GTtfFace(const char* fontFile, int16_t size) : m_size(size)
{
    m_font.reset(new (std::nothrow) GTtfFont());
    if (m_font && (!fontFile || !m_font->LoadFromPack(fontFile, kTrueTypeFontKey, 0)))
        m_font.reset();
    if (m_font) {
        // The tallest capitals and the deepest descenders of the scripts the game writes.
        int width = 0;
        int height = 0;
        m_font->MeasureText(GWString(u"ÁÉЙgjqy|"), m_size, &width, &height, m_font->GetOptions());
        m_lineHeight = height;
    }
}

GTtfFace::~GTtfFace() = default;

bool GTtfFace::IsLoaded() const
{
    return m_font != nullptr;
}

bool GTtfFace::HasGlyph(char16_t c) const
{
    return m_font && m_font->HasGlyph(c);
}

int32_t GTtfFace::Width(std::u16string_view text) const
{
    if (!m_font || text.empty())
        return 0;
    int width = 0;
    int height = 0;
    m_font->MeasureText(GWString(text), m_size, &width, &height, m_font->GetOptions());
    return width;
}

void GTtfFace::Draw(GBitmap& image, std::u16string_view text, int32_t x, int32_t y,
                    uint32_t colour) const
{
    if (m_font && !text.empty())
        m_font->DrawTextW(GWString(text), &image, m_size, colour, x, y);
}

GTextLabel::GTextLabel(std::string name, const char* fontFile, int16_t size, GTextAlign align)
    : GBaseControl(std::move(name)), m_face(fontFile, size), m_align(align)
{
    SetAnimator(std::make_unique<GStTextImageAnimator>());
}

void GTextLabel::RenderText(GBitmap& image) const
{
    const std::u16string_view text = GetText().View();
    const int32_t width = m_face.Width(text);
    int32_t x = 0;
    if (m_align == GTextAlign::Centre)
        x = (image.GetWidth() - width) / 2;
    else if (m_align == GTextAlign::Right)
        x = image.GetWidth() - width;
    const int32_t y = std::max(0, (image.GetHeight() - m_face.LineHeight()) / 2);
    m_face.Draw(image, text, x, y, IsEnabled() ? GetColours().text : GetColours().disabledText);
}

GTextEdit::GTextEdit(std::string name, const char* fontFile, int16_t size, int32_t maxLength)
    : GBaseEdit(std::move(name), maxLength), m_face(fontFile, size)
{
    FontChanged();
}

int32_t GTextEdit::TextWidthN(int32_t n) const
{
    const std::u16string& text = GetBuffer().GetText();
    return m_face.Width(std::u16string_view(text).substr(0, static_cast<size_t>(std::max(0, n))));
}

void GTextEdit::DrawRun(GBitmap& image, int32_t x, int32_t y, uint32_t colour) const
{
    m_face.Draw(image, GetBuffer().GetText(), x, y, colour);
}
