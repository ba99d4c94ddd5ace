#pragma once
// GAniStaticLabelAnimator: the look of a static label played by a keyframe animation. It
// holds the label animator and a listener on it; the listener clears the busy flag when the
// animation reaches the key frame that ends a state ("stAppearEnd", "stNormalEnd",
// "stDisappearEnd", "stDissabledEnd" or "stEnabledEnd"), which is how the dialog learns
// that the label's appear or disappear animation is over. As a static label's animator it
// plays on a clip of its own and the dialog waits for it through GBaseControl::IsBusy. Owns
// the animator, the listener and that clip. Main thread only.

#include <cstdint>

#include "graphics/animation/cfg_keyframe_animator.h"
#include "graphics/scene/clip.h"
#include "gui/controls/animator.h"

class GCfgNode;
class GGraphicsResources;

class GAniStaticLabelAnimator;

// Reports of one animator to one label animator; reports of any other animator are ignored.
class GAniStaticLabelListener : public GKeyFrameListener {
public:
    explicit GAniStaticLabelListener(GAniStaticLabelAnimator& owner) : m_owner(owner) {}
    void OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame, int32_t index) override;

private:
    GAniStaticLabelAnimator& m_owner;
};

class GAniStaticLabelAnimator : public GCAnimator {
public:
    GAniStaticLabelAnimator();
    ~GAniStaticLabelAnimator() override = default;

    // Loads the named animation of a cfg file onto the animator's own clip, placed at (x, y)
    // (whole pixels), and starts it. The label is busy from here when the animation has a
    // key frame that ends a state (without one nothing would ever clear the flag). 1 when
    // loaded.
    int Play(const GCfgNode& file, const char* name, GGraphicsResources* store, int32_t x,
             int32_t y);
    void Attach(GClipContainer& container) override;
    void Detach(GClipContainer& container) override;
    // Advances the animation one frame while it plays.
    void Update(int elapsedMs) override;

    GLabelKeyFrameAnimator& GetAnimator() { return m_animator; }
    GKeyFrameListener& GetListener() { return m_listener; }
    GClip& GetClip() { return m_clip; }
    bool IsBusy() const override { return m_busy; }
    // Set while a state's animation plays; the end key frame clears it.
    void SetBusy(bool busy) { m_busy = busy; }

private:
    GLabelKeyFrameAnimator m_animator;
    GAniStaticLabelListener m_listener;
    GClip m_clip;
    bool m_busy = false;
    bool m_playing = false;
};

// Whether a key frame's label ends a state's animation.
bool IsStateEndLabel(const GKeyFrame& keyFrame);
