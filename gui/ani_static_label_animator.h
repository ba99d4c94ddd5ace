#pragma once
// GAniStaticLabelAnimator: the look of a static label played by a keyframe animation. It
// holds the label animator and a listener on it; the listener clears the busy flag when the
// animation reaches the key frame that ends a state ("stAppearEnd", "stNormalEnd",
// "stDisappearEnd", "stDissabledEnd" or "stEnabledEnd"), which is how the dialog learns
// that the label's appear or disappear animation is over. Owns the animator and the
// listener. Main thread only.

#include <cstdint>

#include "graphics/animation/cfg_keyframe_animator.h"

class GAniStaticLabelAnimator;

// Reports of one animator to one label animator; reports of any other animator are ignored.
class GAniStaticLabelListener : public GKeyFrameListener {
public:
    explicit GAniStaticLabelListener(GAniStaticLabelAnimator& owner) : m_owner(owner) {}
    void OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame, int32_t index) override;

private:
    GAniStaticLabelAnimator& m_owner;
};

class GAniStaticLabelAnimator {
public:
    GAniStaticLabelAnimator();
    GAniStaticLabelAnimator(const GAniStaticLabelAnimator&) = delete;
    GAniStaticLabelAnimator& operator=(const GAniStaticLabelAnimator&) = delete;
    virtual ~GAniStaticLabelAnimator() = default;

    GLabelKeyFrameAnimator& GetAnimator() { return m_animator; }
    GKeyFrameListener& GetListener() { return m_listener; }
    bool IsBusy() const { return m_busy; }
    // Set while a state's animation plays; the end key frame clears it.
    void SetBusy(bool busy) { m_busy = busy; }

private:
    GLabelKeyFrameAnimator m_animator;
    GAniStaticLabelListener m_listener;
    bool m_busy = false;
};

// Whether a key frame's label ends a state's animation.
bool IsStateEndLabel(const GKeyFrame& keyFrame);
