// The JPEG decoder against libjpeg-turbo on pictures encoded here, against golden checksums on
// streams built here block by block, and on every header and data fault it must refuse or
// survive.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "foundation/bitmap.h"
#include "graphics/data_source.h"
#include "graphics/jpeg_colour.h"
#include "graphics/jpeg_decoder.h"
#include "graphics/jpeg_huffman.h"
#include "graphics/jpeg_idct.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------
// Deterministic pictures

struct Lcg {
    uint32_t seed;
    uint32_t Next()
    {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    }
};

// R, G, B: smooth gradients, a hard-edged disc, a checker patch and some noise, so that both
// flat and detailed blocks occur.
Bytes MakePicture(int w, int h, uint32_t seed)
{
    Bytes rgb(static_cast<size_t>(w) * h * 3);
    Lcg lcg{seed};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            int r = x * 255 / (w > 1 ? w - 1 : 1);
            int g = y * 255 / (h > 1 ? h - 1 : 1);
            int b = (x + y) * 4 & 255;
            const int dx = x - w / 2;
            const int dy = y - h / 3;
            if (dx * dx + dy * dy < (w * w + h * h) / 40) {
                r = 250;
                g = 20;
                b = 40;
            }
            if (x > w * 2 / 3 && y > h / 2 && ((x / 3 + y / 3) & 1))
                r = g = b = 255;
            const int noise = static_cast<int>(lcg.Next() % 21) - 10;
            p[0] = static_cast<uint8_t>(std::min(255, std::max(0, r + noise)));
            p[1] = static_cast<uint8_t>(std::min(255, std::max(0, g - noise)));
            p[2] = static_cast<uint8_t>(std::min(255, std::max(0, b + noise / 2)));
        }
    }
    return rgb;
}

uint32_t Fnv1a(const Bytes& bytes)
{
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    return hash;
}

// ---------------------------------------------------------------------------------------
// libjpeg-turbo, the reference

struct LibjpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void OnLibjpegError(j_common_ptr info)
{
    longjmp(reinterpret_cast<LibjpegError*>(info->err)->jump, 1);
}

struct EncodeOptions {
    int components = 3;
    int lumaH = 2;
    int lumaV = 2;
    int quality = 85;
    bool forceBaseline = true;
    int restartInterval = 0;  // MCUs
    bool progressive = false;
    bool arithmetic = false;
};

