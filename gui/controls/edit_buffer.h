#pragma once
// GEditBuffer: the text of an edit control with its caret and selection, and the editing
// operations on them. It never holds more than its maximum length; text that does not fit is
// cut, and what a caller's filter refuses never enters. Positions count UTF-16 units from 0
// to the length. No drawing, no input mapping. Main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class GEditBuffer {
public:
    // Characters the buffer may hold.
    using Filter = std::function<bool(char16_t)>;

    // maxLength below 0 counts as 0.
    explicit GEditBuffer(int32_t maxLength);

    const std::u16string& GetText() const { return m_text; }
    int32_t GetLength() const { return static_cast<int32_t>(m_text.size()); }
    int32_t GetMaxLength() const { return m_maxLength; }
    int32_t GetCaret() const { return m_caret; }
    // The selection runs between the anchor and the caret.
    int32_t GetSelectionStart() const;
    int32_t GetSelectionEnd() const;
    bool HasSelection() const { return m_anchor != m_caret; }
    std::u16string GetSelectedText() const;

    void SetFilter(Filter filter) { m_filter = std::move(filter); }
    // Replaces the text with the characters the filter accepts, cut at the maximum length;
    // the caret goes to the end. True when the text changed.
    bool SetText(std::u16string_view text);
    // Replaces the selection (or inserts at the caret) with as much of the accepted text as
    // fits. True when the text changed.
    bool Insert(std::u16string_view text);
    // The selection, or the character before (Backspace) or after (Delete) the caret.
    bool Backspace();
    bool Delete();
    bool EraseSelection();
    // Moves the caret (clamped); with select the anchor stays, else it follows.
    void MoveTo(int32_t position, bool select);
    // Left and Right: without select, a selection collapses to its edge first.
    void MoveLeft(bool select);
    void MoveRight(bool select);
    void SelectAll();

private:
    bool Accepts(char16_t c) const;

    std::u16string m_text;
    int32_t m_maxLength;
    int32_t m_caret = 0;
    int32_t m_anchor = 0;
    Filter m_filter;
};
