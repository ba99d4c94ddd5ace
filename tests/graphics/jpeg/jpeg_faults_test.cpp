// The JPEG decoder on streams it must refuse, with the code of each fault, and on streams
// that are cut short or damaged, which must still give every line without leaving the
// picture's memory.

#include <gtest/gtest.h>

#include <tuple>

#include "support/jpeg_test_streams.h"

using namespace jpeg_test;

// --- What is refused

TEST(JpegDecoderFaults, ProgressiveArithmeticAndLosslessCodingAreRefused)
{
    const Bytes rgb = MakePicture(32, 32, 1);
    const Bytes progressive = EncodeWithLibjpeg(rgb, 32, 32, {.progressive = true});
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(progressive.data(), static_cast<uint32_t>(progressive.size()));
    EXPECT_EQ(decoder->Begin(&source), -1);
    EXPECT_EQ(std::tuple(decoder->IsProgressive(), decoder->GetError(), decoder->Decode(nullptr, nullptr)),
              std::tuple(true, kJpegErrFrameType, -1));
    EXPECT_EQ(ErrorOf(EncodeWithLibjpeg(rgb, 32, 32, {.arithmetic = true})), kJpegErrArithmetic);

    Bytes dac = BuildStream(BuiltPicture{}, false), lossless = dac;
    dac.insert(dac.begin() + 2, {0xFF, 0xCC, 0x00, 0x04, 0x00, 0x11}); // an arithmetic conditioning segment
    EXPECT_EQ(ErrorOf(dac), kJpegErrArithmetic);
    lossless[FindMarker(lossless, 0xC0) + 1] = 0xC3;
    EXPECT_EQ(ErrorOf(lossless), kJpegErrFrameType);
}

TEST(JpegDecoderFaults, StartOfImageIsSearchedFor511BytesOnly)
{
    const Bytes jpeg = BuildStream(BuiltPicture{}, false);
    Bytes late(511, 0x00);
    late[100] = 0xFF;  // an FF that is not followed by D8
    late.insert(late.end(), jpeg.begin(), jpeg.end());
    EXPECT_EQ(DecodeBgr(late).result, 0);
    late.insert(late.begin(), 0x20);
    Bytes noFF = jpeg;
    noFF[2] = 0x00;
    for (const Bytes& refused : {late, Bytes{}, noFF})
        EXPECT_EQ(ErrorOf(refused), kJpegErrNotJpeg) << refused.size();
}

