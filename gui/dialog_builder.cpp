#include "gui/dialog_builder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/files/html_log.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "gui/ani_static_label_animator.h"
#include "gui/bmp_font_manager.h"
#include "gui/controls/button.h"
#include "gui/controls/list_box.h"
#include "gui/controls/old_font_controls.h"
#include "gui/controls/slider_bar.h"
#include "gui/controls/tab_control.h"
#include "gui/controls/ttf_controls.h"
#include "gui/dialog.h"
#include "gui/gui_system.h"
#include "gui/old_font_manager.h"

namespace {

constexpr int32_t kDefaultMaxLength = 32;
constexpr int32_t kLargestMaxLength = 1024;
constexpr int32_t kDefaultRowHeight = 20;
constexpr int32_t kDefaultTtfSize = 12;

// What a control's entry offers the kind's maker, and what the maker reports back.
struct ControlSpec {
    const GCfgNode& node;
    std::string name;
    std::string font;
    GGuiSystem& system;
    std::string error; // set by a maker that refuses
};

using Maker = std::unique_ptr<GBaseControl> (*)(ControlSpec&);

GWString Translate(GGuiSystem& system, const char* key)
{
    const GWString text(key);
    return system.GetDictionary() ? system.GetDictionary()->Translate(text) : text;
}

GTextAlign AlignOf(const GCfgNode& node)
{
    const char* align = node.Get("Align", "left");
    if (std::strcmp(align, "centre") == 0 || std::strcmp(align, "center") == 0)
        return GTextAlign::Centre;
    if (std::strcmp(align, "right") == 0)
        return GTextAlign::Right;
    return GTextAlign::Left;
}

GBmpFont* BitmapFont(ControlSpec& spec)
{
    GBmpFont* font = spec.system.GetBmpFontManager()
                         ? spec.system.GetBmpFontManager()->FindFont(spec.font)
                         : nullptr;
    if (!font)
        spec.error = "no bitmap font \"" + spec.font + "\"";
    return font;
}

const GOldFont* RasterFont(ControlSpec& spec)
{
    GOldFontManager* fonts = spec.system.GetOldFontManager();
    const GOldFont* font = fonts ? fonts->FindFont(spec.font.c_str()) : nullptr;
    if (!font)
        spec.error = "no raster font \"" + spec.font + "\"";
    return font;
}

int16_t TtfSize(const GCfgNode& node)
{
    return static_cast<int16_t>(std::clamp<int32_t>(node.GetI("Size", kDefaultTtfSize), 4, 200));
}

int32_t MaxLengthOf(const GCfgNode& node)
{
    return std::clamp<int32_t>(node.GetI("MaxLength", kDefaultMaxLength), 0, kLargestMaxLength);
}

std::unique_ptr<GBaseControl> MakeButton(ControlSpec& spec)
{
    GBmpFont* font = BitmapFont(spec);
    return font ? std::make_unique<GButton>(spec.name, font) : nullptr;
}

std::unique_ptr<GBaseControl> MakeCheckBox(ControlSpec& spec)
{
    GBmpFont* font = BitmapFont(spec);
    if (!font)
        return nullptr;
    auto box = std::make_unique<GCheckBox>(spec.name, font);
    box->SetChecked(spec.node.GetI("Checked", 0) != 0);
    return box;
}

std::unique_ptr<GBaseControl> MakeSlider(ControlSpec& spec)
{
    auto slider = std::make_unique<GSliderBar>(spec.name);
    slider->SetRange(spec.node.GetI("Min", 0), spec.node.GetI("Max", 100));
    slider->SetStep(spec.node.GetI("Step", 1));
    slider->SetValue(spec.node.GetI("Value", slider->GetMin()));
    return slider;
}

std::unique_ptr<GBaseControl> MakeList(ControlSpec& spec)
{
    GBmpFont* font = BitmapFont(spec);
    if (!font)
        return nullptr;
    auto list =
        std::make_unique<GListBox>(spec.name, font, spec.node.GetI("RowHeight", kDefaultRowHeight));
    if (const GCfgValueList* items = spec.node.FindValueList("Items"))
        for (const GCfgValue& item : *items)
            list->AddItem(Translate(spec.system, item.c_str()));
    list->SetSelected(spec.node.GetI("Selected", -1));
    return list;
}

std::unique_ptr<GBaseControl> MakeTabs(ControlSpec& spec)
{
    GBmpFont* font = BitmapFont(spec);
    if (!font)
        return nullptr;
    auto tabs = std::make_unique<GTabControl>(spec.name, font);
    if (const GCfgNodeList* list = spec.node.FindObjectList("Tab")) {
        for (const GCfgNode& tab : *list) {
            std::vector<std::string> page;
            if (const GCfgValueList* names = tab.FindValueList("Controls"))
                for (const GCfgValue& name : *names)
                    page.emplace_back(name.c_str());
            tabs->AddTab(Translate(spec.system, tab.Get("Text", "")), std::move(page));
        }
    }
    return tabs;
}

std::unique_ptr<GBaseControl> MakeStaticLabel(ControlSpec& spec)
{
    const char* animation = spec.node.Get("Animation", nullptr);
    // A label played by a keyframe animation needs no font.
    GBmpFont* font = animation ? nullptr : BitmapFont(spec);
    if (!animation && !font)
        return nullptr;
    auto label = std::make_unique<GStaticLabel>(spec.name, font, AlignOf(spec.node));
    if (animation) {
        GCfgNode file;
        auto animator = std::make_unique<GAniStaticLabelAnimator>();
        if (file.LoadFile(animation) != 1 ||
            !animator->Play(file, spec.node.Get("AnimationName", spec.name.c_str()),
                            spec.system.GetResources(), spec.node.GetI("X", 0),
                            spec.node.GetI("Y", 0))) {
            spec.error = std::string("cannot play the animation \"") + animation + "\"";
            return nullptr;
        }
        label->SetAnimator(std::move(animator));
    }
    return label;
}

// The TrueType controls open their face themselves: one that could not is refused by name.
template <class Control>
std::unique_ptr<GBaseControl> WithLoadedFace(ControlSpec& spec, std::unique_ptr<Control> control)
{
    if (!control->GetFace().IsLoaded()) {
        spec.error = "no TrueType font \"" + spec.font + "\"";
        return nullptr;
    }
    return control;
}

std::unique_ptr<GBaseControl> MakeTextLabel(ControlSpec& spec)
{
    return WithLoadedFace(spec,
                          std::make_unique<GTextLabel>(spec.name, spec.font.c_str(),
                                                       TtfSize(spec.node), AlignOf(spec.node)));
}

std::unique_ptr<GBaseControl> MakeTextEdit(ControlSpec& spec)
{
    return WithLoadedFace(spec,
                          std::make_unique<GTextEdit>(spec.name, spec.font.c_str(),
                                                      TtfSize(spec.node), MaxLengthOf(spec.node)));
}

std::unique_ptr<GBaseControl> MakeEdit(ControlSpec& spec)
{
    const GOldFont* font = RasterFont(spec);
    return font ? std::make_unique<GEdit>(spec.name, font, MaxLengthOf(spec.node)) : nullptr;
}

std::unique_ptr<GBaseControl> MakeEditLabel(ControlSpec& spec)
{
    const GOldFont* font = RasterFont(spec);
    return font ? std::make_unique<GEditLabel>(spec.name, font, AlignOf(spec.node)) : nullptr;
}

struct Kind {
    const char* keyword;
    const char* prefix; // null: only by keyword
    Maker make;
};

constexpr Kind kKinds[] = {
    {"BUTTON", "btn", MakeButton},
    {"CHECKBOX", "cb", MakeCheckBox},
    {"SLIDERBAR", "sl", MakeSlider},
    {"LISTBOX", "lst", MakeList},
    {"TABCONTROL", nullptr, MakeTabs},
    {"STATICLABEL", "lbl", MakeStaticLabel},
    {"TEXTLABEL", nullptr, MakeTextLabel},
    {"TEXTEDIT", nullptr, MakeTextEdit},
    {"EDIT", "ed", MakeEdit},
    {"EDITLABEL", nullptr, MakeEditLabel},
};

// The kind a keyword names, or the one the name's prefix names (the prefix followed by an
// upper-case letter or a digit, as in "btnPlay", so "lblx" is not a label).
const Kind* KindOf(const char* keyword, const std::string& name)
{
    for (const Kind& kind : kKinds) {
        if (keyword && std::strcmp(keyword, kind.keyword) == 0)
            return &kind;
        if (!keyword && kind.prefix) {
            const size_t n = std::strlen(kind.prefix);
            if (name.size() > n && name.compare(0, n, kind.prefix) == 0 &&
                ((name[n] >= 'A' && name[n] <= 'Z') || (name[n] >= '0' && name[n] <= '9')))
                return &kind;
        }
    }
    return nullptr;
}

} // namespace

