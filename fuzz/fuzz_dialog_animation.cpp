// A dialog whose label names an animation file: the input is the animation's name and, after
// a line "--", the file ("anim.cfg", cfg text) the label plays; its Bitmap channel may name the
// store's picture "FUZZ_PIC". The dialog is built and run for some frames: the label is made
// or left out (never anything else), and when the dialog goes its clips leave the render list
// and the pool holds what it held before.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_files.h"
#include "fuzz/fuzz_gui.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/bitmap_pool.h"
#include "gui/dialog.h"
#include "gui/dialog_builder.h"

namespace {

// A 24 x 16 picture with a mask, named so an animation can find it.
void AddPicture(GGraphicsResources& store)
{
    const int16_t pool = store.CreateBitmap(24, 16, 0, 2, nullptr, nullptr, -1, 200);
    GBitmap* picture = pool >= 0 ? store.GetBitmap(store.AbsoluteSlotOfPoolSlot(pool)) : nullptr;
    if (!picture)
        __builtin_trap();
    picture->SetName("FUZZ_PIC");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1 << 15))
        return 0;
    const fuzz::GuiInput<> input;
    fuzz::Gui& gui = *input;
    static const bool pictured = (AddPicture(*gui.system.GetResources()), true);
    (void)pictured;
    const std::vector<fuzz::Bytes> parts = fuzz::SplitAt(data, size, "\n--\n", 2);
    std::string name(parts[0].begin(), parts[0].end());
    name.erase(std::remove_if(name.begin(), name.end(),
                              [](char c) { return !std::isalnum(uint8_t(c)) && c != '_'; }),
               name.end());
    fuzz::WriteBytes("anim.cfg", parts[1]);
    const std::string dialogText = "Dialog { Control { Name = lblAnim Class = STATICLABEL X = 10 Y "
                                   "= 20 Width = 200 Height = 100 "
                                   "Animation = anim.cfg" +
                                   (name.empty() ? std::string() : " AnimationName = " + name) +
                                   " } }";
    GCfgNode file;
    if (!file.Parse(dialogText.c_str(), dialogText.size()))
        __builtin_trap();

    const fuzz::LeftAsFound before(gui.system);
    {
        GDialog dialog(&gui.app, &gui.system);
        if (dialog.Create(0) != 1)
            __builtin_trap();
        const int made = GDialogBuilder(gui.system).Build(dialog, file, "fuzz.cfg");
        if (made < 0 || made > 1 || made != dialog.GetControlCount())
            __builtin_trap();
        for (int frame = 0; frame < 12; ++frame) {
            dialog.Update(frame < 6 ? 30 : 500);
            GRect io{};
            dialog.RedrawDirty(io, 0, 0);
        }
    }
    before.Check();
    return 0;
}
