#include "graphics/jpeg/jpeg_decoder.h"

#include <cstring>
#include <new>

#include "foundation/image/bitmap.h"
#include "foundation/core/register_object.h"
#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_idct.h"

namespace {

enum Marker : int {
    kSof0 = 0xC0,
    kSof1 = 0xC1,
    kSof2 = 0xC2,
    kDht = 0xC4,
    kJpg = 0xC8,
    kSof9 = 0xC9,
    kDac = 0xCC,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDri = 0xDD,
    kTem = 0x01,
};

inline int32_t Saturate16(int32_t v)
{
    return v < -32768 ? -32768 : v > 32767 ? 32767 : v;
}

} // namespace

std::unique_ptr<GJpegDecoder> GJpegDecoder::Create()
{
    std::unique_ptr<GJpegDecoder> decoder(new (std::nothrow) GJpegDecoder);
    if (decoder)
        RegisterObject(decoder.get());
    return decoder;
}

GJpegDecoder::GJpegDecoder()
{
    m_colour.Build();
}

GJpegDecoder::~GJpegDecoder()
{
    Close();
}

void GJpegDecoder::Close()
{
    ReleaseMemory();
    m_input.Detach();
    m_source = nullptr;
    m_ready = false;
}

bool GJpegDecoder::Fail(int32_t code)
{
    if (m_error == 0)
        m_error = m_input.ReadFailed() ? kJpegErrRead : code;
    Close();
    return false;
}

void GJpegDecoder::ReleaseMemory()
{
    for (int32_t i = 0; i < m_allocationCount; ++i)
        m_allocations[i].reset();
    m_allocationCount = 0;
    for (auto& c : m_components)
        c.plane = nullptr;
    m_lines[0] = m_lines[1] = nullptr;
}

uint8_t* GJpegDecoder::Allocate(size_t bytes)
{
    if (m_allocationCount >= kMaxAllocations) {
        Fail(kJpegErrTooManyBuffers);
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[bytes]());
    if (!block) {
        Fail(kJpegErrNoMemory);
        return nullptr;
    }
    uint8_t* data = block.get();
    m_allocations[m_allocationCount++] = std::move(block);
    return data;
}

// ---------------------------------------------------------------------------------------
// Headers

int32_t GJpegDecoder::Begin(GDataSource* source)
{
    ReleaseMemory();
    m_error = 0;
    m_ready = false;
    m_progressive = false;
    m_width = m_height = m_componentCount = 0;
    for (auto& c : m_components)
        c = Component{};
    for (auto& defined : m_quantDefined)
        defined = false;
    for (auto& table : m_huffman)
        table.defined = false;
    m_blocksPerMcu = 0;
    m_mcusPerRow = 0;
    m_restartInterval = 0;
    m_linesLeft = m_linesBuffered = m_rowInMcu = 0;
    std::memset(m_coefficients, 0, sizeof m_coefficients);

    m_source = source;
    m_input.Attach(source);

    const int marker = FindStartOfImage() ? ReadMarkers() : 0;
    if (marker == 0 || !ReadFrameHeader(marker) || !SetUpFrame() || !ReadScanHeader() ||
        (m_input.ReadFailed() && !Fail(kJpegErrRead)))
        return -1;
    m_ready = true;
    return 0;
}

bool GJpegDecoder::FindStartOfImage()
{
    // The SOI pair may follow up to 511 bytes of anything else.
    uint8_t previous = m_input.ReadByte();
    uint8_t current = m_input.ReadByte();
    for (int32_t at = 0; !(previous == 0xFF && current == kSoi); ++at) {
        if (at >= 511)
            return Fail(kJpegErrNotJpeg);
        previous = current;
        current = m_input.ReadByte();
    }
    if (m_input.PeekByte() != 0xFF)
        return Fail(kJpegErrNotJpeg);
    return true;
}

int GJpegDecoder::NextMarker()
{
    // Ends at the latest at the made-up end-of-image tail.
    for (;;) {
        uint8_t b = m_input.ReadByte();
        if (b != 0xFF)
            continue;
        do
            b = m_input.ReadByte();
        while (b == 0xFF);
        if (b != 0)
            return b;
    }
}

