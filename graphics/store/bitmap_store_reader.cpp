#include "graphics/store/bitmap_store_reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/image/bitmap.h"
#include "foundation/files/data_files.h"
#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "platform/files/file_system.h"

namespace {

std::string Format(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

class FileInput : public GBitmapSetInput {
public:
    FileInput(std::FILE* file, uint64_t size) : m_file(file), m_size(size) {}
    ~FileInput() override { std::fclose(m_file); }

    uint64_t GetSize() const override { return m_size; }
    bool Read(void* buffer, uint32_t size) override
    {
        return ReadBlock(m_file, buffer, size) == 1;
    }

private:
    std::FILE* m_file;
    uint64_t m_size;
};

class MemoryInput : public GBitmapSetInput {
public:
    explicit MemoryInput(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    uint64_t GetSize() const override { return m_bytes.size(); }
    bool Read(void* buffer, uint32_t size) override
    {
        if (size > m_bytes.size() - m_position)
            return false;
        if (size > 0)
            std::memcpy(buffer, m_bytes.data() + m_position, size);
        m_position += size;
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_position = 0;
};

GBitmapStoreError MakeError(GBitmapStoreFault fault, int32_t exitCode, std::string message)
{
    GBitmapStoreError error;
    error.fault = fault;
    error.exitCode = exitCode;
    error.message = std::move(message);
    return error;
}

// Bad data is fatal at start-up with the store's general exit code.
GBitmapStoreError BadData(GBitmapStoreFault fault, std::string message)
{
    return MakeError(fault, 255, std::move(message));
}

// Bytes of an image area with its spare row and pixel: w * (h + 1) + 1.
uint64_t AreaBytes(uint32_t width, uint32_t height)
{
    return static_cast<uint64_t>(width) * (static_cast<uint64_t>(height) + 1) + 1;
}

// The next n bytes of the file into field; false when the file ends first.
bool ReadField(GBitmapSetInput& input, uint64_t& consumed, uint8_t* field, uint32_t n)
{
    if (input.GetSize() - consumed < n || !input.Read(field, n))
        return false;
    consumed += n;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------

GBitmapPayload PayloadOfFormat(uint8_t format)
{
    if (format == dmStoreJpeg || format == dmStoreJpegMasked)
        return GBitmapPayload::kJpeg;
    if (format >= dmIndexed && format <= dmIndexedMask)
        return GBitmapPayload::kPalettised;
    if (format <= dmLine || format == dmLightenMask)
        return GBitmapPayload::kRgb;
    return GBitmapPayload::kBytes;
}

GBitmapImageKind ImageKindOfFormat(uint8_t format)
{
    switch (format) {
    case dmCopy:
    case dmColorKey:
    case dmIndexed:
    case dmIndexedColorKey:
        return GBitmapImageKind::kPlain;
    case dmAlphaMask:
    case dmPaletteMask:
    case dmIndexedMask:
        return GBitmapImageKind::kMasked;
    case dmDarkenMask:
        return GBitmapImageKind::kAlphaOnly;
    default:
        return GBitmapImageKind::kNone;
    }
}

bool CountsAsLoadedSlot(uint8_t format)
{
    return format <= dmDarkenMask || (format >= dmIndexed && format <= dmIndexedMaskFaded);
}

bool EndsProcessOnReload(GBitmapStoreFault fault)
{
    switch (fault) {
    case GBitmapStoreFault::kIndexMissing:
    case GBitmapStoreFault::kReloadIndexMissing:
    case GBitmapStoreFault::kDataFileMissing:
    case GBitmapStoreFault::kJpegTooBig:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<GBitmapSetInput> GFolderSetSource::Open(const std::string& path)
{
    std::FILE* file = platform::OpenFile(path.c_str(), "rb");
    if (!file)
        return nullptr;
    const int64_t size = platform::GetFileSize(file);
    if (size < 0) {
        // Not a regular file: nothing the store could read records from.
        std::fclose(file);
        return nullptr;
    }
    auto input = std::unique_ptr<GBitmapSetInput>(
        new (std::nothrow) FileInput(file, static_cast<uint64_t>(size)));
    if (!input)
        std::fclose(file);
    return input;
}

void GMemorySetSource::Add(const std::string& path, std::vector<uint8_t> bytes)
{
    m_files[path] = std::move(bytes);
}

std::unique_ptr<GBitmapSetInput> GMemorySetSource::Open(const std::string& path)
{
    auto it = m_files.find(path);
    if (it == m_files.end())
        return nullptr;
    return std::unique_ptr<GBitmapSetInput>(new (std::nothrow) MemoryInput(it->second));
}

std::string BitmapIndexPath(const char* folder)
{
    if (!folder || !*folder)
        return "bmst.bin";
    return Format("%s/bmst.bin", folder);
}

std::string BitmapDataPath(const char* folder, int32_t number)
{
    if (!folder || !*folder)
        return Format("bmdt%d.bin", number);
    return Format("%s/bmdt%d.bin", folder, number);
}

GBitmapIndexState ReadBitmapIndex(GBitmapSetSource& source, const char* folder, uint16_t* fileCount,
                                  uint16_t* entryCount)
{
    std::unique_ptr<GBitmapSetInput> input = source.Open(BitmapIndexPath(folder));
    if (!input)
        return GBitmapIndexState::kMissing;
    uint8_t header[4];
    if (input->GetSize() < sizeof header || !input->Read(header, sizeof header))
        return GBitmapIndexState::kTooShort;
    if (fileCount)
        *fileCount = Le16(header);
    if (entryCount)
        *entryCount = Le16(header + 2);
    return GBitmapIndexState::kRead;
}

bool ReadBitmapIndexHeader(GBitmapSetSource& source, const char* folder, uint16_t* fileCount,
                           uint16_t* entryCount)
{
    return ReadBitmapIndex(source, folder, fileCount, entryCount) == GBitmapIndexState::kRead;
}

std::string BitmapIndexProblem(const char* folder, GBitmapIndexState state)
{
    return BitmapIndexPath(folder) +
           (state == GBitmapIndexState::kTooShort ? " is damaged (too short)" : " not found!");
}

void ReleasePixelBlock(GPixelBlock* block)
{
    if (block && block->ReleaseRef() < 1) {
        block->Free();
        delete block;
    }
}

// ---------------------------------------------------------------------------------------

GBitmapSetData::~GBitmapSetData()
{
    Reset(0);
}

bool GBitmapSetData::Reset(int32_t capacity)
{
    for (GPixelBlock*& block : m_blocks) {
        ReleasePixelBlock(block);
        block = nullptr;
    }
    m_entries.clear();
    m_blocks.clear();
    m_recordCount = 0;
    if (capacity <= 0)
        return true;
    try {
        m_entries.resize(static_cast<size_t>(capacity));
        m_blocks.resize(static_cast<size_t>(capacity), nullptr);
    } catch (const std::bad_alloc&) {
        m_entries.clear();
        m_blocks.clear();
        return false;
    }
    return true;
}

GPixelBlock* GBitmapSetData::TakeBlock(int32_t index)
{
    GPixelBlock* block = m_blocks[index];
    m_blocks[index] = nullptr;
    return block;
}

// ---------------------------------------------------------------------------------------

// One read pass over a set's data files. The JPEG scratch buffer and decoder are made at the
// first JPEG record and reused for every later one.
class GBitmapSetReader {
public:
    GBitmapSetReader(GBitmapSetSource& source, const char* folder,
                     const GBitmapReadLimits& limits, GBitmapSetData& out)
        : m_source(source), m_folder(folder), m_limits(limits), m_out(out)
    {
    }

    GBitmapStoreError ReadFiles(uint16_t fileCount);
    // Files that end before the records their index lists: the last file lost them.
    GBitmapStoreError CheckCount(uint16_t fileCount, int32_t listed) const;
    GBitmapStoreError CheckMasks() const;

private:
    // A record is its header, then its payload by format, then a pad byte after an odd
    // number of pixels.
    GBitmapStoreError ReadRecord(GBitmapSetInput& input, const std::string& path,
                                 uint64_t& consumed);
    GBitmapStoreError ReadHeader(GBitmapSetInput& input, const std::string& path,
                                 uint64_t& consumed, GBitmapIndexEntry& entry) const;
    GBitmapStoreError ReadPalettised(GBitmapSetInput& input, const std::string& path,
                                     uint64_t& consumed, const GBitmapIndexEntry& entry,
                                     std::unique_ptr<GPixelBlock>& block);
    // The next `bytes` of the file into a new block of blockBytes, from its byte `at` on.
    GBitmapStoreError ReadPayload(GBitmapSetInput& input, const std::string& path,
                                  uint64_t& consumed, uint64_t blockBytes, uint32_t at,
                                  uint64_t bytes, std::unique_ptr<GPixelBlock>& block);
    GBitmapStoreError ReadJpeg(GBitmapSetInput& input, const std::string& path, uint64_t& consumed,
                               GBitmapIndexEntry& entry, std::unique_ptr<GPixelBlock>& block,
                               bool& oddPad);
    // A zero-filled block of the given size, counted against the pass's budget.
    GBitmapStoreError NewBlock(uint64_t bytes, std::unique_ptr<GPixelBlock>& block);
    GBitmapStoreError Truncated(const std::string& path) const
    {
        return BadData(GBitmapStoreFault::kTruncated,
                       Format("%s is damaged (too short): record %d is cut short", path.c_str(),
                              m_out.m_recordCount));
    }

    GBitmapSetSource& m_source;
    const char* m_folder;
    const GBitmapReadLimits& m_limits;
    GBitmapSetData& m_out;
    uint64_t m_allocated = 0;
    std::unique_ptr<uint8_t[]> m_scratch;
    std::unique_ptr<GJpegReader> m_jpeg;
};

GBitmapStoreError GBitmapSetReader::ReadFiles(uint16_t fileCount)
{
    for (int32_t number = 0; number < fileCount; ++number) {
        const std::string path = BitmapDataPath(m_folder, number);
        std::unique_ptr<GBitmapSetInput> input = m_source.Open(path);
        if (!input)
            return MakeError(GBitmapStoreFault::kDataFileMissing, 255,
                             Format("Cannot open file %s", path.c_str()));
        const uint64_t size = input->GetSize();
        if (size == 0)
            return BadData(GBitmapStoreFault::kTruncated,
                           Format("%s is damaged (too short): it holds no record", path.c_str()));
        uint64_t consumed = 0;
        while (consumed < size) {
            GBitmapStoreError error = ReadRecord(*input, path, consumed);
            if (error.Failed())
                return error;
        }
    }
    return {};
}

GBitmapStoreError GBitmapSetReader::ReadRecord(GBitmapSetInput& input, const std::string& path,
                                               uint64_t& consumed)
{
    GBitmapIndexEntry entry;
    GBitmapStoreError error = ReadHeader(input, path, consumed, entry);
    if (error.Failed())
        return error;

    std::unique_ptr<GPixelBlock> block;
    const uint64_t pixels = static_cast<uint64_t>(entry.width) * entry.height;
    bool oddPad = (pixels & 1) != 0;
    switch (PayloadOfFormat(static_cast<uint8_t>(entry.format))) {
    case GBitmapPayload::kJpeg:
        error = ReadJpeg(input, path, consumed, entry, block, oddPad);
        break;
    case GBitmapPayload::kPalettised:
        error = ReadPalettised(input, path, consumed, entry, block);
        break;
    case GBitmapPayload::kRgb:
        error = ReadPayload(input, path, consumed, AreaBytes(entry.width, entry.height) * 3, 0,
                            pixels * 3, block);
        break;
    case GBitmapPayload::kBytes:
        error = ReadPayload(input, path, consumed, AreaBytes(entry.width, entry.height), 0, pixels,
                            block);
        break;
    }
    if (error.Failed())
        return error;

    // A missing pad byte at the very end of a file loses nothing.
    if (oddPad && consumed < input.GetSize()) {
        uint8_t pad;
        if (!input.Read(&pad, 1))
            return Truncated(path);
        ++consumed;
    }

    const int32_t index = m_out.m_recordCount;
    block->AddRef();
    m_out.m_blocks[index] = block.release();
    m_out.m_entries[index] = entry;
    ++m_out.m_recordCount;
    return {};
}

GBitmapStoreError GBitmapSetReader::ReadHeader(GBitmapSetInput& input, const std::string& path,
                                               uint64_t& consumed, GBitmapIndexEntry& entry) const
{
    uint8_t header[kBitmapRecordHeaderSize];
    if (!ReadField(input, consumed, header, sizeof header))
        return Truncated(path);

    const int32_t index = m_out.m_recordCount;
    if (index >= m_out.GetCapacity())
        return BadData(GBitmapStoreFault::kTooManyRecords,
                       Format("%s is damaged: more than %d records in the set",
                              path.c_str(), m_out.GetCapacity()));

    entry.format = header[0];
    entry.width = Le16(header + 2);
    entry.height = Le16(header + 4);
    entry.value = Le32(header + 6);
    std::memcpy(entry.name, header + 10, sizeof entry.name);
    if (entry.width > kBitmapStoreMaxSide || entry.height > kBitmapStoreMaxSide)
        return BadData(GBitmapStoreFault::kBadSize,
                       Format("%s is damaged: record %d is %ux%u pixels", path.c_str(),
                              index, entry.width, entry.height));
    return {};
}

GBitmapStoreError GBitmapSetReader::ReadPalettised(GBitmapSetInput& input, const std::string& path,
                                                   uint64_t& consumed,
                                                   const GBitmapIndexEntry& entry,
                                                   std::unique_ptr<GPixelBlock>& block)
{
    uint8_t sizeField[2];
    if (!ReadField(input, consumed, sizeField, sizeof sizeField))
        return Truncated(path);
    const uint16_t section = Le16(sizeField);
    if (section != kBitmapStorePaletteSection)
        return BadData(GBitmapStoreFault::kBadPalette,
                       Format("%s is damaged: record %d has a palette section of "
                              "%u bytes",
                              path.c_str(), m_out.m_recordCount, section));
    // The block keeps the size field before the palette, as a palettised image has it.
    GBitmapStoreError error = ReadPayload(
        input, path, consumed, AreaBytes(entry.width, entry.height) + kBitmapStorePaletteSection,
        sizeof sizeField,
        kBitmapStorePaletteSection - sizeof sizeField +
            static_cast<uint64_t>(entry.width) * entry.height,
        block);
    if (!error.Failed())
        std::memcpy(block->GetData(), sizeField, sizeof sizeField);
    return error;
}

GBitmapStoreError GBitmapSetReader::ReadPayload(GBitmapSetInput& input, const std::string& path,
                                                uint64_t& consumed, uint64_t blockBytes,
                                                uint32_t at, uint64_t bytes,
                                                std::unique_ptr<GPixelBlock>& block)
{
    if (input.GetSize() - consumed < bytes)
        return Truncated(path);
    GBitmapStoreError error = NewBlock(blockBytes, block);
    if (error.Failed())
        return error;
    if (!input.Read(block->GetData() + at, static_cast<uint32_t>(bytes)))
        return Truncated(path);
    consumed += bytes;
    return {};
}

GBitmapStoreError GBitmapSetReader::ReadJpeg(GBitmapSetInput& input, const std::string& path,
                                             uint64_t& consumed, GBitmapIndexEntry& entry,
                                             std::unique_ptr<GPixelBlock>& block, bool& oddPad)
{
    const uint64_t size = input.GetSize();
    uint8_t countField[4];
    if (!ReadField(input, consumed, countField, sizeof countField))
        return Truncated(path);
    const uint32_t count = Le32(countField);
    if (count > kBitmapStoreMaxJpegBytes)
        return MakeError(GBitmapStoreFault::kJpegTooBig, 100, "Jpeg data too big!");
    if (size - consumed < count)
        return Truncated(path);

    if (!m_scratch) {
        m_scratch.reset(new (std::nothrow) uint8_t[kBitmapStoreMaxJpegBytes]);
        m_jpeg = GJpegReader::Create();
        if (!m_scratch || !m_jpeg)
            return BadData(GBitmapStoreFault::kOutOfMemory,
                           Format("Not enough memory to read %s", path.c_str()));
    }
    if (!input.Read(m_scratch.get(), count))
        return Truncated(path);
    consumed += count;
    for (uint32_t i = 0; i < count; ++i)
        m_scratch[i] ^= kBitmapStoreJpegKey;

    const int32_t index = m_out.m_recordCount;
    GJpegDecoder* decoder = m_jpeg->GetDecoder();
    GMemoryDataSource stream(m_scratch.get(), count);
    const bool ready = decoder->Begin(&stream) == 0;
    if (ready && (decoder->GetWidth() != entry.width || decoder->GetHeight() != entry.height)) {
        GBitmapStoreError error = BadData(
            GBitmapStoreFault::kJpegSizeMismatch,
            Format("%s is damaged: record %d decodes to %dx%d, not %ux%u",
                   path.c_str(), index, decoder->GetWidth(), decoder->GetHeight(),
                   entry.width, entry.height));
        decoder->Close();
        return error;
    }

    GBitmapStoreError error = NewBlock(AreaBytes(entry.width, entry.height) * 3, block);
    if (error.Failed()) {
        decoder->Close();
        return error;
    }
    // A stream the decoder refuses (progressive, say) leaves the picture black; one damaged
    // half-way keeps what decoded, the rest black.
    if (ready)
        decoder->DecodeBgr(block->GetData(), static_cast<int32_t>(entry.width) * 3);
    decoder->Close();

    entry.format = entry.format == dmStoreJpeg ? dmCopy : dmAlphaMask;
    oddPad = (count & 1) != 0;
    return {};
}

GBitmapStoreError GBitmapSetReader::NewBlock(uint64_t bytes, std::unique_ptr<GPixelBlock>& block)
{
    // Sides of at most 32767 keep every block below 2^32 bytes.
    // m_allocated never passes the limit, so the subtraction cannot wrap.
    if (bytes > UINT32_MAX || bytes > m_limits.maxBlockBytes - m_allocated)
        return BadData(GBitmapStoreFault::kOverBudget,
                       Format("Bitmap set %s is too large", BitmapIndexPath(m_folder).c_str()));
    block = GPixelBlock::Create(static_cast<uint32_t>(bytes), nullptr);
    if (!block)
        return BadData(GBitmapStoreFault::kOutOfMemory,
                       Format("Not enough memory for bitmap set %s",
                              BitmapIndexPath(m_folder).c_str()));
    std::memset(block->GetData(), 0, static_cast<size_t>(bytes));
    m_allocated += bytes;
    return {};
}

GBitmapStoreError GBitmapSetReader::CheckCount(uint16_t fileCount, int32_t listed) const
{
    if (fileCount == 0 || m_out.m_recordCount >= listed)
        return {};
    return BadData(GBitmapStoreFault::kTruncated,
                   Format("%s is damaged (too short): the set holds %d of the %d records its index "
                          "lists",
                          BitmapDataPath(m_folder, fileCount - 1).c_str(), m_out.m_recordCount,
                          listed));
}

GBitmapStoreError GBitmapSetReader::CheckMasks() const
{
    for (int32_t i = 0; i < m_out.m_recordCount; ++i) {
        const GBitmapIndexEntry& entry = m_out.m_entries[i];
        if (ImageKindOfFormat(static_cast<uint8_t>(entry.format)) != GBitmapImageKind::kMasked)
            continue;
        const uint32_t mask = entry.value;
        bool good = mask < static_cast<uint32_t>(m_out.m_recordCount) && m_out.m_blocks[mask];
        if (good) {
            const GBitmapIndexEntry& source = m_out.m_entries[mask];
            good = source.width == entry.width && source.height == entry.height &&
                   m_out.m_blocks[mask]->GetSize() >= AreaBytes(entry.width, entry.height);
        }
        if (!good)
            return BadData(GBitmapStoreFault::kBadMaskReference,
                           Format("Bitmap set %s is damaged: record %d has no mask of its size "
                                  "(record %u)",
                                  BitmapIndexPath(m_folder).c_str(), i, mask));
    }
    return {};
}

GBitmapStoreError ReadBitmapData(GBitmapSetSource& source, const char* folder,
                                 uint16_t fileCount, int32_t capacity,
                                 const GBitmapReadLimits& limits, GBitmapSetData& out,
                                 int32_t listed)
{
    if (capacity < 0 || capacity > kBitmapStoreMaxSlots)
        return BadData(GBitmapStoreFault::kTooManyBitmaps,
                       Format("Bitmap set %s holds too many bitmaps",
                              BitmapIndexPath(folder).c_str()));
    if (!out.Reset(capacity))
        return BadData(GBitmapStoreFault::kOutOfMemory,
                       Format("Not enough memory for bitmap set %s",
                              BitmapIndexPath(folder).c_str()));

    GBitmapSetReader reader(source, folder, limits, out);
    GBitmapStoreError error = reader.ReadFiles(fileCount);
    if (!error.Failed())
        error = reader.CheckCount(fileCount, listed);
    if (!error.Failed())
        error = reader.CheckMasks();
    if (error.Failed())
        out.Reset(0);
    return error;
}