int GDialogBuilder::LoadFile(GCfgNode& file, const char* fileName)
{
    if (fileName && file.LoadFile(fileName) == 1)
        return 1;
    if (GHtmlLog* log = m_system.GetLog())
        log->PrintError("Cannot read the dialog file %s: %s (line %d)",
                        fileName ? fileName : "(none)", CfgErrorText(CfgErrorCode), CfgLineNumber);
    return 0;
}

const GCfgNode* GDialogBuilder::FindDialog(const GCfgNode& file, const char* source)
{
    const GCfgNodeList* dialogs = file.FindObjectList("Dialog");
    if (dialogs && !dialogs->empty())
        return &dialogs->front();
    if (GHtmlLog* log = m_system.GetLog())
        log->PrintError("Dialog file %s holds no Dialog", source ? source : "(dialog)");
    return nullptr;
}

int GDialogBuilder::BuildFromFile(GDialog& dialog, const char* fileName)
{
    GCfgNode file;
    return LoadFile(file, fileName) ? Build(dialog, file, fileName) : -1;
}

int GDialogBuilder::Build(GDialog& dialog, const GCfgNode& file, const char* source)
{
    GHtmlLog* log = m_system.GetLog();
    source = source ? source : "(dialog)";
    const GCfgNode* found = FindDialog(file, source);
    if (!found)
        return -1;
    const GCfgNode& root = *found;
    if (root.HasValue("BackgroundColour")) {
        dialog.SetBackgroundMode(kBackgroundFill);
        dialog.SetBackgroundColour(static_cast<uint32_t>(root.GetI("BackgroundColour", 0)) &
                                   0xFFFFFF);
    }
    GRect screen;
    dialog.GetClientBounds(screen);
    int made = 0;
    const GCfgNodeList* controls = root.FindObjectList("Control");
    const size_t count = controls ? controls->size() : 0;
    for (size_t i = 0; i < count; ++i) {
        const GCfgNode& node = (*controls)[i];
        ControlSpec spec{node, node.Get("Name", ""), node.Get("Font", ""), m_system, {}};
        const char* keyword = node.Get("Class", nullptr);
        const Kind* kind = KindOf(keyword, spec.name);
        const int32_t x = node.GetI("X", 0);
        const int32_t y = node.GetI("Y", 0);
        const int32_t w = node.GetI("Width", 0);
        const int32_t h = node.GetI("Height", 0);
        std::unique_ptr<GBaseControl> control;
        if (!kind)
            spec.error = keyword ? std::string("unknown keyword ") + keyword
                                 : "no Class and no known type prefix";
        else if (w <= 0 || h <= 0)
            spec.error = "no size";
        else if (x < screen.left || y < screen.top || int64_t(x) + w - 1 > screen.right ||
                 int64_t(y) + h - 1 > screen.bottom)
            spec.error = "outside the screen";
        else
            control = kind->make(spec);
        if (!control) {
            if (log)
                log->PrintError("Dialog %s: control %d \"%s\" left out: %s", source,
                                static_cast<int>(i) + 1, spec.name.c_str(),
                                spec.error.empty() ? "cannot be made" : spec.error.c_str());
            continue;
        }
        GRect rect;
        rect.SetClamped(x, y, x + w - 1, y + h - 1);
        control->SetRect(rect);
        if (node.HasValue("Text"))
            control->SetText(Translate(m_system, node.Get("Text", "")));
        control->SetOnClick(node.Get("OnClick", ""));
        control->SetEnabled(node.GetI("Enabled", 1) != 0);
        control->SetVisible(node.GetI("Visible", 1) != 0);
        dialog.AddControl(std::move(control));
        ++made;
    }
    // Pages are known once every control is in.
    for (int i = 0; i < dialog.GetControlCount(); ++i)
        if (auto* tabs = dynamic_cast<GTabControl*>(dialog.GetControl(i)))
            tabs->ApplyPages();
    return made;
}
