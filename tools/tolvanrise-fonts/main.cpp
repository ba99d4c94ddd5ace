// tolvanrise-fonts: makes the fonts of the data folder from an outline font file:
//
//   tolvanrise-fonts <font.ttf> <data folder> <sheet folder>
//
// Into the sheet folder: the font sheets as pictures and "manifest.txt", the bitmap-store
// records that the store packer appends to the store's own manifest. Into the data folder:
// "fonts.xml" (the bitmap-font list), "fonts.cfg" (their descriptions, in the binary cfg form,
// which holds a symbol list with both quote characters) and the font file itself, scrambled
// with the key the text controls read it with. Exit code 0 on success, 1 on failure, 2 for
// a command line not understood.
//
//   tolvanrise-fonts --subset <font.ttf> <out.ttf> <characters, UTF-8>
//
// writes the font cut down to those characters' glyphs (a small font that still loads: the
// TrueType fuzzer's seed).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "platform/text/code_page.h"
#include "tools/tolvanrise-fonts/font_sheets.h"
#include "tools/tolvanrise-fonts/ttf_subset.h"

namespace {

namespace fs = std::filesystem;

struct BitmapFontSpec {
    const char* name;
    const char* sheet;
    const char* picture;
    const char* kind;
    fonttool::SheetKind sheetKind;
    int points;
};

constexpr BitmapFontSpec kBitmapFonts[] = {
    {"Sans12", "FONT_SANS12", "font_sans12.png", "masked", fonttool::SheetKind::kColour, 12},
    {"Sans12Ramp", "FONT_SANS12_RAMP", "font_sans12_ramp.png", "indexed_masked",
     fonttool::SheetKind::kRamp, 12},
};
// The raster font of the older controls: codes 33 to 255 of the narrow code page.
constexpr const char* kRasterSheet = "OLDFONT_SANS9";
constexpr const char* kRasterPicture = "oldfont_sans9.png";

bool Fail(const std::string& message)
{
    std::fprintf(stderr, "tolvanrise-fonts: %s\n", message.c_str());
    return false;
}

bool WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return out.good() || Fail(path.string() + ": cannot write");
}

bool Run(const std::string& fontPath, const fs::path& dataFolder, const fs::path& sheetFolder)
{
    std::error_code ignored;
    fs::create_directories(dataFolder, ignored);
    fs::create_directories(sheetFolder, ignored);
    std::string error;
    if (!fonttool::OpenFace(fontPath, error))
        return Fail(error);

    std::string manifest = "# Made by tolvanrise-fonts from " + fs::path(fontPath).filename().string() + "\n";
    std::string list = "<FontManager Config=\"fonts.cfg\">\n";
    GCfgNode config;
    const std::u16string codes = fonttool::SheetCodes();
    for (const BitmapFontSpec& spec : kBitmapFonts) {
        fonttool::BitmapFontSheet sheet;
        if (!fonttool::RenderBitmapFontSheet(codes, spec.points, spec.sheetKind, sheet, error) ||
            !tools::SavePng((sheetFolder / spec.picture).string(), sheet.picture, error))
            return Fail(std::string(spec.name) + ": " + error);
        manifest += std::string(spec.kind) + " " + spec.sheet + " " + spec.picture + "\n";
        list += std::string("  <Font Name=\"") + spec.name + "\" Sheet=\"" + spec.sheet + "\"/>\n";
        GCfgNode description;
        description.AddValue("Symbols", platform::Utf16ToAnsi(sheet.symbols));
        for (size_t i = 0; i < sheet.symbols.size(); ++i)
            description.AddValue("Indexes", std::to_string(i));
        description.AddValue("BaseSymbol", "?");
        config.AddObject(spec.name, std::move(description));
    }
    list += "</FontManager>\n";

    tools::Picture raster;
    if (!fonttool::RenderRasterFontSheet(33, 255, 9, raster, error) ||
        !tools::SavePng((sheetFolder / kRasterPicture).string(), raster, error))
        return Fail(std::string(kRasterSheet) + ": " + error);
    manifest += std::string("alpha ") + kRasterSheet + " " + kRasterPicture + "\n";
    fonttool::CloseFace();

    std::ifstream in(fontPath, std::ios::binary);
    std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (font.empty())
        return Fail(fontPath + ": cannot read");
    XorScramble(font.data(), nullptr, static_cast<uint32_t>(font.size()), kTrueTypeFontKey);

    return WriteText(sheetFolder / "manifest.txt", manifest) &&
           WriteText(dataFolder / "fonts.xml", list) &&
           (config.SaveBinaryFile((dataFolder / "fonts.cfg").string().c_str(), 0) ||
            Fail("fonts.cfg: cannot write")) &&
           WriteText(dataFolder / fs::path(fontPath).filename(), font);
}

bool Subset(const std::string& fontPath, const fs::path& outPath, const std::string& characters)
{
    std::ifstream in(fontPath, std::ios::binary);
    const std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string subset, error;
    if (!fonttool::SubsetTrueType(font, platform::Utf8ToUtf16(characters), subset, error))
        return Fail(fontPath + ": " + error);
    return WriteText(outPath, subset);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--subset")
        return Subset(argv[2], argv[3], argv[4]) ? 0 : 1;
    if (argc != 4) {
        std::fprintf(stderr, "usage: tolvanrise-fonts <font.ttf> <data folder> <sheet folder>\n");
        return 2;
    }
    return Run(argv[1], argv[2], argv[3]) ? 0 : 1;
}
