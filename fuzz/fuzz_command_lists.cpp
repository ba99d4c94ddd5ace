// Command lists through the game's real factories (the game's, falling back on the GUI's): the
// input is a window file ("a.cfg", which may name its own Escape list) and, after a line "--",
// a command list run as a control's click would run it. Frames then let windows open and
// settle, and Escape runs the top window's list, which may open more. Whatever ran, once every
// window is gone the render list and the store's pool are as they were before.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/app/command_invoker.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_gui.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/bitmap_pool.h"
#include "platform/window/messages.h"
#include "screens/game_commands.h"
#include "screens/game_gui_system.h"

namespace {

using GameGui = fuzz::BasicGui<GGameGuiSystem>;

GameGui& TheGameGui()
{
    static GameGui* gui = [] {
        GameGui* made = fuzz::MakeGui<GGameGuiSystem>();
        made->system.SetCommandFactory(std::make_unique<GGameCommandFactory>(
            &made->system, made->system.GetGuiCommandFactory()));
        return made;
    }();
    return *gui;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1 << 14))
        return 0;
    const fuzz::GuiInput<GameGui> input(TheGameGui());
    GameGui& gui = *input;
    const std::vector<fuzz::Bytes> parts = fuzz::SplitAt(data, size, "\n--\n", 2);
    fuzz::WriteBytes("a.cfg", parts[0]);
    const std::string list(parts[1].begin(), parts[1].end());

    const fuzz::LeftAsFound before(gui.system);
    gui.system.ExecuteCommandList(list.c_str());
    for (int frame = 0; frame < 8; ++frame) {
        gui.app.OnFrame(frame < 4 ? 400 : 30);
        if (frame % 2)
            gui.app.OnKeyDown(platform::VK_ESCAPE);
        if (gui.app.GetFormCount() > 6)
            break; // a window whose Escape opens another: enough of them
    }
    gui.app.RemoveAllForms();
    gui.app.OnFrame(30);
    gui.system.GetInvoker()->Execute(-1);
    gui.app.RemoveAllForms();
    before.Check();
    return 0;
}
