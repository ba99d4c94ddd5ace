#pragma once
// The options window's behaviour: its controls, found by name in "options.cfg", change the
// player's settings and the audio at once. The music and sound sliders run 0 to 100 and store
// a hundred times their value (the engine's 0 to 10000); the music slider sets the stream
// player's volume, the sound slider the sound bank's master volume and switches sound on when
// it was off and the value is above 0. The check boxes switch the music and sound managers; the
// settings keep a switched-off music or sound as a volume of 0 (as the next start reads it), a
// box checked again brings back the volume it had before, and the music slider moved while
// the music is off picks the volume it comes back at. The full-screen box's own command list
// ("cmFullScreen") switches the mode. Owned by its window; observes the game system. Main
// thread only.

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

private:
    void SetMusicVolume(int32_t volume);
    void SetSoundVolume(int32_t volume);
    // On brings back the volume put aside (or the fallback), off puts it aside and keeps 0.
    // The new volume.
    static int32_t SwitchVolume(bool on, int32_t& volume, int32_t& putAside, int32_t fallback);
    // A box switched: the manager follows, the settings keep the switch as the volume.
    void SwitchMusic(GDialog& dialog, bool on);
    void SwitchSound(GDialog& dialog, bool on);

    GGameGuiSystem& m_system;
    // The volumes a box switched off put aside, brought back when it is checked again.
    int32_t m_musicBeforeOff = 0;
    int32_t m_soundBeforeOff = 0;
};