TEST(JpegDecoderFaults, HeaderFaultsAreRefusedWithTheirCodes)
{
    const Bytes good = BuildStream(BuiltPicture{16, 16, 2, 2, 3, 0, 1, 10}, false);
    const size_t sof = FindMarker(good, 0xC0), sos = FindMarker(good, 0xDA);
    const size_t dqt = FindMarker(good, 0xDB), dht = FindMarker(good, 0xC4);
    auto patched = [&](size_t at, std::initializer_list<int> values) {
        Bytes b = good;
        for (int v : values)
            b[at++] = static_cast<uint8_t>(v);
        return b;
    };
    auto inserted = [&](size_t at, Bytes segment) {
        Bytes b = good;
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), segment.begin(), segment.end());
        return b;
    };
    auto dhtSegment = [&](Bytes body) {
        StreamBuilder s;
        s.Segment(0xC4, body);
        return inserted(dht, s.bytes);
    };
    Bytes tooManyCodes{0x01, 0, 0, 0, 0, 0, 0, 0, 128, 128, 0, 0, 0, 0, 0, 0, 0};
    tooManyCodes.resize(17 + 256, 0);
    const std::pair<Bytes, int32_t> cases[] = {
        // Frame header: FF C0, length, precision, height, width, count, then 3 bytes a component.
        {patched(sof + 4, {12}), kJpegErrPrecision},
        {patched(sof + 5, {0, 0}), kJpegErrHeight},
        {patched(sof + 5, {0x20, 0x01}), kJpegErrHeight},
        {patched(sof + 7, {0, 0}), kJpegErrWidth},
        {patched(sof + 9, {5}), kJpegErrComponents},
        {patched(sof + 9, {2}), kJpegErrFrameLength},
        {patched(sof + 2, {0, 14, 8, 0, 16, 0, 16, 2}), kJpegErrComponentCount},
        {patched(sof + 12, {4}), kJpegErrQuantNumber},  // table 4 of 4
        {patched(sof + 14, {0x21}), kJpegErrSampling},  // chroma 2x1
        {patched(sof + 11, {0x31}), kJpegErrSampling},  // luma 3x1
        {patched(sof + 11, {0x02}), kJpegErrSampling},  // luma 0x2
        // Scan header: FF DA, length, count, then id and tables per component.
        {patched(sos + 4, {0}), kJpegErrScanHeader},
        {patched(sos + 2, {0, 10, 2, 1, 0x00, 2, 0x11}), kJpegErrScanHeader},  // Cr missing
        {patched(sos + 5, {9}), kJpegErrScanComponent},
        {patched(sos + 7, {1}), kJpegErrScanComponent},      // Y twice
        {patched(sos + 6, {0x40}), kJpegErrUndefinedHuffman},  // DC table 4
        {patched(sos + 6, {0x02}), kJpegErrUndefinedHuffman},  // AC table 2 unset
        {patched(sof + 12, {3}), kJpegErrUndefinedQuant},
        // Table segments.
        {patched(dqt + 2, {0, 1}), kJpegErrQuantLength},
        {patched(dqt + 4, {4}), kJpegErrQuantNumber},
        {patched(dqt + 2, {0, 66}), kJpegErrQuantTableLength},
        {patched(dht + 4, {0x14}), kJpegErrHuffmanSlot},
        {patched(dht + 2, {0, 30}), kJpegErrHuffmanLength},
        // One byte more than the table it holds.
        {dhtSegment({0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0x00}), kJpegErrHuffmanLength},
        {dhtSegment(tooManyCodes), kJpegErrHuffmanTable},  // 256 codes: more than a table may have
        // Three codes of one bit cannot exist.
        {dhtSegment({0x11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}), kJpegErrHuffmanTable},
        // A DC difference of 16 bits or more has no place in 8-bit data.
        {dhtSegment({0x02, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 16}), kJpegErrHuffmanTable},
        // Markers.
        {inserted(2, {0xFF, 0xE1, 0x00, 0x01}), kJpegErrMarkerLength},
        {inserted(2, {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x01, 0x00}), kJpegErrRestartLength},
        {inserted(2, {0xFF, 0xD3}), kJpegErrUnexpectedMarker},
        {inserted(2, {0xFF, 0x01}), kJpegErrUnexpectedMarker},
        {inserted(sos, {0xFF, 0xD9}), kJpegErrUnexpectedMarker},
        {Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(sos)), kJpegErrUnexpectedMarker},
        // Segments the decoder does not know are skipped, fill bytes before markers too.
        {inserted(2, {0xFF, 0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xD8, 0xFF, 0xEF, 0x00, 0x02}), 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ErrorOf(cases[i].first), cases[i].second) << "case " << i;
}

TEST(JpegDecoderFaults, RestartMarkersMustComeInOrder)
{
    const BuiltPicture picture{64, 32, 1, 1, 3, 1, 51, 20};
    const Bytes good = BuildStream(picture, false);
    ASSERT_EQ(DecodeBgr(good).result, 0);
    size_t rst = FindMarker(good, 0xD0);
    for (int n = 1; n < 3; ++n)
        rst = FindMarker(good, static_cast<uint8_t>(0xD0 + n), rst);
    ASSERT_LT(rst, good.size());
    Bytes swapped = good, missing = good;
    swapped[rst + 1] = 0xD5;  // RST5 where RST2 belongs
    missing.erase(missing.begin() + static_cast<ptrdiff_t>(rst), missing.begin() + static_cast<ptrdiff_t>(rst) + 2);
    EXPECT_EQ(std::tuple(ErrorOf(swapped), ErrorOf(missing)), std::tuple(kJpegErrRestart, kJpegErrRestart));
    // Up to 1535 bytes of garbage before the marker are stepped over.
    Bytes padded = good;
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 1000, 0x42);
    EXPECT_EQ(DecodeBgr(padded).result, 0);
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 600, 0x42);
    EXPECT_EQ(ErrorOf(padded), kJpegErrRestart);
}

