#pragma once
// GForm: what the form-stack application asks of a form (a dialog or the game's main form):
// the input it forwards to the top form, the per-frame update, the can-delete state that
// lets the frame tick remove it, and activation when it becomes the top form. The defaults
// do nothing. Main thread only.

class GForm {
public:
    GForm() = default;
    GForm(const GForm&) = delete;
    GForm& operator=(const GForm&) = delete;
    virtual ~GForm() = default;

    virtual void OnLButtonDown(int x, int y) {}
    virtual void OnLButtonUp(int x, int y) {}
    virtual void OnLButtonDblClk(int x, int y) {}
    virtual void OnLButtonDrag(int x, int y) {}
    virtual void OnRButtonDown(int x, int y) {}
    virtual void OnRButtonUp(int x, int y) {}
    virtual void OnMouseMove(int x, int y) {}
    // A virtual key or a clipboard pseudo key (kKeyCopy, kKeyPaste, kKeyCut).
    virtual void OnKeyDown(int key) {}
    virtual void OnKeyUp(int key) {}
    virtual void OnChar(int code) {}
    virtual void OnActivate() {}
    virtual void OnDeactivate() {}

    // Advances and draws the form; elapsedMs since the previous frame tick.
    virtual int Update(int elapsedMs) { return 1; }
    // True once the form has finished and may be deleted by the frame tick.
    virtual bool CanDelete() const { return false; }
    // Called when the form becomes the top of the stack.
    virtual void Activate() {}
    // Redraws the whole form (after a change that dirty rectangles do not describe).
    virtual void Repaint() {}
};
