// The game's music tracks as the stream player plays them on repeat: each module of the data
// folder decoded whole and into its repeat, opened again as the player does at the song's end.
// A held note must go on across every pattern and across the loop: no step between neighbouring
// samples is larger than the tone's own steps, and the level does not dip.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoders/module_decoder.h"
#include "platform/sound/module_player.h"
#include "support/audio_measure.h"

namespace {

using namespace tolvanrise::test;

constexpr int kRate = 44100;

// The left channel of the song played whole and then the start of its repeat, opened anew at
// the end as the player does. songLength: where the repeat starts.
std::vector<double> PlayedOnRepeat(GModuleDecoder& decoder, const std::string& path,
                                   size_t& songLength)
{
    std::vector<int16_t> pcm;
    std::vector<uint8_t> buffer(GModuleDecoder::kChunkBytes);
    for (int loop = 0; loop < 2; ++loop) {
        songLength = pcm.size() / 2;
        if (decoder.Open(path.c_str(), 0) != 1)
            return {};
        for (int reads = 0; reads < (loop == 0 ? 100000 : 10); ++reads) {
            int32_t count = 0;
            decoder.Read(buffer.data(), int32_t(buffer.size()), &count);
            const size_t old = pcm.size();
            pcm.resize(old + size_t(count) / 2);
            std::memcpy(pcm.data() + old, buffer.data(), size_t(count / 2) * 2);
            if (count < int32_t(buffer.size()))
                break;
        }
        decoder.Close();
    }
    return Channel(pcm, 2, 0, 0, pcm.size() / 2);
}

// The lowest peak of |s| over windows of one tone period in [from, to): the tone's envelope.
double EnvelopeMin(const std::vector<double>& s, size_t from, size_t to, size_t period)
{
    double lowest = 1e9;
    for (size_t i = from; i + period <= to && i + period <= s.size(); i += period / 4) {
        double peak = 0;
        for (size_t j = i; j < i + period; ++j)
            peak = std::max(peak, std::abs(s[j]));
        lowest = std::min(lowest, peak);
    }
    return lowest;
}

// Every pattern boundary lies inside the song and the loop at its end: the song holds no step
// larger than the tone's own and no dip of its level, but for the fade it ends with, and the
// repeat follows without a step.
TEST(MusicSeams, EveryTrackHoldsItsNoteAcrossPatternsAndTheLoop)
{
    auto library = platform::ModuleLibrary::Load();
    if (!library)
        GTEST_SKIP() << "libxmp not installed";
    GModuleDecoder decoder(library.get());
    ASSERT_EQ(decoder.Init(), kRate);
    for (const char* track : {"menu", "game", "gameend", "gametimed"}) {
        const std::string path = std::string(TOLVANRISE_DATA_DIR) + "/MUSIC/" + track + ".skm";
        size_t songLength = 0;
        const std::vector<double> s = PlayedOnRepeat(decoder, path, songLength);
        // Long enough to hold a menu visit without a repeat.
        ASSERT_GT(songLength, size_t(kRate) * 60) << track;
        // The tone's own steps and level, from a stretch of its first second.
        const std::vector<double> steady(s.begin() + kRate / 4, s.begin() + kRate / 2);
        const double ownStep = MaxJump(steady);
        const double level = MaxAbs(steady);
        const size_t period = size_t(kRate / ToneFrequency(steady, kRate)) + 1;
        ASSERT_GT(level, 1000.0) << track;

        const std::vector<double> song(s.begin(), s.begin() + songLength);
        const std::vector<double> loop(s.begin() + songLength - 4 * period,
                                       s.begin() + songLength + 4 * period);
        // The level from a tenth of a second in to half a second before the fade at the end.
        const double lowest = EnvelopeMin(s, kRate / 10, songLength - kRate / 2, period);
        std::printf("%-9s %7.2f s: largest step %5.0f (the tone's own %5.0f), at the loop %5.0f, "
                    "lowest level %5.0f of %5.0f\n",
                    track, double(songLength) / kRate, MaxJump(song), ownStep, MaxJump(loop),
                    lowest, level);
        EXPECT_LE(MaxJump(song), ownStep * 1.05) << track;
        EXPECT_LE(MaxJump(loop), ownStep * 1.05) << track;
        EXPECT_GE(lowest, level * 0.95) << track;
    }
}

} // namespace
