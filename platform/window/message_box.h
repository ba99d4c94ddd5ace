#pragma once
// Modal message boxes. A backend shows them (the SDL one installs itself once a display is
// up); without a backend, or when the backend cannot show a box, the text goes to stderr and
// the preset answer is returned, so headless runs never block. Title and text are narrow
// engine text (Windows-1251); backends receive UTF-8. Any thread may call ShowMessageBox;
// install the backend and preset the answer before other threads use boxes. While an SDL box
// is up a watcher thread of its own waits for a quit request (quit_requests.h) and then ends
// the box's process; it takes no lock and touches nothing else.

#include <string>

namespace platform {

enum class MessageBoxButtons { kOk, kYesNo };
enum class MessageBoxIcon { kNone, kInformation, kWarning, kError };
enum class MessageBoxAnswer { kOk, kYes, kNo };

struct MessageBoxRequest {
    const char* titleUtf8;
    const char* textUtf8;
    MessageBoxButtons buttons;
    MessageBoxIcon icon;
};

// Shows the box and stores the user's answer; false when it could not show one, which sends
// the box to the headless path.
using MessageBoxBackend = bool (*)(const MessageBoxRequest& request, MessageBoxAnswer& answer);

MessageBoxAnswer ShowMessageBox(const char* title, const char* text, MessageBoxButtons buttons,
                                MessageBoxIcon icon);

// For backends that size a box by its longest line (the SDL one), so that no box is wider
// than a screen: the text broken into lines of at most width characters (UTF-8 code points): at
// blanks, and a word longer than a line (a long path) after a '/' where it has one, else anywhere.
// Line breaks already in the text stay; blanks at the ends of the lines made go.
std::string WrapBoxText(const std::string& utf8, size_t width = 60);

// Null returns to the headless path.
void SetMessageBoxBackend(MessageBoxBackend backend);
MessageBoxBackend GetMessageBoxBackend();

// The headless answer of Yes/No boxes (No unless set; an OK box always answers OK, and a
// preset of OK counts as No).
void SetHeadlessAnswer(MessageBoxAnswer answer);

} // namespace platform
