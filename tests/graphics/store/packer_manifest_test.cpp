// The packer's manifest reader and writer refuse what the engine could not load, and say
// where.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-pack/manifest.h"
#include "tools/tolvanrise-pack/picture.h"
#include "tools/tolvanrise-pack/store_writer.h"

namespace fs = std::filesystem;

namespace {

class PackerManifestTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Created());
        Save("small.png", Solid(4, 3, 1));
        Save("other.png", Solid(5, 3, 2));
        packer::Picture many = Solid(20, 20, 255);
        for (int i = 0; i < 400; ++i)
            many.rgba[i * 4] = static_cast<uint8_t>(i), many.rgba[i * 4 + 1] = static_cast<uint8_t>(i >> 8);
        Save("many.png", many);
    }
    static packer::Picture Solid(int w, int h, uint8_t v)
    {
        packer::Picture p;
        p.Resize(w, h);
        std::fill(p.rgba.begin(), p.rgba.end(), v);
        return p;
    }
    void Save(const std::string& name, const packer::Picture& p)
    {
        std::string error;
        ASSERT_TRUE(packer::SavePng(m_folder.Path(name), p, error)) << error;
    }
    // The error of a manifest that must fail, or "" when it passed.
    std::string Error(const std::string& text)
    {
        packer::StoreWriter writer;
        packer::ManifestSettings settings;
        std::string error;
        if (packer::ReadManifestText(text, "m.txt", m_folder.Path(), writer, settings, error))
            return "";
        return error;
    }

    tolvanrise::test::TempFolder m_folder{"packer_manifest_", fs::current_path()};
};

} // namespace

TEST_F(PackerManifestTest, BadLinesAreRefusedWithTheirLineNumbers)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"\n\nsprite A small.png\n", "m.txt:3: unknown kind"},
        {"rgb A\n", "m.txt:1: a record line is"},
        {"rgb ABCDEFGHIJKLMNOPQRST small.png\n", "at most 19 characters"},
        {"rgb A small.png\nrgb A small.png\n", "m.txt:2: the name A is used twice"},
        {"rgb A missing.png\n", "missing.png"},
        {"rgb A small.bmp\n", "only .png and .tga"},
        {"rgb A small.png key=GG0000\n", "key= takes a colour"},
        {"masked A small.png key=FF00FF\n", "key= belongs to rgb and palette"},
        {"rgb A small.png mask=M\n", "mask= belongs to masked"},
        {"rgb A small.png quality=50\n", "quality= belongs to JPEG"},
        {"jpeg A small.png quality=0\n", "quality= runs from 1 to 100"},
        {"rgb A small.png shiny\n", "unknown option 'shiny'"},
        {"masked A small.png mask=NOPE\n", "mask NOPE is not an earlier record"},
        {"mask M other.png\nmasked A small.png mask=M\n", "m.txt:2: mask M differs in size"},
        {"palette P many.png\n", "more than 256 colours"},
        {"palette_masked P many.png\n", "more than 256 colours"},
        {"max_file_bytes 0\n", "max_file_bytes must be"},
        {"jpeg_quality 101\n", "jpeg_quality runs from 1 to 100"},
        {"jpeg_quality\n", "takes one number"},
    };
    for (const Case& c : cases) {
        const std::string error = Error(c.text);
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << " -> " << error;
    }
    EXPECT_EQ(Error("# only a comment\n\n   \nrgb A small.png # fine\n"), "");
}

TEST_F(PackerManifestTest, AutoMasksAreNamedAfterTheirImageAndComeFirst)
{
    packer::StoreWriter writer;
    packer::ManifestSettings settings;
    std::string error;
    ASSERT_TRUE(packer::ReadManifestText(
        "max_file_bytes 1234\njpeg_quality 40\n"
        "masked A_VERY_LONG_NAME_19 small.png\njpeg_masked B small.png\n",
        "m.txt", m_folder.Path(), writer, settings, error))
        << error;
    EXPECT_EQ((std::tuple(settings.maxFileBytes, settings.jpegQuality, writer.GetRecordCount())),
              (std::tuple(1234u, 40, 4)));
    std::vector<int> found;
    for (const char* name : {"A_VERY_LONG_NAME_", "A_VERY_LONG_NAME__A", "A_VERY_LONG_NAME_19", "B_A", "B"})
        found.push_back(writer.FindRecord(name));
    EXPECT_EQ(found, (std::vector<int>{-1, 0, 1, 2, 3}));
}

TEST_F(PackerManifestTest, TheWriterRefusesWhatTheStoreCouldNotLoad)
{
    packer::StoreWriter writer;
    std::vector<uint8_t> pixels(3 * 40000, 0);
    EXPECT_EQ(writer.AddRgb("WIDE", 40000, 1, pixels.data(), 0), -1);
    EXPECT_EQ(writer.AddRgb("BAD", 1, 1, pixels.data(), 14), -1);
    EXPECT_EQ(writer.AddBytes("BAD", 1, 1, pixels.data(), 0), -1);
    EXPECT_EQ(writer.AddRgb("NOMASK", 1, 1, pixels.data(), 2, 0), -1);
    std::vector<uint8_t> stream(kBitmapStoreMaxJpegBytes + 1, 0);
    EXPECT_EQ(writer.AddJpeg("HUGE", 1, 1, stream, 22), -1);
    EXPECT_EQ(writer.AddJpeg("FMT", 1, 1, {}, 21), -1);
    std::vector<uint8_t> palette(768, 0);
    EXPECT_EQ(writer.AddPalettised("PAL", 1, 1, palette.data(), pixels.data(), 21), -1);
    EXPECT_EQ(writer.GetRecordCount(), 0);

    // An empty set still writes one (empty) data file and its index.
    EXPECT_EQ(writer.Write(m_folder.Path(), 100), 1);
    EXPECT_EQ((std::pair(fs::file_size(m_folder.Path("bmdt0.bin")), fs::file_size(m_folder.Path("bmst.bin")))),
              (std::pair<uintmax_t, uintmax_t>(0, 4)));
    EXPECT_EQ(writer.Write(m_folder.Path("no/such/folder"), 100), -1);
    EXPECT_NE(writer.GetError().find("cannot write"), std::string::npos);
}

TEST_F(PackerManifestTest, RecordsAreLaidOutAsTheStoreReadsThem)
{
    const std::vector<uint8_t> payload = {1, 2, 3};
    const std::vector<uint8_t> bytes =
        packer::StoreWriter::EncodeRecord(15, 3, 1, 0x01020304, "NAME", payload, true);
    std::vector<uint8_t> expected = {15, 0, 3, 0, 1, 0, 4, 3, 2, 1, 'N', 'A', 'M', 'E'};
    expected.resize(kBitmapRecordHeaderSize);
    expected.insert(expected.end(), {1, 2, 3});
    ASSERT_EQ(bytes.size(), kBitmapRecordHeaderSize + 3 + 1);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end() - 1), expected);

    GMemorySetSource files;
    files.Add("bmst.bin", {1, 0, 1, 0});
    files.Add("bmdt0.bin", bytes);
    GBitmapSetData set;
    const GBitmapStoreError error = ReadBitmapData(files, nullptr, 1, 1, {}, set);
    ASSERT_FALSE(error.Failed()) << error.message;
    EXPECT_EQ(
        (std::tuple<int, uint32_t, int>(set.GetEntry(0).format, set.GetEntry(0).value, set.GetBlock(0)->GetData()[2])),
        (std::tuple<int, uint32_t, int>(15, 0x01020304u, 3)));
}
