#pragma once
// GTabControl: a row of tabs, one of them selected; each tab names the controls of its page,
// which are shown while the tab is selected and hidden otherwise. Left and Right (Home, End)
// select the neighbouring (first, last) tab, a press selects the tab under the cursor; every
// change is reported to the dialog. Main thread only.

#include <string>
#include <vector>

#include "gui/controls/base_control.h"

class GBmpFont;

class GTabControl : public GBaseControl {
public:
    GTabControl(std::string name, GBmpFont* font);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;
    int OnLButtonDown(int32_t x, int32_t y) override;

    // page: the names of the page's controls.
    void AddTab(const GWString& caption, std::vector<std::string> page);
    int32_t GetTabCount() const { return static_cast<int32_t>(m_tabs.size()); }
    const GWString& GetCaption(int32_t index) const
    {
        return m_tabs[static_cast<size_t>(index)].caption;
    }
    int32_t GetSelected() const { return m_selected; }
    // Selects without a report (out of range: nothing) and shows its page.
    void SetSelected(int32_t index);
    // Shows the selected tab's page and hides the others' (the controls must be in the
    // dialog; names not found are passed over).
    void ApplyPages();
    // The header of a tab: the rectangle's width shared out evenly.
    GRect GetTabRect(int32_t index) const;
    int32_t TabAt(int32_t x, int32_t y) const;

private:
    struct Tab {
        GWString caption;
        std::vector<std::string> page;
    };
    void Select(int32_t index, bool report);

    std::vector<Tab> m_tabs;
    int32_t m_selected = -1;
};
