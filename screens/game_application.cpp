#include "screens/game_application.h"

#include <new>

#include "audio/music/music_manager.h"
#include "foundation/files/html_log.h"
#include "game/score/high_score_client.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/dialog.h"
#include "platform/window/keyboard.h"
#include "platform/window/quit_requests.h"
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
    GHighScoreClient::Get().Init(m_system->GetLog());
    InitCursor();
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
    const std::string asked = platform::TakeCloseReason();
    if (m_system && !asked.empty())
        m_system->GetLog()->Printf("Closing: %s", asked.c_str());
    if (m_gameStarted) {
        SavePlayerData();
        m_gameStarted = false;
    }
    GHighScoreClient::Get().Shutdown();
    EndGame();
}

void GGameApplication::EndGame()
{
    m_intro = nullptr;
    RemoveAllForms();
    TakeCursorOut();
    m_cursorContainer.reset();
    m_cursorFlags[kCursorReady] = 0;
    m_system.reset();
}

void GGameApplication::OnFrame(int elapsedMs)
{
    GFormStackApplication::OnFrame(elapsedMs);
    if (!m_mainMenuStarted && m_intro && GetIntroDialog() && m_intro->IsDoneWaiting())
        StartMainMenu();
    UpdateCursor();
}

void GGameApplication::StartMainMenu()
{
    m_mainMenuStarted = true;
    m_intro->Disappear();
    m_system->OpenMainMenu();
}

void GGameApplication::OnFormOpening()
{
    TakeCursorOut();
}

void GGameApplication::TakeCursorOut()
{
    if (m_cursorContainer) {
        m_cursorContainer->RemoveClip(&m_cursorClips[0]);
        m_cursorContainer->RemoveClip(&m_cursorClips[1]);
    }
}

void GGameApplication::InitCursor()
{
    GGraphicsResources* store = m_system->GetResources();
    const int16_t normal = store->FindBitmap(kCursorPicture);
    const int16_t pressed = store->FindBitmap(kCursorPressedPicture);
    if (normal < 0 || pressed < 0) {
        // The game runs on without a pointer rather than not at all.
        m_system->GetLog()->PrintError("Cannot find the cursor pictures %s and %s", kCursorPicture,
                                       kCursorPressedPicture);
        return;
    }
    m_cursorClips[0].SetSlot(normal);
    m_cursorClips[1].SetSlot(pressed);
    for (GClip& clip : m_cursorClips) {
        clip.SetVisible(false);
        // The pictures are drawn around their centre, which goes to the mouse plus the
        // hot-spot offsets; our tools draw each arrow's tip where that puts it on the mouse.
        clip.SetAnchorMode(kCursorAnchor);
    }
    m_cursorDrawMode = m_cursorClips[0].GetDrawMode();
    m_cursorContainer = GClipContainer::Create(GetBackBuffer(), store, m_system->GetClipArray(),
                                               m_system->GetRectArray());
    m_cursorFlags[kCursorReady] = m_cursorContainer ? 1 : 0;
}

GIntroDialog* GGameApplication::GetIntroDialog() const
{
    for (int i = 0; i < GetFormCount(); ++i)
        if (GetForm(i) == m_intro)
            return m_intro;
    return nullptr;
}

int GGameApplication::GetShownCursor() const
{
    if (!m_cursorFlags[kCursorShown])
        return -1;
    return m_cursorFlags[kCursorPressed] ? 1 : 0;
}

void GGameApplication::UpdateCursor()
{
    if (!m_cursorFlags[kCursorReady])
        return;
    int16_t x = 0;
    int16_t y = 0;
    GetCursorClientPos(x, y);
    const bool inside = !IsInactive() && x >= 0 && y >= 0 && x < GetWidth() && y < GetHeight();
    const int shown = m_cursorFlags[kCursorPressed] ? 1 : 0;
    // The cursor's clips end the list, inside the range of the top window, whose fades take
    // every clip of that range: the cursor always draws as itself.
    for (GClip& clip : m_cursorClips) {
        if (clip.GetDrawMode() != m_cursorDrawMode || clip.GetAlpha() != 255) {
            clip.SetDrawMode(m_cursorDrawMode);
            clip.SetAlpha(255);
            clip.MarkMoved();
        }
    }
    m_cursorClips[1 - shown].SetVisible(false);
    m_cursorClips[shown].SetVisible(inside);
    if (inside)
        m_cursorClips[shown].SetPosition(FixedFromInt(x + m_cursorHotX), FixedFromInt(y + m_cursorHotY));
    m_cursorFlags[kCursorShown] = inside ? 1 : 0;
    m_cursorX = inside ? x : -256;
    m_cursorY = inside ? y : -256;

    // Last in the list, so drawn over every form; a form made or deleted since the last frame
    // may have left them elsewhere or taken them out, and whatever was drawn at their place
    // meanwhile was drawn without them: back in the list, they are drawn whole again.
    GClipArray* list = m_cursorContainer->GetClips();
    const int count = list->GetCount();
    if (count < 2 || list->GetAt(count - 2) != &m_cursorClips[0] ||
        list->GetAt(count - 1) != &m_cursorClips[1]) {
        TakeCursorOut();
        for (GClip& clip : m_cursorClips) {
            m_cursorContainer->AddClip(&clip);
            clip.MarkMoved();
        }
    }
    // What lies under the cursor's old and new place is drawn again by the top window itself,
    // from its first clip and over its own background, exactly as its last redraw drew it
    // (a fade included): the cursor leaves no square of another frame behind.
    auto* top = dynamic_cast<GDialog*>(GetTopForm());
    GClipContainer* container = top ? static_cast<GClipContainer*>(top) : m_cursorContainer.get();
    GRect rect;
    container->GetClientBounds(rect);
    if (container->RedrawDirty(rect, 0, top ? top->GetFirstClip() : 0) == 1)
        PresentRect(rect);
}

void GGameApplication::OnLButtonDown(int x, int y)
{
    m_cursorFlags[kCursorPressed] = 1;
    GFormStackApplication::OnLButtonDown(x, y);
}

void GGameApplication::OnLButtonUp(int x, int y)
{
    m_cursorFlags[kCursorPressed] = 0;
    GFormStackApplication::OnLButtonUp(x, y);
}

void GGameApplication::OnKeyDown(int key)
{
    // Alt as the window's key messages told it, or as the keyboard holds it now.
    if (key == kVirtualKeyReturn && (IsAltDown() || platform::IsKeyDown(kVirtualKeyMenu)) &&
        m_system) {
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
