#include "gui/controls/st_animators.h"

#include <algorithm>

#include "foundation/text/wstring.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/scene/clip_container.h"
#include "gui/controls/button.h"
#include "gui/controls/list_box.h"
#include "gui/controls/slider_bar.h"
#include "gui/controls/static_label.h"
#include "gui/controls/tab_control.h"

namespace {

constexpr int32_t kTextInset = 4; // pixels between a panel's edge and its text

int32_t CentreY(const GRect& r)
{
    return (int32_t(r.top) + r.bottom) / 2;
}

int32_t CentreX(const GRect& r)
{
    return (int32_t(r.left) + r.right) / 2;
}

uint32_t TextColourOf(const GBaseControl& control)
{
    return control.IsEnabled() ? control.GetColours().text : control.GetColours().disabledText;
}

void ShowPanel(GPanelClip& panel, const GRect& rect, uint32_t fill, uint32_t border, bool visible)
{
    panel.SetArea(rect);
    panel.SetColours(fill, border);
    panel.SetVisible(visible && !rect.IsEmpty());
}

} // namespace

GCaption::GCaption(GBmpFont* font) : m_font(font) {}

GCaption::~GCaption() = default;

void GCaption::Attach(GClipContainer& container)
{
    m_container = &container;
    if (m_text)
        m_text->AddToContainer(container);
}

void GCaption::Detach(GClipContainer& container)
{
    if (m_text)
        m_text->RemoveFromContainer(container);
    for (std::unique_ptr<GBmpText>& retired : m_retired)
        retired->RemoveFromContainer(container);
    m_retired.clear();
    m_container = nullptr;
}

bool GCaption::Reserve(int32_t length)
{
    if (!m_font)
        return false;
    if (m_text && m_text->GetClipCount() >= std::min<int32_t>(length, kMaxLength))
        return true;
    const int32_t grown = m_text ? std::max<int32_t>(length, 2 * m_text->GetClipCount()) : length;
    std::unique_ptr<GBmpText> text =
        GBmpText::Create(m_font, int16_t(std::clamp<int32_t>(grown, kMinClips, kMaxLength)));
    if (!text)
        return m_text != nullptr;
    if (m_text && m_container) {
        m_text->SetVisible(false);
        m_retired.push_back(std::move(m_text));
    }
    m_text = std::move(text);
    m_text->SetAlpha(255);
    if (m_container)
        m_text->AddToContainer(*m_container);
    return true;
}

void GCaption::Show(const GWString& text, uint32_t colour, uint8_t alpha, GTextAnchor anchor,
                    int32_t x, int32_t yCentre, bool visible)
{
    if (!Reserve(int32_t(text.GetLength())))
        return;
    if (m_text->GetFormat().anchor != anchor) {
        GBmpTextFormat format = m_text->GetFormat();
        format.anchor = anchor;
        m_text->SetFormat(format);
    }
    if (!(m_text->GetText() == text))
        m_text->SetText(text);
    if (m_text->GetColor() != colour)
        m_text->SetColor(colour);
    if (m_text->GetAlpha() != alpha)
        m_text->SetAlpha(alpha);
    const int32_t y = anchor == 1 ? yCentre : yCentre - m_text->GetHeight() / 2;
    m_text->SetPosition(FixedFromInt(x), FixedFromInt(y));
    m_text->SetVisible(visible);
}

void GClipSetAnimator::Attach(GClipContainer& container)
{
    for (GClip* clip : m_clips)
        container.AddClip(clip);
    if (m_caption)
        m_caption->Attach(container);
}

void GClipSetAnimator::Detach(GClipContainer& container)
{
    if (m_caption)
        m_caption->Detach(container);
    for (auto clip = m_clips.rbegin(); clip != m_clips.rend(); ++clip)
        container.RemoveClip(*clip);
}

void PanelColoursOf(const GBaseControl& control, uint32_t& fill, uint32_t& border)
{
    const GControlColours& c = control.GetColours();
    switch (control.GetLook()) {
    case GControlLook::Disabled:
        fill = c.disabled;
        break;
    case GControlLook::Pressed:
        fill = c.pressed;
        break;
    case GControlLook::Hover:
        fill = c.hover;
        break;
    default:
        fill = c.face;
        break;
    }
    border = control.IsFocused() ? c.focus : c.border;
}

