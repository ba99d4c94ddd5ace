#include "gui/controls/button.h"

#include "foundation/app/key_codes.h"
#include "gui/controls/st_animators.h"

bool IsPressKey(int32_t key)
{
    const GKeyCode code = VirtualKeyToKeyCode(key);
    return code == kKeyEnter || code == kKeyCentre;
}

GButton::GButton(std::string name, GBmpFont* font) : GBaseControl(std::move(name))
{
    SetAnimator(std::make_unique<GStButtonAnimator>(font));
}

int GButton::OnKeyDown(int32_t key)
{
    if (!IsPressKey(key))
        return 0;
    Report();
    return 1;
}

GCheckBox::GCheckBox(std::string name, GBmpFont* font) : GBaseControl(std::move(name))
{
    SetAnimator(std::make_unique<GStCheckBoxAnimator>(font));
}

int GCheckBox::OnKeyDown(int32_t key)
{
    if (!IsPressKey(key))
        return 0;
    Toggle();
    return 1;
}

void GCheckBox::SetChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    Changed();
}

void GCheckBox::Toggle()
{
    SetChecked(!m_checked);
    Report();
}