int GJpegDecoder::ReadMarkers()
{
    for (;;) {
        const int marker = NextMarker();
        bool ok = true;
        switch (marker) {
        case kTem:
        case kJpg:
            Fail(kJpegErrUnexpectedMarker);
            return 0;
        case kDht:
            ok = ReadHuffmanTables();
            break;
        case kDqt:
            ok = ReadQuantTables();
            break;
        case kDri:
            ok = ReadRestartInterval();
            break;
        case kDac:
            Fail(kJpegErrArithmetic);
            return 0;
        case kSoi:
        case kEoi:
        case kSos:
            return marker;
        default:
            if (marker >= kRst0 && marker <= kRst7) {
                Fail(kJpegErrUnexpectedMarker);
                return 0;
            }
            if (marker >= kSof0 && marker <= 0xCF)
                return marker;
            ok = SkipSegment();
            break;
        }
        if (!ok)
            return 0;
    }
}

bool GJpegDecoder::ReadHuffmanTables()
{
    int32_t left = static_cast<int32_t>(m_input.ReadU16()) - 2;
    if (left < 0)
        return Fail(kJpegErrHuffmanLength);
    while (left > 0) {
        if (left < 17)
            return Fail(kJpegErrHuffmanLength);
        const uint8_t classAndNumber = m_input.ReadByte();
        const int slot = (classAndNumber & 0x0F) + ((classAndNumber & 0x10) ? 4 : 0);
        if (slot >= 8)
            return Fail(kJpegErrHuffmanSlot);
        GJpegHuffmanTable& table = m_huffman[slot];
        table.defined = false;
        uint8_t counts[17] = {};
        int32_t total = 0;
        for (int length = 1; length <= 16; ++length) {
            counts[length] = m_input.ReadByte();
            total += counts[length];
        }
        left -= 17;
        if (total > 255)
            return Fail(kJpegErrHuffmanTable);
        if (total > left)
            return Fail(kJpegErrHuffmanLength);
        uint8_t symbols[256];
        for (int32_t i = 0; i < total; ++i)
            symbols[i] = m_input.ReadByte();
        left -= total;
        // Pictures of one source mostly share their tables: an unchanged table keeps its
        // expanded look-ups.
        if (total != table.symbolCount || std::memcmp(counts, table.counts, sizeof counts) != 0 ||
            std::memcmp(symbols, table.symbols, static_cast<size_t>(total)) != 0) {
            std::memcpy(table.counts, counts, sizeof counts);
            std::memcpy(table.symbols, symbols, static_cast<size_t>(total));
            table.symbolCount = total;
            table.expanded = false;
        }
        if (!GJpegCheckHuffmanTable(table, slot < 4))
            return Fail(kJpegErrHuffmanTable);
        table.defined = true;
    }
    return true;
}

bool GJpegDecoder::ReadQuantTables()
{
    const int32_t length = m_input.ReadU16();
    if (length < 2)
        return Fail(kJpegErrQuantLength);
    int32_t left = length - 2;
    while (left > 0) {
        const uint8_t precisionAndNumber = m_input.ReadByte();
        --left;
        const int number = precisionAndNumber & 0x0F;
        if (number >= 4)
            return Fail(kJpegErrQuantNumber);
        const bool wide = (precisionAndNumber >> 4) != 0;
        if ((wide ? 128 : 64) > left)
            return Fail(kJpegErrQuantTableLength);
        for (int k = 0; k < 64; ++k)
            m_quantTables[number][k] = wide ? m_input.ReadU16() : m_input.ReadByte();
        left -= wide ? 128 : 64;
        m_quantDefined[number] = true;
    }
    return true;
}

bool GJpegDecoder::ReadRestartInterval()
{
    if (m_input.ReadU16() != 4)
        return Fail(kJpegErrRestartLength);
    m_restartInterval = m_input.ReadU16();
    return true;
}

bool GJpegDecoder::SkipSegment()
{
    const uint16_t length = m_input.ReadU16();
    if (length < 2)
        return Fail(kJpegErrMarkerLength);
    m_input.Skip(length - 2u);
    return true;
}

