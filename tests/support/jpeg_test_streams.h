#pragma once
// Helpers of the JPEG decoder tests: deterministic pictures, libjpeg-turbo as encoder and
// reference decoder, our decoder wrapped for comparisons, and a stream builder that writes
// headers field by field and entropy-codes chosen coefficients (for golden checksums and for
// streams that must be wrong in one exact way).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/jpeg/jpeg_idct.h"

namespace jpeg_test {

using Bytes = std::vector<uint8_t>;

// --- Deterministic pictures

struct Lcg {
    uint32_t seed;
    uint32_t Next() { return ((seed = seed * 1103515245u + 12345u) >> 16) & 0x7FFF; }
};

// R, G, B: smooth gradients, a hard-edged disc, a checker patch and some noise, so that both
// flat and detailed blocks occur.
inline Bytes MakePicture(int w, int h, uint32_t seed)
{
    Bytes rgb(static_cast<size_t>(w) * h * 3);
    Lcg lcg{seed};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            int r = x * 255 / (w > 1 ? w - 1 : 1);
            int g = y * 255 / (h > 1 ? h - 1 : 1);
            int b = (x + y) * 4 & 255;
            const int dx = x - w / 2, dy = y - h / 3;
            if (dx * dx + dy * dy < (w * w + h * h) / 40)
                r = 250, g = 20, b = 40;
            if (x > w * 2 / 3 && y > h / 2 && ((x / 3 + y / 3) & 1))
                r = g = b = 255;
            const int noise = static_cast<int>(lcg.Next() % 21) - 10;
            p[0] = uint8_t(std::clamp(r + noise, 0, 255)), p[1] = uint8_t(std::clamp(g - noise, 0, 255));
            p[2] = uint8_t(std::clamp(b + noise / 2, 0, 255));
        }
    return rgb;
}

inline uint32_t Fnv1a(const Bytes& bytes)
{
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    return hash;
}

// --- libjpeg-turbo, the reference

struct LibjpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

inline void OnLibjpegError(j_common_ptr info)
{
    longjmp(reinterpret_cast<LibjpegError*>(info->err)->jump, 1);
}

struct EncodeOptions {
    int components = 3, lumaH = 2, lumaV = 2, quality = 85;
    bool forceBaseline = true;
    int restartInterval = 0;  // MCUs
    bool progressive = false, arithmetic = false;
};

inline Bytes EncodeWithLibjpeg(const Bytes& rgb, int w, int h, const EncodeOptions& o)
{
    jpeg_compress_struct info{};
    LibjpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnLibjpegError;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Bytes grey(o.components == 1 ? static_cast<size_t>(w) * h : 0);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>((rgb[i * 3] * 3 + rgb[i * 3 + 1] * 5 + rgb[i * 3 + 2] * 2) / 10);
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        ADD_FAILURE() << "libjpeg could not encode";
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(w), info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = o.components;
    info.in_color_space = o.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, o.quality, o.forceBaseline ? TRUE : FALSE);
    if (o.components == 3)
        info.comp_info[0].h_samp_factor = o.lumaH, info.comp_info[0].v_samp_factor = o.lumaV;
    info.restart_interval = static_cast<unsigned int>(o.restartInterval);
    info.arith_code = o.arithmetic ? TRUE : FALSE;
    if (o.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const int stride = w * o.components;
    while (info.next_scanline < info.image_height) {
        const uint8_t* row = (o.components == 1 ? grey.data() : rgb.data()) +
                             static_cast<size_t>(info.next_scanline) * stride;
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info), jpeg_destroy_compress(&info);
    Bytes result(out, out + size);
    std::free(out);
    return result;
}

