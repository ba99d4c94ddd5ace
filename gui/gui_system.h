#pragma once
// GGuiSystem: the GUI's central object. It owns the program's main log, the one command
// invoker, the clipboard buffer and the command factory, and turns command text such as
// "cmDisappearDialog;cmShowDialog(how_to_play.cfg)" into queued commands. The game derives its
// own system from it. One per program, reached through Get(); main thread only.

#include <cstdint>
#include <memory>

#include "foundation/text/gstring.h"

class GApplication;
class GBmpFontManager;
class GCommandFactory;
class GCommandInvoker;
class GFormStackApplication;
class GHtmlLog;
class GOldFontManager;

class GGuiSystem {
public:
    static constexpr uint32_t kClipboardSize = 2048;

    GGuiSystem();
    GGuiSystem(const GGuiSystem&) = delete;
    GGuiSystem& operator=(const GGuiSystem&) = delete;
    virtual ~GGuiSystem();

    // The system most recently constructed and still alive, or null.
    static GGuiSystem* Get();

    // Creates the log (on logFileName), the clipboard buffer, the invoker, the GUI's command
    // factory and the two (empty) font managers. 1 on success, 0 when a step fails.
    virtual int Init(GFormStackApplication* application, const char* logFileName);

    // Creates the named command through the factory and queues it; a name no factory knows is
    // logged and nothing is queued. 1 when a command was queued.
    int ExecuteCommand(const char* name, const char* parameters);
    // Splits text at ';' (outside parentheses) and queues each command in order; a command's
    // parameters stand in parentheses, separated by ','. Returns the number of commands.
    int ExecuteCommandList(const char* text);

    // Replaces the factory commands are made with (the game installs its own, which falls back
    // on the GUI's). Takes ownership.
    void SetCommandFactory(std::unique_ptr<GCommandFactory> factory);
    GCommandFactory* GetGuiCommandFactory() const { return m_guiFactory.get(); }

    GFormStackApplication* GetApplication() const { return m_application; }
    GCommandInvoker* GetInvoker() const { return m_invoker.get(); }
    GHtmlLog* GetLog() const { return m_log.get(); }
    char* GetClipboardBuffer() const { return m_clipboard.get(); }
    GOldFontManager* GetOldFontManager() const { return m_oldFonts.get(); }
    GBmpFontManager* GetBmpFontManager() const { return m_bmpFonts.get(); }

private:
    GFormStackApplication* m_application = nullptr; // observed
    std::unique_ptr<GHtmlLog> m_log;
    std::unique_ptr<char[]> m_clipboard;
    std::unique_ptr<GCommandInvoker> m_invoker;
    std::unique_ptr<GCommandFactory> m_guiFactory;
    std::unique_ptr<GCommandFactory> m_factory; // the game's, when installed
    std::unique_ptr<GOldFontManager> m_oldFonts;
    std::unique_ptr<GBmpFontManager> m_bmpFonts;
};
