// Packed keyframe animations: any bytes as an image. An accepted image must hold every record
// its counts announce, save back to the same bytes (reserved bytes as zero) and play without
// reading outside its arrays; a refused one must leave the animator as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "graphics/animation/keyframe_animator.h"
#include "graphics/scene/clip.h"

namespace {

struct Listener : GKeyFrameListener {
    uint32_t seen = 0;
    void OnKeyFrame(GKeyFrameAnimator*, const GKeyFrame* k, int32_t i) override {
        seen += uint32_t(i) + fuzz::SumBytes(reinterpret_cast<const uint8_t*>(k->label), k->LabelLength());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (size_t{1} << 22))
        return 0;
    // Exactly the bytes given, so a read past them shows.
    std::vector<uint8_t> bytes(data, data + size);
    GKeyFrameAnimator animator;
    animator.AddInterpolation(1, 2, 3, 4, 0xFF);
    const int loaded = animator.LoadFromMemory(bytes.data(), uint32_t(size));
    if (!loaded) {
        if (animator.GetFrameCount() != 1 || animator.GetFrame(0)->x != 2)
            __builtin_trap();
        return 0;
    }
    const uint32_t k = data[0], f = uint32_t(data[1] | data[2] << 8);
    const size_t total = kPackedHeaderSize + size_t(kPackedKeyFrameSize) * k + size_t(kPackedFrameSize) * f;
    if (size < total || animator.GetKeyFrameCount() != k || animator.GetFrameCount() != f)
        __builtin_trap();
    std::unique_ptr<uint8_t[]> saved;
    uint32_t savedSize = 0;
    if (animator.SaveToMemory(&saved, &savedSize) != (f > 0 ? 1 : 0))
        __builtin_trap();
    if (f > 0) {
        std::vector<uint8_t> expected(data, data + total);
        for (uint32_t i = 0; i < k; ++i)
            expected[3 + 34 * i + 21] = expected[3 + 34 * i + 27] = 0;
        if (savedSize != total || std::memcmp(saved.get(), expected.data(), total) != 0)
            __builtin_trap();
    }
    GClip clip;
    Listener listener;
    animator.SetClip(&clip);
    animator.SetListener(&listener);
    animator.SetState(kStatePlaying);
    for (int tick = 0; tick < 64; ++tick)
        animator.ApplyFrame();
    for (uint32_t i = 0; i < k; ++i)
        animator.ExecuteCommand(int16_t(1 + i % 6), int32_t(i), int32_t(k - 1 - i));
    fuzz::Keep(listener.seen + uint32_t(clip.GetX()));
    return 0;
}