// Decodes to R, G, B (or grey) with box upsampling and the accurate integer IDCT, the
// choices our decoder makes.
inline bool DecodeWithLibjpeg(const Bytes& jpeg, Bytes& pixels, int& components)
{
    jpeg_decompress_struct info{};
    LibjpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnLibjpegError;
    if (setjmp(error.jump))
        return jpeg_destroy_decompress(&info), false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    info.do_fancy_upsampling = FALSE;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    components = info.output_components;
    const size_t stride = static_cast<size_t>(info.output_width) * components;
    pixels.assign(stride * info.output_height, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {pixels.data() + info.output_scanline * stride};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info), jpeg_destroy_decompress(&info);
    return true;
}

// --- Ours

struct Ours {
    int32_t begin = -1, result = -1, error = 0, width = 0, height = 0, components = 0;
    Bytes bgr;
};

inline Ours DecodeBgr(const Bytes& jpeg)
{
    Ours ours;
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    ours.begin = decoder->Begin(&source);
    ours.width = decoder->GetWidth(), ours.height = decoder->GetHeight(), ours.components = decoder->GetComponentCount();
    if (ours.begin == 0) {
        ours.bgr.assign(static_cast<size_t>(ours.width) * ours.height * 3, 0xA5);
        ours.result = decoder->DecodeBgr(ours.bgr.data(), ours.width * 3);
    }
    ours.error = decoder->GetError();
    return ours;
}

// Every line through the line interface; returns the count of 0 results before the end.
inline int32_t DecodeLines(const Bytes& jpeg, Bytes& lines, int32_t& last, GJpegDecoder* decoder = nullptr)
{
    std::unique_ptr<GJpegDecoder> own = decoder ? nullptr : GJpegDecoder::Create();
    decoder = decoder ? decoder : own.get();
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    lines.clear();
    last = decoder->Begin(&source);
    if (last != 0)
        return 0;
    int32_t count = 0;
    const uint8_t* line = nullptr;
    int32_t length = 0;
    while ((last = decoder->Decode(&line, &length)) == 0) {
        EXPECT_EQ(length, decoder->GetWidth() * decoder->GetBytesPerPixel());
        lines.insert(lines.end(), line, line + length);
        if (++count > decoder->GetHeight() + 1)
            break;
    }
    return count;
}

// Compares our B, G, R with libjpeg's R, G, B (or grey). Our IDCT runs row first, libjpeg's column first; the
// rounding between the passes differs, so a sample may differ by 1 (greyscale), and colour
// conversion turns a 1 in Y and a 1 in Cb or Cr into up to 3 in blue or red. Bit-exactness
// is checked on transposed streams below.
inline void ExpectCloseToLibjpeg(const Bytes& jpeg, const std::string& label)
{
    Bytes reference;
    int components = 0;
    ASSERT_TRUE(DecodeWithLibjpeg(jpeg, reference, components)) << label;
    const Ours ours = DecodeBgr(jpeg);
    ASSERT_TRUE(ours.begin == 0 && ours.result == 0) << label << " error " << ours.error;
    const size_t pixels = static_cast<size_t>(ours.width) * ours.height;
    ASSERT_EQ(reference.size(), pixels * components) << label;
    int worst = 0;
    size_t beyondTwo = 0;
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
            const int difference = std::abs(ours.bgr[i * 3 + 2 - c] - reference[components == 1 ? i : i * 3 + c]);
            worst = std::max(worst, difference);
            beyondTwo += difference > 2;
        }
    EXPECT_LE(worst, components == 1 ? 1 : 3) << label;
    EXPECT_LE(beyondTwo, pixels / 1000) << label;
}

// --- Streams built here: headers written field by field, entropy data from chosen coefficients

struct HuffmanDefinition {
    uint8_t counts[16];
    Bytes symbols;
};

