#include "screens/options_window.h"

#include <memory>
#include <string_view>

#include "audio/banks/sound_bank.h"
#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "game/profiles/player_profiles.h"
#include "gui/controls/button.h"
#include "gui/controls/slider_bar.h"
#include "gui/dialog.h"
#include "gui/form_stack_application.h"
#include "screens/game_gui_system.h"

namespace {

constexpr int32_t kSliderScale = 100;

template <class Control>
Control* Find(GDialog& dialog, std::string_view name)
{
    return dynamic_cast<Control*>(dialog.FindControl(name));
}

void ShowVolume(GDialog& dialog, std::string_view slider, int32_t volume)
{
    if (auto* control = Find<GSliderBar>(dialog, slider))
        control->SetValue(volume / kSliderScale);
}

// A volume put aside may be 0 (the game started with the switch off): the default then.
int32_t Restored(int32_t saved, int32_t fallback)
{
    return saved > 0 ? saved : fallback;
}

} // namespace

void GOptionsWndControlListener::Attach(GDialog& window, GGameGuiSystem& system)
{
    GPlayerProfiles* profiles = system.GetProfiles();
    if (!profiles)
        return;
    const GGameSettings& settings = profiles->GetDefaultSettings();
    for (const char* name : {kMusicSlider, kSoundSlider})
        if (auto* slider = Find<GSliderBar>(window, name))
            slider->SetRange(0, GGameSettings::kMaxVolume / kSliderScale);
    ShowVolume(window, kMusicSlider, settings.musicVolume);
    ShowVolume(window, kSoundSlider, settings.soundVolume);
    if (auto* box = Find<GCheckBox>(window, kMusicBox))
        box->SetChecked(system.GetMusicManager() && system.GetMusicManager()->IsEnabled());
    if (auto* box = Find<GCheckBox>(window, kSoundBox))
        box->SetChecked(system.GetSoundManager() && system.GetSoundManager()->IsEnabled());
    if (auto* box = Find<GCheckBox>(window, kFullScreenBox))
        box->SetChecked(system.GetApplication() && system.GetApplication()->IsFullscreen());
    window.AddControlListener(std::make_unique<GOptionsWndControlListener>(system));
}

void GOptionsWndControlListener::OnControlClick(GDialog& dialog, GBaseControl& control)
{
    const std::string& name = control.GetName();
    if (auto* slider = dynamic_cast<GSliderBar*>(&control)) {
        if (name == kMusicSlider)
            SetMusicVolume(slider->GetValue() * kSliderScale);
        if (name != kSoundSlider)
            return;
        SetSoundVolume(slider->GetValue() * kSliderScale);
        // The slider may have switched sound on.
        if (auto* box = Find<GCheckBox>(dialog, kSoundBox))
            box->SetChecked(m_system.GetSoundManager() && m_system.GetSoundManager()->IsEnabled());
    } else if (auto* box = dynamic_cast<GCheckBox*>(&control)) {
        if (name == kMusicBox)
            SwitchMusic(dialog, box->IsChecked());
        else if (name == kSoundBox)
            SwitchSound(dialog, box->IsChecked());
    }
}

void GOptionsWndControlListener::SetMusicVolume(int32_t volume)
{
    GPlayerProfiles* profiles = m_system.GetProfiles();
    if (!profiles)
        return;
    // While the music is off the settings keep it off: the slider picks the volume it comes
    // back at.
    GMusicManager* music = m_system.GetMusicManager();
    if (music && !music->IsEnabled())
        m_musicBeforeOff = volume;
    else
        profiles->GetDefaultSettings().musicVolume = volume;
    if (GAudioPlayer* player =
            m_system.GetAudio() ? m_system.GetAudio()->GetAudioPlayer() : nullptr)
        player->SetVolume(volume);
}

void GOptionsWndControlListener::SetSoundVolume(int32_t volume)
{
    GPlayerProfiles* profiles = m_system.GetProfiles();
    if (!profiles)
        return;
    profiles->GetDefaultSettings().soundVolume = volume;
    if (GSoundBank* bank = m_system.GetAudio() ? m_system.GetAudio()->GetSoundBank() : nullptr)
        bank->SetMasterVolume(volume);
    GSoundManager* sounds = m_system.GetSoundManager();
    if (sounds && !sounds->IsEnabled() && volume > 0)
        sounds->SetEnabled(1);
}

int32_t GOptionsWndControlListener::SwitchVolume(bool on, int32_t& volume, int32_t& putAside,
                                                 int32_t fallback)
{
    if (on) {
        volume = Restored(putAside, fallback);
    } else {
        putAside = volume;
        volume = 0;
    }
    return volume;
}

void GOptionsWndControlListener::SwitchMusic(GDialog& dialog, bool on)
{
    GPlayerProfiles* profiles = m_system.GetProfiles();
    if (!profiles)
        return;
    const int32_t volume = SwitchVolume(on, profiles->GetDefaultSettings().musicVolume,
                                        m_musicBeforeOff, GGameSettings().musicVolume);
    if (on)
        SetMusicVolume(volume);
    ShowVolume(dialog, kMusicSlider, volume);
    if (GMusicManager* music = m_system.GetMusicManager())
        music->SetEnabled(on ? 1 : 0);
}

void GOptionsWndControlListener::SwitchSound(GDialog& dialog, bool on)
{
    GPlayerProfiles* profiles = m_system.GetProfiles();
    if (!profiles)
        return;
    const int32_t volume = SwitchVolume(on, profiles->GetDefaultSettings().soundVolume,
                                        m_soundBeforeOff, GGameSettings().soundVolume);
    if (on)
        SetSoundVolume(volume);
    ShowVolume(dialog, kSoundSlider, volume);
    if (GSoundManager* sounds = m_system.GetSoundManager())
        sounds->SetEnabled(on ? 1 : 0);
}
