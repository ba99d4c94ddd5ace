#include "screens/game_application.h"

#include <cstring>

#include "foundation/image/debug_font.h"
#include "foundation/image/dib_surface.h"

GGameApplication::GGameApplication() = default;

GGameApplication::~GGameApplication() = default;

int GGameApplication::OnInit()
{
    if (!DrawFirstScreen())
        return 0;
    // The game draws its own pointer; the system's stays hidden and free.
    SetCursorMode(0, 0);
    m_frameStatistics = 0;
    m_frameInterval = 30;
    m_gameStarted = true;
    return 1;
}

void GGameApplication::OnExit()
{
    // After a failed start there is nothing of the player's in memory: saving now would
    // replace the player's files with empty ones.
    if (!m_gameStarted)
        return;
    SavePlayerData();
    m_gameStarted = false;
}

void GGameApplication::OnFrame(int elapsedMs)
{
    GFormStackApplication::OnFrame(elapsedMs);
}

void GGameApplication::SavePlayerData() {}

bool GGameApplication::DrawFirstScreen()
{
    GDibSurface* surface = GetBackBuffer();
    if (!surface)
        return false;
    uint8_t* pixels = surface->Lock();
    if (!pixels) {
        surface->Unlock();
        return false;
    }
    const int32_t pitch = surface->GetPitch();
    for (int y = 0; y < surface->GetHeight(); ++y)
        std::memset(pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch), 0,
                    static_cast<size_t>(surface->GetWidth()) * 3);
    surface->Unlock();

    GDebugFont* font = GetDebugFont();
    font->textColour = 0xE0C070;
    font->backgroundColour = 0x000000;
    const char* text = "Tolvanrise";
    const int textWidth = static_cast<int>(std::strlen(text)) * GDebugFont::kCellWidth;
    DrawDebugTextTransparent((surface->GetWidth() - textWidth) / 2,
                             (surface->GetHeight() - GDebugFont::kCellHeight) / 2, "%s", text);
    return true;
}
