// Input into a dialog against a second, plainly written model of its rules: overlapping controls
// of every sort (focusable or not, taking the mouse or letting it through, with and without a
// command list), random presses, drags, releases, double clicks, moves, keys, Tab in both
// directions, focus set by hand and controls disabled, hidden and brought back. After each event
// both agree on the slot's answer, the focus, hover and capture, each control's marks and look,
// the clicks heard and the commands queued.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gui/control_listener.h"
#include "gui/controls/base_control.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

// A control whose sort the test chooses; 'K' is the key it uses.
class Probe : public GBaseControl {
public:
    Probe(int index, bool focusable, bool mouse)
        : GBaseControl("probe" + std::to_string(index)), m_focusable(focusable), m_mouse(mouse)
    {
    }
    bool CanFocus() const override { return m_focusable; }
    bool TakesMouse() const override { return m_mouse; }
    int OnKeyDown(int32_t key) override { return key == 'K'; }

private:
    void OnClicked(int32_t, int32_t) override { Report(); }
    bool m_focusable, m_mouse;
};

struct Heard : GControlListener {
    std::vector<std::string>* log;
    explicit Heard(std::vector<std::string>* to) : log(to) {}
    void OnControlClick(GDialog&, GBaseControl& control) override
    {
        log->push_back(control.GetName());
    }
};

struct Model {
    struct Control {
        GRect rect;
        bool focusable, mouse, command, enabled = true, visible = true;
        bool hovered = false, pressed = false, focused = false;
        bool Input() const { return enabled && visible; }
        bool Has(int x, int y) const
        {
            return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
        }
    };
    std::vector<Control> c;
    int focus = -1, hover = -1, capture = -1, queued = 0;
    std::vector<std::string> clicks;

    int At(int x, int y) const
    {
        for (int i = static_cast<int>(c.size()) - 1; i >= 0; --i)
            if (c[i].Input() && c[i].mouse && c[i].Has(x, y))
                return i;
        return -1;
    }
    void Mark(int& holder, int to, bool Control::*flag)
    {
        if (holder >= 0)
            c[holder].*flag = false;
        holder = to;
        if (to >= 0)
            c[to].*flag = true;
    }
    int Move(int x, int y)
    {
        int at = At(x, y);
        if (capture >= 0 && at != capture)
            at = -1;
        Mark(hover, at, &Control::hovered);
        return at >= 0;
    }
    int Down(int x, int y)
    {
        const int at = At(x, y);
        Mark(hover, at, &Control::hovered);
        capture = at;
        if (at < 0)
            return 0;
        if (c[at].focusable)
            Mark(focus, at, &Control::focused);
        c[at].pressed = true;
        return 1;
    }
    int Up(int x, int y)
    {
        const int was = capture;
        capture = -1;
        if (was >= 0) {
            const bool pressed = c[was].pressed;
            c[was].pressed = false;
            if (pressed && c[was].Has(x, y) && c[was].Input()) {
                clicks.push_back("probe" + std::to_string(was));
                queued += c[was].command;
            }
        }
        Mark(hover, At(x, y), &Control::hovered);
        return was >= 0;
    }
    int Key(int key, bool shift)
    {
        if (focus >= 0 && c[focus].Input() && key == 'K')
            return 1;
        if (key != VK_TAB)
            return 0;
        const int n = static_cast<int>(c.size()), step = shift ? -1 : 1;
        const int start = focus >= 0 ? focus : step > 0 ? n - 1 : 0;
        for (int k = 1; k <= n; ++k) {
            const int i = ((start + step * k) % n + n) % n;
            if (c[i].focusable && c[i].Input()) {
                Mark(focus, i, &Control::focused);
                break;
            }
        }
        return 1;
    }
    void SetFocus(int i)
    {
        if (i < 0 || (c[i].focusable && c[i].Input()))
            Mark(focus, i, &Control::focused);
    }
    void Flag(int i, bool Control::*flag, bool value)
    {
        if (c[i].*flag == value)
            return;
        c[i].*flag = value;
        if (value)
            return;
        c[i].hovered = c[i].pressed = false;
        if (focus == i)
            c[i].focused = false, focus = -1;
        if (hover == i)
            hover = -1;
        if (capture == i)
            capture = -1;
    }
};

using InputModelTest = tolvanrise::test::GuiControlsTest;

