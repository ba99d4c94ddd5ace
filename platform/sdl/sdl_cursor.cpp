// Pointer visibility and the program's cursor pictures.

#include <SDL.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/window/cursor.h"
#include "platform/sdl/sdl_internal.h"

namespace platform {

// A cursor picture; the SDL cursor is made on first use and may stay null where the video
// driver cannot show pictures (the picture still counts as loaded).
class CursorImage {
public:
    std::vector<uint32_t> argb;
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    bool isArrow = false;
    SDL_Cursor* cursor = nullptr;

    ~CursorImage()
    {
        if (cursor && !isArrow)
            SDL_FreeCursor(cursor);
    }

    SDL_Cursor* Get()
    {
        if (cursor || !sdl::IsVideoRunning())
            return cursor;
        if (isArrow) {
            cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
            if (!cursor)
                cursor = SDL_GetDefaultCursor();
            return cursor;
        }
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            argb.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            cursor = SDL_CreateColorCursor(surface, hotX, hotY);
            SDL_FreeSurface(surface);
        }
        return cursor;
    }
};

namespace {

std::map<int, std::unique_ptr<CursorImage>> g_cursors;
std::unique_ptr<CursorImage> g_arrow;

} // namespace

void ShowCursor(bool shown)
{
    // A state, not a counter: any number of hides is undone by one show.
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

bool IsCursorShown()
{
    return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

bool RegisterCursorResource(int number, const uint32_t* argb, int width, int height, int hotX,
                            int hotY)
{
    if (!argb || width <= 0 || height <= 0 || width > 256 || height > 256 ||
        g_cursors.count(number))
        return false;
    auto image = std::make_unique<CursorImage>();
    image->argb.assign(argb, argb + size_t(width) * size_t(height));
    image->width = width;
    image->height = height;
    image->hotX = hotX < 0 ? 0 : hotX >= width ? width - 1 : hotX;
    image->hotY = hotY < 0 ? 0 : hotY >= height ? height - 1 : hotY;
    g_cursors[number] = std::move(image);
    return true;
}

CursorImage* LoadCursorResource(int number)
{
    auto it = g_cursors.find(number);
    return it == g_cursors.end() ? nullptr : it->second.get();
}

CursorImage* GetArrowCursor()
{
    if (!sdl::IsVideoRunning())
        return nullptr;
    if (!g_arrow) {
        g_arrow = std::make_unique<CursorImage>();
        g_arrow->isArrow = true;
    }
    return g_arrow.get();
}

void SetCursorImage(CursorImage* image)
{
    if (!sdl::IsVideoRunning())
        return;
    if (!image)
        image = GetArrowCursor();
    SDL_Cursor* cursor = image ? image->Get() : nullptr;
    SDL_SetCursor(cursor ? cursor : SDL_GetDefaultCursor());
}

void ClearCursorResources()
{
    if (sdl::IsVideoRunning())
        SDL_SetCursor(SDL_GetDefaultCursor());
    g_cursors.clear();
    g_arrow.reset();
}

} // namespace platform
