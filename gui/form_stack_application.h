#pragma once
// GFormStackApplication: the application that keeps a stack of forms. Input goes to the top
// form; each frame tick removes the forms that have finished, activates the new top form,
// runs the GUI's queued commands and lets the top form update and draw itself. The clipboard
// pseudo keys move text between the system clipboard and the GUI system's clipboard buffer:
// paste fills the buffer before the form sees the key; copy and cut empty it, let the focused
// control fill it, and publish what it left (nothing left: the system clipboard stays).
// A form may also be opened once the stack has settled (OpenWhenSettled): its maker runs on the
// first frame tick on which no form is closing. A dialog's clips end the shared render list
// from the index it was made at, and a dialog deleted takes every clip from there on out of
// the list; so a dialog is never made above one that is about to be deleted.
// Owns its forms and the makers of the forms waiting to open. Main thread only.

#include <functional>
#include <memory>
#include <vector>

#include "foundation/app/application.h"

class GForm;

class GFormStackApplication : public GApplication {
public:
    GFormStackApplication();
    ~GFormStackApplication() override;

    void OnFrame(int elapsedMs) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDblClk(int x, int y) override;
    void OnRButtonDblClk(int x, int y) override;
    void OnLButtonDrag(int x, int y) override;
    void OnKeyDown(int key) override;
    void OnKeyUp(int key) override;
    void OnChar(int code) override;
    void OnActivate() override;
    void OnDeactivate() override;
    void OnMouseMove(int x, int y) override;
    void OnRButtonDown(int x, int y) override;
    void OnRButtonUp(int x, int y) override;

    // The stack, bottom first. Push takes ownership; null is ignored.
    void PushForm(std::unique_ptr<GForm> form);
    GForm* GetTopForm() const;
    int GetFormCount() const { return static_cast<int>(m_forms.size()); }
    GForm* GetForm(int index) const;
    // Deletes every form, top first, and forgets the forms waiting to open.
    void RemoveAllForms();
    // Opens the form make returns (null opens nothing) at once when no form is closing, else
    // on the first frame tick after the closing ones have gone. Makers run in the order given.
    void OpenWhenSettled(std::function<std::unique_ptr<GForm>()> make);
    int GetWaitingFormCount() const { return static_cast<int>(m_waiting.size()); }
    // Some form on the stack is closing.
    bool HasClosingForm() const;

    // System clipboard -> GUI clipboard buffer, and back. Return the characters moved.
    int ReadClipboard();
    int WriteClipboard();

protected:
    // Removes the finished forms and activates the top form when it changed.
    void RemoveFinishedForms();
    // Activates the top form when it is not the one activated last.
    void ActivateTopForm();
    // Runs the waiting makers while no form is closing.
    void OpenWaitingForms();
    // Just before a waiting form is made: clips the application keeps at the end of the render
    // list (over every form) must be taken out, or the new form would begin after them.
    virtual void OnFormOpening() {}

private:
    std::vector<std::unique_ptr<GForm>> m_forms;
    std::vector<std::function<std::unique_ptr<GForm>()>> m_waiting;
    GForm* m_activeForm = nullptr; // the form last activated, observed
};
