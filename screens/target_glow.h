#pragma once
// GTargetGlow: the look of one target cell. A key-frame animation ("target_glow.cfg") plays on
// the cell's clip: a glow that loops while the target waits ("stNormal" to
// "st_GlowNormalEnd2"), a flare when it burns ("st_GlowBurn" to "st_GlowNormalEnd3") and the
// burned cell it settles on ("st_GlowEmptyEnd", where the animation waits for good). A burn
// asked for starts only from the loop, so a target told twice flares once; the flare's end
// and the settling are reported once each, so the panel can count the target and the level's
// end can wait for every burned target to have settled. Observes its clip. Main thread only.

#include <cstdint>

#include "graphics/animation/keyframe_animator.h"

class GClip;

class GTargetGlow {
public:
    // The packed animation (GKeyFrameAnimator::SaveToMemory of the loaded description).
    // False when it cannot be read.
    bool Start(GClip& clip, const uint8_t* animation, uint32_t size);
    void RequestBurn() { m_burnRequested = true; }
    // One tick. True once, on the tick the flare has ended.
    bool Tick();
    // The target has burned and its cell shows the burned picture for good.
    bool IsSettled() const { return m_animator.IsAtKeyFrame(kSettled) != 0; }
    // A burn is asked for or plays, and has not settled yet.
    bool IsBurning() const { return m_burnRequested || m_flaring || (m_burned && !IsSettled()); }
    const GKeyFrameAnimator& GetAnimator() const { return m_animator; }

    static constexpr const char* kLoopStart = "stNormal";
    static constexpr const char* kLoopEnd = "st_GlowNormalEnd2";
    static constexpr const char* kBurn = "st_GlowBurn";
    static constexpr const char* kFlareEnd = "st_GlowNormalEnd3";
    static constexpr const char* kSettled = "st_GlowEmptyEnd";

private:
    bool InLoop() const;

    GKeyFrameAnimator m_animator;
    bool m_burnRequested = false;
    bool m_flaring = false;
    bool m_burned = false;
};