Bytes EncodeWithLibjpeg(const Bytes& rgb, int w, int h, const EncodeOptions& o)
{
    jpeg_compress_struct info{};
    LibjpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnLibjpegError;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Bytes grey;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        ADD_FAILURE() << "libjpeg could not encode";
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = o.components;
    info.in_color_space = o.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, o.quality, o.forceBaseline ? TRUE : FALSE);
    if (o.components == 3) {
        info.comp_info[0].h_samp_factor = o.lumaH;
        info.comp_info[0].v_samp_factor = o.lumaV;
    }
    info.restart_interval = static_cast<unsigned int>(o.restartInterval);
    info.arith_code = o.arithmetic ? TRUE : FALSE;
    if (o.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (o.components == 1) {
        grey.resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = static_cast<uint8_t>((rgb[i * 3] * 3 + rgb[i * 3 + 1] * 5 + rgb[i * 3 + 2] * 2) / 10);
    }
    const int stride = w * o.components;
    while (info.next_scanline < info.image_height) {
        const uint8_t* row = (o.components == 1 ? grey.data() : rgb.data()) +
                             static_cast<size_t>(info.next_scanline) * stride;
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes result(out, out + size);
    std::free(out);
    return result;
}

// Decodes to R, G, B (or grey) with box upsampling and the accurate integer IDCT, the
// choices our decoder makes.
bool DecodeWithLibjpeg(const Bytes& jpeg, Bytes& pixels, int& components)
{
    jpeg_decompress_struct info{};
    LibjpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnLibjpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
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
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// ---------------------------------------------------------------------------------------
// Ours

struct Ours {
    int32_t begin = -1;
    int32_t result = -1;
    int32_t error = 0;
    int32_t width = 0;
    int32_t height = 0;
    Bytes bgr;
};

Ours DecodeBgr(const Bytes& jpeg)
{
    Ours ours;
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    ours.begin = decoder->Begin(&source);
    ours.width = decoder->GetWidth();
    ours.height = decoder->GetHeight();
    if (ours.begin == 0) {
        ours.bgr.assign(static_cast<size_t>(ours.width) * ours.height * 3, 0xA5);
        ours.result = decoder->DecodeBgr(ours.bgr.data(), ours.width * 3);
    }
    ours.error = decoder->GetError();
    return ours;
}

// Every line through the line interface; returns the count of 0 results before the end.
int32_t DecodeLines(const Bytes& jpeg, Bytes& lines, int32_t& last, GJpegDecoder* decoder = nullptr)
{
    std::unique_ptr<GJpegDecoder> own;
    if (!decoder) {
        own = GJpegDecoder::Create();
        decoder = own.get();
    }
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

void SavePpm(const std::string& name, const Bytes& rgb, int w, int h)
{
    if (FILE* f = std::fopen(name.c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", w, h);
        std::fwrite(rgb.data(), 1, rgb.size(), f);
        std::fclose(f);
    }
}

// Compares our B, G, R with libjpeg's R, G, B (or grey); on a mismatch both pictures are saved
// as PPM files in the working folder. Our IDCT runs row first, libjpeg's column first; the
// rounding between the passes differs, so a sample may differ by 1 (greyscale), and colour
// conversion turns a 1 in Y and a 1 in Cb or Cr into up to 3 in blue or red. Bit-exactness
// is checked on transposed streams below.
void ExpectCloseToLibjpeg(const Bytes& jpeg, const std::string& label)
{
    Bytes reference;
    int components = 0;
    ASSERT_TRUE(DecodeWithLibjpeg(jpeg, reference, components)) << label;
    const Ours ours = DecodeBgr(jpeg);
    ASSERT_EQ(ours.begin, 0) << label << " error " << ours.error;
    ASSERT_EQ(ours.result, 0) << label << " error " << ours.error;
    const size_t pixels = static_cast<size_t>(ours.width) * ours.height;
    ASSERT_EQ(reference.size(), pixels * components) << label;
    Bytes ourRgb(pixels * 3);
    Bytes theirRgb(pixels * 3);
    const int tolerance = components == 1 ? 1 : 3;
    int worst = 0;
    size_t beyondTwo = 0;
    for (size_t i = 0; i < pixels; ++i) {
        for (int c = 0; c < 3; ++c) {
            ourRgb[i * 3 + c] = ours.bgr[i * 3 + 2 - c];
            theirRgb[i * 3 + c] = components == 1 ? reference[i] : reference[i * 3 + c];
            const int difference = std::abs(ourRgb[i * 3 + c] - theirRgb[i * 3 + c]);
            worst = std::max(worst, difference);
            beyondTwo += difference > 2;
        }
    }
    EXPECT_LE(worst, tolerance) << label;
    EXPECT_LE(beyondTwo, pixels / 1000) << label;
    if (worst > tolerance) {
        SavePpm("jpeg_" + label + "_ours.ppm", ourRgb, ours.width, ours.height);
        SavePpm("jpeg_" + label + "_libjpeg.ppm", theirRgb, ours.width, ours.height);
    }
}

// ---------------------------------------------------------------------------------------
// Streams built here: headers written field by field, entropy data from chosen coefficients

struct HuffmanSpec {
    uint8_t counts[16];
    Bytes symbols;
};

// DC: the 12 sizes 0..11 with the usual length profile of luminance tables.
HuffmanSpec DcSpec()
{
    HuffmanSpec spec{{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {}};
    for (uint8_t s = 0; s < 12; ++s)
        spec.symbols.push_back(s);
    return spec;
}

// AC: every run/size pair with sizes 1..10, EOB and ZRL (162 symbols) on the usual length
// profile, codes up to 16 bits long; shorter codes go to smaller runs and sizes.
HuffmanSpec AcSpec()
{
    HuffmanSpec spec{{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 125}, {}};
    spec.symbols.push_back(0x01);
    spec.symbols.push_back(0x00);
    for (int cost = 1; cost <= 26; ++cost)
        for (int run = 0; run < 16; ++run)
            for (int size = 1; size <= 10; ++size)
                if (run + size == cost && !(run == 0 && size == 1))
                    spec.symbols.push_back(static_cast<uint8_t>(run << 4 | size));
    spec.symbols.push_back(0xF0);
    return spec;
}

struct BuiltComponent {
    uint8_t id;
    uint8_t h;
    uint8_t v;
    uint8_t quantTable;
};

class StreamBuilder {
public:
    Bytes bytes;

    void Marker(uint8_t m) { Put({0xFF, m}); }
    void Put(std::initializer_list<int> list)
    {
        for (int b : list)
            bytes.push_back(static_cast<uint8_t>(b));
    }
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
    void Dht(int classAndNumber, const HuffmanSpec& spec)
    {
        Bytes body{static_cast<uint8_t>(classAndNumber)};
        body.insert(body.end(), spec.counts, spec.counts + 16);
        body.insert(body.end(), spec.symbols.begin(), spec.symbols.end());
        Segment(0xC4, body);
        // Canonical codes, to encode with.
        Code* codes = (classAndNumber & 0x10) ? m_ac[classAndNumber & 3] : m_dc[classAndNumber & 3];
        uint32_t code = 0;
        size_t index = 0;
        for (int length = 1; length <= 16; ++length, code <<= 1)
            for (int i = 0; i < spec.counts[length - 1]; ++i, ++code)
                codes[spec.symbols[index++]] = Code{code, length};
    }
    void Sof(uint8_t marker, int w, int h, const std::vector<BuiltComponent>& components)
    {
        Bytes body{8, static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h),
                   static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w),
                   static_cast<uint8_t>(components.size())};
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
    // Standard header for a picture: one table set for luma, one for chroma.
    void Header(int w, int h, int lumaH, int lumaV, int components = 3, int restartInterval = 0)
    {
        Marker(0xD8);
        Dqt(0, 2);
        Dqt(1, 3);
        Dht(0x00, DcSpec());
        Dht(0x10, AcSpec());
        Dht(0x01, DcSpec());
        Dht(0x11, AcSpec());
        if (restartInterval)
            Segment(0xDD, {static_cast<uint8_t>(restartInterval >> 8), static_cast<uint8_t>(restartInterval)});
        if (components == 1) {
            Sof(0xC0, w, h, {{1, 1, 1, 0}});
            Sos({{1, 0x00}});
        } else {
            Sof(0xC0, w, h, {{1, static_cast<uint8_t>(lumaH), static_cast<uint8_t>(lumaV), 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
            Sos({{1, 0x00}, {2, 0x11}, {3, 0x11}});
        }
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
            while (run > 15) {
                PutCode(m_ac[table][0xF0]);
                run -= 16;
            }
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
    void Restart(int n)
    {
        Align();
        Marker(static_cast<uint8_t>(0xD0 + (n & 7)));
    }
    void Align()
    {
        if (m_count > 0)
            PutBits((1u << (8 - m_count)) - 1, 8 - m_count);
    }
    void End()
    {
        Align();
        Marker(0xD9);
    }

private:
    struct Code {
        uint32_t code = 0;
        int length = 0;
    };
    void PutBits(uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i) {
            m_byte = static_cast<uint8_t>(m_byte << 1 | (value >> i & 1));
            if (++m_count == 8) {
                bytes.push_back(m_byte);
                if (m_byte == 0xFF)
                    bytes.push_back(0x00);
                m_byte = 0;
                m_count = 0;
            }
        }
    }
    void PutCode(const Code& c)
    {
        EXPECT_GT(c.length, 0) << "symbol without a code";
        PutBits(c.code, c.length);
    }
    void PutValue(const Code* codes, int value, int run = 0)
    {
        int size = 0;
        for (int magnitude = std::abs(value); magnitude > 0; magnitude >>= 1)
            ++size;
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
    int w = 16;
    int h = 16;
    int lumaH = 1;
    int lumaV = 1;
    int components = 3;
    int restartInterval = 0;
    uint32_t seed = 1;
    int detail = 24;
};

struct Grid {
    int blocksAcross = 0;
    int blocksDown = 0;
    std::vector<std::array<int, 64>> blocks;  // natural order
};

// Quantisation factors in natural order; table 1 is coarser.
int QuantFactor(int table, int row, int column)
{
    return 2 + table + row + 2 * column;
}

// The same picture turned about its main diagonal: size, sampling, block grid, every block
// and the quantisation tables transposed. Row-first and column-first IDCTs swap places.
Bytes BuildStream(const BuiltPicture& p, bool transposed)
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
                if (static_cast<int>(lcg.Next() % 64) < detail * (64 - k) / 64) {
                    const int range = 1 + 200 / (k + 2);
                    block[kJpegZigzag[k]] = static_cast<int>(lcg.Next() % (2 * range + 1)) - range;
                }
            }
            if (lcg.Next() % 5 == 0)
                block[63] = -1;  // a long zero run, coded with ZRL
        }
    }

    int w = p.w, h = p.h, lumaH = h0, lumaV = v0, across = mcusAcross, down = mcusDown;
    if (transposed) {
        std::swap(w, h);
        std::swap(lumaH, lumaV);
        std::swap(across, down);
        for (Grid& g : grids) {
            Grid t;
            t.blocksAcross = g.blocksDown;
            t.blocksDown = g.blocksAcross;
            t.blocks.resize(g.blocks.size());
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
            const int row = kJpegZigzag[k] / 8;
            const int column = kJpegZigzag[k] % 8;
            body.push_back(static_cast<uint8_t>(transposed ? QuantFactor(table, column, row)
                                                           : QuantFactor(table, row, column)));
        }
        s.Segment(0xDB, body);
    }
    s.Dht(0x00, DcSpec());
    s.Dht(0x10, AcSpec());
    s.Dht(0x01, DcSpec());
    s.Dht(0x11, AcSpec());
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
        const int mx = m % across;
        const int my = m / across;
        for (int c = 0; c < components; ++c) {
            const Grid& g = grids[c];
            const int bh = c == 0 ? lumaH : 1;
            const int bv = c == 0 ? lumaV : 1;
            for (int by = 0; by < bv; ++by) {
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
    }
    s.End();
    return s.bytes;
}

int32_t ErrorOf(const Bytes& jpeg)
{
    return DecodeBgr(jpeg).error;
}

// Offset of the first FF xx marker pair, or the size when there is none.
size_t FindMarker(const Bytes& jpeg, uint8_t marker, size_t from = 0)
{
    for (size_t i = from; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker)
            return i;
    return jpeg.size();
}

// A greyscale 8x8 stream up to its SOS; the caller appends the entropy data.
StreamBuilder GreyHeader(int quant = 1)
{
    StreamBuilder s;
    s.Marker(0xD8);
    s.Dqt(0, quant);
    s.Dht(0x00, DcSpec());
    s.Dht(0x10, AcSpec());
    s.Sof(0xC0, 8, 8, {{1, 1, 1, 0}});
    s.Sos({{1, 0x00}});
    return s;
}

// Hands out a few bytes per call, as a slow file would.
class TricklingSource : public GDataSource {
public:
    TricklingSource(const Bytes& data, uint32_t seed) : m_data(data), m_lcg{seed} {}
    int32_t Read(uint8_t* buffer, int32_t size, bool* end) override
    {
        int32_t count = static_cast<int32_t>(1 + m_lcg.Next() % 7);
        count = std::min({count, size, static_cast<int32_t>(m_data.size() - m_position)});
        std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(count));
        m_position += static_cast<size_t>(count);
        *end = m_position == m_data.size();
        return count;
    }

private:
    const Bytes& m_data;
    Lcg m_lcg;
    size_t m_position = 0;
};

// Delivers the first bytes, then fails or stalls.
class BrokenSource : public GDataSource {
public:
    BrokenSource(const Bytes& data, size_t good, int32_t after) : m_data(data), m_good(good), m_after(after) {}
    int32_t Read(uint8_t* buffer, int32_t size, bool* end) override
    {
        *end = false;
        if (m_position >= m_good)
            return m_after;
        const int32_t count = std::min(size, static_cast<int32_t>(m_good - m_position));
        std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(count));
        m_position += static_cast<size_t>(count);
        return count;
    }

private:
    const Bytes& m_data;
    size_t m_good;
    int32_t m_after;
    size_t m_position = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Data source

TEST(JpegDataSource, MemorySourceCopiesInPiecesAndReportsTheEnd)
{
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    GMemoryDataSource source;
    source.Init(5, data);
    uint8_t buffer[8] = {};
    bool end = true;
    EXPECT_EQ(source.Read(buffer, 3, &end), 3);
    EXPECT_FALSE(end);
    EXPECT_EQ(source.Read(buffer + 3, 8, &end), 2);
    EXPECT_TRUE(end);
    EXPECT_EQ(0, std::memcmp(buffer, data, 5));
    EXPECT_EQ(source.Read(buffer, 8, &end), 0);
    EXPECT_TRUE(end);

    GMemoryDataSource empty;
    empty.Init(100, nullptr);
    end = false;
    EXPECT_EQ(empty.Read(buffer, 8, &end), 0);
    EXPECT_TRUE(end);
    EXPECT_EQ(source.Read(buffer, -4, &end), 0);
}

// ---------------------------------------------------------------------------------------
// Against libjpeg-turbo

TEST(JpegDecoder, MatchesLibjpegOnEverySamplingAndOddSizes)
{
    struct Case {
        const char* name;
        int components, lumaH, lumaV, w, h;
    };
    const Case cases[] = {
        {"444_17x17", 3, 1, 1, 17, 17},   {"422_17x17", 3, 2, 1, 17, 17},
        {"420_17x17", 3, 2, 2, 17, 17},   {"12_17x17", 3, 1, 2, 17, 17},
        {"grey_17x17", 1, 1, 1, 17, 17},  {"420_1x1", 3, 2, 2, 1, 1},
        {"422_33x9", 3, 2, 1, 33, 9},     {"12_9x33", 3, 1, 2, 9, 33},
        {"420_64x64", 3, 2, 2, 64, 64},   {"444_100x75", 3, 1, 1, 100, 75},
        {"420_301x199", 3, 2, 2, 301, 199}, {"grey_130x7", 1, 1, 1, 130, 7},
    };
    for (const Case& c : cases) {
        EncodeOptions options;
        options.components = c.components;
        options.lumaH = c.lumaH;
        options.lumaV = c.lumaV;
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(c.w, c.h, 7), c.w, c.h, options);
        ExpectCloseToLibjpeg(jpeg, c.name);
    }
}

TEST(JpegDecoder, MatchesLibjpegWithRestartsQualitiesAndWideTables)
{
    const Bytes rgb = MakePicture(161, 97, 3);
    EncodeOptions options;
    for (int interval : {1, 3, 7, 50}) {
        options.restartInterval = interval;
        ExpectCloseToLibjpeg(EncodeWithLibjpeg(rgb, 161, 97, options), "restart" + std::to_string(interval));
    }
    options.restartInterval = 0;
    for (int quality : {10, 50, 95, 100}) {
        options.quality = quality;
        ExpectCloseToLibjpeg(EncodeWithLibjpeg(rgb, 161, 97, options), "quality" + std::to_string(quality));
    }
    // Quality 2 without the baseline limit needs 16-bit quantisation tables (an SOF1 frame).
    options.quality = 2;
    options.forceBaseline = false;
    const Bytes wide = EncodeWithLibjpeg(rgb, 161, 97, options);
    bool hasWideTable = false;
    for (size_t i = 0; i + 4 < wide.size(); ++i)
        if (wide[i] == 0xFF && wide[i + 1] == 0xDB && (wide[i + 4] >> 4) == 1)
            hasWideTable = true;
    EXPECT_TRUE(hasWideTable);
    ExpectCloseToLibjpeg(wide, "wide_tables");
}

// libjpeg runs its IDCT column first, ours row first: on a transposed stream libjpeg does
// exactly our arithmetic, so the pictures must agree bit for bit (box upsampling and colour
// conversion are the same too).
TEST(JpegDecoder, BuiltStreamsEqualLibjpegOnTheTransposedStream)
{
    struct Case {
        const char* name;
        BuiltPicture picture;
        uint32_t golden;  // FNV-1a of our B, G, R output
    };
    const Case cases[] = {
        {"built_420", {48, 40, 2, 2, 3, 0, 11, 24}, 0xc920f81au},
        {"built_444_restart", {40, 24, 1, 1, 3, 2, 12, 30}, 0x3e0bf0du},
        {"built_422_odd", {33, 17, 2, 1, 3, 0, 13, 24}, 0x96caa8e8u},
        {"built_12_restart", {17, 33, 1, 2, 3, 5, 14, 40}, 0x2bbda71eu},
        {"built_grey", {23, 19, 1, 1, 1, 3, 15, 50}, 0x374712b7u},
        {"built_420_flat", {64, 48, 2, 2, 3, 4, 16, 2}, 0x47d93b59u},
    };
    for (const Case& c : cases) {
        const Bytes jpeg = BuildStream(c.picture, false);
        const Ours ours = DecodeBgr(jpeg);
        ASSERT_EQ(ours.result, 0) << c.name << " error " << ours.error;
        EXPECT_EQ(Fnv1a(ours.bgr), c.golden) << c.name << std::hex << " 0x" << Fnv1a(ours.bgr);

        Bytes reference;
        int components = 0;
        ASSERT_TRUE(DecodeWithLibjpeg(BuildStream(c.picture, true), reference, components)) << c.name;
        const int w = ours.width;
        const int h = ours.height;
        ASSERT_EQ(reference.size(), static_cast<size_t>(w) * h * components);
        int differing = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* mine = &ours.bgr[(static_cast<size_t>(y) * w + x) * 3];
                const uint8_t* theirs = &reference[(static_cast<size_t>(x) * h + y) * components];
                for (int ch = 0; ch < 3; ++ch)
                    differing += mine[2 - ch] != theirs[components == 1 ? 0 : ch];
            }
        }
        EXPECT_EQ(differing, 0) << c.name;
    }
}

// ---------------------------------------------------------------------------------------
// The line interface and the ways of delivering a picture

TEST(JpegDecoder, LinesOfA17x17Picture)
{
    EncodeOptions options;
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(17, 17, 5), 17, 17, options);
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    ASSERT_EQ(decoder->Begin(&source), 0);
    EXPECT_EQ(decoder->GetWidth(), 17);
    EXPECT_EQ(decoder->GetHeight(), 17);
    EXPECT_EQ(decoder->GetBytesPerPixel(), 4);
    const uint8_t* line = nullptr;
    int32_t length = 0;
    for (int i = 0; i < 17; ++i) {
        ASSERT_EQ(decoder->Decode(&line, &length), 0) << i;
        EXPECT_EQ(length, 68);
    }
    EXPECT_EQ(decoder->Decode(&line, &length), 1);
    EXPECT_EQ(decoder->Decode(&line, &length), 1);
}

