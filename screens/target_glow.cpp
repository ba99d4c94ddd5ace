#include "screens/target_glow.h"

#include "graphics/scene/clip.h"

bool GTargetGlow::Start(GClip& clip, const uint8_t* animation, uint32_t size)
{
    m_burnRequested = m_flaring = m_burned = false;
    if (!animation || !m_animator.LoadFromMemory(animation, size))
        return false;
    m_animator.SetClip(&clip);
    // A freshly loaded animation drives every channel on its first frame, the position
    // included: its frames stand at 0, 0 and the offset puts them on the cell.
    m_animator.SetOffset(clip.GetX(), clip.GetY());
    m_animator.SetState(kStatePlaying);
    m_animator.MoveToKeyFrame(kLoopStart);
    return m_animator.IsAtKeyFrame(kLoopStart) != 0;
}

bool GTargetGlow::InLoop() const
{
    return m_animator.IsAtKeyFrame(kLoopStart) || m_animator.IsAtKeyFrame(kLoopEnd);
}

bool GTargetGlow::Tick()
{
    if (m_burnRequested && InLoop()) {
        m_burnRequested = false;
        m_flaring = true;
        m_burned = true;
        m_animator.MoveToKeyFrame(kBurn);
        return false;
    }
    m_animator.ApplyFrame();
    if (m_flaring && m_animator.IsAtKeyFrame(kFlareEnd)) {
        m_flaring = false;
        return true;
    }
    return false;
}
