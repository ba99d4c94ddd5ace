#include "screens/game_commands.h"

#include <cstring>
#include <new>

#include "game/profiles/player_profiles.h"
#include "gui/form_stack_application.h"
#include "screens/game_gui_system.h"

GFullScreenCommand::GFullScreenCommand(GGameGuiSystem* system) : m_system(system)
{
    SetName("cmFullScreen");
}

void GFullScreenCommand::Execute()
{
    GPlayerProfiles* profiles = m_system ? m_system->GetProfiles() : nullptr;
    GFormStackApplication* application = m_system ? m_system->GetApplication() : nullptr;
    if (!profiles || !application)
        return;
    // The window's own mode decides, not the flag: the flag may not have been applied yet, or
    // a switch may have failed. The flag then records what the window really did.
    application->SetFullscreen(application->IsFullscreen() ? 0 : 1);
    const uint8_t on = application->IsFullscreen() ? 1 : 0;
    profiles->GetDefaultSettings().flags[GGameSettings::kFullScreenFlag] = on;
}

GGameCommandFactory::GGameCommandFactory(GGameGuiSystem* system, GCommandFactory* fallback)
    : GCommandFactory(fallback), m_system(system)
{
}

std::unique_ptr<GCommand> GGameCommandFactory::CreateOwn(const char* name, const GStringArray&,
                                                         GString&)
{
    if (name && std::strcmp(name, "cmFullScreen") == 0)
        return std::unique_ptr<GCommand>(new (std::nothrow) GFullScreenCommand(m_system));
    return nullptr;
}
