// A level file: the first byte gives the colour count of the level's row (1 to 4), the rest is
// the file. A level that reads is one the board starts, and its cells are what the file said.
#include <cstddef>
#include <cstdint>

#include "game/board/game_board.h"
#include "game/board/level_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const GLevelInfo info{"fuzz", "fuzz.ini", 20, static_cast<int8_t>(1 + data[0] % kMaxColours),
                          0};
    const auto level = ReadLevel(info, data + 1, size - 1);
    if (!level.Ok())
        return 0;
    if (LevelProblem(level.value) || level.value.colours != info.colours)
        __builtin_trap();
    GGameBoard board;
    if (!board.Start(level.value, GBoardRules{}, false, data[0]))
        __builtin_trap();
    int targets = 0;
    for (int i = 0; i < GLevel::kCells; ++i) {
        const GCell& cell = board.At(i % GGameBoard::kSize, i / GGameBoard::kSize);
        const char wanted = level.value.cubes[static_cast<size_t>(i)];
        if (cell.cube != (wanted == '.' ? -1 : wanted - '0'))
            __builtin_trap();
        targets += cell.kind == GCellKind::kTarget ? 1 : 0;
    }
    if (targets == 0 || board.GetTargetsLeft() != targets)
        __builtin_trap();
    return 0;
}