bool GJpegDecoder::ReadFrameHeader(int marker)
{
    if (marker == kSof2)
        m_progressive = true;
    else if (marker == kSof9)
        return Fail(kJpegErrArithmetic);
    else if (marker != kSof0 && marker != kSof1)
        return Fail(kJpegErrFrameType);

    const int32_t length = m_input.ReadU16();
    const int32_t precision = m_input.ReadByte();
    m_height = m_input.ReadU16();
    m_width = m_input.ReadU16();
    const int32_t count = m_input.ReadByte();
    if (precision != 8)
        return Fail(kJpegErrPrecision);
    if (m_height < 1 || m_height > kMaxDimension)
        return Fail(kJpegErrHeight);
    if (m_width < 1 || m_width > kMaxDimension)
        return Fail(kJpegErrWidth);
    if (count > kMaxComponents)
        return Fail(kJpegErrComponents);
    if (length != 8 + 3 * count)
        return Fail(kJpegErrFrameLength);
    m_componentCount = count;
    for (int32_t i = 0; i < count; ++i) {
        Component& c = m_components[i];
        c.id = m_input.ReadByte();
        const uint8_t sampling = m_input.ReadByte();
        c.h = sampling >> 4;
        c.v = sampling & 0x0F;
        c.quantTable = m_input.ReadByte();
        // The number indexes one of four tables: a larger one must not reach past them.
        if (c.quantTable >= 4)
            return Fail(kJpegErrQuantNumber);
    }
    // Progressive frames are known but not decoded.
    if (m_progressive)
        return Fail(kJpegErrFrameType);
    return true;
}

bool GJpegDecoder::SetUpFrame()
{
    if (m_componentCount == 1) {
        // A lone component is not interleaved: one block per MCU whatever its factors say.
        m_mcuWidth = m_mcuHeight = 8;
        m_lumaH = m_lumaV = 1;
        m_components[0].blocksAcross = m_components[0].blocksDown = 1;
    } else if (m_componentCount == 3) {
        Component& luma = m_components[0];
        for (int i = 1; i < 3; ++i)
            if (m_components[i].h != 1 || m_components[i].v != 1)
                return Fail(kJpegErrSampling);
        if (luma.h < 1 || luma.h > 2 || luma.v < 1 || luma.v > 2)
            return Fail(kJpegErrSampling);
        m_lumaH = luma.h;
        m_lumaV = luma.v;
        m_mcuWidth = 8 * luma.h;
        m_mcuHeight = 8 * luma.v;
        luma.blocksAcross = luma.h;
        luma.blocksDown = luma.v;
        for (int i = 1; i < 3; ++i)
            m_components[i].blocksAcross = m_components[i].blocksDown = 1;
    } else {
        return Fail(kJpegErrComponentCount);
    }

    m_mcusPerRow = (m_width + m_mcuWidth - 1) / m_mcuWidth;
    int32_t blocksPerMcu = 0;
    for (int32_t i = 0; i < m_componentCount; ++i)
        blocksPerMcu += m_components[i].blocksAcross * m_components[i].blocksDown;
    if (blocksPerMcu * m_mcusPerRow > kMaxBlocksPerMcuRow)
        return Fail(kJpegErrMcuRowTooWide);

    // Width and height are at most 8192, so every size below fits easily in 32 bits.
    for (int32_t i = 0; i < m_componentCount; ++i) {
        Component& c = m_components[i];
        c.stride = m_mcusPerRow * c.blocksAcross * 8;
        c.plane = Allocate(static_cast<size_t>(c.stride) * c.blocksDown * 8);
        if (!c.plane)
            return false;
    }
    const size_t lineBytes = static_cast<size_t>((m_width + 15) & ~15) * GetBytesPerPixel();
    for (auto& line : m_lines) {
        line = Allocate(lineBytes);
        if (!line)
            return false;
    }
    m_linesLeft = m_height;
    return true;
}

