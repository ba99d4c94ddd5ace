#pragma once
// Shared between the SDL backend's files only: the window's SDL objects, the coordinate
// mapping between window points and client pixels, the event translator and the video
// subsystem's start and stop. Main thread only.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/window/messages.h"
#include "platform/window/pixel_convert.h"

namespace platform {

namespace sdl {
// Starts the video subsystem (counted); false when it cannot start.
bool AcquireVideo();
void ReleaseVideo();

// One start of the video subsystem, given back when its holder goes.
class VideoUse {
public:
    VideoUse() = default;
    VideoUse(const VideoUse&) = delete;
    VideoUse& operator=(const VideoUse&) = delete;
    ~VideoUse()
    {
        if (m_held)
            ReleaseVideo();
    }
    bool Acquire() { return m_held || (m_held = AcquireVideo()); }

private:
    bool m_held = false;
};

template <typename T, void (*Destroy)(T*)>
struct Destroyer {
    void operator()(T* object) const { Destroy(object); }
};
using WindowPtr = std::unique_ptr<SDL_Window, Destroyer<SDL_Window, SDL_DestroyWindow>>;
using RendererPtr = std::unique_ptr<SDL_Renderer, Destroyer<SDL_Renderer, SDL_DestroyRenderer>>;
using TexturePtr = std::unique_ptr<SDL_Texture, Destroyer<SDL_Texture, SDL_DestroyTexture>>;
} // namespace sdl

class WindowImpl {
public:
    // Members go in reverse order: the texture, the renderer, the window, then the video use.
    sdl::VideoUse video;
    sdl::WindowPtr window;
    sdl::RendererPtr renderer;
    sdl::TexturePtr texture;
    int clientWidth = 0;  // back-buffer pixels
    int clientHeight = 0;
    bool fullscreen = false;
    bool realMode = false;
    bool confined = false;
    int windowedX = 0; // client position before full screen
    int windowedY = 0;
    SDL_Rect target{}; // where the back buffer lands in renderer output pixels
    // The texture holds 32-bit pixels of this order that the window widens itself; without
    // one (a renderer that takes no 32-bit format) it holds 24-bit pixels SDL converts.
    bool wide = false;
    PixelOrder32 order = PixelOrder32::Bgrx;

    // Recomputes target from the renderer's output size: 1:1 when it fits exactly, else
    // scaled with the aspect kept and centred.
    void UpdateTarget();
    // Window points (as SDL events give them) -> client pixels, and back.
    void WindowToClient(int& x, int& y) const;
    void ClientToWindow(int& x, int& y) const;
};

namespace sdl {

bool IsVideoRunning();
// A display that a person can see (not the dummy or offscreen driver).
bool HasRealDisplay();
// True with a real display, or a driver without one that SDL_VIDEODRIVER names; else false
// after telling on stderr that there is no display (program names the teller).
bool CanShowWindows(const char* program);

// The window events are meant for (the one window of the program), or null.
WindowImpl* GetMainWindow();
void SetMainWindow(WindowImpl* window);

// Appends the messages one SDL event stands for.
void TranslateEvent(const SDL_Event& event, std::vector<Message>& out);
// The virtual key of a key event (0: none) and whether it counts as a right-hand or
// extended key.
int ScancodeToVirtualKey(SDL_Scancode scancode, SDL_Keycode sym, uint16_t mod, bool& extended);
// Remembers the character that typing produced for the last key-down (KeyToChar's source).
void LearnTypedChar(int scancode, int variant, char16_t unit);
char16_t LookupTypedChar(int scancode, int variant);

// The message-box backend that shows real SDL boxes.
void InstallMessageBoxBackend();

// X11 only (nothing elsewhere): the window's destruction by another program and the loss of
// the display become a close request (quit_requests.h) instead of ending the process.
void WatchX11Window(SDL_Window* window);
// Before the video subsystem starts (X11 or not; nothing happens without Xlib loaded).
void InstallX11ErrorHook();
// The connection to the display is gone: the window's operations send nothing more (SDL
// would wait for answers that never come).
bool IsDisplayLost();
// The watched window was destroyed by another program (or the display is lost): nothing more
// is presented to it. Reads the connection for the window's destruction (main thread).
bool IsWindowGone();
// Destroys the window's texture, renderer and window (X11 or not); a watched window's errors
// are collected before the watch ends.
void DestroyWatchedWindow(WindowImpl& impl);
// For the event translator: a window-system event (DestroyNotify of the watched window).
void NoteWindowSystemEvent(const SDL_Event& event);

} // namespace sdl
} // namespace platform
