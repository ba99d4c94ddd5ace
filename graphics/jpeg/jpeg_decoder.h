#pragma once
// GJpegDecoder: the engine's own JPEG decoder, for the bitmap store's JPEG records and the
// pictures in the data packs.
//
// It decodes sequential Huffman-coded JPEG (baseline and extended, ITU-T T.81) with 8-bit
// samples: greyscale, or YCbCr with chroma sampled 1x1 and luma 1x1, 2x1, 1x2 or 2x2, all
// components interleaved in the frame's first scan. Everything else (progressive, arithmetic
// coding, lossless, 12-bit, CMYK, other sampling) is refused with an error code.
//
// Use: Begin(source) reads the headers up to the first scan; then either Decode() hands out one
// scan line at a time (R, G, B plus an unwritten fourth byte per pixel; one byte per pixel for
// greyscale), or DecodeBgr()/DecodeInto() write the whole picture into a caller's 24-bit buffer.
// One decoder decodes any number of pictures in turn; each Begin starts from nothing.
//
// Untrusted input: every header field is checked before use, the picture size is limited to
// 8192x8192, image memory is sized once per picture from checked numbers, and a stream that is
// cut short or damaged in its entropy-coded data still yields every line (the part after the
// damage without detail). Every failure goes through Fail() and leaves a code in GetError().
//
// Owns its tables and all per-picture memory. One thread at a time.

#include <cstdint>
#include <memory>

#include "graphics/jpeg/jpeg_bitstream.h"
#include "graphics/jpeg/jpeg_colour.h"
#include "graphics/jpeg/jpeg_huffman.h"
#include "graphics/jpeg/jpeg_idct.h"

class GBitmap;
class GDataSource;

// Error codes kept by the decoder (GJpegDecoder::GetError); callers of Begin/Decode see -1.
enum GJpegError : int32_t {
    kJpegOk = 0,
    kJpegErrHuffmanTable = -200,       // more than 255 codes, or counts no code can have
    kJpegErrHuffmanSlot = -201,        // DHT class/number beyond the 8 slots
    kJpegErrHuffmanLength = -202,      // DHT segment length does not match its tables
    kJpegErrQuantLength = -203,        // DQT segment length below 2
    kJpegErrQuantNumber = -204,        // quantisation table number 4 or more (DQT or SOF)
    kJpegErrPrecision = -205,          // sample precision other than 8
    kJpegErrHeight = -206,             // height outside 1..8192
    kJpegErrWidth = -207,              // width outside 1..8192
    kJpegErrComponents = -208,         // more than 4 components
    kJpegErrFrameLength = -209,        // SOF length not 8 + 3 * components
    kJpegErrMarkerLength = -210,       // skipped segment with a length below 2
    kJpegErrRestartLength = -211,      // DRI length not 4
    kJpegErrScanHeader = -212,         // SOS count or length wrong, or not every component
    kJpegErrScanComponent = -213,      // SOS component not in the frame, or named twice
    kJpegErrArithmetic = -215,         // arithmetic coding (SOF9, DAC)
    kJpegErrUnexpectedMarker = -216,   // marker out of place, or no scan where one must start
    kJpegErrNotJpeg = -217,            // no start-of-image marker in the first 512 bytes
    kJpegErrFrameType = -218,          // progressive, lossless, hierarchical and the like
    kJpegErrQuantTableLength = -219,   // DQT length does not match its tables
    kJpegErrTooManyBuffers = -221,     // more than 100 working allocations
    kJpegErrUndefinedQuant = -222,     // scan uses an undefined quantisation table
    kJpegErrUndefinedHuffman = -223,   // scan uses an undefined (or impossible) Huffman table
    kJpegErrComponentCount = -225,     // component count other than 1 or 3
    kJpegErrSampling = -226,           // unsupported sampling factors
    kJpegErrCorruptData = -227,        // AC run beyond coefficient 63
    kJpegErrRestart = -228,            // restart marker missing or out of sequence
    kJpegErrMcuRowTooWide = -229,      // more than 6144 blocks per MCU row
    kJpegErrRead = -232,               // the source reported a read error
    kJpegErrNoMemory = -233,           // out of memory
};

class GJpegDecoder {
public:
    static constexpr int32_t kMaxDimension = 8192;

    // Null when the decoder cannot be allocated.
    static std::unique_ptr<GJpegDecoder> Create();
    GJpegDecoder(const GJpegDecoder&) = delete;
    GJpegDecoder& operator=(const GJpegDecoder&) = delete;
    ~GJpegDecoder();

    // Attaches the source and reads every marker up to the first scan. 0 when lines can be
    // decoded, -1 when not (the reason in GetError()). The source must stay alive until the
    // last line was delivered or an error ended the picture; the decoder then lets go of it.
    int32_t Begin(GDataSource* source);

    // The next scan line, top first: *line points at length bytes (width * GetBytesPerPixel())
    // that stay valid until the next call. 0 with a line, 1 when all lines were delivered, -1
    // when not ready or after an error.
    int32_t Decode(const uint8_t** line, int32_t* length);

    // Writes the whole picture, right after a successful Begin, as B, G, R bytes into rows
    // pitch bytes apart (pitch >= width * 3); greyscale becomes grey pixels. Rows that cannot be
    // decoded after an error are written black, so every byte of the picture area is
    // written whatever happens. 0 on success, -1 on error (also when called at the wrong time
    // or with a buffer too small; those leave the buffer alone).
    int32_t DecodeBgr(uint8_t* pixels, int32_t pitch);
    // The same into the top-left corner of a 24-bit bitmap at least as large as the picture.
    int32_t DecodeInto(GBitmap& bitmap);

