#pragma once
// The mouse pointer: visibility (a state, not a counter, so repeated hides need no matching
// shows) and its image. Images are the program's cursor resources: numbered pictures
// registered at start-up; a number without a picture does not load. Main thread only.

#include <cstdint>

namespace platform {

class CursorImage;

void ShowCursor(bool shown);
bool IsCursorShown();

// Registers a 32-bit 0xAARRGGBB picture of width x height pixels (row after row) under a
// resource number; false when the number is taken or the picture cannot be made.
bool RegisterCursorResource(int number, const uint32_t* argb, int width, int height,
                            int hotX, int hotY);
// The picture registered under the number, or null.
CursorImage* LoadCursorResource(int number);
// The system arrow; null when no window system is running.
CursorImage* GetArrowCursor();
// Makes the image the pointer's picture (null: the arrow).
void SetCursorImage(CursorImage* image);
// Releases every registered picture (tests and shut-down).
void ClearCursorResources();

} // namespace platform
