#pragma once
// A GUI over the build's data folder for the control suites: an 800x600 form-stack
// application with its window, the GUI system with the bitmap fonts of "fonts.xml" and the
// raster font "Sans9", and input sent through the window procedure as the platform layer
// delivers it (virtual keys with their key positions, client coordinates). Header only.

#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "foundation/app/command_invoker.h"
#include "foundation/image/dib_surface.h"
#include "gui/bmp_font_manager.h"
#include "gui/dialog.h"
#include "gui/form_stack_application.h"
#include "gui/gui_system.h"
#include "gui/old_font_manager.h"
#include "platform/window/messages.h"
#include "support/temp_files.h"

namespace tolvanrise::test {

using namespace platform;

class ControlsApp : public GFormStackApplication {
public:
    int OnInit() override { return 1; }
    void Send(uint32_t message, uintptr_t wParam, intptr_t lParam)
    {
        WindowProc(message, wParam, lParam);
    }
};

// The key position the platform layer gives letters, digits and the space bar.
inline int KeyPosition(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return 4 + vk - 'A';
    if (vk >= '1' && vk <= '9')
        return 30 + vk - '1';
    if (vk == '0')
        return 39;
    return vk == VK_SPACE ? 44 : 0;
}

inline intptr_t PointParam(int x, int y)
{
    return intptr_t((uint32_t(uint16_t(y)) << 16) | uint16_t(x));
}

class GuiControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(here.Entered());
        ASSERT_TRUE(app.Create("Controls", "Controls", 800, 600, 0));
        ASSERT_EQ(system.Init(&app, temp.Path("log.html").c_str()), 1);
        ASSERT_EQ(system.GetBmpFontManager()->Init(system.GetResources(), "fonts.xml"), 2);
        ASSERT_EQ(system.GetOldFontManager()->AddFont("Sans9", "OLDFONT_SANS9", 3, 255, 33), 1);
    }
    // Dialogs hold clips in the system's list: they go first.
    void TearDown() override { app.RemoveAllForms(); }

    // A dialog on top of the stack, past its appear state.
    template <class Dialog = GDialog, class... Args>
    Dialog& Open(Args&&... args)
    {
        auto dialog = std::make_unique<Dialog>(&app, &system, std::forward<Args>(args)...);
        Dialog& result = *dialog;
        EXPECT_EQ(result.Create(0), 1);
        app.PushForm(std::move(dialog));
        app.OnFrame(30);
        return result;
    }

    void KeyDown(int vk) { app.Send(WM_KEYDOWN, uintptr_t(vk), 1 | (KeyPosition(vk) << 16)); }
    void KeyUp(int vk)
    {
        app.Send(WM_KEYUP, uintptr_t(vk), 1 | (KeyPosition(vk) << 16) | (3 << 30));
    }
    void Key(int vk)
    {
        KeyDown(vk);
        KeyUp(vk);
    }
    // The key with a modifier (VK_SHIFT, VK_CONTROL) held.
    void Chord(int modifier, int vk)
    {
        KeyDown(modifier);
        Key(vk);
        KeyUp(modifier);
    }
    // Lower-case letters, digits and spaces, key by key.
    void Type(std::string_view text)
    {
        for (char c : text)
            Key(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c == ' ' ? VK_SPACE : c);
    }
    void Move(int x, int y) { app.Send(WM_MOUSEMOVE, 0, PointParam(x, y)); }
    void Press(int x, int y) { app.Send(WM_LBUTTONDOWN, MK_LBUTTON, PointParam(x, y)); }
    void Drag(int x, int y) { app.Send(WM_MOUSEMOVE, MK_LBUTTON, PointParam(x, y)); }
    void Release(int x, int y) { app.Send(WM_LBUTTONUP, 0, PointParam(x, y)); }
    void Click(int x, int y)
    {
        Move(x, y);
        Press(x, y);
        Release(x, y);
    }
    int Queued() const { return system.GetInvoker()->GetQueueCount(); }
    // Bytes B, G, R of the back buffer at (x, y) as 0x00RRGGBB.
    uint32_t Pixel(int x, int y)
    {
        GDibSurface& surface = *app.GetBackBuffer();
        const uint8_t* p = surface.Lock() + y * surface.GetPitch() + x * 3;
        const uint32_t colour = p[0] | (p[1] << 8) | (p[2] << 16);
        surface.Unlock();
        return colour;
    }

    ScopedCurrentFolder here{TOLVANRISE_DATA_DIR};
    TempFolder temp{"controls_"};
    ControlsApp app;
    GGuiSystem system;
};

} // namespace tolvanrise::test