void ShowFocusRing(GRingClip& ring, const GBaseControl& control, const GRect& around)
{
    GRect r;
    r.SetClamped(around.left - kFocusRingWidth, around.top - kFocusRingWidth,
                 around.right + kFocusRingWidth, around.bottom + kFocusRingWidth);
    const uint32_t colour = control.GetColours().focus;
    ring.SetBandWidth(kFocusRingWidth);
    ShowPanel(ring, r, colour, colour, control.IsVisible() && control.IsFocused());
}

uint8_t TextAlphaOf(const GBaseControl& control)
{
    return control.IsEnabled() ? 255 : 128;
}

void GStButtonAnimator::Refresh(const GBaseControl& control)
{
    uint32_t fill = 0;
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    const GRect& r = control.GetRect();
    ShowFocusRing(m_focus, control, r);
    ShowPanel(m_panel, r, fill, border, control.IsVisible());
    m_caption.Show(control.GetText(), TextColourOf(control), TextAlphaOf(control), kTextCentre,
                   CentreX(r), CentreY(r), control.IsVisible());
}

void GStCheckBoxAnimator::Refresh(const GBaseControl& control)
{
    const auto* box = dynamic_cast<const GCheckBox*>(&control);
    if (!box)
        return;
    const GRect& r = control.GetRect();
    const int32_t side = std::min(r.Height(), r.Width());
    GRect square;
    square.SetClamped(r.left, CentreY(r) - side / 2, r.left + side - 1,
                      CentreY(r) - side / 2 + side - 1);
    uint32_t fill = 0;
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    ShowFocusRing(m_focus, control, square);
    ShowPanel(m_box, square, fill, border, control.IsVisible());
    GRect inner;
    const int32_t inset = std::max(2, side / 5);
    inner.SetClamped(square.left + inset, square.top + inset, square.right - inset,
                     square.bottom - inset);
    const uint32_t mark = TextColourOf(control);
    ShowPanel(m_mark, inner, mark, mark, control.IsVisible() && box->IsChecked());
    m_caption.Show(control.GetText(), TextColourOf(control), TextAlphaOf(control), kTextTopLeft,
                   square.right + 1 + kTextInset, CentreY(r), control.IsVisible());
}

void GStStaticLabelAnimator::Refresh(const GBaseControl& control)
{
    const auto* label = dynamic_cast<const GStaticLabel*>(&control);
    if (!label)
        return;
    const GRect& r = control.GetRect();
    const GTextAlign align = label->GetAlign();
    const GTextAnchor anchor = align == GTextAlign::Left     ? kTextTopLeft
                               : align == GTextAlign::Centre ? kTextCentre
                                                             : kTextTopRight;
    const int32_t x = anchor == kTextTopLeft  ? r.left
                      : anchor == kTextCentre ? CentreX(r)
                                              : r.right;
    m_caption.Show(control.GetText(), TextColourOf(control), TextAlphaOf(control), anchor, x,
                   CentreY(r), control.IsVisible());
}

void GStSliderBarAnimator::Refresh(const GBaseControl& control)
{
    const auto* slider = dynamic_cast<const GSliderBar*>(&control);
    if (!slider)
        return;
    const GRect& r = control.GetRect();
    GRect track;
    track.SetClamped(r.left, CentreY(r) - 2, r.right, CentreY(r) + 2);
    const GControlColours& c = control.GetColours();
    ShowFocusRing(m_focus, control, r);
    ShowPanel(m_track, track, c.pressed, control.IsFocused() ? c.focus : c.border,
              control.IsVisible());
    uint32_t fill = 0;
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    ShowPanel(m_thumb, slider->GetThumbRect(), fill, border, control.IsVisible());
}

GStListBoxAnimator::~GStListBoxAnimator() = default;

