// Pack pictures with the packer (the built executable and its writer library), load the set
// with the engine's store, compare pixels and masks record kind by record kind.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/graphics_resources.h"
#include "platform/window/message_box.h"
#include "support/picture_checks.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-store/manifest.h"
#include "tools/tolvanrise-store/picture.h"
#include "tools/tolvanrise-store/store_writer.h"

namespace fs = std::filesystem;
using packer::Picture;
using picture_checks::ExpectMask;
using picture_checks::ExpectPixels;

namespace {

bool IgnoreAlert(const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer)
{
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

// Smooth colour ramps (friendly to JPEG) and an alpha ramp with fully opaque and fully
// transparent corners; or (few) at most four colours, one of them the key colour FF00FF.
Picture Ramp(int w, int h, int seed, bool few = false)
{
    static const uint8_t colours[][3] = {{255, 0, 255}, {10, 20, 30}, {200, 100, 50}, {0, 255, 0}};
    Picture p;
    p.Resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = p.At(x, y);
            const uint8_t* c = colours[(x / 3 + y) % 4];
            q[0] = few ? c[0] : static_cast<uint8_t>(40 + x * 160 / w + seed);
            q[1] = few ? c[1] : static_cast<uint8_t>(30 + y * 180 / h);
            q[2] = few ? c[2] : static_cast<uint8_t>(200 - (x + y) * 100 / (w + h) + seed);
            q[3] = static_cast<uint8_t>(few ? (x * 50 + y * 3) & 0xFF : x == 0 ? 255 : y == 0 ? 0 : (x * 37 + y * 11 + seed) & 0xFF);
        }
    return p;
}

class PackerRoundTripTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::SetMessageBoxBackend(&IgnoreAlert);
        ASSERT_TRUE(m_folder.Created());
    }
    void TearDown() override { platform::SetMessageBoxBackend(nullptr); }

    void Save(const std::string& file, const Picture& picture)
    {
        std::string error;
        const bool ok = file.size() > 4 && file.substr(file.size() - 4) == ".tga"
                            ? packer::SaveTga(m_folder.Path(file), picture, error)
                            : packer::SavePng(m_folder.Path(file), picture, error);
        ASSERT_TRUE(ok) << error;
    }
    void WriteManifest(const std::string& text) { m_folder.WriteFile("manifest.txt", text); }
    int RunPacker(const std::string& arguments)
    {
        const int status = std::system((std::string(TOLVANRISE_STORE_EXE) + " " + arguments + " 2>" +
                                        m_folder.Path("packer.err")).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Mask records take no loaded slot: the pool leaves room for the images they push on.
    void Load(const std::string& folder, uint16_t memCount = 16)
    {
        GFolderSetSource files;
        const GBitmapStoreError error = m_store.TryInit(files, folder.c_str(), memCount, 0);
        ASSERT_FALSE(error.Failed()) << error.message;
    }
    GBitmap* Image(const char* name)
    {
        const int16_t slot = m_store.FindBitmap(name);
        return slot < 0 ? nullptr : m_store.GetBitmap(slot);
    }

    // Each palette index must name exactly the source colour.
    static void ExpectPalettised(const GBitmap& image, const Picture& picture)
    {
        const uint8_t* block = image.GetPixels();
        ASSERT_EQ(block[0] | (block[1] << 8), 770);
        for (int i = 0; i < picture.width * picture.height; ++i)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(block[2 + block[770 + i] * 3 + c], picture.rgba[i * 4 + 2 - c]) << i;
    }
    // The named image, which must exist with the given format.
    GBitmap& Named(const char* name, int format)
    {
        GBitmap* image = Image(name);
        EXPECT_NE(image, nullptr) << name;
        static GBitmap none(0, 0, 0, 0);
        if (!image)
            return none;
        EXPECT_EQ(image->GetFormat(), format) << name;
        return *image;
    }

    tolvanrise::test::TempFolder m_folder{"packer_roundtrip_", fs::current_path()};
    GGraphicsResources m_store;
};

} // namespace

