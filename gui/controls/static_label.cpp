#include "gui/controls/static_label.h"

#include "gui/controls/st_animators.h"

GStaticLabel::GStaticLabel(std::string name, GBmpFont* font, GTextAlign align)
    : GBaseControl(std::move(name)), m_align(align)
{
    SetAnimator(std::make_unique<GStStaticLabelAnimator>(font));
}