bool GJpegDecoder::ReadScanHeader()
{
    const int marker = ReadMarkers();
    if (marker == 0)
        return false;
    if (marker != kSos)
        return Fail(kJpegErrUnexpectedMarker);

    const int32_t length = m_input.ReadU16();
    const int32_t count = m_input.ReadByte();
    if (count < 1 || count > kMaxComponents || length != 6 + 2 * count)
        return Fail(kJpegErrScanHeader);
    bool named[kMaxComponents] = {};
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t id = m_input.ReadByte();
        const uint8_t tables = m_input.ReadByte();
        int32_t index = 0;
        while (index < m_componentCount && m_components[index].id != id)
            ++index;
        // A component named twice would be decoded twice and another not at all.
        if (index == m_componentCount || named[index])
            return Fail(kJpegErrScanComponent);
        named[index] = true;
        const int dc = tables >> 4;
        const int ac = tables & 0x0F;
        if (dc > 3 || ac > 3)
            return Fail(kJpegErrUndefinedHuffman);
        m_components[index].dcTable = static_cast<uint8_t>(dc);
        m_components[index].acTable = static_cast<uint8_t>(ac + 4);
        m_scanOrder[i] = static_cast<uint8_t>(index);
    }
    // Spectral selection and successive approximation: a sequential scan is always 0..63.
    m_input.Skip(3);
    // Only the first scan is decoded, so it must carry every component of the frame.
    if (count != m_componentCount)
        return Fail(kJpegErrScanHeader);

    // The vector transform reads its coefficients transposed when it can: they are stored so.
    if (const GJpegInverseDctFn transposed = GJpegSelectTransposedInverseDct()) {
        m_inverseDct = transposed;
        m_zigzag = kJpegZigzagTransposed;
    } else {
        m_inverseDct = GJpegSelectInverseDct();
        m_zigzag = kJpegZigzag;
    }
    for (int32_t i = 0; i < count; ++i) {
        Component& c = m_components[m_scanOrder[i]];
        if (!m_quantDefined[c.quantTable])
            return Fail(kJpegErrUndefinedQuant);
        if (!m_huffman[c.dcTable].defined || !m_huffman[c.acTable].defined)
            return Fail(kJpegErrUndefinedHuffman);
        c.smallQuant = true;
        for (int k = 0; k < 64; ++k) {
            c.quant[k] = m_quantTables[c.quantTable][k];
            c.smallQuant = c.smallQuant && c.quant[k] <= 128;
            c.place[k] = static_cast<uint32_t>(c.quant[k]) << 8 | m_zigzag[k];
        }
        c.prediction = 0;
    }
    for (int slot = 0; slot < 8; ++slot) {
        GJpegHuffmanTable& table = m_huffman[slot];
        if (table.defined && !table.expanded) {
            GJpegExpandHuffmanTable(table, slot >= 4);
            table.expanded = true;
        }
    }

    // Blocks of an MCU in scan order; inside a component left to right, then top to bottom.
    m_blocksPerMcu = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Component& c = m_components[m_scanOrder[i]];
        for (uint8_t y = 0; y < c.blocksDown; ++y)
            for (uint8_t x = 0; x < c.blocksAcross; ++x)
                m_mcuBlocks[m_blocksPerMcu++] = McuBlock{m_scanOrder[i], x, y};
    }

    m_restartsLeft = m_restartInterval;
    m_nextRestart = 0;
    m_bits.Start(&m_input);
    return true;
}

// ---------------------------------------------------------------------------------------
// Entropy-coded data

namespace {

// A copy of zeros: the compiler makes it a few vector stores, where a 128-byte memset became
// "rep stos", whose start-up cost on some processors is a fair part of a block's decoding.
// The whole block is cleared every time: clearing only the coded positions was a loop of
// unpredictable length, and its mispredicted exits cost more than the eight stores.
constexpr int16_t kZeroBlock[64] = {};

inline void ClearBlock(int16_t* coefficients)
{
    std::memcpy(coefficients, kZeroBlock, sizeof kZeroBlock);
}

} // namespace

bool GJpegDecoder::DecodeMcuRow()
{
    for (int32_t mcu = 0; mcu < m_mcusPerRow; ++mcu) {
        if (m_restartInterval > 0) {
            if (m_restartsLeft == 0 && !ProcessRestart())
                return false;
            --m_restartsLeft;
        }
        for (int32_t b = 0; b < m_blocksPerMcu; ++b) {
            const McuBlock& block = m_mcuBlocks[b];
            Component& c = m_components[block.component];
            int lastZigzag = 0;
            if (!m_bits.Starved()) {
                if (!(c.smallQuant ? DecodeBlock<false>(c, lastZigzag)
                                   : DecodeBlock<true>(c, lastZigzag)))
                    return false;
            } else {
                // No data left: the block keeps the running DC and no detail.
                m_coefficients[0] = static_cast<int16_t>(Saturate16(c.prediction * c.quant[0]));
            }
            uint8_t* out = c.plane + (mcu * c.blocksAcross + block.x) * 8 + block.y * 8 * c.stride;
            m_inverseDct(m_coefficients, lastZigzag, out, c.stride);
            ClearBlock(m_coefficients);
        }
    }
    if (m_input.ReadFailed())
        return Fail(kJpegErrRead);
    return true;
}

