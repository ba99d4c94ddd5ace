#include "screens/game_application.h"

#include <new>

#include "platform/window/keyboard.h"
#include "screens/game_gui_system.h"
#include "screens/intro_dialog.h"

namespace {

constexpr int kVirtualKeyReturn = 0x0D;
constexpr int kVirtualKeyMenu = 0x12; // Alt

} // namespace

GGameApplication::GGameApplication() = default;

GGameApplication::~GGameApplication()
{
    EndGame();
}

int GGameApplication::OnInit()
{
    // Everything the game shows is drawn into the back buffer.
    if (!GetBackBuffer())
        return 0;
    m_system = GGameGuiSystem::Create(this);
    if (!m_system)
        return 0;
    auto intro = std::unique_ptr<GIntroDialog>(new (std::nothrow) GIntroDialog(this, m_system.get()));
    if (!intro || !intro->Create())
        return 0;
    m_intro = intro.get();
    PushForm(std::move(intro));
    // The game draws its own pointer; the system's stays hidden and free.
    SetCursorMode(0, 0);
    m_frameStatistics = 0;
    m_frameInterval = 30;
    m_gameStarted = true;
    return 1;
}

void GGameApplication::OnBeforeShow()
{
    if (m_gameStarted)
        OnFrame(0);
}

void GGameApplication::OnExit()
{
    // After a failed start there is nothing of the player's in memory: saving now would
    // replace the player's files with empty ones.
    if (m_gameStarted) {
        SavePlayerData();
        m_gameStarted = false;
    }
    EndGame();
}

void GGameApplication::EndGame()
{
    m_intro = nullptr;
    RemoveAllForms();
    m_system.reset();
}

void GGameApplication::OnFrame(int elapsedMs)
{
    GFormStackApplication::OnFrame(elapsedMs);
}

void GGameApplication::OnKeyDown(int key)
{
    if (key == kVirtualKeyReturn && platform::IsKeyDown(kVirtualKeyMenu) && m_system) {
        m_system->ExecuteCommand("cmFullScreen", nullptr);
        return;
    }
    GFormStackApplication::OnKeyDown(key);
}

void GGameApplication::OnActivate()
{
    GFormStackApplication::OnActivate();
    if (IsFullscreen())
        RestoreOrMinimize(1);
}

void GGameApplication::OnDeactivate()
{
    GFormStackApplication::OnDeactivate();
    // A full-screen game that loses the focus gets out of the way.
    if (IsFullscreen())
        RestoreOrMinimize(0);
}

void GGameApplication::SavePlayerData()
{
    if (m_system)
        m_system->SavePlayerData();
}
