#pragma once
// GListBox: a column of texts of which one may be selected. Up and Down move the selection
// by one, Page Up and Page Down by a screenful, Home and End to the ends; a press selects the
// row under the cursor and a drag follows it. The rows scroll so that the selection stays in
// view. Every change of the selection is reported to the dialog. Main thread only.

#include <vector>

#include "gui/controls/base_control.h"

class GBmpFont;

class GListBox : public GBaseControl {
public:
    // rowHeight in pixels, at least 1.
    GListBox(std::string name, GBmpFont* font, int32_t rowHeight);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;
    int OnLButtonDown(int32_t x, int32_t y) override;
    int OnLButtonDrag(int32_t x, int32_t y) override;

    void AddItem(const GWString& text);
    void ClearItems();
    int32_t GetItemCount() const { return static_cast<int32_t>(m_items.size()); }
    const GWString& GetItem(int32_t index) const { return m_items[static_cast<size_t>(index)]; }
    // -1: none. Out-of-range indexes select nothing. No report.
    void SetSelected(int32_t index);
    int32_t GetSelected() const { return m_selected; }
    // The first row shown.
    int32_t GetTopIndex() const { return m_top; }
    int32_t GetRowHeight() const { return m_rowHeight; }
    // Rows that fit the rectangle (at least 1).
    int32_t GetVisibleRows() const;
    // The item at screen row y, or -1.
    int32_t ItemAt(int32_t y) const;

private:
    void Select(int32_t index, bool report);

    std::vector<GWString> m_items;
    int32_t m_selected = -1;
    int32_t m_top = 0;
    int32_t m_rowHeight;
};
