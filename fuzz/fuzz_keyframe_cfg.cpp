// Cfg keyframe descriptions: any bytes as cfg text, every top-level object list loaded as an
// animation. What is built must be consistent: key frames on existing frames, frame links to
// existing key frames, at most 65535 frames. The frame lists loader runs on the same tree.
#include <cstddef>
#include <cstdint>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_support.h"
#include "graphics/animation/cfg_keyframe_animator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (size_t{1} << 16))
        return 0;
    GCfgNode root;
    if (!root.Parse(reinterpret_cast<const char*>(data), size))
        return 0;
    GLabelKeyFrameAnimator animator;
    for (const auto& entry : root.GetObjects()) {
        GCfgObjectCursor cursor(&entry);
        while (cursor.Next()) {
            const int built = animator.LoadAndCheck(cursor, nullptr);
            const uint32_t frames = animator.GetFrameCount();
            if (frames > kMaxPackedFrames || (built && animator.GetKeyFrameCount() < 2))
                __builtin_trap();
            for (uint32_t i = 0; i < animator.GetKeyFrameCount(); ++i) {
                const int16_t frame = animator.GetKeyFrame(i)->frame;
                if (frame < 0 || uint32_t(frame) >= frames)
                    __builtin_trap();
            }
            for (uint32_t i = 0; i < frames; ++i) {
                const int8_t link = animator.GetFrame(i)->keyFrame;
                if (link >= 0 && uint32_t(link) >= animator.GetKeyFrameCount())
                    __builtin_trap();
            }
        }
    }
    animator.LoadFrameTracks(root);
    if (animator.GetFrameCount() > kMaxPackedFrames)
        __builtin_trap();
    return 0;
}
