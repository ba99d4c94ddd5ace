#pragma once
// Plain-text clipboard in the engine's narrow code page (Windows-1251). The system clipboard
// holds UTF-8; characters without a Windows-1251 form arrive as '?'. Without a running window
// system a clipboard private to the process stands in, so headless runs behave the same.
// Main thread only.

#include <string>

namespace platform {

// False when the clipboard holds no text.
bool GetClipboardText(std::string& out);
// Replaces the clipboard with the bytes; false when it cannot be set.
bool SetClipboardText(const char* text, std::size_t length);

} // namespace platform
