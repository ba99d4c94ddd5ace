#pragma once
// GGuiSystem: the GUI's central object. It owns the program's main log, the bitmap store, the
// one render list and dirty-rectangle list that every screen shares, the command invoker, the
// clipboard buffer, the font managers, the dictionary with the XML document it is read from,
// and the command factory; it turns command text such as
// "cmDisappearDialog;cmShowDialog(how_to_play.cfg)" into queued commands. The game derives its
// own system from it. One per program, reached through Get(); main thread only.

#include <cstdint>
#include <memory>

#include "foundation/text/gstring.h"

class GApplication;
class GBmpFontManager;
class GClipArray;
class GCommandFactory;
class GCommandInvoker;
class GDialog;
class GDictionary;
class GFormStackApplication;
class GGraphicsResources;
class GHtmlLog;
class GOldFontManager;
class GRectArray;
class GXmlDataDoc;

class GGuiSystem {
public:
    static constexpr uint32_t kClipboardSize = 2048;
    // The bitmap store's resolution folder (under the current folder) and slot counts.
    static constexpr const char* kResourceFolder = "800x600";
    static constexpr uint16_t kPoolSlots = 5000;
    static constexpr uint16_t kLoadableSlots = 4100;
    static constexpr int16_t kClipCapacity = 20000;
    static constexpr int16_t kRectCapacity = 10000;

    GGuiSystem();
    GGuiSystem(const GGuiSystem&) = delete;
    GGuiSystem& operator=(const GGuiSystem&) = delete;
    virtual ~GGuiSystem();

    // The system most recently constructed and still alive, or null.
    static GGuiSystem* Get();

    // Creates, in this order, the log (on logFileName), the bitmap store of kResourceFolder
    // (missing or bad store data ends the process), the render list, the dirty-rectangle
    // list, the clipboard buffer, the invoker, the GUI's command factory, the two (empty) font
    // managers and the (empty) dictionary. 1 on success; 0 when a step fails, which is logged.
    virtual int Init(GFormStackApplication* application, const char* logFileName);
    // Releases the store and everything Init made, in the reverse order. Also run by the
    // destructor; Init may follow again.
    void Shutdown();

    // Creates the named command through the factory and queues it; a name no factory knows is
    // logged and nothing is queued. 1 when a command was queued.
    int ExecuteCommand(const char* name, const char* parameters);
    // Splits text at ';' (outside parentheses) and queues each command in order; a command's
    // parameters stand in parentheses, separated by ','. Returns the number of commands.
    int ExecuteCommandList(const char* text);

    // The dialog "cmShowDialog(<file>)" opens: a dialog made from the dialog file by the dialog
    // builder and created (it begins to appear). Null when the file cannot be read or the dialog
    // cannot be made (logged). The game makes its own windows here.
    virtual std::unique_ptr<GDialog> MakeDialog(const char* fileName);

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
    GGraphicsResources* GetResources() const { return m_resources.get(); }
    GClipArray* GetClipArray() const { return m_clips.get(); }
    GRectArray* GetRectArray() const { return m_rects.get(); }
    GDictionary* GetDictionary() const { return m_dictionary.get(); }
    // The XML document the dictionary is read from; made by Init.
    GXmlDataDoc* GetXmlDataDoc() const { return m_xmlDoc.get(); }

private:
    GFormStackApplication* m_application = nullptr; // observed
    std::unique_ptr<GHtmlLog> m_log;
    std::unique_ptr<GGraphicsResources> m_resources;
    std::unique_ptr<GClipArray> m_clips;
    std::unique_ptr<GRectArray> m_rects;
    std::unique_ptr<char[]> m_clipboard;
    std::unique_ptr<GCommandInvoker> m_invoker;
    std::unique_ptr<GCommandFactory> m_guiFactory;
    std::unique_ptr<GCommandFactory> m_factory; // the game's, when installed
    std::unique_ptr<GOldFontManager> m_oldFonts;
    std::unique_ptr<GBmpFontManager> m_bmpFonts;
    std::unique_ptr<GXmlDataDoc> m_xmlDoc;
    std::unique_ptr<GDictionary> m_dictionary;
};
