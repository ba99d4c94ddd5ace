#pragma once
// GDialog: a window of the GUI, a form on the application's stack drawn through its own clip
// container. Its clips sit at the end of the shared render list, from the index the list had
// when the dialog was made; the dialog takes them out again when it goes. What it does each
// frame is up to its current state (gui/dialog_states.h): appear, normal, wait, disappear and
// finally the can-delete state, after which the form stack deletes it. Every state announces
// its label ("stAppear") when it begins and the label's "End" twin when it ends, to the
// dialog's state listeners (the controls' animators), which may keep a state going while busy.
// Owns its state; observes the application, the GUI system and its listeners. Main thread only.

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/scene/clip_container.h"
#include "gui/form.h"

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

    // GForm: advances the clips, then the current state.
    int Update(int elapsedMs) override;
    using GClipContainer::Update; // the clip pass it runs first
    // A dialog that comes back to the top (the one above it has gone) is drawn whole again.
    void Activate() override;
    bool CanDelete() const override { return m_canDelete; }
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
    GFormStackApplication* m_application; // observed
    GGuiSystem* m_system;                 // observed
    std::unique_ptr<GDialogState> m_state;
    // A state may replace itself: the old one lives until its OnUpdate returns.
    std::unique_ptr<GDialogState> m_retired;
    std::vector<GDialogStateListener*> m_listeners; // observed
    int16_t m_firstClip = 0;
    bool m_canDelete = false;
    bool m_activated = false;
};