// T.81 F.2.2.1 (DC difference) and F.2.2.2 (AC coefficients), with dequantisation. Values
// read are at most 15 bits and factors 16 bits, so each product fits in 32 bits before it
// is saturated to the 16 bits of a coefficient.
template <bool kSaturateSmall>
bool GJpegDecoder::DecodeBlock(Component& c, int& lastZigzag)
{
    // A local copy keeps the bit buffer in registers across the coefficient stores.
    GJpegBitReader bits = m_bits;
    int16_t* coefficients = m_coefficients;

    bits.Prepare();
    const int size = GJpegDecodeSymbol(m_huffman[c.dcTable], bits);
    if (size != 0)
        c.prediction = Saturate16(c.prediction + GJpegExtend(bits.Take(size), size));
    coefficients[0] = static_cast<int16_t>(Saturate16(c.prediction * c.quant[0]));

    const GJpegHuffmanTable& ac = m_huffman[c.acTable];
    const uint32_t* place = c.place;
    int last = 0;
    bool overrun = false;
    for (int k = 1; k < 64;) {
        bits.Prepare();
        const int32_t fast = ac.fastAc[bits.Peek(kJpegFastBits)];
        if (fast != 0) {
            k += (fast >> 8) & 0xFF;
            if (k > 63) {
                if (((fast >> 8) & 0xFF) == kJpegEndOfBlockRun)
                    bits.Consume(fast & 0xFF);
                else
                    overrun = true;
                break;
            }
            bits.Consume(fast & 0xFF);
            // |value| <= 255 here: with factors of at most 128 the product cannot leave 16 bits.
            const uint32_t at = place[k];
            const int32_t product = (fast >> 16) * static_cast<int32_t>(at >> 8);
            coefficients[at & 0xFF] =
                static_cast<int16_t>(kSaturateSmall ? Saturate16(product) : product);
            last = k++;
            continue;
        }
        const int symbol = GJpegDecodeSymbol(ac, bits);
        const int run = symbol >> 4;
        const int bitsOfValue = symbol & 15;
        if (bitsOfValue == 0) {
            if (run != 15)
                break; // end of block
            // Sixteen zeros, which must still lie inside the block.
            if (k + 15 > 63) {
                overrun = true;
                break;
            }
            k += 16;
            continue;
        }
        k += run;
        if (k > 63) {
            overrun = true;
            break;
        }
        const int32_t value = GJpegExtend(bits.Take(bitsOfValue), bitsOfValue);
        const uint32_t at = place[k];
        coefficients[at & 0xFF] =
            static_cast<int16_t>(Saturate16(value * static_cast<int32_t>(at >> 8)));
        last = k++;
    }
    lastZigzag = last;
    m_bits = bits;
    // A run past coefficient 63 is damage, unless the data had already run out and the
    // made-up bits produced it.
    if (overrun && !bits.Starved())
        return Fail(kJpegErrCorruptData);
    return true;
}

bool GJpegDecoder::ProcessRestart()
{
    // The bit reader never consumes a marker, so the RST marker is still ahead in the input
    // (after up to kRestartSearchLimit bytes of damage). Bits still buffered are padding.
    m_bits.Reset();
    int marker = -1;
    bool afterFF = false;
    for (int32_t i = 0; i < kRestartSearchLimit; ++i) {
        const uint8_t b = m_input.ReadByte();
        if (afterFF && b != 0xFF && b != 0x00) {
            marker = b;
            break;
        }
        afterFF = b == 0xFF;
    }
    if (marker == kEoi) {
        // The data ended early (a cut-short stream reads as end-of-image markers): the rest
        // of the picture is decoded without detail rather than refused.
        m_bits.Starve();
    } else if (marker != kRst0 + m_nextRestart) {
        return Fail(kJpegErrRestart);
    }
    for (auto& c : m_components)
        c.prediction = 0;
    m_restartsLeft = m_restartInterval;
    m_nextRestart = (m_nextRestart + 1) & 7;
    return true;
}

// ---------------------------------------------------------------------------------------
// Output

