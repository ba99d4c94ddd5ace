#pragma once
// GControlListener: told of the clicks (and value changes) of a dialog's controls after the
// control's own "OnClick" command list has been queued, and of every frame. The game's windows
// identify the control by its name ("btnTimedMode") and act. Owned by the dialog. Main thread only.

class GBaseControl;
class GDialog;

class GControlListener {
public:
    GControlListener() = default;
    GControlListener(const GControlListener&) = delete;
    GControlListener& operator=(const GControlListener&) = delete;
    virtual ~GControlListener() = default;

    virtual void OnControlClick(GDialog& dialog, GBaseControl& control) {}
    // Every frame, before the dialog's state updates and draws: the controls may be made to
    // show what changed outside them.
    virtual void OnUpdate(GDialog& dialog) {}
};
