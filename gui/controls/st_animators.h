#pragma once
// The standard looks of the bitmap-font controls: flat panels (GPanelClip) in the colours of
// the control's look and captions laid out by GBmpText (format, colour, text, visibility and
// alpha set from the control's state; a disabled control's texts are drawn at half alpha).
// Each animator reads the control it belongs to and ignores any other kind. Owned by their
// controls. Main thread only.

#include <initializer_list>
#include <memory>
#include <vector>

#include "graphics/fonts/bmp_text.h"
#include "gui/controls/animator.h"
#include "gui/controls/panel_clip.h"

class GBmpFont;
class GBmpText;
class GWString;

// One line of text in a bitmap font, laid out again only when something about it changed. Its
// clips are made for the text it shows (at least kMinClips, at most kMaxLength), and made
// again when a longer text comes: every clip costs the frame's update pass, shown or not.
class GCaption {
public:
    static constexpr int16_t kMinClips = 4;
    static constexpr int16_t kMaxLength = 256;

    explicit GCaption(GBmpFont* font);
    ~GCaption();
    void Attach(GClipContainer& container);
    void Detach(GClipContainer& container);
    // anchor: 0 starts at x, 1 centres on x, 2 ends at x; the line is centred on row yCentre.
    void Show(const GWString& text, uint32_t colour, uint8_t alpha, GTextAnchor anchor, int32_t x,
              int32_t yCentre, bool visible);
    GBmpText* GetText() const { return m_text.get(); }

private:
    // Enough clips for length characters; false without a font.
    bool Reserve(int32_t length);

    GBmpFont* m_font; // observed
    GClipContainer* m_container = nullptr;
    std::unique_ptr<GBmpText> m_text;
    // Outgrown texts, hidden but still in the container, so the flush repaints where they were.
    std::vector<std::unique_ptr<GBmpText>> m_retired;
};

// An animator whose clips go into the container in the order given and come out in the
// reverse order, an optional caption over them.
class GClipSetAnimator : public GCAnimator {
public:
    void Attach(GClipContainer& container) override;
    void Detach(GClipContainer& container) override;

protected:
    // The clips and the caption are the derived animator's members: only their addresses are
    // kept, used once it is built.
    GClipSetAnimator(std::initializer_list<GClip*> clips, GCaption* caption)
        : m_clips(clips), m_caption(caption)
    {
    }

private:
    std::vector<GClip*> m_clips;
    GCaption* m_caption; // observed, may be null
};

// The ring shown around a focused control: a band of the focus colour this many pixels wide
// just outside its panel.
constexpr int32_t kFocusRingWidth = 3;
void ShowFocusRing(GRingClip& ring, const GBaseControl& control, const GRect& around);

// The panel colours of a look: fill and border (the focus colour while focused).
void PanelColoursOf(const GBaseControl& control, uint32_t& fill, uint32_t& border);
// Alpha of a control's texts: full, or half when disabled.
uint8_t TextAlphaOf(const GBaseControl& control);

// The panel with the caption centred on it; while focused, a ring in the focus colour around
// the panel.
class GStButtonAnimator : public GClipSetAnimator {
public:
    explicit GStButtonAnimator(GBmpFont* font)
        : GClipSetAnimator({&m_focus, &m_panel}, &m_caption), m_caption(font)
    {
    }
    void Refresh(const GBaseControl& control) override;

private:
    GRingClip m_focus;
    GPanelClip m_panel;
    GCaption m_caption;
};

// A square box at the left with a tick inside when checked, the caption to its right; while
// focused, a ring in the focus colour around the box.
class GStCheckBoxAnimator : public GClipSetAnimator {
public:
    explicit GStCheckBoxAnimator(GBmpFont* font)
        : GClipSetAnimator({&m_focus, &m_box, &m_mark}, &m_caption), m_caption(font)
    {
    }
    void Refresh(const GBaseControl& control) override;

private:
    GRingClip m_focus;
    GPanelClip m_box;
    GCheckMarkClip m_mark;
    GCaption m_caption;
};

class GStStaticLabelAnimator : public GClipSetAnimator {
public:
    explicit GStStaticLabelAnimator(GBmpFont* font)
        : GClipSetAnimator({}, &m_caption), m_caption(font)
    {
    }
    void Refresh(const GBaseControl& control) override;

private:
    GCaption m_caption;
};

// A thin track across the middle of the rectangle and the thumb on it; while focused, a ring in
// the focus colour around the rectangle.
class GStSliderBarAnimator : public GClipSetAnimator {
public:
    GStSliderBarAnimator() : GClipSetAnimator({&m_focus, &m_track, &m_thumb}, nullptr) {}
    void Refresh(const GBaseControl& control) override;

private:
    GRingClip m_focus;
    GPanelClip m_track;
    GPanelClip m_thumb;
};

// The list's panel, a bar behind the selected row and one caption per visible row.
class GStListBoxAnimator : public GCAnimator {
public:
    static constexpr int kMaxRows = 32;

    explicit GStListBoxAnimator(GBmpFont* font) : m_font(font) {}
    ~GStListBoxAnimator() override;
    void Attach(GClipContainer& container) override;
    void Detach(GClipContainer& container) override;
    void Refresh(const GBaseControl& control) override;

private:
    GBmpFont* m_font; // observed
    GClipContainer* m_container = nullptr;
    GPanelClip m_panel;
    GPanelClip m_bar;
    std::vector<std::unique_ptr<GCaption>> m_rows;
};

// One panel and caption per tab; the selected tab in the selection colour.
class GStTabControlAnimator : public GCAnimator {
public:
    static constexpr int kMaxTabs = 16;

    explicit GStTabControlAnimator(GBmpFont* font) : m_font(font) {}
    ~GStTabControlAnimator() override;
    void Attach(GClipContainer& container) override;
    void Detach(GClipContainer& container) override;
    void Refresh(const GBaseControl& control) override;

private:
    struct TabLook {
        GPanelClip panel;
        GCaption caption;
        explicit TabLook(GBmpFont* font) : caption(font) {}
    };
    GBmpFont* m_font; // observed
    GClipContainer* m_container = nullptr;
    std::vector<std::unique_ptr<TabLook>> m_tabs;
};
