#pragma once
// Measurements on mixed or decoded 16-bit PCM: the tone's frequency and peak level, silence,
// and the largest jump between neighbouring samples (a seam shows up as one).

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tolvanrise::test {

// One channel (0 or 1) of interleaved frames [first, first + count).
inline std::vector<double> Channel(const std::vector<int16_t>& pcm, int channels, int channel,
                                   size_t first, size_t count)
{
    std::vector<double> out;
    for (size_t i = first; i < first + count && (i + 1) * channels <= pcm.size(); ++i)
        out.push_back(pcm[i * channels + channel]);
    return out;
}

// From the rising zero crossings, interpolated between samples.
inline double ToneFrequency(const std::vector<double>& s, int rate)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double at = (i - 1) + (-s[i - 1]) / (s[i] - s[i - 1]);
            if (first < 0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0.0;
}

// Peak of a sine from its RMS.
inline double ToneLevel(const std::vector<double>& s)
{
    double sum = 0;
    for (double v : s)
        sum += v * v;
    return s.empty() ? 0.0 : std::sqrt(2.0 * sum / s.size());
}

inline double MaxAbs(const std::vector<double>& s)
{
    double m = 0;
    for (double v : s)
        m = std::max(m, std::abs(v));
    return m;
}

inline double MaxJump(const std::vector<double>& s)
{
    double m = 0;
    for (size_t i = 1; i < s.size(); ++i)
        m = std::max(m, std::abs(s[i] - s[i - 1]));
    return m;
}

// The longest run of samples within +-limit.
inline size_t LongestQuietRun(const std::vector<double>& s, double limit)
{
    size_t best = 0, run = 0;
    for (double v : s) {
        run = std::abs(v) <= limit ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

} // namespace tolvanrise::test
