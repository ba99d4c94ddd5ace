#include "gui/controls/list_box.h"

#include <algorithm>

#include "foundation/app/key_codes.h"
#include "gui/controls/st_animators.h"

GListBox::GListBox(std::string name, GBmpFont* font, int32_t rowHeight)
    : GBaseControl(std::move(name)), m_rowHeight(std::max(1, rowHeight))
{
    SetAnimator(std::make_unique<GStListBoxAnimator>(font));
}

void GListBox::AddItem(const GWString& text)
{
    m_items.push_back(text);
    Changed();
}

void GListBox::ClearItems()
{
    m_items.clear();
    m_selected = -1;
    m_top = 0;
    Changed();
}

int32_t GListBox::GetVisibleRows() const
{
    return std::max(1, GetRect().Height() / m_rowHeight);
}

int32_t GListBox::ItemAt(int32_t y) const
{
    const int32_t row = (y - GetRect().top) / m_rowHeight;
    if (y < GetRect().top || row >= GetVisibleRows())
        return -1;
    const int32_t index = m_top + row;
    return index < GetItemCount() ? index : -1;
}

void GListBox::SetSelected(int32_t index)
{
    Select(index, false);
}

void GListBox::Select(int32_t index, bool report)
{
    if (index < -1 || index >= GetItemCount())
        index = -1;
    if (index >= 0) {
        if (index < m_top)
            m_top = index;
        else if (index >= m_top + GetVisibleRows())
            m_top = index - GetVisibleRows() + 1;
    }
    if (index == m_selected) {
        Changed();
        return;
    }
    m_selected = index;
    Changed();
    if (report)
        Report();
}

int GListBox::OnKeyDown(int32_t key)
{
    const int32_t count = GetItemCount();
    const int32_t last = count - 1;
    int32_t target;
    switch (VirtualKeyToKeyCode(key)) {
    case kKeyUp:
        target = m_selected < 0 ? last : m_selected - 1;
        break;
    case kKeyDown:
        target = m_selected + 1;
        break;
    case kKeyUpRight:
        target = m_selected - GetVisibleRows();
        break; // Page Up
    case kKeyDownRight:
        target = m_selected + GetVisibleRows();
        break; // Page Down
    case kKeyHome:
        target = 0;
        break;
    case kKeyEnd:
        target = last;
        break;
    default:
        return 0;
    }
    if (count > 0)
        Select(std::clamp(target, 0, last), true);
    return 1;
}

int GListBox::OnLButtonDown(int32_t x, int32_t y)
{
    GBaseControl::OnLButtonDown(x, y);
    const int32_t index = ItemAt(y);
    if (index >= 0)
        Select(index, true);
    return 1;
}

int GListBox::OnLButtonDrag(int32_t x, int32_t y)
{
    const int32_t index = ItemAt(y);
    if (index >= 0 && Contains(x, y))
        Select(index, true);
    return 1;
}
