#pragma once
// The pressing controls: GButton reports every click, GCheckBox turns its mark on or off and
// reports the change. Both take the focus; Enter and Space press them like a click. Their
// default animators draw a flat panel and the caption in a bitmap font (GStButtonAnimator,
// GStCheckBoxAnimator). Main thread only.

#include "gui/controls/base_control.h"

class GBmpFont;

class GButton : public GBaseControl {
public:
    // font may be null: the button then shows no caption.
    GButton(std::string name, GBmpFont* font);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;

protected:
    void OnClicked(int32_t x, int32_t y) override { Report(); }
};

class GCheckBox : public GBaseControl {
public:
    GCheckBox(std::string name, GBmpFont* font);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;

    bool IsChecked() const { return m_checked; }
    // Sets the mark without a report.
    void SetChecked(bool checked);

protected:
    void OnClicked(int32_t x, int32_t y) override { Toggle(); }

private:
    void Toggle();
    bool m_checked = false;
};

// Enter, Space (and the keypad's centre): the keys that press a focused control.
bool IsPressKey(int32_t key);
