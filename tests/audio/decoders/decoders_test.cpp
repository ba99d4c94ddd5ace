#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "audio/decoders/module_decoder.h"
#include "audio/decoders/mp3_decoder.h"
#include "audio/decoders/ogg_decoder.h"
#include "audio/decoders/ogg_reader.h"
#include "platform/sound/module_player.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"
#include "support/ogg_pages.h"

namespace {

using namespace tolvanrise::test;

// Reads until the decoder reports its end (a short count); every read is checked against its
// length and a guard byte behind it. Gives up after maxReads.
std::vector<uint8_t> ReadAll(GStreamDecoder& decoder, int32_t chunk, int maxReads = 100000,
                             bool requireEnd = true)
{
    std::vector<uint8_t> all;
    std::vector<uint8_t> buffer(chunk + 1);
    for (int i = 0; i < maxReads; ++i) {
        buffer[chunk] = 0xA5;
        int32_t count = -1;
        EXPECT_EQ(decoder.Read(buffer.data(), chunk, &count), 1);
        EXPECT_TRUE(count >= 0 && count <= chunk) << count;
        EXPECT_EQ(buffer[chunk], 0xA5) << "wrote past the length";
        all.insert(all.end(), buffer.begin(), buffer.begin() + std::max(0, count));
        if (count < chunk)
            return all;
    }
    if (requireEnd)
        ADD_FAILURE() << "no end after " << maxReads << " reads";
    return all;
}

std::vector<uint8_t> ReadOnce(GStreamDecoder& decoder, int32_t length)
{
    return ReadAll(decoder, length, 1, false);
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

class DecodersTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TempFolder>("tolvanrise_decoders_");
        WriteTone(*folder, "stereo44.ogg", 441, 2, 44100, 0.5);
        WriteTone(*folder, "mono22.ogg", 441, 1, 22050, 0.5);
        WriteTone(*folder, "stereo22.ogg", 441, 2, 22050, 0.3);
        WriteTone(*folder, "mono22.mp3", 441, 1, 22050, 0.5);
        WriteTone(*folder, "stereo44.mp3", 441, 2, 44100, 0.5);
        WriteModule(*folder, "two.mod", {428, 214}, 8);
        library = platform::ModuleLibrary::Load();
    }
    static void TearDownTestSuite() { library.reset(), folder.reset(); }
    static std::string Path(const char* name) { return folder->Path(name); }

    inline static std::unique_ptr<TempFolder> folder;
    inline static std::unique_ptr<platform::ModuleLibrary> library;
};

