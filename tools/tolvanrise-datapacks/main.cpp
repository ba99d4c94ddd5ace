// tolvanrise-datapacks: writes the single-picture data packs "Data%d.dat" of the game's data
// folder from source pictures, as a manifest lists them.
//
//   tolvanrise-datapacks build <manifest> <source folder> <output folder>
//   tolvanrise-datapacks generate <folder>      (draws the small source pictures of assets/packs)
//
// Manifest: one pack per line, "<pack number> <kind> <source picture> [JPEG quality]", kinds
// as in pack_writer.h (tga32, tga24, tga8, jpm, jpeg); "#" starts a comment. Exit code 0 when
// every pack was written, 1 otherwise, 2 for a command line not understood.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "generate.h"
#include "pack_writer.h"
#include "platform/files/file_system.h"
#include "tools/common/picture.h"

namespace {

constexpr int32_t kDefaultQuality = 90;

struct ManifestLine {
    int32_t number = 0;
    packtool::PackKind kind = packtool::PackKind::kTga24;
    std::string source;
    int32_t quality = kDefaultQuality;
};

bool ParseNumber(const std::string& text, int32_t low, int32_t high, int32_t& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// False (with a message naming the line) for a line that is not a pack.
bool ParseLine(const std::string& text, const std::string& where, ManifestLine& line, bool& empty)
{
    std::istringstream words(text.substr(0, text.find('#')));
    std::string number, kind, source, quality, extra;
    words >> number >> kind >> source >> quality >> extra;
    empty = number.empty();
    if (empty)
        return true;
    bool ok = !source.empty() && extra.empty() && ParseNumber(number, 0, 0x7FFFFFFF, line.number) &&
              packtool::ParsePackKind(kind, line.kind);
    line.source = source;
    line.quality = kDefaultQuality;
    if (ok && !quality.empty())
        ok = ParseNumber(quality, 10, 100, line.quality);
    if (!ok)
        std::fprintf(stderr,
                     "%s: expected \"<pack number> <kind> <source picture> [quality 10-100]\"\n",
                     where.c_str());
    return ok;
}

int Build(const std::string& manifest, const std::string& sources, const std::string& output)
{
    std::ifstream in(manifest);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", manifest.c_str());
        return 1;
    }
    if (!platform::CreateFolders(output.c_str())) {
        std::fprintf(stderr, "%s: cannot make the folder\n", output.c_str());
        return 1;
    }
    std::set<int32_t> written;
    std::string text;
    int lineNumber = 0;
    bool ok = true;
    while (std::getline(in, text)) {
        ++lineNumber;
        const std::string where = manifest + ":" + std::to_string(lineNumber);
        ManifestLine line;
        bool empty = false;
        if (!ParseLine(text, where, line, empty)) {
            ok = false;
            continue;
        }
        if (empty)
            continue;
        if (!written.insert(line.number).second) {
            std::fprintf(stderr, "%s: pack %d is listed twice\n", where.c_str(), line.number);
            ok = false;
            continue;
        }
        packtool::Picture picture;
        std::vector<uint8_t> bytes;
        const std::string path = sources.empty() ? line.source : sources + "/" + line.source;
        std::string error;
        if (!tools::LoadPicture(path, picture, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            ok = false;
            continue;
        }
        if (!packtool::MakePack(picture, line.kind, line.quality, bytes)) {
            std::fprintf(stderr, "%s: the picture could not be packed\n", where.c_str());
            ok = false;
            continue;
        }
        if (!packtool::WritePack(output, line.number, bytes)) {
            std::fprintf(stderr, "%s: cannot be written\n",
                         packtool::PackFileName(output, line.number).c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: tolvanrise-datapacks build <manifest> <source folder> <output folder>\n"
                 "       tolvanrise-datapacks generate <folder>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "build")
        return Build(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::string(argv[1]) == "generate") {
        if (!platform::CreateFolders(argv[2]) || !packtool::GenerateSourcePictures(argv[2])) {
            std::fprintf(stderr, "%s: the source pictures could not be written\n", argv[2]);
            return 1;
        }
        return 0;
    }
    return Usage();
}
