#pragma once
// GForm: what the form-stack application asks of a form (a dialog or the game's main form):
// the input it forwards to the top form (the slots of GInputSlots, which a form that is also a
// clip container shares with it), the per-frame update, the can-delete state that lets the
// frame tick remove it, and activation when it becomes the top form. The defaults do nothing.
// Main thread only.

#include "foundation/app/input_slots.h"

class GForm : public virtual GInputSlots {
public:
    GForm() = default;
    GForm(const GForm&) = delete;
    GForm& operator=(const GForm&) = delete;
    ~GForm() override = default;

    // Advances and draws the form; elapsedMs since the previous frame tick.
    virtual int Update(int elapsedMs) { return 1; }
    // True once the form has finished and may be deleted by the frame tick.
    virtual bool CanDelete() const { return false; }
    // True while the form is on its way out (disappearing, or finished): forms waiting to
    // open are held back until it has gone.
    virtual bool IsClosing() const { return false; }
    // Called when the form becomes the top of the stack.
    virtual void Activate() {}
    // Redraws the whole form (after a change that dirty rectangles do not describe).
    virtual void Repaint() {}
};
