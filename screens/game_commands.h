#pragma once
// The game's own commands and the factory that makes them, falling back on the GUI's.

#include "foundation/app/command.h"
#include "gui/command_factory.h"

class GGameGuiSystem;

// "cmFullScreen": switches the window between full screen and windowed, and keeps the
// settings' full-screen flag in step with the result.
class GFullScreenCommand : public GNamedCommand {
public:
    explicit GFullScreenCommand(GGameGuiSystem* system);
    void Execute() override;

private:
    GGameGuiSystem* m_system; // observed
};

// The commands of the game's road, each one step of the game system: "cmClearAsGameOver",
// "cmStartGame", "cmContinueGame" and "cmExitGame".
class GGameFlowCommand : public GNamedCommand {
public:
    using Step = void (GGameGuiSystem::*)();
    GGameFlowCommand(const char* name, GGameGuiSystem* system, Step step);
    void Execute() override;

private:
    GGameGuiSystem* m_system; // observed
    Step m_step;
};

class GGameCommandFactory : public GCommandFactory {
public:
    GGameCommandFactory(GGameGuiSystem* system, GCommandFactory* fallback);

protected:
    std::unique_ptr<GCommand> CreateOwn(const char* name, const GStringArray& parameters,
                                        GString& errorDescription) override;

private:
    GGameGuiSystem* m_system; // observed
};
