#pragma once
// GDialog: a window of the GUI, a form on the application's stack drawn through its own clip
// container. Its clips sit at the end of the shared render list, from the index the list had
// when the dialog was made; the dialog takes them out again when it goes. What it does each
// frame is up to its current state (gui/dialog_states.h): appear, normal, wait, disappear and
// finally the can-delete state, after which the form stack deletes it. Every state announces
// its label ("stAppear") when it begins and the label's "End" twin when it ends, to the
// dialog's state listeners (the controls' animators), which may keep a state going while busy.
//
// Input reaches the dialog through the form stack's slots; the dialog hands each event to its
// current state, whose default passes it on to the controls: mouse events to the control
// under the cursor (or, while the left button is held, to the control the press started on),
// keys to the focused control, and Tab / Shift+Tab move the focus when the focused control
// does not take them. A control reports clicks to OnControlClick, which queues the control's
// "OnClick" command list and then tells the dialog's control listeners.
//
// Owns its state, its controls and its control listeners; observes the application, the GUI
// system and its state listeners. Main thread only.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "graphics/scene/clip_container.h"
#include "gui/form.h"

class GBaseControl;
class GControlListener;
class GDialog;
class GDialogStateListener;
class GFormStackApplication;
class GGuiSystem;

class GDialogState {
public:
    explicit GDialogState(GDialog& dialog) : m_dialog(dialog) {}
    GDialogState(const GDialogState&) = delete;
    GDialogState& operator=(const GDialogState&) = delete;
    virtual ~GDialogState() = default;

    virtual void OnBeginState() {}
    // When another state takes over (not when the dialog is destroyed).
    virtual void OnEndState() {}
    // One frame; elapsedMs since the previous one. 1 while the dialog lives on.
    virtual int OnUpdate(int elapsedMs) = 0;

    // The dialog's input. By default each goes on to the controls (GDialog::Route...); a
    // state that must not let the user act overrides them. 1 when something used the event.
    virtual int OnKeyDown(int32_t key);
    virtual int OnKeyUp(int32_t key) { return 0; }
    virtual int OnChar(int32_t character) { return 0; }
    virtual int OnLButtonDown(int32_t x, int32_t y);
    virtual int OnLButtonUp(int32_t x, int32_t y);
    virtual int OnLButtonDblClk(int32_t x, int32_t y);
    virtual int OnLButtonDrag(int32_t x, int32_t y);
    virtual int OnMouseMove(int32_t x, int32_t y);
    virtual int OnRButtonDown(int32_t x, int32_t y) { return 0; }
    virtual int OnRButtonUp(int32_t x, int32_t y) { return 0; }

protected:
    GDialog& m_dialog;
};

class GDialog : public GForm, public GClipContainer {
public:
    GDialog(GFormStackApplication* application, GGuiSystem* system);
    ~GDialog() override;

    // Ties the container to the GUI system's back buffer, store and lists (GClipContainer::Init,
    // which runs OnInit) and starts the appear state. The result of OnInit.
    int Create(int appearMs = 0);
    // The same with the dialog's own appear state (null: the plain one of 0 ms).
    int Create(std::unique_ptr<GDialogState> appearState);

    // GForm: advances the controls and the clips, then the current state.
    int Update(int elapsedMs) override;
    using GClipContainer::Update; // the clip pass it runs first
    // A dialog that comes back to the top (the one above it has gone) is drawn whole again.
    void Activate() override;
    bool CanDelete() const override { return m_canDelete; }
    // In its disappear state or finished.
    bool IsClosing() const override;
    // Starts the dialog's disappearance ("cmDisappearDialog"); the plain one is a disappear
    // state of 0 ms. A dialog already closing goes on as it was.
    virtual void Disappear();

    // Input slots: each goes to the current state (with none, straight to the controls).
    int OnKeyDown(int32_t key) override;
    int OnKeyUp(int32_t key) override;
    int OnChar(int32_t character) override;
    int OnLButtonDown(int32_t x, int32_t y) override;
    int OnLButtonUp(int32_t x, int32_t y) override;
    int OnLButtonDblClk(int32_t x, int32_t y) override;
    int OnLButtonDrag(int32_t x, int32_t y) override;
    int OnMouseMove(int32_t x, int32_t y) override;
    int OnRButtonDown(int32_t x, int32_t y) override;
    int OnRButtonUp(int32_t x, int32_t y) override;