TEST(JpegDecoderFaults, AcRunPastTheBlockIsCorruptData)
{
    StreamBuilder s = GreyHeader();
    s.RawDc(0, 5);
    for (int i = 0; i < 4; ++i)
        s.RawAc(0, 14, 1);  // coefficients 15, 30, 45, 60
    s.RawAc(0, 15, 1);      // 61 + 15
    s.End();
    EXPECT_EQ(ErrorOf(s.bytes), kJpegErrCorruptData);
}

// --- Extreme values, cut-short and damaged streams

TEST(JpegDecoderFaults, ExtremeCoefficientsSaturate)
{
    // 16-bit factors of 65535 and 15-bit values: every product leaves the 16-bit range.
    StreamBuilder s;
    s.Marker(0xD8);
    s.Dqt(0, 65535 - 16, true);
    s.Dht(0x00, {{0, 0, 0, 14, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}});
    s.Dht(0x10, {{0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x00, 0x0F, 0xF0}});
    s.Sof(0xC1, 24, 8, {{1, 1, 1, 0}});
    s.Sos({{1, 0x00}});
    for (int value : {32767, -32767, 32767}) {
        s.RawDc(0, value);
        for (int k = 1; k < 64; ++k)
            s.RawAc(0, 0, (k & 1) ? value : -value);
    }
    s.End();
    const Ours ours = DecodeBgr(s.bytes);
    ASSERT_EQ(ours.result, 0) << ours.error;
    // The DC of the first block saturates high, the second brings the prediction back to 0.
    EXPECT_EQ(ours.bgr.size(), size_t{24} * 8 * 3);
}

TEST(JpegDecoderFaults, CutShortStreamsStillGiveEveryLine)
{
    for (int interval : {0, 2}) {
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(40, 36, 17), 40, 36, {.restartInterval = interval});
        const Ours whole = DecodeBgr(jpeg);
        const size_t scan = FindMarker(jpeg, 0xDA) + 14;  // first entropy-coded byte
        for (size_t cut = scan; cut <= jpeg.size(); ++cut) {
            const Bytes part(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(cut));
            Bytes lines;
            int32_t last = 0;
            ASSERT_EQ(DecodeLines(part, lines, last), 36) << "cut at " << cut << " interval " << interval;
            const Ours ours = DecodeBgr(part);
            ASSERT_TRUE(last == 1 && ours.result == 0) << "cut at " << cut;
            // Without the end-of-image marker nothing is lost.
            EXPECT_TRUE(cut + 2 < jpeg.size() || ours.bgr == whole.bgr);
        }
    }
}

TEST(JpegDecoderFaults, DamagedDataNeverEscapesThePicture)
{
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(48, 40, 23), 48, 40, {.restartInterval = 3});
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
        for (int y = 0; y < ours.height; ++y)
            ASSERT_NE(0, std::memcmp(&ours.bgr[static_cast<size_t>(y) * ours.width * 3], canary.data(), canary.size()));
        EXPECT_TRUE(ours.result == 0 || ours.error == kJpegErrCorruptData || ours.error == kJpegErrRestart)
            << ours.error;
        Bytes lines;
        int32_t last = 0;
        EXPECT_TRUE(DecodeLines(bad, lines, last) <= ours.height && last != 0);
    }
}

