// Real message boxes through SDL, for when a display exists.

#include <SDL.h>

#include "platform/window/message_box.h"
#include "platform/sdl/sdl_internal.h"

namespace platform {

namespace {

bool ShowSdlBox(const MessageBoxRequest& request, MessageBoxAnswer& answer)
{
    if (!sdl::HasRealDisplay())
        return false;

    // The user must be able to reach the box: show and free the pointer while it is up,
    // then put the program's pointer state back.
    const int wasShown = SDL_ShowCursor(SDL_QUERY);
    SDL_Window* grabbed = SDL_GetGrabbedWindow();
    const SDL_bool relative = SDL_GetRelativeMouseMode();
    if (relative)
        SDL_SetRelativeMouseMode(SDL_FALSE);
    if (grabbed)
        SDL_SetWindowMouseGrab(grabbed, SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);

    Uint32 flags = 0;
    switch (request.icon) {
    case MessageBoxIcon::kError: flags = SDL_MESSAGEBOX_ERROR; break;
    case MessageBoxIcon::kWarning: flags = SDL_MESSAGEBOX_WARNING; break;
    case MessageBoxIcon::kInformation: flags = SDL_MESSAGEBOX_INFORMATION; break;
    case MessageBoxIcon::kNone: break;
    }
    SDL_MessageBoxButtonData buttons[2];
    int buttonCount = 0;
    if (request.buttons == MessageBoxButtons::kYesNo) {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"};
        buttonCount = 2;
    } else {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                      1, "OK"};
        buttonCount = 1;
    }
    WindowImpl* main = sdl::GetMainWindow();
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = main ? main->window.get() : nullptr;
    data.title = request.titleUtf8;
    data.message = request.textUtf8;
    data.numbuttons = buttonCount;
    data.buttons = buttons;
    int pressed = -1;
    const bool shown = SDL_ShowMessageBox(&data, &pressed) == 0;

    SDL_ShowCursor(wasShown);
    if (grabbed)
        SDL_SetWindowMouseGrab(grabbed, SDL_TRUE);
    if (relative)
        SDL_SetRelativeMouseMode(SDL_TRUE);
    if (!shown)
        return false;
    if (request.buttons == MessageBoxButtons::kYesNo)
        answer = pressed == 1 ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
    else
        answer = MessageBoxAnswer::kOk;
    return true;
}

} // namespace

namespace sdl {

void InstallMessageBoxBackend()
{
    SetMessageBoxBackend(&ShowSdlBox);
}

} // namespace sdl
} // namespace platform