TEST_F(PackerRoundTripTest, EveryRecordKindSurvivesThePackerAndTheStore)
{
    const Picture rgb = Ramp(13, 7, 0);     // odd pixel count: padded records
    const Picture masked = Ramp(16, 9, 5);
    const Picture few = Ramp(11, 5, 0, true);
    const Picture photo = Ramp(40, 24, 9);
    for (auto [file, picture] :
         {std::pair{"rgb.png", &rgb}, {"masked.tga", &masked}, {"few.png", &few}, {"photo.png", &photo}})
        Save(file, *picture);
    WriteManifest(
        "# every kind\n"
        "jpeg_quality 95\n"
        "rgb             PLAIN     rgb.png\n"
        "rgb             KEYED     rgb.png    key=FF00FF   # comment after the fields\n"
        "masked          MASKED    masked.tga\n"
        "mask            SHARED_M  masked.tga\n"
        "masked          SHARING   masked.tga mask=SHARED_M\n"
        "alpha           SHADOW    masked.tga\n"
        "palette         PAL       few.png\n"
        "palette         PAL_KEY   few.png    key=ff00ff\n"
        "palette_masked  PAL_MASK  few.png\n"
        "indexed_masked  INDEXED   rgb.png\n"
        "jpeg            PHOTO     photo.png\n"
        "jpeg_masked     PHOTO_M   photo.png  quality=100\n");
    ASSERT_EQ(RunPacker(m_folder.Path("manifest.txt") + " " + m_folder.Path("out")), 0);
    Load(m_folder.Path("out"));

    ExpectPixels(Named("PLAIN", 0), rgb);
    EXPECT_EQ(Named("KEYED", 1).GetKeyColour(), 0xFF00FFu);
    ExpectPixels(Named("KEYED", 1), rgb);

    GBitmap& withMask = Named("MASKED", 2);
    ExpectPixels(withMask, masked);
    ExpectMask(withMask, masked);
    // The mask record made for it has no image of its own.
    EXPECT_EQ(m_store.FindBitmap("MASKED_A"), -1);
    EXPECT_EQ(m_store.GetBitmap(m_store.FindBitmap("MASKED") - 1), nullptr);
    GBitmap& sharing = Named("SHARING", 2);
    ExpectMask(sharing, masked);
    EXPECT_NE(sharing.GetAlphaBlock(), withMask.GetAlphaBlock());
    EXPECT_EQ(Named("SHADOW", 14).GetPixels(), nullptr);
    ExpectMask(Named("SHADOW", 14), masked);

    ExpectPalettised(Named("PAL", 16), few);
    EXPECT_EQ(Named("PAL_KEY", 18).GetKeyColour(), 0xFF00FFu);
    ExpectPalettised(Named("PAL_KEY", 18), few);
    ExpectPalettised(Named("PAL_MASK", 20), few);
    ExpectMask(Named("PAL_MASK", 20), few);

    GBitmap& indexed = Named("INDEXED", 12);
    for (int i = 0; i < rgb.width * rgb.height; ++i)
        ASSERT_EQ(indexed.GetPixels()[i], rgb.rgba[i * 4]) << i;
    ExpectMask(indexed, rgb);

    ExpectPixels(Named("PHOTO", 0), photo, 16, 3.5);
    ExpectPixels(Named("PHOTO_M", 2), photo, 12, 3.0);
    ExpectMask(Named("PHOTO_M", 2), photo);
}

TEST_F(PackerRoundTripTest, SmallDataFilesSplitTheSetWithoutChangingIt)
{
    const Picture a = Ramp(20, 10, 1);
    Save("a.png", a);
    std::string manifest = "max_file_bytes 700\n";
    for (int i = 0; i < 6; ++i)
        manifest += "masked IMG" + std::to_string(i) + " a.png\n";
    WriteManifest(manifest);
    ASSERT_EQ(RunPacker(m_folder.Path("manifest.txt") + " " + m_folder.Path("split")), 0);
    EXPECT_TRUE(fs::exists(m_folder.Path("split/bmdt5.bin")));

    GFolderSetSource files;
    uint16_t fileCount = 0, entryCount = 0;
    ASSERT_TRUE(ReadBitmapIndexHeader(files, m_folder.Path("split").c_str(), &fileCount, &entryCount));
    EXPECT_TRUE(fileCount >= 6 && entryCount == 12) << fileCount << " " << entryCount;
    Load(m_folder.Path("split"));
    for (int i = 0; i < 6; ++i) {
        GBitmap* image = m_store.GetBitmap(2 * i + 1);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetName(), "IMG" + std::to_string(i));
        ExpectPixels(*image, a);
        ExpectMask(*image, a);
    }
}