// DC: the 12 sizes 0..11 with the usual length profile of luminance tables.
inline HuffmanDefinition DcTable()
{
    HuffmanDefinition table{{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {}};
    for (uint8_t s = 0; s < 12; ++s)
        table.symbols.push_back(s);
    return table;
}

// AC: every run/size pair with sizes 1..10, EOB and ZRL (162 symbols) on the usual length
// profile, codes up to 16 bits long; shorter codes go to smaller runs and sizes.
inline HuffmanDefinition AcTable()
{
    HuffmanDefinition table{{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 125}, {0x01, 0x00}};
    for (int cost = 1; cost <= 26; ++cost)
        for (int run = 0; run < 16; ++run)
            for (int size = 1; size <= 10; ++size)
                if (run + size == cost && !(run == 0 && size == 1))
                    table.symbols.push_back(static_cast<uint8_t>(run << 4 | size));
    table.symbols.push_back(0xF0);
    return table;
}

struct BuiltComponent {
    uint8_t id, h, v, quantTable;
};

class StreamBuilder {
public:
    Bytes bytes;

    void Marker(uint8_t m) { Put({0xFF, m}); }
    void Put(std::initializer_list<int> list) { bytes.insert(bytes.end(), list.begin(), list.end()); }
    void Put16(int v) { Put({v >> 8 & 0xFF, v & 0xFF}); }
    void Segment(uint8_t marker, const Bytes& body)
    {
        Marker(marker);
        Put16(static_cast<int>(body.size()) + 2);
        bytes.insert(bytes.end(), body.begin(), body.end());
    }
    void Dqt(int number, int value, bool wide = false)
    {
        Bytes body{static_cast<uint8_t>((wide ? 0x10 : 0) | number)};
        for (int k = 0; k < 64; ++k) {
            const int q = value + k / 4;
            if (wide)
                body.push_back(static_cast<uint8_t>(q >> 8));
            body.push_back(static_cast<uint8_t>(q));
        }
        Segment(0xDB, body);
    }
    void Dht(int classAndNumber, const HuffmanDefinition& table)
    {
        Bytes body{static_cast<uint8_t>(classAndNumber)};
        body.insert(body.end(), table.counts, table.counts + 16);
        body.insert(body.end(), table.symbols.begin(), table.symbols.end());
        Segment(0xC4, body);
        // Canonical codes, to encode with.
        Code* codes = (classAndNumber & 0x10) ? m_ac[classAndNumber & 3] : m_dc[classAndNumber & 3];
        uint32_t code = 0;
        size_t index = 0;
        for (int length = 1; length <= 16; ++length, code <<= 1)
            for (int i = 0; i < table.counts[length - 1]; ++i, ++code)
                codes[table.symbols[index++]] = Code{code, length};
    }
    void Sof(uint8_t marker, int w, int h, const std::vector<BuiltComponent>& components)
    {
        Bytes body{8, uint8_t(h >> 8), uint8_t(h), uint8_t(w >> 8), uint8_t(w), uint8_t(components.size())};
        for (const auto& c : components)
            body.insert(body.end(), {c.id, static_cast<uint8_t>(c.h << 4 | c.v), c.quantTable});
        Segment(marker, body);
    }
    // (component id, tables byte) pairs.
    void Sos(const std::vector<std::pair<int, int>>& components)
    {
        Bytes body{static_cast<uint8_t>(components.size())};
        for (const auto& c : components)
            body.insert(body.end(), {static_cast<uint8_t>(c.first), static_cast<uint8_t>(c.second)});
        body.insert(body.end(), {0, 63, 0});
        Segment(0xDA, body);
    }
    // Entropy coding of one block, coefficients in zigzag order (zz[0] the DC difference).
    void Block(int table, const int* zz)
    {
        PutValue(m_dc[table], zz[0]);
        int run = 0;
        for (int k = 1; k < 64; ++k) {
            if (zz[k] == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16)
                PutCode(m_ac[table][0xF0]);
            PutValue(m_ac[table], zz[k], run);
            run = 0;
        }
        if (run > 0)
            PutCode(m_ac[table][0x00]);
    }
    // Single symbols with their value bits, for streams that must be wrong.
    void RawDc(int table, int value) { PutValue(m_dc[table], value); }
    void RawAc(int table, int run, int value) { PutValue(m_ac[table], value, run); }
    // Pads the last byte with 1-bits, then an RSTn marker.
    void Restart(int n) { Align(), Marker(static_cast<uint8_t>(0xD0 + (n & 7))); }
    void Align() { PutBits((1u << (8 - m_count)) - 1, m_count ? 8 - m_count : 0); }
    void End() { Align(), Marker(0xD9); }

private:
    struct Code {
        uint32_t code = 0;
        int length = 0;
    };
    void PutBits(uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            m_byte = static_cast<uint8_t>(m_byte << 1 | (value >> i & 1));
            if (++m_count < 8)
                continue;
            bytes.push_back(m_byte);
            if (m_byte == 0xFF)
                bytes.push_back(0x00);
            m_byte = 0, m_count = 0;
        }
    }
    void PutCode(const Code& c)
    {
        EXPECT_GT(c.length, 0) << "symbol without a code";
        PutBits(c.code, c.length);
    }
    void PutValue(const Code* codes, int value, int run = 0)
    {
        const int size = std::bit_width(static_cast<unsigned>(std::abs(value)));
        PutCode(codes[run << 4 | size]);
        if (size > 0)
            PutBits(static_cast<uint32_t>(value < 0 ? value + (1 << size) - 1 : value), size);
    }

    Code m_dc[4][256] = {};
    Code m_ac[4][256] = {};
    uint8_t m_byte = 0;
    int m_count = 0;
};

