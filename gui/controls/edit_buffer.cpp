#include "gui/controls/edit_buffer.h"

#include <algorithm>

GEditBuffer::GEditBuffer(int32_t maxLength) : m_maxLength(std::max(0, maxLength)) {}

int32_t GEditBuffer::GetSelectionStart() const
{
    return std::min(m_anchor, m_caret);
}

int32_t GEditBuffer::GetSelectionEnd() const
{
    return std::max(m_anchor, m_caret);
}

std::u16string GEditBuffer::GetSelectedText() const
{
    return m_text.substr(static_cast<size_t>(GetSelectionStart()),
                         static_cast<size_t>(GetSelectionEnd() - GetSelectionStart()));
}

bool GEditBuffer::Accepts(char16_t c) const
{
    // Control characters (line breaks, tabs) have no place in a one-line edit.
    if (c < 0x20 || c == 0x7F)
        return false;
    return !m_filter || m_filter(c);
}

bool GEditBuffer::SetText(std::u16string_view text)
{
    const std::u16string old = m_text;
    m_text.clear();
    for (char16_t c : text)
        if (GetLength() < m_maxLength && Accepts(c))
            m_text.push_back(c);
    m_caret = m_anchor = GetLength();
    return m_text != old;
}

bool GEditBuffer::Insert(std::u16string_view text)
{
    bool changed = EraseSelection();
    for (char16_t c : text) {
        if (GetLength() >= m_maxLength)
            break;
        if (!Accepts(c))
            continue;
        m_text.insert(m_text.begin() + m_caret, c);
        ++m_caret;
        changed = true;
    }
    m_anchor = m_caret;
    return changed;
}

bool GEditBuffer::EraseSelection()
{
    if (!HasSelection())
        return false;
    const int32_t start = GetSelectionStart();
    m_text.erase(static_cast<size_t>(start), static_cast<size_t>(GetSelectionEnd() - start));
    m_caret = m_anchor = start;
    return true;
}

bool GEditBuffer::Backspace()
{
    if (EraseSelection())
        return true;
    if (m_caret == 0)
        return false;
    m_text.erase(static_cast<size_t>(m_caret - 1), 1);
    m_anchor = --m_caret;
    return true;
}

bool GEditBuffer::Delete()
{
    if (EraseSelection())
        return true;
    if (m_caret >= GetLength())
        return false;
    m_text.erase(static_cast<size_t>(m_caret), 1);
    return true;
}

void GEditBuffer::MoveTo(int32_t position, bool select)
{
    m_caret = std::clamp(position, 0, GetLength());
    if (!select)
        m_anchor = m_caret;
}

void GEditBuffer::MoveLeft(bool select)
{
    if (!select && HasSelection())
        MoveTo(GetSelectionStart(), false);
    else
        MoveTo(m_caret - 1, select);
}

void GEditBuffer::MoveRight(bool select)
{
    if (!select && HasSelection())
        MoveTo(GetSelectionEnd(), false);
    else
        MoveTo(m_caret + 1, select);
}

void GEditBuffer::SelectAll()
{
    m_anchor = 0;
    m_caret = GetLength();
}
