#include "gui/controls/base_control.h"

#include "gui/dialog.h"
#include "gui/form_stack_application.h"

GBaseControl::GBaseControl(std::string name) : m_name(std::move(name)) {}

GBaseControl::~GBaseControl()
{
    Detach();
}

void GBaseControl::SetRect(const GRect& rect)
{
    m_rect = rect;
    Changed();
}

bool GBaseControl::Contains(int32_t x, int32_t y) const
{
    return !m_rect.IsEmpty() && x >= m_rect.left && x <= m_rect.right && y >= m_rect.top &&
           y <= m_rect.bottom;
}

void GBaseControl::SetEnabled(bool enabled)
{
    SetInputFlag(m_enabled, enabled);
}

void GBaseControl::SetVisible(bool visible)
{
    SetInputFlag(m_visible, visible);
}

void GBaseControl::SetInputFlag(bool& flag, bool value)
{
    if (value == flag)
        return;
    flag = value;
    if (!value) {
        m_hovered = false;
        m_pressed = false;
    }
    Changed();
    if (!TakesInput() && m_dialog)
        m_dialog->OnControlLost(*this);
}

GControlLook GBaseControl::GetLook() const
{
    if (!m_enabled)
        return GControlLook::Disabled;
    if (m_pressed && m_hovered)
        return GControlLook::Pressed;
    if (m_hovered)
        return GControlLook::Hover;
    return GControlLook::Normal;
}

void GBaseControl::SetText(const GWString& text)
{
    m_text = text;
    Changed();
}

void GBaseControl::SetAnimator(std::unique_ptr<GCAnimator> animator)
{
    if (m_animator && m_dialog)
        m_animator->Detach(*m_dialog);
    m_animator = std::move(animator);
    if (m_animator && m_dialog)
        m_animator->Attach(*m_dialog);
    Changed();
}

void GBaseControl::Attach(GDialog& dialog)
{
    Detach();
    m_dialog = &dialog;
    if (m_animator)
        m_animator->Attach(dialog);
    Changed();
}

void GBaseControl::Detach()
{
    if (m_animator && m_dialog)
        m_animator->Detach(*m_dialog);
    m_dialog = nullptr;
}

int GBaseControl::OnLButtonDown(int32_t, int32_t)
{
    m_pressed = true;
    Changed();
    return 1;
}

int GBaseControl::OnLButtonUp(int32_t x, int32_t y)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    Changed();
    if (wasPressed && Contains(x, y) && TakesInput())
        OnClicked(x, y);
    return 1;
}

void GBaseControl::SetHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    Changed();
}

void GBaseControl::SetFocused(bool focused)
{
    if (focused == m_focused)
        return;
    m_focused = focused;
    Changed();
}

void GBaseControl::Update(int elapsedMs)
{
    if (m_animator)
        m_animator->Update(elapsedMs);
}

void GBaseControl::Changed()
{
    if (m_animator)
        m_animator->Refresh(*this);
}

void GBaseControl::Report()
{
    if (m_dialog)
        m_dialog->OnControlClick(*this);
}

GApplication* GBaseControl::GetApplication() const
{
    return m_dialog ? m_dialog->GetApplication() : nullptr;
}

GGuiSystem* GBaseControl::GetSystem() const
{
    return m_dialog ? m_dialog->GetSystem() : nullptr;
}
