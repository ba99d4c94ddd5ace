#include "gui/gui_commands.h"

#include "foundation/app/application.h"
#include "foundation/app/command_invoker.h"
#include "gui/dialog.h"
#include "gui/form.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"

std::unique_ptr<GCommand> GCommandFactory::CreateCommand(const char* name,
                                                         const GStringArray& parameters,
                                                         GString& errorDescription)
{
    for (GCommandFactory* factory = this; factory; factory = factory->m_fallback) {
        if (std::unique_ptr<GCommand> command =
                factory->CreateOwn(name, parameters, errorDescription))
            return command;
    }
    if (errorDescription.IsEmpty())
        errorDescription = "Unknown command";
    return nullptr;
}

GCloseCommand::GCloseCommand(GApplication* application) : m_application(application)
{
    SetName("cmClose");
}

void GCloseCommand::Execute()
{
    Run();
}

int GCloseCommand::Run()
{
    if (!m_application)
        return 0;
    m_application->Close();
    return 1;
}

GReleaseFilterCommand::GReleaseFilterCommand(GGuiSystem* system, const char* name)
    : m_system(system), m_cancelWait(StrCompare(name, "cmCancelWait") == 0)
{
    SetName(name);
}

void GReleaseFilterCommand::Execute()
{
    if (m_system && m_system->GetInvoker())
        m_system->GetInvoker()->ClearPriorityFilter();
    GFormStackApplication* application = m_system ? m_system->GetApplication() : nullptr;
    if (!m_cancelWait || !application)
        return;
    if (auto* dialog = dynamic_cast<GDialog*>(application->GetTopForm()))
        dialog->CancelWait();
}

GRepaintTopDialogCommand::GRepaintTopDialogCommand(GGuiSystem* system) : m_system(system)
{
    SetName("cmRepaintTopDialog");
}

void GRepaintTopDialogCommand::Execute()
{
    GFormStackApplication* application = m_system ? m_system->GetApplication() : nullptr;
    if (GForm* top = application ? application->GetTopForm() : nullptr)
        top->Repaint();
}

GGuiCommandFactory::GGuiCommandFactory(GGuiSystem* system, GCommandFactory* fallback)
    : GCommandFactory(fallback), m_system(system)
{
}

std::unique_ptr<GCommand> GGuiCommandFactory::CreateOwn(const char* name, const GStringArray&,
                                                        GString&)
{
    if (StrCompare(name, "cmClose") == 0)
        return std::make_unique<GCloseCommand>(m_system ? m_system->GetApplication() : nullptr);
    if (StrCompare(name, "cmUnLock") == 0 || StrCompare(name, "cmCancelWait") == 0)
        return std::make_unique<GReleaseFilterCommand>(m_system, name);
    if (StrCompare(name, "cmRepaintTopDialog") == 0)
        return std::make_unique<GRepaintTopDialogCommand>(m_system);
    return nullptr;
}
