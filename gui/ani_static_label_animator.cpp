#include "gui/ani_static_label_animator.h"

bool IsStateEndLabel(const GKeyFrame& keyFrame)
{
    static const char* const kEnds[] = {"stDisappearEnd", "stNormalEnd", "stAppearEnd",
                                        "stDissabledEnd", "stEnabledEnd"};
    for (const char* end : kEnds) {
        if (keyFrame.LabelEquals(end))
            return true;
    }
    return false;
}

void GAniStaticLabelListener::OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame,
                                         int32_t index)
{
    if (animator != &m_owner.GetAnimator() || !keyFrame)
        return;
    if (IsStateEndLabel(*keyFrame))
        m_owner.SetBusy(false);
}

GAniStaticLabelAnimator::GAniStaticLabelAnimator() : m_listener(*this)
{
    m_animator.SetListener(&m_listener);
}
