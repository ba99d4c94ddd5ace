// The options: any bytes as "options.ini". Whatever they hold, the rules that come out are
// rules a board plays with (a refused value keeps its default), and a file that fails leaves
// every default.
#include <cstddef>
#include <cstdint>

#include "game/board/level_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const auto read = ReadBoardRules(data, size);
    if (RulesProblem(read.value.rules))
        __builtin_trap();
    if (!read.Ok() &&
        (read.value.rules.groupSize != GBoardRules{}.groupSize || !read.value.refused.empty()))
        __builtin_trap();
    for (const std::string& note : read.value.refused)
        if (note.empty())
            __builtin_trap();
    return 0;
}
