#pragma once
// GCAnimator: the look of one control. A control knows its state (enabled, hovered, pressed,
// focused, its text and value); its animator knows how that state looks: it owns the clips
// that show the control, puts them into the dialog's container when the control joins the
// dialog, takes them out when it leaves, and redraws them from the control's state on
// Refresh. Animators that play an animation report whether it is still running (IsBusy), so
// whoever waits for a dialog's controls can ask. Owned by its control. Main thread only.

class GBaseControl;
class GClipContainer;

class GCAnimator {
public:
    GCAnimator() = default;
    GCAnimator(const GCAnimator&) = delete;
    GCAnimator& operator=(const GCAnimator&) = delete;
    virtual ~GCAnimator() = default;

    // Adds the animator's clips to the container, in drawing order; Detach removes them.
    virtual void Attach(GClipContainer& container) {}
    virtual void Detach(GClipContainer& container) {}
    // The control's state changed: show it.
    virtual void Refresh(const GBaseControl& control) {}
    // Once per frame before the dialog draws.
    virtual void Update(int elapsedMs) {}
    // True while an animation the animator plays has not reached its end.
    virtual bool IsBusy() const { return false; }
};
