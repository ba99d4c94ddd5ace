#include "gui/ani_static_label_animator.h"

#include "foundation/cfg/cfg_node.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/clip_fade.h"
#include "graphics/store/graphics_resources.h"

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

int GAniStaticLabelAnimator::Play(const GCfgNode& file, const char* name, GGraphicsResources* store,
                                  int32_t x, int32_t y)
{
    m_playing = false;
    m_busy = false;
    if (!name || !m_animator.LoadAndCheck(GCfgObjectCursor(file.FindObjectList(name), 0), store))
        return 0;
    m_clip.SetDrawMode(dmImageFormat);
    m_animator.SetClip(&m_clip);
    m_animator.SetOffset(FixedFromInt(x), FixedFromInt(y));
    m_animator.SetListener(&m_listener);
    m_animator.SetState(kStatePlaying);
    for (uint32_t i = 0; i < m_animator.GetKeyFrameCount(); ++i)
        if (const GKeyFrame* keyFrame = m_animator.GetKeyFrame(i);
            keyFrame && IsStateEndLabel(*keyFrame))
            m_busy = true;
    m_animator.ApplyFrame();
    MakeClipAlphaBlended(m_clip, store);
    m_playing = true;
    return 1;
}

void GAniStaticLabelAnimator::Attach(GClipContainer& container)
{
    container.AddClip(&m_clip);
}

void GAniStaticLabelAnimator::Detach(GClipContainer& container)
{
    container.RemoveClip(&m_clip);
}

void GAniStaticLabelAnimator::Update(int)
{
    if (m_playing)
        m_animator.ApplyFrame();
}
