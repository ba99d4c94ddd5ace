#pragma once
// The commands the GUI framework itself offers, and the factory that makes them by name.
// "cmClose", "cmCancelWait", "cmUnLock" and "cmRepaintTopDialog" have priority 1024, so they
// still run while a dialog's appear state holds every other command back.

#include "foundation/app/command.h"
#include "gui/command_factory.h"

class GApplication;
class GGuiSystem;

constexpr int kUnfilteredCommandPriority = 1024;

// Closes the window (which may refuse through OnClose).
class GCloseCommand : public GNamedCommand {
public:
    explicit GCloseCommand(GApplication* application);
    void Execute() override;
    int GetPriority() const override { return kUnfilteredCommandPriority; }
    // 0 when there is no application to close.
    int Run();

private:
    GApplication* m_application; // observed
};

// Ends the hold of the invoker's priority filter ("cmUnLock", "cmCancelWait"); "cmCancelWait"
// also ends the wait state of the top dialog.
class GReleaseFilterCommand : public GNamedCommand {
public:
    GReleaseFilterCommand(GGuiSystem* system, const char* name);
    void Execute() override;
    int GetPriority() const override { return kUnfilteredCommandPriority; }

private:
    GGuiSystem* m_system; // observed
    bool m_cancelWait;
};

// Redraws the top form whole.
class GRepaintTopDialogCommand : public GNamedCommand {
public:
    explicit GRepaintTopDialogCommand(GGuiSystem* system);
    void Execute() override;
    int GetPriority() const override { return kUnfilteredCommandPriority; }

private:
    GGuiSystem* m_system; // observed
};

// "cmShowDialog(<file>)": opens the dialog the GUI system makes from the dialog file, on top of
// the stack, once no dialog is on its way out ("cmDisappearDialog;cmShowDialog(x.cfg)" lets
// the old dialog finish first). A file that cannot be made into a dialog opens nothing.
class GShowDialogCommand : public GNamedCommand {
public:
    GShowDialogCommand(GGuiSystem* system, GString fileName);
    void Execute() override;
    const GString& GetFileName() const { return m_fileName; }

private:
    GGuiSystem* m_system; // observed
    GString m_fileName;
};

// "cmDisappearDialog": the top dialog begins to disappear; after its disappear state the frame
// tick deletes it. Nothing happens without a dialog on top.
class GDisappearDialogCommand : public GNamedCommand {
public:
    explicit GDisappearDialogCommand(GGuiSystem* system);
    void Execute() override;

private:
    GGuiSystem* m_system; // observed
};

class GGuiCommandFactory : public GCommandFactory {
public:
    GGuiCommandFactory(GGuiSystem* system, GCommandFactory* fallback = nullptr);

protected:
    std::unique_ptr<GCommand> CreateOwn(const char* name, const GStringArray& parameters,
                                        GString& errorDescription) override;

private:
    GGuiSystem* m_system; // observed
};
