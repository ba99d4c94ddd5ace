#include "screens/game_window.h"

#include <new>

#include "audio/music/sound_manager.h"
#include "foundation/app/key_codes.h"
#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/button.h"
#include "screens/game_gui_system.h"
#include "screens/window_states.h"

GGameWindow::GGameWindow(GFormStackApplication* application, GGameGuiSystem* system,
                         std::string fileName)
    : GCfgDialog(application, system, std::move(fileName)), m_game(system)
{
}

GGameWindow::~GGameWindow()
{
    GGraphicsResources* store = m_game ? m_game->GetResources() : nullptr;
    GBitmapPool* pool = store ? store->GetPool() : nullptr;
    if (pool && m_background.GetSlot() >= 0) {
        // Nothing draws the clip any more: the list is flushed only by frames to come.
        m_background.GetClip().SetVisible(false);
        pool->FreeBitmap(static_cast<int16_t>(m_background.GetSlot() - pool->GetFirstSlot()));
    }
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
    if (!dialog.HasValue("BackgroundPack"))
        return;
    const int32_t pack = dialog.GetI("BackgroundPack", 0);
    if (!m_background.Load(m_game ? m_game->GetResources() : nullptr, pack, nullptr)) {
        // The window opens on its background colour instead.
        if (GHtmlLog* log = m_game ? m_game->GetLog() : nullptr)
            log->PrintError("Window %s: cannot load the picture Data%d.dat", GetFileName().c_str(),
                            pack);
        return;
    }
    m_background.GetClip().SetVisible(true);
    AddClip(&m_background.GetClip());
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
