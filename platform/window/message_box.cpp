#include "platform/window/message_box.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/text/code_page.h"

namespace platform {

namespace {

std::atomic<MessageBoxBackend> g_backend{nullptr};
std::atomic<MessageBoxAnswer> g_headlessAnswer{MessageBoxAnswer::kNo};

const char* IconWord(MessageBoxIcon icon)
{
    switch (icon) {
    case MessageBoxIcon::kInformation: return "information";
    case MessageBoxIcon::kWarning: return "warning";
    case MessageBoxIcon::kError: return "error";
    case MessageBoxIcon::kNone: break;
    }
    return "message";
}

} // namespace

MessageBoxAnswer ShowMessageBox(const char* title, const char* text, MessageBoxButtons buttons,
                                MessageBoxIcon icon)
{
    std::string title8 = AnsiToUtf8(title ? title : "");
    std::string text8 = AnsiToUtf8(text ? text : "");
    const MessageBoxRequest request{title8.c_str(), text8.c_str(), buttons, icon};

    if (MessageBoxBackend backend = g_backend.load()) {
        MessageBoxAnswer answer = MessageBoxAnswer::kOk;
        if (backend(request, answer)) {
            if (buttons == MessageBoxButtons::kOk)
                return MessageBoxAnswer::kOk;
            return answer == MessageBoxAnswer::kYes ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
        }
    }

    MessageBoxAnswer answer = MessageBoxAnswer::kOk;
    if (buttons == MessageBoxButtons::kYesNo)
        answer = g_headlessAnswer.load() == MessageBoxAnswer::kYes ? MessageBoxAnswer::kYes
                                                                   : MessageBoxAnswer::kNo;
    // One write per box so lines from several threads do not interleave.
    std::string line = "[" + title8 + "] (" + IconWord(icon) + ") " + text8;
    if (buttons == MessageBoxButtons::kYesNo)
        line += answer == MessageBoxAnswer::kYes ? " -> Yes" : " -> No";
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return answer;
}

void SetMessageBoxBackend(MessageBoxBackend backend)
{
    g_backend.store(backend);
}

MessageBoxBackend GetMessageBoxBackend()
{
    return g_backend.load();
}

void SetHeadlessAnswer(MessageBoxAnswer answer)
{
    g_headlessAnswer.store(answer);
}

} // namespace platform
