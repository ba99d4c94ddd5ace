// The two edits on random key, character and mouse sequences: the text never grows past its
// maximum length, the caret and selection stay inside it, and nothing is drawn outside the
// edit's rectangle.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "foundation/app/command_invoker.h"
#include "foundation/image/dib_surface.h"
#include "fuzz/fuzz_gui.h"
#include "gui/controls/old_font_controls.h"
#include "gui/controls/ttf_controls.h"
#include "gui/dialog.h"
#include "platform/window/messages.h"

namespace {

using namespace platform;

constexpr int kMaxLength = 12;
constexpr int kKeys[] = {VK_LEFT,   VK_RIGHT,  VK_HOME, VK_END, VK_BACK,  VK_DELETE,
                         VK_SPACE,  VK_RETURN, VK_TAB,  VK_UP,  VK_PRIOR, VK_SHIFT,
                         'A',       'C',       'V',     'X',    'Z',      '7',
                         VK_INSERT, VK_ESCAPE, 0x8000,  0x8001, 0x8002,   VK_CONTROL};

intptr_t Point(int x, int y)
{
    return intptr_t((uint32_t(uint16_t(y)) << 16) | uint16_t(x));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    const fuzz::GuiInput<> input;
    fuzz::Gui& gui = *input;
    GDibSurface& screen = *gui.app.GetBackBuffer();
    // One dialog with both edits for the whole run; each input takes one of them.
    static GDialog* dialog = [&gui] {
        GDialog* made = fuzz::PushDialog(gui);
        made->AddControl(std::make_unique<GTextEdit>("edText", "DejaVuSans.ttf", 12, kMaxLength));
        made->AddControl(std::make_unique<GEdit>(
            "edCode", gui.system.GetOldFontManager()->FindFont("Sans9"), kMaxLength));
        return made;
    }();
    GBaseEdit* edit = static_cast<GBaseEdit*>(dialog->GetControl(data[0] & 1));
    GBaseEdit* other = static_cast<GBaseEdit*>(dialog->GetControl(1 - (data[0] & 1)));
    const GRect rect{40, 40, int16_t(40 + 20 + data[0] % 160), int16_t(40 + 12 + data[1] % 30)};
    other->SetVisible(false);
    edit->SetVisible(true);
    edit->SetRect(rect);
    edit->SetText(GWString());
    dialog->SetFocus(edit);
    GRect io{};
    dialog->RedrawDirty(io, 0, dialog->GetFirstClip());
    std::memset(screen.Lock(), 0, size_t(screen.GetPitch()) * screen.GetHeight());
    screen.Unlock();

    for (size_t i = 2; i + 1 < size; i += 2) {
        const uint8_t op = data[i];
        const uint8_t arg = data[i + 1];
        switch (op % 6) {
        case 0:
        case 1: {
            const int vk = kKeys[arg % (sizeof kKeys / sizeof kKeys[0])];
            // The key's position: letters and digits type characters through the layout.
            const int position = vk >= 'A' && vk <= 'Z' ? 4 + vk - 'A'
                                 : vk == '7'            ? 36
                                 : vk == VK_SPACE       ? 44
                                                        : 0;
            if (vk >= 0x8000)
                gui.app.OnKeyDown(vk);
            else
                gui.app.Send(op & 1 ? WM_KEYUP : WM_KEYDOWN, uintptr_t(vk),
                             1 | (position << 16) | (op & 1 ? 3 << 30 : 0));
            break;
        }
        case 2:
            gui.app.Send(WM_CHAR, arg, 0);
            break;
        case 3:
            gui.app.Send(WM_LBUTTONDOWN, MK_LBUTTON,
                         Point(rect.left + arg % 300 - 60, rect.top + 2));
            break;
        case 4:
            gui.app.Send(WM_MOUSEMOVE, op & 8 ? MK_LBUTTON : 0, Point(arg + 20, rect.top + 3));
            break;
        default: {
            char16_t text[8];
            for (int k = 0; k < 8; ++k)
                text[k] = char16_t(data[(i + k) % size] * (op >> 3));
            edit->SetText(GWString(std::u16string_view(text, 8)));
            break;
        }
        }
        fuzz::CheckEdit(*edit, kMaxLength);
    }
    gui.app.Send(WM_LBUTTONUP, 0, Point(rect.left, rect.top));
    // Whatever changed is redrawn: the whole edit, as the previous input's screen is gone.
    edit->SetText(edit->GetText());
    dialog->RedrawDirty(io, 0, dialog->GetFirstClip());
    if (!fuzz::OnlyInside(screen, rect))
        __builtin_trap();
    gui.system.GetInvoker()->Execute(-1);
    return 0;
}