void GStListBoxAnimator::Attach(GClipContainer& container)
{
    m_container = &container;
    container.AddClip(&m_panel);
    container.AddClip(&m_bar);
    for (std::unique_ptr<GCaption>& row : m_rows)
        row->Attach(container);
}

void GStListBoxAnimator::Detach(GClipContainer& container)
{
    for (std::unique_ptr<GCaption>& row : m_rows)
        row->Detach(container);
    container.RemoveClip(&m_bar);
    container.RemoveClip(&m_panel);
    m_container = nullptr;
}

void GStListBoxAnimator::Refresh(const GBaseControl& control)
{
    const auto* list = dynamic_cast<const GListBox*>(&control);
    if (!list)
        return;
    const GRect& r = control.GetRect();
    const bool visible = control.IsVisible();
    uint32_t fill = 0;
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    ShowPanel(m_panel, r, control.GetColours().face, border, visible);

    const int32_t rows = std::min(list->GetVisibleRows(), kMaxRows);
    while (static_cast<int32_t>(m_rows.size()) < rows) {
        m_rows.push_back(std::make_unique<GCaption>(m_font));
        if (m_container)
            m_rows.back()->Attach(*m_container);
    }
    const int32_t height = list->GetRowHeight();
    const int32_t selectedRow = list->GetSelected() - list->GetTopIndex();
    GRect bar;
    bar.SetClamped(r.left + 1, r.top + selectedRow * height, r.right - 1,
                   std::min<int32_t>(r.bottom - 1, r.top + (selectedRow + 1) * height - 1));
    const uint32_t barColour = control.GetColours().selection;
    ShowPanel(m_bar, bar, barColour, barColour,
              visible && list->GetSelected() >= 0 && selectedRow < rows);
    static const GWString kEmpty;
    for (int32_t i = 0; i < static_cast<int32_t>(m_rows.size()); ++i) {
        const int32_t item = list->GetTopIndex() + i;
        const bool shown = visible && i < rows && item < list->GetItemCount();
        m_rows[static_cast<size_t>(i)]->Show(
            shown ? list->GetItem(item) : kEmpty, TextColourOf(control), TextAlphaOf(control),
            kTextTopLeft, r.left + kTextInset, r.top + i * height + height / 2, shown);
    }
}

GStTabControlAnimator::~GStTabControlAnimator() = default;

void GStTabControlAnimator::Attach(GClipContainer& container)
{
    m_container = &container;
    for (std::unique_ptr<TabLook>& tab : m_tabs) {
        container.AddClip(&tab->panel);
        tab->caption.Attach(container);
    }
}

void GStTabControlAnimator::Detach(GClipContainer& container)
{
    for (std::unique_ptr<TabLook>& tab : m_tabs) {
        tab->caption.Detach(container);
        container.RemoveClip(&tab->panel);
    }
    m_container = nullptr;
}

void GStTabControlAnimator::Refresh(const GBaseControl& control)
{
    const auto* tabs = dynamic_cast<const GTabControl*>(&control);
    if (!tabs)
        return;
    const int32_t count = std::min(tabs->GetTabCount(), kMaxTabs);
    while (static_cast<int32_t>(m_tabs.size()) < count) {
        m_tabs.push_back(std::make_unique<TabLook>(m_font));
        if (m_container) {
            m_container->AddClip(&m_tabs.back()->panel);
            m_tabs.back()->caption.Attach(*m_container);
        }
    }
    uint32_t fill = 0;
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    static const GWString kEmpty;
    for (int32_t i = 0; i < static_cast<int32_t>(m_tabs.size()); ++i) {
        TabLook& look = *m_tabs[static_cast<size_t>(i)];
        const bool shown = control.IsVisible() && i < count;
        const GRect r = tabs->GetTabRect(i);
        const uint32_t tabFill = i == tabs->GetSelected() ? control.GetColours().selection : fill;
        ShowPanel(look.panel, r, tabFill, border, shown);
        look.caption.Show(shown ? tabs->GetCaption(i) : kEmpty, TextColourOf(control),
                          TextAlphaOf(control), kTextCentre, CentreX(r), CentreY(r), shown);
    }
}
