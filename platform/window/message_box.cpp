#include "platform/window/message_box.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/code_page.h"

namespace platform {

namespace {

std::atomic<MessageBoxBackend> g_backend{nullptr};
std::atomic<MessageBoxAnswer> g_headlessAnswer{MessageBoxAnswer::kNo};

const char* IconWord(MessageBoxIcon icon)
{
    switch (icon) {
    case MessageBoxIcon::kInformation:
        return "information";
    case MessageBoxIcon::kWarning:
        return "warning";
    case MessageBoxIcon::kError:
        return "error";
    case MessageBoxIcon::kNone:
        break;
    }
    return "message";
}

size_t CodePoints(const std::string& text)
{
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

// The byte length of the first count code points of text.
size_t BytesOf(const std::string& text, size_t count)
{
    size_t i = 0;
    for (size_t seen = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count)
            break;
    }
    return i;
}

// A word longer than a line: pieces of at most width code points, each ending after a '/'
// when one lies far enough in.
void BreakLongWord(std::string word, size_t width, std::vector<std::string>& pieces)
{
    while (CodePoints(word) > width) {
        size_t cut = BytesOf(word, width);
        const size_t slash = word.rfind('/', cut - 1);
        if (slash != std::string::npos && slash + 1 >= cut / 3)
            cut = slash + 1;
        pieces.push_back(word.substr(0, cut));
        word.erase(0, cut);
    }
    pieces.push_back(word);
}

void WrapLine(const std::string& line, size_t width, std::string& out)
{
    std::string current;
    size_t from = 0;
    while (from <= line.size()) {
        size_t blank = line.find(' ', from);
        if (blank == std::string::npos)
            blank = line.size();
        const std::string word = line.substr(from, blank - from);
        from = blank + 1;
        if (word.empty())
            continue;
        std::vector<std::string> pieces;
        BreakLongWord(word, width, pieces);
        for (size_t i = 0; i < pieces.size(); ++i) {
            // The first piece may join the line after a blank; the pieces of a broken word
            // follow each other without one.
            const std::string gap = current.empty() || i > 0 ? "" : " ";
            if (!current.empty() && CodePoints(current) + CodePoints(gap + pieces[i]) > width) {
                out += current + "\n";
                current.clear();
            }
            current += (current.empty() ? "" : gap) + pieces[i];
        }
    }
    out += current;
}

} // namespace

std::string WrapBoxText(const std::string& utf8, size_t width)
{
    if (width == 0)
        return utf8;
    std::string out;
    size_t from = 0;
    for (;;) {
        const size_t end = utf8.find('\n', from);
        WrapLine(utf8.substr(from, end == std::string::npos ? std::string::npos : end - from),
                 width, out);
        if (end == std::string::npos)
            return out;
        out += '\n';
        from = end + 1;
    }
}

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
            return answer == MessageBoxAnswer::kYes ? MessageBoxAnswer::kYes
                                                    : MessageBoxAnswer::kNo;
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
