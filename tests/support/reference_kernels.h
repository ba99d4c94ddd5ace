#pragma once
// A deliberately plain implementation of every blitter rule, for the tests to hold the real
// kernels against: one destination pixel at a time, its source pixel found from the
// orientation formulas (sx = SW - 1 - sx0 - i when mirrored...), every byte read through an
// index into the image's memory. Slow on purpose; shares no code with graphics/.
//
// Also the test images: sizes exactly as the image record allocates them, or blocks cut to the
// bytes a kernel may touch, so that AddressSanitizer sees any access beyond them.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/blit/kernels.h"
#include "foundation/core/rect.h"

namespace reference {

// Same contract as the kernel of `rule` in `orientation` (arguments taken from args).
void Blit(GBlitRule rule, int orientation, GBitmap* dst, const GBitmap* src, int x, int y,
          const GBlitArgs& args, const GRect* clip);

// What a rule reads from its source.
bool RuleReadsMask(GBlitRule rule);
bool RuleIsSubPixel(GBlitRule rule);
bool RuleIsIndexed(GBlitRule rule);      // own palette, format 16..21 layout
bool RuleIsPaletteTable(GBlitRule rule); // caller's table, indices from the block start
bool RuleReadsColours(GBlitRule rule);   // false for the mask-only rules
const char* RuleName(GBlitRule rule);

// Image layouts for tests.
enum class Slack {
    Standard, // the image record's own blocks: one spare row and one spare pixel
    Tight,    // only the bytes the rule may read (the spare pixel row only for sub-pixel rules)
};

// A source image fit for `rule`: pixels (24-bit, indexed with header and palette, or bare
// indices), and a mask when the rule reads one. Every byte is random.
std::unique_ptr<GBitmap> MakeSource(GBlitRule rule, int w, int h, std::mt19937& rng,
                                    Slack slack = Slack::Standard);

// A 24-bit destination of w x h with random bytes. Tight: no spare row.
std::unique_ptr<GBitmap> MakeDestination(int w, int h, std::mt19937& rng, Slack slack = Slack::Standard);

// A 256 x 4-byte palette table with random bytes.
std::vector<uint8_t> MakeTable(std::mt19937& rng);

// The whole pixel block of an image, copied.
std::vector<uint8_t> Snapshot(const GBitmap& image);

// Bytes of destination pixel (x, y).
const uint8_t* PixelAt(const GBitmap& image, int x, int y);
void SetPixel(GBitmap& image, int x, int y, uint8_t b0, uint8_t b1, uint8_t b2);

// Fixture of the suites that run once per kernel instruction set: selects the test's set
// (skipping the test where the processor lacks it) and puts the previous one back after.
class KernelIsaTest : public testing::TestWithParam<GKernelIsa> {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    GKernelIsa m_saved = GKernelIsa::Scalar;
};

// The instruction sets those suites run in, and their instances' names ("Scalar", "Avx2").
inline const auto kAllKernelIsas = testing::Values(GKernelIsa::Scalar, GKernelIsa::Avx2);
std::string KernelIsaName(const testing::TestParamInfo<GKernelIsa>& info);

} // namespace reference

// How a test's parameter shows in its full name: "Scalar" or "Avx2", not the enum's bytes.
void PrintTo(GKernelIsa isa, std::ostream* os);
