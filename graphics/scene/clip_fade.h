#pragma once
// Switching a clip to the faded variant of its draw mode, so that it takes its global alpha
// (used when the GUI fades a control in or out). Main thread only.

#include <cstdint>

class GBitmapTable;
class GClip;

// The faded draw mode of a mode or image format: 0 -> 7, 1 -> 8, 2 -> 3, 12 -> 10, 16 -> 17,
// 18 -> 19, 20 -> 21. Returns the value unchanged when it has no faded variant.
uint8_t FadedDrawMode(uint8_t mode);

// Gives the clip the faded variant of its draw mode. Draw mode 6 (the image's own format) is
// resolved through the image in the clip's frame slot and left alone when there is no table,
// the slot is empty or the format has no faded variant; other modes without a variant too.
void MakeClipAlphaBlended(GClip& clip, const GBitmapTable* table);