TEST(JpegDecoder, LinesEqualTheBgrPictureForEverySampling)
{
    const int sampling[][2] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}};
    for (const auto& f : sampling) {
        BuiltPicture picture{37, 29, f[0], f[1], 3, 3, 21, 30};
        const Bytes jpeg = BuildStream(picture, false);
        const Ours ours = DecodeBgr(jpeg);
        Bytes lines;
        int32_t last = 0;
        ASSERT_EQ(DecodeLines(jpeg, lines, last), 29);
        EXPECT_EQ(last, 1);
        ASSERT_EQ(lines.size(), size_t{37} * 29 * 4);
        for (size_t i = 0; i < size_t{37} * 29; ++i) {
            ASSERT_EQ(lines[i * 4 + 0], ours.bgr[i * 3 + 2]) << f[0] << "x" << f[1] << " pixel " << i;
            ASSERT_EQ(lines[i * 4 + 1], ours.bgr[i * 3 + 1]);
            ASSERT_EQ(lines[i * 4 + 2], ours.bgr[i * 3 + 0]);
            ASSERT_EQ(lines[i * 4 + 3], 0);  // never written, zero from the start
        }
    }
    // Greyscale lines are one byte a pixel; the BGR picture repeats it in all three.
    const Bytes grey = BuildStream(BuiltPicture{19, 11, 1, 1, 1, 0, 22, 30}, false);
    const Ours ours = DecodeBgr(grey);
    Bytes lines;
    int32_t last = 0;
    ASSERT_EQ(DecodeLines(grey, lines, last), 11);
    ASSERT_EQ(lines.size(), size_t{19} * 11);
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(ours.bgr[i * 3], lines[i]);
        ASSERT_EQ(ours.bgr[i * 3 + 1], lines[i]);
        ASSERT_EQ(ours.bgr[i * 3 + 2], lines[i]);
    }
}

