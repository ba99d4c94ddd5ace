#pragma once
// The game's own commands and the factory that makes them, falling back on the GUI's.

#include "foundation/app/command.h"
#include "gui/command_factory.h"

class GGameGuiSystem;

// "cmFullScreen": toggles the full-screen flag of the settings and applies it.
class GFullScreenCommand : public GNamedCommand {
public:
    explicit GFullScreenCommand(GGameGuiSystem* system);
    void Execute() override;

private:
    GGameGuiSystem* m_system; // observed
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
