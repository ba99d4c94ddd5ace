// The dialog builder on random cfg text: whatever the file holds, every control made lies on
// the screen, no more are made than the file names, the dialog takes input and draws, and
// when it goes its clips leave the render list and its pool images are freed.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_gui.h"
#include "fuzz/fuzz_support.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/base_control.h"
#include "gui/dialog.h"
#include "gui/dialog_builder.h"
#include "platform/window/messages.h"

namespace {

using namespace platform;


} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > (1 << 16))
        return 0;
    const fuzz::GuiInput<> input;
    fuzz::Gui& gui = *input;
    GCfgNode file;
    if (!file.Parse(reinterpret_cast<const char*>(data), size))
        return 0;
    const fuzz::LeftAsFound before(gui.system);
    {
        GDialog dialog(&gui.app, &gui.system);
        if (dialog.Create(0) != 1)
            __builtin_trap();
        const int made = GDialogBuilder(gui.system).Build(dialog, file, "fuzz.cfg");
        const GCfgNodeList* dialogs = file.FindObjectList("Dialog");
        const GCfgNodeList* controls =
            dialogs && !dialogs->empty() ? dialogs->front().FindObjectList("Control") : nullptr;
        if (made > int(controls ? controls->size() : 0) ||
            (made >= 0 && made != dialog.GetControlCount()))
            __builtin_trap();
        GRect screen;
        dialog.GetClientBounds(screen);
        for (int i = 0; i < dialog.GetControlCount(); ++i) {
            const GRect& r = dialog.GetControl(i)->GetRect();
            if (r.IsEmpty() || r.left < screen.left || r.top < screen.top ||
                r.right > screen.right || r.bottom > screen.bottom)
                __builtin_trap();
        }
        // A little input, then a frame.
        for (int i = 0; i < 4; ++i) {
            const int x = (data[i % size] * 5) % 320;
            const int y = 7 + (data[(i + 1) % size] * 3) % 233;
            dialog.OnMouseMove(x, y);
            dialog.OnLButtonDown(x, y);
            dialog.OnLButtonDrag((x + 40) % 320, y);
            dialog.OnLButtonUp(x, y);
            dialog.OnKeyDown(i & 1 ? VK_TAB : VK_RIGHT);
        }
        dialog.Update(30);
        GRect io{};
        dialog.RedrawDirty(io, 0, 0);
    }
    gui.system.GetInvoker()->Execute(-1);
    before.Check();
    return 0;
}
