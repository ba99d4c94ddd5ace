#include "graphics/fonts/bmp_text.h"

#include <algorithm>
#include <new>

#include "foundation/image/colour_ramp.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/scene/clip.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/clip_fade.h"

std::unique_ptr<GBmpText> GBmpText::Create(GBmpFont* font, int16_t maxLength)
{
    if (!font || maxLength < 1)
        return nullptr;
    std::unique_ptr<GBmpText> text(new (std::nothrow) GBmpText);
    if (!text)
        return nullptr;
    text->m_clips.reset(new (std::nothrow) GClip[static_cast<size_t>(maxLength)]);
    if (!text->m_clips)
        return nullptr;
    text->m_clipCount = maxLength;
    text->m_font = font;
    text->m_line.reserve(static_cast<size_t>(maxLength));
    for (int16_t i = 0; i < maxLength; ++i) {
        text->m_clips[i].SetVisible(false);
        text->m_clips[i].SetFrame(-kFixedOne);
        text->m_clips[i].SetPalette(text->m_ramp);
    }
    text->ApplyDrawMode();
    return text;
}

GBmpText::~GBmpText() = default;

void GBmpText::ApplyDrawMode()
{
    uint8_t mode = m_drawModeOverride;
    if (mode == 0) {
        mode = m_font ? static_cast<uint8_t>(m_font->GetFormat()) : 0;
        if (m_alphaMode)
            mode = FadedDrawMode(mode);
    }
    for (int16_t i = 0; i < m_clipCount; ++i)
        m_clips[i].SetDrawMode(mode);
}

void GBmpText::SetFont(GBmpFont* font)
{
    m_font = font;
    ApplyDrawMode();
    SetText(GWString(m_text));
}

void GBmpText::SetFormat(const GBmpTextFormat& format)
{
    m_format = format;
    if (m_format.anchor > kTextJustified)
        m_format.anchor = kTextTopLeft;
    SetText(GWString(m_text));
}

void GBmpText::SetColor(uint32_t colour)
{
    m_colour = colour;
    BuildColourRampToWhite(colour, m_ramp);
}

void GBmpText::SetDrawModeOverride(uint8_t mode)
{
    m_drawModeOverride = mode;
    ApplyDrawMode();
}

void GBmpText::SetVisible(bool visible)
{
    if (visible == !m_hidden)
        return;
    m_hidden = !visible;
    for (int16_t i = 0; i < m_clipCount; ++i)
        m_clips[i].SetVisible(visible && m_clips[i].GetFrame() >= 0);
}

void GBmpText::SetAlpha(uint8_t alpha)
{
    if (!m_alphaMode) {
        m_alphaMode = true;
        ApplyDrawMode();
    }
    for (int16_t i = 0; i < m_clipCount; ++i)
        m_clips[i].SetAlpha(alpha);
    m_alpha = alpha;
}

void GBmpText::AddToContainer(GClipContainer& container)
{
    for (int16_t i = 0; i < m_clipCount; ++i) {
        m_clips[i].SetPrevVisible(false);
        container.AddClip(&m_clips[i]);
    }
}

void GBmpText::RemoveFromContainer(GClipContainer& container)
{
    for (int16_t i = 0; i < m_clipCount; ++i)
        container.RemoveClip(&m_clips[i]);
}

void GBmpText::SetPosition(int32_t x, int32_t y)
{
    const int32_t dx = x - m_x;
    const int32_t dy = y - m_y;
    for (int16_t i = 0; i < m_clipCount; ++i)
        m_clips[i].SetPosition(m_clips[i].GetX() + dx, m_clips[i].GetY() + dy);
    m_rect.Offset(dx >> 8, dy >> 8);
    m_x = x;
    m_y = y;
}

void GBmpText::GetPosition(int32_t& x, int32_t& y) const
{
    x = m_x;
    y = m_y;
}

void GBmpText::SetNumber(int32_t n)
{
    SetText(GWString(static_cast<int>(n), 10));
}

void GBmpText::Measure(const GWString& text, int16_t& width, int16_t& height)
{
    const GWString previous(m_text);
    SetText(text);
    width = m_width;
    height = m_height;
    SetText(previous);
}

void GBmpText::SetText(const GWString& text)
{
    for (int16_t i = 0; i < m_clipCount; ++i) {
        m_clips[i].SetVisible(false);
        m_clips[i].SetFrame(-kFixedOne);
    }
    if (&text != &m_text)
        m_text = text;
    m_charCount = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t penX = m_x;
    int32_t penY = m_y;
    GRect bounds;
    bool anyBounds = false;

    const char16_t* s = m_text.GetWide();
    const char16_t* end = s + m_text.GetLength();
    for (const char16_t* line = s;;) {
        const char16_t* stop = line;
        while (stop < end && !(stop[0] == u'\\' && stop + 1 < end && stop[1] == u'n'))
            ++stop;
        int32_t lineWidth = 0;
        int32_t lineHeight = 0;
        LayoutLine(line, stop, penX, penY, lineWidth, lineHeight, bounds, anyBounds);
        if (!m_format.vertical) {
            width = std::max(width, lineWidth);
            height += lineHeight;
            penY += (lineHeight + m_format.lineSpacing) * kFixedOne;
        } else {
            height = std::max(height, lineHeight);
            width += lineWidth;
            penX += (lineWidth + m_format.lineSpacing) * kFixedOne;
        }
        if (stop >= end)
            break;
        line = stop + 2;
    }
    m_width = static_cast<int16_t>(std::clamp(width, -32768, 32767));
    m_height = static_cast<int16_t>(std::clamp(height, -32768, 32767));
    // A justified text keeps the rectangle it fills: growing it would widen every later layout.
    if (m_format.anchor != kTextJustified)
        m_rect.SetClamped(int32_t(bounds.left) - 3, int32_t(bounds.top) - 3,
                          int32_t(bounds.right) + 3, int32_t(bounds.bottom) + 3);
}