    // Frees all per-picture memory and lets go of the source. The decoder can Begin again.
    void Close();

    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    int32_t GetComponentCount() const { return m_componentCount; }
    // Bytes per pixel of the lines Decode hands out: 4 for colour, 1 for greyscale.
    int32_t GetBytesPerPixel() const { return m_componentCount == 1 ? 1 : 4; }
    int32_t GetError() const { return m_error; }
    bool IsProgressive() const { return m_progressive; }
    bool IsReady() const { return m_ready; }

private:
    static constexpr int kMaxComponents = 4;
    static constexpr int kMaxBlocksPerMcu = 6;
    static constexpr int kMaxBlocksPerMcuRow = 6144;
    static constexpr int kMaxAllocations = 100;
    static constexpr int kRestartSearchLimit = 1536;

    struct Component {
        uint8_t id = 0;
        uint8_t h = 1;           // sampling factors as given in the frame header
        uint8_t v = 1;
        uint8_t quantTable = 0;
        uint8_t dcTable = 0;     // Huffman slots 0..3
        uint8_t acTable = 4;     // Huffman slots 4..7
        uint8_t blocksAcross = 1;  // blocks of this component in one MCU
        uint8_t blocksDown = 1;
        int32_t prediction = 0;  // DC predictor of T.81 F.2.1.1, kept in signed 16-bit range
        int32_t quant[64] = {};  // dequantisation factors in zigzag order
        uint32_t place[64] = {}; // factor << 8 | where coefficient k is kept (m_zigzag[k])
        bool smallQuant = false; // every factor at most 128
        uint8_t* plane = nullptr;  // samples of one MCU row: blocksDown * 8 rows
        int32_t stride = 0;        // bytes per plane row
    };
    struct McuBlock {
        uint8_t component;
        uint8_t x;  // block column inside the component's part of the MCU
        uint8_t y;
    };

    GJpegDecoder();

    // The one place every failure passes: keeps the first code (a read error of the source
    // outranks what it caused), then closes the picture (memory freed, source let go, not
    // ready) and returns false. Callers only unwind after it.
    bool Fail(int32_t code);
    void ReleaseMemory();
    uint8_t* Allocate(size_t bytes);

    bool FindStartOfImage();
    // Reads markers, handling tables and skipping the rest, up to a frame, scan, SOI or EOI
    // marker, which it returns; 0 after an error.
    int ReadMarkers();
    int NextMarker();
    bool ReadHuffmanTables();
    bool ReadQuantTables();
    bool ReadRestartInterval();
    bool SkipSegment();
    bool ReadFrameHeader(int marker);
    bool SetUpFrame();
    bool ReadScanHeader();

    bool DecodeMcuRow();
    // kSaturateSmall: whether values of up to 8 bits can leave 16 bits once dequantised.
    template <bool kSaturateSmall>
    bool DecodeBlock(Component& c, int& lastZigzag);
    bool ProcessRestart();

    // Converts rows [row, row + count) of the current MCU row into pixels of the layout.
    template <class Pixel>
    void ConvertRows(int32_t row, int32_t count, uint8_t* out0, uint8_t* out1);

    GJpegInput m_input;
    GJpegBitReader m_bits;
    GDataSource* m_source = nullptr;
    int32_t m_error = 0;
    bool m_ready = false;
    bool m_progressive = false;

    // Frame.
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_componentCount = 0;
    Component m_components[kMaxComponents];
    bool m_quantDefined[4] = {};
    uint16_t m_quantTables[4][64] = {};  // zigzag order, as in the stream
    GJpegHuffmanTable m_huffman[8];      // slots 0..3 DC, 4..7 AC

    // Scan and MCU layout.
    uint8_t m_scanOrder[kMaxComponents] = {};
    McuBlock m_mcuBlocks[kMaxBlocksPerMcu] = {};
    int32_t m_blocksPerMcu = 0;
    int32_t m_mcuWidth = 8;   // pixels
    int32_t m_mcuHeight = 8;
    int32_t m_mcusPerRow = 0;
    int32_t m_lumaH = 1;      // how many luma samples one chroma sample covers
    int32_t m_lumaV = 1;
    int32_t m_restartInterval = 0;  // MCUs per restart interval, 0 = none
    int32_t m_restartsLeft = 0;
    int32_t m_nextRestart = 0;      // 0..7

    // Output.
    int32_t m_linesLeft = 0;
    int32_t m_linesBuffered = 0;
    int32_t m_rowInMcu = 0;
    uint8_t* m_lines[2] = {};
    GJpegColourTables m_colour;

    alignas(32) int16_t m_coefficients[64] = {};  // natural order
    GJpegInverseDctFn m_inverseDct = GJpegInverseDct;
    const uint8_t* m_zigzag = kJpegZigzag;  // where coefficient k of the zigzag order is kept

    std::unique_ptr<uint8_t[]> m_allocations[kMaxAllocations];
    int32_t m_allocationCount = 0;
};

// Holder of one decoder for callers that decode many pictures in a row.
class GJpegReader {
public:
    // Null when the holder or its decoder cannot be allocated.
    static std::unique_ptr<GJpegReader> Create();

    int32_t Begin(GDataSource* source) { return m_decoder ? m_decoder->Begin(source) : -1; }
    int32_t Decode(const uint8_t** line, int32_t* length)
    {
        return m_decoder ? m_decoder->Decode(line, length) : -1;
    }
    // Null after Close.
    GJpegDecoder* GetDecoder() const { return m_decoder.get(); }
    // Destroys the decoder.
    void Close() { m_decoder.reset(); }

private:
    GJpegReader() = default;
    std::unique_ptr<GJpegDecoder> m_decoder;
};
