#pragma once
// GGameApplication: the game's application. It builds the game on top of the form-stack
// application: its initialisation starts the game system (GUI, data, audio) and the first
// screen, its exit saves what the player has done (only when the game was started, so a
// failed start never writes over the player's files), and its frame tick runs the form stack
// and then the game's mouse cursor. Alt+Enter toggles full screen; losing the focus in full
// screen minimises the window. Created and deleted by the application main. Main thread only.

#include <memory>

#include "graphics/scene/clip.h"
#include "gui/form_stack_application.h"

class GGameGuiSystem;
class GIntroDialog;

class GGameApplication : public GFormStackApplication {
public:
    GGameApplication();
    ~GGameApplication() override;

    int OnInit() override;
    // Draws the first screen's first frame, so the window never appears black.
    void OnBeforeShow() override;
    void OnExit() override;
    void OnFrame(int elapsedMs) override;
    void OnKeyDown(int key) override;
    void OnActivate() override;
    void OnDeactivate() override;

    // True once OnInit succeeded.
    bool IsGameStarted() const { return m_gameStarted; }
    GGameGuiSystem* GetGameSystem() const { return m_system.get(); }
    // The first screen while it is on the stack, else null.
    GIntroDialog* GetIntroDialog() const { return m_intro; }

protected:
    // Writes the player's data; called by OnExit only after a successful OnInit.
    virtual void SavePlayerData();

    // The game's drawn mouse cursor: its two clips, hot-spot offsets in pixels, last drawn
    // positions (-256: not drawn yet), state flags and a counter that the cursor handling owns.
    GClip m_cursorClips[2];
    int m_cursorHotX = -5;
    int m_cursorHotY = 5;
    int m_cursorX = -256;
    int m_cursorY = -256;
    int m_cursorFlags[3] = {0, 0, 0};
    int m_cursorCounter = 60;

private:
    // Forms draw through the system's lists: they go first.
    void EndGame();

    std::unique_ptr<GGameGuiSystem> m_system;
    GIntroDialog* m_intro = nullptr; // owned by the form stack
    bool m_gameStarted = false;
};
