#include "gui/gui_commands.h"

#include "foundation/app/application.h"
#include "foundation/app/command_invoker.h"
#include "foundation/text/string_array.h"
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

GShowDialogCommand::GShowDialogCommand(GGuiSystem* system, GString fileName)
    : m_system(system), m_fileName(std::move(fileName))
{
    SetName("cmShowDialog");
}

void GShowDialogCommand::Execute()
{
    GFormStackApplication* application = m_system ? m_system->GetApplication() : nullptr;
    if (!application)
        return;
    application->OpenWhenSettled(
        [system = m_system, fileName = m_fileName]() -> std::unique_ptr<GForm> {
            return system->MakeDialog(fileName.c_str());
        });
}

GDisappearDialogCommand::GDisappearDialogCommand(GGuiSystem* system) : m_system(system)
{
    SetName("cmDisappearDialog");
}

void GDisappearDialogCommand::Execute()
{
    GFormStackApplication* application = m_system ? m_system->GetApplication() : nullptr;
    if (auto* dialog = application ? dynamic_cast<GDialog*>(application->GetTopForm()) : nullptr)
        dialog->Disappear();
}

GGuiCommandFactory::GGuiCommandFactory(GGuiSystem* system, GCommandFactory* fallback)
    : GCommandFactory(fallback), m_system(system)
{
}

std::unique_ptr<GCommand> GGuiCommandFactory::CreateOwn(const char* name,
                                                        const GStringArray& parameters,
                                                        GString& errorDescription)
{
    if (StrCompare(name, "cmShowDialog") == 0) {
        if (parameters.GetCount() != 1 || parameters[0].IsEmpty()) {
            errorDescription = "cmShowDialog takes one dialog file";
            return nullptr;
        }
        return std::make_unique<GShowDialogCommand>(m_system, parameters[0]);
    }
    if (StrCompare(name, "cmDisappearDialog") == 0)
        return std::make_unique<GDisappearDialogCommand>(m_system);
    if (StrCompare(name, "cmClose") == 0)
        return std::make_unique<GCloseCommand>(m_system ? m_system->GetApplication() : nullptr);
    if (StrCompare(name, "cmUnLock") == 0 || StrCompare(name, "cmCancelWait") == 0)
        return std::make_unique<GReleaseFilterCommand>(m_system, name);
    if (StrCompare(name, "cmRepaintTopDialog") == 0)
        return std::make_unique<GRepaintTopDialogCommand>(m_system);
    return nullptr;
}
