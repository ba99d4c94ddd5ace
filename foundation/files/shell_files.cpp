#include "foundation/files/shell_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/files/data_files.h"
#include "platform/text/code_page.h"
#include "platform/files/file_system.h"
#include "platform/files/shell.h"
#include "platform/system/system_info.h"

namespace {

// The code the system's own dialog gives for a path longer than the caller's buffer.
constexpr unsigned long kBufferTooSmall = 0x3003;
// A filter that lost its final terminator must not run on through memory.
constexpr int kMaxFilterPairs = 64;
constexpr size_t kMaxFilterText = 1024;

struct FilterPair {
    std::string description; // UTF-8
    std::vector<std::string> patterns;
};

bool ReadFilterText(const char*& p, std::string& out)
{
    size_t n = 0;
    while (n < kMaxFilterText && p[n])
        ++n;
    if (n == kMaxFilterText)
        return false;
    out.assign(p, n);
    p += n + 1;
    return true;
}

std::vector<FilterPair> ParseFilter(const char* filter)
{
    std::vector<FilterPair> pairs;
    const char* p = filter;
    while (p && *p && static_cast<int>(pairs.size()) < kMaxFilterPairs) {
        std::string description;
        std::string patterns;
        if (!ReadFilterText(p, description) || !ReadFilterText(p, patterns))
            break;
        FilterPair pair;
        pair.description = platform::AnsiToUtf8(description);
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos)
                end = patterns.size();
            std::string one = patterns.substr(start, end - start);
            size_t first = one.find_first_not_of(' ');
            size_t last = one.find_last_not_of(' ');
            if (first != std::string::npos)
                pair.patterns.push_back(one.substr(first, last - first + 1));
            start = end + 1;
        }
        if (!pair.patterns.empty())
            pairs.push_back(std::move(pair));
    }
    return pairs;
}

std::string Join(const std::vector<std::string>& parts, const char* separator)
{
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? separator : "") + parts[i];
    return out;
}

std::vector<std::string> ZenityArguments(const std::string& title, const std::string& folder,
                                         const std::vector<FilterPair>& filters, bool save)
{
    std::vector<std::string> args = {"zenity", "--file-selection"};
    if (!title.empty())
        args.push_back("--title=" + title);
    if (save) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    // The trailing slash makes the chooser open in the folder rather than select it.
    args.push_back("--filename=" + folder + "/");
    for (const FilterPair& f : filters)
        args.push_back("--file-filter=" + f.description + " | " + Join(f.patterns, " "));
    return args;
}

std::vector<std::string> KdialogArguments(const std::string& title, const std::string& folder,
                                          const std::vector<FilterPair>& filters, bool save)
{
    std::vector<std::string> args = {"kdialog"};
    if (!title.empty()) {
        args.push_back("--title");
        args.push_back(title);
    }
    args.push_back(save ? "--getsavefilename" : "--getopenfilename");
    args.push_back(folder);
    std::vector<std::string> lines;
    for (const FilterPair& f : filters)
        lines.push_back(Join(f.patterns, " ") + "|" + f.description);
    if (!lines.empty())
        args.push_back(Join(lines, "\n"));
    return args;
}

void AlertCode(unsigned long code)
{
    char text[32];
    std::snprintf(text, sizeof text, "Error: %lu", code);
    ShowAlert(text);
}

} // namespace

bool ShowFileDialog(platform::Window* owner, char* outPath, const char* title,
                    const char* initialFolder, const char* filter, char* outFileTitle, bool save)
{
    (void)owner;
    const bool zenity = !platform::FindProgram("zenity").empty();
    if (!zenity && platform::FindProgram("kdialog").empty())
        return false;

    std::string folder = initialFolder && *initialFolder ? platform::ResolvePath(initialFolder)
                                                         : platform::GetCurrentFolder();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string title8 = platform::AnsiToUtf8(title ? title : "");
    std::vector<FilterPair> filters = ParseFilter(filter);
    platform::ProgramResult result = platform::RunProgram(
        zenity ? ZenityArguments(title8, folder, filters, save) : KdialogArguments(title8, folder, filters, save),
        true);
    if (!result.started)
        return false;
    if (result.exitCode != 0) {
        // 1 is the user's cancel; anything else is the chooser failing.
        if (result.exitCode != 1)
            AlertCode(static_cast<unsigned long>(result.exitCode < 0 ? 0xFFFF : result.exitCode));
        return false;
    }

    std::string path = result.output;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();
    if (path.empty())
        return false;
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (path.size() >= size_t(kFileDialogPathSize)) {
        AlertCode(kBufferTooSmall);
        return false;
    }
    if (outPath)
        std::memcpy(outPath, path.c_str(), path.size() + 1);
    if (outFileTitle)
        std::memcpy(outFileTitle, name.c_str(), name.size() + 1);
    return true;
}

bool OpenWithShell(const char* file)
{
    if (!file || !*file)
        return false;
    return platform::LaunchProgram({"xdg-open", file});
}
