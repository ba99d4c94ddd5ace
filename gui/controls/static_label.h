#pragma once
// GStaticLabel: a text of the dialog in a bitmap font, left, centred or right in its
// rectangle. It takes no input. Its look is GStStaticLabelAnimator by default, or a keyframe
// animation (GAniStaticLabelAnimator) whose busy flag tells the dialog that the label's
// appear animation still plays. Main thread only.

#include "gui/controls/base_control.h"

class GBmpFont;

enum class GTextAlign : uint8_t { Left = 0, Centre = 1, Right = 2 };

class GStaticLabel : public GBaseControl {
public:
    GStaticLabel(std::string name, GBmpFont* font, GTextAlign align);
    bool TakesMouse() const override { return false; }
    GTextAlign GetAlign() const { return m_align; }

private:
    GTextAlign m_align;
};