template <class Pixel>
void GJpegDecoder::ConvertRows(int32_t row, int32_t count, uint8_t* out0, uint8_t* out1)
{
    const Component& luma = m_components[0];
    const uint8_t* y0 = luma.plane + row * luma.stride;
    if (m_componentCount == 1) {
        GJpegExpandGrey<Pixel>(y0, out0, m_width);
        if (count == 2)
            GJpegExpandGrey<Pixel>(y0 + luma.stride, out1, m_width);
        return;
    }
    const int32_t chromaRow = row / m_lumaV;
    const uint8_t* cb = m_components[1].plane + chromaRow * m_components[1].stride;
    const uint8_t* cr = m_components[2].plane + chromaRow * m_components[2].stride;
    const uint8_t* y1 = y0 + luma.stride;
    if (m_lumaH == 2) {
        if (count == 2)
            GJpegConvertRows<Pixel, 2, true>(m_colour, y0, y1, cb, cr, out0, out1, m_width);
        else
            GJpegConvertRows<Pixel, 2, false>(m_colour, y0, y1, cb, cr, out0, out1, m_width);
    } else {
        if (count == 2)
            GJpegConvertRows<Pixel, 1, true>(m_colour, y0, y1, cb, cr, out0, out1, m_width);
        else
            GJpegConvertRows<Pixel, 1, false>(m_colour, y0, y1, cb, cr, out0, out1, m_width);
    }
}

int32_t GJpegDecoder::Decode(const uint8_t** line, int32_t* length)
{
    if (m_error != 0 || !m_ready) {
        Close();
        return -1;
    }
    if (m_linesLeft == 0) {
        m_input.Detach();
        m_source = nullptr;
        return 1;
    }
    if (m_linesBuffered == 0) {
        if (!DecodeMcuRow())
            return -1;
        m_linesBuffered = m_mcuHeight;
        m_rowInMcu = 0;
    }

    const int32_t row = m_rowInMcu;
    const uint8_t* out;
    if (m_componentCount == 1) {
        out = m_components[0].plane + row * m_components[0].stride;
    } else if (m_lumaV == 2) {
        // Rows sharing a chroma row are converted together; the second waits for the next call.
        if ((row & 1) == 0)
            ConvertRows<GJpegRgbxPixel>(row, 2, m_lines[0], m_lines[1]);
        out = m_lines[row & 1];
    } else {
        ConvertRows<GJpegRgbxPixel>(row, 1, m_lines[0], nullptr);
        out = m_lines[0];
    }
    ++m_rowInMcu;
    --m_linesBuffered;
    --m_linesLeft;
    if (line)
        *line = out;
    if (length)
        *length = m_width * GetBytesPerPixel();
    return 0;
}

int32_t GJpegDecoder::DecodeBgr(uint8_t* pixels, int32_t pitch)
{
    if (m_error != 0 || !m_ready || m_linesLeft != m_height || m_linesBuffered != 0 || !pixels ||
        pitch < m_width * 3)
        return -1;

    int32_t row = 0;
    bool ok = true;
    while (row < m_height) {
        if (!DecodeMcuRow()) {
            ok = false;
            break;
        }
        const int32_t rows = m_mcuHeight < m_height - row ? m_mcuHeight : m_height - row;
        for (int32_t r = 0; r < rows;) {
            uint8_t* out = pixels + static_cast<ptrdiff_t>(row + r) * pitch;
            if (m_lumaV == 2 && r + 1 < rows) {
                ConvertRows<GJpegBgrPixel>(r, 2, out, out + pitch);
                r += 2;
            } else {
                ConvertRows<GJpegBgrPixel>(r, 1, out, nullptr);
                r += 1;
            }
        }
        row += rows;
    }
    for (; row < m_height; ++row)
        std::memset(pixels + static_cast<ptrdiff_t>(row) * pitch, 0,
                    static_cast<size_t>(m_width) * 3);
    m_linesLeft = 0;
    if (!ok)
        return -1;
    m_input.Detach();
    m_source = nullptr;
    return 0;
}

int32_t GJpegDecoder::DecodeInto(GBitmap& bitmap)
{
    if (!m_ready || GBitmap::IsPalettisedFormat(bitmap.GetFormat()) ||
        bitmap.GetBytesPerPixel() != 3 || bitmap.GetWidth() < m_width ||
        bitmap.GetHeight() < m_height || !bitmap.GetPixels())
        return -1;
    return DecodeBgr(bitmap.GetPixels(), bitmap.GetPitch());
}

// ---------------------------------------------------------------------------------------

std::unique_ptr<GJpegReader> GJpegReader::Create()
{
    std::unique_ptr<GJpegReader> reader(new (std::nothrow) GJpegReader);
    if (!reader)
        return nullptr;
    reader->m_decoder = GJpegDecoder::Create();
    if (!reader->m_decoder)
        return nullptr;
    RegisterObject(reader.get());
    return reader;
}
