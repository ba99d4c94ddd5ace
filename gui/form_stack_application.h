#pragma once
// GFormStackApplication: the application that keeps a stack of forms. Input goes to the top
// form; each frame tick removes the forms that have finished, activates the new top form,
// runs the GUI's queued commands and lets the top form update and draw itself. The clipboard
// pseudo keys move text between the system clipboard and the GUI system's clipboard buffer:
// paste fills the buffer before the form sees the key; copy and cut empty it, let the focused
// control fill it, and publish what it left (nothing left: the system clipboard stays).
// Owns its forms. Main thread only.

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
    // Deletes every form, top first.
    void RemoveAllForms();

    // System clipboard -> GUI clipboard buffer, and back. Return the characters moved.
    int ReadClipboard();
    int WriteClipboard();

protected:
    // Removes the finished forms and activates the top form when it changed.
    void RemoveFinishedForms();
    // Activates the top form when it is not the one activated last.
    void ActivateTopForm();

private:
    std::vector<std::unique_ptr<GForm>> m_forms;
    GForm* m_activeForm = nullptr; // the form last activated, observed
};
