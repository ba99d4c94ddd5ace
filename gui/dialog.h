#pragma once
// GDialog: a window of the GUI, a form on the application's stack drawn through its own clip
// container. Its clips sit at the end of the shared render list, from the index the list had
// when the dialog was made; the dialog takes them out again when it goes. What it does each
// frame is up to its current state: the appear state holds back every queued command below
// the unfiltered priority while the dialog comes in, the normal state redraws what changed.
// Owns its state; observes the application and the GUI system. Main thread only.

#include <cstdint>
#include <memory>

#include "graphics/scene/clip_container.h"
#include "gui/form.h"

class GDialog;
class GFormStackApplication;
class GGuiSystem;

class GDialogState {
public:
    explicit GDialogState(GDialog& dialog) : m_dialog(dialog) {}
    GDialogState(const GDialogState&) = delete;
    GDialogState& operator=(const GDialogState&) = delete;
    virtual ~GDialogState() = default;

    virtual void OnBeginState() {}
    // One frame; elapsedMs since the previous one. 1 while the dialog lives on.
    virtual int OnUpdate(int elapsedMs) = 0;

protected:
    GDialog& m_dialog;
};

// Redraws the dirty part of the screen and presents it.
class GDialogNormalState : public GDialogState {
public:
    using GDialogState::GDialogState;
    int OnUpdate(int elapsedMs) override;
};

// Shows the dialog whole on its first frame and holds the command filter for durationMs
// (at least that one frame), then clears the filter and hands over to the normal state.
class GDialogAppearState : public GDialogState {
public:
    GDialogAppearState(GDialog& dialog, int durationMs) : GDialogState(dialog), m_remainingMs(durationMs) {}
    void OnBeginState() override;
    int OnUpdate(int elapsedMs) override;
    // Ends the hold now: clears the filter and switches to the normal state.
    void FinishState();

private:
    int m_remainingMs;
    bool m_shown = false;
};

class GDialog : public GForm, public GClipContainer {
public:
    GDialog(GFormStackApplication* application, GGuiSystem* system);
    ~GDialog() override;

    // Ties the container to the GUI system's back buffer, store and lists (GClipContainer::Init,
    // which runs OnInit) and starts the appear state. The result of OnInit.
    int Create(int appearMs = 0);

    // GForm: advances the clips, then the current state.
    int Update(int elapsedMs) override;
    using GClipContainer::Update; // the clip pass it runs first
    void Activate() override { GClipContainer::OnActivate(); }
    // Marks every clip of the dialog as moved, redraws from the list's start into a zeroed
    // rectangle and presents the rectangle the flush leaves.
    void Repaint() override;

    // Redraws what changed and presents it. flag 0: from the dialog's first clip, presenting
    // only when something was dirty. Otherwise from the list's start, presenting the client
    // bounds when nothing was dirty, else the union of the dirty rectangles.
    void Present(int flag);

    // Replaces the current state (null leaves none) and begins the new one.
    void SetState(std::unique_ptr<GDialogState> state);
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
    int16_t m_firstClip = 0;
};
