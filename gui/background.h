#pragma once
// GBackground: a dialog's picture, one pack file loaded into a pool slot of the bitmap store
// and shown by the clip the background owns. Main thread only.

#include <cstdint>

#include "graphics/scene/clip.h"

class GGraphicsResources;

class GBackground {
public:
    // Loads pack "Data<pack>.dat" from folder (null: the current folder) into a free pool slot,
    // trying it as a TGA, then as a JPM with the background's own key, then as a pack JPEG;
    // the first that takes it decides. The clip then shows the slot at its full size. 1 when
    // loaded; 0 leaves the clip as it was.
    int Load(GGraphicsResources* store, int32_t pack, const char* folder);

    GClip& GetClip() { return m_clip; }
    // The store's absolute slot holding the picture (one of its pool), -1 before a load.
    int16_t GetSlot() const { return m_slot; }

private:
    GClip m_clip;
    int16_t m_slot = -1;
};