GBmpText::LineMeasure GBmpText::CollectLine(const char16_t* begin, const char16_t* end)
{
    const GBmpTextFormat& f = m_format;
    LineMeasure m;
    m_line.clear();
    for (const char16_t* p = begin; p < end; ++p) {
        if (*p == u' ') {
            m.along += f.spaceWidth + f.spacing;
            ++m.spaces;
            m_line.push_back({-1, 0, 0});
            continue;
        }
        if (m_charCount >= m_clipCount)
            break;
        const int32_t slot = m_font ? m_font->GetGlyphSlot(*p) : -1;
        int16_t gw = 0;
        int16_t gh = 0;
        if (m_font)
            m_font->GetSlotSize(slot, gw, gh);
        if (f.fixedSize) {
            gw = f.fixedWidth;
            gh = f.fixedHeight;
        }
        GClip& clip = m_clips[m_charCount];
        clip.SetFrame(slot >= 0 ? FixedFromInt(slot) : -kFixedOne);
        clip.SetVisible(!m_hidden && slot >= 0);
        m_line.push_back({m_charCount, gw, gh});
        ++m_charCount;
        m.along += (f.vertical ? gh : gw) + f.spacing;
        m.across = std::max<int32_t>(m.across, f.vertical ? gw : gh);
    }
    m.width = f.vertical ? m.across : m.along;
    m.height = f.vertical ? m.along : m.across;
    return m;
}

GBmpText::LineOrigin GBmpText::AnchorLine(int32_t penX, int32_t penY, const LineMeasure& m) const
{
    const GBmpTextFormat& f = m_format;
    const int32_t x = penX >> 8;
    const int32_t y = penY >> 8;
    const int32_t w = m.width;
    const int32_t h = m.height;
    LineOrigin o{x, y, f.spaceWidth + f.spacing};
    switch (f.anchor) {
    case kTextCentre:
        o.left = x - w / 2;
        o.top = y - h / 2;
        break;
    case kTextTopRight:
        o.left = x - w;
        break;
    case kTextBottomLeft:
        o.top = y - h;
        break;
    case kTextBottomRight:
        o.left = x - w;
        o.top = y - h;
        break;
    case kTextJustified: {
        // Each line in the kept rectangle, offset by the lines before it.
        o.left = f.vertical ? m_rect.left + ((penX - m_x) >> 8) : m_rect.left;
        o.top = f.vertical ? m_rect.top : m_rect.top + ((penY - m_y) >> 8);
        const int32_t room = f.vertical ? m_rect.Height() : m_rect.Width();
        const int32_t stretched = (room - m.along) / std::max(1, m.spaces) + f.spacing;
        if (stretched > o.spaceAdvance)
            o.spaceAdvance = stretched;
        break;
    }
    default:
        break;
    }
    return o;
}

void GBmpText::PlaceLineClips(const LineOrigin& o, int32_t lineWidth)
{
    const GBmpTextFormat& f = m_format;
    int32_t pen = f.vertical ? o.top : o.left;
    for (const LineItem& item : m_line) {
        if (item.clip < 0) {
            pen += o.spaceAdvance;
            continue;
        }
        GClip& clip = m_clips[item.clip];
        if (!f.vertical) {
            clip.SetPosition(FixedFromInt(pen), FixedFromInt(o.top));
            pen += item.width + f.spacing;
        } else {
            int32_t cx = o.left;
            if (f.anchor == kTextCentre)
                cx = o.left + (lineWidth - item.width) / 2;
            else if (f.anchor == kTextTopRight || f.anchor == kTextBottomRight)
                cx = o.left + lineWidth - item.width;
            clip.SetPosition(FixedFromInt(cx), FixedFromInt(pen));
            pen += item.height + f.spacing;
        }
    }
}

void GBmpText::LayoutLine(const char16_t* begin, const char16_t* end, int32_t penX, int32_t penY,
                          int32_t& lineWidth, int32_t& lineHeight, GRect& bounds, bool& anyBounds)
{
    const LineMeasure m = CollectLine(begin, end);
    lineWidth = m.width;
    lineHeight = m.height;
    const LineOrigin o = AnchorLine(penX, penY, m);
    PlaceLineClips(o, m.width);

    const GRect line{static_cast<int16_t>(std::clamp(o.left, -32768, 32767)),
                     static_cast<int16_t>(std::clamp(o.top, -32768, 32767)),
                     static_cast<int16_t>(std::clamp(o.left + m.width - 1, -32768, 32767)),
                     static_cast<int16_t>(std::clamp(o.top + m.height - 1, -32768, 32767))};
    if (!anyBounds) {
        bounds = line;
        anyBounds = true;
    } else {
        bounds.left = std::min(bounds.left, line.left);
        bounds.top = std::min(bounds.top, line.top);
        bounds.right = std::max(bounds.right, line.right);
        bounds.bottom = std::max(bounds.bottom, line.bottom);
    }
}