TEST(JpegDecoder, OneDecoderDecodesPictureAfterPictureAndRecoversFromErrors)
{
    const Bytes a = BuildStream(BuiltPicture{24, 16, 2, 2, 3, 0, 31, 20}, false);
    const Bytes b = BuildStream(BuiltPicture{9, 30, 1, 1, 1, 2, 32, 20}, false);
    Bytes bad = a;
    bad[FindMarker(bad, 0xC0) + 4] = 12;  // precision
    auto decoder = GJpegDecoder::Create();
    const Bytes* sequence[] = {&a, &bad, &b, &bad, &a};
    for (const Bytes* jpeg : sequence) {
        Bytes lines;
        int32_t last = 0;
        const int32_t count = DecodeLines(*jpeg, lines, last, decoder.get());
        if (jpeg == &bad) {
            EXPECT_EQ(last, -1);
            EXPECT_EQ(decoder->GetError(), kJpegErrPrecision);
            EXPECT_EQ(decoder->Decode(nullptr, nullptr), -1);
            continue;
        }
        Bytes fresh;
        int32_t freshLast = 0;
        EXPECT_EQ(count, DecodeLines(*jpeg, fresh, freshLast));
        EXPECT_EQ(lines, fresh);
        EXPECT_EQ(decoder->GetError(), 0);
    }
    auto unused = GJpegDecoder::Create();
    EXPECT_EQ(unused->Decode(nullptr, nullptr), -1);
}

