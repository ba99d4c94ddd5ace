#include "gui/controls/tab_control.h"

#include <algorithm>

#include "foundation/app/key_codes.h"
#include "gui/controls/st_animators.h"
#include "gui/dialog.h"

GTabControl::GTabControl(std::string name, GBmpFont* font) : GBaseControl(std::move(name))
{
    SetAnimator(std::make_unique<GStTabControlAnimator>(font));
}

void GTabControl::AddTab(const GWString& caption, std::vector<std::string> page)
{
    m_tabs.push_back(Tab{caption, std::move(page)});
    if (m_selected < 0)
        m_selected = 0;
    Changed();
}

void GTabControl::SetSelected(int32_t index)
{
    Select(index, false);
}

void GTabControl::Select(int32_t index, bool report)
{
    if (index < 0 || index >= GetTabCount() || index == m_selected)
        return;
    m_selected = index;
    ApplyPages();
    Changed();
    if (report)
        Report();
}

void GTabControl::ApplyPages()
{
    GDialog* dialog = GetDialog();
    if (!dialog)
        return;
    // Hide every page first, so a control named on two pages ends up shown when either is.
    for (int32_t pass = 0; pass < 2; ++pass) {
        for (int32_t i = 0; i < GetTabCount(); ++i) {
            const bool shown = i == m_selected;
            if ((pass == 0) == shown)
                continue;
            for (const std::string& name : m_tabs[static_cast<size_t>(i)].page)
                if (GBaseControl* control = dialog->FindControl(name); control && control != this)
                    control->SetVisible(shown);
        }
    }
}

GRect GTabControl::GetTabRect(int32_t index) const
{
    const GRect& r = GetRect();
    const int32_t count = std::max(1, GetTabCount());
    GRect tab;
    tab.SetClamped(r.left + r.Width() * index / count, r.top,
                   r.left + r.Width() * (index + 1) / count - 1, r.bottom);
    return tab;
}

int32_t GTabControl::TabAt(int32_t x, int32_t y) const
{
    for (int32_t i = 0; i < GetTabCount(); ++i) {
        const GRect tab = GetTabRect(i);
        if (x >= tab.left && x <= tab.right && y >= tab.top && y <= tab.bottom)
            return i;
    }
    return -1;
}

int GTabControl::OnKeyDown(int32_t key)
{
    switch (VirtualKeyToKeyCode(key)) {
    case kKeyLeft:
        Select(m_selected - 1, true);
        return 1;
    case kKeyRight:
        Select(m_selected + 1, true);
        return 1;
    case kKeyHome:
        Select(0, true);
        return 1;
    case kKeyEnd:
        Select(GetTabCount() - 1, true);
        return 1;
    default:
        return 0;
    }
}

int GTabControl::OnLButtonDown(int32_t x, int32_t y)
{
    GBaseControl::OnLButtonDown(x, y);
    Select(TabAt(x, y), true);
    return 1;
}
