#pragma once
// GBaseControl: one control of a dialog (button, check box, slider, list, tab control, label,
// edit). It holds what the control is: its name (the file's "btnPlay", "slMusic"...), its place
// on screen, whether it is enabled, visible, hovered, pressed and focused, its caption, and the
// "OnClick" command list the dialog runs when it reports a click. How it looks is its
// animator's business (GCAnimator), which it owns and tells of every change.
//
// Input comes from the dialog's state: the dialog picks the control under the cursor (mouse)
// or the focused control (keys) and calls the handlers here, which map virtual keys with
// VirtualKeyToKeyCode. A control that is disabled or hidden is never given input. A click is
// a press and a release both on the control; the control then reports to its dialog
// (GDialog::OnControlClick). Sliders, lists, check boxes and tab controls report each change
// of their value the same way.
//
// Observes its dialog, which owns it. Main thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/core/rect.h"
#include "foundation/text/wstring.h"
#include "gui/controls/animator.h"

class GApplication;
class GDialog;
class GGuiSystem;

// What the control looks like now, in the order that wins.
enum class GControlLook : uint8_t { Normal, Hover, Pressed, Disabled };

// The colours of the standard looks, 0x00RRGGBB.
struct GControlColours {
    uint32_t face = 0x3A3226;
    uint32_t hover = 0x5C4A2C;
    uint32_t pressed = 0x241E14;
    uint32_t disabled = 0x3C3C3C;
    uint32_t border = 0x8C7A52;
    uint32_t focus = 0xF0D090;
    uint32_t text = 0xFFF4D0;
    uint32_t disabledText = 0x8C8C8C;
    uint32_t selection = 0x7A5A20;
};

class GBaseControl {
public:
    explicit GBaseControl(std::string name);
    GBaseControl(const GBaseControl&) = delete;
    GBaseControl& operator=(const GBaseControl&) = delete;
    virtual ~GBaseControl();

    const std::string& GetName() const { return m_name; }
    // Inclusive screen pixels.
    const GRect& GetRect() const { return m_rect; }
    void SetRect(const GRect& rect);
    bool Contains(int32_t x, int32_t y) const;

    bool IsEnabled() const { return m_enabled; }
    // A disabled control loses its hover and press; the dialog moves the focus away.
    void SetEnabled(bool enabled);
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible);
    // Enabled and visible: the only state in which the dialog gives it input.
    bool TakesInput() const { return m_enabled && m_visible; }
    bool IsHovered() const { return m_hovered; }
    bool IsPressed() const { return m_pressed; }
    bool IsFocused() const { return m_focused; }
    GControlLook GetLook() const;
    // Whether Tab stops here.
    virtual bool CanFocus() const { return false; }
    // Whether the mouse can reach it (labels let presses through to what lies below).
    virtual bool TakesMouse() const { return true; }

    const GWString& GetText() const { return m_text; }
    virtual void SetText(const GWString& text);
    // Command list run on every report, e.g. "cmDisappearDialog;cmShowDialog(map.cfg)".
    const std::string& GetOnClick() const { return m_onClick; }
    void SetOnClick(std::string commands) { m_onClick = std::move(commands); }
    GControlColours& GetColours() { return m_colours; }
    const GControlColours& GetColours() const { return m_colours; }

    GCAnimator* GetAnimator() const { return m_animator.get(); }
    // Replaces the animator (detaching the old one's clips when attached).
    void SetAnimator(std::unique_ptr<GCAnimator> animator);
    // The animator still plays a state's animation.
    bool IsBusy() const { return m_animator && m_animator->IsBusy(); }

    // Joining and leaving the dialog (GDialog::AddControl and the dialog's end).
    void Attach(GDialog& dialog);
    void Detach();
    GDialog* GetDialog() const { return m_dialog; }

    // Input from the dialog; 1 when the control used it.
    virtual int OnKeyDown(int32_t key) { return 0; }
    virtual int OnLButtonDown(int32_t x, int32_t y);
    virtual int OnLButtonDrag(int32_t x, int32_t y) { return 0; }
    // The release of a press that started here, wherever it happens.
    virtual int OnLButtonUp(int32_t x, int32_t y);
    virtual int OnLButtonDblClk(int32_t x, int32_t y) { return 0; }
    // Set by the dialog.
    void SetHovered(bool hovered);
    void SetFocused(bool focused);

    // Once per frame: the animator's turn.
    virtual void Update(int elapsedMs);

protected:
    // A press and release both on the control.
    virtual void OnClicked(int32_t x, int32_t y) {}
    // Tells the animator to show the current state.
    void Changed();
    // Reports a click (or a change of value) to the dialog.
    void Report();
    GApplication* GetApplication() const;
    GGuiSystem* GetSystem() const;

private:
    // Enabled and visible: clearing either drops hover, press and (through the dialog) focus.
    void SetInputFlag(bool& flag, bool value);

    std::string m_name;
    GRect m_rect;
    bool m_enabled = true;
    bool m_visible = true;
    bool m_hovered = false;
    bool m_pressed = false;
    bool m_focused = false;
    GWString m_text;
    std::string m_onClick;
    GControlColours m_colours;
    std::unique_ptr<GCAnimator> m_animator;
    GDialog* m_dialog = nullptr; // observed; owns the control
};