TEST(JpegDecoder, ReaderForwardsAndBitmapsAreFilled)
{
    const Bytes jpeg = BuildStream(BuiltPicture{20, 10, 2, 1, 3, 0, 41, 20}, false);
    const Ours ours = DecodeBgr(jpeg);

    auto reader = GJpegReader::Create();
    ASSERT_TRUE(reader && reader->GetDecoder());
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    ASSERT_EQ(reader->Begin(&source), 0);
    int32_t lines = 0;
    const uint8_t* line = nullptr;
    int32_t length = 0;
    while (reader->Decode(&line, &length) == 0)
        ++lines;
    EXPECT_EQ(lines, 10);
    reader->Close();
    EXPECT_EQ(reader->GetDecoder(), nullptr);
    EXPECT_EQ(reader->Begin(&source), -1);

    // Into a larger 24-bit bitmap: the top-left corner, rows at the bitmap's pitch.
    std::unique_ptr<GBitmap> bitmap(GBitmap::Create(23, 12, 0, 0));
    ASSERT_TRUE(bitmap && bitmap->GetPixels());
    auto decoder = GJpegDecoder::Create();
    source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
    ASSERT_EQ(decoder->Begin(&source), 0);
    ASSERT_EQ(decoder->DecodeInto(*bitmap), 0);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(0, std::memcmp(bitmap->GetPixels() + y * bitmap->GetPitch(), &ours.bgr[y * 60], 60)) << y;

    // Too small, palettised, or called once lines were taken: refused, nothing written.
    std::unique_ptr<GBitmap> small(GBitmap::Create(19, 10, 0, 0));
    std::unique_ptr<GBitmap> palettised(GBitmap::Create(32, 32, 0, 16));
    source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
    ASSERT_EQ(decoder->Begin(&source), 0);
    EXPECT_EQ(decoder->DecodeInto(*small), -1);
    EXPECT_EQ(decoder->DecodeInto(*palettised), -1);
    Bytes buffer(600, 0x5A);
    EXPECT_EQ(decoder->DecodeBgr(buffer.data(), 59), -1);
    ASSERT_EQ(decoder->Decode(&line, &length), 0);
    EXPECT_EQ(decoder->DecodeBgr(buffer.data(), 60), -1);
    EXPECT_EQ(buffer, Bytes(600, 0x5A));
}

