#include "gui/controls/edit_control.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/app/application.h"
#include "foundation/app/key_codes.h"
#include "foundation/image/bitmap.h"
#include "gui/gui_system.h"
#include "platform/text/code_page.h"

namespace {

// Paints the part of a rectangle (inclusive) that lies on the image, opaque.
void FillImage(GBitmap& image, int32_t left, int32_t top, int32_t right, int32_t bottom,
               uint32_t colour)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min<int32_t>(right, image.GetWidth() - 1);
    bottom = std::min<int32_t>(bottom, image.GetHeight() - 1);
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
            uint8_t* pixel = image.GetPixels() + y * image.GetPitch() + x * 3;
            pixel[0] = uint8_t(colour);
            pixel[1] = uint8_t(colour >> 8);
            pixel[2] = uint8_t(colour >> 16);
            image.GetAlpha()[y * image.GetWidth() + x] = 0;
        }
    }
}

} // namespace

GBaseEdit::GBaseEdit(std::string name, int32_t maxLength)
    : GBaseControl(std::move(name)), m_buffer(maxLength)
{
    SetAnimator(std::make_unique<GStTextImageAnimator>());
}

void GBaseEdit::FontChanged()
{
    m_buffer.SetFilter([this](char16_t c) { return CanDraw(c); });
    m_buffer.SetText(std::u16string(m_buffer.GetText()));
    Edited();
}

void GBaseEdit::SetText(const GWString& text)
{
    m_buffer.SetText(text.View());
    Edited();
}

void GBaseEdit::Edited()
{
    const int32_t inner = std::max(1, GetRect().Width() - 2 * kPadding);
    const int32_t caret = TextWidthN(m_buffer.GetCaret());
    const int32_t total = TextWidthN(m_buffer.GetLength());
    if (caret - m_scroll > inner - 1)
        m_scroll = caret - inner + 1;
    if (caret < m_scroll)
        m_scroll = caret;
    // No empty room at the right while text is hidden at the left.
    m_scroll = std::max(0, std::min(m_scroll, total - inner + 1));
    GBaseControl::SetText(GWString(std::u16string_view(m_buffer.GetText())));
}

int GBaseEdit::OnKeyDown(int32_t key)
{
    GApplication* application = GetApplication();
    const bool shift = application && application->IsShiftDown();
    switch (VirtualKeyToKeyCode(key)) {
    case kKeyLeft:
        m_buffer.MoveLeft(shift);
        break;
    case kKeyRight:
        m_buffer.MoveRight(shift);
        break;
    case kKeyHome:
        m_buffer.MoveTo(0, shift);
        break;
    case kKeyEnd:
        m_buffer.MoveTo(m_buffer.GetLength(), shift);
        break;
    case kKeyBackspace:
        m_buffer.Backspace();
        break;
    case kKeyDelete:
        m_buffer.Delete();
        break;
    case kKeyClipboardCopy:
        return CopySelection(false);
    case kKeyClipboardCut:
        return CopySelection(true);
    case kKeyClipboardPaste:
        return Paste();
    case kKeyTab:
    case kKeyEnter:
    case kKeyEscape:
    case kKeyUp:
    case kKeyDown:
    case kKeyUpRight:
    case kKeyDownRight:
        return 0;
    case kKeyA:
        if (application && application->IsControlDown()) {
            m_buffer.SelectAll();
            break;
        }
        [[fallthrough]];
    default: {
        const char16_t c = application ? application->TranslateLastKeyToChar() : 0;
        if (c < 0x20 || c == 0x7F)
            return 0;
        // A character the font cannot draw, or one past the maximum length, is refused here.
        m_buffer.Insert(std::u16string_view(&c, 1));
        break;
    }
    }
    Edited();
    return 1;
}

int GBaseEdit::CopySelection(bool cut)
{
    GGuiSystem* system = GetSystem();
    char* buffer = system ? system->GetClipboardBuffer() : nullptr;
    if (!buffer)
        return 0;
    const std::string narrow = platform::Utf16ToAnsi(m_buffer.GetSelectedText());
    // A selection the buffer cannot hold is neither copied nor cut, so nothing is lost.
    if (narrow.size() > GGuiSystem::kClipboardSize - 1)
        return 1;
    std::memcpy(buffer, narrow.data(), narrow.size());
    buffer[narrow.size()] = '\0';
    if (cut && m_buffer.EraseSelection())
        Edited();
    return 1;
}

int GBaseEdit::Paste()
{
    GGuiSystem* system = GetSystem();
    const char* buffer = system ? system->GetClipboardBuffer() : nullptr;
    if (!buffer)
        return 0;
    // One line: the text up to the first line break.
    const std::string_view narrow(buffer, strnlen(buffer, GGuiSystem::kClipboardSize - 1));
    const std::u16string text =
        platform::AnsiToUtf16(narrow.substr(0, narrow.find_first_of("\r\n")));
    m_buffer.Insert(text);
    Edited();
    return 1;
}

int32_t GBaseEdit::PositionAt(int32_t x) const
{
    const int32_t local = x - GetRect().left - kPadding + m_scroll;
    int32_t best = 0;
    int32_t bestDistance = INT32_MAX;
    for (int32_t n = 0; n <= m_buffer.GetLength(); ++n) {
        const int32_t distance = std::abs(TextWidthN(n) - local);
        if (distance < bestDistance) {
            best = n;
            bestDistance = distance;
        }
    }
    return best;
}

int GBaseEdit::OnLButtonDown(int32_t x, int32_t y)
{
    GBaseControl::OnLButtonDown(x, y);
    m_buffer.MoveTo(PositionAt(x), false);
    Edited();
    return 1;
}

int GBaseEdit::OnLButtonDrag(int32_t x, int32_t)
{
    m_buffer.MoveTo(PositionAt(x), true);
    Edited();
    return 1;
}

void GBaseEdit::RenderText(GBitmap& image) const
{
    if (!image.GetPixels() || !image.GetAlpha())
        return;
    const int32_t x0 = kPadding - m_scroll;
    const int32_t height = LineHeight();
    const int32_t y0 = std::max(0, (image.GetHeight() - height) / 2);
    const GControlColours& colours = GetColours();
    if (IsFocused() && m_buffer.HasSelection())
        FillImage(image, x0 + TextWidthN(m_buffer.GetSelectionStart()), y0,
                  x0 + TextWidthN(m_buffer.GetSelectionEnd()) - 1, y0 + height - 1,
                  colours.selection);
    DrawRun(image, x0, y0, IsEnabled() ? colours.text : colours.disabledText);
    if (IsFocused() && IsEnabled()) {
        const int32_t caret =
            std::clamp(x0 + TextWidthN(m_buffer.GetCaret()), 0, image.GetWidth() - 1);
        FillImage(image, caret, y0, caret, y0 + height - 1, colours.focus);
    }
}
