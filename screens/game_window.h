#pragma once
// GGameWindow: a window of the game made from its dialog file (gui/cfg_dialog.h). It fades in
// as it appears and out as it disappears, plays the window's sound event as it opens and the
// button sound event when a button or check box is pressed. Besides the controls its file's
// "Dialog" entry may name a store picture that fills the window under them
// from a picture pack ("BackgroundPack = 1": Data1.dat) and a command list that Escape runs ("OnEscape = cmDisappearDialog").
// Observes the game system. Main thread only.

#include <string>

#include "gui/background.h"
#include "gui/cfg_dialog.h"

class GGameGuiSystem;

class GGameWindow : public GCfgDialog {
public:
    static constexpr int kAppearMs = 200;
    static constexpr int kDisappearMs = 200;
    // The sound events of the windows, by name in the sound list.
    static constexpr const char* kOpenSound = "RunaFlyInMenu";
    static constexpr const char* kPressSound = "MenuBtnPress";

    GGameWindow(GFormStackApplication* application, GGameGuiSystem* system, std::string fileName);
    // Gives the picture's pool slot back: a window opened again loads it again.
    ~GGameWindow() override;

    // GDialog::Create with the fade-in; the window's sound event plays when it succeeds.
    int Create();
    void Disappear() override;
    int OnKeyDown(int32_t key) override;
    void OnControlClick(GBaseControl& control) override;

    const std::string& GetEscapeCommands() const { return m_onEscape; }
    // The store slot of the window's picture, -1 without one.
    int16_t GetBackgroundSlot() const { return m_background.GetSlot(); }

protected:
    void OnBeforeControls(const GCfgNode& dialog) override;

private:
    void PlaySound(const char* event);

    GGameGuiSystem* m_game; // observed
    GBackground m_background;
    std::string m_onEscape;
};
