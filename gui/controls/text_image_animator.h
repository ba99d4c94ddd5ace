#pragma once
// The look of the controls that draw their text themselves (the TrueType label and edit, the
// raster-font edit): an image of the control's size in the bitmap store's pool (format 2,
// pixels and mask, cleared to transparent before every drawing) into which the control draws
// its text, shown by one clip over an optional panel. The image is the control's rectangle,
// so nothing the control draws can land outside it. Owns the pool image. Main thread only.

#include <cstdint>

#include "graphics/scene/clip.h"
#include "gui/controls/animator.h"
#include "gui/controls/panel_clip.h"
#include "gui/controls/st_animators.h"

class GBitmap;
class GGraphicsResources;

// What such a control offers its animator.
class GTextImageSource {
public:
    virtual ~GTextImageSource() = default;
    // Draws into a transparent image of exactly the control's size.
    virtual void RenderText(GBitmap& image) const = 0;
    // A panel in the control's look is drawn behind the image.
    virtual bool IsFramed() const { return false; }
};

class GStTextImageAnimator : public GClipSetAnimator {
public:
    GStTextImageAnimator() : GClipSetAnimator({&m_panel, &m_clip}, nullptr) {}
    ~GStTextImageAnimator() override;
    void Refresh(const GBaseControl& control) override;

    // The absolute store slot of the image; -1 before the first drawing.
    int32_t GetImageSlot() const
    {
        return m_clip.IsVisible() || m_poolSlot >= 0 ? m_clip.GetSlot() : -1;
    }
    const GClip& GetClip() const { return m_clip; }

private:
    // An image of w x h in the pool, made again when the size changed; null when it cannot be.
    GBitmap* Image(GGraphicsResources* store, int32_t w, int32_t h);
    void FreeImage();

    GGraphicsResources* m_store = nullptr; // observed; the pool image's owner
    int16_t m_poolSlot = -1;
    GClip m_clip;
    GPanelClip m_panel;
};