TEST_F(DecodersTest, FormatsAndTonesOfOggAndMp3)
{
    struct Case {
        const char* name;
        uint16_t channels;
        uint32_t rate;
        uint32_t frames; // at least this many decoded
    } cases[] = {
        {"stereo44.ogg", 2, 44100, 22050}, {"mono22.ogg", 1, 22050, 11025},
        {"stereo22.ogg", 2, 22050, 6615},  {"mono22.mp3", 1, 22050, 11025},
        {"stereo44.mp3", 2, 44100, 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<GStreamDecoder> decoder =
            std::string(c.name).ends_with("ogg") ? std::unique_ptr<GStreamDecoder>(new GOggDecoder)
                                                 : std::make_unique<GMp3Decoder>();
        ASSERT_EQ(decoder->Open(Path(c.name).c_str(), 0), 1);
        EXPECT_EQ(decoder->GetFormat(), platform::WaveFormat::Pcm(c.channels, c.rate, 16, 18));
        const auto pcm = Samples(ReadAll(*decoder, 10000));
        // MP3 adds its encoder delay.
        EXPECT_TRUE(pcm.size() / c.channels >= c.frames &&
                    pcm.size() / c.channels <= c.frames + 2400u)
            << pcm.size();
        const auto s = Channel(pcm, c.channels, c.channels - 1, 3000, c.frames - 4000);
        EXPECT_NEAR(ToneFrequency(s, static_cast<int>(c.rate)), 441, 2);
        EXPECT_NEAR(ToneLevel(s), 16384, 1200);
        EXPECT_EQ(decoder->Rewind(), 1);
        EXPECT_EQ(Samples(ReadAll(*decoder, 10000)), pcm);
        // Rewound in the middle of a frame, nothing of that frame is left to hear.
        EXPECT_EQ(decoder->Rewind(), 1);
        ASSERT_EQ(ReadOnce(*decoder, 1000).size(), 1000u);
        EXPECT_EQ(decoder->Rewind(), 1);
        EXPECT_EQ(Samples(ReadAll(*decoder, 10000)), pcm);
    }
}

// A read may end inside a frame: the rest of it waits for the next read.
TEST_F(DecodersTest, Mp3ReadsOfAnyLengthLoseNothing)
{
    GMp3Decoder whole, pieces;
    ASSERT_EQ(whole.Open(Path("stereo44.mp3").c_str(), 0), 1);
    ASSERT_EQ(pieces.Open(Path("stereo44.mp3").c_str(), 0), 1);
    const auto expected = ReadAll(whole, 1 << 20);
    std::vector<uint8_t> got;
    const int32_t lengths[] = {1000, 4610, 3, 4, 7, 12288, 4608, 1};
    for (int i = 0; got.size() < expected.size() && i < 10000; ++i) {
        const auto part = ReadOnce(pieces, lengths[i % 8]);
        got.insert(got.end(), part.begin(), part.end());
        if (part.empty() && lengths[i % 8] >= 4)
            break;
    }
    EXPECT_EQ(got, expected);
    uint8_t byte;
    EXPECT_EQ(pieces.Read(nullptr, 4, nullptr) + pieces.Read(&byte, -1, nullptr), 0);
}

TEST_F(DecodersTest, Mp3SampleScaleRoundsAndClips)
{
    const std::pair<int32_t, int16_t> cases[] = {
        {0, 0},
        {4095, 0},
        {4096, 1},
        {0x0FFFFFFF, 32767},
        {0x7FFFFFFF - 4096, 32767},
        {0x7FFFFFFF - 4095, 32767},
        {2147480502, 32767},
        {0x7FFFFFFF, 32767},
        {-0x10000000, -32768},
        {-0x7FFFFFFF, -32768},
        {INT32_MIN, -32768},
        {-8192, -1},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(Mp3ScaleSample(in), out) << in;
}

// Bytes of other kinds in which a frame sync turns up by chance: refused, while every real
// MP3 (also behind a tag) opens.
TEST_F(DecodersTest, Mp3OpensOnlyStreamsWhoseFirstFramesAgree)
{
    const auto tone = ReadFileBytes(Path("stereo44.mp3"));
    std::vector<std::pair<std::string, std::string>> others = {
        {"ogg", ReadFileBytes(Path("stereo44.ogg"))}, {"mod", ReadFileBytes(Path("two.mod"))}};
    uint32_t seed = 7;
    for (int i = 0; i < 24; ++i) {
        std::string noise(4096 << (i % 5), '\0');
        for (char& byte : noise)
            byte = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
        others.emplace_back("noise" + std::to_string(i), noise);
    }
    for (const char* font : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"})
        if (auto bytes = ReadFileBytes(font); !bytes.empty())
            others.emplace_back("font", bytes);
    GMp3Decoder decoder;
    for (const auto& [name, bytes] : others) {
        folder->WriteFile("other.mp3", bytes);
        EXPECT_EQ(decoder.Open(Path("other.mp3").c_str(), 0), 0) << name;
    }
    std::string tagged("ID3\3\0\0\0\0\0\x14", 10);
    tagged.resize(30, '\0');
    tagged += tone;
    for (const auto& bytes : {tone, tagged}) {
        folder->WriteFile("other.mp3", bytes);
        ASSERT_EQ(decoder.Open(Path("other.mp3").c_str(), 0), 1);
        EXPECT_EQ(decoder.GetFormat(), platform::WaveFormat::Pcm(2, 44100, 16, 18));
        EXPECT_NEAR(
            ToneFrequency(Channel(Samples(ReadAll(decoder, 36864)), 2, 0, 2000, 15000), 44100), 441,
            2);
    }
}

// Where each MPEG-1 layer III frame of a file starts, from each header's bit rate and padding.
std::vector<size_t> Mp3FrameStarts(const std::string& bytes)
{
    static const int kKbps[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                  112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[4] = {44100, 48000, 32000, 0};
    std::vector<size_t> starts;
    for (size_t at = 0; at + 4 <= bytes.size();) {
        const auto b = [&](size_t i) { return uint8_t(bytes[at + i]); };
        const int kbps = kKbps[b(2) >> 4], rate = kRates[(b(2) >> 2) & 3];
        if (b(0) != 0xFF || (b(1) & 0xFE) != 0xFA || !kbps || !rate)
            break;
        starts.push_back(at);
        at += size_t(144000 * kbps / rate + ((b(2) >> 1) & 1));
    }
    return starts;
}

// The first frames must follow one another whole: a stream damaged among them is refused,
// while one damaged later plays on past the damage, shorter by that frame and those whose
// data began in it (layer III frames borrow room from the ones before: at most two more).
TEST_F(DecodersTest, Mp3DamagedAmongItsFirstFramesIsRefusedAndLaterIsSkipped)
{
    const std::string tone = ReadFileBytes(Path("stereo44.mp3"));
    const std::vector<size_t> starts = Mp3FrameStarts(tone);
    ASSERT_GT(starts.size(), 15u);
    GMp3Decoder decoder;
    ASSERT_EQ(decoder.Open(Path("stereo44.mp3").c_str(), 0), 1);
    const size_t whole = ReadAll(decoder, 4096).size();
    struct Case {
        size_t frame; // whose header is cleared
        bool opens;
    } cases[] = {{1, false}, {2, false}, {10, true}, {starts.size() - 2, true}};
    for (const Case& c : cases) {
        std::string damaged = tone;
        std::memset(damaged.data() + starts[c.frame], 0, 4);
        folder->WriteFile("damaged.mp3", damaged);
        ASSERT_EQ(decoder.Open(Path("damaged.mp3").c_str(), 0), c.opens ? 1 : 0) << c.frame;
        if (!c.opens)
            continue;
        const auto bytes = ReadAll(decoder, 4096);
        const size_t lost = whole - bytes.size(), frame = 1152 * 4;
        EXPECT_TRUE(lost % frame == 0 && lost >= frame && lost <= 3 * frame)
            << c.frame << ": " << lost;
        EXPECT_NEAR(ToneFrequency(Channel(Samples(bytes), 2, 0, 2000, 15000), 44100), 441, 2)
            << c.frame;
    }
    // Junk of more than a window ahead of the first frame is stepped over.
    std::string junk(10000, '\x11');
    folder->WriteFile("damaged.mp3", junk + tone);
    ASSERT_EQ(decoder.Open(Path("damaged.mp3").c_str(), 0), 1);
    EXPECT_EQ(ReadAll(decoder, 4096).size(), whole);
    folder->WriteFile("damaged.mp3", "");
    EXPECT_EQ(decoder.Open(Path("damaged.mp3").c_str(), 0), 0);
    EXPECT_EQ(decoder.Open(Path("none.mp3").c_str(), 0) + decoder.Open(nullptr, 0), 0);
}

// An Ogg stream damaged in its middle (a page's bytes overwritten) plays on past the damage to
// its end, shorter by the page lost, its tone unchanged; closed, it has nothing to give.
TEST_F(DecodersTest, OggDamagedInTheMiddlePlaysOnToItsEnd)
{
    const std::string path = WriteTone(*folder, "six.ogg", 441, 2, 44100, 6.0);
    const std::string tone = ReadFileBytes(path);
    GOggDecoder decoder;
    ASSERT_EQ(decoder.Open(path.c_str(), 0), 1);
    const size_t whole = ReadAll(decoder, 4096).size();
    ASSERT_EQ(whole, 6u * 44100 * 4);
    for (const double at : {0.4, 0.6}) {
        std::string damaged = tone;
        const size_t from = size_t(tone.size() * at);
        for (size_t i = from; i < from + 200; ++i)
            damaged[i] = char(i * 37);
        folder->WriteFile("damaged.ogg", damaged);
        ASSERT_EQ(decoder.Open(Path("damaged.ogg").c_str(), 0), 1) << at;
        const auto bytes = ReadAll(decoder, 4096);
        EXPECT_TRUE(bytes.size() >= whole / 2 && bytes.size() < whole)
            << at << ": " << bytes.size();
        const auto pcm = Samples(bytes);
        EXPECT_NEAR(ToneFrequency(Channel(pcm, 2, 0, pcm.size() / 2 - 20000, 15000), 44100), 441, 2)
            << at;
        EXPECT_EQ(decoder.Rewind(), 1);
        EXPECT_EQ(ReadAll(decoder, 4096).size(), bytes.size()) << at;
    }
    decoder.Close();
    EXPECT_EQ(decoder.Rewind(), 0);
    EXPECT_TRUE(ReadAll(decoder, 4096).empty());
}

// The end of a read is the song's last real frame: pattern 1 alone is 8 ticks of 882 frames,
// and no chunk's silent rest follows it.
TEST_F(DecodersTest, ModuleEndsAtItsLastRealFrame)
{
    if (!library)
        GTEST_SKIP() << "libxmp not installed";
    GModuleDecoder decoder(library.get());
    ASSERT_EQ(decoder.Init(), 44100);
    for (int32_t chunk : {8192, 36864, 1000}) {
        ASSERT_EQ(decoder.Open(Path("two.mod").c_str(), 1), 1);
        const auto pcm = Samples(ReadAll(decoder, chunk));
        EXPECT_EQ(pcm.size() / 2, 7056u) << chunk;
        EXPECT_LT(LongestQuietRun(Channel(pcm, 2, 0, 0, pcm.size() / 2), 100), 100u) << chunk;
        decoder.Close();
    }
}

TEST_F(DecodersTest, ModuleServesAnyLengthThroughItsCarryOver)
{
    if (!library)
        GTEST_SKIP() << "libxmp not installed";
    GModuleDecoder a(library.get()), b(library.get());
    ASSERT_TRUE(a.Init() == 44100 && b.Init() == 44100);
    EXPECT_EQ(a.GetFormat(), platform::WaveFormat::Pcm(2, 44100, 16, 18));
    ASSERT_TRUE(a.Open(Path("two.mod").c_str(), 0) && b.Open(Path("two.mod").c_str(), 0));
    const auto first = ReadOnce(a, 36864); // 5 chunks rendered, 4,096 bytes kept
    const auto second = ReadOnce(a, 4096); // served from the carry-over
    const auto whole = ReadOnce(b, 40960);
    ASSERT_EQ(first.size() + second.size(), whole.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), whole.begin()) &&
                std::equal(second.begin(), second.end(), whole.begin() + 36864));
    // Pattern 0 plays period 428, pattern 1 (8 rows of 20 ms later) an octave up.
    const auto pcm = Samples(whole);
    EXPECT_NEAR(ToneFrequency(Channel(pcm, 2, 0, 500, 6000), 44100),
                audio_synth::ModuleToneFrequency(428), 3);
}

TEST_F(DecodersTest, ModuleEndsWithAShortReadThenSilence)
{
    if (!library)
        GTEST_SKIP() << "libxmp not installed";
    GModuleDecoder decoder(library.get());
    ASSERT_EQ(decoder.Init(), 44100);
    ASSERT_EQ(decoder.Open(Path("two.mod").c_str(), 1), 1); // from pattern 1: 160 ms
    const auto pcm = Samples(ReadAll(decoder, 8192));
    EXPECT_TRUE(decoder.HasEnded());
    EXPECT_TRUE(pcm.size() / 2 >= 7056u && pcm.size() / 2 < 7056u + 3 * 2048) << pcm.size();
    EXPECT_NEAR(ToneFrequency(Channel(pcm, 2, 0, 500, 5000), 44100),
                audio_synth::ModuleToneFrequency(214), 6);
    std::vector<uint8_t> after(1000, 0x55);
    int32_t count = -1;
    EXPECT_EQ(decoder.Read(after.data(), 1000, &count), 1);
    EXPECT_EQ(std::tuple(count, std::count(after.begin(), after.end(), 0)), std::tuple(0, 1000));
    // Rewound, it plays again.
    EXPECT_EQ(decoder.Rewind(), 1);
    EXPECT_GT(ReadAll(decoder, 8192).size(), 28000u);
    // Rewound halfway through a chunk, the rest of that chunk is not heard: the song plays again
    // exactly as long as the first time.
    EXPECT_EQ(decoder.Rewind(), 1);
    ASSERT_EQ(ReadOnce(decoder, 1000).size(), 1000u);
    EXPECT_EQ(decoder.Rewind(), 1);
    EXPECT_EQ(ReadAll(decoder, 8192).size(), pcm.size() * 2);
    // Closed, there is nothing to rewind or read.
    decoder.Close();
    EXPECT_EQ(decoder.Rewind(), 0);
    EXPECT_TRUE(ReadAll(decoder, 8192).empty());
}

TEST_F(DecodersTest, ModuleWithoutTheLibraryOpensNothing)
{
    platform::SetModuleLibraryName("libtolvanrise-no-such-library.so");
    EXPECT_FALSE(platform::ModuleLibrary::Load());
    platform::SetModuleLibraryName(nullptr);
    GModuleDecoder decoder(nullptr);
    EXPECT_EQ(decoder.Init() + decoder.Open(Path("two.mod").c_str(), 0), 0);
    uint8_t byte = 1;
    int32_t count = 0;
    EXPECT_EQ(decoder.Read(nullptr, 4, &count) + decoder.Read(&byte, -1, &count), 0);
}

TEST_F(DecodersTest, OggReaderDecodesTheWholeFileOrLeavesNothing)
{
    GOggReader reader;
    for (const char* name : {"missing.ogg", (const char*)nullptr})
        EXPECT_EQ(reader.Open(name ? Path(name).c_str() : nullptr), kReaderInvalidArg);
    EXPECT_FALSE(reader.IsOpen() || reader.GetDataSize());
    GOggDecoder ogg;
    GMp3Decoder mp3;
    for (const char* name : {"missing.ogg", "missing.mp3", (const char*)nullptr}) {
        const std::string path = name ? Path(name) : "";
        EXPECT_EQ(ogg.Open(name ? path.c_str() : nullptr, 0), 0) << (name ? name : "null");
        EXPECT_EQ(mp3.Open(name ? path.c_str() : nullptr, 0), 0) << (name ? name : "null");
    }
    ASSERT_EQ(reader.Open(Path("stereo22.ogg").c_str()), kReaderOk);
    EXPECT_EQ(reader.GetFormat(), platform::WaveFormat::Pcm(2, 22050, 16));
    EXPECT_EQ(std::tuple(reader.GetFormat().avgBytesPerSec, reader.GetDataSize()),
              std::tuple(88200u, 6615 * 4));
    std::vector<uint8_t> pcm(reader.GetDataSize() + 100);
    int32_t count = 0;
    EXPECT_EQ(reader.Read(pcm.data(), static_cast<int32_t>(pcm.size()), &count), kReaderOk);
    EXPECT_EQ(count, reader.GetDataSize());
}

// The rate a stream announces is taken up to 1 MHz and refused above (the device decides
// later what it plays); reads into nothing, or of nothing, give nothing.
TEST_F(DecodersTest, OggRatesAreTakenUpToAMegahertzAndEmptyReadsGiveNothing)
{
    const std::string tone = ReadFileBytes(Path("stereo22.ogg"));
    GOggDecoder ogg;
    GOggReader reader;
    for (auto [rate, opens] : {std::pair{100001u, true}, {1000000u, true}, {1000001u, false}}) {
        const std::string path = folder->WriteFile("rate.ogg", WithOggRate(tone, rate));
        EXPECT_EQ(ogg.Open(path.c_str(), 0), opens ? 1 : 0) << rate;
        EXPECT_EQ(reader.Open(path.c_str()), opens ? kReaderOk : kReaderInvalidArg) << rate;
        EXPECT_EQ(std::tuple(reader.GetFormat().samplesPerSec == rate, reader.GetDataSize()),
                  std::tuple(opens, opens ? 6615 * 4 : 0))
            << rate;
    }
    ASSERT_EQ(ogg.Open(Path("stereo22.ogg").c_str(), 0), 1);
    ASSERT_EQ(reader.Open(Path("stereo22.ogg").c_str()), kReaderOk);
    uint8_t byte = 0x55;
    int32_t count = -1;
    EXPECT_EQ(ogg.Read(nullptr, 4, &count) + ogg.Read(&byte, -1, &count), 0);
    for (auto [buffer, length] : {std::pair{(uint8_t*)nullptr, 4}, {&byte, 0}, {&byte, -1}}) {
        count = -1;
        EXPECT_EQ(reader.Read(buffer, length, &count), kReaderOk);
        EXPECT_EQ(std::pair(count, byte), std::pair(0, uint8_t{0x55})) << length;
    }
    GMp3Decoder mp3;
    EXPECT_EQ(mp3.Rewind(), 0); // nothing open
    ASSERT_EQ(mp3.Open(Path("mono22.mp3").c_str(), 0), 1);
    mp3.Close();
    EXPECT_EQ(mp3.Rewind(), 0);
    EXPECT_TRUE(ReadAll(mp3, 4096).empty());
}

} // namespace
