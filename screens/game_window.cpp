#include "screens/game_window.h"

#include <new>

#include "audio/music/sound_manager.h"
#include "foundation/app/key_codes.h"
#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/button.h"
#include "screens/game_gui_system.h"
#include "screens/window_states.h"

GGameWindow::GGameWindow(GFormStackApplication* application, GGameGuiSystem* system,
                         std::string fileName)
    : GCfgDialog(application, system, std::move(fileName)), m_game(system)
{
}

int GGameWindow::Create()
{
    if (!GDialog::Create(std::make_unique<GAppearStateAlpha>(*this, kAppearMs)))
        return 0;
    PlaySound(kOpenSound);
    return 1;
}

void GGameWindow::Disappear()
{
    if (!IsClosing())
        SetState(std::make_unique<GDisappearStateAlpha>(*this, kDisappearMs));
}

void GGameWindow::OnBeforeControls(const GCfgNode& dialog)
{
    m_onEscape = dialog.Get("OnEscape", "");
    const char* picture = dialog.Get("Picture", nullptr);
    if (!picture)
        return;
    GGraphicsResources* store = m_game ? m_game->GetResources() : nullptr;
    m_pictureSlot = store ? store->FindBitmap(picture) : -1;
    if (m_pictureSlot < 0) {
        // The window opens on its background colour instead.
        if (GHtmlLog* log = m_game ? m_game->GetLog() : nullptr)
            log->PrintError("Window %s: no picture %s in the store", GetFileName().c_str(),
                            picture);
        return;
    }
    m_picture.SetSlot(m_pictureSlot);
    m_picture.SetPosition(0, 0);
    m_picture.SetVisible(true);
    AddClip(&m_picture);
}

int GGameWindow::OnKeyDown(int32_t key)
{
    // Only a window at rest closes: one still coming in or going out lets the key pass.
    if (VirtualKeyToKeyCode(key) == kKeyEscape && !m_onEscape.empty() &&
        dynamic_cast<GDialogNormalState*>(GetState()) && m_game) {
        m_game->ExecuteCommandList(m_onEscape.c_str());
        return 1;
    }
    return GCfgDialog::OnKeyDown(key);
}

void GGameWindow::OnControlClick(GBaseControl& control)
{
    if (dynamic_cast<GButton*>(&control) || dynamic_cast<GCheckBox*>(&control))
        PlaySound(kPressSound);
    GCfgDialog::OnControlClick(control);
}

void GGameWindow::PlaySound(const char* event)
{
    if (GSoundManager* sounds = m_game ? m_game->GetSoundManager() : nullptr)
        sounds->PlayEvent(SoundEventFromName(event));
}