    // The default road of each event to the controls (see the header's comment).
    int RouteKeyDown(int32_t key);
    int RouteLButtonDown(int32_t x, int32_t y);
    int RouteLButtonUp(int32_t x, int32_t y);
    int RouteLButtonDblClk(int32_t x, int32_t y);
    int RouteLButtonDrag(int32_t x, int32_t y);
    int RouteMouseMove(int32_t x, int32_t y);

    // Takes the control, puts its clips after the dialog's clips so far and returns it.
    GBaseControl* AddControl(std::unique_ptr<GBaseControl> control);
    int GetControlCount() const { return static_cast<int>(m_controls.size()); }
    GBaseControl* GetControl(int index) const;
    // The first control of the name, or null.
    GBaseControl* FindControl(std::string_view name) const;
    // The last added control that takes input and covers the point, or null.
    GBaseControl* ControlAt(int32_t x, int32_t y) const;
    void AddControlListener(std::unique_ptr<GControlListener> listener);

    // A control's click: its "OnClick" list goes to the GUI system's queue, then every
    // listener hears of it, in the order they were added.
    virtual void OnControlClick(GBaseControl& control);
    // A control stopped taking input (disabled or hidden): it loses focus, hover and capture.
    void OnControlLost(GBaseControl& control);

    // Null takes the focus away; a control that cannot be focused or takes no input is refused.
    void SetFocus(GBaseControl* control);
    GBaseControl* GetFocus() const { return m_focus; }
    // The next (step 1) or previous (step -1) control that can take the focus, wrapping around.
    void MoveFocus(int step);
    GBaseControl* GetHover() const { return m_hover; }
    GBaseControl* GetCapture() const { return m_capture; }
    // Some control's animator still plays a state's animation.
    bool IsBusy() const;
    // Marks every clip of the dialog as moved, redraws from the list's start into a zeroed
    // rectangle and presents the rectangle the flush leaves.
    void Repaint() override;

    // Redraws what changed and presents it. flag 0: from the dialog's first clip, presenting
    // only when something was dirty. Otherwise from the list's start, presenting the client
    // bounds when nothing was dirty, else the union of the dirty rectangles.
    void Present(int flag);

    // Ends the current state (OnEndState), replaces it (null leaves none) and begins the new
    // one.
    void SetState(std::unique_ptr<GDialogState> state);
    // Hands the dialog to the form stack's deletion; set by the can-delete state.
    void MarkCanDelete() { m_canDelete = true; }
    // Ends a wait state now ("cmCancelWait"); other states go on. True when a wait ended.
    bool CancelWait();

    // Listeners are told each state label; they are observed and must be removed before
    // they go.
    void AddStateListener(GDialogStateListener* listener);
    void RemoveStateListener(GDialogStateListener* listener);
    // Tells every listener; the states call it with their labels.
    virtual void OnStateLabel(const char* label);
    // True while a listener still plays what the current state waits for.
    bool IsStateBusy() const;
    GDialogState* GetState() const { return m_state.get(); }
    // The dialog's first index in the render list.
    int16_t GetFirstClip() const { return m_firstClip; }
    GFormStackApplication* GetApplication() const { return m_application; }
    GGuiSystem* GetSystem() const { return m_system; }

private:
    void SetHover(GBaseControl* control);

    GFormStackApplication* m_application; // observed
    GGuiSystem* m_system;                 // observed
    std::unique_ptr<GDialogState> m_state;
    // A state may replace itself: the old one lives until its OnUpdate returns.
    std::unique_ptr<GDialogState> m_retired;
    std::vector<GDialogStateListener*> m_listeners; // observed
    int16_t m_firstClip = 0;
    bool m_canDelete = false;
    bool m_activated = false;
    std::vector<std::unique_ptr<GBaseControl>> m_controls; // in focus order
    std::vector<std::unique_ptr<GControlListener>> m_controlListeners;
    GBaseControl* m_focus = nullptr;   // observed
    GBaseControl* m_hover = nullptr;   // observed
    GBaseControl* m_capture = nullptr; // the control the left press started on, observed
};
