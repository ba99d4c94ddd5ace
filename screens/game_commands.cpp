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

GGameFlowCommand::GGameFlowCommand(const char* name, GGameGuiSystem* system, Step step)
    : m_system(system), m_step(step)
{
    SetName(name);
}

void GGameFlowCommand::Execute()
{
    if (m_system)
        (m_system->*m_step)();
}

GGameCommandFactory::GGameCommandFactory(GGameGuiSystem* system, GCommandFactory* fallback)
    : GCommandFactory(fallback), m_system(system)
{
}

std::unique_ptr<GCommand> GGameCommandFactory::CreateOwn(const char* name, const GStringArray&,
                                                         GString&)
{
    if (!name)
        return nullptr;
    if (std::strcmp(name, "cmFullScreen") == 0)
        return std::unique_ptr<GCommand>(new (std::nothrow) GFullScreenCommand(m_system));
    struct FlowStep {
        const char* name;
        GGameFlowCommand::Step step;
    };
    static constexpr FlowStep kSteps[] = {
        {"cmClearAsGameOver", &GGameGuiSystem::ClearGame},
        {"cmStartGame", &GGameGuiSystem::StartGame},
        {"cmContinueGame", &GGameGuiSystem::ContinueGame},
        {"cmExitGame", &GGameGuiSystem::ExitGame},
    };
    for (const FlowStep& step : kSteps)
        if (std::strcmp(name, step.name) == 0)
            return std::unique_ptr<GCommand>(new (std::nothrow) GGameFlowCommand(step.name, m_system, step.step));
    return nullptr;
}
