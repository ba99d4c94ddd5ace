// Clipboard text pasted into the edits: the first byte chooses the edit's kind and its
// maximum length (up to the GUI's clipboard buffer), the rest is the clipboard's text as it stands
// (UTF-8 or not, line breaks, characters outside the code page). Pasted twice, then selected
// to its start with Shift+Home, copied (and the clipboard read back), cut and pasted again:
// the text never passes the maximum, the caret and selection stay inside it, and nothing is
// drawn outside the edit.
#include <cstddef>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/app/application.h"
#include "foundation/app/command_invoker.h"
#include "foundation/app/key_codes.h"
#include "foundation/image/dib_surface.h"
#include "fuzz/fuzz_gui.h"
#include "fuzz/fuzz_support.h"
#include "gui/controls/old_font_controls.h"
#include "gui/controls/ttf_controls.h"
#include "gui/dialog.h"
#include "platform/window/messages.h"

namespace {

// Edits of both kinds with a few maximum lengths up to the GUI's clipboard buffer, in one
// dialog made once: a TrueType edit loads its face when it is made.
constexpr int kMaxLengths[] = {1, 12, 300, int(GGuiSystem::kClipboardSize) - 1};
constexpr int kEdits = 2 * int(std::size(kMaxLengths));

GDialog& EditsDialog(fuzz::Gui& gui)
{
    static GDialog* dialog = [&gui] {
        GDialog* made = fuzz::PushDialog(gui);
        for (int maxLength : kMaxLengths) {
            made->AddControl(
                std::make_unique<GTextEdit>("edText", "DejaVuSans.ttf", 12, maxLength));
            made->AddControl(std::make_unique<GEdit>(
                "edCode", gui.system.GetOldFontManager()->FindFont("Sans9"), maxLength));
        }
        return made;
    }();
    return *dialog;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4 * GGuiSystem::kClipboardSize)
        return 0;
    const fuzz::GuiInput<> input;
    fuzz::Gui& gui = *input;
    GDialog& dialog = EditsDialog(gui);
    const int chosen = data[0] % kEdits;
    auto* edit = static_cast<GBaseEdit*>(dialog.GetControl(chosen));
    const int maxLength = kMaxLengths[chosen / 2];
    for (int i = 0; i < kEdits; ++i)
        dialog.GetControl(i)->SetVisible(i == chosen);
    const GRect rect{20, 40, 299, 69};
    edit->SetRect(rect);
    edit->SetText(GWString());
    dialog.SetFocus(edit);
    GDibSurface& screen = *gui.app.GetBackBuffer();
    GRect io{};
    dialog.RedrawDirty(io, 0, dialog.GetFirstClip());
    std::memset(screen.Lock(), 0, size_t(screen.GetPitch()) * screen.GetHeight());
    screen.Unlock();

    const std::string clipboard(reinterpret_cast<const char*>(data + 1), size - 1);
    SetClipboardText(clipboard.c_str(),
                     int16_t(clipboard.size() < 0x7fff ? clipboard.size() : 0x7fff));
    for (int key : {kKeyPaste, kKeyPaste, int(platform::VK_HOME), kKeyCopy, kKeyCut, kKeyPaste}) {
        if (key == platform::VK_HOME) {
            gui.app.Send(platform::WM_KEYDOWN, platform::VK_SHIFT, 1);
            gui.app.Send(platform::WM_KEYDOWN, platform::VK_HOME, 1);
            gui.app.Send(platform::WM_KEYUP, platform::VK_SHIFT, 1 | 3 << 30);
        } else {
            gui.app.OnKeyDown(key);
        }
        fuzz::CheckEdit(*edit, maxLength);
        if (key == kKeyCopy) {
            char back[GGuiSystem::kClipboardSize + 1] = {};
            gui.app.GetClipboardText(back, GGuiSystem::kClipboardSize);
            fuzz::Keep(fuzz::SumBytes(reinterpret_cast<const uint8_t*>(back), std::strlen(back)));
        }
    }
    edit->SetText(edit->GetText());
    dialog.RedrawDirty(io, 0, dialog.GetFirstClip());
    if (!fuzz::OnlyInside(screen, rect))
        __builtin_trap();
    gui.system.GetInvoker()->Execute(-1);
    return 0;
}
