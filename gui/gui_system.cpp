#include "gui/gui_system.h"

#include <new>
#include <string_view>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/string_array.h"
#include "gui/bmp_font_manager.h"
#include "gui/command_factory.h"
#include "gui/cfg_dialog.h"
#include "gui/form_stack_application.h"
#include "gui/gui_commands.h"
#include "gui/old_font_manager.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/rect_array.h"
#include "graphics/store/graphics_resources.h"

namespace {

GGuiSystem* g_current = nullptr;

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

GString ToGString(std::string_view text)
{
    GString result;
    if (!text.empty()) {
        result.Allocate(static_cast<uint32_t>(text.size() + 1));
        if (char* data = result.GetData()) {
            text.copy(data, text.size());
            data[text.size()] = '\0';
        }
    }
    return result;
}

} // namespace

GGuiSystem::GGuiSystem()
{
    g_current = this;
}

GGuiSystem::~GGuiSystem()
{
    Shutdown();
    if (g_current == this)
        g_current = nullptr;
}

GGuiSystem* GGuiSystem::Get()
{
    return g_current;
}

int GGuiSystem::Init(GFormStackApplication* application, const char* logFileName)
{
    m_application = application;
    m_log.reset(new (std::nothrow) GHtmlLog(logFileName));
    if (!m_log)
        return 0;
    m_log->Printf("GUI system start-up");

    m_resources = GGraphicsResources::Create(kResourceFolder, kPoolSlots, kLoadableSlots);
    if (!m_resources) {
        m_log->PrintError("Graphics resources initialization failed. Path=%s, MemCount=%d, LoadCount=%d",
                          kResourceFolder, kPoolSlots, kLoadableSlots);
        return 0;
    }
    m_log->Printf("Bitmap store %s: %d slots, %d loaded", kResourceFolder,
                  static_cast<int>(m_resources->GetSlotCount()),
                  static_cast<int>(m_resources->GetLoadedSlots()));

    m_clips = GClipArray::Create(kClipCapacity);
    if (!m_clips) {
        m_log->PrintError("Cannot create clip array. NUM_CLIPS=%d", kClipCapacity);
        return 0;
    }
    m_rects = GRectArray::Create(kRectCapacity);
    if (!m_rects) {
        m_log->PrintError("Cannot create rect array. NUM_RECTS=%d", kRectCapacity);
        return 0;
    }

    m_clipboard.reset(new (std::nothrow) char[kClipboardSize]());
    m_invoker.reset(new (std::nothrow) GCommandInvoker());
    m_guiFactory.reset(new (std::nothrow) GGuiCommandFactory(this));
    m_oldFonts.reset(new (std::nothrow) GOldFontManager(m_resources.get()));
    m_bmpFonts.reset(new (std::nothrow) GBmpFontManager());
    m_xmlDoc.reset(new (std::nothrow) GXmlDataDoc());
    m_dictionary.reset(new (std::nothrow) GDictionary());
    if (!(m_clipboard && m_invoker && m_guiFactory && m_oldFonts && m_bmpFonts && m_xmlDoc && m_dictionary)) {
        m_log->PrintError("GUI system initialization failed: out of memory");
        return 0;
    }
    m_log->Printf("GUI system ready");
    return 1;
}

void GGuiSystem::Shutdown()
{
    // Fonts hold glyphs in the store's pool and the dictionary was read from the document:
    // each goes before what it uses.
    m_dictionary.reset();
    m_xmlDoc.reset();
    m_bmpFonts.reset();
    m_oldFonts.reset();
    m_factory.reset();
    m_guiFactory.reset();
    m_invoker.reset();
    m_clipboard.reset();
    m_rects.reset();
    m_clips.reset();
    if (m_resources) {
        m_resources->Release();
        m_resources.reset();
    }
    m_log.reset();
}

void GGuiSystem::SetCommandFactory(std::unique_ptr<GCommandFactory> factory)
{
    m_factory = std::move(factory);
}

int GGuiSystem::ExecuteCommand(const char* name, const char* parameters)
{
    GStringArray parts;
    if (parameters) {
        std::string_view rest(parameters);
        for (;;) {
            const size_t comma = rest.find(',');
            parts.Add(ToGString(Trim(rest.substr(0, comma))));
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
    }

    GCommandFactory* factory = m_factory ? m_factory.get() : m_guiFactory.get();
    GString error;
    std::unique_ptr<GCommand> command =
        factory ? factory->CreateCommand(name, parts, error) : nullptr;
    if (!command) {
        if (error.IsEmpty())
            error = "No command factory";
        if (m_log) {
            if (parameters)
                m_log->PrintError("Cannot create command: %s with parameters: %s. Error description: %s", name,
                                  parameters, error.c_str());
            else
                m_log->PrintError("Cannot create command: %s without parameters. Error description: %s", name,
                                  error.c_str());
        }
        return 0;
    }
    if (!m_invoker)
        return 0;
    m_invoker->Add(std::move(command));
    return 1;
}

std::unique_ptr<GDialog> GGuiSystem::MakeDialog(const char* fileName)
{
    if (!fileName)
        return nullptr;
    std::unique_ptr<GDialog> dialog(new (std::nothrow) GCfgDialog(m_application, this, fileName));
    if (!dialog || !dialog->Create())
        return nullptr;
    return dialog;
}

int GGuiSystem::ExecuteCommandList(const char* text)
{
    if (!text)
        return 0;
    int count = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        // A ';' inside a command's parentheses belongs to its parameters.
        size_t end = 0;
        int depth = 0;
        for (; end < rest.size(); ++end) {
            const char c = rest[end];
            if (c == '(')
                ++depth;
            else if (c == ')' && depth > 0)
                --depth;
            else if (c == ';' && depth == 0)
                break;
        }
        const std::string_view item = Trim(rest.substr(0, end));
        rest.remove_prefix(end < rest.size() ? end + 1 : end);
        if (item.empty())
            continue;

        const size_t open = item.find('(');
        const GString name = ToGString(Trim(item.substr(0, open)));
        if (name.IsEmpty())
            continue;
        ++count;
        if (open == std::string_view::npos) {
            ExecuteCommand(name.c_str(), nullptr);
            continue;
        }
        std::string_view inside = item.substr(open + 1);
        const size_t close = inside.rfind(')');
        if (close != std::string_view::npos)
            inside = inside.substr(0, close);
        const GString parameters = ToGString(inside);
        ExecuteCommand(name.c_str(), parameters.c_str());
    }
    return count;
}