// A picture built from chosen coefficients: per component a grid of blocks (padded to whole
// MCUs) with absolute quantised DC values; the stream codes DC differences in MCU order.
struct BuiltPicture {
    int w = 16, h = 16, lumaH = 1, lumaV = 1, components = 3, restartInterval = 0;
    uint32_t seed = 1;
    int detail = 24;
};

struct Grid {
    int blocksAcross = 0, blocksDown = 0;
    std::vector<std::array<int, 64>> blocks;  // natural order
};

// Quantisation factors in natural order; table 1 is coarser.
inline int QuantFactor(int table, int row, int column) { return 2 + table + row + 2 * column; }

// The same picture turned about its main diagonal: size, sampling, block grid, every block
// and the quantisation tables transposed. Row-first and column-first IDCTs swap places.
inline Bytes BuildStream(const BuiltPicture& p, bool transposed)
{
    const int components = p.components;
    const int h0 = components == 1 ? 1 : p.lumaH;
    const int v0 = components == 1 ? 1 : p.lumaV;
    const int mcusAcross = (p.w + 8 * h0 - 1) / (8 * h0);
    const int mcusDown = (p.h + 8 * v0 - 1) / (8 * v0);

    // Coefficients, generated in the original orientation.
    Lcg lcg{p.seed};
    std::vector<Grid> grids(components);
    for (int c = 0; c < components; ++c) {
        Grid& g = grids[c];
        g.blocksAcross = mcusAcross * (c == 0 ? h0 : 1);
        g.blocksDown = mcusDown * (c == 0 ? v0 : 1);
        g.blocks.resize(static_cast<size_t>(g.blocksAcross) * g.blocksDown);
        int dc = 0;
        for (auto& block : g.blocks) {
            dc = std::max(-250, std::min(250, dc + static_cast<int>(lcg.Next() % 61) - 30));
            block.fill(0);
            block[0] = dc;
            const int detail = c == 0 ? p.detail : p.detail / 2;
            for (int k = 1; k < 64; ++k) {
                const int range = 1 + 200 / (k + 2);
                if (static_cast<int>(lcg.Next() % 64) < detail * (64 - k) / 64)
                    block[kJpegZigzag[k]] = static_cast<int>(lcg.Next() % (2 * range + 1)) - range;
            }
            if (lcg.Next() % 5 == 0)
                block[63] = -1;  // a long zero run, coded with ZRL
        }
    }

    int w = p.w, h = p.h, lumaH = h0, lumaV = v0, across = mcusAcross, down = mcusDown;
    if (transposed) {
        std::swap(w, h), std::swap(lumaH, lumaV), std::swap(across, down);
        for (Grid& g : grids) {
            Grid t{g.blocksDown, g.blocksAcross, std::vector<std::array<int, 64>>(g.blocks.size())};
            for (int y = 0; y < g.blocksDown; ++y)
                for (int x = 0; x < g.blocksAcross; ++x)
                    for (int n = 0; n < 64; ++n)
                        t.blocks[static_cast<size_t>(x) * t.blocksAcross + y][(n % 8) * 8 + n / 8] =
                            g.blocks[static_cast<size_t>(y) * g.blocksAcross + x][n];
            g = std::move(t);
        }
    }

    StreamBuilder s;
    s.Marker(0xD8);
    for (int table = 0; table < 2; ++table) {
        Bytes body{static_cast<uint8_t>(table)};
        for (int k = 0; k < 64; ++k) {
            const int row = kJpegZigzag[k] / 8, column = kJpegZigzag[k] % 8;
            body.push_back(uint8_t(transposed ? QuantFactor(table, column, row) : QuantFactor(table, row, column)));
        }
        s.Segment(0xDB, body);
    }
    for (int table : {0x00, 0x01})
        s.Dht(table, DcTable()), s.Dht(0x10 | table, AcTable());
    if (p.restartInterval)
        s.Segment(0xDD, {static_cast<uint8_t>(p.restartInterval >> 8), static_cast<uint8_t>(p.restartInterval)});
    if (components == 1) {
        s.Sof(0xC0, w, h, {{1, 1, 1, 0}});
        s.Sos({{1, 0x00}});
    } else {
        s.Sof(0xC0, w, h, {{1, static_cast<uint8_t>(lumaH), static_cast<uint8_t>(lumaV), 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
        s.Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
    }

    int predictions[3] = {};
    int zz[64];
    for (int m = 0; m < across * down; ++m) {
        if (p.restartInterval && m > 0 && m % p.restartInterval == 0) {
            s.Restart(m / p.restartInterval - 1);
            predictions[0] = predictions[1] = predictions[2] = 0;
        }
        const int mx = m % across, my = m / across;
        for (int c = 0; c < components; ++c) {
            const Grid& g = grids[c];
            const int bh = c == 0 ? lumaH : 1, bv = c == 0 ? lumaV : 1;
            for (int by = 0; by < bv; ++by)
                for (int bx = 0; bx < bh; ++bx) {
                    const auto& block = g.blocks[static_cast<size_t>(my * bv + by) * g.blocksAcross + mx * bh + bx];
                    for (int k = 0; k < 64; ++k)
                        zz[k] = block[kJpegZigzag[k]];
                    const int dc = zz[0];
                    zz[0] = dc - predictions[c];
                    predictions[c] = dc;
                    s.Block(c == 0 ? 0 : 1, zz);
                }
        }
    }
    s.End();
    return s.bytes;
}

inline int32_t ErrorOf(const Bytes& jpeg) { return DecodeBgr(jpeg).error; }

// Offset of the first FF xx marker pair, or the size when there is none.
inline size_t FindMarker(const Bytes& jpeg, uint8_t marker, size_t from = 0)
{
    for (size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker)
            return i;
    return jpeg.size();
}

// A greyscale 8x8 stream up to its SOS; the caller appends the entropy data.
inline StreamBuilder GreyHeader(int quant = 1)
{
    StreamBuilder s;
    s.Marker(0xD8);
    s.Dqt(0, quant);
    s.Dht(0x00, DcTable()), s.Dht(0x10, AcTable());
    s.Sof(0xC0, 8, 8, {{1, 1, 1, 0}});
    s.Sos({{1, 0x00}});
    return s;
}

} // namespace jpeg_test
