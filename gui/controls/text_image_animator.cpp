#include "gui/controls/text_image_animator.h"

#include <cstring>

#include "foundation/image/bitmap.h"
#include "graphics/scene/clip_container.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/base_control.h"
#include "gui/controls/st_animators.h"
#include "gui/dialog.h"
#include "gui/gui_system.h"

GStTextImageAnimator::~GStTextImageAnimator()
{
    FreeImage();
}

void GStTextImageAnimator::FreeImage()
{
    if (m_store && m_store->GetPool() && m_poolSlot >= 0)
        m_store->GetPool()->FreeBitmap(m_poolSlot);
    m_poolSlot = -1;
}

GBitmap* GStTextImageAnimator::Image(GGraphicsResources* store, int32_t w, int32_t h)
{
    if (!store || w <= 0 || h <= 0 || w > 32767 || h > 32767)
        return nullptr;
    if (store != m_store)
        FreeImage();
    m_store = store;
    GBitmap* image =
        m_poolSlot >= 0 ? store->GetBitmap(store->AbsoluteSlotOfPoolSlot(m_poolSlot)) : nullptr;
    if (image && (image->GetWidth() != w || image->GetHeight() != h)) {
        FreeImage();
        image = nullptr;
    }
    if (!image) {
        m_poolSlot =
            store->CreateBitmap(uint16_t(w), uint16_t(h), 0, dmAlphaMask, nullptr, nullptr, -1);
        image =
            m_poolSlot >= 0 ? store->GetBitmap(store->AbsoluteSlotOfPoolSlot(m_poolSlot)) : nullptr;
    }
    return image && image->GetPixels() && image->GetAlpha() ? image : nullptr;
}

void GStTextImageAnimator::Refresh(const GBaseControl& control)
{
    const auto* source = dynamic_cast<const GTextImageSource*>(&control);
    GDialog* dialog = control.GetDialog();
    GGraphicsResources* store =
        dialog && dialog->GetSystem() ? dialog->GetSystem()->GetResources() : nullptr;
    if (!source || !store)
        return;
    const GRect& r = control.GetRect();
    uint32_t fill = 0; // an edit keeps its face colour; only the border shows the look
    uint32_t border = 0;
    PanelColoursOf(control, fill, border);
    m_panel.SetArea(r);
    m_panel.SetColours(control.GetColours().face, border);
    m_panel.SetVisible(control.IsVisible() && source->IsFramed() && !r.IsEmpty());

    GBitmap* image = Image(store, r.Width(), r.Height());
    if (!image) {
        m_clip.SetVisible(false);
        return;
    }
    std::memset(image->GetPixels(), 0, size_t(image->GetPitch()) * image->GetHeight());
    std::memset(image->GetAlpha(), 255, size_t(image->GetWidth()) * image->GetHeight());
    source->RenderText(*image);
    m_clip.SetSlot(store->AbsoluteSlotOfPoolSlot(m_poolSlot));
    m_clip.SetPosition(FixedFromInt(r.left), FixedFromInt(r.top));
    m_clip.SetVisible(control.IsVisible());
    // The slot and place may be the same as before while the pixels are not.
    m_clip.MarkMoved();
}
