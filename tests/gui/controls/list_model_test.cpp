// A list against a plain model of one: random keys, presses and drags on its rows and beside
// them, selections set by hand, rows added and cleared, in lists of every height. After each step
// both agree on the selection, the first row shown, the row under each line of the list and the
// changes reported to the dialog; the selection always stays in view.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "gui/control_listener.h"
#include "gui/controls/list_box.h"
#include "support/gui_controls.h"

namespace {

using namespace platform;

struct Reports : GControlListener {
    int* count;
    explicit Reports(int* to) : count(to) {}
    void OnControlClick(GDialog&, GBaseControl&) override { ++*count; }
};

using ListModelTest = tolvanrise::test::GuiControlsTest;

TEST_F(ListModelTest, KeysPressesAndDragsSelectAsTheModelSaysAndKeepTheSelectionInView)
{
    std::mt19937 draw(11);
    GDialog& dialog = Open();
    GBmpFont* font = system.GetBmpFontManager()->FindFont("Sans12");
    int reports = 0;
    dialog.AddControlListener(std::make_unique<Reports>(&reports));
    for (int round = 0; round < 40; ++round) {
        const int rowHeight = 1 + static_cast<int>(draw() % 20);
        const int16_t top = static_cast<int16_t>(100 + draw() % 20),
                      height = static_cast<int16_t>(1 + draw() % 90);
        auto made = std::make_unique<GListBox>("list" + std::to_string(round), font, rowHeight);
        made->SetRect(GRect{100, top, 199, static_cast<int16_t>(top + height - 1)});
        GListBox* list = static_cast<GListBox*>(dialog.AddControl(std::move(made)));
        dialog.SetFocus(list);
        const int visible = std::max(1, height / rowHeight);
        int count = 0, selected = -1, first = 0, wantReports = reports;
        // Selects as the list does: out of range is none, and the view follows the selection.
        auto select = [&](int index, bool report) {
            index = index < -1 || index >= count ? -1 : index;
            if (index >= 0)
                first = index < first              ? index
                        : index >= first + visible ? index - visible + 1
                                                   : first;
            wantReports += report && index != selected;
            selected = index;
        };
        for (int step = 0; step < 150; ++step) {
            const int kind = static_cast<int>(draw() % 10);
            const int y = top - 3 + static_cast<int>(draw() % (height + 6));
            const int x = 95 + static_cast<int>(draw() % 110);
            const int row = y >= top ? (y - top) / rowHeight : -1;
            const int under = row >= 0 && row < visible && first + row < count ? first + row : -1;
            if (kind < 4) {
                const int keys[] = {VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_LEFT};
                const int key = keys[draw() % 7];
                const int last = count - 1;
                const int target = key == VK_UP      ? (selected < 0 ? last : selected - 1)
                                   : key == VK_DOWN  ? selected + 1
                                   : key == VK_PRIOR ? selected - visible
                                   : key == VK_NEXT  ? selected + visible
                                   : key == VK_HOME  ? 0
                                                     : last;
                EXPECT_EQ(dialog.OnKeyDown(key), key == VK_LEFT ? 0 : 1);
                if (key != VK_LEFT && count > 0)
                    select(std::clamp(target, 0, last), true);
            } else if (kind < 6) {
                dialog.OnLButtonDown(x, y);
                dialog.OnLButtonUp(x, y);
                if (list->Contains(x, y) && under >= 0)
                    select(under, true);
            } else if (kind < 7) {
                dialog.OnLButtonDown(150, top);
                if (count > 0 && first < count)
                    select(first, true);
                dialog.OnLButtonDrag(x, y);
                if (list->Contains(x, y) && under >= 0)
                    select(under, true);
                dialog.OnLButtonUp(x, y);
            } else if (kind < 8) {
                const int index = static_cast<int>(draw() % (count + 4)) - 2;
                list->SetSelected(index);
                select(index, false);
            } else if (kind < 9 || count == 0) {
                list->AddItem(GWString(std::to_string(count).c_str()));
                ++count;
            } else if (draw() % 4 == 0) {
                list->ClearItems();
                count = 0, selected = -1, first = 0;
            }
            const std::string where = "round " + std::to_string(round) + " step " +
                                      std::to_string(step) + " kind " + std::to_string(kind) +
                                      " at " + std::to_string(y);
            ASSERT_EQ(list->GetSelected(), selected) << where;
            ASSERT_EQ(list->GetTopIndex(), first) << where;
            ASSERT_EQ(list->GetItemCount(), count) << where;
            ASSERT_EQ(list->GetVisibleRows(), visible) << where;
            ASSERT_EQ(reports, wantReports) << where;
            if (selected >= 0) {
                ASSERT_TRUE(selected >= first && selected < first + visible) << where;
            }
            for (int line = top - 2; line < top + height + 2; ++line) {
                const int r = line >= top ? (line - top) / rowHeight : -1;
                ASSERT_EQ(list->ItemAt(line),
                          r >= 0 && r < visible && first + r < count ? first + r : -1)
                    << where << " line " << line;
            }
        }
        list->SetVisible(false);
    }
}

} // namespace
