// tolvanrise-startup <source folder> <data folder>
// Writes the start-up files of the data folder from assets/startup/: the start-up options, the
// dialog files and the intro's and the target's animations as they are, and the dictionary
// they name scrambled with the dictionary's key.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"

namespace fs = std::filesystem;

namespace {

bool Copy(const fs::path& from, const fs::path& to, uint8_t key)
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "%s: cannot read\n", from.string().c_str());
        return false;
    }
    if (key)
        XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", to.string().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolvanrise-startup <source folder> <data folder>\n");
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path data = argv[2];
    std::error_code ignored;
    fs::create_directories(data, ignored);
    const bool ok = Copy(source / "start_up_options.xml", data / "start_up_options.xml", 0) &&
                    Copy(source / "intro.cfg", data / "intro.cfg", 0) &&
                    Copy(source / "main_menu.cfg", data / "main_menu.cfg", 0) &&
                    Copy(source / "options.cfg", data / "options.cfg", 0) &&
                    Copy(source / "select_game.cfg", data / "select_game.cfg", 0) &&
                    Copy(source / "game_main.cfg", data / "game_main.cfg", 0) &&
                    Copy(source / "result.cfg", data / "result.cfg", 0) &&
                    Copy(source / "target_glow.cfg", data / "target_glow.cfg", 0) &&
                    Copy(source / "english.xml", data / "english.dic", kDictionaryKey);
    return ok ? 0 : 1;
}
