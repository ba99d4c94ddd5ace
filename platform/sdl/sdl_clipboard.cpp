// The clipboard: SDL's (UTF-8) while video runs, a private one otherwise.

#include <SDL.h>

#include "platform/window/clipboard.h"
#include "platform/text/code_page.h"
#include "platform/sdl/sdl_internal.h"

namespace platform {

namespace {

std::string g_privateClipboard; // UTF-8, used without a window system
bool g_privateHasText = false;

} // namespace

bool GetClipboardText(std::string& out)
{
    out.clear();
    std::string utf8;
    if (sdl::IsVideoRunning()) {
        if (!SDL_HasClipboardText())
            return false;
        char* text = SDL_GetClipboardText();
        if (!text)
            return false;
        utf8 = text;
        SDL_free(text);
    } else {
        if (!g_privateHasText)
            return false;
        utf8 = g_privateClipboard;
    }
    out = Utf8ToAnsi(utf8);
    return true;
}

bool SetClipboardText(const char* text, std::size_t length)
{
    if (!text)
        return false;
    const std::string utf8 = AnsiToUtf8(std::string_view(text, length));
    if (sdl::IsVideoRunning())
        return SDL_SetClipboardText(utf8.c_str()) == 0;
    g_privateClipboard = utf8;
    g_privateHasText = true;
    return true;
}

} // namespace platform