TEST_F(PackerRoundTripTest, WriterRecordsReloadIntoARange)
{
    // The writer library directly: a start-up set and a set to reload over part of it.
    packer::StoreWriter start;
    const Picture p = Ramp(5, 3, 2);
    std::vector<uint8_t> bgr(5 * 3 * 3);
    for (int i = 0; i < 45; ++i)
        bgr[i] = p.rgba[i / 3 * 4 + 2 - i % 3];
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(start.AddRgb("S" + std::to_string(i), 5, 3, bgr.data(), 0), i);
    ASSERT_EQ(start.Write(m_folder.Path(), 1 << 20), 1);
    fs::create_directories(m_folder.Path("level"));
    packer::StoreWriter level;
    std::vector<uint8_t> mask(15, 99);
    ASSERT_EQ(level.AddBytes("L_M", 5, 3, mask.data(), 15), 0);
    ASSERT_EQ(level.AddRgb("L0", 5, 3, bgr.data(), 2, 0), 1);
    ASSERT_EQ(level.AddRgb("L1", 5, 3, bgr.data(), 2, 0), 2);
    ASSERT_EQ(level.Write(m_folder.Path("level"), 1 << 20), 1);

    Load(m_folder.Path());
    GFolderSetSource files;
    ASSERT_EQ(m_store.TryLoadBitmaps(files, m_folder.Path("level").c_str(), 4, 7, nullptr), 1);
    const char* names[] = {"S3", "L0", "L1", nullptr, nullptr, "S8"};
    for (int slot = 3; slot <= 8; ++slot)
        EXPECT_STREQ(m_store.GetBitmap(slot) ? m_store.GetBitmap(slot)->GetName() : nullptr, names[slot - 3]);
    ExpectPixels(*m_store.GetBitmap(5), p);
    EXPECT_EQ(m_store.GetBitmap(5)->GetAlpha()[14], 99);
}

// The first store of the game, packed from assets/800x600 as the build does.
TEST_F(PackerRoundTripTest, TheSampleStoreLoadsWithItsNamedSlots)
{
    const fs::path source = fs::path(TOLVANRISE_SOURCE_DIR) / "assets" / "800x600" / "manifest.txt";
    ASSERT_TRUE(fs::exists(source)) << source;
    ASSERT_EQ(RunPacker(source.string() + " " + m_folder.Path("800x600")), 0);
    Load(m_folder.Path("800x600"), 5000);

    const int16_t bar = m_store.FindBitmap("INTRO_P_BAR_BG"), fx = m_store.FindBitmap("FX_NoMoveLevel");
    ASSERT_TRUE(bar >= 0 && fx >= 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(i >= 3 || m_store.GetBitmap(bar + i)) << i;
        ASSERT_NE(m_store.GetBitmap(fx + i), nullptr) << i;
        EXPECT_EQ(m_store.GetBitmap(fx + i)->GetFormat(), 2);
    }
    for (const char* name : {"MENU_BG", "BTN_PLAIN", "BTN_HOVER", "CURSOR", "CUBE_RED",
                             "CUBE_SHADOW", "CELL_GLOW", "FONT_SMALL", "INTRO_LOGO"})
        EXPECT_GE(m_store.FindBitmap(name), 0) << name;
    EXPECT_EQ(Image("BTN_PLAIN")->GetAlphaBlock(), Image("BTN_HOVER")->GetAlphaBlock());
}

TEST_F(PackerRoundTripTest, ThePackerReportsUsageAndManifestErrors)
{
    EXPECT_EQ(RunPacker(""), 2);
    EXPECT_EQ(RunPacker("--bogus x"), 2);
    WriteManifest("rgb NAME missing.png\n");
    EXPECT_EQ(RunPacker(m_folder.Path("manifest.txt") + " " + m_folder.Path("out")), 1);
    const std::string err = tolvanrise::test::ReadFileBytes(m_folder.Path("packer.err"));
    EXPECT_NE(err.substr(0, err.find('\n')).find("manifest.txt:1:"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(m_folder.Path("out/bmst.bin")));
}

// The packer's manifest reader and writer refuse what the engine could not load, and say
// where.
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
