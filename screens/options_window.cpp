#include "screens/options_window.h"

#include <memory>
#include <string_view>

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

void ShowChecked(GDialog& dialog, std::string_view name, bool checked)
{
    auto* box = Find<GCheckBox>(dialog, name);
    if (box && box->IsChecked() != checked)
        box->SetChecked(checked);
}

// The volume while on; while off, the one that comes back.
void ShowVolume(GDialog& dialog, std::string_view name, const GGameSettings& settings,
                GGameSettings::Audio audio)
{
    const int32_t volume = settings.IsOn(audio) ? settings.Volume(audio) : settings.PutAside(audio);
    auto* slider = Find<GSliderBar>(dialog, name);
    if (slider && slider->GetValue() != volume / kSliderScale)
        slider->SetValue(volume / kSliderScale);
}

} // namespace

void GOptionsWndControlListener::Attach(GDialog& window, GGameGuiSystem& system)
{
    if (!system.GetProfiles())
        return;
    for (const char* name : {kMusicSlider, kSoundSlider})
        if (auto* slider = Find<GSliderBar>(window, name))
            slider->SetRange(0, GGameSettings::kMaxVolume / kSliderScale);
    ShowSettings(window, system);
    window.AddControlListener(std::make_unique<GOptionsWndControlListener>(system));
}

void GOptionsWndControlListener::ShowSettings(GDialog& window, GGameGuiSystem& system)
{
    const GGameSettings& settings = system.GetProfiles()->GetDefaultSettings();
    ShowVolume(window, kMusicSlider, settings, GGameSettings::kMusic);
    ShowVolume(window, kSoundSlider, settings, GGameSettings::kSound);
    ShowChecked(window, kMusicBox, settings.IsOn(GGameSettings::kMusic));
    ShowChecked(window, kSoundBox, settings.IsOn(GGameSettings::kSound));
    ShowChecked(window, kFullScreenBox,
                system.GetApplication() && system.GetApplication()->IsFullscreen());
}

void GOptionsWndControlListener::OnUpdate(GDialog& dialog)
{
    if (m_system.GetProfiles())
        ShowSettings(dialog, m_system);
}

void GOptionsWndControlListener::OnControlClick(GDialog& dialog, GBaseControl& control)
{
    GPlayerProfiles* profiles = m_system.GetProfiles();
    if (!profiles)
        return;
    GGameSettings& settings = profiles->GetDefaultSettings();
    const std::string& name = control.GetName();
    if (auto* slider = dynamic_cast<GSliderBar*>(&control)) {
        if (name != kMusicSlider && name != kSoundSlider)
            return;
        Slide(name == kMusicSlider, slider->GetValue() * kSliderScale);
    } else if (auto* box = dynamic_cast<GCheckBox*>(&control)) {
        if (name == kMusicBox)
            settings.Switch(GGameSettings::kMusic, box->IsChecked());
        else if (name == kSoundBox)
            settings.Switch(GGameSettings::kSound, box->IsChecked());
        else
            return;
    } else {
        return;
    }
    m_system.ApplyAudioSettings(false);
    ShowSettings(dialog, m_system);
}

void GOptionsWndControlListener::Slide(bool music, int32_t volume)
{
    GGameSettings& settings = m_system.GetProfiles()->GetDefaultSettings();
    const GGameSettings::Audio audio = music ? GGameSettings::kMusic : GGameSettings::kSound;
    // The music stays off while its slider picks the volume it comes back at; the sound slider
    // switches sound on. Slid to 0, either is off with nothing put aside.
    if (settings.IsOn(audio) || (!music && volume > 0)) {
        settings.Volume(audio) = volume;
        if (volume == 0)
            settings.SetPutAside(audio, 0);
    } else {
        settings.SetPutAside(audio, volume);
    }
}
