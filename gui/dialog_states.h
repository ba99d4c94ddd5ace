#pragma once
// The states a dialog goes through: it appears (holding back every queued command below the
// unfiltered priority while it comes in), lives in its normal state, may wait for something
// (until "cmCancelWait"), disappears and ends in the can-delete state, after which the form
// stack deletes it. Each state announces its label when it begins and the label's "End" twin
// when another state takes over; the dialog's listeners (the controls' animators) play the
// matching animations and may keep a timed state going until theirs has ended.
// Every state that draws redraws what changed from the dialog's first clip and presents it.
// Main thread only.

#include <functional>
#include <memory>

#include "gui/dialog.h"

// The labels, shared with the key-frame animations that play them.
constexpr const char* kStateAppear = "stAppear";
constexpr const char* kStateAppearEnd = "stAppearEnd";
constexpr const char* kStateNormal = "stNormal";
constexpr const char* kStateNormalEnd = "stNormalEnd";
constexpr const char* kStateWait = "stWait";
constexpr const char* kStateWaitEnd = "stWaitEnd";
constexpr const char* kStateDisappear = "stDisappear";
constexpr const char* kStateDisappearEnd = "stDisappearEnd";

// What a dialog tells about its states. The defaults do nothing and are never busy.
class GDialogStateListener {
public:
    GDialogStateListener() = default;
    GDialogStateListener(const GDialogStateListener&) = delete;
    GDialogStateListener& operator=(const GDialogStateListener&) = delete;
    virtual ~GDialogStateListener() = default;

    // A state began (its label) or ended (the "End" twin).
    virtual void OnDialogState(GDialog& dialog, const char* label) {}
    // True while the listener still plays the current state's animation.
    virtual bool IsBusy() const { return false; }
};

// A state with a label pair.
class GDialogLabelledState : public GDialogState {
public:
    GDialogLabelledState(GDialog& dialog, const char* label, const char* endLabel)
        : GDialogState(dialog), m_label(label), m_endLabel(endLabel)
    {
    }
    void OnBeginState() override;
    void OnEndState() override;
    const char* GetLabel() const { return m_label; }
    const char* GetEndLabel() const { return m_endLabel; }

protected:
    // Redraws what changed from the dialog's first clip; presents it when anything was dirty.
    virtual void Redraw() { m_dialog.Present(0); }

private:
    const char* m_label;
    const char* m_endLabel;
};

class GDialogNormalState : public GDialogLabelledState {
public:
    explicit GDialogNormalState(GDialog& dialog)
        : GDialogLabelledState(dialog, kStateNormal, kStateNormalEnd)
    {
    }
    int OnUpdate(int elapsedMs) override;
};

// A state that lasts durationMs (at least one frame) and, beyond that, while a listener is
// busy; then FinishState hands the dialog over to what follows.
class GDialogTimedState : public GDialogLabelledState {
public:
    GDialogTimedState(GDialog& dialog, const char* label, const char* endLabel, int durationMs)
        : GDialogLabelledState(dialog, label, endLabel), m_durationMs(durationMs)
    {
    }
    int OnUpdate(int elapsedMs) override;
    // Ends the state now.
    virtual void FinishState() = 0;

    int GetElapsed() const { return m_elapsedMs; }
    int GetDuration() const { return m_durationMs; }

protected:
    // Counts a frame's time (negative times count as 0).
    void AddElapsed(int elapsedMs);
    // How far the time has run, 0 to 256 (256 once the duration has passed or is not positive).
    int Progress() const;
    virtual bool IsOver() const;
    // The end of every frame: redraw, then finish when the state is over. Returns 1.
    int EndFrame();

private:
    int m_durationMs;
    int m_elapsedMs = 0;
};

// Shows the dialog whole on its first frame, holds the invoker's priority filter while it
// lasts and hands over to the normal state.
class GDialogAppearState : public GDialogTimedState {
public:
    GDialogAppearState(GDialog& dialog, int durationMs)
        : GDialogTimedState(dialog, kStateAppear, kStateAppearEnd, durationMs)
    {
    }
    // A dialog deleted while it appears does not leave the commands held.
    ~GDialogAppearState() override;
    void OnBeginState() override;
    void OnEndState() override;
    void FinishState() override;

protected:
    void Redraw() override;

private:
    void ReleaseFilter();
    bool m_holding = false;
    bool m_shown = false;
};

// Waits until done() holds, timeoutMs has passed (negative: no limit) or "cmCancelWait"
// cancels it; then the normal state.
class GDialogWaitState : public GDialogTimedState {
public:
    GDialogWaitState(GDialog& dialog, int timeoutMs = -1, std::function<bool()> done = {})
        : GDialogTimedState(dialog, kStateWait, kStateWaitEnd, timeoutMs), m_done(std::move(done))
    {
    }
    void FinishState() override;

protected:
    bool IsOver() const override;

private:
    std::function<bool()> m_done;
};

// Lasts durationMs (and while a listener is busy), then the can-delete state. The end of a
// disappear releases the priority filter as the end of an appear does.
class GDialogDisappearState : public GDialogTimedState {
public:
    GDialogDisappearState(GDialog& dialog, int durationMs)
        : GDialogTimedState(dialog, kStateDisappear, kStateDisappearEnd, durationMs)
    {
    }
    void OnEndState() override;
    void FinishState() override;
};

// The last state: the dialog draws nothing more and the form stack's next frame tick deletes it.
class GDialogCanDeleteState : public GDialogState {
public:
    using GDialogState::GDialogState;
    void OnBeginState() override { m_dialog.MarkCanDelete(); }
    int OnUpdate(int elapsedMs) override { return 0; }
};

// Clears the priority filter of the dialog's GUI system, when it has one.
void ReleasePriorityFilter(GDialog& dialog);
