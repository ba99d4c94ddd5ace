#include "audio/music/audio_file_problem.h"

#include <algorithm>
#include <cstdio>

#include "platform/files/file_system.h"

std::string AudioFileProblem(const std::string& path)
{
    std::string shown = path;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    const char* why = "it is damaged or not a sound the game plays";
    if (!platform::PathExists(path.c_str())) {
        why = "not found";
    } else if (std::FILE* file = platform::OpenFile(path.c_str(), "rb")) {
        std::fclose(file);
    } else {
        why = "it does not open";
    }
    return shown + " cannot be read: " + why;
}