TEST(JpegDecoder, SlowSourcesGiveTheSamePictureAndBrokenOnesAnError)
{
    EncodeOptions options;
    options.restartInterval = 2;
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(90, 70, 9), 90, 70, options);
    const Ours reference = DecodeBgr(jpeg);
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        TricklingSource source(jpeg, seed);
        auto decoder = GJpegDecoder::Create();
        ASSERT_EQ(decoder->Begin(&source), 0);
        Bytes bgr(reference.bgr.size());
        ASSERT_EQ(decoder->DecodeBgr(bgr.data(), 270), 0);
        EXPECT_EQ(bgr, reference.bgr);
    }
    const size_t scan = FindMarker(jpeg, 0xDA);
    for (int32_t after : {-1, 0}) {
        for (size_t good : {size_t{100}, scan + 200}) {
            BrokenSource source(jpeg, good, after);
            auto decoder = GJpegDecoder::Create();
            const int32_t begin = decoder->Begin(&source);
            Bytes bgr(reference.bgr.size());
            const int32_t result = begin == 0 ? decoder->DecodeBgr(bgr.data(), 270) : -1;
            if (after < 0) {
                // A read error is reported as such, however far the decoder got.
                EXPECT_EQ(result, -1);
                EXPECT_EQ(decoder->GetError(), kJpegErrRead);
            } else if (good > scan) {
                // A source that stops delivering is a stream that ended: the picture is whole.
                EXPECT_EQ(result, 0);
            } else {
                EXPECT_EQ(begin, -1);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// What is refused

TEST(JpegDecoder, ProgressiveAndArithmeticCodingAreRefused)
{
    const Bytes rgb = MakePicture(32, 32, 1);
    EncodeOptions options;
    options.progressive = true;
    const Bytes progressive = EncodeWithLibjpeg(rgb, 32, 32, options);
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(progressive.data(), static_cast<uint32_t>(progressive.size()));
    EXPECT_EQ(decoder->Begin(&source), -1);
    EXPECT_TRUE(decoder->IsProgressive());
    EXPECT_EQ(decoder->GetError(), kJpegErrFrameType);
    EXPECT_EQ(decoder->Decode(nullptr, nullptr), -1);

    options.progressive = false;
    options.arithmetic = true;
    EXPECT_EQ(ErrorOf(EncodeWithLibjpeg(rgb, 32, 32, options)), kJpegErrArithmetic);

    Bytes dac = BuildStream(BuiltPicture{}, false);
    const Bytes segment{0xFF, 0xCC, 0x00, 0x04, 0x00, 0x11};
    dac.insert(dac.begin() + 2, segment.begin(), segment.end());
    EXPECT_EQ(ErrorOf(dac), kJpegErrArithmetic);

    Bytes lossless = BuildStream(BuiltPicture{}, false);
    lossless[FindMarker(lossless, 0xC0) + 1] = 0xC3;
    EXPECT_EQ(ErrorOf(lossless), kJpegErrFrameType);
}

TEST(JpegDecoder, StartOfImageIsSearchedFor511BytesOnly)
{
    const Bytes jpeg = BuildStream(BuiltPicture{}, false);
    Bytes junk(511, 0x00);
    junk[100] = 0xFF;  // an FF that is not followed by D8
    Bytes late = junk;
    late.insert(late.end(), jpeg.begin(), jpeg.end());
    EXPECT_EQ(DecodeBgr(late).result, 0);
    late.insert(late.begin(), 0x20);
    EXPECT_EQ(ErrorOf(late), kJpegErrNotJpeg);
    EXPECT_EQ(ErrorOf(Bytes{}), kJpegErrNotJpeg);
    Bytes noFF = jpeg;
    noFF[2] = 0x00;
    EXPECT_EQ(ErrorOf(noFF), kJpegErrNotJpeg);
}

TEST(JpegDecoder, HeaderFaultsAreRefusedWithTheirCodes)
{
    const Bytes good = BuildStream(BuiltPicture{16, 16, 2, 2, 3, 0, 1, 10}, false);
    const size_t sof = FindMarker(good, 0xC0);
    const size_t sos = FindMarker(good, 0xDA);
    const size_t dqt = FindMarker(good, 0xDB);
    const size_t dht = FindMarker(good, 0xC4);
    auto patched = [&](size_t at, std::initializer_list<int> values) {
        Bytes b = good;
        size_t i = at;
        for (int v : values)
            b[i++] = static_cast<uint8_t>(v);
        return b;
    };
    auto inserted = [&](size_t at, Bytes segment) {
        Bytes b = good;
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), segment.begin(), segment.end());
        return b;
    };
    // Frame header: FF C0, length, precision, height, width, count, then 3 bytes a component.
    EXPECT_EQ(ErrorOf(patched(sof + 4, {12})), kJpegErrPrecision);
    EXPECT_EQ(ErrorOf(patched(sof + 5, {0, 0})), kJpegErrHeight);
    EXPECT_EQ(ErrorOf(patched(sof + 5, {0x20, 0x01})), kJpegErrHeight);
    EXPECT_EQ(ErrorOf(patched(sof + 7, {0, 0})), kJpegErrWidth);
    EXPECT_EQ(ErrorOf(patched(sof + 9, {5})), kJpegErrComponents);
    EXPECT_EQ(ErrorOf(patched(sof + 9, {2})), kJpegErrFrameLength);
    EXPECT_EQ(ErrorOf(patched(sof + 2, {0, 14, 8, 0, 16, 0, 16, 2})), kJpegErrComponentCount);
    EXPECT_EQ(ErrorOf(patched(sof + 12, {4})), kJpegErrQuantNumber);       // table 4 of 4
    EXPECT_EQ(ErrorOf(patched(sof + 14, {0x21})), kJpegErrSampling);       // chroma 2x1
    EXPECT_EQ(ErrorOf(patched(sof + 11, {0x31})), kJpegErrSampling);       // luma 3x1
    EXPECT_EQ(ErrorOf(patched(sof + 11, {0x02})), kJpegErrSampling);       // luma 0x2

    // Scan header: FF DA, length, count, then id and tables per component.
    EXPECT_EQ(ErrorOf(patched(sos + 4, {0})), kJpegErrScanHeader);
    EXPECT_EQ(ErrorOf(patched(sos + 2, {0, 10, 2, 1, 0x00, 2, 0x11})), kJpegErrScanHeader);  // Cr missing
    EXPECT_EQ(ErrorOf(patched(sos + 5, {9})), kJpegErrScanComponent);
    EXPECT_EQ(ErrorOf(patched(sos + 7, {1})), kJpegErrScanComponent);      // Y twice
    EXPECT_EQ(ErrorOf(patched(sos + 6, {0x40})), kJpegErrUndefinedHuffman);  // DC table 4
    EXPECT_EQ(ErrorOf(patched(sos + 6, {0x02})), kJpegErrUndefinedHuffman);  // AC table 2 unset
    EXPECT_EQ(ErrorOf(patched(sof + 12, {3})), kJpegErrUndefinedQuant);

    // Table segments.
    EXPECT_EQ(ErrorOf(patched(dqt + 2, {0, 1})), kJpegErrQuantLength);
    EXPECT_EQ(ErrorOf(patched(dqt + 4, {4})), kJpegErrQuantNumber);
    EXPECT_EQ(ErrorOf(patched(dqt + 2, {0, 66})), kJpegErrQuantTableLength);
    EXPECT_EQ(ErrorOf(patched(dht + 4, {0x14})), kJpegErrHuffmanSlot);
    EXPECT_EQ(ErrorOf(patched(dht + 2, {0, 30})), kJpegErrHuffmanLength);
    {
        // One byte more than the table it holds.
        StreamBuilder s;
        s.Segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0x00});
        EXPECT_EQ(ErrorOf(inserted(dht, s.bytes)), kJpegErrHuffmanLength);
    }
    {
        // 256 codes: more than a table may have.
        Bytes body{0x01, 0, 0, 0, 0, 0, 0, 0, 128, 128, 0, 0, 0, 0, 0, 0, 0};
        body.resize(17 + 256, 0);
        StreamBuilder s;
        s.Segment(0xC4, body);
        EXPECT_EQ(ErrorOf(inserted(dht, s.bytes)), kJpegErrHuffmanTable);
    }
    {
        // Three codes of one bit cannot exist.
        StreamBuilder s;
        s.Segment(0xC4, {0x11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3});
        EXPECT_EQ(ErrorOf(inserted(dht, s.bytes)), kJpegErrHuffmanTable);
    }
    {
        // A DC difference of 16 bits or more has no place in 8-bit data.
        StreamBuilder s;
        s.Segment(0xC4, {0x02, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 16});
        EXPECT_EQ(ErrorOf(inserted(dht, s.bytes)), kJpegErrHuffmanTable);
    }

    // Markers.
    EXPECT_EQ(ErrorOf(inserted(2, {0xFF, 0xE1, 0x00, 0x01})), kJpegErrMarkerLength);
    EXPECT_EQ(ErrorOf(inserted(2, {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x01, 0x00})), kJpegErrRestartLength);
    EXPECT_EQ(ErrorOf(inserted(2, {0xFF, 0xD3})), kJpegErrUnexpectedMarker);
    EXPECT_EQ(ErrorOf(inserted(2, {0xFF, 0x01})), kJpegErrUnexpectedMarker);
    EXPECT_EQ(ErrorOf(inserted(sos, {0xFF, 0xD9})), kJpegErrUnexpectedMarker);
    EXPECT_EQ(ErrorOf(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(sos))), kJpegErrUnexpectedMarker);
    // Segments the decoder does not know are skipped, fill bytes before markers too.
    EXPECT_EQ(ErrorOf(inserted(2, {0xFF, 0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xD8, 0xFF, 0xEF, 0x00, 0x02})), 0);
}

