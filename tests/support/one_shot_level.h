#pragma once
// A level file for the whole-game tests, and writing it (or any data file) into a data folder.

#include <filesystem>
#include <fstream>
#include <string>

namespace tolvanrise::test {

// One colour; a wall tops column 6 and two cubes wait beside the cell under it, one on the only
// target (column 5, row 1, counted from 0 at the top left): the first cube fired up column 6
// stops between them, the three burst and the target burns, winning the level. A cube fired up
// column 0 finds nothing.
constexpr const char* kOneShotLevelFile =
    "[Cells]\n"
    "Row1=......#......\nRow2=.....T.......\nRow3=.............\nRow4=.............\n"
    "Row5=.............\nRow6=.............\nRow7=.............\nRow8=.............\n"
    "Row9=.............\nRow10=.............\nRow11=.............\nRow12=.............\n"
    "Row13=.............\n"
    "[Cubes]\n"
    "Row1=.............\nRow2=.....0.0.....\nRow3=.............\nRow4=.............\n"
    "Row5=.............\nRow6=.............\nRow7=.............\nRow8=.............\n"
    "Row9=.............\nRow10=.............\nRow11=.............\nRow12=.............\n"
    "Row13=.............\n";

// Writes text as a file's whole bytes, making its folders.
inline void WriteDataFile(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace tolvanrise::test
