#include "gui/gui_system.h"

#include <new>
#include <string_view>

#include "foundation/app/command.h"
#include "foundation/app/command_invoker.h"
#include "foundation/files/html_log.h"
#include "foundation/text/string_array.h"
#include "gui/bmp_font_manager.h"
#include "gui/command_factory.h"
#include "gui/form_stack_application.h"
#include "gui/gui_commands.h"
#include "gui/old_font_manager.h"

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
    m_clipboard.reset(new (std::nothrow) char[kClipboardSize]());
    m_invoker.reset(new (std::nothrow) GCommandInvoker());
    m_guiFactory.reset(new (std::nothrow) GGuiCommandFactory(this));
    m_oldFonts.reset(new (std::nothrow) GOldFontManager());
    m_bmpFonts.reset(new (std::nothrow) GBmpFontManager());
    return m_log && m_clipboard && m_invoker && m_guiFactory && m_oldFonts && m_bmpFonts ? 1 : 0;
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
    GCommand* command = factory ? factory->CreateCommand(name, parts, error) : nullptr;
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
    if (!m_invoker) {
        delete command;
        return 0;
    }
    m_invoker->Add(command);
    return 1;
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
