// The level list: any bytes as "levellist.csv". A list that reads is at least one row, and
// every row holds what the game can start: a name, a plain file name and limits in range.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "game/board/level_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const auto list = ReadLevelList(data, size);
    if (list.Ok() == list.value.empty() || list.Ok() != list.error.empty())
        __builtin_trap();
    uint32_t sum = 0;
    for (const GLevelInfo& info : list.value) {
        if (info.name.empty() || info.file.empty() || info.file.find('/') != std::string::npos ||
            info.file.find('\\') != std::string::npos || info.file[0] == '.')
            __builtin_trap();
        if (info.shots < 1 || info.shots > kMaxShots || info.colours < 1 ||
            info.colours > kMaxColours || info.seconds < 0 || info.seconds > kMaxLevelSeconds)
            __builtin_trap();
        sum += fuzz::SumBytes(reinterpret_cast<const uint8_t*>(info.name.data()), info.name.size());
    }
    fuzz::Keep(sum);
    return 0;
}
