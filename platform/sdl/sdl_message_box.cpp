// Real message boxes through SDL, for when a display exists. SDL's X11 box runs in a child
// process that the call waits for; a quit request while the box is up ends that child, so the
// program goes on with its close instead of waiting for a user who has gone.

#include <SDL.h>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "platform/window/message_box.h"
#include "platform/window/quit_requests.h"
#include "platform/sdl/sdl_internal.h"

namespace platform {

namespace {

// The processes whose parent is this one, from /proc.
std::set<pid_t> OurChildren()
{
    std::set<pid_t> children;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return children;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
        if (pid <= 0)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
        std::FILE* file = std::fopen(path, "r");
        if (!file)
            continue;
        char line[512] = {};
        const bool read = std::fgets(line, sizeof line, file) != nullptr;
        std::fclose(file);
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const char* close = read ? std::strrchr(line, ')') : nullptr;
        int parent = 0;
        char state = 0;
        if (close && std::sscanf(close + 1, " %c %d", &state, &parent) == 2 && parent == self)
            children.insert(pid);
    }
    ::closedir(proc);
    return children;
}

// While a box is up: once the program has been asked to quit (before the box, when the box
// belongs to the close that followed), ends every child made since the box began (the box's
// own process) until the box call returns.
class QuitWatch {
public:
    QuitWatch() : m_before(OurChildren())
    {
        m_thread = std::thread([this] { Watch(); });
    }
    ~QuitWatch()
    {
        m_done.store(true);
        m_thread.join();
    }
    QuitWatch(const QuitWatch&) = delete;
    QuitWatch& operator=(const QuitWatch&) = delete;

private:
    void Watch()
    {
        while (!m_done.load()) {
            if (WasQuitSignalled()) {
                for (pid_t child : OurChildren())
                    if (!m_before.count(child))
                        ::kill(child, SIGKILL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    const std::set<pid_t> m_before;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

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
    case MessageBoxIcon::kError:
        flags = SDL_MESSAGEBOX_ERROR;
        break;
    case MessageBoxIcon::kWarning:
        flags = SDL_MESSAGEBOX_WARNING;
        break;
    case MessageBoxIcon::kInformation:
        flags = SDL_MESSAGEBOX_INFORMATION;
        break;
    case MessageBoxIcon::kNone:
        break;
    }
    SDL_MessageBoxButtonData buttons[2];
    int buttonCount = 0;
    if (request.buttons == MessageBoxButtons::kYesNo) {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"};
        buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"};
        buttonCount = 2;
    } else {
        buttons[0] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                          SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                      1, "OK"};
        buttonCount = 1;
    }
    WindowImpl* main = sdl::GetMainWindow();
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = main ? main->window.get() : nullptr;
    data.title = request.titleUtf8;
    // SDL sizes the box by its longest line.
    const std::string text = WrapBoxText(request.textUtf8);
    data.message = text.c_str();
    data.numbuttons = buttonCount;
    data.buttons = buttons;
    int pressed = -1;
    bool shown = false;
    {
        QuitWatch watch;
        shown = SDL_ShowMessageBox(&data, &pressed) == 0;
    }

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
