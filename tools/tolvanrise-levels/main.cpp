// tolvanrise-levels <source folder> <data folder>
// Writes the level data of the data folder, LEVELS/, from assets/levels/: the level list, the
// options and every level file the list names, as they are (plain text). Each is first read
// with the game's own readers; a list row, a level or an option the game would refuse fails
// the build, and so does a source file the list does not name (it would ship unplayed).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "game/board/level_data.h"

namespace fs = std::filesystem;

namespace {

bool ReadBytes(const fs::path& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        bytes.clear();
    if (bytes.empty())
        std::fprintf(stderr, "%s: cannot be read\n", path.string().c_str());
    return !bytes.empty();
}

bool Fail(const fs::path& path, const std::string& error)
{
    std::fprintf(stderr, "%s: %s\n", path.string().c_str(), error.c_str());
    return false;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out.good() || Fail(path, "cannot be written");
}

// Every source file checked, in memory; nothing written unless all pass.
bool Check(const fs::path& source, std::vector<std::pair<std::string, std::vector<uint8_t>>>& files)
{
    std::vector<uint8_t> bytes;
    if (!ReadBytes(source / "options.ini", bytes))
        return false;
    const auto rules = ReadBoardRules(bytes.data(), bytes.size());
    if (!rules.Ok())
        return Fail(source / "options.ini", rules.error);
    if (!rules.value.refused.empty())
        return Fail(source / "options.ini", rules.value.refused.front());
    files.emplace_back("options.ini", bytes);

    if (!ReadBytes(source / "levellist.csv", bytes))
        return false;
    const auto list = ReadLevelList(bytes.data(), bytes.size());
    if (!list.Ok())
        return Fail(source / "levellist.csv", list.error);
    files.emplace_back("levellist.csv", bytes);

    std::set<std::string> named{"options.ini", "levellist.csv"};
    for (const GLevelInfo& info : list.value) {
        if (!ReadBytes(source / info.file, bytes))
            return false;
        const auto level = ReadLevel(info, bytes.data(), bytes.size());
        if (!level.Ok())
            return Fail(source / info.file, level.error);
        if (named.insert(info.file).second)
            files.emplace_back(info.file, bytes);
    }
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(source, error))
        if (!named.count(entry.path().filename().string()))
            return Fail(entry.path(), "not named by the level list");
    return !error || Fail(source, error.message());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolvanrise-levels <source folder> <data folder>\n");
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path levels = fs::path(argv[2]) / kLevelFolder;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    if (!Check(source, files))
        return 1;
    std::error_code ignored;
    fs::create_directories(levels, ignored);
    for (const auto& [name, bytes] : files)
        if (!WriteBytes(levels / name, bytes))
            return 1;
    return 0;
}
