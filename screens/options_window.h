#pragma once
// The options window's behaviour: its controls, found by name in "options.cfg", change the
// player's settings and the audio at once. The settings record is the one place the player's
// audio settings live (GGameSettings, with the volumes put aside while switched off); every
// change goes into it and the game system's one step (GGameGuiSystem::ApplyAudioSettings) makes
// the audio follow. The music and sound sliders run 0 to 100 and stand for a hundred times
// their value (the engine's 0 to 10000); while a music or sound is on its slider sets its
// volume, while it is off its slider shows and sets the volume put aside, except that the
// sound slider moved above 0 switches sound on. The check boxes switch music and sound; the
// full-screen box's own command list ("cmFullScreen") switches the mode. Every frame the
// sliders and boxes show what the settings and the window really are, so a change made
// elsewhere (Alt+Enter, a switch the display refused) is seen at once. Owned by its window;
// observes the game system. Main thread only.

#include <cstdint>

#include "gui/control_listener.h"

class GGameGuiSystem;

class GOptionsWndControlListener : public GControlListener {
public:
    static constexpr const char* kMusicSlider = "slMusic";
    static constexpr const char* kSoundSlider = "slSound";
    static constexpr const char* kMusicBox = "cbMusic";
    static constexpr const char* kSoundBox = "cbSound";
    static constexpr const char* kFullScreenBox = "cbFullScreen";

    explicit GOptionsWndControlListener(GGameGuiSystem& system) : m_system(system) {}

    // Shows the settings in the window's controls and listens to them.
    static void Attach(GDialog& window, GGameGuiSystem& system);

    void OnControlClick(GDialog& dialog, GBaseControl& control) override;
    void OnUpdate(GDialog& dialog) override;

private:
    // Sliders and boxes from the settings and the window's mode.
    static void ShowSettings(GDialog& window, GGameGuiSystem& system);
    void Slide(bool music, int32_t volume);

    GGameGuiSystem& m_system;
};