TEST(JpegDecoder, RestartMarkersMustComeInOrder)
{
    const BuiltPicture picture{64, 32, 1, 1, 3, 1, 51, 20};
    const Bytes good = BuildStream(picture, false);
    ASSERT_EQ(DecodeBgr(good).result, 0);
    size_t rst = FindMarker(good, 0xD0);
    for (int n = 1; n < 3; ++n)
        rst = FindMarker(good, static_cast<uint8_t>(0xD0 + n), rst);
    ASSERT_LT(rst, good.size());
    Bytes swapped = good;
    swapped[rst + 1] = 0xD5;  // RST5 where RST2 belongs
    EXPECT_EQ(ErrorOf(swapped), kJpegErrRestart);
    Bytes missing = good;
    missing.erase(missing.begin() + static_cast<ptrdiff_t>(rst), missing.begin() + static_cast<ptrdiff_t>(rst) + 2);
    EXPECT_EQ(ErrorOf(missing), kJpegErrRestart);
    // Up to 1535 bytes of garbage before the marker are stepped over.
    Bytes padded = good;
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 1000, 0x42);
    EXPECT_EQ(DecodeBgr(padded).result, 0);
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 600, 0x42);
    EXPECT_EQ(ErrorOf(padded), kJpegErrRestart);
}

TEST(JpegDecoder, AcRunPastTheBlockIsCorruptData)
{
    StreamBuilder s = GreyHeader();
    s.RawDc(0, 5);
    for (int i = 0; i < 4; ++i)
        s.RawAc(0, 14, 1);  // coefficients 15, 30, 45, 60
    s.RawAc(0, 15, 1);      // 61 + 15
    s.End();
    EXPECT_EQ(ErrorOf(s.bytes), kJpegErrCorruptData);
}

// ---------------------------------------------------------------------------------------
// Extreme values, cut-short and damaged streams

TEST(JpegDecoder, ExtremeCoefficientsSaturate)
{
    // 16-bit factors of 65535 and 15-bit values: every product leaves the 16-bit range.
    StreamBuilder s;
    s.Marker(0xD8);
    s.Dqt(0, 65535 - 16, true);
    HuffmanSpec dc{{0, 0, 0, 14, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {}};
    for (uint8_t i = 0; i < 16; ++i)
        dc.symbols.push_back(i);
    HuffmanSpec ac{{0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x00, 0x0F, 0xF0}};
    s.Dht(0x00, dc);
    s.Dht(0x10, ac);
    s.Sof(0xC1, 24, 8, {{1, 1, 1, 0}});
    s.Sos({{1, 0x00}});
    const int values[3] = {32767, -32767, 32767};
    for (int b = 0; b < 3; ++b) {
        s.RawDc(0, values[b]);
        for (int k = 1; k < 64; ++k)
            s.RawAc(0, 0, (k & 1) ? values[b] : -values[b]);
    }
    s.End();
    const Ours ours = DecodeBgr(s.bytes);
    ASSERT_EQ(ours.result, 0) << ours.error;
    // The DC of the first block saturates high, the second brings the prediction back to 0.
    EXPECT_EQ(ours.bgr.size(), size_t{24} * 8 * 3);
}

TEST(JpegDecoder, CutShortStreamsStillGiveEveryLine)
{
    for (int interval : {0, 2}) {
        EncodeOptions options;
        options.restartInterval = interval;
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(40, 36, 17), 40, 36, options);
        const Ours whole = DecodeBgr(jpeg);
        const size_t scan = FindMarker(jpeg, 0xDA) + 14;  // first entropy-coded byte
        for (size_t cut = scan; cut <= jpeg.size(); ++cut) {
            const Bytes part(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(cut));
            Bytes lines;
            int32_t last = 0;
            ASSERT_EQ(DecodeLines(part, lines, last), 36) << "cut at " << cut << " interval " << interval;
            ASSERT_EQ(last, 1);
            const Ours ours = DecodeBgr(part);
            ASSERT_EQ(ours.result, 0) << "cut at " << cut;
            if (cut + 2 >= jpeg.size()) {
                // Without the end-of-image marker nothing is lost.
                EXPECT_EQ(ours.bgr, whole.bgr);
            }
        }
    }
}