TEST_F(InputModelTest, RandomInputMovesFocusHoverAndClicksAsTheModelSays)
{
    std::mt19937 draw(42);
    for (int round = 0; round < 12; ++round) {
        GDialog& dialog = Open();
        std::vector<std::string> heard;
        dialog.AddControlListener(std::make_unique<Heard>(&heard));
        Model model;
        std::vector<Probe*> probes;
        const int count = 1 + static_cast<int>(draw() % 7);
        for (int i = 0; i < count; ++i) {
            // Places on a grid of 10-pixel steps, so edges meet and overlap often.
            const int16_t left = static_cast<int16_t>(10 * (draw() % 8)),
                          top = static_cast<int16_t>(10 * (draw() % 8));
            const GRect rect{left, top, static_cast<int16_t>(left + 9 + 10 * (draw() % 4)),
                             static_cast<int16_t>(top + 9 + 10 * (draw() % 4))};
            Model::Control m{rect, draw() % 3 != 0, draw() % 4 != 0, draw() % 2 == 0};
            auto probe = std::make_unique<Probe>(i, m.focusable, m.mouse);
            probe->SetRect(rect);
            if (m.command)
                probe->SetOnClick("cmRepaintTopDialog");
            probes.push_back(static_cast<Probe*>(dialog.AddControl(std::move(probe))));
            model.c.push_back(m);
        }
        const int queuedBefore = Queued();
        bool shift = false;
        for (int event = 0; event < 400; ++event) {
            const int kind = static_cast<int>(draw() % 20);
            // Points on and just beside the grid lines.
            const int x = 10 * static_cast<int>(draw() % 12) - 1 + static_cast<int>(draw() % 3);
            const int y = 10 * static_cast<int>(draw() % 12) - 1 + static_cast<int>(draw() % 3);
            const int which = static_cast<int>(draw() % (count + 1)) - 1;
            std::ostringstream what;
            what << "round " << round << " event " << event << " kind " << kind << " at " << x
                 << "," << y << " control " << which;
            int got = 0, want = 0;
            if (kind < 4)
                got = dialog.OnMouseMove(x, y), want = model.Move(x, y);
            else if (kind < 7)
                got = dialog.OnLButtonDown(x, y), want = model.Down(x, y);
            else if (kind < 8)
                got = dialog.OnLButtonDrag(x, y), want = 0;
            else if (kind < 11)
                got = dialog.OnLButtonUp(x, y), want = model.Up(x, y);
            else if (kind < 12)
                got = dialog.OnLButtonDblClk(x, y), want = model.Down(x, y);
            else if (kind < 15) {
                const int key = kind == 12 ? 'K' : kind == 13 ? VK_TAB : 'J';
                got = dialog.OnKeyDown(key), want = model.Key(key, shift);
            } else if (kind < 16) {
                shift = !shift;
                if (shift)
                    KeyDown(VK_SHIFT);
                else
                    KeyUp(VK_SHIFT);
            } else if (kind < 17) {
                dialog.SetFocus(which >= 0 ? probes[which] : nullptr);
                model.SetFocus(which);
            } else if (which >= 0) {
                const bool value = draw() % 2 == 0;
                if (kind < 19)
                    probes[which]->SetEnabled(value),
                        model.Flag(which, &Model::Control::enabled, value);
                else
                    probes[which]->SetVisible(value),
                        model.Flag(which, &Model::Control::visible, value);
            }
            ASSERT_EQ(got, want) << what.str();
            ASSERT_EQ(heard, model.clicks) << what.str();
            ASSERT_EQ(Queued() - queuedBefore, model.queued) << what.str();
            auto index = [&](GBaseControl* control) {
                for (int i = 0; i < count; ++i)
                    if (control == probes[i])
                        return i;
                return control ? -2 : -1;
            };
            ASSERT_EQ(index(dialog.GetFocus()), model.focus) << what.str();
            ASSERT_EQ(index(dialog.GetHover()), model.hover) << what.str();
            ASSERT_EQ(index(dialog.GetCapture()), model.capture) << what.str();
            for (int i = 0; i < count; ++i) {
                const Model::Control& m = model.c[i];
                const GControlLook look = !m.enabled               ? GControlLook::Disabled
                                          : m.pressed && m.hovered ? GControlLook::Pressed
                                          : m.hovered              ? GControlLook::Hover
                                                                   : GControlLook::Normal;
                ASSERT_EQ(probes[i]->IsHovered(), m.hovered) << what.str() << " probe " << i;
                ASSERT_EQ(probes[i]->IsPressed(), m.pressed) << what.str() << " probe " << i;
                ASSERT_EQ(probes[i]->IsFocused(), m.focused) << what.str() << " probe " << i;
                ASSERT_EQ(probes[i]->TakesInput(), m.Input()) << what.str() << " probe " << i;
                ASSERT_EQ(probes[i]->GetLook(), look) << what.str() << " probe " << i;
            }
        }
        if (shift)
            KeyUp(VK_SHIFT);
        app.RemoveAllForms();
    }
}

} // namespace
