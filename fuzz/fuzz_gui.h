#pragma once
// What the GUI fuzz targets share: one headless application (a window of the dummy video
// driver, 320 x 240) and one GUI system over the build's data folder, with its bitmap fonts
// and the raster font "Sans9", made once for the whole process. Header only.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/image/dib_surface.h"
#include "gui/bmp_font_manager.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "gui/old_font_manager.h"

namespace fuzz {

class GuiApp : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
    void Send(uint32_t message, uintptr_t wParam, intptr_t lParam) { WindowProc(message, wParam, lParam); }
};

struct Gui {
    GuiApp app;
    GGuiSystem system;
};

inline Gui& TheGui()
{
    static Gui* gui = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (chdir(TOLVANRISE_DATA_DIR) != 0)
            __builtin_trap();
        auto* made = new Gui;
        const std::string log = "/tmp/fuzz_gui_" + std::to_string(getpid()) + ".html";
        if (!made->app.Create("Fuzz", "Fuzz", 320, 240, 0) || !made->system.Init(&made->app, log.c_str()) ||
            made->system.GetBmpFontManager()->Init(made->system.GetResources(), "fonts.xml") != 2 ||
            !made->system.GetOldFontManager()->AddFont("Sans9", "OLDFONT_SANS9", 3, 255, 33))
            __builtin_trap();
        return made;
    }();
    return *gui;
}

// Nothing was drawn outside r (inclusive) since the back buffer was cleared to 0.
inline bool OnlyInside(GDibSurface& screen, const GRect& r)
{
    const uint8_t* pixels = screen.Lock();
    bool clean = true;
    for (int y = 0; y < screen.GetHeight() && clean; ++y)
        for (int x = 0; x < screen.GetWidth() * 3; ++x)
            if (pixels[y * screen.GetPitch() + x] != 0 && (y < r.top || y > r.bottom || x / 3 < r.left || x / 3 > r.right)) {
                clean = false;
                break;
            }
    screen.Unlock();
    return clean;
}

} // namespace fuzz