TEST(JpegDecoder, DamagedDataNeverEscapesThePicture)
{
    EncodeOptions options;
    options.restartInterval = 3;
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(48, 40, 23), 48, 40, options);
    const size_t scan = FindMarker(jpeg, 0xDA) + 14;
    Lcg lcg{99};
    for (int trial = 0; trial < 400; ++trial) {
        Bytes bad = jpeg;
        const int flips = 1 + static_cast<int>(lcg.Next() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the entropy-coded data, sometimes the headers.
            const size_t from = lcg.Next() % 4 == 0 ? 0 : scan;
            const size_t at = from + lcg.Next() % (bad.size() - from);
            bad[at] = static_cast<uint8_t>(lcg.Next());
        }
        const Ours ours = DecodeBgr(bad);
        if (ours.begin != 0)
            continue;
        // Every row was written: decoded, or black after an error.
        const Bytes canary(static_cast<size_t>(ours.width) * 3, 0xA5);
        for (int y = 0; y < ours.height; ++y) {
            ASSERT_NE(0, std::memcmp(&ours.bgr[static_cast<size_t>(y) * ours.width * 3], canary.data(), canary.size()));
        }
        if (ours.result != 0) {
            EXPECT_TRUE(ours.error == kJpegErrCorruptData || ours.error == kJpegErrRestart) << ours.error;
        }
        Bytes lines;
        int32_t last = 0;
        EXPECT_LE(DecodeLines(bad, lines, last), ours.height);
        EXPECT_NE(last, 0);
    }
}

// ---------------------------------------------------------------------------------------
// The arithmetic kernels on their own

TEST(JpegDecoder, ColourConversionClampsBothWays)
{
    GJpegColourTables tables;
    tables.Build();
    // Cr 126: red = y - 3; Cr 132: red = y + 6.
    const uint8_t y[2] = {0, 254};
    const uint8_t cb[2] = {128, 128};
    const uint8_t cr[2] = {126, 132};
    uint8_t out[6] = {};
    GJpegConvertRows<GJpegBgrPixel, 1, false>(tables, y, nullptr, cb, cr, out, nullptr, 2);
    EXPECT_EQ(out[2], 0);    // -3
    EXPECT_EQ(out[5], 255);  // 260
    EXPECT_EQ(tables.crRed[126], -3);
    EXPECT_EQ(tables.crRed[132], 6);
    // Neutral chroma leaves grey alone.
    const uint8_t grey[2] = {77, 200};
    const uint8_t neutral[2] = {128, 128};
    GJpegConvertRows<GJpegBgrPixel, 1, false>(tables, grey, nullptr, neutral, neutral, out, nullptr, 2);
    EXPECT_EQ(out[0], 77);
    EXPECT_EQ(out[1], 77);
    EXPECT_EQ(out[4], 200);
}

// The fast IDCT (SSE2 where built for it, with short cuts for sparse blocks) must give
// exactly the bytes of the plain scalar transform on any input, including blocks whose
// intermediate values leave 16 bits; and the transform must be accurate.
TEST(JpegDecoder, InverseDctIsAccurateAndItsFastPathsAreExact)
{
    Lcg lcg{5};
    double worstError = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = static_cast<int>(lcg.Next() % 64);
        const int kind = trial % 10;  // 0: full 16-bit range, 1: large, else: ordinary
        for (int k = 0; k <= last; ++k) {
            if (lcg.Next() % 3 == 0 && k != last)
                continue;
            const int range = kind == 0 ? 32768 : kind == 1 ? 4096 : (k == 0 ? 1024 : 300 / (1 + k / 4));
            block[kJpegZigzag[k]] = static_cast<int16_t>(static_cast<int>((lcg.Next() << 15 | lcg.Next()) % (2 * range)) - range);
        }
        if (trial < 64)
            std::fill(block, block + 64, static_cast<int16_t>(trial & 1 ? 32767 : -32768));
        const int coded = trial < 64 ? 63 : last;
        uint8_t fast[8 * 10] = {};
        uint8_t shortCut[8 * 10] = {};
        uint8_t full[8 * 10] = {};
        GJpegInverseDct(block, coded, fast, 10);
        GJpegInverseDctScalar(block, coded, shortCut, 10);
        GJpegInverseDctScalar(block, 63, full, 10);
        for (int r = 0; r < 8; ++r) {
            ASSERT_EQ(0, std::memcmp(fast + r * 10, full + r * 10, 8)) << "trial " << trial << " row " << r;
            ASSERT_EQ(0, std::memcmp(shortCut + r * 10, full + r * 10, 8)) << "trial " << trial << " row " << r;
        }
        if (kind < 2 || trial < 64)
            continue;
        // Against the exact transform in double precision.
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        sum += (u ? 1.0 : std::sqrt(0.5)) * (v ? 1.0 : std::sqrt(0.5)) * block[v * 8 + u] *
                               std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                const double exact = std::min(255.0, std::max(0.0, sum / 4 + 128));
                worstError = std::max(worstError, std::abs(exact - full[y * 10 + x]));
            }
        }
    }
    EXPECT_LE(worstError, 1.0);
}
