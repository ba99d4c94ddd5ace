#pragma once
// Shared by the bitmap store tests: records and sets built byte by byte, the store fixture
// with recorded alerts, and a fixture that works in a temporary folder.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/store/graphics_resources.h"
#include "platform/window/message_box.h"
#include "support/temp_files.h"

namespace bitmap_store_test {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;
using tolvanrise::test::ScopedCurrentFolder;
using tolvanrise::test::TempFolder;
using tolvanrise::test::WriteFileBytes;

inline std::vector<std::string> g_alerts;

inline bool RecordAlert(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    g_alerts.push_back(request.textUtf8);
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

inline Bytes Pattern(uint32_t seed, size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(seed * 131u + i * 7u + (i >> 5));
    return bytes;
}

inline void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void Put32(Bytes& out, uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

inline Bytes Record(uint16_t format, uint16_t w, uint16_t h, uint32_t value, const std::string& name,
                    const Bytes& payload, bool pad)
{
    Bytes out;
    Put16(out, format), Put16(out, w), Put16(out, h), Put32(out, value);
    for (size_t i = 0; i < 20; ++i)
        out.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad)
        out.push_back(0xEE); // any value: the reader skips it
    return out;
}

// Records of each payload kind with patterned contents (the seed picks the pattern).
inline Bytes Rgb(uint16_t format, const std::string& name, uint16_t w, uint16_t h, uint32_t seed,
                 uint32_t value = 0, size_t bytesPerPixel = 3)
{
    const size_t pixels = size_t{w} * h;
    return Record(format, w, h, value, name, Pattern(seed, pixels * bytesPerPixel), pixels & 1);
}

inline Bytes OneByte(uint16_t format, const std::string& name, uint16_t w, uint16_t h, uint32_t seed,
                     uint32_t value = 0)
{
    return Rgb(format, name, w, h, seed, value, 1);
}

inline Bytes Palettised(uint16_t format, const std::string& name, uint16_t w, uint16_t h, uint32_t seed,
                        uint32_t value = 0, uint16_t section = 770)
{
    const size_t pixels = size_t{w} * h;
    Bytes payload;
    Put16(payload, section);
    const Bytes rest = Pattern(seed, (section >= 2 ? section - 2 : 0) + pixels);
    payload.insert(payload.end(), rest.begin(), rest.end());
    return Record(format, w, h, value, name, payload, pixels & 1);
}

inline Bytes JpegRecord(uint16_t format, const std::string& name, uint16_t w, uint16_t h, const Bytes& stream,
                        uint32_t value = 0)
{
    Bytes payload;
    Put32(payload, static_cast<uint32_t>(stream.size()));
    for (uint8_t b : stream)
        payload.push_back(b ^ kBitmapStoreJpegKey);
    return Record(format, w, h, value, name, payload, stream.size() & 1);
}

// A set under construction: data files of records and the index that lists them.
class SetBuilder {
public:
    SetBuilder() = default;
    SetBuilder(std::initializer_list<Bytes> records)
    {
        for (const Bytes& record : records)
            Add(record);
    }
    SetBuilder& Add(const Bytes& record)
    {
        m_files.back().insert(m_files.back().end(), record.begin(), record.end());
        ++m_records;
        return *this;
    }
    SetBuilder& NextFile()
    {
        m_files.emplace_back();
        return *this;
    }
    Bytes& File(size_t i) { return m_files[i]; }

    // entryCount < 0: the number of records; fileCount < 0: the files made.
    Bytes Index(int32_t entryCount = -1, int32_t fileCount = -1) const
    {
        Bytes index;
        Put16(index, fileCount < 0 ? static_cast<uint32_t>(m_files.size()) : fileCount);
        Put16(index, entryCount < 0 ? static_cast<uint32_t>(m_records) : entryCount);
        return index;
    }
    void Install(GMemorySetSource& source, const char* folder, int32_t entryCount = -1,
                 int32_t fileCount = -1) const
    {
        source.Add(BitmapIndexPath(folder), Index(entryCount, fileCount));
        for (size_t i = 0; i < m_files.size(); ++i)
            source.Add(BitmapDataPath(folder, static_cast<int32_t>(i)), m_files[i]);
    }
    void WriteTo(const std::string& folder) const
    {
        fs::create_directories(folder);
        WriteFileBytes(folder + "/bmst.bin", Index());
        for (size_t i = 0; i < m_files.size(); ++i)
            WriteFileBytes(folder + "/bmdt" + std::to_string(i) + ".bin", m_files[i]);
    }

private:
    std::vector<Bytes> m_files{1};
    int32_t m_records = 0;
};

inline bool SameBytes(const uint8_t* data, const Bytes& expected)
{
    return data && std::memcmp(data, expected.data(), expected.size()) == 0;
}

inline int32_t HeldPositions(const GGraphicsResources& store)
{
    int32_t held = 0;
    for (int32_t i = 0; i < store.GetBlockPositionCount(); ++i)
        held += store.HoldsBlockAt(i) ? 1 : 0;
    return held;
}

class BitmapStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_alerts.clear();
        platform::SetMessageBoxBackend(&RecordAlert);
    }
    void TearDown() override { platform::SetMessageBoxBackend(nullptr); }

    // Starts the store from the builder's set in folder "gfx"; expects success.
    void Start(const SetBuilder& set, uint16_t memCount, uint16_t loadCount, int32_t entryCount = -1)
    {
        set.Install(m_files, "gfx", entryCount);
        GBitmapStoreError error = m_store.TryInit(m_files, "gfx", memCount, loadCount);
        ASSERT_FALSE(error.Failed()) << error.message;
    }
    // The same start, which must fail and leave nothing behind.
    GBitmapStoreError StartFails(const SetBuilder& set, uint16_t memCount, uint16_t loadCount,
                                 int32_t entryCount = -1, GBitmapReadLimits limits = {}, int32_t fileCount = -1)
    {
        GMemorySetSource files;
        set.Install(files, "gfx", entryCount, fileCount);
        GBitmapStoreError error = m_store.TryInit(files, "gfx", memCount, loadCount, limits);
        EXPECT_TRUE(error.Failed());
        EXPECT_EQ(m_store.GetSlotCount(), 0);
        return error;
    }

    GMemorySetSource m_files;
    GGraphicsResources m_store;
};

// The start-up set of the reload tests: 1200 named 2 x 2 records, 2200 entries.
inline SetBuilder StartSet()
{
    SetBuilder set;
    for (int i = 0; i < 1200; ++i)
        set.Add(Rgb(0, "S" + std::to_string(i), 2, 2, i));
    return set;
}

// 10 masks and 40 images, each mask followed by the four images it serves.
inline SetBuilder InterfaceSet()
{
    SetBuilder set;
    for (int m = 0, record = 0; m < 10; ++m) {
        const int mask = record++;
        set.Add(OneByte(15, "IM" + std::to_string(m), 3, 3, 500 + m));
        for (int k = 0; k < 4; ++k, ++record)
            set.Add(Rgb(2, "I" + std::to_string(m * 4 + k), 3, 3, 600 + m * 4 + k, mask));
    }
    return set;
}

class BitmapStoreFilesTest : public BitmapStoreTest {
protected:
    void SetUp() override
    {
        BitmapStoreTest::SetUp();
        ASSERT_TRUE(m_inFolder.Entered());
    }

    TempFolder m_folder{"bitmap_store_", fs::current_path()};
    ScopedCurrentFolder m_inFolder{m_folder.Path()};
};

} // namespace bitmap_store_test
