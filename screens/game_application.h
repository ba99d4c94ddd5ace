#pragma once
// GGameApplication: the game's application. It builds the game on top of the form-stack
// application: its initialisation starts the game system (GUI, data, audio) and the first
// screen, its exit saves what the player has done (only when the game was started, so a
// failed start never writes over the player's files) and shuts the online high-score client
// down, and its frame tick runs the form stack and then the game's mouse cursor: the system's
// pointer stays hidden and the game draws its own picture (normal, or pressed while the left
// button is held) into the back buffer at the mouse, on top of every screen, and takes it
// away when the mouse leaves the window. Alt+Enter toggles full screen; losing the focus in
// full screen minimises the window. Created and deleted by the application main. Main thread
// only.

#include <memory>

#include "graphics/scene/clip.h"
#include "graphics/scene/clip_container.h"
#include "gui/form_stack_application.h"

class GGameGuiSystem;
class GIntroDialog;

class GGameApplication : public GFormStackApplication {
public:
    GGameApplication();
    ~GGameApplication() override;

    int OnInit() override;
    // Draws the first screen's first frame, so the window never shows an undrawn buffer.
    void OnBeforeShow() override;
    void OnExit() override;
    void OnFrame(int elapsedMs) override;
    void OnKeyDown(int key) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void OnActivate() override;
    void OnDeactivate() override;

    // The store names of the cursor pictures.
    static constexpr const char* kCursorPicture = "CURSOR";
    static constexpr const char* kCursorPressedPicture = "CURSOR_PRESSED";
    // The cursor clip drawn now (0 normal, 1 pressed), or -1 while none is shown.
    int GetShownCursor() const;

    // True once OnInit succeeded.
    bool IsGameStarted() const { return m_gameStarted; }
    GGameGuiSystem* GetGameSystem() const { return m_system.get(); }
    // The first screen while it is on the stack, else null.
    GIntroDialog* GetIntroDialog() const;
    // True once the intro has handed over to the main menu.
    bool IsMainMenuStarted() const { return m_mainMenuStarted; }

protected:
    // Writes the player's data; called by OnExit only after a successful OnInit.
    virtual void SavePlayerData();

    // The game's drawn mouse cursor: its two clips, hot-spot offsets in pixels (the pictures'
    // centre, kCursorAnchor, goes to the mouse position plus these), the mouse position it was
    // last drawn at (-256: not shown), state flags (CursorFlag) and a counter that the cursor
    // handling owns.
    static constexpr uint8_t kCursorAnchor = 1;
    enum CursorFlag { kCursorPressed = 0, kCursorReady = 1, kCursorShown = 2 };
    GClip m_cursorClips[2];
    int m_cursorHotX = -5;
    int m_cursorHotY = 5;
    int m_cursorX = -256;
    int m_cursorY = -256;
    int m_cursorFlags[3] = {0, 0, 0};
    int m_cursorCounter = 60;
    uint8_t m_cursorDrawMode = 0; // as the clips were made

private:
    // The cursor's clips leave the list while a form is made; the next frame puts them last.
    void OnFormOpening() override;
    void TakeCursorOut();
    // Finds the cursor pictures in the store and makes the container the cursor redraws with.
    void InitCursor();
    // After the forms have drawn: puts the cursor at the mouse (or hides it), keeps its clips
    // last in the render list and redraws what changed, its old place included.
    void UpdateCursor();

    // When the intro's wait is over: the intro disappears, the main menu opens once it has
    // gone and the menu music starts.
    void StartMainMenu();

    // Forms draw through the system's lists: they go first.
    void EndGame();

    std::unique_ptr<GGameGuiSystem> m_system;
    // Draws through the system's lists; made after the system, gone before it.
    std::unique_ptr<GClipContainer> m_cursorContainer;
    GIntroDialog* m_intro = nullptr; // owned by the form stack, which may have deleted it
    bool m_gameStarted = false;
    bool m_mainMenuStarted = false;
};
