#pragma once
// The game's window states, variants of the GUI's dialog states: a window slides down from
// above the screen or fades in as it appears, plays a wait animation while it waits, and
// fades out as it disappears. Each moves or fades only the clips the window had when the
// state began, and redraws what changed from the window's first clip each step. Main thread
// only.

#include <cstdint>
#include <vector>

#include "gui/dialog_states.h"

// The global alpha of a window's clips during a fade. The clips are switched to the faded
// variants of their draw modes (a clip's alpha then runs up to 255; a clip faded already
// keeps its own alpha as the top) and put back as they were by Restore. Clips the window has
// since taken out of the list are left alone.
class GWindowFade {
public:
    void Begin(GDialog& dialog);
    // level 0 (nothing shown) to 255 (as the clips were).
    void SetLevel(GDialog& dialog, int level);
    void Restore(GDialog& dialog);

private:
    struct Saved {
        GClip* clip;
        uint8_t drawMode;
        uint8_t alpha;
        uint8_t top;
    };
    template <class Apply>
    void ForEachLive(GDialog& dialog, Apply apply);
    std::vector<Saved> m_saved;
};

// Starts with the window's clips one screen height higher and moves them down into place
// over durationMs.
class GAppearStateMovingDown : public GDialogAppearState {
public:
    GAppearStateMovingDown(GDialog& dialog, int durationMs) : GDialogAppearState(dialog, durationMs)
    {
    }
    void OnBeginState() override;
    int OnUpdate(int elapsedMs) override;
    void FinishState() override;
    // Pixels the clips are still above their place.
    int GetLift() const { return m_lift; }

protected:
    void Redraw() override;

private:
    // Moves the clips so that they stand lift pixels above their place.
    void LiftTo(int lift);
    std::vector<GClip*> m_clips;
    int m_height = 0;
    int m_lift = 0;
};

// Fades the window in from nothing over durationMs.
class GAppearStateAlpha : public GDialogAppearState {
public:
    GAppearStateAlpha(GDialog& dialog, int durationMs) : GDialogAppearState(dialog, durationMs) {}
    void OnBeginState() override;
    int OnUpdate(int elapsedMs) override;
    void FinishState() override;

protected:
    void Redraw() override;

private:
    GWindowFade m_fade;
};

// Fades the window out over durationMs; then it may be deleted.
class GDisappearStateAlpha : public GDialogDisappearState {
public:
    GDisappearStateAlpha(GDialog& dialog, int durationMs)
        : GDialogDisappearState(dialog, durationMs)
    {
    }
    void OnBeginState() override;
    int OnUpdate(int elapsedMs) override;

private:
    GWindowFade m_fade;
};

// Waits as GDialogWaitState does while the animation clip (observed; may be null) pulses:
// it is shown for the wait, its global alpha swinging between full and half once per
// periodMs, and put back as it was when the wait ends.
class GWaitAnimationWaitState : public GDialogWaitState {
public:
    static constexpr int kDefaultPeriodMs = 1000;

    GWaitAnimationWaitState(GDialog& dialog, GClip* animation, int timeoutMs = -1,
                            std::function<bool()> done = {}, int periodMs = kDefaultPeriodMs);
    void OnBeginState() override;
    int OnUpdate(int elapsedMs) override;
    void OnEndState() override;

private:
    GClip* m_animation;
    int m_periodMs;
    uint8_t m_savedMode = 0;
    uint8_t m_savedAlpha = 255;
    bool m_savedVisible = false;
};

// The disappearance that follows a wait: the wait animation is hidden, then the window fades out.
class GWaitAnimationDisappearState : public GDisappearStateAlpha {
public:
    GWaitAnimationDisappearState(GDialog& dialog, GClip* animation, int durationMs)
        : GDisappearStateAlpha(dialog, durationMs), m_animation(animation)
    {
    }
    void OnBeginState() override;

private:
    GClip* m_animation;
};
